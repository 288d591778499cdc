#pragma once

#include "platform/store/ManagedObject.h"
#include "screens/common/FlowControl.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tavlo {
class Order;
class Selection;
class Session;
using SelectionPtr = std::shared_ptr<Selection>;
} // namespace tavlo

namespace tavlo::ui {
class ViewController;
}

namespace tavlo::screens {

// The entry of one item as the menu screens and the item list start it: the item's line, and the
// flow that asks what the store values and the item want (seat and course only for an order at
// a table, price, quantity, comment, the options), whose first screen the screen presents in a
// navigation controller of its own, or whose end comes at once when it has nothing to ask.
class ItemEntry {
public:
    // Receives the finished line: the end of the flow.
    using Action = FlowControl::Action;

    ItemEntry(Session* session, std::shared_ptr<Order> order, bool selectSeat, bool selectCourse);

    // The item's new line, its flow started from `presenter`; null (after telling the person)
    // when the item is gone from the store or sold out.
    SelectionPtr start(ui::ViewController& presenter, const ManagedObjectPtr& item, Action action);

    // Dismisses what is presented over the screen (a flow's screens), when anything is: screens
    // are presented from the outermost container, the navigation that shows the screen.
    static void dismissPresented(ui::ViewController& screen, bool animated);

    // The name of the line's recipe group when the store values ask for courses by group (read
    // by start).
    const std::optional<std::string>& recipeGroup() const { return recipeGroup_; }

private:
    std::optional<std::string> recipeGroupName(const Selection& selection) const;

    Session* session_;
    std::shared_ptr<Order> order_;
    bool selectSeat_, selectCourse_;
    std::optional<std::string> recipeGroup_;
};

} // namespace tavlo::screens
