#include "screens/payments/OrderPaymentsViewController.h"

#include "core/order/Order.h"
#include "core/session/Session.h"
#include "payments/PaymentHandlerAdapter.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/NavigationController.h"

#include <algorithm>

namespace tavlo::screens {

using namespace ui;

std::shared_ptr<Order> OrderPaymentsViewController::storedOrder() const {
    ManagedObjectPtr stored =
        order_ && order_->remoteId() ? context()->fetchFirst("Order", "remoteId == %@", *order_->remoteId()) : nullptr;
    return stored ? std::make_shared<Order>(*stored, context()) : order_;
}

void OrderPaymentsViewController::viewDidLoad() {
    PaymentsViewController::viewDidLoad();
    setShowGratuity(session()->isUsingGratuity());
    navigationItem().setLeftBarButtonItem(
        BarButtonItem::titled(localized("Cancel"), BarButtonStyle::Done, [this](BarButtonItem&) {
            if (action_) action_();
        }));
    newPaymentButton_ = Button::make(ButtonType::RoundedRect, Rect(0, 0, 160, 32));
    newPaymentButton_->setTitle(localized("New Payment"));
    newPaymentButton_->addTarget([this](Control&) { newPayment(); }, ControlEvent::TouchUpInside);
    newPaymentButton_->setEnabled(order_ && order_->getDue() >= 1);
    navigationItem().setTitleView(newPaymentButton_);
    navigationItem().setRightBarButtonItem(editButtonItem());
}

void OrderPaymentsViewController::viewWillAppear(bool animated) {
    PaymentsViewController::viewWillAppear(animated);
    refetch();
}

void OrderPaymentsViewController::listReloaded() {
    std::shared_ptr<Order> order = storedOrder();
    if (newPaymentButton_) newPaymentButton_->setEnabled(order && order->getDue() >= 1);
}

std::unique_ptr<FetchedResultsController> OrderPaymentsViewController::makeFetchedResultsController() {
    FetchRequest request("Payment", Predicate::format("order.remoteId == %@", order_->remoteId().value_or("")));
    request.sortDescriptors = {{"type"}, {"created"}};
    return std::make_unique<FetchedResultsController>(*context(), std::move(request), std::string("type"));
}

void OrderPaymentsViewController::newPayment() {
    NavigationController* navigation = navigationController();
    if (!navigation) return;
    const NavigationController::Stack& stack = navigation->viewControllers();
    const bool payBelow = std::any_of(stack.begin(), stack.end(), [](const std::shared_ptr<ViewController>& shown) {
        return shown->interfaceName() == OrderTaskScreen::kPayInterface;
    });
    if (payBelow) {
        navigation->pop(animated());
        return;
    }
    std::shared_ptr<ViewController> pay = InterfaceRegistry::shared().instantiate(OrderTaskScreen::kPayInterface);
    auto* task = dynamic_cast<OrderTaskScreen*>(pay.get());
    if (!task) return;
    task->setSession(session().get());
    // The payment goes with the order as the list left it: a payment voided here stays voided.
    task->setOrder(storedOrder());
    task->setAction(action_);
    navigation->push(pay, animated());
}

void OrderPaymentsViewController::setEditing(bool editing, bool animated) {
    if (editing) {
        std::shared_ptr<Order> order = storedOrder();
        std::shared_ptr<PaymentHandlerAdapter> handler;
        bool handlerAsked = false;
        auto adjustable = [&](const std::shared_ptr<Payment>& payment) {
            if (!session()->isLite() || !goesToCardHost(payment->type())) return true;
            if (!handlerAsked) {
                HostConfig config;
                std::string message;
                handler = creditHandler(config, message);
                handlerAsked = true;
            }
            return handler && handler->canAdjust();
        };
        const std::vector<std::shared_ptr<Payment>> payments =
            order ? order->payments() : std::vector<std::shared_ptr<Payment>>{};
        if (std::none_of(payments.begin(), payments.end(), adjustable)) return refuseEditing();
    }
    PaymentsViewController::setEditing(editing, animated);
}

} // namespace tavlo::screens
