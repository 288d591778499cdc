#pragma once

#include "core/order/Order.h"
#include "platform/foundation/Error.h"
#include "platform/store/FetchRequest.h"

#include <memory>
#include <vector>

namespace tavlo {

class ObjectContext;

// Many stored orders read for their money figures (the day's reports), by column: a handful of
// statements for the whole lot and no objects left in the context. The lines (with their sides,
// combo parts, preparations, exemptions and fixed taxes) and the tax lines are read whole, as
// Order::read reads them, so every total comes out the same; of the header, tenders and
// discounts only what a figure or report uses: not who took the order or a tender, the terminal,
// the customer, the order's times, the drawer, the signature, the card host's reply or who gave
// a discount.
class StoredOrders {
public:
    // The orders `request` (of "Order") finds, in its order. The rows are read from the file as
    // stored: a context with unsaved changes reads its orders with Order::read instead. A failure
    // of the file answers the orders read before it with `error`.
    static std::vector<std::unique_ptr<Order>> read(ObjectContext& context, const FetchRequest& request,
                                                    Error* error = nullptr);
};

} // namespace tavlo
