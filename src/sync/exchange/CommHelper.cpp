#include "sync/exchange/CommHelper.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cmath>
#include <mutex>
#include <netinet/in.h>
#include <regex>
#include <unistd.h>

#include <libxml/xmlstring.h>

#include "core/order/Order.h"
#include "core/records/CashInOut.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/LogInfoProvider.h"
#include "core/util/TavloLog.h"
#include "payments/Encryption.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/net/NetworkProbe.h"
#include "platform/net/NetworkReachability.h"
#include "platform/net/Sockets.h"
#include "platform/store/ObjectContext.h"
#include "sync/exchange/OrderDocument.h"
#include "sync/exchange/OrderDocumentWriter.h"
#include "xml/XmlHelper.h"

namespace tavlo {

namespace {

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

// The read family's text when the store service cannot be reached.
constexpr const char* kStoreServiceUnreachable = "Unable to reach the store server, please try again";

// The gateway: written at start-up and by a few screens, read from every thread.
struct Gateway {
    std::mutex mutex;
    std::optional<std::string> address;
};

Gateway& gatewayAddress() {
    static Gateway gateway;
    return gateway;
}

std::optional<std::string> defaultsText(const char* key) {
    return UserDefaults::standardUserDefaults().stringForKey(key);
}

// A header value goes out on one line: line ends in a value would start headers of their own.
std::string headerValue(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value)
        if (c != '\r' && c != '\n') out += c;
    return out;
}

void addHeader(HttpRequest& request, const char* name, const std::optional<std::string>& value) {
    if (value) request.headers.emplace_back(name, headerValue(*value));
}

bool isGoodStatus(long status) { return status >= 200 && status <= 299; }

// The reply as the reply tests read it: trimmed text, "" when it is not UTF-8. A caller done with
// the body moves it in: a store's reply is large, and is then never copied.
std::string replyText(std::optional<std::string> body) {
    if (!body) return "";
    trimInPlace(*body);
    if (!xmlCheckUTF8(reinterpret_cast<const xmlChar*>(body->c_str()))) return std::string();
    return std::move(*body);
}

Error storeServerError(int code, std::string text) {
    return Error(CommHelper::kStoreServerErrorDomain, code, std::move(text));
}

std::string unableToComplete(const Error& transport) {
    return transport.isSet() ? format("Unable to complete request (%@)", transport.localizedDescription())
                             : std::string("Unable to complete request");
}

// The text of the reply root's element so named, nil when there is none.
std::optional<std::string> replyValue(const XmlDocPtr& doc, const char* name) {
    if (!doc) return std::nullopt;
    return XmlHelper::getNodeValue(doc.get(), xmlDocGetRootElement(doc.get()), name);
}

// The log lines of a request that reports its exchange. A reply too large for the log (the store
// data: megabytes) is logged by its size and outcome only.
void logExchange(const std::string& what, const std::string& url, const std::optional<HttpResponse>& response,
                 const std::string& reply, const std::optional<std::string>& request, const Error& error,
                 const char* codeFormat = "Response code:%d, size:%d, for request:%@", bool withReply = true) {
    TAVLO_LOG("URL (%@): %@", what, url);
    if (response)
        TAVLO_LOG(codeFormat, static_cast<int>(response->status), static_cast<int>(reply.size()),
                  request ? std::optional(OrderDocument::forLog(*request)) : std::nullopt);
    else TAVLO_LOG("Response code:");
    if (withReply) TAVLO_LOG("Received: %@", OrderDocument::forLog(reply));
    else TAVLO_LOG("Received: %d bytes", static_cast<int>(reply.size()));
    if (error.isSet()) TAVLO_LOG("Error: %@", error.localizedDescription());
}

// The exchange whatever the reply's status: nil only when no reply came (with the transport's
// error, or code 1 "Unable to connect to URL" when it gave none).
std::optional<HttpResponse> exchange(const HttpRequest& request, Error* error) {
    Error transport;
    std::optional<HttpResponse> response = HttpClient::post(request, &transport);
    if (response) return response;
    if (transport.isSet()) Error::set(error, transport);
    else Error::set(error, storeServerError(CommHelper::NoResponse, format("Unable to connect to %@", request.url)));
    return std::nullopt;
}

// Code 1 for a reply with a failed status: its body as text, else the status.
Error statusError(const HttpResponse& response) {
    return storeServerError(CommHelper::NoResponse,
                            response.body.empty() ? format("HTTP status code:%ld", response.status) : response.body);
}

} // namespace

std::optional<std::string> CommHelper::gateway() {
    std::lock_guard lock(gatewayAddress().mutex);
    return gatewayAddress().address;
}

void CommHelper::setGateway(const std::optional<std::string>& address) {
    std::optional<std::string> local = formatLocalURL(address);
    std::lock_guard lock(gatewayAddress().mutex);
    gatewayAddress().address = std::move(local);
}

std::optional<std::string> CommHelper::formatLocalURL(const std::optional<std::string>& address) {
    if (!address || address->empty()) return address;
    const std::string& a = *address;
    if (startsWith(a, "http") || containsNoCase(a, "localhost") || containsNoCase(a, ".local")) return a;

    size_t hostStart = 0;
    size_t scheme = a.find("://");
    if (scheme != std::string::npos && scheme + 3 < a.size()) hostStart = scheme + 3;
    size_t insertAt = a.find(':', hostStart);
    if (insertAt == std::string::npos) insertAt = a.find('/', hostStart);
    size_t hostEnd = insertAt == std::string::npos ? a.size() : insertAt;

    // A numeric host is judged alone, so that a port or a path behind it changes nothing.
    std::string digits = replaceAll(a.substr(hostStart, hostEnd - hostStart), ".", "");
    bool numeric = !digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos;
    if (numeric) return a;

    std::string result = a;
    result.insert(hostEnd, ".local");
    return result;
}

std::optional<std::string> CommHelper::formatTavloURL(const std::optional<std::string>& address) {
    std::optional<std::string> local = formatLocalURL(address);
    if (!local || local->empty() || endsWith(*local, ".jsp")) return local;
    std::string url = *local;
    if (!startsWith(url, "http://") && !startsWith(url, "https://")) url = "http://" + url;
    size_t hostStart = url.find("://") + 3;
    if (url.size() - hostStart <= 1) return url;
    if (url.find(':', hostStart) != std::string::npos) return url;
    size_t slash = url.find('/', hostStart);
    url.insert(slash == std::string::npos ? url.size() : slash, format(":%d", kDefaultGatewayPort));
    return url;
}

std::optional<std::string> CommHelper::hostName(const std::optional<std::string>& url) {
    if (!url) return url;
    std::string s = replaceAll(replaceAll(replaceAll(*url, ".local", ""), "http://", ""), "https://", "");
    s = s.substr(0, s.find(':'));
    return s.substr(0, s.find('/'));
}

int CommHelper::timeout(Parameter key, ObjectContext* context) {
    if (!context) return 10;
    int64_t stored = Parameters::number(key, context);
    bool inSeconds = key == Parameter::SessionTimeout;
    // std::llround rounds halves away from zero: 1500 ms is 2 s, 1499 ms is 1 s.
    int64_t seconds = inSeconds ? stored : std::llround(static_cast<double>(stored) / 1000.0);
    if (seconds > 0) return static_cast<int>(seconds);
    return inSeconds ? 10 : 30;
}

int CommHelper::timeout(const std::string& key, ObjectContext* context) {
    std::optional<Parameter> parameter = Parameters::find(key);
    if (!parameter) return context ? 30 : 10;
    return timeout(*parameter, context);
}

HttpRequest CommHelper::getRequest(const std::string& url, const std::optional<std::string>& storeId,
                                   const std::optional<std::string>& password, const std::optional<std::string>& userId,
                                   const std::optional<std::string>& associationCode,
                                   const std::optional<std::string>& lastUpdate, const std::optional<std::string>& data,
                                   int timeoutSeconds) {
    HttpRequest request;
    request.url = url;
    request.timeout = request.connectTimeout = timeoutSeconds == 0 ? 15 : timeoutSeconds;
    request.headers.emplace_back("Content-Type", "text/xml");
    addHeader(request, "from", storeId);
    addHeader(request, "store", storeId);
    addHeader(request, "authorization", password);
    addHeader(request, "uid", IDBroker::deviceIdentifier());
    if (associationCode && !associationCode->empty()) addHeader(request, "association", associationCode);
    addHeader(request, "user", userId);
    addHeader(request, "LastUpdate", lastUpdate);
    if (data) request.body = *data;
    else TAVLO_LOG("No data to send!!!");
    return request;
}

HttpRequest CommHelper::getRequest(const std::string& url, const std::optional<std::string>& storeId,
                                   const std::optional<std::string>& password, const std::optional<std::string>& userId,
                                   const std::optional<std::string>& lastUpdate, const std::optional<std::string>& data,
                                   int timeoutSeconds) {
    return getRequest(url, storeId, password, userId, std::nullopt, lastUpdate, data, timeoutSeconds);
}

std::optional<std::string> CommHelper::send(const HttpRequest& request, Error* error) {
    std::optional<HttpResponse> response = exchange(request, error);
    if (!response) return std::nullopt;
    if (isGoodStatus(response->status)) return std::move(response->body);
    Error::set(error, statusError(*response));
    return std::nullopt;
}

std::optional<std::string> CommHelper::sendHTTP(const std::string& body, const std::string& url,
                                                const std::string& contentType, int /*connectTimeout*/, int readTimeout,
                                                Error* error) {
    HttpRequest request;
    request.url = url;
    request.timeout = request.connectTimeout = readTimeout;
    request.headers.emplace_back("Content-Type", headerValue(contentType));
    request.headers.emplace_back("Content-Length", format("%lu", body.size()));
    request.body = body;
    return send(request, error);
}

bool CommHelper::send(const std::string& url, const std::optional<std::string>& userId,
                      const std::optional<std::string>& data, ObjectContext* context, bool log, Error* error) {
    HttpRequest request = getRequest(url, defaultsText("store_id"), defaultsText("password"), userId, std::nullopt,
                                     data, timeout(Parameter::SocketConnectTimeout, context));
    Error transport;
    std::optional<std::string> body = send(request, &transport);
    std::string reply = replyText(body);
    if (log) {
        TAVLO_LOG("Sent: %@", data);
        TAVLO_LOG("Received: %@", reply);
    }
    // No reply, or a failed status, is a failure whatever the page says.
    if (!body) {
        Error::set(error, storeServerError(NotAccepted, unableToComplete(transport)));
        return false;
    }
    XmlDocPtr doc = XmlHelper::parse(reply);
    if (contains(reply, "success") || contains(reply, "warning")) {
        xmlNodePtr cash = doc ? XmlHelper::getFirstChildNode(xmlDocGetRootElement(doc.get()), "cashInOut") : nullptr;
        if (context && cash) {
            CashInOut record;
            record.read(cash, doc.get());
            record.write(*context);
            context->setMergePolicy(ObjectContext::MergePolicy::Overwrite);
            Error saveError;
            if (!context->save(&saveError))
                TAVLO_LOG_MAIL("Unable to save cashInOut %@", saveError.localizedDescription());
        }
        if (std::optional<std::string> warning = replyValue(doc, "warning"))
            Error::set(error, storeServerError(Warning, *warning));
        return true;
    }
    std::optional<std::string> refusal = replyValue(doc, "error");
    if (!refusal) {
        Error::set(error, storeServerError(NotAccepted, unableToComplete(transport)));
        return false;
    }
    if (size_t cut = refusal->find("xception: "); cut != std::string::npos) refusal->erase(0, cut + 10);
    Error::set(error, storeServerError(NotAccepted, *refusal));
    return false;
}

bool CommHelper::send(const std::string& url, const std::optional<std::string>& userId,
                      const std::optional<std::string>& data, bool log, Error* error) {
    return send(url, userId, data, nullptr, log, error);
}

// ---- requests ----

bool CommHelper::openStore(const std::optional<std::string>& /*storeId*/,
                           const std::optional<std::string>& /*password*/, const std::optional<std::string>& userId,
                           std::optional<Date> date, const std::optional<std::string>& terminalId,
                           const std::string& url, ObjectContext* context, Error* error) {
    bool sendDate = Parameters::flag(Parameter::SendDateOnOpen, context);
    std::optional<std::string> document =
        XmlHelper::getXmlOpenStore(userId, terminalId, sendDate ? date : std::nullopt);
    return send(url, userId, document, Parameters::flag(Parameter::LogXml, context), error);
}

bool CommHelper::noSale(const std::optional<std::string>& /*storeId*/, const std::optional<std::string>& /*password*/,
                        const std::optional<std::string>& drawerId, const std::optional<std::string>& requestedBy,
                        const std::optional<std::string>& authorizedBy, const std::optional<std::string>& terminalId,
                        const std::string& url, ObjectContext* context, Error* error) {
    std::optional<std::string> document =
        XmlHelper::getXmlNoSale(requestedBy, terminalId, drawerId, Date::now(), authorizedBy);
    return send(url, requestedBy, document, Parameters::flag(Parameter::LogXml, context), error);
}

namespace {

struct StatusOnlyTexts {
    const char* what;       // the request's name in the log
    const char* withStatus; // "... (statusCode:%ld)"
    const char* noResponse;
    bool replyInLog = true; // false: the reply's size only
};

// Terminal info and store load: the status alone decides. The trimmed reply text comes back.
std::string statusOnlyExchange(const HttpRequest& request, const StatusOnlyTexts& texts, bool logXML, bool* accepted,
                               Error* error) {
    Error transport;
    std::optional<HttpResponse> response = exchange(request, &transport);
    std::string reply = response ? replyText(std::move(response->body)) : std::string();
    if (logXML)
        logExchange(texts.what, request.url, response, reply, request.body, transport,
                    "Response code:%d, size:%d, for request:%@", texts.replyInLog);
    *accepted = response && isGoodStatus(response->status);
    if (!*accepted)
        Error::set(error, storeServerError(CommHelper::NoResponse, response && response->status != 0
                                                                       ? format(texts.withStatus, response->status)
                                                                       : std::string(texts.noResponse)));
    return reply;
}

} // namespace

bool CommHelper::sendTerminalInfo(const TerminalInfoValues& info, const std::optional<std::string>& storeId,
                                  const std::optional<std::string>& password, const std::string& url, bool logXML,
                                  Error* error) {
    HttpRequest request =
        getRequest(url, storeId, password, std::nullopt, std::nullopt, XmlHelper::getXmlTerminalInfo(info), 30);
    bool accepted = false;
    statusOnlyExchange(request,
                       {"sendTerminalInfo", "Unable to connect to Tavlo (statusCode:%ld)",
                        "Unable to connect to Tavlo, make sure your gateway is running"},
                       logXML, &accepted, error);
    return accepted;
}

void CommHelper::sendTerminalInfo() {
    // Sent from a background thread: a context of its own, never the main thread's.
    std::shared_ptr<ObjectStore> store = DBHelper::sharedStore();
    if (!store) return;
    ObjectContext context(store);
    std::optional<std::string> terminalId = DBHelper::getTerminalId(IDBroker::deviceIdentifier(), &context);
    if (!terminalId) return;
    std::shared_ptr<LogInfoProvider> device = TavloLog::infoProvider();
    TerminalInfoValues info{*terminalId,         device->deviceName(),    localIPAddress(),
                            device->model(),     Session::diskCapacity(), device->systemVersion(),
                            device->appVersion()};
    Error error;
    if (!sendTerminalInfo(info, defaultsText("store_id"), defaultsText("password"),
                          formatTavloURL(defaultsText("gateway")).value_or(""), true, &error))
        TAVLO_LOG("Unable to send terminal info: %@", error.localizedDescription());
}

std::string CommHelper::getStoreMenuData(const std::optional<std::string>& storeId,
                                         const std::optional<std::string>& password,
                                         const std::optional<std::string>& associationCode, const std::string& url,
                                         int timeoutSeconds, const std::optional<std::string>& storeUpdate,
                                         const std::optional<std::string>& menuUpdate,
                                         const std::optional<std::string>& terminalId, const std::string& appVersion,
                                         bool logXML, Error* error) {
    HttpRequest request =
        getRequest(url, storeId, password, std::nullopt, associationCode, std::nullopt,
                   XmlHelper::getXmlStoreMenuData(storeUpdate, menuUpdate, terminalId, appVersion), timeoutSeconds);
    bool accepted = false;
    return statusOnlyExchange(request,
                              {"getStoreMenuData", "Unable to connect to Tavlo terminal (statusCode:%ld)",
                               "Unable to connect to Tavlo terminal, make sure your gateway is running", false},
                              logXML, &accepted, error);
}

namespace {

// One read of the family. False with code 1 when no good reply came, or -1 for an "error"
// element; else true with the reply's document (null when it is not XML), a "warning" setting 0.
bool readRequest(const char* what, const std::string& url, const std::optional<std::string>& storeId,
                 const std::optional<std::string>& password, const std::optional<std::string>& userId,
                 const std::optional<std::string>& document, ObjectContext* context, XmlDocPtr& doc, Error* error,
                 const char* codeFormat = "Response code:%d, size:%d, for request:%@") {
    HttpRequest request = CommHelper::getRequest(url, storeId, password, userId, std::nullopt, document,
                                                 CommHelper::timeout(Parameter::SocketConnectTimeout, context));
    Error transport;
    std::optional<HttpResponse> response = exchange(request, &transport);
    std::string reply = response ? replyText(response->body) : std::string();
    if (Parameters::flag(Parameter::LogXml, context))
        logExchange(what, url, response, reply, document, transport, codeFormat);
    if (!response || !isGoodStatus(response->status)) {
        Error::set(error, storeServerError(CommHelper::NoResponse, kStoreServiceUnreachable));
        return false;
    }
    doc = XmlHelper::parse(reply);
    if (std::optional<std::string> refusal = replyValue(doc, "error")) {
        Error::set(error, storeServerError(CommHelper::Refused, *refusal));
        return false;
    }
    if (std::optional<std::string> warning = replyValue(doc, "warning"))
        Error::set(error, storeServerError(CommHelper::Warning, *warning));
    return true;
}

// The texts of the root's run of elements so named. A report keeps a line without text as "".
std::vector<std::string> textRun(const XmlDocPtr& doc, const char* element, bool keepEmpty) {
    std::vector<std::string> list;
    if (keepEmpty) list.reserve(20);
    for (xmlNodePtr node : XmlHelper::getChildRun(xmlDocGetRootElement(doc.get()), element)) {
        std::optional<std::string> value = XmlHelper::getValue(node, doc.get());
        if (value || keepEmpty) list.push_back(value.value_or(""));
    }
    return list;
}

std::optional<std::vector<std::string>> readList(const char* what, const std::string& url,
                                                 const std::optional<std::string>& storeId,
                                                 const std::optional<std::string>& password,
                                                 const std::optional<std::string>& userId,
                                                 const std::optional<std::string>& document, ObjectContext* context,
                                                 const char* element, bool report, Error* error) {
    XmlDocPtr doc;
    if (!readRequest(what, url, storeId, password, userId, document, context, doc, error)) return std::nullopt;
    return textRun(doc, element, report);
}

} // namespace

std::optional<std::vector<std::string>> CommHelper::getReport(const std::string& reportName,
                                                              const std::optional<std::string>& param,
                                                              const Session& session, Error* error) {
    return readList("getReport", gateway().value_or(""), session.storeId(), session.password(), session.userId(),
                    XmlHelper::getXmlReport(reportName, param), session.managedObjectContext(), "line", true, error);
}

std::optional<std::vector<std::string>> CommHelper::getReportCashInOut(const std::optional<std::string>& cashInOutId,
                                                                       const std::string& userId,
                                                                       std::optional<Date> inDate,
                                                                       const std::optional<std::string>& drawerId,
                                                                       std::optional<Date> outDate, bool detailed,
                                                                       const Session& session, Error* error) {
    return readList("getReportCashInOut", gateway().value_or(""), session.storeId(), session.password(),
                    session.userId(),
                    XmlHelper::getXmlReportCashInOut(cashInOutId, userId, inDate, drawerId, outDate, detailed),
                    session.managedObjectContext(), "line", true, error);
}

std::optional<std::vector<std::string>> CommHelper::getUsersNotCashedOut(const std::optional<std::string>& storeId,
                                                                         const std::optional<std::string>& password,
                                                                         const std::optional<std::string>& userId,
                                                                         const std::string& url, ObjectContext* context,
                                                                         Error* error) {
    return readList("getUsersNotCashedOut", url, storeId, password, userId, XmlHelper::getXmlUsersNotCashedOut(),
                    context, "userId", false, error);
}

std::optional<std::vector<std::string>> CommHelper::getPaymentRefs(
    long paymentType, const std::optional<std::string>& storeId, const std::optional<std::string>& password,
    const std::optional<std::string>& userId, const std::string& url, ObjectContext* context, Error* error) {
    return readList("getPaymentRefs", url, storeId, password, userId, XmlHelper::getXmlPaymentRefs(paymentType),
                    context, "paymentRef", false, error);
}

CommHelper::RecordReader CommHelper::loadOrders(std::vector<std::shared_ptr<Order>>& into, ObjectContext* context) {
    return [&into, context](xmlDocPtr doc, xmlNodePtr element) {
        auto order = std::make_shared<Order>(context);
        order->read(element, doc, context);
        into.push_back(std::move(order));
    };
}

std::optional<std::vector<std::shared_ptr<Order>>> CommHelper::getOrders(const Session& session, Error* error) {
    XmlDocPtr doc;
    if (!readRequest("getOrders", gateway().value_or(""), session.storeId(), session.password(), session.userId(),
                     XmlHelper::getXmlRequest("getOrders", "customerOrder.dtd", std::nullopt),
                     session.managedObjectContext(), doc, error, "Response code: %d, size: %d, for request:%@"))
        return std::nullopt;
    std::vector<std::shared_ptr<Order>> orders;
    orders.reserve(10);
    RecordReader load = loadOrders(orders, session.managedObjectContext());
    for (xmlNodePtr order : XmlHelper::getChildRun(xmlDocGetRootElement(doc.get()), "customerOrder"))
        load(doc.get(), order);
    return orders;
}

bool CommHelper::getOrderSummaries(const std::optional<std::string>& areaLocationId, bool openOnly,
                                   const RecordReader& into, const Session& session, Error* error) {
    XmlDocPtr doc;
    if (!readRequest("getOrderSummaries", gateway().value_or(""), session.storeId(), session.password(),
                     session.userId(), XmlHelper::getXmlOrdersByAreaLocationId(areaLocationId, openOnly),
                     session.managedObjectContext(), doc, error))
        return false;
    for (xmlNodePtr summary : XmlHelper::getChildRun(xmlDocGetRootElement(doc.get()), "orderSummary"))
        into(doc.get(), summary);
    return true;
}

bool CommHelper::getOrder(const std::string& remoteId, const std::string& url, const std::optional<std::string>& userId,
                          const RecordReader& into, ObjectContext* context, Error* error) {
    std::optional<std::string> document = XmlHelper::getXmlOrderByRemoteId(remoteId);
    HttpRequest request = getRequest(url, defaultsText("store_id"), defaultsText("password"), userId, std::nullopt,
                                     document, timeout(Parameter::SocketConnectTimeout, context));
    request.headers.emplace_back("remoteId", headerValue(remoteId));
    bool logXML = Parameters::flag(Parameter::LogXml, context);
    if (logXML) TAVLO_LOG("Getting order: %@", remoteId);
    Error transport;
    std::optional<HttpResponse> response = exchange(request, &transport);
    std::string reply = response ? replyText(response->body) : std::string();
    if (logXML) {
        TAVLO_LOG("Done order: %@", remoteId);
        TAVLO_LOG("RemoteId:%@", remoteId);
        logExchange("getOrder", url, response, reply, document, transport,
                    "Response code: %d, size: %d, for request:%@");
    }
    if (!response || !isGoodStatus(response->status)) {
        Error::set(error, transport.isSet() ? transport
                          : response        ? statusError(*response)
                                            : storeServerError(NoResponse, "Unable to connect"));
        return false;
    }
    XmlDocPtr doc = XmlHelper::parse(reply);
    if (std::optional<std::string> refusal = replyValue(doc, "error")) {
        Error::set(error, storeServerError(Refused, *refusal));
        return false;
    }
    std::vector<xmlNodePtr> orders =
        XmlHelper::getChildRun(doc ? xmlDocGetRootElement(doc.get()) : nullptr, "customerOrder");
    if (!orders.empty()) into(doc.get(), orders.front());
    std::optional<std::string> warning = replyValue(doc, "warning");
    if (orders.empty() || warning)
        Error::set(error, storeServerError(Warning, warning.value_or("Order not found, must have been closed")));
    return !orders.empty();
}

XmlDocPtr CommHelper::getRecords(const std::string& what, const std::string& url,
                                 const std::optional<std::string>& storeId, const std::optional<std::string>& password,
                                 const std::optional<std::string>& userId, const std::optional<std::string>& document,
                                 int timeoutSeconds, ObjectContext* context, Error* error) {
    HttpRequest request = getRequest(url, storeId, password, userId, std::nullopt, document, timeoutSeconds);
    Error transport;
    std::optional<HttpResponse> response = exchange(request, &transport);
    if (!response) {
        TAVLO_LOG("No response received from %@: %@", what, transport.localizedDescription());
        Error::set(error, transport);
        return nullptr;
    }
    std::string reply = replyText(response->body);
    if (Parameters::flag(Parameter::LogXml, context))
        logExchange(what, url, response, reply, document, Error(), "Response code: %d, size: %d, for request:%@");
    if (!isGoodStatus(response->status)) {
        Error::set(error, statusError(*response));
        return nullptr;
    }
    if (reply.empty()) {
        TAVLO_LOG("No data received from %@", what);
        Error::set(error, storeServerError(NoResponse, format("No data received from %@", what)));
        return nullptr;
    }
    XmlDocPtr doc = XmlHelper::parse(reply);
    if (!doc || !xmlDocGetRootElement(doc.get())) {
        TAVLO_LOG("Unable to read the reply to %@ (%d bytes)", what, static_cast<int>(reply.size()));
        Error::set(error, storeServerError(NoResponse, format("Unable to read the reply to %@", what)));
        return nullptr;
    }
    if (std::optional<std::string> refusal = replyValue(doc, "error")) {
        Error::set(error, storeServerError(Refused, *refusal));
        return nullptr;
    }
    if (std::optional<std::string> warning = replyValue(doc, "warning")) {
        TAVLO_LOG("%@", *warning);
        Error::set(error, storeServerError(Warning, *warning));
    }
    return doc;
}

bool CommHelper::getOrders(const RecordReader& into, const std::string& url, const std::optional<std::string>& storeId,
                           const std::optional<std::string>& password, ObjectContext* context) {
    Error error;
    XmlDocPtr doc = getRecords("getOrderData", url, storeId, password, std::nullopt,
                               XmlHelper::getXmlRequest("getOrderData", "customerOrder.dtd", std::nullopt),
                               timeout(Parameter::SocketConnectTimeout, context), context, &error);
    if (!doc) {
        if (isRefusal(error)) TAVLO_LOG_MAIL("Received error synching orders: %@", error.localizedDescription());
        return false;
    }
    for (xmlNodePtr child = xmlDocGetRootElement(doc.get())->children; child; child = child->next)
        if (XmlHelper::isElementNamed(child, "customerOrder")) into(doc.get(), child);
    return true;
}

std::string CommHelper::sendOrder(OrderDocumentWriter& order, const std::string& url,
                                  const std::optional<std::string>& storeId, const std::optional<std::string>& password,
                                  const std::optional<std::string>& userId, bool printReceipt,
                                  const std::optional<std::string>& printURL,
                                  const std::optional<std::string>& drawerURL, ObjectContext* context, Error* error) {
    int seconds = timeout(Parameter::SocketConnectTimeout, context);
    std::optional<std::string> document =
        order.document(storeId, DBHelper::getTerminalId(IDBroker::deviceIdentifier(), context), printReceipt, printURL,
                       drawerURL, false, Parameters::flag(Parameter::SendBackVoids, context), context);
    HttpRequest request = getRequest(url, storeId, password, userId, std::nullopt, document, seconds);
    Error transport;
    std::optional<HttpResponse> response = exchange(request, &transport);
    std::string reply = response ? replyText(response->body) : std::string();
    if (Parameters::flag(Parameter::LogXml, context))
        logExchange("sendOrder", url, response, reply, document, transport);
    if (response && isGoodStatus(response->status)) return reply;
    if (response) transport = statusError(*response);
    // Whatever a failed reply holds, it is no answer to the order.
    Error::set(error, storeServerError(NotAccepted, unableToComplete(transport)));
    return "";
}

bool CommHelper::sendOrder(OrderDocumentWriter& order, const std::string& url, const std::optional<std::string>& userId,
                           bool printReceipt, const std::optional<std::string>& printURL,
                           const std::optional<std::string>& drawerURL, bool updateSummaries, ObjectContext* context,
                           bool retryIfNewKey, Error* error) {
    Error sendError;
    std::string reply = sendOrder(order, url, defaultsText("store_id"), defaultsText("password"), userId, printReceipt,
                                  printURL, drawerURL, context, &sendError);
    if (reply.empty()) {
        Error::set(error, sendError.isSet() ? sendError
                                            : storeServerError(NotAccepted, format("Unable to connect to %@", url)));
        return false;
    }
    auto sendAgain = [&] {
        return sendOrder(order, url, userId, printReceipt, printURL, drawerURL, updateSummaries, context, false, error);
    };
    XmlDocPtr doc = XmlHelper::parse(reply);
    // The new key is in place before the order's card fields are written again.
    if (std::optional<std::string> key = replyValue(doc, "publicKey")) Encryption::getInstance().setPublicKey(*key);

    if (std::optional<std::string> refusal = replyValue(doc, "error")) {
        if (retryIfNewKey) return sendAgain();
        Error::set(error, storeServerError(containsNoCase(*refusal, "KeyMismatch") ? KeyMismatch : Refused, *refusal));
        return false;
    }
    if (updateSummaries) {
        if (xmlNodePtr summary = XmlHelper::getFirstChildNode(xmlDocGetRootElement(doc.get()), "orderSummary"))
            order.saveOrderSummary(doc.get(), summary, context);
    }
    if (std::optional<std::string> warning = replyValue(doc, "warning")) {
        bool mismatch = containsNoCase(*warning, "KeyMismatch");
        if (mismatch && retryIfNewKey) return sendAgain();
        if (!retryIfNewKey) Error::set(error, storeServerError(mismatch ? KeyMismatch : Warning, *warning));
    }
    Error saveError;
    if (context) context->setMergePolicy(ObjectContext::MergePolicy::Overwrite);
    if (context && !context->save(&saveError))
        TAVLO_LOG_MAIL("Unable to save send orders: %@", saveError.localizedDescription());
    return true;
}

bool CommHelper::sendOrder(OrderDocumentWriter& order, const std::string& url, const std::optional<std::string>& userId,
                           bool printReceipt, const std::optional<std::string>& printURL,
                           const std::optional<std::string>& drawerURL, bool updateSummaries, ObjectContext* context,
                           Error* error) {
    return sendOrder(order, url, userId, printReceipt, printURL, drawerURL, updateSummaries, context, true, error);
}

int CommHelper::port(const std::optional<std::string>& address) {
    if (!address) return 0;
    size_t colon = address->find(':');
    if (colon == std::string::npos || colon + 1 == address->size()) return kDefaultPrinterPort;
    return intValue(std::string_view(*address).substr(colon + 1));
}

std::optional<std::string> CommHelper::ipAddress(const std::optional<std::string>& address) {
    if (!address) return std::nullopt;
    return resolve(address->substr(0, address->find(':')));
}

std::optional<std::string> CommHelper::getIPAddressFromName(const std::string& hostName) {
    return Sockets::lookupIPv4(hostName);
}

bool CommHelper::isValidIPAddress(const std::optional<std::string>& text) {
    // The separators match any character, as the address checks always have.
    static const std::regex pattern("^(25[0-5]|2[0-4][0-9]|[0-1]{1}[0-9]{2}|[1-9]{1}[0-9]{1}|[1-9])."
                                    "(25[0-5]|2[0-4][0-9]|[0-1]{1}[0-9]{2}|[1-9]{1}[0-9]{1}|[1-9]|0)."
                                    "(25[0-5]|2[0-4][0-9]|[0-1]{1}[0-9]{2}|[1-9]{1}[0-9]{1}|[1-9]|0)."
                                    "(25[0-5]|2[0-4][0-9]|[0-1]{1}[0-9]{2}|[1-9]{1}[0-9]{1}|[0-9])$");
    return text && std::regex_match(*text, pattern);
}

bool CommHelper::isValidEmailAddress(const std::optional<std::string>& text) {
    static const std::regex pattern(
        // local part: dot-atom, or a quoted string of characters other than quote, backslash and
        // line ends, and of escaped pairs
        R"((?:[A-Za-z0-9!#$%&'*+/=?^_`{|}~-]+(?:\.[A-Za-z0-9!#$%&'*+/=?^_`{|}~-]+)*)"
        R"(|"(?:[\x01-\x08\x0b\x0c\x0e-\x21\x23-\x5b\x5d-\x7f]|\\[\x01-\x09\x0b\x0c\x0e-\x7f])*"))"
        "@"
        // domain: labels of letters, digits and inner hyphens, or [a.b.c.d]
        R"((?:(?:[A-Za-z0-9](?:[A-Za-z0-9-]*[A-Za-z0-9])?\.)+[A-Za-z0-9](?:[A-Za-z0-9-]*[A-Za-z0-9])?)"
        R"(|\[(?:(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\.){3}(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\]))");
    // The bound also keeps the pattern's matcher, which recurses per character, off a deep stack.
    return text && text->size() <= 254 && std::regex_match(*text, pattern);
}

std::optional<std::string> CommHelper::resolve(const std::string& host) {
    if (isValidIPAddress(host)) return host;
    std::optional<std::string> local = formatLocalURL(host);
    return local ? getIPAddressFromName(*local) : std::nullopt;
}

int CommHelper::openSocket(const std::string& host, int port, int timeoutSeconds) {
    std::optional<std::string> address = resolve(host);
    if (!address) return -1;
    int failure = 0;
    int fd = Sockets::openTcp(*address, port, timeoutSeconds, &failure);
    if (fd < 0 && failure != 0 && failure != ETIMEDOUT && failure != EINVAL)
        TAVLO_LOG("Got error from getsockopt: %d", failure);
    return fd;
}

bool CommHelper::canConnect(const std::string& host, int port, int timeoutSeconds) {
    std::optional<std::string> address = resolve(host);
    if (!address) return false;
    int fd = openSocket(*address, port, timeoutSeconds);
    if (fd < 0) {
        TAVLO_LOG("Unable to connect to %@", *address);
        return false;
    }
    close(fd);
    return true;
}

bool CommHelper::isReachable(const NetworkReachability* target) { return target && target->isReachable(); }

bool CommHelper::isReachableByAddress(const std::string& address) {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(3490);
    if (inet_aton(address.c_str(), &target.sin_addr) == 0) return false;
    auto reachability =
        NetworkReachability::withAddress(std::string(reinterpret_cast<const char*>(&target), sizeof target));
    return isReachable(reachability.get());
}

bool CommHelper::isReachableByName(const std::string& hostName) {
    return isReachable(NetworkReachability::withName(hostName).get());
}

bool CommHelper::isWiFiConnected() { return NetworkProbe::current()->isWiFiConnected(); }

std::string CommHelper::localIPAddress() { return NetworkProbe::current()->localIPAddress(); }

std::string CommHelper::ssid() { return NetworkProbe::current()->ssid(); }

} // namespace tavlo
