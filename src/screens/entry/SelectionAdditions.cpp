#include "screens/entry/SelectionAdditions.h"

#include "core/order/Order.h"
#include "core/order/Selection.h"
#include "core/session/Session.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/ui/AlertView.h"

namespace tavlo::screens {

bool SelectionAdditions::undo(Order& order, Session* session, const std::optional<std::string>& voidedBy) {
    if (list_.empty()) return false;
    SelectionPtr last = list_.back();
    if (last->quantity() < 2) {
        list_.pop_back();
        order.removeSelection(last, voidedBy, session);
    } else {
        order.decrement(last, userOf(session), session);
    }
    return true;
}

bool SelectionAdditions::redo(Order& order, Session* session) {
    if (list_.empty()) return false;
    SelectionPtr last = list_.back();
    if (last->recipeId() && Selection::available(last->recipeId(), contextOf(session)) == 0 &&
        order.orderType() != OrderType::Refund) {
        ui::AlertView::make(localized("Alert"), localized("Unable to order, we are currently out of this item"),
                            localized("Ok"))
            ->show();
        return false;
    }
    order.increment(last, session);
    return true;
}

std::string SelectionAdditions::addedText(const Selection& selection) {
    return format("%@: %ld %@", localized("Added"), static_cast<long>(selection.quantity()),
                  selection.name().value_or(""));
}

} // namespace tavlo::screens
