#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace tavlo::gatewaysim {

// How the gateway answers one request, in place of what it would do by itself.
enum class Answer {
    Approve,             // approved; a sale or return is kept under a new reference
    ApprovePartial,      // a sale approved for less: the text given is the amount approved ("11.50")
    DeclineMessage,      // Result 12 with both RespMSG and Message (the text given goes in Message)
    DeclineRespMsg,      // Result 12 with RespMSG only (the text given)
    DeclineBare,         // Result 12 and nothing else
    PreviouslyVoided,    // Result 1 "Transaction previously voided"
    PreviouslySettled,   // Result 1 "Transaction previously settled"
    NothingToSettle,     // Result 1015: the batch holds nothing to capture
    RefuseConnection,    // the connection is closed before any reply
    Hang,                // no reply until the client gives up (or the gateway stops)
    ApproveWhenReleased, // approved as Approve, but only once release() is called (or the hang time is up)
    BrokenPage,          // status 200 with a page that is not well-formed XML
    ErrorPage,           // status 500 with an HTML page
};

// One request as it arrived.
struct GatewayRequest {
    std::string path; // "/capture" or "/details"
    std::string body;
    std::map<std::string, std::string> fields; // decoded, ExtData's elements among them
    int status = 0;                            // what the gateway answered (0: nothing)
};

// A transaction the gateway approved and keeps, as its detail list reports it.
struct KeptTransaction {
    std::string reference; // PNRef, the gateway's key (TRX_HD_Key)
    std::string invoice;   // InvNum as sent
    std::string transType; // Sale or Return
    int64_t amountCents = 0;
    int64_t tipCents = 0;
    bool voided = false;
    bool settled = false;
    bool approved = true; // false: a declined entry the detail list also shows
    int64_t time = 0;     // when it was kept, seconds since 1970 (0: the moment it is added)
    std::string approvalCode;
    std::string lastFour; // of the card number
};

// A card gateway on 127.0.0.1 for tests and the demo. It takes form-encoded POSTs: card requests
// (sale, return, adjustment, void, capture-all) at /capture and transaction detail queries at
// /details, checks the credentials, keeps what it approved, and answers in XML. A detail query
// is answered as a bare `string` element whose text is the escaped list document: every kept
// transaction from BeginDt to EndDt (read as UTC), of the invoice `invoiceId` when one is asked
// for, settled ones with their settle flag, and an Error element for what went wrong. Unscripted
// requests are handled as a real gateway would: a void of a voided reference answers "previously
// voided", a capture-all with nothing open answers 1015. A body that is not form-encoded
// name=value pairs, or that names no known transaction type, is refused with status 400.
// Thread-safe; it answers on its own threads.
class CardGateway {
public:
    struct Options {
        std::string user = "merchant1";
        std::string password = "secret";
        double hangSeconds = 5; // longest wait of a hanging reply
    };

    CardGateway();
    explicit CardGateway(Options options);
    ~CardGateway();
    CardGateway(const CardGateway&) = delete;
    CardGateway& operator=(const CardGateway&) = delete;

    // Listens on 127.0.0.1 (port 0: any free port) on a thread of its own; throws
    // std::runtime_error when it cannot.
    int start(int port = 0);
    void stop();
    // "http://127.0.0.1:PORT"
    std::string url() const;
    std::string captureUrl() const { return url() + "/capture"; }
    std::string detailsUrl() const { return url() + "/details"; }

    // ---- the script ----

    // The next request of the transaction type (Sale, Return, Adjustment, Void, CaptureAll,
    // TrxDetail) answers so; scripted answers are taken in order. `text` replaces the standard
    // decline text.
    void script(const std::string& transType, Answer answer, std::optional<std::string> text = {});
    // Detail list extras: an entry the gateway has and the terminal may not, the host's own tip
    // of a kept reference, a kept reference voided on the host, and an Error element.
    void addHostTransaction(KeptTransaction transaction);
    void setHostTip(const std::string& reference, int64_t cents);
    void voidOnHost(const std::string& reference);
    void setDetailError(std::optional<std::string> text);
    // Called on the gateway's thread with each request it answers (not a scripted failure) after
    // it was carried out and before its reply goes out (a sale is kept by then): a test stops its
    // client there.
    void onCarriedOut(std::function<void(const GatewayRequest&)> hook);
    // Lets the replies held by ApproveWhenReleased go.
    void release();
    // Requests that wait now for release().
    size_t heldCount() const;

    // ---- what it holds ----

    std::vector<KeptTransaction> kept() const;
    std::vector<GatewayRequest> requests() const;
    size_t requestCount(const std::string& transType) const;

private:
    struct Scripted {
        Answer answer;
        std::optional<std::string> text;
    };

    void handle(const httplib::Request& request, httplib::Response& response);
    // Under the lock: the reply body of a card request or a detail query.
    std::string card(const std::map<std::string, std::string>& fields, const Scripted& scripted);
    std::string details(const std::map<std::string, std::string>& query);
    KeptTransaction* find(const std::string& reference);
    void hang();
    void holdUntilReleased();

    Options options_;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;

    mutable std::mutex mutex_;
    std::condition_variable stopping_;
    bool stopped_ = false;
    std::map<std::string, std::deque<Scripted>> script_;
    std::vector<KeptTransaction> kept_;
    std::optional<std::string> detailError_;
    std::vector<GatewayRequest> requests_;
    std::function<void(const GatewayRequest&)> carriedOut_;
    long nextReference_ = 100001;
    size_t held_ = 0;
    long releases_ = 0;
};

} // namespace tavlo::gatewaysim
