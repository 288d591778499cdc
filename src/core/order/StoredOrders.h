#pragma once

#include "core/order/Order.h"
#include "platform/foundation/Error.h"
#include "platform/store/FetchRequest.h"

#include <memory>
#include <vector>

namespace tavlo {

class ObjectContext;

// Many stored orders read for their money figures (the day's reports), by column: a handful of
// statements for the whole lot and no objects left in the context. Of each order only what a
// figure or report uses is read. The lines (with their sides, combo parts, preparations,
// exemptions and fixed taxes) and the tax lines are read as Order::read reads them, so that
// every total comes out the same, but for a line's seat, course, comment, comp description and
// who ordered it. Of the header, tenders and discounts: their remote ids and figures, the
// order's type, seats and area, a tender's type, card type and void, a discount's name; not the
// order's id, name, day or times, a tender's id, name or time, who took the order or a tender,
// the customer, the drawer, the signature, the card host's reply or who gave a discount.
class StoredOrders {
public:
    // The orders `request` (of "Order") finds, in its order. The rows are read from the file as
    // stored: a context with unsaved changes reads its orders with Order::read instead. A failure
    // of the file answers the orders read before it with `error`.
    static std::vector<std::unique_ptr<Order>> read(ObjectContext& context, const FetchRequest& request,
                                                    Error* error = nullptr);
};

} // namespace tavlo
