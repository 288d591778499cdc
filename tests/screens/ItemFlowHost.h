#pragma once

#include "core/order/Order.h"
#include "core/order/Selection.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Session.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableViewController.h"
#include "platform/ui/render/Snapshot.h"
#include "screens/entry/SelectionFlowControl.h"
#include "screens/entry/options/OptionScreen.h"
#include "screens/prompts/PromptScreens.h"
#include "support/ItemFlowMenu.h"
#include "support/LocalStoreScope.h"
#include "support/ui/Harness.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::screens::test {

// What an item's flow asks besides its options.
struct FlowAsks {
    bool seats = false, courses = false, price = false, quantity = false, comment = false;
};

// A terminal at the store of ItemFlowMenu, Ann signed in, with an open order of 4 seats, and a
// host screen that starts an item's flow as the menu screen does: the item becomes a line, the
// flow's first screen goes at the root of a navigation controller presented as a form sheet, and
// the flow's end takes the finished line and dismisses the flow.
class ItemFlowHost {
public:
    explicit ItemFlowHost(ui::DeviceIdiom idiom = ui::DeviceIdiom::Phone) : h(idiom) {
        tavlo::test::ItemFlowMenu::build(*store.context());
        store.save();
        IDBroker::initWithMOC(store.context());
        registerOptionScreens();
        registerPromptScreens();
        session.setUserId(std::string("U-ANN"));
        order->setSeats(4);
        host = std::make_shared<ui::ViewController>();
        h.show(host);
    }

    // A store value, saved.
    void setParam(const std::string& name, const std::optional<std::string>& value) {
        store.addStoreParam(name, value);
        store.save();
    }

    // Starts the flow of an item; false when the flow has no screen (the line is finished at once).
    bool start(const std::string& itemId, FlowAsks asks = {}) {
        auto made = std::make_shared<SelectionFlowControl>(line(itemId), nullptr, &session, order,
                                                           [this](const SelectionPtr& done) {
                                                               finished.push_back(done);
                                                               host->dismiss(false);
                                                           });
        made->setSeats(asks.seats);
        made->setCourses(asks.courses);
        made->setPricePrompt(asks.price);
        made->setQuantityPrompt(asks.quantity);
        made->setCommentPrompt(asks.comment);
        flow = made;
        if (!made->hasNextView()) {
            made->done();
            return false;
        }
        auto navigation = std::make_shared<ui::NavigationController>(made->nextView());
        navigation->setModalPresentationStyle(ui::ModalPresentationStyle::FormSheet);
        host->present(navigation, false);
        h.runUntilIdle();
        return true;
    }

    // Opens an option screen outside any flow, as the selection editor does: pushed over the
    // editor's own screen (titled "Editor") in a navigation controller of its own.
    void openAlone(const std::shared_ptr<ui::ViewController>& screen) {
        auto editor = std::make_shared<ui::ViewController>();
        editor->setTitle(std::string("Editor"));
        auto navigation = std::make_shared<ui::NavigationController>(editor);
        navigation->setModalPresentationStyle(ui::ModalPresentationStyle::FormSheet);
        host->present(navigation, false);
        navigation->push(screen, false);
        h.runUntilIdle();
    }
    // A line of the item, made as the menu screen makes it.
    SelectionPtr line(const std::string& itemId) {
        ObjectContext* context = store.context().get();
        return Selection::newFrom(context->fetchFirst("Item", "itemId == %@", itemId), session.userId(), context);
    }

    // The flow is on screen.
    bool flowShown() const { return host->presentedViewController() != nullptr; }
    // The screen of the flow a person sees.
    template <typename T> T& screen() { return h.visible<T>(); }
    ui::NavigationController& navigation() { return dynamic_cast<ui::NavigationController&>(*host->presentedViewController()); }
    size_t stackDepth() { return navigation().viewControllers().size(); }
    std::optional<std::string> title() { return h.visibleController().title(); }
    ui::TableView& table() { return h.visible<ui::TableViewController>().tableView(); }
    // Taps the row that shows the text.
    void tapRow(const std::string& text) {
        ui::TableView& t = table();
        for (int row = 0; row < t.numberOfRows(0); ++row)
            if (ui::TableViewCell* cell = t.cellForRow({0, row}); cell && rowText(*cell) == text) {
                h.tapRow(t, {0, row});
                return;
            }
        throw ui::test::HarnessError("no row shows \"" + text + "\"");
    }
    static std::optional<std::string> rowText(ui::TableViewCell& cell) {
        if (auto* name = dynamic_cast<ui::Label*>(cell.viewWithTag(2))) return name->text();
        return cell.textLabel().text();
    }
    // The picture of the window, for people to look at.
    ui::render::Bitmap picture() { return ui::render::snapshot(h.window(), h.window().bounds().size); }

    tavlo::test::LocalStoreScope store;
    ui::test::Harness h;
    Session session{store.context().get()};
    std::shared_ptr<Order> order = std::make_shared<Order>(store.context().get());
    std::shared_ptr<ui::ViewController> host;
    std::weak_ptr<SelectionFlowControl> flow;
    std::vector<SelectionPtr> finished;
};

} // namespace tavlo::screens::test
