#include "support/FakePorts.h"

#include "core/order/Order.h"
#include "core/order/Payment.h"
#include "platform/store/ObjectContext.h"

namespace tavlo::test {

bool FakeOrderSender::sendOrder(tavlo::Order& order, const std::optional<std::string>& userId, ObjectContext* context,
                                Error* error) {
    orders.push_back({order.remoteId(), userId, context});
    if (failure) {
        Error::set(error, *failure);
        return false;
    }
    for (const SelectionPtr& line : order.getSelections()) {
        line->setNewQuantity(0);
        line->setNew(false);
        line->setModified(false);
    }
    for (const tavlo::Order::PaymentPtr& payment : order.getPayments()) {
        payment->setNew(false);
        payment->setModified(false);
    }
    order.savedRemotely();
    // The terminal's own queue keeps the order as handed over.
    if (context) {
        order.write(*context);
        return context->save(error);
    }
    return true;
}

bool FakeOrderSender::sendNoSale(const std::optional<std::string>& rowId, const std::optional<std::string>& request,
                                 const std::optional<std::string>& userId, ObjectContext* context, Error* error) {
    noSales.push_back({rowId, request, userId, context});
    if (!failure) return true;
    Error::set(error, *failure);
    return false;
}

bool FakeBusinessDay::answer(const char* call, const std::optional<Error>& failure, Error* error) {
    calls.emplace_back(call);
    if (!failure) return true;
    Error::set(error, *failure);
    return false;
}

bool FakeBusinessDay::openStore(const std::optional<std::string>& user, Date when, ObjectContext*, Error* error) {
    userId = user;
    date = when;
    return answer("openStore", openFailure, error);
}

bool FakeBusinessDay::canClose(ObjectContext*, Error* error) { return answer("canClose", canCloseFailure, error); }

bool FakeBusinessDay::closeStore(const std::optional<std::string>& user, Date when, ObjectContext*, Error* error) {
    userId = user;
    date = when;
    return answer("closeStore", closeFailure, error);
}

void FakeBusinessDay::pauseHandlers() {
    calls.emplace_back("pauseHandlers");
    paused = true;
}

void FakeBusinessDay::resumeHandlers() {
    calls.emplace_back("resumeHandlers");
    paused = false;
}

std::optional<std::vector<std::string>> FakeBusinessDay::getPaymentRefs(long type, const std::optional<std::string>&,
                                                                        const std::optional<std::string>&,
                                                                        const std::optional<std::string>&,
                                                                        ObjectContext*, Error* error) {
    paymentType = type;
    if (!answer("getPaymentRefs", refsFailure, error)) return std::nullopt;
    return paymentRefs;
}

int32_t FakeCardBatch::openBatch(const std::string& host, const HostConfig& config, Date, Error* error) {
    calls.push_back({"openBatch", host, config, {}});
    if (!openFailure) return 1;
    Error::set(error, *openFailure);
    return -1;
}

bool FakeCardBatch::closeBatch(const std::string& host, const HostConfig& config,
                               const std::vector<std::string>& transactionIds, Error* error) {
    calls.push_back({"closeBatch", host, config, transactionIds});
    if (!closeFailure) return true;
    Error::set(error, *closeFailure);
    return false;
}

FakePorts::FakePorts() {
    OrderSender::install(sender);
    BusinessDay::install(day);
    CardBatch::install(cards);
}

FakePorts::~FakePorts() {
    OrderSender::install(nullptr);
    BusinessDay::install(nullptr);
    CardBatch::install(nullptr);
}

} // namespace tavlo::test
