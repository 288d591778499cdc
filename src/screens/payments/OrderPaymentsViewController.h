#pragma once

#include "platform/ui/Button.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/payments/PaymentsViewController.h"

#include <functional>
#include <memory>

namespace tavlo::screens {

// One order's payments, as the order screen opens them for an order that has some: "New Payment"
// leads to the pay screen while the order still owes something; Cancel tells the opener.
class OrderPaymentsViewController : public PaymentsViewController, public OrderTaskScreen {
public:
    static constexpr const char* kInterfaceName = OrderTaskScreen::kPaymentsInterface;

    void setSession(Session* session) override { PaymentsViewController::setSession(session); }
    const std::shared_ptr<Order>& order() const { return order_; }
    void setOrder(std::shared_ptr<Order> order) override { order_ = std::move(order); }
    void setAction(std::function<void()> action) override { action_ = std::move(action); }

    // Back to the pay screen this list was opened from, else a new one for the order.
    void newPayment();

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    // Editing needs at least one payment whose amounts can be adjusted.
    void setEditing(bool editing, bool animated) override;

protected:
    std::unique_ptr<FetchedResultsController> makeFetchedResultsController() override;
    // "New Payment" follows what the order owes now.
    void listReloaded() override;

private:
    // The order as stored now (the list's voids and adjustments are in it), else as handed over.
    std::shared_ptr<Order> storedOrder() const;

    std::shared_ptr<Order> order_;
    std::function<void()> action_;
    std::shared_ptr<ui::Button> newPaymentButton_;
};

} // namespace tavlo::screens
