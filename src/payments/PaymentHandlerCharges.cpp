// A handler's charges and the orders they pay: an approved charge whose order never got it (the
// terminal stopped between the gateway's answer and the order's save) is put on its order.
#include "payments/PaymentHandlerAdapter.h"

#include "core/order/Order.h"
#include "core/order/Payment.h"
#include "core/ports/OrderSender.h"
#include "core/session/IDBroker.h"
#include "core/util/TavloLog.h"
#include "payments/CardAttempts.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"

namespace tavlo {

namespace {

std::optional<std::string> fieldOf(const ManagedObjectPtr& row, const std::string& name) {
    for (const ManagedObjectPtr& field : row->toMany("transactionFields"))
        if (field->text("name") == name) return field->text("value");
    return std::nullopt;
}

} // namespace

bool PaymentHandlerAdapter::checkCharges(const HostConfig&, const std::optional<std::string>&, Error*) { return true; }

bool PaymentHandlerAdapter::hasUnknownCharge(const HostConfig&, const std::optional<std::string>&) { return false; }

std::optional<std::string> PaymentHandlerAdapter::hostReference(const ManagedObjectPtr& charge) {
    return fieldOf(charge, "PNRef");
}

std::vector<ManagedObjectPtr> PaymentHandlerAdapter::storedCharges(const std::optional<std::string>& orderId) {
    ObjectContext& context = *managedObjectContext();
    std::vector<ManagedObjectPtr> charges;
    for (const ManagedObjectPtr& row :
         context.fetch("Transaction", "voided == nil AND batch.settled == nil AND batch.host.name == %@", hostName())) {
        std::optional<std::string> order = fieldOf(row, CardAttempts::kOrderField);
        std::optional<std::string> reference = hostReference(row);
        std::optional<std::string> type = fieldOf(row, "TransType");
        if (order && (!orderId || order == orderId) && reference && (type == "Sale" || type == "Return") &&
            !context.exists("Payment", "hostData == %@", *reference))
            charges.push_back(row);
    }
    return charges;
}

std::shared_ptr<Payment> PaymentHandlerAdapter::paymentOf(const ManagedObjectPtr& charge, const Order& order) {
    auto payment = std::make_shared<Payment>();
    payment->setRemoteId(IDBroker::getInstance().generateRemoteIdPayment());
    payment->setType(Payment::kCredit);
    payment->setOrder(order.name());
    payment->setSubTotal(charge->int32("subTotal"));
    payment->setTax(charge->int32("tax"));
    payment->setTip(charge->int32("tip"));
    payment->setNumber(charge->text("number"));
    payment->setApproval(charge->text("approval"));
    payment->setRefNum(format("%d", charge->int32("transactionId")));
    payment->setHostData(hostReference(charge));
    payment->setCreated(charge->date("created"));
    payment->setNew(true);
    return payment;
}

bool PaymentHandlerAdapter::attachCharges(const std::optional<std::string>& heldOrderId, Error* error) {
    ObjectContext& context = *managedObjectContext();
    bool attached = true;
    for (const ManagedObjectPtr& charge : storedCharges()) {
        const std::string orderId = fieldOf(charge, CardAttempts::kOrderField).value_or("");
        const std::string reference = hostReference(charge).value_or("");
        if (orderId == heldOrderId) continue;
        ManagedObjectPtr stored = context.fetchFirst("Order", "remoteId == %@", orderId);
        if (!stored) {
            TAVLO_LOG_MAIL("Card charge %@ pays order %@, which this terminal does not have", reference, orderId);
            continue;
        }
        Order order(*stored, &context);
        order.addPayment(paymentOf(charge, order));
        TAVLO_LOG_MAIL("Card charge %@ put on order %@, which did not have it", reference, orderId);
        Error sendError;
        std::shared_ptr<OrderSender> sender = OrderSender::current();
        const bool saved = sender ? sender->sendOrder(order, std::nullopt, &context, &sendError)
                                  : (order.write(context), context.save(&sendError));
        if (!saved) {
            Error::set(error, sendError);
            attached = false;
        }
    }
    return attached;
}

} // namespace tavlo
