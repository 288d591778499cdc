#pragma once

#include "core/util/Utils.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Operation.h"
#include "platform/foundation/OperationQueue.h"
#include "sync/handlers/OperationHandler.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace tavlo {

class Attendance;
class CashInOut;
class Customer;
class OperationStoreOpen;
class Order;

// The handler of every record the terminal reports to the store server: orders, no-sales, cash
// in/outs, clock in/outs and customers, and the business day's open and close.
//
// A queueing (lite) terminal stores each record together with its outgoing-queue row in one save
// and posts the pending rows on each run, no-sales, customers and clock records first, then,
// once the day's open has been accepted, cash records and orders; a row is retried on every run
// until the server accepts it. A terminal that does not queue posts most records at once.
//
// Hand-overs, the open and the close are called on the main thread; each takes the queue's lock
// and then the handler's.
class OrderHandler : public OperationHandler {
public:
    static constexpr const char* kClassName = "OrderHandler";
    static constexpr const char* kOrdersChangeNotification = "ordersChange";
    static constexpr const char* kErrorDomain = Utils::kStoreServerErrorDomain;

    // What an order download is made with.
    struct DownloadArgs {
        std::string url;
        std::optional<std::string> storeId, password;
        bool fullReload = false;
        bool logXml = true;
        std::shared_ptr<ObjectStore> coordinator;
    };
    using DownloadMaker = std::function<std::shared_ptr<Operation>(const DownloadArgs& args)>;

    // The process's handler: made by the first call, later calls return it and ignore their
    // arguments.
    static std::shared_ptr<OrderHandler> getInstance(std::shared_ptr<ObjectStore> coordinator, const std::string& url,
                                                     int interval, bool queueing);
    // Throws InconsistencyError before the call above.
    static std::shared_ptr<OrderHandler> getInstance();
    // The handler when it was made, else null.
    static std::shared_ptr<OrderHandler> instance();
    // Forgets the process's handler (tests): it is paused and its open report ended.
    static void releaseInstance();

    OrderHandler(std::string url, std::shared_ptr<ObjectStore> coordinator, int interval, bool queueing);
    ~OrderHandler() override;

    // running := YES, queue width 1; a queueing terminal reports an unreported open again; then
    // one run at once.
    void start() override;

    // ---- hand-overs (main thread) ----
    // A queueing terminal stores the order and its row in one save (print requests are not
    // queued: the row goes to the gateway); otherwise the order goes to `url` at once and, when it
    // was modified, is read back. Every call posts "ordersChange" with the order.
    bool sendOrder(Order& order, const std::optional<std::string>& userId, const std::string& url,
                   const std::optional<std::string>& printURL, const std::optional<std::string>& drawerURL,
                   bool receipt, ObjectContext* context, Error* error);
    bool sendOrder(Order& order, const std::optional<std::string>& userId, const std::optional<std::string>& printURL,
                   const std::optional<std::string>& drawerURL, bool receipt, ObjectContext* context, Error* error);
    bool sendOrder(Order& order, const std::optional<std::string>& userId, ObjectContext* context, Error* error);
    // Queued even by a terminal that does not queue.
    bool sendNoSale(const std::optional<std::string>& rowId, const std::optional<std::string>& request,
                    const std::optional<std::string>& userId, ObjectContext* context, Error* error);
    bool sendCashInOut(CashInOut& record, const std::optional<std::string>& userId, ObjectContext* context,
                       Error* error);
    bool sendAttendance(Attendance& record, const std::optional<std::string>& userId, ObjectContext* context,
                        Error* error);
    bool sendCustomer(Customer& record, const std::optional<std::string>& userId, ObjectContext* context, Error* error);

    // ---- the outgoing queue ----
    long pendingCount() const override;
    // The `created` of the oldest / newest row, when that row is still pending.
    std::optional<Date> oldestPending() const override;
    std::optional<Date> newestPending() const override;
    // Deletes the rows the server has accepted.
    void cleanQueue();

    bool reloadRequested() const { return reloadRequested_.load(); }
    void setReloadRequested(bool on) { reloadRequested_ = on; }
    bool synchDown() const { return synchDown_.load(); }
    void setSynchDown(bool on) { synchDown_ = on; }
    // How a run makes its order download (OperationSynchOrders unless set); empty: runs download
    // nothing.
    void setOrderDownload(DownloadMaker maker);
    // Replaces the local orders with the summaries of the orders the server holds (main thread),
    // holding the queue's lock only while the orders are replaced; see OperationSynchOrders.
    bool updateOrderSummaries(const std::optional<std::string>& storeId, const std::optional<std::string>& password,
                              const std::optional<std::string>& userId, const std::string& url, bool open,
                              ObjectContext* context, Error* error);

    // ---- the business day ----
    bool openStore(const std::optional<std::string>& userId, Date date, ObjectContext* context, Error* error);
    // Reports the latest day's open in the background until the server accepts it.
    void openStoreThreaded();
    // The latest day's open has been accepted by the server.
    bool openSucceeded() const;
    bool canClose(ObjectContext* context, Error* error);
    bool closeStore(const std::optional<std::string>& userId, Date date, ObjectContext* context, Error* error);
    // The open report in progress or last made (status and tests).
    std::shared_ptr<OperationStoreOpen> openOperation() const;
    // Blocks until no open report is left (tests; the reports must be able to end).
    void waitForOpenReports() const;
    // Ends the open reports for good: the one in progress stops at its next attempt, no new one
    // starts. Returns once they have all finished.
    void endOpenReports();

    // Sums over the business day's orders, in cents: gross = their totals, net = totals less taxes.
    struct DaySales {
        int32_t gross = 0;
        int32_t net = 0;
    };
    static DaySales daySales(const std::optional<std::string>& batchId, ObjectContext* context);

protected:
    void work() override;

private:
    // Posts a record at once (a terminal that does not queue).
    bool postNow(const std::optional<std::string>& userId, const std::optional<std::string>& request,
                 ObjectContext* context, Error* error);
    void queueRows(ObjectContext& context, const char* filter, const char* message);
    // Stores a pending row in the caller's context and saves it; wakes the cycle after a good
    // save. `unableMessage` null: a failed save is neither logged nor rolled back.
    bool queueRow(const char* type, const std::optional<std::string>& remoteId,
                  const std::optional<std::string>& userId, const std::optional<std::string>& request, Date created,
                  ObjectContext* context, const char* notRunningMessage, const char* unableMessage, Error* error);
    void reportOpen();
    bool queueOrder(Order& order, const std::optional<std::string>& userId, Date created, ObjectContext* context,
                    Error* error);
    bool postOrder(Order& order, const std::optional<std::string>& userId, const std::string& url,
                   const std::optional<std::string>& printURL, const std::optional<std::string>& drawerURL,
                   bool receipt, ObjectContext* context, Error* error);

    std::atomic<bool> reloadRequested_{false};
    std::atomic<bool> synchDown_{false};
    mutable std::mutex mutex_; // leaf lock over the fields below
    DownloadMaker orderDownload_;
    std::shared_ptr<OperationStoreOpen> openOperation_;
    bool ending_ = false;

    // The open reports, each started at once: a new one ends the older one at its next attempt,
    // so that two at a time is the rule and the width only bounds a pile-up. Added to under
    // `mutex_`. Last: destroyed first, once endOpenReports has waited for its reports.
    static constexpr int kOpenReportsAtOnce = 4;
    mutable OperationQueue openReports_{kOpenReportsAtOnce};
};

} // namespace tavlo
