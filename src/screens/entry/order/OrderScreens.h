#pragma once

#include <functional>
#include <memory>

namespace tavlo {
class Order;
class Session;
} // namespace tavlo

namespace tavlo::screens {

// What the order screen hands the screens it opens by their interface names alone (the pay
// screens, the order details): a controller registered under such a name answers this interface.
class OrderTaskScreen {
public:
    // The pay screen for an order without payments, the payment list for one with payments, the
    // order details and the selection editor.
    static constexpr const char* kPayInterface = "PayViewController";
    static constexpr const char* kPaymentsInterface = "PaymentsView";
    static constexpr const char* kOrderDetailsInterface = "OrderDetailsView";
    static constexpr const char* kSelectionInterface = "SelectionView";

    virtual ~OrderTaskScreen() = default;
    virtual void setSession(Session* session) = 0;
    virtual void setOrder(std::shared_ptr<Order> order) = 0;
    // Told when the screen is finished (the pay screens' answer).
    virtual void setAction(std::function<void()> action) = 0;
};

// The order details and split screens answer with the order as they left it (null: unchanged).
class OrderReplacingScreen : public OrderTaskScreen {
public:
    virtual void setReplaceAction(std::function<void(std::shared_ptr<Order> order)> action) = 0;
};

} // namespace tavlo::screens
