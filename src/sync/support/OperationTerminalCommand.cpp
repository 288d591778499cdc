#include "sync/support/OperationTerminalCommand.h"

#include <functional>
#include <map>
#include <system_error>
#include <vector>

#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Parameters.h"
#include "core/util/TavloLog.h"
#include "payments/PaymentHandlerAdapter.h"
#include "payments/Transaction.h"
#include "platform/foundation/Directories.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/store/Predicate.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/OrderHandler.h"
#include "sync/support/MailRelay.h"
#include "sync/support/SupportService.h"
#include "sync/support/UploadHelper.h"
#include "xml/XmlHelper.h"

namespace tavlo {

namespace {

namespace fs = std::filesystem;

// A command's XML parameter; no root when the text is missing or not XML.
struct Param {
    explicit Param(const std::optional<std::string>& text) : doc(text ? XmlHelper::parse(*text) : nullptr) {
        root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    }
    std::optional<std::string> hostValue(std::string_view child) const {
        return XmlHelper::getChildValue(doc.get(), XmlHelper::getFirstChildNode(root, "host"), child);
    }
    // The host's name and merchant id, which the settle and increment documents need.
    bool readHostNames() {
        name = hostValue("name");
        merchantId = hostValue("merchantId");
        if (name && merchantId) return true;
        TAVLO_LOG_MAIL("Command parameter formatted incorrectly, need host name and merchant id");
        return false;
    }
    XmlDocPtr doc;
    xmlNodePtr root = nullptr;
    std::optional<std::string> name, merchantId;
};

std::string subject(std::string_view command, const std::optional<std::string>& storeId) {
    return format("Terminal Command: %@ (store:%@)", command, storeId);
}

ManagedObjectPtr findHost(ObjectContext* context, const std::string& merchantId, const std::string& name) {
    return DBHelper::getObject(
        "Host", {Predicate::format("merchantId == %@", merchantId), Predicate::format("name == %@", name)}, context);
}

ManagedObjectPtr findBatch(ObjectContext* context, const std::optional<std::string>& merchantId,
                           const std::optional<std::string>& hostName, int32_t batchId) {
    if (!merchantId || !hostName) return nullptr;
    return DBHelper::getObject("Batch",
                               {Predicate::format("host.merchantId == %@", *merchantId),
                                Predicate::format("host.name == %@", *hostName),
                                Predicate::format("batchId == %d", batchId)},
                               context);
}

std::optional<std::string> transactionDump(const ManagedObjectPtr& row) {
    if (!row) return std::nullopt;
    return XmlHelper::getXmlTransaction(Transaction::cardTransactionValues(*row));
}

// Adds the "offset" of an increment document (1 when absent) to the host's counter.
bool increment(ObjectContext* context, const std::optional<std::string>& text, const char* attribute) {
    Param param(text);
    if (!param.readHostNames()) return false;
    ManagedObjectPtr host = findHost(context, *param.merchantId, *param.name);
    if (!host) return false;
    std::optional<std::string> offset = param.hostValue("offset");
    host->setValue(attribute, host->int32(attribute) + (offset ? intValue(*offset) : 1));
    return true;
}

void writeOnto(ManagedObject& row, const Transaction& value) {
    row.setValue("number", value.number());
    row.setValue("approval", value.approval());
    row.setValue("subTotal", value.subTotal());
    row.setValue("tip", value.tip());
    row.setValue("tax", value.tax());
    row.setValue("offline", value.offline());
    row.setValue("voided", value.voided());
    row.setValue("adjusted", value.adjusted());
    row.setValue("created", value.created());
    row.setValue("updateDate", value.updated());
}

// The element's fields over the stored ones: an empty value deletes a field, a new name adds one.
void mergeFields(ObjectContext* context, const ManagedObjectPtr& row, const Transaction& value) {
    std::map<std::string, std::string> fields = value.fields();
    for (const ManagedObjectPtr& field : row->toMany("transactionFields")) {
        auto it = fields.find(field->text("name").value_or(""));
        if (it == fields.end()) continue;
        if (it->second.empty()) {
            row->removeFrom("transactionFields", field);
            context->deleteObject(field);
        } else {
            field->setValue("value", it->second);
        }
        fields.erase(it);
    }
    for (const auto& [name, fieldValue] : fields) {
        ManagedObjectPtr field = context->insert("TransactionField");
        field->setValue("name", name);
        field->setValue("value", fieldValue);
        row->addTo("transactionFields", field);
    }
}

} // namespace

OperationTerminalCommand::OperationTerminalCommand(std::string url, std::shared_ptr<ObjectStore> coordinator)
    : OperationAdapter(std::move(coordinator)), url_(std::move(url)) {}

std::pair<std::string, std::optional<std::string>> OperationTerminalCommand::splitCommand(const std::string& text) {
    size_t space = text.find(' ');
    if (space == std::string::npos || space + 1 == text.size()) return {text, std::nullopt};
    return {text.substr(0, space), text.substr(space + 1)};
}

void OperationTerminalCommand::main() {
    std::unique_ptr<ObjectContext> owned = newContext();
    ObjectContext* context = owned.get();
    ManagedObjectPtr terminal = DBHelper::getTerminal(IDBroker::deviceIdentifier(), context);
    std::optional<std::string> command = terminal ? terminal->text("command") : std::nullopt;
    if (!command || command->empty()) return;

    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    std::optional<std::string> storeId = defaults.stringForKey("store_id");
    std::optional<std::string> password = defaults.stringForKey("password");
    TAVLO_LOG("Executing requested command: %@", *command);

    auto [name, param] = splitCommand(*command);
    std::optional<std::string> terminalId = terminal->text("terminalId");
    bool done = runCommand(context, name, param, storeId, password, terminalId);

    // Cleared whatever the outcome: a command runs once.
    terminal->setValue("command", nullptr);
    Error saveError;
    if (!context->save(&saveError)) {
        TAVLO_LOG_MAIL("Unable to save process terminal command %@: %@", name, saveError.localizedDescription());
        done = false; // what it changed is not kept
    }

    reportProcessed(context, name, storeId, password, terminalId);

    std::string result =
        format(done ? "Succesfully processed terminal command %@" : "Failed processing terminal command %@", name);
    TAVLO_LOG("%@", result);
    mail(subject(name, storeId), result, storeId, password, false);
}

bool OperationTerminalCommand::runCommand(ObjectContext* context, const std::string& name,
                                          const std::optional<std::string>& param,
                                          const std::optional<std::string>& storeId,
                                          const std::optional<std::string>& password,
                                          const std::optional<std::string>& terminalId) {
    // Tested in this order by prefix; the first that the name begins with runs.
    const std::vector<std::pair<const char*, std::function<bool()>>> commands = {
        {"emailDB", [&] { return UploadHelper::uploadDatabase(storeId, password, terminalId, nullptr); }},
        {"emailFileList", [&] { return emailFileList(storeId, password); }},
        {"deleteOrdersAndStore",
         [&] {
             reloadStore(context, storeId, password);
             return reloadOrders();
         }},
        {"deleteOrders", [&] { return reloadOrders(); }},
        {"deleteStore", [&] { return reloadStore(context, storeId, password); }},
        {"emailOrderHandlerStatus", [&] { return emailOrderHandlerStatus(context, storeId, password); }},
        {"emailPayments", [&] { return emailBatches(context, storeId, password); }},
        {"emailPaymentFiles", [&] { return emailBatches(context, storeId, password); }},
        {"updatePayment", [&] { return updateTransaction(context, param, storeId, password); }},
        {"removePayment", [&] { return voidTransaction(context, param, storeId, password); }},
        {"incrementBatch", [&] { return incrementLastBatchId(context, param); }},
        {"incrementTransaction", [&] { return incrementLastTransactionId(context, param); }},
        {"settleBatch", [&] { return settleBatch(context, param, storeId, password); }},
    };
    for (const auto& [prefix, run] : commands)
        if (startsWith(name, prefix)) return run();
    TAVLO_LOG_MAIL("Command not supported %@", name);
    return false;
}

void OperationTerminalCommand::reportProcessed(ObjectContext* context, const std::string& name,
                                               const std::optional<std::string>& storeId,
                                               const std::optional<std::string>& password,
                                               const std::optional<std::string>& terminalId) {
    HttpRequest request = CommHelper::getRequest(url_, storeId, password, std::nullopt, std::nullopt,
                                                 XmlHelper::getXmlCommandProcessed(terminalId),
                                                 CommHelper::timeout(Parameter::StoreHandlerReadTimeout, context));
    Error error;
    std::optional<std::string> reply = CommHelper::send(request, &error);
    if (reply && reply->find("success") != std::string::npos) return;
    if (error.isSet())
        TAVLO_LOG_MAIL("Unable to tell the server that command %@ was processed: %@", name,
                       error.localizedDescription());
    else TAVLO_LOG_MAIL("Unable to tell the server that command %@ was processed: %@", name, reply);
}

bool OperationTerminalCommand::mail(const std::string& subject, const std::string& body,
                                    const std::optional<std::string>& storeId,
                                    const std::optional<std::string>& password, bool keepError, Error* error) {
    Error failure;
    bool sent = MailRelay::delegateEmail(storeId, password, std::nullopt, std::nullopt, SupportService::kSupportMailbox,
                                         subject, body, &failure);
    if (!sent && keepError) setError(failure);
    if (!sent) Error::set(error, failure);
    return sent;
}

std::string OperationTerminalCommand::directoryListing(const fs::path& directory, Error* error) {
    std::string listing = "File List:\n";
    std::error_code ec;
    size_t listed = 0;
    fs::recursive_directory_iterator it(directory, fs::directory_options::skip_permission_denied, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        if (listed++ == kMaxListedEntries) {
            listing += "...\n";
            break;
        }
        std::error_code sizeError;
        uintmax_t size = it->is_regular_file(sizeError) ? it->file_size(sizeError) : 0;
        if (sizeError)
            Error::set(error, "NSCocoaErrorDomain", sizeError.value(),
                       format("Unable to read the attributes of %@: %@", it->path().string(), sizeError.message()));
        listing += format("%@ (size: %llu)\n", it->path().lexically_relative(directory).string(),
                          static_cast<unsigned long long>(sizeError ? 0 : size));
    }
    if (ec)
        Error::set(error, "NSCocoaErrorDomain", ec.value(),
                   format("Unable to list %@: %@", directory.string(), ec.message()));
    return listing;
}

bool OperationTerminalCommand::emailFileList(const std::optional<std::string>& storeId,
                                             const std::optional<std::string>& password) {
    Error error;
    fs::path documents = documentsDirectory(), temporary = temporaryDirectory(), home = homeDirectory();
    std::string body = "File List:\n\n";
    body += format("Docs directory: %@\n", documents.string()) + directoryListing(documents, &error) + "\n";
    body += format("Temp directory: %@\n", temporary.string()) + directoryListing(temporary, &error) + "\n";
    body += format("Home directory: %@\n", home.string()) + directoryListing(home, &error);
    mail(subject("emailFileList", storeId), body, storeId, password, false, &error);
    return !error.isSet();
}

bool OperationTerminalCommand::emailOrderHandlerStatus(ObjectContext* context,
                                                       const std::optional<std::string>& storeId,
                                                       const std::optional<std::string>& password) {
    // Everything still waiting to go out, whatever its kind.
    std::vector<ManagedObjectPtr> pending =
        DBHelper::getObjects("OrderQueue", "sentDate == nil", nullptr, "created", context);
    std::string body = format("OrderHandler: %lu pending\n\n", pending.size());
    for (const ManagedObjectPtr& row : pending)
        body += format("Remote ID: %@\n%@\n\n", row->text("remoteId"), row->text("request"));
    mail(subject("emailOrderHandlerStatus", storeId), body, storeId, password, true);
    return true;
}

bool OperationTerminalCommand::emailBatches(ObjectContext* context, const std::optional<std::string>& storeId,
                                            const std::optional<std::string>& password) {
    std::string body;
    for (const ManagedObjectPtr& host : DBHelper::getObjects("Host", std::nullopt, nullptr, "name", context)) {
        if (host->isNil("lastBatchId")) continue;
        // The host's own batch: another host may use the same number.
        int32_t lastBatchId = host->int32("lastBatchId");
        for (const ManagedObjectPtr& batch : host->toMany("batches")) {
            if (batch->int32("batchId") != lastBatchId) continue;
            body += XmlHelper::getXmlBatch(Transaction::cardBatchValues(*batch)).value_or("");
            break;
        }
    }
    if (body.empty()) body = "No batches available";
    mail(subject("emailPaymentFiles", storeId), body, storeId, password, true);
    return true;
}

bool OperationTerminalCommand::reloadOrders() {
    std::shared_ptr<OrderHandler> handler = OrderHandler::instance();
    if (handler && handler->isRunning()) {
        handler->setReloadRequested(true);
        return true;
    }
    TAVLO_LOG_MAIL("Command reloadOrders failed, cannot connect to OrderHandler");
    return false;
}

bool OperationTerminalCommand::reloadStore(ObjectContext* context, const std::optional<std::string>&,
                                           const std::optional<std::string>&) {
    // The next store load then asks for everything, as a first load does.
    Parameters::save(Parameter::LastUpdateMenu, std::string("0"), context);
    Parameters::save(Parameter::LastUpdateStore, std::string("0"), context);
    return true;
}

bool OperationTerminalCommand::voidTransaction(ObjectContext* context, const std::optional<std::string>& text,
                                               const std::optional<std::string>& storeId,
                                               const std::optional<std::string>& password) {
    Param param(text);
    xmlNodePtr element = XmlHelper::getFirstChildNode(param.root, "transaction");
    if (!element) {
        TAVLO_LOG_MAIL("Command parameter formatted incorrectly, could not read transaction");
        return false;
    }
    Transaction value;
    value.read(element, param.doc.get());
    ManagedObjectPtr stored =
        PaymentHandlerAdapter::getTransaction(value.transactionId(), param.hostValue("name"),
                                              param.hostValue("merchantId"), param.hostValue("batchId"), *context);
    mail(subject("voidTransaction", storeId), format("Transaction before voiding: %@", transactionDump(stored)),
         storeId, password, true);
    if (!stored) return false;
    stored->setValue("voided", Date::now());
    return true;
}

bool OperationTerminalCommand::updateTransaction(ObjectContext* context, const std::optional<std::string>& text,
                                                 const std::optional<std::string>& storeId,
                                                 const std::optional<std::string>& password) {
    Param param(text);
    std::optional<std::string> hostName = XmlHelper::getChildValue(param.doc.get(), param.root, "host");
    std::optional<std::string> merchantId = XmlHelper::getChildValue(param.doc.get(), param.root, "merchantId");
    std::optional<std::string> batchId = XmlHelper::getChildValue(param.doc.get(), param.root, "batchId");
    xmlNodePtr list = XmlHelper::getFirstChildNode(param.root, "transactions");
    bool written = false;
    // Every transaction element of the list, whatever white space lies between them.
    for (xmlNodePtr element : XmlHelper::getChildRun(list ? list : param.root, "transaction")) {
        std::optional<std::string> id = XmlHelper::getAttributeValue(element, "id");
        if (!id) continue;
        Transaction value;
        ManagedObjectPtr row = PaymentHandlerAdapter::getTransaction(id, hostName, merchantId, batchId, *context);
        if (row) {
            value.read(*row);
            mail(subject("updatePayment", storeId), format("Transaction before adjusting: %@", transactionDump(row)),
                 storeId, password, true);
        } else {
            ManagedObjectPtr batch = findBatch(context, merchantId, hostName, intValue(batchId));
            if (!batch) {
                TAVLO_LOG_MAIL("Unable to update transaction, batch not found");
                continue;
            }
            row = context->insert("Transaction");
            row->setValue("transactionId", intValue(*id));
            row->setToOne("batch", batch);
            mail(subject("updatePayment", storeId), format("Transaction was created, did not exist: %@", *id), storeId,
                 password, true);
        }
        value.read(element, param.doc.get());
        writeOnto(*row, value);
        mergeFields(context, row, value);
        written = true;
    }
    return written;
}

bool OperationTerminalCommand::settleBatch(ObjectContext* context, const std::optional<std::string>& text,
                                           const std::optional<std::string>& storeId,
                                           const std::optional<std::string>& password) {
    Param param(text);
    if (!param.readHostNames()) return false;
    const std::string& name = *param.name;
    ManagedObjectPtr host = findHost(context, *param.merchantId, name);
    if (!host) {
        TAVLO_LOG_MAIL("Cannot find host specified for settleBatch command");
        return false;
    }
    int32_t batchId = host->int32("lastBatchId");
    ManagedObjectPtr batch = findBatch(context, param.merchantId, name, batchId);
    if (!batch) {
        TAVLO_LOG_MAIL("No batch found for settleBatch command");
        return false;
    }
    std::optional<std::string> settle = param.hostValue("settle");
    if (!settle) {
        TAVLO_LOG_MAIL("No settle flag specified for settleBatch command");
        return false;
    }
    bool settled = boolValue(*settle);
    batch->setValue("settled", settled ? Value(Date::now()) : Value());
    mail(subject("settleBatch", storeId),
         format(settled ? "Settled %@ batch: %ld" : "Unsettled %@ batch: %ld", name, static_cast<long>(batchId)),
         storeId, password, false);
    return true;
}

bool OperationTerminalCommand::incrementLastBatchId(ObjectContext* context, const std::optional<std::string>& param) {
    return increment(context, param, "lastBatchId");
}

bool OperationTerminalCommand::incrementLastTransactionId(ObjectContext* context,
                                                          const std::optional<std::string>& param) {
    return increment(context, param, "lastTransactionId");
}

} // namespace tavlo
