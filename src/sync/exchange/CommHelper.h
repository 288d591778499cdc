#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <libxml/tree.h>

#include "core/session/Parameters.h"
#include "core/util/Utils.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Error.h"
#include "platform/net/HttpClient.h"
#include "xml/RequestValues.h"
#include "xml/XmlDocPtr.h"

namespace tavlo {

class NetworkReachability;
class ObjectContext;
class Order;
class OrderDocumentWriter;
class Session;

// The terminal's client of the store server (every request is one XML document POSTed to the
// gateway, answered synchronously) and its plain network services: printer and server address
// forms, name lookup, TCP connections with a time-out, what the device knows of its own network.
class CommHelper {
public:
    static constexpr int kDefaultPrinterPort = 9100;
    static constexpr int kDefaultGatewayPort = 4444;

    // Every failure of the store-server client carries this domain and one of these codes.
    static constexpr const char* kStoreServerErrorDomain = Utils::kStoreServerErrorDomain;
    enum StoreServerCode {
        NoResponse = 1,    // no HTTP response, or a status outside 200-299
        Warning = 0,       // the server answered a "warning"; the request still succeeded
        NotAccepted = -95, // the reply is not a success, or a send got no reply
        KeyMismatch = -99, // an order refused twice for a key mismatch
        Refused = -1,      // an "error" element in a read reply, or an order refused
    };
    // The server itself said no (as opposed to a failed exchange): worth a mail to support.
    static bool isRefusal(const Error& error) {
        return error.domain() == kStoreServerErrorDomain && error.code() == Refused;
    }

    // ---- the gateway and address forms (nil gives nil, "" gives "") ----

    // The store server's URL; nil until set. Any thread may read it.
    static std::optional<std::string> gateway();
    // Stores formatLocalURL() of the address.
    static void setGateway(const std::optional<std::string>& address);

    // Address forms.
    // ".local" added after a bare local-network host name; addresses with a scheme, "localhost",
    // numeric hosts (with or without a port or path) and names already ending ".local" stay.
    static std::optional<std::string> formatLocalURL(const std::optional<std::string>& address);
    // The full gateway URL: scheme ("http://" when none) and port 4444 when none; a page
    // address ending ".jsp" stays as it is.
    static std::optional<std::string> formatTavloURL(const std::optional<std::string>& address);
    // The host part alone.
    static std::optional<std::string> hostName(const std::optional<std::string>& url);

    // ---- the exchange ----

    // A configured time-out in whole seconds: milliseconds rounded half away from zero (the session
    // time-out is in seconds already); 30 when absent or not above 0 (10 for the session time-out);
    // 10 without a context.
    static int timeout(Parameter key, ObjectContext* context);
    // The same by the parameter's stored name; a name the table lacks reads as absent.
    static int timeout(const std::string& key, ObjectContext* context);

    // The request envelope: a POST with the store-server headers in their fixed order and the
    // document's bytes as they are. A time-out of 0 waits 15 seconds.
    static HttpRequest getRequest(const std::string& url, const std::optional<std::string>& storeId,
                                  const std::optional<std::string>& password, const std::optional<std::string>& userId,
                                  const std::optional<std::string>& associationCode,
                                  const std::optional<std::string>& lastUpdate, const std::optional<std::string>& data,
                                  int timeoutSeconds);
    static HttpRequest getRequest(const std::string& url, const std::optional<std::string>& storeId,
                                  const std::optional<std::string>& password, const std::optional<std::string>& userId,
                                  const std::optional<std::string>& lastUpdate, const std::optional<std::string>& data,
                                  int timeoutSeconds);

    // The synchronous exchange: the reply body for a status 200-299. Anything else is nil: the
    // transport's own error when no reply came, else code 1 with the body (or "HTTP status
    // code:N") as the text. A failed status never hands its body on.
    static std::optional<std::string> send(const HttpRequest& request, Error* error);
    // A plain POST (the card gateway): only Content-Type and Content-Length, the read time-out.
    static std::optional<std::string> sendHTTP(const std::string& body, const std::string& url,
                                               const std::string& contentType, int connectTimeout, int readTimeout,
                                               Error* error);

    // A request that needs only the server's acceptance, with the user defaults' credentials.
    // Accepted when the reply holds "success" or else "warning" (then code 0 is set with the
    // warning and the answer is still true); otherwise code -95 with the reply's "error" text.
    // A transport failure is code -95 "Unable to complete request (...)" before any reply test.
    // With a context, a "cashInOut" in an accepted reply is stored there and saved.
    static bool send(const std::string& url, const std::optional<std::string>& userId,
                     const std::optional<std::string>& data, ObjectContext* context, bool log, Error* error);
    // The same without a context: a 10-second time-out.
    static bool send(const std::string& url, const std::optional<std::string>& userId,
                     const std::optional<std::string>& data, bool log, Error* error);

    // ---- requests ----

    // Business-day open. The store and password arguments are not used: the user defaults'
    // credentials go out. The date is sent only when "HH_SEND_DATE_ON_OPEN" is on.
    static bool openStore(const std::optional<std::string>& storeId, const std::optional<std::string>& password,
                          const std::optional<std::string>& userId, std::optional<Date> date,
                          const std::optional<std::string>& terminalId, const std::string& url, ObjectContext* context,
                          Error* error);
    static bool noSale(const std::optional<std::string>& storeId, const std::optional<std::string>& password,
                       const std::optional<std::string>& drawerId, const std::optional<std::string>& requestedBy,
                       const std::optional<std::string>& authorizedBy, const std::optional<std::string>& terminalId,
                       const std::string& url, ObjectContext* context, Error* error);

    // Requests judged by their status alone; failures are code 1 with their own texts.
    static bool sendTerminalInfo(const TerminalInfoValues& info, const std::optional<std::string>& storeId,
                                 const std::optional<std::string>& password, const std::string& url, bool logXML,
                                 Error* error);
    // This device's terminal info to the "gateway" default with the defaults' credentials;
    // nothing without a terminal row for this device. A failure is logged. Any thread.
    static void sendTerminalInfo();
    // The store data; the trimmed reply text in every case ("" without one).
    static std::string getStoreMenuData(const std::optional<std::string>& storeId,
                                        const std::optional<std::string>& password,
                                        const std::optional<std::string>& associationCode, const std::string& url,
                                        int timeoutSeconds, const std::optional<std::string>& storeUpdate,
                                        const std::optional<std::string>& menuUpdate,
                                        const std::optional<std::string>& terminalId, const std::string& appVersion,
                                        bool logXML, Error* error);

    // The read family: lists the gateway (or the given URL) sends back. nil with code 1 when no
    // good reply came, nil with code -1 for an "error" element; a "warning" sets code 0 and
    // the list still comes back. A list is the run of the root's children of one name from the
    // first of them.
    static std::optional<std::vector<std::string>> getReport(const std::string& reportName,
                                                             const std::optional<std::string>& param,
                                                             const Session& session, Error* error);
    static std::optional<std::vector<std::string>> getReportCashInOut(const std::optional<std::string>& cashInOutId,
                                                                      const std::string& userId,
                                                                      std::optional<Date> inDate,
                                                                      const std::optional<std::string>& drawerId,
                                                                      std::optional<Date> outDate, bool detailed,
                                                                      const Session& session, Error* error);
    static std::optional<std::vector<std::string>> getUsersNotCashedOut(const std::optional<std::string>& storeId,
                                                                        const std::optional<std::string>& password,
                                                                        const std::optional<std::string>& userId,
                                                                        const std::string& url, ObjectContext* context,
                                                                        Error* error);
    static std::optional<std::vector<std::string>> getPaymentRefs(
        long paymentType, const std::optional<std::string>& storeId, const std::optional<std::string>& password,
        const std::optional<std::string>& userId, const std::string& url, ObjectContext* context, Error* error);
    // Reads one received record element of a reply (an order or an order summary) into the
    // caller's list.
    using RecordReader = std::function<void(xmlDocPtr doc, xmlNodePtr element)>;
    // The reader that makes an order of the context from each element handed to it (a
    // "customerOrder" or an "orderSummary") and adds it to `into`.
    static RecordReader loadOrders(std::vector<std::shared_ptr<Order>>& into, ObjectContext* context);
    // The session's orders on the gateway: the run of "customerOrder" elements, as the read family.
    static std::optional<std::vector<std::shared_ptr<Order>>> getOrders(const Session& session, Error* error);
    // Order summaries, each handed to `into`; false when the request failed.
    static bool getOrderSummaries(const std::optional<std::string>& areaLocationId, bool openOnly,
                                  const RecordReader& into, const Session& session, Error* error);

    // One order by its remoteId (also sent as the "remoteId" header), on the defaults'
    // credentials: true when the reply held one, handed to `into`. Without one, code 0 "Order not
    // found, must have been closed" (or the reply's warning); -1 for an "error" element.
    static bool getOrder(const std::string& remoteId, const std::string& url, const std::optional<std::string>& userId,
                         const RecordReader& into, ObjectContext* context, Error* error);
    // A download of records (the order data, the customers, the order summaries): the document
    // to the URL with the credentials and no last-update header. The parsed reply of a 200-299
    // reply; a "warning" in it is logged and set as code 0. Otherwise null with `error`: the
    // transport's error when no reply came, code 1 for a failed status or a reply that is empty or
    // not XML, -1 with the text of an "error" element. `what` names the request in the log.
    static XmlDocPtr getRecords(const std::string& what, const std::string& url,
                                const std::optional<std::string>& storeId, const std::optional<std::string>& password,
                                const std::optional<std::string>& userId, const std::optional<std::string>& document,
                                int timeoutSeconds, ObjectContext* context, Error* error);
    // The order download: every "customerOrder" child of the reply's root to `into`. Reports
    // only through the log and its answer.
    static bool getOrders(const RecordReader& into, const std::string& url, const std::optional<std::string>& storeId,
                          const std::optional<std::string>& password, ObjectContext* context);

    // The order send: the order's document with the given credentials; the trimmed reply text
    // of a 200-299 reply, else "" with code -95 "Unable to complete request (...)".
    static std::string sendOrder(OrderDocumentWriter& order, const std::string& url,
                                 const std::optional<std::string>& storeId, const std::optional<std::string>& password,
                                 const std::optional<std::string>& userId, bool printReceipt,
                                 const std::optional<std::string>& printURL,
                                 const std::optional<std::string>& drawerURL, ObjectContext* context, Error* error);
    // The order send with the key handshake, on the user defaults' credentials. A "publicKey" in
    // the reply becomes the card-field key at once; a refusal ("error") or a key-mismatch
    // warning sends the order once more when a retry is allowed. A second key mismatch is -99.
    static bool sendOrder(OrderDocumentWriter& order, const std::string& url, const std::optional<std::string>& userId,
                          bool printReceipt, const std::optional<std::string>& printURL,
                          const std::optional<std::string>& drawerURL, bool updateSummaries, ObjectContext* context,
                          bool retryIfNewKey, Error* error);
    static bool sendOrder(OrderDocumentWriter& order, const std::string& url, const std::optional<std::string>& userId,
                          bool printReceipt, const std::optional<std::string>& printURL,
                          const std::optional<std::string>& drawerURL, bool updateSummaries, ObjectContext* context,
                          Error* error);

    // "host" or "host:port": the port (9100 without one), 0 for nil.
    static int port(const std::optional<std::string>& address);
    // "host" or "host:port": the host's dotted IPv4 address, looked up when it is a name.
    static std::optional<std::string> ipAddress(const std::optional<std::string>& address);
    static std::optional<std::string> getIPAddressFromName(const std::string& hostName);
    static bool isValidIPAddress(const std::optional<std::string>& text);
    // The address form of internet mail: a dot-atom or quoted local part, "@", then a domain
    // name of at least two labels or a bracketed IPv4 literal. Longer than 254 characters (the
    // most a mail server takes) is not an address.
    static bool isValidEmailAddress(const std::optional<std::string>& text);

    // Connections. A connected non-blocking descriptor the caller closes, or -1.
    static int openSocket(const std::string& host, int port, int timeoutSeconds);
    static bool canConnect(const std::string& host, int port, int timeoutSeconds);

    // Whether the system has a route to the target now (nothing is sent); false for none.
    static bool isReachable(const NetworkReachability* target);
    // The same for a dotted IPv4 address (false when the text is not one) and for a host name.
    static bool isReachableByAddress(const std::string& address);
    static bool isReachableByName(const std::string& hostName);

    // The device's network (answered by the installed NetworkProbe).
    static bool isWiFiConnected();
    static std::string localIPAddress();
    static std::string ssid();

private:
    static std::optional<std::string> resolve(const std::string& host);
};

} // namespace tavlo
