#pragma once

namespace tavlo {

// Wakes the background handlers at once instead of at their next timed run: the store handler
// loads the store's configuration and menus, the order handler the orders.
class HandlerWaker {
public:
    virtual ~HandlerWaker() = default;
    virtual void wakeStore() = 0;
    virtual void wakeOrders() = 0;
};

} // namespace tavlo
