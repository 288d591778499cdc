#pragma once

#include "core/ports/Port.h"
#include "platform/foundation/Error.h"

#include <optional>
#include <string>

namespace tavlo {

class ObjectContext;
class Order;

// Where the model hands over what the store server must get. The order handler implements it: a
// queueing terminal stores the record together with its outgoing-queue row in one save, another
// posts it at once. Main thread.
class OrderSender : public Port<OrderSender> {
public:
    static constexpr const char* kClassName = "OrderSender";

    virtual ~OrderSender() = default;
    // Sends the order that changed on behalf of `userId`; false with `error` when it was neither
    // stored nor posted.
    virtual bool sendOrder(Order& order, const std::optional<std::string>& userId, ObjectContext* context,
                           Error* error) = 0;
    // Queues the no-sale `request` (queued even by a terminal that does not queue).
    virtual bool sendNoSale(const std::optional<std::string>& rowId, const std::optional<std::string>& request,
                            const std::optional<std::string>& userId, ObjectContext* context, Error* error) = 0;
};

} // namespace tavlo
