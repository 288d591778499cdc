#include "payments/CardAttempts.h"

#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"

namespace tavlo {

CardAttempts::CardAttempts(ObjectContext* context, std::string hostName, std::string merchant, std::string terminal)
    : context_(context), hostName_(std::move(hostName)), merchant_(std::move(merchant)),
      terminal_(std::move(terminal)) {}

ManagedObjectPtr CardAttempts::record(const PaymentTransaction& transaction, const std::string& kind, int32_t batchId,
                                      Error* error) {
    ManagedObjectPtr attempt = context_->insert(kEntity);
    attempt->setValue("invoice", intValue(transaction.transactionId()));
    attempt->setValue("orderId", transaction.valueForField(kOrderField));
    attempt->setValue("kind", kind);
    attempt->setValue("amount", transaction.approvedAmount());
    attempt->setValue("batchId", batchId);
    attempt->setValue("hostName", hostName_);
    attempt->setValue("merchantId", merchant_);
    attempt->setValue("terminalId", terminal_);
    attempt->setValue("created", Date::now());
    if (context_->save(error)) return attempt;
    context_->deleteObject(attempt);
    return nullptr;
}

void CardAttempts::settle(const ManagedObjectPtr& attempt) {
    if (attempt) context_->deleteObject(attempt);
}

std::vector<ManagedObjectPtr> CardAttempts::unknown(const std::optional<std::string>& orderId) {
    Predicate ofHost =
        Predicate::format("hostName == %@ AND merchantId == %@ AND terminalId == %@", hostName_, merchant_, terminal_);
    Predicate predicate =
        orderId ? Predicate::andPredicates({ofHost, Predicate::format("orderId == %@", *orderId)}) : ofHost;
    return context_->fetch(FetchRequest(kEntity, predicate, {{"created", true}}));
}

} // namespace tavlo
