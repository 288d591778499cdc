#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {
class Order;
class Selection;
class Session;
using SelectionPtr = std::shared_ptr<Selection>;
} // namespace tavlo

namespace tavlo::screens {

// The lines a screen added to an order, newest last, for its undo and redo buttons. Both go
// through the order's own decrement, void and increment, so that the recipes' counts follow.
class SelectionAdditions {
public:
    const std::vector<SelectionPtr>& list() const { return list_; }
    bool empty() const { return list_.empty(); }
    const SelectionPtr& last() const { return list_.back(); }
    void add(SelectionPtr selection) { list_.push_back(std::move(selection)); }
    void clear() { list_.clear(); }

    // Takes back one unit of the last line: lowered by the session's user while it has 2 or more,
    // else voided on the order (`voidedBy` forcing the void) and gone from the list. False when
    // there is no line.
    bool undo(Order& order, Session* session, const std::optional<std::string>& voidedBy);
    // One more unit of the last line. A recipe with none left stops it (unless the order is a
    // refund), after telling the person. False when nothing was added.
    bool redo(Order& order, Session* session);

    // "Added: <quantity> <name>" for the status label.
    static std::string addedText(const Selection& selection);

private:
    std::vector<SelectionPtr> list_;
};

} // namespace tavlo::screens
