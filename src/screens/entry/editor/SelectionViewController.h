#pragma once

#include "platform/ui/Control.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableViewController.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/common/SignedInController.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {
class ManagedObject;
class ObjectContext;
using ManagedObjectPtr = std::shared_ptr<ManagedObject>;
} // namespace tavlo

namespace tavlo::screens {

class QuantityCellView;

// The editor of one line already on an order: its quantity (units already sent are voided, under
// the right "REMOVE_ITEM" or a manager's authorisation), price, comment, comp, sides, seat, course
// and preparations. Every change goes straight into the line (quantities through the order); the
// order screen saves and sends, and shows the changed line when it is shown again. The interface
// "SelectionView".
class SelectionViewController : public SignedInController<ui::TableViewController, SelectionEditorScreen> {
public:
    static constexpr const char* kInterfaceName = OrderTaskScreen::kSelectionInterface;
    // The sections, in the order they come; the seat and course rows and the two preparation
    // lists only when there is something to show.
    enum class Section {
        Quantity,
        Price,
        Comments,
        Comp,
        Sides,
        Seat,
        Course,
        RecipePreparations,
        StoreWidePreparations
    };
    static constexpr int kSliderTag = 1, kSliderLabelTag = 2;

    SelectionViewController();
    ~SelectionViewController() override;

    const std::shared_ptr<Order>& order() const { return order_; }
    void setOrder(std::shared_ptr<Order> order) override { order_ = std::move(order); }
    const SelectionPtr& selection() const { return selection_; }
    void setSelection(SelectionPtr selection) override { selection_ = std::move(selection); }
    void setMenuView(std::shared_ptr<MenuViewController> menuView) override { menuView_ = std::move(menuView); }
    // The editor hands nothing back: the opener shows the changed line when it is shown again.
    void setAction(std::function<void()>) override {}

    // What the screen shows, read when it loads.
    const std::vector<Section>& sections() const { return sections_; }
    ui::Label* seatLabel() const { return seatLabel_.get(); }
    ui::Label* courseLabel() const { return courseLabel_.get(); }

    // Row actions and the answers of the screens they open.
    void price();
    void savePrice(const std::optional<std::string>& text);
    // A cancel (nil) keeps the comment; a saved empty text clears it.
    void saveComment(const std::optional<std::string>& text);
    void comps();
    void comped(const std::optional<std::string>& compId, const std::optional<std::string>& authorizedBy);
    void saveCompComment(const std::optional<std::string>& text);
    // The sliders.
    void seatChanged(ui::Control& sender);
    void courseChanged(ui::Control& sender);
    // The left bar button: back to the order.
    void back();

    void viewDidLoad() override;
    int numberOfSections(ui::TableView&) override { return static_cast<int>(sections_.size()); }
    int numberOfRows(ui::TableView&, int section) override;
    std::optional<std::string> titleForHeader(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath path) override;
    void didSelectRow(ui::TableView& table, ui::IndexPath path) override;

private:
    // Ids of the store-wide preparation groups, by name.
    const std::vector<std::string>& storeWidePreps() const { return storeWidePreps_; }
    void comments();
    // The quantity row's buttons (the sender is the button, inside the quantity cell).
    void plusQuantity(ui::Control& sender);
    void minusQuantity(ui::Control& sender);
    // One unit less: at once for a unit not sent, else with the right to void (or a manager's).
    void reduceQuantity(QuantityCellView& cell);
    // One unit less, authorised by the user given (nil: the signed-in user's own right).
    void voidItem(QuantityCellView& cell, const std::optional<std::string>& authorizedBy);
    // A row with a slider (tag 1) from `minimum` to `maximum` that sends `changed` on every move,
    // and the value label (tag 2) left of it.
    std::shared_ptr<ui::TableViewCell> getSliderCellContentView(const std::string& identifier,
                                                                const std::shared_ptr<ui::Label>& label,
                                                                ui::Control::Action changed, int minimum, int maximum);
    bool isCombo() const;
    // The line's menu offers sides (and the line is no combo).
    bool hasSides() const;
    // Which of the seat and course rows the order shows.
    void readSeatCourseView();
    // The line's RecipePreparationGroup rows by sequence.
    std::vector<ManagedObjectPtr> recipePreparationGroups() const;
    std::shared_ptr<ui::TableViewCell> textCell(ui::TableView& table, const std::string& text, bool enabled);
    std::shared_ptr<ui::TableViewCell> sliderRow(Section section);
    void openPreparationGroup(const std::string& groupId);
    void openSides();
    void voidItemAuthenticated(QuantityCellView& cell, const std::string& authorizedBy);
    // The cell's count: "Quantity: n".
    static void showQuantity(QuantityCellView& cell, int quantity);
    // The quantity cell that holds a button; null when none does.
    static QuantityCellView* quantityCellOf(ui::Control& sender);
    // Presents a prompt at the root of a navigation controller of its own, as a form sheet.
    void presentSheet(const std::shared_ptr<ui::ViewController>& prompt);
    void popCompList();

    std::shared_ptr<Order> order_;
    SelectionPtr selection_;
    std::shared_ptr<MenuViewController> menuView_;
    std::vector<Section> sections_;
    std::vector<std::string> storeWidePreps_;
    std::vector<ManagedObjectPtr> recipeGroups_;
    bool seatView_ = false, courseView_ = false, compable_ = false;
    std::shared_ptr<ui::Label> seatLabel_, courseLabel_;
};

} // namespace tavlo::screens
