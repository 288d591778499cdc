#include "screens/entry/menu/MenuButtonsViewController.h"

#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/Text.h"
#include "platform/ui/InterfaceRegistry.h"
#include "screens/common/SlideView.h"
#include "screens/entry/menu/MenuFetchedResultsController.h"

#include <cmath>

namespace tavlo::screens {

using namespace ui;

namespace {

// The screen's view: it tells its controller when its size changed (the navigation gives it its
// final size after the screen loaded), so that the grid fits the room it has.
class ItemArea : public View {
public:
    using View::View;
    std::function<void()> onResize;
    void layoutSubviews() override {
        if (onResize) onResize();
    }
};

} // namespace

MenuButtonsViewController::MenuButtonsViewController() : MenuViewController(kInterfaceName) {}

MenuButtonsViewController::~MenuButtonsViewController() = default;

void MenuButtonsViewController::viewDidLoad() {
    MenuViewController::viewDidLoad();
    if (auto* area = dynamic_cast<ItemArea*>(view().get()))
        area->onResize = [this] {
            if (view()->bounds().size != laidOutFor_) loadItems();
        };
    if (Error error; !fetchItems(error)) {
        TAVLO_LOG_MAIL("Unable to read items for ButtonsMenuViewController: %@", error.localizedDescription());
        leaveUnreadable();
        return;
    }
    // The grid is laid out by the first layout pass, once the navigation has given the screen
    // its size: laying it out now would lay it out twice.
    view()->setNeedsLayout();
}

void MenuButtonsViewController::refresh() {
    MenuViewController::refresh();
    loadItems();
}

int MenuButtonsViewController::loadItems() {
    const int xPadding = pointsValue(Parameter::MenuXPadding, 8);
    const int yPadding = pointsValue(Parameter::MenuYPadding, 8);
    const Rect bounds = view()->bounds();
    laidOutFor_ = bounds.size;
    const double width = bounds.width(), height = bounds.height() - menuBarHeight();

    std::vector<std::shared_ptr<Button>> buttons;
    for (const ManagedObjectPtr& item : fetchedResultsController().fetchedObjects()) {
        const std::string itemId = item->text("itemId").value_or("");
        auto button = SlideView::button(item->text("name").value_or(""), intValue(itemId), std::nullopt, kButtonWidth,
                                        kButtonHeight, [this, itemId](Control&) { itemSelected(itemId); });
        button->setTitleColor(Color::white());
        Label& title = button->titleLabel();
        title.setLineBreakMode(LineBreakMode::WordWrap);
        title.setNumberOfLines(0);
        title.setTextAlignment(TextAlignment::Center);
        title.setAdjustsFontSizeToFitWidth(true);
        title.setMinimumScaleFactor(0.25);
        button->setBackgroundImage(Image::named("blueButton.png"));
        buttons.push_back(button);
    }

    const int cellWidth = xPadding + kButtonWidth;
    const int count = static_cast<int>(buttons.size());
    const int rowsThatFit = std::max(1, static_cast<int>(std::floor(height / (yPadding + kButtonHeight))));
    // Whole columns only, with the margin after the last: none is cut at the screen's edge.
    const int columnsThatFit = std::max(1, static_cast<int>(std::floor((width - xPadding) / cellWidth)));
    // More than a screenful: full screenfuls of the rows and columns that fit, side by side. The
    // grid stays as wide as the screen and its content scrolls to the later screenfuls (a grid as
    // wide as all of them would leave them beyond the screen's edge, out of reach).
    int rows = 0, columns = columnsThatFit, scrollPadding = 0;
    // A grid that scrolls is as wide as its screenful, in the middle of the screen, and a swipe
    // moves it by a screenful of whole columns: every button in sight shows whole.
    double gridWidth = width;
    const bool pages = count > rowsThatFit * columnsThatFit;
    if (pages) {
        rows = rowsThatFit;
        scrollPadding = (count / rowsThatFit - columnsThatFit) * cellWidth;
        gridWidth = columnsThatFit * cellWidth + xPadding;
    } else {
        rows = (count + columnsThatFit - 1) / columnsThatFit;
    }

    if (grid_) grid_->removeFromSuperview();
    grid_ = std::make_shared<SlideView>(
        Rect(std::floor((width - gridWidth) / 2), menuBarHeight() + yPadding, gridWidth, height), Color::white(),
        buttons, rows, columns, xPadding, yPadding, scrollPadding);
    if (pages) grid_->scroll().setPageWidth(columnsThatFit * cellWidth);
    view()->addSubview(grid_);
    return static_cast<int>(height) + yPadding;
}

void MenuButtonsViewController::itemSelected(const std::string& itemId) {
    prepareSelection(DBHelper::getObject("Item", "itemId == %@", itemId, contextOf(session_.get())),
                     [this](const SelectionPtr& selection) { completeSelection(selection); });
}

void registerMenuButtonsView() {
    InterfaceRegistry::shared().add(MenuButtonsViewController::kInterfaceName, [](ViewController&) {
        auto root = std::make_shared<ItemArea>(Rect(0, 0, 320, 416));
        root->setBackgroundColor(Color::white());
        return std::static_pointer_cast<View>(root);
    });
}

} // namespace tavlo::screens
