#include "payments/LarchHandler.h"

#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/util/TavloLog.h"
#include "core/util/Utils.h"
#include "payments/CardAttempts.h"
#include "payments/LarchDetailList.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/Text.h"
#include "platform/net/HttpClient.h"
#include "platform/store/ObjectContext.h"

#include <algorithm>

namespace tavlo {

namespace {

constexpr const char* kUnreachable = "Unable to communicate with Larch, verify Internet connection";
constexpr const char* kNoSpace = "Unable to save batch, plese verify your device has space available";

std::optional<std::string> setting(const HostConfig& config, Parameter key) {
    return Parameters::hostSetting(config, key);
}
std::string merchantOf(const HostConfig& config) { return setting(config, Parameter::LarchUser).value_or(""); }
std::string terminalOf(const HostConfig& config) { return setting(config, Parameter::LarchTerminal).value_or(""); }
bool isOn(const HostConfig& config, Parameter key) { return boolValue(setting(config, key)); }
int timeout(const HostConfig& config, Parameter key) {
    std::optional<std::string> value = setting(config, key);
    return value ? intValue(*value) : -1;
}
int connectTimeout(const HostConfig& config) { return timeout(config, Parameter::LarchConnectTimeout); }
int readTimeout(const HostConfig& config) { return timeout(config, Parameter::LarchReadTimeout); }

// Values the log never shows: card data in every form, the cardholder's name and address, and
// the gateway password.
bool isSecret(std::string_view name) {
    static const std::vector<std::string> names = {"CardNum",    "ExpDate",      "MagData",   "CVNum",    "NameOnCard",
                                                   "Street",     "Zip",          "NUMBER",    "EXP_DATE", "CARD_CONF",
                                                   "TAVLO_NAME", "TAVLO_STREET", "TAVLO_ZIP", "Password"};
    if (std::find(names.begin(), names.end(), name) != names.end()) return true;
    const std::vector<std::string>& tracks = PaymentHandlerAdapter::trackDataFields();
    return std::find(tracks.begin(), tracks.end(), name) != tracks.end();
}

LarchTransaction* asLarch(PaymentTransaction& transaction, Error* error) {
    auto* larch = dynamic_cast<LarchTransaction*>(&transaction);
    if (!larch) Error::set(error, PaymentHandlerAdapter::error("Not a Larch transaction"));
    return larch;
}

} // namespace

LarchHandler::LarchHandler(ObjectContext* context)
    : PaymentHandlerAdapter(kName, context), allowManual_(Parameters::flag(Parameter::LarchAllowManual, context)) {}

bool LarchHandler::debugging() { return Parameters::flag(Parameter::CreditDebug, managedObjectContext()); }

bool LarchHandler::isValid(const HostConfig& config, Error* error) {
    for (Parameter key : {Parameter::LarchCaptureUrl, Parameter::LarchDetailsUrl, Parameter::LarchUser,
                          Parameter::LarchPassword, Parameter::LarchTerminal}) {
        std::optional<std::string> value = setting(config, key);
        if (!value || value->empty()) {
            Error::set(error, PaymentHandlerAdapter::error("Configuration for Larch missing params, contact support"));
            return false;
        }
    }
    return true;
}

std::string LarchHandler::redacted(std::string_view text) {
    std::string out(text);
    auto blank = [&out](size_t from, size_t to) {
        if (to > from) out.replace(from, to - from, "***");
    };
    // Form bodies: "Name=value&..."; replies: "<Name>value</Name>".
    for (size_t at = 0; at < out.size();) {
        size_t equals = out.find('=', at);
        if (equals == std::string::npos) break;
        size_t start = out.rfind('&', equals);
        start = start == std::string::npos || start < at ? at : start + 1;
        size_t end = std::min(out.find('&', equals), out.size());
        if (isSecret(std::string_view(out).substr(start, equals - start))) blank(equals + 1, end);
        at = std::min(out.find('&', equals), out.size());
        if (at < out.size()) ++at;
    }
    for (size_t at = out.find('<'); at != std::string::npos; at = out.find('<', at + 1)) {
        size_t close = out.find('>', at);
        if (close == std::string::npos) break;
        std::string name = out.substr(at + 1, close - at - 1);
        if (!isSecret(name)) continue;
        size_t end = out.find("</" + name + ">", close);
        if (end != std::string::npos) blank(close + 1, end);
    }
    return out;
}

// ---- the exchange ----

std::optional<std::string> LarchHandler::sendHTTP(const std::optional<std::string>& body, const std::string& url,
                                                  int connectWithin, int readWithin, Error* error) {
    const bool debug = debugging();
    if (debug)
        TAVLO_LOG("Sending %d bytes (%@) to: %@", body ? static_cast<int>(body->size()) : 0,
                  redacted(body.value_or("")), url);
    if (!body) {
        Error::set(error, PaymentHandlerAdapter::error("Nothing to send to Larch"));
        return std::nullopt;
    }
    HttpRequest request;
    request.url = url;
    request.headers = {{"Content-Type", "application/x-www-form-urlencoded"}};
    request.body = *body;
    if (connectWithin > 0) request.connectTimeout = connectWithin;
    if (readWithin > 0) request.timeout = readWithin;
    std::optional<HttpResponse> response = HttpClient::post(request, error);
    if (response && (response->status < 200 || response->status >= 300)) {
        Error::set(error, PaymentHandlerAdapter::error(format("Larch answered with status %ld", response->status)));
        response.reset();
    }
    if (!response) {
        if (debug) TAVLO_LOG("Received 0 bytes");
        return std::nullopt;
    }
    if (debug) TAVLO_LOG("Received %d bytes (%@)", static_cast<int>(response->body.size()), redacted(response->body));
    return std::move(response->body);
}

bool LarchHandler::capture(PaymentTransaction& transaction, const HostConfig& config, Error* error) {
    if (!isValid(config, error)) return false;
    auto guard = lock();
    LarchTransaction* larch = asLarch(transaction, error);
    if (!larch) return false;
    const std::string merchant = merchantOf(config), terminal = terminalOf(config);
    int32_t batchId = latestBatchId(merchant, terminal);
    if (batchId < 0 || !isBatchOpen(batchId, merchant, terminal)) {
        Error::set(error, PaymentHandlerAdapter::error("Batch closed, please Open Store first"));
        return false;
    }
    if (!larch->valueForField("APPROVAL").value_or("").empty()) {
        Error::set(error, PaymentHandlerAdapter::error("Transaction declined, offline not supported"));
        return false;
    }

    const std::string transType = larch->valueForField("TransType").value_or("");
    std::optional<std::string> body = larch->toFieldValue(transType);
    // Written down before it is sent: a request whose answer never comes stays "unknown" until the
    // gateway was asked about it. (The close's voids of the host's own entries have no number of
    // ours and are sent again by the next close.)
    CardAttempts attempts = attemptsOf(config);
    ManagedObjectPtr attempt;
    if (larch->transactionId()) {
        attempt = attempts.record(*larch, transType, batchId, error);
        if (!attempt) return false;
    }
    // What is read as the answer must be this exchange's own, not a stored earlier reply's.
    larch->removeField("Result");
    larch->removeField("RespMSG");
    larch->removeField("Message");
    Error sendError;
    std::optional<std::string> reply = sendHTTP(body, *setting(config, Parameter::LarchCaptureUrl),
                                                connectTimeout(config), readTimeout(config), &sendError);
    if (!reply) {
        TAVLO_LOG("Error comms or declined (%@)", sendError.localizedDescription());
        Error::set(error, PaymentHandlerAdapter::error(kUnreachable));
        return false;
    }
    if (!larch->fromXml(*reply)) {
        // A broken page may have carried an approval before it broke off: it approves nothing
        // here, and the gateway is asked later what became of it.
        larch->removeField("Result");
        TAVLO_LOG("Error Larch reply unreadable (%@)", redacted(*reply));
        Error::set(error,
                   PaymentHandlerAdapter::error("Unable to read the reply from Larch, the payment was not approved"));
        return false;
    }
    // The answer is known: the caller's save of the result (or, for a decline, this one) ends
    // the attempt.
    attempts.settle(attempt);
    if (larch->wasApproved()) {
        std::optional<std::string> number = larch->valueForField("NUMBER");
        if (number && number->size() >= 5) larch->setValue(number->substr(number->size() - 4), "NUMBER");
        for (const char* field : {"ExpDate", "MagData", "CVNum"}) larch->removeField(field);
        return true;
    }
    Error settleError;
    if (attempt && !managedObjectContext()->save(&settleError))
        TAVLO_LOG("Unable to save a declined card request: %@", settleError.localizedDescription());
    std::optional<std::string> text = larch->valueForField("Message");
    if (!text) text = larch->valueForField("RespMSG");
    Error::set(error, PaymentHandlerAdapter::error(text.value_or("Transaction declined")));
    if (!debugging()) TAVLO_LOG("Error Larch declined (%@)", redacted(*reply));
    return false;
}

// ---- sales, returns, adjustments and voids ----

std::shared_ptr<PaymentTransaction> LarchHandler::newTransaction(const HostConfig& config, Error* error) {
    auto guard = lock();
    const std::string merchant = merchantOf(config), terminal = terminalOf(config);
    int32_t batchId = latestBatchId(merchant, terminal);
    if (batchId < 0 || !isBatchOpen(batchId, merchant, terminal)) {
        Error::set(error, PaymentHandlerAdapter::error("Larch Batch is closed, please open store"));
        return nullptr;
    }
    int32_t number = nextTransactionId(merchant, terminal, kMaxId, error);
    if (number < 0) return nullptr;
    auto transaction = std::make_shared<LarchTransaction>(&config);
    transaction->setTransactionId(format("%d", number));
    transaction->setValue(format("%d", number), "REF_NUMBER");
    if (isOn(config, Parameter::LarchForceFlag)) transaction->setValue("T", "Force");
    return transaction;
}

std::shared_ptr<PaymentTransaction> LarchHandler::transaction(const std::optional<std::string>& transactionId,
                                                              const HostConfig& config) {
    ManagedObjectPtr row = transactionFromDB(transactionId, merchantOf(config), terminalOf(config));
    if (!row) return nullptr;
    auto transaction = std::make_shared<LarchTransaction>(&config);
    transaction->read(*row);
    return transaction;
}

bool LarchHandler::send(PaymentTransaction& transaction, const HostConfig& config, const char* transType,
                        Error* error) {
    transaction.setValue("ProcessCreditCard", "WebService");
    transaction.setValue(transType, "TransType");
    auto guard = lock();
    const std::string merchant = merchantOf(config), terminal = terminalOf(config);
    int32_t batchId = latestBatchId(merchant, terminal);
    if (!capture(transaction, config, error)) return false;
    return saveTransaction(transaction, batchId, merchant, terminal, error);
}

bool LarchHandler::sale(PaymentTransaction& transaction, const HostConfig& config, Error* error) {
    return send(transaction, config, "Sale", error);
}

bool LarchHandler::refund(PaymentTransaction& transaction, const HostConfig& config, Error* error) {
    return send(transaction, config, "Return", error);
}

bool LarchHandler::authorize(PaymentTransaction&, const HostConfig&, Error* error) {
    Error::set(error, PaymentHandlerAdapter::error("Auth not currently supported, use Sale instead"));
    return false;
}

bool LarchHandler::adjust(PaymentTransaction& transaction, const HostConfig& config, Error* error) {
    std::optional<std::string> transType = transaction.valueForField("TransType");
    std::optional<std::string> approval = transaction.valueForField("APPROVAL");
    std::optional<std::string> reference = transaction.valueForField("PNRef");
    transaction.setValue("ProcessCreditCard", "WebService");
    transaction.setValue("Adjustment", "TransType");
    transaction.setAdjusted(Date::now());
    transaction.removeField("APPROVAL");
    auto guard = lock();
    const std::string merchant = merchantOf(config), terminal = terminalOf(config);
    int32_t batchId = storedBatchId(transaction, merchant, terminal);
    if (!capture(transaction, config, error)) return false;
    transaction.setValue(transType, "TransType");
    transaction.setValue(approval, "APPROVAL");
    transaction.setValue(reference, "PNRef");
    return saveTransaction(transaction, batchId, merchant, terminal, error);
}

bool LarchHandler::sendCancel(PaymentTransaction& transaction, const HostConfig& config, Error* error) {
    // The sale's own fields, put back after the void so that the stored record keeps them.
    static const char* const kept[] = {"APPROVAL", "SUB_TOTAL", "NUMBER",  "REF_NUMBER", "WebService", "TransType",
                                       "PNRef",    "Result",    "RespMSG", "RESP_MSG",   "Message"};
    std::vector<std::optional<std::string>> values;
    for (const char* field : kept) values.push_back(transaction.valueForField(field));
    for (const char* field : {"APPROVAL", "SUB_TOTAL", "NUMBER", "REF_NUMBER"}) transaction.removeField(field);
    transaction.setValue("ProcessCreditCard", "WebService");
    transaction.setValue("Void", "TransType");

    bool done = true;
    {
        auto guard = lock();
        Error captureError;
        if (transaction.voided()) {
            // Already voided: nothing is sent.
        } else if (capture(transaction, config, &captureError)) {
            transaction.setVoided(Date::now());
        } else {
            std::string message = transaction.valueForField("Message").value_or("");
            if (message.find("previously voided") != std::string::npos) {
                // The gateway holds it voided: so must the terminal, or the batch's close finds it
                // voided on the host only.
                transaction.setVoided(Date::now());
            } else if (message.find("previously settled") == std::string::npos) {
                Error::set(error, captureError.isSet() ? captureError
                                                       : PaymentHandlerAdapter::error("Unable to void payment"));
                done = false;
            }
        }
    }
    for (size_t i = 0; i < std::size(kept); ++i) transaction.setValue(values[i], kept[i]);
    return done;
}

bool LarchHandler::cancel(PaymentTransaction& transaction, const HostConfig& config, Error* error) {
    auto guard = lock();
    if (!sendCancel(transaction, config, error)) return false;
    const std::string merchant = merchantOf(config), terminal = terminalOf(config);
    return saveTransaction(transaction, storedBatchId(transaction, merchant, terminal), merchant, terminal, error);
}

int32_t LarchHandler::storedBatchId(const PaymentTransaction& transaction, const std::string& merchant,
                                    const std::string& terminal) {
    ManagedObjectPtr row = transactionFromDB(transaction.transactionId(), merchant, terminal);
    ManagedObjectPtr batch = row ? row->toOne("batch") : nullptr;
    return batch ? batch->int32("batchId") : latestBatchId(merchant, terminal);
}

// ---- the batch ----

int32_t LarchHandler::openBatch(const HostConfig& config, std::optional<Date> openDate, Error* error) {
    if (!isValid(config, error)) return -1;
    auto guard = lock();
    const std::string merchant = merchantOf(config), terminal = terminalOf(config);
    int32_t latest = latestBatchId(merchant, terminal);
    if (latest >= 0 && isBatchOpen(latest, merchant, terminal)) {
        TAVLO_LOG("Larch batch %d opened", latest);
        return latest;
    }
    Error numberError;
    int32_t number = nextBatchId(merchant, terminal, kMaxId, &numberError);
    if (number < 0) {
        Error::set(error, numberError.isSet()
                              ? numberError
                              : PaymentHandlerAdapter::error(
                                    "Unable to create batch, your device might be running out of space"));
        return -1;
    }
    saveBatch(number, merchant, terminal, openDate, std::nullopt);
    if (!managedObjectContext()->save(error)) number = -1;
    TAVLO_LOG("Larch batch %d opened", number);
    return number;
}

bool LarchHandler::settle(int32_t batchId, const std::string& merchant, const std::string& terminal, Error* error) {
    saveBatch(batchId, merchant, terminal, std::nullopt, Date::now());
    Error saveError;
    if (managedObjectContext()->save(&saveError)) return true;
    Error::set(error, saveError.isSet() ? saveError : PaymentHandlerAdapter::error(kNoSpace));
    return false;
}

bool LarchHandler::handleOrphans(int32_t batchId, const std::vector<std::string>& tavloIds, const HostConfig& config,
                                 Error* error) {
    return PaymentHandlerAdapter::handleOrphans(batchId, tavloIds, merchantOf(config), terminalOf(config),
                                                isOn(config, Parameter::LarchCancelOrphanPayments),
                                                isOn(config, Parameter::LarchIgnoreOrphanPayments), config, error);
}

bool LarchHandler::closeBatch(const HostConfig& config, const std::vector<std::string>& references, Error* error) {
    if (!isValid(config, error)) return false;
    const std::string merchant = merchantOf(config), terminal = terminalOf(config);
    int32_t batchId = latestBatchId(merchant, terminal);
    if (batchId < 0) {
        TAVLO_LOG_MAIL("No batch found for Larch");
        Error::set(error, PaymentHandlerAdapter::error("No batch found for Larch, please reopen store."));
        return false;
    }
    auto guard = lock();
    if (!isBatchOpen(batchId, merchant, terminal)) return true;
    if (isOn(config, Parameter::LarchAutoSettle)) return settle(batchId, merchant, terminal, error);
    // A charge whose answer never came is one of the day's or none: the gateway says which.
    if (!checkCharges(config, std::nullopt, error)) return false;
    // The day's payments that an earlier batch of the day settled (a close that stopped between
    // the batch's settling and the day's close) are done.
    std::vector<std::string> transactionIds;
    for (const std::string& reference : references) {
        ManagedObjectPtr row = transactionFromDB(reference, merchant, terminal);
        ManagedObjectPtr batch = row ? row->toOne("batch") : nullptr;
        if (!batch || batch->isNil("settled")) transactionIds.push_back(reference);
    }
    std::optional<Date> from = startDate();
    if (!from) {
        Error::set(error,
                   PaymentHandlerAdapter::error("Settlement failed, unable to determine the start date of batch"));
        return false;
    }
    if (!handleOrphans(batchId, transactionIds, config, error)) return false;
    Error detailError;
    std::vector<std::shared_ptr<LarchTransaction>> details = hostDetails(batchId, *from, config, &detailError);
    if (detailError.isSet()) {
        Error::set(error, detailError);
        return false;
    }
    if (isBatchEmpty(batchId, merchant, terminal) && transactionIds.empty() && details.empty())
        return settle(batchId, merchant, terminal, error);
    if (transactionIds.size() > details.size()) {
        std::vector<std::string> lines;
        for (const std::shared_ptr<LarchTransaction>& detail : details) {
            if (auto invoice = detail->valueForField("invoiceId")) lines.push_back(format("Invoice_ID: %@", *invoice));
            else if (auto key = detail->valueForField("TRX_HD_Key")) lines.push_back(format("TRX_HD_Key: %@", *key));
            else lines.push_back(format("Unknown invoice (%@)", Utils::stringForDate(Date::now())));
        }
        TAVLO_LOG_MAIL("Tavlo has the following references: %@\n\nLarch returned the following transactions: %@",
                       join(transactionIds, ", "), join(lines, "\n"));
        Error::set(error, PaymentHandlerAdapter::error("Settlement failed, unable to match credit card transactions "
                                                       "with Larch, contact Tavlo support for assistance"));
        return false;
    }
    if (!synchronizeTransactions(details, batchId, config, error)) return false;
    if (capturedOnHost(details, batchId, merchant, terminal)) {
        // A close stopped after the gateway took the capture: the batch is closed there already.
        TAVLO_LOG_MAIL("Larch batch %d was captured on host already, settling it here", batchId);
        return settle(batchId, merchant, terminal, error);
    }

    std::shared_ptr<PaymentTransaction> captureAll = newTransaction(config, error);
    if (!captureAll) return false;
    captureAll->setValue("CaptureAll", "TransType");
    captureAll->setValue("ProcessCreditCard", "WebService");
    auto& larch = static_cast<LarchTransaction&>(*captureAll);
    Error sendError;
    std::optional<std::string> reply =
        sendHTTP(larch.toFieldValue("CaptureAll"), *setting(config, Parameter::LarchCaptureUrl), connectTimeout(config),
                 readTimeout(config), &sendError);
    if (!reply || reply->empty()) {
        Error::set(error, sendError.isSet()
                              ? sendError
                              : PaymentHandlerAdapter::error(
                                    "Unable to close batch, plese verify your Internet connection and retry"));
        return false;
    }
    if (!larch.fromXml(*reply)) {
        Error::set(error, PaymentHandlerAdapter::error("Unable to close Larch batch (its reply could not be read)"));
        return false;
    }
    if (!larch.wasApproved() && larch.valueForField("Result") != "1015") {
        Error::set(error, PaymentHandlerAdapter::error(
                              format("Unable to close Larch batch (%@)", larch.responseMessage().value_or(""))));
        return false;
    }
    return settle(batchId, merchant, terminal, error);
}

std::vector<std::shared_ptr<LarchTransaction>> LarchHandler::hostDetails(int32_t, Date fromDate,
                                                                         const HostConfig& config, Error* error) {
    std::optional<LarchDetailList::Zone> zone = LarchDetailList::settleZone(config, error);
    if (!zone) return {};
    std::shared_ptr<PaymentTransaction> query = newTransaction(config, error);
    if (!query) return {};
    return queryDetails(static_cast<LarchTransaction&>(*query), fromDate, Date::now(), std::nullopt, config, error);
}

std::vector<std::shared_ptr<LarchTransaction>> LarchHandler::queryDetails(LarchTransaction& larch, Date fromDate,
                                                                          Date toDate,
                                                                          const std::optional<std::string>& invoice,
                                                                          const HostConfig& config, Error* error) {
    std::optional<LarchDetailList::Zone> zone = LarchDetailList::settleZone(config, error);
    if (!zone) return {};
    larch.removeField("Force");
    larch.setValue(invoice, "invoiceId");
    larch.setValue("TrxDetail", "WebService");
    larch.setValue("FALSE", "ExcludeVoid");
    larch.setValue("0", "Result");
    larch.setValue(DateFormatter("yyyy-MM-dd'T'HH:mm:00", zone->zone).stringFromDate(fromDate), "BeginDt");
    larch.setValue(DateFormatter("yyyy-MM-dd'T'HH:mm:59", zone->zone).stringFromDate(toDate), "EndDt");
    larch.setValue(setting(config, Parameter::LarchSettleTransType).value_or("Sale','Credit"), "TransType");
    if (debugging()) TAVLO_LOG("TimeZone configured %@", zone->name);

    Error sendError;
    std::optional<std::string> reply =
        sendHTTP(larch.toFieldValue("TrxDetail"), *setting(config, Parameter::LarchDetailsUrl), connectTimeout(config),
                 readTimeout(config), &sendError);
    if (!reply) {
        TAVLO_LOG("Error comms with Larch details (%@)", sendError.localizedDescription());
        Error::set(error, PaymentHandlerAdapter::error(kUnreachable));
        return {};
    }
    // The detail service answers with a bare `string` holding the list document; a Result outside
    // it is a refusal of the query itself. A refused or unreadable query lists nothing, which the
    // close must not take for an empty day.
    larch.removeField("Result");
    const bool readable = larch.fromXml(*reply);
    const bool refused = readable && larch.contains("Result") && !larch.wasApproved();
    if (!readable || refused) {
        Error::set(error, PaymentHandlerAdapter::error(
                              format("Unable to get the transaction details from Larch (%@)",
                                     readable ? larch.responseMessage().value_or("") : "its reply could not be read")));
        return {};
    }
    if (std::optional<std::string> outer = larch.valueForField("Error")) {
        Error::set(error, PaymentHandlerAdapter::error(*outer));
        return {};
    }
    std::optional<std::string> list = larch.valueForField("string");
    if (!list || list->empty()) return {};
    LarchDetailList details;
    details.read(*list);
    if (!details.errors().empty()) {
        TAVLO_LOG_MAIL("Unexpected error from Larch:%@", redacted(*list));
        Error::set(error, PaymentHandlerAdapter::error(details.errors()));
    }
    return details.transactions();
}

bool LarchHandler::synchronizeTransactions(const std::vector<std::shared_ptr<LarchTransaction>>& details, int32_t,
                                           const HostConfig& config, Error* error) {
    const std::string merchant = merchantOf(config), terminal = terminalOf(config);
    for (const std::shared_ptr<LarchTransaction>& detail : details) {
        std::string key = detail->valueForField("TRX_HD_Key").value_or("");
        LarchTransaction ours(&config);
        if (!key.empty() && transactionByHostId(ours, key, "PNRef", merchant, terminal) && !ours.voided()) {
            if (detail->voided()) {
                Error::set(error, PaymentHandlerAdapter::error(
                                      format("Transaction %@ voided on host (%@), please contact technical support "
                                             "to verify.",
                                             key, Utils::stringForDate(detail->voided()))));
                return false;
            }
            int32_t hostTip = Utils::parseCurrency(detail->valueForField("Tip_Amt_MN"));
            int32_t ourTip = Utils::parseCurrency(ours.valueForField("TipAmt"));
            if (hostTip != ourTip && settledOnHost(*detail)) {
                // Captured already (a close that stopped after the capture): no tip can change now.
                TAVLO_LOG_MAIL("Transaction %@ was settled on host with a tip of %@, we had %@", key,
                               Utils::formatAmount(hostTip, 2), Utils::formatAmount(ourTip, 2));
            } else if (hostTip != ourTip) {
                TAVLO_LOG_MAIL("Auto-Adjusting transaction %@. Host had tip of %@, we had %@", key,
                               Utils::formatAmount(hostTip, 2), Utils::formatAmount(ourTip, 2));
                ours.setValue(Utils::formatAmount(ourTip, 2), "TipAmt");
                if (!adjust(ours, config, error)) return false;
            }
        } else if (!detail->voided() && detail->wasApproved() && settledOnHost(*detail)) {
            // An earlier day's capture that the query's dates reach: nothing can change it now.
            TAVLO_LOG("Passing over a host transaction settled before (TRX_HD_Key: %@)", key);
        } else if (!detail->voided() && detail->wasApproved()) {
            if (!isOn(config, Parameter::LarchCancelOrphanPayments)) {
                TAVLO_LOG_MAIL("Host has a payment which does not exist or is voided on tavlo (%@)", key);
                Error::set(error, PaymentHandlerAdapter::error(format(
                                      "Host has a payment which is voided on tavlo (%@), please contact support to "
                                      "verify.",
                                      key)));
                return false;
            }
            detail->setValue(setting(config, Parameter::LarchUser), "UserName");
            detail->setValue(setting(config, Parameter::LarchPassword), "Password");
            detail->setValue(setting(config, Parameter::LarchTerminal), "RPNum");
            detail->setValue("Void", "TransType");
            detail->setValue(key, "PNRef");
            TAVLO_LOG_MAIL("Auto-Voiding a transaction the host had and we do not (%@)", key);
            if (!sendCancel(*detail, config, error)) return false;
        } else {
            TAVLO_LOG_MAIL("Ignoring host transaction as we do not have it and the host has it voided, or we have it "
                           "voided and they have it voided or declined (TRX_HD_Key: %@)",
                           key);
        }
    }
    return true;
}

bool LarchHandler::settledOnHost(const PaymentTransaction& detail) {
    return detail.valueForField("Settle_Flag_CH") == "1";
}

bool LarchHandler::capturedOnHost(const std::vector<std::shared_ptr<LarchTransaction>>& details, int32_t batchId,
                                  const std::string& merchant, const std::string& terminal) {
    std::vector<std::string> ours = transactionIds(batchId, merchant, terminal, false);
    if (ours.empty()) return false;
    ManagedObjectPtr batch = getBatch(batchId, merchant, terminal);
    for (const std::string& id : ours) {
        ManagedObjectPtr row = transactionInBatch(intValue(id), batch);
        if (!row) return false;
        LarchTransaction stored;
        stored.read(*row);
        std::optional<std::string> key = stored.hostData();
        auto listed = std::find_if(details.begin(), details.end(), [&](const std::shared_ptr<LarchTransaction>& d) {
            return key && d->valueForField("TRX_HD_Key") == key;
        });
        if (listed == details.end() || !settledOnHost(**listed)) return false;
    }
    return true;
}

// ---- requests without an answer ----

CardAttempts LarchHandler::attemptsOf(const HostConfig& config) {
    return CardAttempts(managedObjectContext(), hostName(), merchantOf(config), terminalOf(config));
}

bool LarchHandler::hasUnknownCharge(const HostConfig& config, const std::optional<std::string>& orderId) {
    return !attemptsOf(config).unknown(orderId).empty();
}

bool LarchHandler::checkCharges(const HostConfig& config, const std::optional<std::string>& orderId, Error* error) {
    if (!isValid(config, error)) return false;
    auto guard = lock();
    bool asked = true;
    for (const ManagedObjectPtr& attempt : attemptsOf(config).unknown(orderId)) {
        const std::string invoice = format("%d", attempt->int32("invoice"));
        // A day either side of the request: a gateway keeping another time zone than the one
        // configured must still find it (an invoice number comes again only after 9999 more).
        const double sent = attempt->date("created").value_or(Date::now()).timeIntervalSince1970();
        constexpr double kDay = 24 * 3600;
        LarchTransaction query(&config);
        Error queryError;
        std::vector<std::shared_ptr<LarchTransaction>> details = queryDetails(
            query, Date(sent - kDay), Date(Date::now().timeIntervalSince1970() + kDay), invoice, config, &queryError);
        if (queryError.isSet()) {
            TAVLO_LOG("Unable to ask Larch about invoice %@: %@", invoice, queryError.localizedDescription());
            Error::set(error, queryError);
            asked = false;
            continue;
        }
        const std::string kind = attempt->text("kind").value_or("");
        const LarchTransaction* answer = nullptr;
        for (const std::shared_ptr<LarchTransaction>& detail : details) {
            std::optional<std::string> type = detail->valueForField("Trans_Type_ID");
            const bool charge = kind == "Sale" || kind == "Return";
            if (detail->valueForField("invoiceId") == invoice && detail->wasApproved() &&
                (!charge || !type || *type == kind))
                answer = detail.get();
        }
        if (!storeAnswer(attempt, answer, config, error)) asked = false;
    }
    Error attachError;
    if (!attachCharges(orderId, &attachError)) {
        Error::set(error, attachError);
        return false;
    }
    return asked;
}

bool LarchHandler::storeAnswer(const ManagedObjectPtr& attempt, const LarchTransaction* detail,
                               const HostConfig& config, Error* error) {
    const std::string kind = attempt->text("kind").value_or("");
    const std::string invoice = format("%d", attempt->int32("invoice"));
    const Date sent = attempt->date("created").value_or(Date::now());
    const std::optional<std::string> orderId = attempt->text("orderId");
    const int32_t batchId = attempt->int32("batchId");
    const std::string merchant = merchantOf(config), terminal = terminalOf(config);
    attemptsOf(config).settle(attempt);
    Error saveError;
    bool saved = true;
    if (detail && !detail->voided() && (kind == "Sale" || kind == "Return")) {
        // The gateway approved it: it is this terminal's charge as if the answer had come.
        LarchTransaction found(&config);
        found.setTransactionId(invoice);
        found.setCreated(sent);
        found.setValue("ProcessCreditCard", "WebService");
        found.setValue(kind, "TransType");
        found.setValue(invoice, "REF_NUMBER");
        found.setValue(orderId, CardAttempts::kOrderField);
        found.setValue(detail->valueForField("Auth_Amt_MN"), "Amount");
        if (Utils::parseCurrency(detail->valueForField("Tip_Amt_MN")) >= 1)
            found.setValue(detail->valueForField("Tip_Amt_MN"), "TipAmt");
        found.setValue(detail->valueForField("Approval_Code_CH"), "APPROVAL");
        found.setValue(detail->valueForField("Acct_Num_CH"), "NUMBER");
        found.setHostData(detail->valueForField("TRX_HD_Key"));
        found.setValue("0", "Result");
        found.setValue("Approved", "RespMSG");
        TAVLO_LOG_MAIL("Larch approved invoice %@ (%@) while its answer was lost: stored", invoice,
                       found.hostData().value_or(""));
        saved = saveTransaction(found, batchId, merchant, terminal, &saveError);
    } else {
        if (detail && detail->voided() && kind == "Void") {
            // The void went through at the gateway: ours is voided too.
            if (std::shared_ptr<PaymentTransaction> ours = transaction(invoice, config)) {
                ours->setVoided(Date::now());
                saved =
                    saveTransaction(*ours, storedBatchId(*ours, merchant, terminal), merchant, terminal, &saveError);
            }
        }
        TAVLO_LOG("Larch request %@ of invoice %@ without an answer: %@", kind, invoice,
                  detail ? "the gateway has it" : "the gateway does not have it");
        if (saved) saved = managedObjectContext()->save(&saveError);
    }
    if (saved) return true;
    // Not stored, the request stays unknown: its order must not be charged again meanwhile.
    managedObjectContext()->rollback();
    TAVLO_LOG_MAIL("Unable to store the answer of invoice %@: %@", invoice, saveError.localizedDescription());
    Error::set(error, saveError);
    return false;
}

// ---- restoring the day's batch ----

void LarchHandler::restoreBatch(std::optional<Date> openDate, ObjectContext& context) {
    HostConfig config = getHostConfig(hostName(), context);
    Error error;
    int32_t batchId = openBatch(config, openDate, &error);
    if (batchId < 0) {
        TAVLO_LOG_MAIL("Unable to auto open batch while saving settings: %@", error.localizedDescription());
        return;
    }
    const std::string merchant = merchantOf(config), terminal = terminalOf(config);
    ManagedObjectPtr batch = getBatch(batchId, merchant, terminal);
    ManagedObjectPtr host = batch ? batch->toOne("host") : nullptr;
    if (!batch || !batch->isNil("settled") || !host) return;

    std::vector<ManagedObjectPtr> payments = context.fetch(FetchRequest("Payment", Predicate::format("type == 2")));
    std::stable_sort(payments.begin(), payments.end(), [](const ManagedObjectPtr& a, const ManagedObjectPtr& b) {
        return intValue(a->text("transactionId")) < intValue(b->text("transactionId"));
    });
    int32_t largest = 0;
    for (const ManagedObjectPtr& payment : payments) {
        int32_t transactionId = intValue(payment->text("transactionId"));
        largest = std::max(largest, transactionId);
        // Restoring twice updates the rows of the first time.
        ManagedObjectPtr row = transactionInBatch(transactionId, batch);
        if (!row) {
            row = managedObjectContext()->insert("Transaction");
            row->setValue("transactionId", transactionId);
            row->setToOne("batch", batch);
        }
        std::optional<std::string> approval = payment->text("approval");
        int32_t subTotal = payment->int32("subTotal");
        int32_t tip = payment->int32("tip");
        row->setValue("created", payment->date("created"));
        row->setValue("updateDate", payment->date("updateDate"));
        row->setValue("approval", approval);
        row->setValue("number", payment->text("number"));
        row->setValue("subTotal", subTotal);
        row->setValue("tip", payment->int32("gratuity") + tip);
        row->setValue("voided", payment->date("voided"));

        std::vector<ManagedObjectPtr> stored = row->toMany("transactionFields");
        const std::pair<const char*, std::optional<std::string>> fields[] = {
            {"PNRef", payment->text("hostData")},
            {"RPNum", setting(config, Parameter::LarchTerminal)},
            {"User", setting(config, Parameter::LarchUser)},
            {"AuthCode", approval},
            {"CardNum", payment->text("number")},
            {"InvNum", payment->text("transactionId")},
            {"TransType", "Sale"},
            {"Message", format("APPROVAL %@", approval)},
            {"Amount", Utils::formatAmount(subTotal, 2)},
            {"TipAmt", tip >= 1 ? std::optional<std::string>(Utils::formatAmount(tip, 2)) : std::nullopt},
            {"WebService", "ProcessCreditCard"},
            {"Force", "T"},
            {"RESP_MSG", "Approved"},
            {"GetAVSResult", "0"},
            {"Result", "0"},
        };
        for (const auto& [name, value] : fields)
            if (value) storeField(row, stored, name, *value);
    }
    host->setValue("lastTransactionId", largest);
    Error saveError;
    if (!managedObjectContext()->save(&saveError))
        TAVLO_LOG_MAIL("Unable to save lastTransaction for host: %@", saveError.localizedDescription());
}

} // namespace tavlo
