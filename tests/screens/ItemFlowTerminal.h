#pragma once

#include "core/order/Order.h"
#include "core/order/Selection.h"
#include "core/session/IDBroker.h"
#include "core/session/Session.h"
#include "platform/ui/NavigationController.h"
#include "screens/common/prompts/PromptScreens.h"
#include "screens/entry/SelectionFlowControl.h"
#include "screens/entry/options/OptionScreen.h"
#include "support/ItemFlowMenu.h"
#include "support/LocalStoreScope.h"

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
// the flow's end takes the finished line and dismisses the flow. The application that shows the
// host is the caller's.
class ItemFlowTerminal {
public:
    ItemFlowTerminal() {
        tavlo::test::ItemFlowMenu::build(*store.context());
        store.save();
        IDBroker::initWithMOC(store.context());
        registerOptionScreens();
        registerPromptScreens();
        session.setUserId(std::string("U-ANN"));
        order->setSeats(4);
        host = std::make_shared<ui::ViewController>();
    }

    // A store value, saved.
    void setParam(const std::string& name, const std::optional<std::string>& value) {
        store.addStoreParam(name, value);
        store.save();
    }

    // A line of the item, made as the menu screen makes it.
    SelectionPtr line(const std::string& itemId) {
        ObjectContext* context = store.context().get();
        return Selection::newFrom(context->fetchFirst("Item", "itemId == %@", itemId), session.userId(), context);
    }

    // Starts the flow of an item; false when the flow has no screen (the line is finished at once).
    bool start(const std::string& itemId, FlowAsks asks = {}) {
        auto made = std::make_shared<SelectionFlowControl>(line(itemId), nullptr, &session, order,
                                                           [this](const SelectionPtr& done) {
                                                               finished.push_back(done);
                                                               host->dismiss(false);
                                                               if (onFinished) onFinished(*done);
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
    }

    // The flow is on screen.
    bool flowShown() const { return host->presentedViewController() != nullptr; }

    // The ids of a line's preparations, in the order chosen.
    static std::vector<std::string> preparationIds(const Selection& line) {
        std::vector<std::string> ids;
        for (const Preparation& p : line.getPreparations()) ids.push_back(p.preparationId().value_or(""));
        return ids;
    }

    // A finished line in one text: seat, course, price, preparations, then each side with its
    // quantity and preparations.
    static std::string describe(const Selection& line) {
        std::string text = "seat " + std::to_string(line.seat()) + ", course " + std::to_string(line.course()) +
                           ", price " + std::to_string(line.price());
        for (const std::string& id : preparationIds(line)) text += ", " + id;
        for (const SelectionPtr& side : line.getSides()) {
            text += "; " + side->name().value_or("") + " x" + std::to_string(side->quantity());
            for (const std::string& id : preparationIds(*side)) text += " " + id;
        }
        return text;
    }

    tavlo::test::LocalStoreScope store;
    Session session{store.context().get()};
    std::shared_ptr<Order> order = std::make_shared<Order>(store.context().get());
    std::shared_ptr<ui::ViewController> host;
    std::weak_ptr<SelectionFlowControl> flow;
    std::vector<SelectionPtr> finished;
    std::function<void(const Selection&)> onFinished;
};

} // namespace tavlo::screens::test
