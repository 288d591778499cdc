#include "payments/PaymentHandlerAdapter.h"

#include "core/session/Parameters.h"
#include "core/util/TavloLog.h"
#include "core/util/Utils.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"

#include <algorithm>

namespace tavlo {

namespace {

// Rows of one host: `path` leads from the fetched entity to its Host ("" for Host itself).
Predicate ofHost(const std::string& path, const std::string& name, const std::string& merchant,
                 const std::string& terminal) {
    return Predicate::format(path + "name == %@ AND " + path + "merchantId == %@ AND " + path + "terminalId == %@",
                             name, merchant, terminal);
}

template <typename... Args>
Predicate ofHost(const std::string& path, const std::string& name, const std::string& merchant,
                 const std::string& terminal, std::string_view more, const Args&... args) {
    return Predicate::andPredicates({ofHost(path, name, merchant, terminal), Predicate::format(more, args...)});
}

ManagedObjectPtr first(ObjectContext& context, std::string entity, Predicate predicate,
                       std::vector<SortDescriptor> sorts = {}) {
    return context.fetchFirst(FetchRequest(std::move(entity), std::move(predicate), std::move(sorts), 1));
}

// Newest first: numbers repeat once they wrap.
const std::vector<SortDescriptor> kNewestBatch = {{"created", false}};
const std::vector<SortDescriptor> kNewestTransaction = {{"created", false}, {"batch.created", false}};

} // namespace

PaymentHandlerAdapter::PaymentHandlerAdapter(std::string hostName, ObjectContext* context)
    : hostName_(toUpper(hostName)), context_(context) {}

// ---- abstract gateway operations ----

int32_t PaymentHandlerAdapter::openBatch(const HostConfig&, std::optional<Date>, Error*) {
    throw InconsistencyError::mustOverride("openBatch:openDate:error:");
}
bool PaymentHandlerAdapter::closeBatch(const HostConfig&, const std::vector<std::string>&, Error*) {
    throw InconsistencyError::mustOverride("closeBatch:withTransactionIds:error:");
}
std::shared_ptr<PaymentTransaction> PaymentHandlerAdapter::newTransaction(const HostConfig&, Error*) {
    throw InconsistencyError::mustOverride("newTransaction:error:");
}
std::shared_ptr<PaymentTransaction> PaymentHandlerAdapter::transaction(const std::optional<std::string>&,
                                                                       const HostConfig&) {
    throw InconsistencyError::mustOverride("transaction:withConfig:");
}
bool PaymentHandlerAdapter::sale(PaymentTransaction&, const HostConfig&, Error*) {
    throw InconsistencyError::mustOverride("sale:withConfig:error:");
}
bool PaymentHandlerAdapter::authorize(PaymentTransaction&, const HostConfig&, Error*) {
    throw InconsistencyError::mustOverride("authorize:withConfig:error:");
}
bool PaymentHandlerAdapter::adjust(PaymentTransaction&, const HostConfig&, Error*) {
    throw InconsistencyError::mustOverride("adjust:withConfig:error:");
}
bool PaymentHandlerAdapter::refund(PaymentTransaction&, const HostConfig&, Error*) {
    throw InconsistencyError::mustOverride("refund:withConfig:error:");
}
bool PaymentHandlerAdapter::cancel(PaymentTransaction&, const HostConfig&, Error*) {
    throw InconsistencyError::mustOverride("cancel:withConfig:error:");
}
void PaymentHandlerAdapter::restoreBatch(std::optional<Date>, ObjectContext&) {
    throw InconsistencyError::mustOverride("restoreBatch:inContext:");
}

// ---- configuration and business day ----

const std::vector<std::string>& PaymentHandlerAdapter::trackDataFields() {
    // TAVLO_RAW_SWIPE is the whole stripe as read: account number and expiry in clear.
    static const std::vector<std::string> fields = {
        "TRACK_1",           "TRACK_2",     "TRACK_3",      "TRACK_1_ENCRYPTED", "TRACK_2_ENCRYPTED",
        "TRACK_3_ENCRYPTED", "ENCRYPT_KEY", "ENCRYPT_DATA", "ENCRYPT_STATUS",    "TAVLO_RAW_SWIPE"};
    return fields;
}

std::optional<Date> PaymentHandlerAdapter::startDate() {
    ManagedObjectPtr day = first(*context_, "StoreBatch", Predicate::format("closedOn == nil"), {{"openedOn", false}});
    return day ? day->date("openedOn") : std::nullopt;
}

HostConfig PaymentHandlerAdapter::getHostConfig(std::string_view hostName, ObjectContext& context) {
    return Parameters::hostSettings(hostName, &context);
}

// ---- hosts and batches ----

ManagedObjectPtr PaymentHandlerAdapter::findHost(const std::string& merchant, const std::string& terminal) {
    return first(*context_, "Host", ofHost("", hostName_, merchant, terminal), {{"created", false}});
}

ManagedObjectPtr PaymentHandlerAdapter::getHost(const std::string& merchant, const std::string& terminal) {
    if (ManagedObjectPtr host = findHost(merchant, terminal)) return host;
    ManagedObjectPtr host = context_->insert("Host");
    host->setValue("name", hostName_);
    host->setValue("merchantId", merchant);
    host->setValue("terminalId", terminal);
    host->setValue("lastBatchId", 0);
    host->setValue("lastTransactionId", 0);
    host->setValue("created", Date::now());
    return host;
}

ManagedObjectPtr PaymentHandlerAdapter::getBatch(int32_t batchId, const std::string& merchant,
                                                 const std::string& terminal) {
    return first(*context_, "Batch", ofHost("host.", hostName_, merchant, terminal, "batchId == %d", batchId),
                 kNewestBatch);
}

ManagedObjectPtr PaymentHandlerAdapter::saveBatch(int32_t batchId, const std::string& merchant,
                                                  const std::string& terminal, std::optional<Date> openDate,
                                                  std::optional<Date> settledDate) {
    ManagedObjectPtr batch = getBatch(batchId, merchant, terminal);
    if (!batch || (!settledDate && !batch->isNil("settled"))) {
        batch = context_->insert("Batch");
        batch->setValue("batchId", batchId);
        batch->setValue("created", openDate.value_or(Date::now()));
        batch->setToOne("host", getHost(merchant, terminal));
    }
    batch->setValue("updateDate", Date::now());
    if (settledDate) batch->setValue("settled", *settledDate);
    return batch;
}

void PaymentHandlerAdapter::deleteBatch(int32_t batchId, const std::string& merchant, const std::string& terminal) {
    if (ManagedObjectPtr batch = getBatch(batchId, merchant, terminal)) context_->deleteObject(batch);
}

bool PaymentHandlerAdapter::isBatchOpen(int32_t batchId, const std::string& merchant, const std::string& terminal) {
    ManagedObjectPtr batch = getBatch(batchId, merchant, terminal);
    return batch && batch->isNil("settled");
}

bool PaymentHandlerAdapter::isBatchEmpty(int32_t batchId, const std::string& merchant, const std::string& terminal) {
    ManagedObjectPtr batch = getBatch(batchId, merchant, terminal);
    if (!batch) return true;
    std::vector<ManagedObjectPtr> rows = batch->toMany("transactions");
    return std::all_of(rows.begin(), rows.end(), [](const ManagedObjectPtr& row) { return !row->isNil("voided"); });
}

int32_t PaymentHandlerAdapter::latestBatchId(const std::string& merchant, const std::string& terminal) {
    auto guard = lock();
    ManagedObjectPtr host = findHost(merchant, terminal);
    if (!host) return -1;
    ManagedObjectPtr batch = getBatch(host->int32("lastBatchId"), merchant, terminal);
    return batch ? batch->int32("batchId") : -1;
}

// ---- numbering ----

int32_t PaymentHandlerAdapter::nextId(const char* attribute, const std::string& merchant, const std::string& terminal,
                                      int32_t maxId, Error* error) {
    auto guard = lock();
    ManagedObjectPtr host = getHost(merchant, terminal);
    int32_t last = host->int32(attribute);
    int32_t next = last >= maxId || last < 0 ? 1 : last + 1;
    host->setValue(attribute, next);
    if (!context_->save(error)) {
        host->setValue(attribute, last); // the number was not taken
        return -1;
    }
    return next;
}

int32_t PaymentHandlerAdapter::nextBatchId(const std::string& merchant, const std::string& terminal, int32_t maxId,
                                           Error* error) {
    return nextId("lastBatchId", merchant, terminal, maxId, error);
}

int32_t PaymentHandlerAdapter::nextTransactionId(const std::string& merchant, const std::string& terminal,
                                                 int32_t maxId, Error* error) {
    return nextId("lastTransactionId", merchant, terminal, maxId, error);
}

// ---- transactions ----

ManagedObjectPtr PaymentHandlerAdapter::transactionFromDB(const std::optional<std::string>& transactionId,
                                                          const std::string& merchant, const std::string& terminal) {
    if (!transactionId) return nullptr;
    return first(*context_, "Transaction",
                 ofHost("batch.host.", hostName_, merchant, terminal, "transactionId == %d", intValue(*transactionId)),
                 kNewestTransaction);
}

ManagedObjectPtr PaymentHandlerAdapter::transactionInBatch(int32_t transactionId, const ManagedObjectPtr& batch) {
    if (!batch) return nullptr;
    FetchRequest request("Transaction", Predicate::format("transactionId == %d AND batch.batchId == %d", transactionId,
                                                          batch->int32("batchId")));
    for (const ManagedObjectPtr& row : context_->fetch(request)) {
        if (row->toOneID("batch") == batch->objectID()) return row;
    }
    return nullptr;
}

bool PaymentHandlerAdapter::transactionByHostId(PaymentTransaction& transaction, const std::string& hostId,
                                                const std::string& fieldName, const std::string& merchant,
                                                const std::string& terminal) {
    ManagedObjectPtr field = first(*context_, "TransactionField",
                                   ofHost("transaction.batch.host.", hostName_, merchant, terminal,
                                          "name == %@ AND value == %@", fieldName, hostId),
                                   {{"transaction.created", false}, {"transaction.batch.created", false}});
    ManagedObjectPtr row = field ? field->toOne("transaction") : nullptr;
    if (!row) return false;
    transaction.read(*row);
    return true;
}

bool PaymentHandlerAdapter::saveTransaction(PaymentTransaction& transaction, int32_t batchId,
                                            const std::string& merchant, const std::string& terminal, Error* error) {
    ManagedObjectPtr batch = getBatch(batchId, merchant, terminal);
    if (!batch) {
        Error::set(error, PaymentHandlerAdapter::error("Credit card batch not found, transaction was not saved"));
        return false;
    }
    int32_t transactionId = intValue(transaction.transactionId());
    ManagedObjectPtr row = transactionInBatch(transactionId, batch);
    transaction.setUpdated(Date::now());
    if (!row) {
        row = context_->insert("Transaction");
        row->setValue("transactionId", transactionId);
        row->setValue("created", transaction.created());
        row->setValue("approval", transaction.valueForField("APPROVAL"));
        row->setValue("number", transaction.valueForField("NUMBER"));
        row->setValue("offline", transaction.offline());
        row->setValue("subTotal", Utils::parseCurrency(transaction.valueForField("SUB_TOTAL")));
        row->setToOne("batch", batch);
    }
    row->setValue("updateDate", transaction.updated());
    if (transaction.contains("TIP")) row->setValue("tip", Utils::parseCurrency(transaction.valueForField("TIP")));
    if (transaction.contains("TAX")) row->setValue("tax", Utils::parseCurrency(transaction.valueForField("TAX")));
    if (transaction.adjusted()) row->setValue("adjusted", *transaction.adjusted());
    if (transaction.voided()) row->setValue("voided", *transaction.voided());

    for (const std::string& name : trackDataFields()) transaction.removeField(name);

    std::vector<ManagedObjectPtr> stored = row->toMany("transactionFields");
    // The gateway's credentials come from the configuration: a row (which the server may have
    // mailed) keeps none, and a credential an older version stored goes now.
    for (const ManagedObjectPtr& field : stored)
        if (PaymentTransaction::isCredential(field->text("name").value_or(""))) context_->deleteObject(field);
    for (const std::string& name : transaction.getFields()) {
        if (PaymentTransaction::isCredential(name)) continue;
        if (std::optional<std::string> value = transaction.valueForField(name)) storeField(row, stored, name, *value);
    }

    Error saveError;
    if (!context_->save(&saveError)) {
        TAVLO_LOG_MAIL("Problem saving: %@", saveError.localizedDescription());
        Error::set(error, saveError);
        return false;
    }
    return true;
}

void PaymentHandlerAdapter::storeField(const ManagedObjectPtr& row, std::vector<ManagedObjectPtr>& stored,
                                       const std::string& name, const std::string& value) {
    auto it = std::find_if(stored.begin(), stored.end(),
                           [&](const ManagedObjectPtr& field) { return field->text("name") == name; });
    ManagedObjectPtr field;
    if (it != stored.end()) {
        field = *it;
    } else {
        field = context_->insert("TransactionField");
        field->setValue("name", name);
        field->setToOne("transaction", row);
        stored.push_back(field);
    }
    field->setValue("value", value);
}

std::vector<std::string> PaymentHandlerAdapter::transactionIds(int32_t batchId, const std::string& merchant,
                                                               const std::string& terminal, bool includeVoids) {
    std::vector<int32_t> numbers;
    if (ManagedObjectPtr batch = getBatch(batchId, merchant, terminal)) {
        for (const ManagedObjectPtr& row : batch->toMany("transactions")) {
            if (includeVoids || row->isNil("voided")) numbers.push_back(row->int32("transactionId"));
        }
    }
    std::sort(numbers.begin(), numbers.end());
    std::vector<std::string> ids;
    for (int32_t number : numbers) ids.push_back(format("%d", number));
    return ids;
}

bool PaymentHandlerAdapter::handleOrphans(int32_t batchId, const std::vector<std::string>& tavloIds,
                                          const std::string& merchant, const std::string& terminal, bool cancelOrphans,
                                          bool ignoreOrphans, const HostConfig& config, Error* error) {
    std::vector<std::string> ours = transactionIds(batchId, merchant, terminal, true);
    std::vector<std::string> orphans;
    for (const std::string& id : ours) {
        if (std::find(tavloIds.begin(), tavloIds.end(), id) == tavloIds.end()) orphans.push_back(id);
    }
    if (orphans.empty()) {
        if (ours.size() == tavloIds.size()) return true;
        std::vector<std::string> missing = tavloIds;
        for (const std::string& id : ours) {
            if (auto it = std::find(missing.begin(), missing.end(), id); it != missing.end()) missing.erase(it);
        }
        Error::set(error, PaymentHandlerAdapter::error(
                              format("Payment references missing: %@. Please contact support to restore them.",
                                     join(missing, ", "))));
        return false;
    }
    if (cancelOrphans) {
        for (const std::string& id : orphans) {
            std::shared_ptr<PaymentTransaction> orphan = transaction(id, config);
            TAVLO_LOG_MAIL("Auto-Voiding a transaction we have and Tavlo does not (%@)", id);
            if (!orphan) {
                Error::set(error, PaymentHandlerAdapter::error("Unable to find transaction"));
                return false;
            }
            if (!cancel(*orphan, config, error)) return false;
        }
        return true;
    }
    if (ignoreOrphans) {
        ManagedObjectPtr batch = getBatch(batchId, merchant, terminal);
        for (const std::string& id : orphans) {
            ManagedObjectPtr row = transactionInBatch(intValue(id), batch);
            if (!row) {
                Error::set(error,
                           PaymentHandlerAdapter::error("Unable to ignore orphan payments. Please contact support"));
                return false;
            }
            row->setValue("voided", Date::now());
            ManagedObjectPtr field = context_->insert("TransactionField");
            field->setValue("name", "TAVLO_ORPHAN");
            field->setValue("value", "YES");
            field->setToOne("transaction", row);
        }
        return context_->save(error);
    }
    Error::set(error, PaymentHandlerAdapter::error(
                          format("Unaccounted transactions found: %@. Please contact support", join(orphans, ", "))));
    return false;
}

std::string PaymentHandlerAdapter::cvResponse(char code) {
    switch (code) {
    case 'M': return "Card verification match";
    case 'N': return "No card verification match";
    case 'P': return "Card verification not processed";
    case 'S': return "Card verification data should be on card, but indication was not present";
    case 'U': return "Issuer is not certified for card verification and/or not provided encryption keys";
    case 'X': return "Server Provider did not respond";
    default: return format("Card verification result unknown: %c", code);
    }
}

ManagedObjectPtr PaymentHandlerAdapter::getTransaction(const std::optional<std::string>& transactionId,
                                                       const std::optional<std::string>& hostName,
                                                       const std::optional<std::string>& merchantId,
                                                       const std::optional<std::string>& batchId,
                                                       ObjectContext& context) {
    if (!transactionId || !hostName || !merchantId || !batchId) {
        TAVLO_LOG_MAIL("Command parameter formatted incorrectly, need host name, merchant id, and batch ID");
        return nullptr;
    }
    return first(context, "Transaction",
                 Predicate::format("transactionId == %d AND batch.host.merchantId == %@ AND batch.host.name == %@ "
                                   "AND batch.batchId == %d",
                                   intValue(*transactionId), *merchantId, *hostName, intValue(*batchId)),
                 kNewestTransaction);
}

} // namespace tavlo
