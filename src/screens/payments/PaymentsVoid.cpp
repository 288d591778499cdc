// Voids from the payment list: the right to void (or a manager's authorisation), the card host's
// void on a terminal that is its own till, the cash a closed drawer count holds, and the order
// sent again with its payment voided.
#include "core/order/Order.h"
#include "core/ports/OrderSender.h"
#include "core/session/Session.h"
#include "core/util/Utils.h"
#include "payments/PaymentHandlerAdapter.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/NavigationController.h"
#include "screens/common/ActivityIndicator.h"
#include "screens/common/prompts/AuthenticateViewController.h"
#include "screens/payments/PaymentsViewController.h"

#include <algorithm>
#include <set>

namespace tavlo::screens {

using namespace ui;

void PaymentsViewController::authorize(const std::string& title, const std::string& permission,
                                       std::function<void(const std::string& userId)> granted) {
    auto prompt = std::make_shared<AuthenticateViewController>();
    prompt->setTitle(localized(title));
    prompt->setSession(session().get());
    prompt->setPermissions({permission});
    prompt->setPopWhenDone(false);
    std::weak_ptr<ViewController> weak = weak_from_this();
    prompt->setObserver([weak, granted = std::move(granted)](const std::any&, const std::string& userId) {
        auto self = std::dynamic_pointer_cast<PaymentsViewController>(weak.lock());
        if (!self) return;
        self->dismiss(self->animated());
        granted(userId);
    });
    auto navigation = std::make_shared<NavigationController>(prompt);
    navigation->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
    present(navigation, animated());
}

void PaymentsViewController::confirmVoid(const ManagedObjectPtr& payment) {
    const int32_t total = payment->int32("subTotal") + payment->int32("tip") + payment->int32("gratuity");
    alert("Void Payment",
          format(localized("Void this payment of %@? A void cannot be taken back."), Utils::formatCurrency(total)),
          {"Cancel", {localized("Void")}}, [this, payment](int button) {
              if (button == 1) requestVoid(payment);
          });
}

void PaymentsViewController::requestVoid(const ManagedObjectPtr& payment) {
    const std::string permission = Payment::voidPermission(payment->int32("type"));
    if (session_->isGranted(Right::Void) || (!permission.empty() && session_->isGranted(permission)))
        return voidPayment(payment, session_->userId());
    std::weak_ptr<ViewController> weak = weak_from_this();
    authorize("Void Payment", permission, [weak, payment](const std::string& userId) {
        if (auto self = std::dynamic_pointer_cast<PaymentsViewController>(weak.lock()))
            self->voidPayment(payment, userId);
    });
}

bool PaymentsViewController::changeOnOrder(const ManagedObject& payment,
                                           const std::function<void(Order&, Payment&)>& change, bool storeFirst,
                                           Error* error) {
    ObjectContext* store = context();
    ManagedObjectPtr orderRow = payment.toOne("order");
    if (!orderRow) {
        Error::set(error, Utils::kStoreServerErrorDomain, -1, localized("Unable to find the payment's order"));
        return false;
    }
    Order order(*orderRow, store);
    const std::vector<std::shared_ptr<Payment>>& payments = order.payments();
    auto onOrder = std::find_if(payments.begin(), payments.end(), [&payment](const std::shared_ptr<Payment>& p) {
        return p->remoteId() && p->remoteId() == payment.text("remoteId");
    });
    // Sending the order without the change would report a change that never happened.
    if (onOrder == payments.end()) {
        Error::set(error, Utils::kStoreServerErrorDomain, -1, localized("Unable to find the payment on its order"));
        return false;
    }
    change(order, **onOrder);
    if (storeFirst) {
        order.write(*store);
        if (!store->save(error)) return false;
    }
    if (!OrderSender::required()->sendOrder(order, session_->userId(), store, error)) {
        // A refused change leaves nothing behind in the store, not even unsaved in the context.
        if (!storeFirst) store->rollback();
        return false;
    }
    if (storeFirst) return true;
    order.write(*store);
    return store->save(error);
}

void PaymentsViewController::voidPayment(const ManagedObjectPtr& payment,
                                         const std::optional<std::string>& authorizedBy) {
    const std::string said = voidOne(payment, authorizedBy);
    refetch();
    alert("Alert", said, {"Ok"});
}

void PaymentsViewController::voidSelected() {
    std::vector<ManagedObjectPtr> chosen;
    for (const IndexPath& path : tableView().indexPathsForSelectedRows())
        if (ManagedObjectPtr payment = paymentAt(path)) chosen.push_back(payment);
    if (chosen.empty()) return;
    // The right to void each tender chosen; what is missing a manager authorises: the tender's own
    // right when one tender lacks it, else the right to void anything.
    std::set<std::string> missing;
    if (!session_->isGranted(Right::Void))
        for (const ManagedObjectPtr& payment : chosen) {
            const std::string permission = Payment::voidPermission(payment->int32("type"));
            if (permission.empty() || !session_->isGranted(permission)) missing.insert(permission);
        }
    if (missing.empty()) return voidPayments(chosen, std::nullopt);
    const std::string needed =
        missing.size() == 1 && !missing.begin()->empty() ? *missing.begin() : Rights::text(Right::Void);
    std::weak_ptr<ViewController> weak = weak_from_this();
    authorize("Void Payment", needed, [weak, chosen](const std::string& userId) {
        if (auto self = std::dynamic_pointer_cast<PaymentsViewController>(weak.lock()))
            self->voidPayments(chosen, userId);
    });
}

void PaymentsViewController::voidPayments(const std::vector<ManagedObjectPtr>& payments,
                                          const std::optional<std::string>& authorizedBy) {
    std::string text;
    for (const ManagedObjectPtr& payment : payments) {
        const std::string said = voidOne(payment, authorizedBy);
        if (text.empty()) text = said;
        else if (text.find(said) == std::string::npos) text = format("%@\n%@", text, said);
    }
    refetch();
    showChosen();
    alert("Alert", text, {"Ok"});
}

std::string PaymentsViewController::voidOne(const ManagedObjectPtr& payment,
                                            const std::optional<std::string>& authorizedBy) {
    const int32_t type = payment->int32("type");
    // Who voided it is who authorised it, else the signed-in user.
    const std::optional<std::string> voidBy = authorizedBy ? authorizedBy : session_->userId();
    auto voidOnOrder = [&voidBy](Order& order, Payment& onOrder) {
        onOrder.voidPayment(voidBy);
        order.setClosed(std::nullopt);
    };
    Error error;
    if (session_->isLite() && goesToCardHost(type)) {
        HostConfig config;
        std::string message;
        std::shared_ptr<PaymentHandlerAdapter> handler = creditHandler(config, message);
        if (!handler) return message;
        std::shared_ptr<PaymentTransaction> transaction = handler->transaction(payment->text("transactionId"), config);
        if (!transaction) return localized("Unable to find transaction");
        showActivity("Voiding");
        if (!handler->cancel(*transaction, config, &error)) {
            ActivityIndicator::hide();
            return failure("Unable to void payment", error);
        }
        // Voided at the host: the payment stays voided here even when the order cannot be sent.
        const bool sent = changeOnOrder(*payment, voidOnOrder, true, &error);
        ActivityIndicator::hide();
        return sent ? localized("Payment was voided") : failure("Unable to void payment", error);
    }
    if (!canVoidPayment(*payment)) {
        return Tender::of(type).needsDrawer
                   ? localized("Unable to void payment as it was part of a previous cash drawer cash out or was "
                               "already voided")
                   : localized("Unable to void payment");
    }
    if (!changeOnOrder(*payment, voidOnOrder, false, &error)) return failure("Unable to void payment", error);
    return localized("Payment was voided");
}

} // namespace tavlo::screens
