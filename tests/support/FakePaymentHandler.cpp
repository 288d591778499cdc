#include "support/FakePaymentHandler.h"

#include "core/util/Utils.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"

namespace tavlo::test {

// ---- FakePaymentTransaction ----

int32_t FakePaymentTransaction::approvedAmount() const {
    return Utils::parseCurrency(valueForField("SUB_TOTAL")) + Utils::parseCurrency(valueForField("TIP")) +
           Utils::parseCurrency(valueForField("TAX"));
}

std::vector<std::string> FakePaymentTransaction::getFields() const {
    std::vector<std::string> names;
    for (const auto& entry : fields_) names.push_back(entry.first);
    return names;
}

std::optional<std::string> FakePaymentTransaction::valueForField(std::string_view field) const {
    auto it = fields_.find(field);
    if (it == fields_.end()) return std::nullopt;
    return it->second;
}

void FakePaymentTransaction::setValue(std::optional<std::string> value, std::string_view field) {
    if (!value) return removeField(field);
    fields_[std::string(field)] = std::move(*value);
}

void FakePaymentTransaction::removeField(std::string_view field) {
    if (auto it = fields_.find(field); it != fields_.end()) fields_.erase(it);
}

// ---- FakePaymentHandler ----

FakePaymentHandler::FakePaymentHandler(ObjectContext* context, std::string hostName)
    : PaymentHandlerAdapter(std::move(hostName), context) {}

size_t FakePaymentHandler::callCount(Operation operation) const {
    size_t n = 0;
    for (const Call& call : calls_) n += call.operation == operation;
    return n;
}

std::string FakePaymentHandler::setting(const HostConfig& config, const char* key, const char* fallback) const {
    auto it = config.find(format("HOST_%@_%@", hostName(), key));
    return it != config.end() ? it->second : fallback;
}

std::string FakePaymentHandler::merchant(const HostConfig& config) const { return setting(config, "MERCHANT", ""); }
std::string FakePaymentHandler::terminal(const HostConfig& config) const { return setting(config, "TERMINAL", ""); }

HostConfig FakePaymentHandler::config(const std::string& merchant, const std::string& terminal) const {
    return {{format("HOST_%@_MERCHANT", hostName()), merchant}, {format("HOST_%@_TERMINAL", hostName()), terminal}};
}

FakePaymentHandler::Reply FakePaymentHandler::take(Operation operation) {
    std::deque<Reply>& queue = scripts_[operation];
    if (queue.empty()) return Reply{};
    Reply reply = std::move(queue.front());
    queue.pop_front();
    return reply;
}

void FakePaymentHandler::record(Operation operation, const PaymentTransaction* transaction,
                                std::vector<std::string> ids) {
    Call call{operation, std::nullopt, {}, std::move(ids)};
    if (transaction) {
        call.transactionId = transaction->transactionId();
        for (const std::string& name : transaction->getFields()) {
            if (auto value = transaction->valueForField(name)) call.fields[name] = *value;
        }
    }
    calls_.push_back(std::move(call));
}

namespace {

bool refuse(const FakePaymentHandler::Reply& reply, Error* error) {
    if (reply.outcome == FakePaymentHandler::Outcome::Approve) return false;
    Error::set(error, PaymentHandlerAdapter::error(reply.outcome == FakePaymentHandler::Outcome::Unreachable
                                                       ? FakePaymentHandler::kUnreachable
                                                       : reply.message));
    return true;
}

} // namespace

int32_t FakePaymentHandler::openBatch(const HostConfig& config, std::optional<Date> openDate, Error* error) {
    auto guard = lock();
    record(Operation::OpenBatch, nullptr);
    if (refuse(take(Operation::OpenBatch), error)) return -1;
    std::string m = merchant(config), t = terminal(config);
    int32_t latest = latestBatchId(m, t);
    if (latest != -1 && isBatchOpen(latest, m, t)) return latest;
    int32_t number = nextBatchId(m, t, kMaxId, error);
    if (number == -1) return -1;
    saveBatch(number, m, t, openDate, std::nullopt);
    return managedObjectContext()->save(error) ? number : -1;
}

bool FakePaymentHandler::closeBatch(const HostConfig& config, const std::vector<std::string>& transactionIds,
                                    Error* error) {
    auto guard = lock();
    record(Operation::CloseBatch, nullptr, transactionIds);
    if (refuse(take(Operation::CloseBatch), error)) return false;
    std::string m = merchant(config), t = terminal(config);
    int32_t latest = latestBatchId(m, t);
    if (latest == -1) {
        Error::set(error, PaymentHandlerAdapter::error("No batch found"));
        return false;
    }
    if (!isBatchOpen(latest, m, t)) return true;
    saveBatch(latest, m, t, std::nullopt, Date::now());
    return managedObjectContext()->save(error);
}

std::shared_ptr<PaymentTransaction> FakePaymentHandler::newTransaction(const HostConfig& config, Error* error) {
    auto guard = lock();
    std::string m = merchant(config), t = terminal(config);
    int32_t latest = latestBatchId(m, t);
    if (latest == -1 || !isBatchOpen(latest, m, t)) {
        Error::set(error, PaymentHandlerAdapter::error(kBatchClosed));
        return nullptr;
    }
    int32_t number = nextTransactionId(m, t, kMaxId, error);
    if (number == -1) return nullptr;
    auto transaction = std::make_shared<FakePaymentTransaction>();
    Date now = Date::now();
    transaction->setTransactionId(format("%d", number));
    transaction->setCreated(now);
    transaction->setUpdated(now);
    transaction->setValue(format("%d", number), "REF_NUMBER");
    return transaction;
}

std::shared_ptr<PaymentTransaction> FakePaymentHandler::transaction(const std::optional<std::string>& transactionId,
                                                                    const HostConfig& config) {
    ManagedObjectPtr row = transactionFromDB(transactionId, merchant(config), terminal(config));
    if (!row) return nullptr;
    auto transaction = std::make_shared<FakePaymentTransaction>();
    transaction->read(*row);
    transaction->setApproved(true); // only approved exchanges are stored
    return transaction;
}

bool FakePaymentHandler::exchange(Operation operation, PaymentTransaction& transaction, const HostConfig& config,
                                  Error* error) {
    auto guard = lock();
    std::string m = merchant(config), t = terminal(config);
    int32_t latest = latestBatchId(m, t);
    if (latest == -1 || !isBatchOpen(latest, m, t)) {
        Error::set(error, PaymentHandlerAdapter::error(kBatchClosed));
        return false;
    }
    record(operation, &transaction);
    Reply reply = take(operation);
    auto* fake = dynamic_cast<FakePaymentTransaction*>(&transaction);
    if (fake) fake->setApproved(reply.outcome == Outcome::Approve);
    if (refuse(reply, error)) {
        if (reply.outcome == Outcome::Decline) transaction.setValue(reply.message, "RESPONSE");
        return false;
    }
    transaction.setValue("Approved", "RESPONSE");
    if (operation == Operation::Sale || operation == Operation::Refund || operation == Operation::Authorize) {
        transaction.setValue(reply.approval, "APPROVAL");
        transaction.setHostData(reply.hostData ? reply.hostData : "R" + transaction.transactionId().value_or(""));
    }
    if (operation == Operation::Cancel && !transaction.voided()) transaction.setVoided(Date::now());
    if (operation == Operation::Adjust) transaction.setAdjusted(Date::now());
    return saveTransaction(transaction, latest, m, t, error);
}

bool FakePaymentHandler::sale(PaymentTransaction& transaction, const HostConfig& config, Error* error) {
    return exchange(Operation::Sale, transaction, config, error);
}
bool FakePaymentHandler::authorize(PaymentTransaction& transaction, const HostConfig& config, Error* error) {
    return exchange(Operation::Authorize, transaction, config, error);
}
bool FakePaymentHandler::adjust(PaymentTransaction& transaction, const HostConfig& config, Error* error) {
    return exchange(Operation::Adjust, transaction, config, error);
}
bool FakePaymentHandler::refund(PaymentTransaction& transaction, const HostConfig& config, Error* error) {
    return exchange(Operation::Refund, transaction, config, error);
}
bool FakePaymentHandler::cancel(PaymentTransaction& transaction, const HostConfig& config, Error* error) {
    return exchange(Operation::Cancel, transaction, config, error);
}

void FakePaymentHandler::restoreBatch(std::optional<Date>, ObjectContext&) { record(Operation::RestoreBatch, nullptr); }

} // namespace tavlo::test
