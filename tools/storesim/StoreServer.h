#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <libxml/tree.h>

#include "StorePrinters.h"

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace tavlo::storesim {

class CardCharges;

// How the server misbehaves for one kind of request.
enum class Fault {
    None,
    RefuseConnection,   // the connection is closed before any reply; nothing is kept
    Hang,               // no reply until the client has given up (or the server stops); nothing is kept
    ServerErrorPage,    // status 500 with an HTML page that says "success"; nothing is kept
    ErrorElement,       // an "error" element; nothing is kept
    Warning,            // kept, and answered with a "warning" element besides the usual reply
    KeyMismatch,        // refused with an "error" KeyMismatch and the server's "publicKey"
    KeyMismatchWarning, // kept, answered with a "warning" KeyMismatch and the "publicKey"
    DropReply,          // kept, then the connection is closed before the reply
};

// What a store-data request asks for.
struct StoreDataRequest {
    std::string storeDateUpdated;
    std::string menuDateUpdated;
    std::optional<std::string> terminalId;
    std::optional<std::string> associationCode;
    std::string deviceId; // the asking terminal's "uid"
};

// One request as it arrived.
struct ReceivedRequest {
    std::string kind;                           // the request element's name ("customerOrder", "getSalesStatus", ...)
    std::map<std::string, std::string> headers; // names in lower case
    std::string body;
    int status = 0; // what the server answered (0 when it answered nothing)
};

// A store server on 127.0.0.1 for tests and the demo. It checks every request's envelope
// (Content-Type text/xml, "from" and "store" equal to the store id, "authorization" equal to the
// password, a "uid"), keeps the orders and records it receives by their remoteId (a resend is the
// same order: its lines, discounts and payments are merged by their ids, voided lines dropped, see
// OrderMerge.h), answers order summaries (a plain order-list request also gets the whole orders
// after them, and says whether the store's day is open), single orders, order and customer
// downloads, reports and lists from what it holds, the payment references of the open day's card
// payments, and the store data from a fixture. Given a card gateway it charges the card payments
// it is sent, as a store server does for its terminals. Thread-safe; the server answers on its own
// threads.
class StoreServer {
public:
    struct Options {
        std::string storeId = "1";
        std::string password = "secret";
        // Longest wait of a hanging reply (it ends early when the server stops).
        double hangSeconds = 5;
        // Whether the store's business day is open before any terminal opens it.
        bool dayOpen = true;
    };

    StoreServer();
    explicit StoreServer(Options options);
    ~StoreServer();
    StoreServer(const StoreServer&) = delete;
    StoreServer& operator=(const StoreServer&) = delete;

    // Listens on 127.0.0.1 (port 0: any free port) and serves on a thread of its own. The port,
    // or throws std::runtime_error when it cannot listen.
    int start(int port = 0);
    // Blocks serving on the calling thread until stop() (the command line).
    void run(int port);
    void stop();
    int port() const { return port_; }
    // "http://127.0.0.1:PORT"
    std::string url() const;

    // ---- what it answers ----

    // The store-data reply; a file is read again for every request.
    void setStoreData(std::function<std::string(const StoreDataRequest&)> provider);
    void setStoreDataFile(const std::filesystem::path& file);
    // The Base64 key sent with a KeyMismatch.
    void setPublicKey(std::string base64);
    // The lines of a report ("getSalesStatus", "getCashInOutReport", ...), the payment
    // references and the users not cashed out.
    void setReport(const std::string& name, std::vector<std::string> lines);
    // Payment references given here replace those of the card payments held for the open day.
    void setPaymentRefs(std::vector<std::string> refs);
    void setUsersNotCashedOut(std::vector<std::string> userIds);
    // Charges the card payments of the orders it is sent at this Larch-style gateway (its base
    // URL, user and password), their card fields encrypted with the demo key
    // (CardCharges::publicKey, handed out with a key-mismatch answer to a terminal that used
    // another); a declined card is answered with an "error" and nothing is kept. The day's close
    // settles the gateway's batch.
    void setCardGateway(std::string url, std::string user, std::string password);
    // What it knows of the store beside the orders: with it, it adds the items' tax exemptions
    // to the lines it keeps, and prints for the store's terminals as a store server does in
    // gateway mode (StorePrinters): kitchen tickets of the orders it is sent, receipts and print
    // requests. A job that cannot be printed is answered with a "warning"; what was sent is kept
    // all the same.
    void setCatalogue(StoreCatalogue catalogue);
    // Answers this body (status 200) to every request of the kind, in place of the usual reply.
    void setCannedReply(const std::string& kind, std::optional<std::string> body);

    // Misbehaves for the next `times` requests of the kind (0: every one until cleared). The
    // text replaces the standard "error" or "warning" text.
    void setFault(const std::string& kind, Fault fault, int times = 0, std::optional<std::string> text = {});
    // Queues a further fault for the requests of `kind` after the ones set (which must end:
    // times > 0), e.g. a key-mismatch warning answered to the first send and a plain warning to
    // the resend.
    void thenFault(const std::string& kind, Fault fault, int times = 0, std::optional<std::string> text = {});
    void clearFaults();

    // ---- what it holds ----

    // The kept order (its `customerOrder` element as received, with the server's orderId).
    std::optional<std::string> order(const std::string& remoteId) const;
    std::vector<std::string> orderRemoteIds() const;
    // Kept records of one element name ("customer", "attendance", ...), in remoteId order (a
    // record without one is kept under its own "id").
    std::vector<std::string> records(const std::string& kind) const;
    std::vector<ReceivedRequest> requests() const;
    bool dayOpen() const;
    size_t requestCount(const std::string& kind) const;

private:
    struct FaultPlan {
        Fault fault = Fault::None;
        int remaining = 0; // 0: every time
        std::optional<std::string> text;
    };
    struct Held;

    void handle(const httplib::Request& request, httplib::Response& response);
    FaultPlan takeFault(const std::string& kind);
    std::optional<std::string> envelopeProblem(const httplib::Request& request) const;
    void hang();
    // Keeps what the request brings and answers the usual reply's children, or sets `whole` to
    // a reply of its own. Under the lock.
    std::string keep(const std::string& kind, xmlDocPtr doc, xmlNodePtr what, std::optional<std::string>& whole,
                     std::vector<StorePrinters::Job>& jobs);
    void keepOrder(const std::string& remoteId, xmlDocPtr doc, xmlNodePtr what, std::vector<StorePrinters::Job>& jobs);
    // A drawer's cash in: its new record (which the order data answers), its slip and the
    // drawer's kick. A cash out closes the drawer's open record.
    void keepCashIn(xmlDocPtr doc, xmlNodePtr what, std::vector<StorePrinters::Job>& jobs);
    void keepCashOut(xmlDocPtr doc, xmlNodePtr what);
    // Charges the order's new card payments at the card gateway, or answers why not (a reply of
    // its own). Outside the lock.
    std::optional<std::string> charge(xmlDocPtr doc, xmlNodePtr order);
    // Settles the card gateway's batch at the day's close, or answers why not.
    std::optional<std::string> settle();

    Options options_;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;

    mutable std::mutex mutex_;
    std::condition_variable stopping_;
    bool stopped_ = false;
    std::unique_ptr<Held> held_;
    std::map<std::string, std::deque<FaultPlan>> faults_; // taken front first
    std::map<std::string, std::string> canned_;
    std::function<std::string(const StoreDataRequest&)> storeData_;
    std::string publicKey_;
    std::unique_ptr<CardCharges> cards_;
    std::optional<StoreCatalogue> catalogue_;
};

} // namespace tavlo::storesim
