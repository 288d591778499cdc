#include "sync/handlers/OrderHandler.h"

#include "core/order/Order.h"
#include "core/records/Attendance.h"
#include "core/records/CashInOut.h"
#include "core/records/Customer.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/LocalStoreModel.h"
#include "core/session/Parameters.h"
#include "core/util/TavloLog.h"
#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "sync/exchange/CommHelper.h"
#include "sync/exchange/OrderDocument.h"
#include "sync/handlers/OperationCustomer.h"
#include "sync/handlers/OperationStandard.h"
#include "sync/handlers/OperationStoreOpen.h"
#include "sync/handlers/OperationSynchOrders.h"
#include "sync/handlers/OrderQueue.h"
#include "xml/XmlHelper.h"

#include <chrono>
#include <thread>

namespace tavlo {

namespace {

HandlerSlot<OrderHandler>& slot() {
    static auto* s = new HandlerSlot<OrderHandler>(); // never released: the handler lives with the process
    return *s;
}

constexpr const char* kLatestDay = "max(openedOn) == openedOn";

Error storeError(const std::string& text) { return Utils::getError(text, OrderHandler::kErrorDomain, -1); }

void setError(Error* error, const std::string& text) { Error::set(error, storeError(text)); }

ManagedObjectPtr latestDay(ObjectContext* context) {
    return DBHelper::getObject("StoreBatch", {Predicate::format(kLatestDay)}, context);
}

std::optional<std::string> thisTerminalId(ObjectContext* context) {
    return DBHelper::getTerminalId(IDBroker::deviceIdentifier(), context);
}

} // namespace

OrderHandler::DaySales OrderHandler::daySales(const std::optional<std::string>& batchId, ObjectContext* context) {
    DaySales sales;
    for (const ManagedObjectPtr& row :
         DBHelper::getObjects("Order", "storeBatch.remoteId == %@", batchId, "name", context)) {
        Order order(*row, context);
        int32_t total = order.getTotal();
        int32_t taxes = 0;
        for (const OrderTax& tax : order.getTaxes()) taxes += order.getTax(tax.name());
        sales.gross += total;
        sales.net += total - taxes;
    }
    return sales;
}

// ---- the singleton

std::shared_ptr<OrderHandler> OrderHandler::getInstance(std::shared_ptr<ObjectStore> coordinator,
                                                        const std::string& url, int interval, bool queueing) {
    return slot().getOrMake(
        [&] { return std::make_shared<OrderHandler>(url, std::move(coordinator), interval, queueing); });
}

std::shared_ptr<OrderHandler> OrderHandler::getInstance() { return slot().getOrThrow(); }
std::shared_ptr<OrderHandler> OrderHandler::instance() { return slot().get(); }

void OrderHandler::releaseInstance() {
    if (auto handler = instance()) handler->endOpenReports();
    slot().release();
}

OrderHandler::OrderHandler(std::string url, std::shared_ptr<ObjectStore> coordinator, int interval, bool queueing)
    : OperationHandler(std::move(url), std::move(coordinator), interval, queueing),
      orderDownload_([](const DownloadArgs& a) -> std::shared_ptr<Operation> {
          return std::make_shared<OperationSynchOrders>(a.url, a.storeId, a.password, a.fullReload, a.coordinator,
                                                        a.logXml);
      }) {}

OrderHandler::~OrderHandler() { endOpenReports(); }

void OrderHandler::start() {
    setRunning(true);
    setQueueWidthOne();
    if (isQueueing()) openStoreThreaded();
    run();
}

void OrderHandler::setOrderDownload(DownloadMaker maker) {
    std::lock_guard lock(mutex_);
    orderDownload_ = std::move(maker);
}

bool OrderHandler::updateOrderSummaries(const std::optional<std::string>& storeId,
                                        const std::optional<std::string>& password,
                                        const std::optional<std::string>& userId, const std::string& url, bool open,
                                        ObjectContext* context, Error* error) {
    return OperationSynchOrders::updateOrderSummaries(storeId, password, userId, url, open, context, runExclusion(),
                                                      error);
}

// ---- the cycle

void OrderHandler::work() {
    if (size_t pending = deferWhileQueued(); pending > 0) {
        TAVLO_LOG("OrderHandler unable to run, processing %d pending", static_cast<int>(pending));
        return;
    }
    if (!CommHelper::isWiFiConnected()) return;

    auto context = newContext();
    queueRows(*context, "(type like 'noSale' || type like 'customer' || type like 'clockInOut') && sentDate == nil",
              "Sending %d pending no sale, customer, clock in/out");
    if (openSucceeded()) {
        queueRows(*context, "(type like 'cashInOut') && sentDate == nil", "Sending %d pending cash in/out");
        queueRows(*context, "(type like 'order') && sentDate == nil", "Sending %d pending orders");
        DownloadMaker download;
        {
            std::lock_guard lock(mutex_);
            download = orderDownload_;
        }
        if (download && (reloadRequested() || synchDown())) {
            auto& defaults = UserDefaults::standardUserDefaults();
            DownloadArgs args{gatewayURL(),
                              defaults.stringForKey("store_id"),
                              defaults.stringForKey("password"),
                              reloadRequested(),
                              true,
                              coordinator()};
            if (auto operation = download(args)) addOperation(std::move(operation));
            reloadRequested_ = false;
        }
    }
    cleanQueue();
}

void OrderHandler::queueRows(ObjectContext& context, const char* filter, const char* message) {
    std::vector<ManagedObjectPtr> rows =
        DBHelper::getObjects(OrderQueue::kEntityName, filter, PredicateArgument(), "created", &context);
    if (rows.empty()) return;
    TAVLO_LOG(message, static_cast<int>(rows.size()));
    std::string url = gatewayURL();
    for (const ManagedObjectPtr& row : rows) {
        if (!isRunning()) break;
        if (row->text("type") == OrderQueue::kCustomer)
            addOperation(std::make_shared<OperationCustomer>(row->objectID(), coordinator(), url));
        else addOperation(std::make_shared<OperationStandard>(row->objectID(), coordinator(), url));
    }
}

// ---- the outgoing queue

long OrderHandler::pendingCount() const {
    auto context = newContext();
    return context ? static_cast<long>(context->count(OrderQueue::kEntityName, "sentDate == nil")) : 0;
}

std::optional<Date> OrderHandler::oldestPending() const {
    auto context = newContext();
    ManagedObjectPtr row = DBHelper::getObject(
        OrderQueue::kEntityName, {Predicate::format("min(created) == created"), Predicate::format("sentDate == nil")},
        context.get());
    return row ? row->date("created") : std::nullopt;
}

std::optional<Date> OrderHandler::newestPending() const {
    auto context = newContext();
    ManagedObjectPtr row = DBHelper::getObject(
        OrderQueue::kEntityName, {Predicate::format("max(created) == created"), Predicate::format("sentDate == nil")},
        context.get());
    return row ? row->date("created") : std::nullopt;
}

void OrderHandler::cleanQueue() {
    auto context = newContext();
    if (!context) return;
    for (const ManagedObjectPtr& row : DBHelper::getObjects(OrderQueue::kEntityName, "sentDate != nil",
                                                            PredicateArgument(), "created", context.get()))
        context->deleteObject(row);
    if (!context->hasChanges()) return;
    Error error;
    if (!context->save(&error)) TAVLO_LOG_MAIL("Unable to clean OrderQueue: %@", error.localizedDescription());
}

// ---- hand-overs

bool OrderHandler::queueRow(const char* type, const std::optional<std::string>& remoteId,
                            const std::optional<std::string>& userId, const std::optional<std::string>& request,
                            Date created, ObjectContext* context, const char* notRunningMessage,
                            const char* unableMessage, Error* error) {
    OrderQueue::insert(*context, type, remoteId, userId, request, created);
    Error saveError;
    if (!context->save(&saveError)) {
        Error::set(error, saveError);
        if (unableMessage) {
            TAVLO_LOG_MAIL(unableMessage, saveError.localizedDescription());
            context->rollback();
        }
        return false;
    }
    if (isRunning()) wakeUp();
    else TAVLO_LOG_MAIL(notRunningMessage);
    return true;
}

bool OrderHandler::sendOrder(Order& order, const std::optional<std::string>& userId, ObjectContext* context,
                             Error* error) {
    return sendOrder(order, userId, std::nullopt, std::nullopt, false, context, error);
}

bool OrderHandler::sendOrder(Order& order, const std::optional<std::string>& userId,
                             const std::optional<std::string>& printURL, const std::optional<std::string>& drawerURL,
                             bool receipt, ObjectContext* context, Error* error) {
    return sendOrder(order, userId, gatewayURL(), printURL, drawerURL, receipt, context, error);
}

bool OrderHandler::sendOrder(Order& order, const std::optional<std::string>& userId, const std::string& url,
                             const std::optional<std::string>& printURL, const std::optional<std::string>& drawerURL,
                             bool receipt, ObjectContext* context, Error* error) {
    Date created = Date::now();
    bool sent;
    {
        HandOverLock lock(*this);
        sent = isQueueing() ? queueOrder(order, userId, created, context, error)
                            : postOrder(order, userId, url, printURL, drawerURL, receipt, context, error);
    }
    NotificationCenter::defaultCenter().post(kOrdersChangeNotification, std::vector<Order*>{&order});
    return sent;
}

bool OrderHandler::queueOrder(Order& order, const std::optional<std::string>& userId, Date created,
                              ObjectContext* context, Error* error) {
    std::optional<std::string> terminalId = thisTerminalId(context);
    bool sendBackVoids = Parameters::flag(Parameter::SendBackVoids, context);
    std::optional<std::string> request =
        OrderDocument(order).document(UserDefaults::standardUserDefaults().stringForKey("store_id"), terminalId, false,
                                      std::nullopt, std::nullopt, true, sendBackVoids, context);
    if (!request) {
        // An empty row would be posted for ever and never accepted.
        setError(error, localized("Unable to write the order"));
        return false;
    }
    order.write(*context);
    OrderQueue::insert(*context, OrderQueue::kOrder, order.remoteId(), userId, request, created);
    if (!context->save(error)) return false;
    order.clearTempData();
    if (isRunning()) wakeUp();
    else TAVLO_LOG_MAIL("Queueing orders but OrderHandler is not running");
    return true;
}

bool OrderHandler::postOrder(Order& order, const std::optional<std::string>& userId, const std::string& url,
                             const std::optional<std::string>& printURL, const std::optional<std::string>& drawerURL,
                             bool receipt, ObjectContext* context, Error* error) {
    bool wasModified = order.modified();
    OrderDocument document(order);
    if (!CommHelper::sendOrder(document, url, userId, receipt, printURL, drawerURL, false, context, error))
        return false;
    if (!wasModified) return true;
    if (order.remoteId()) {
        Order returned(context);
        bool found = false;
        Error readError;
        CommHelper::getOrder(
            *order.remoteId(), gatewayURL(), userId,
            [&](xmlDocPtr doc, xmlNodePtr element) {
                returned.read(element, doc, context);
                found = true;
            },
            context, &readError);
        if (found) {
            order.copy(returned);
            returned.write(*context);
        }
    }
    if (!context->save(error)) return false;
    order.clearTempData();
    return true;
}

bool OrderHandler::postNow(const std::optional<std::string>& userId, const std::optional<std::string>& request,
                           ObjectContext* context, Error* error) {
    return CommHelper::send(gatewayURL(), userId, request, Parameters::flag(Parameter::LogXml, context), error);
}

bool OrderHandler::sendNoSale(const std::optional<std::string>& rowId, const std::optional<std::string>& request,
                              const std::optional<std::string>& userId, ObjectContext* context, Error* error) {
    Date created = Date::now();
    HandOverLock lock(*this);
    return queueRow(OrderQueue::kNoSale, rowId, userId, request, created, context,
                    "Queueing no sale but OrderHandler is not running", "Unable to save no sale into queue (%@)",
                    error);
}

bool OrderHandler::sendCashInOut(CashInOut& record, const std::optional<std::string>& userId, ObjectContext* context,
                                 Error* error) {
    Date created = Date::now();
    HandOverLock lock(*this);
    std::optional<std::string> request = record.toXml(error);
    if (!request) return false;
    if (!isQueueing()) return postNow(userId, request, context, error);
    record.write(*context);
    return queueRow(OrderQueue::kCashInOut, record.drawerId(), userId, request, created, context,
                    "Queueing cash in/out but OrderHandler is not running",
                    "Unable to save cash in/out into queue (%@)", error);
}

bool OrderHandler::sendAttendance(Attendance& record, const std::optional<std::string>& userId, ObjectContext* context,
                                  Error* error) {
    Date created = Date::now();
    HandOverLock lock(*this);
    std::optional<std::string> printUrl;
    if (!isQueueing() && Parameters::flag(Parameter::AttendanceUsePrintUrl, context))
        printUrl = Parameters::terminalText(Parameter::PrinterUrl, thisTerminalId(context), context);
    std::optional<std::string> request = record.toXml(printUrl, error);
    if (!request) return false;
    if (!isQueueing()) return postNow(userId, request, context, error);
    record.write(*context);
    return queueRow(OrderQueue::kClockInOut, record.remoteId(), userId, request, created, context,
                    "Queueing attendance but OrderHandler is not running",
                    "Unable to save clock in/out into queue (%@)", error);
}

bool OrderHandler::sendCustomer(Customer& record, const std::optional<std::string>& userId, ObjectContext* context,
                                Error* error) {
    Date created = Date::now();
    HandOverLock lock(*this);
    std::optional<std::string> request = record.toXml(error);
    if (!request) return false;
    if (!isQueueing()) {
        OperationCustomer send(record.remoteId(), request, userId, coordinator(), gatewayURL());
        send.start();
        if (!send.succeeded()) {
            if (std::optional<Error> failure = send.error()) Error::set(error, *failure);
        }
        return send.succeeded();
    }
    std::optional<std::string> rowId = record.customerId() ? record.customerId() : record.remoteId();
    return queueRow(OrderQueue::kCustomer, rowId, userId, request, created, context,
                    "Queueing customer but OrderHandler is not running", "Unable to save customer into queue (%@)",
                    error);
}

// ---- the business day

bool OrderHandler::openStore(const std::optional<std::string>& userId, Date date, ObjectContext* context,
                             Error* error) {
    HandOverLock lock(*this);
    if (!isRunning()) {
        setError(error, localized("Unable to open store, Order Handler not running"));
        return false;
    }
    auto insertDay = [&] {
        std::string remoteId = IDBroker::getInstance().generateRemoteIdBatch();
        ManagedObjectPtr day = context->insert("StoreBatch");
        ManagedObjectPtr user = DBHelper::getObject("User", "userId == %@", userId, context);
        ManagedObjectPtr terminal = DBHelper::getTerminal(IDBroker::deviceIdentifier(), context);
        if (Parameters::flag(Parameter::QuickSaleRestartId, context))
            Parameters::save(Parameter::QuickSaleSequence, std::string("0"), context);
        LocalStoreModel::setDate(*day, "openedOn", date);
        day->setToOne("openedBy", user);
        day->setToOne("openedFrom", terminal);
        day->setValue("remoteId", remoteId);
        return day;
    };
    ManagedObjectPtr open = DBHelper::getObject("StoreBatch", "closedOn == nil", PredicateArgument(), context);

    if (isQueueing()) {
        if (open) {
            std::string text = localized("Store was already opened");
            if (std::optional<std::string> name = open->text("openedBy.name")) text = format("%@ (%@)", text, name);
            setError(error, text);
            return true;
        }
        insertDay();
        Error saveError;
        if (!context->save(&saveError)) {
            TAVLO_LOG_MAIL("Unable to save open store: %@", saveError.localizedDescription());
            // Nothing of the failed open stays behind to be saved later by someone else.
            context->rollback();
            Error::set(error, saveError);
            return false;
        }
        openStoreThreaded();
        return true;
    }

    auto& defaults = UserDefaults::standardUserDefaults();
    if (!CommHelper::openStore(defaults.stringForKey("store_id"), defaults.stringForKey("password"), userId, date,
                               thisTerminalId(context), gatewayURL(), context, error))
        return false;
    if (!open) {
        ManagedObjectPtr day = insertDay();
        day->setValue("synchedOn", Date::now());
        Error saveError;
        if (!context->save(&saveError))
            TAVLO_LOG_MAIL("Unable to save opening store (%@)", saveError.localizedDescription());
    }
    return true;
}

void OrderHandler::openStoreThreaded() {
    std::lock_guard lock(mutex_);
    // Added under the lock that endOpenReports sets `ending_` under: it then waits for this one too.
    if (ending_) return;
    // The handler outlives its reports: its destructor waits for them.
    openReports_.addOperation([this] { reportOpen(); });
}

void OrderHandler::reportOpen() {
    auto context = newContext();
    if (!context) return;
    ManagedObjectPtr day = latestDay(context.get());
    if (!day || day->date("closedOn")) return;
    if (day->date("synchedOn")) {
        TAVLO_LOG("Open already sent");
        return;
    }
    ManagedObjectPtr opener = day->toOne("openedBy");
    if (!opener) {
        TAVLO_LOG_MAIL("Open Store attempted with no openedBy");
        return;
    }
    auto operation = std::make_shared<OperationStoreOpen>(opener->text("userId"), day->date("openedOn"), coordinator(),
                                                          gatewayURL());
    {
        std::lock_guard lock(mutex_);
        if (ending_) return;
        // One report at a time: an older one still retrying ends at its next attempt.
        if (openOperation_) openOperation_->cancel();
        openOperation_ = operation;
    }
    operation->start();
}

void OrderHandler::endOpenReports() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
        if (openOperation_) openOperation_->cancel();
    }
    waitForOpenReports();
}

std::shared_ptr<OperationStoreOpen> OrderHandler::openOperation() const {
    std::lock_guard lock(mutex_);
    return openOperation_;
}

void OrderHandler::waitForOpenReports() const {
    if (!RunLoop::isMainThread()) {
        openReports_.waitUntilAllOperationsAreFinished();
        return;
    }
    // A report's save waits for its merge on the main thread: keep serving it meanwhile.
    while (openReports_.operationCount() > 0) {
        RunLoop::main().runUntilIdle();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool OrderHandler::openSucceeded() const {
    auto context = newContext();
    ManagedObjectPtr day = latestDay(context.get());
    return day && day->date("synchedOn").has_value();
}

bool OrderHandler::canClose(ObjectContext* context, Error* error) {
    if (isRunning() && !Parameters::flag(Parameter::AllowOrderHandlerRunning, context)) {
        setError(error, localized("OrderHandler must be paused in order to close"));
        return false;
    }
    ManagedObjectPtr open = DBHelper::getObject("StoreBatch", "closedOn == nil", PredicateArgument(), context);
    if (!open) {
        std::string text = localized("Store already closed");
        Value lastClosed = DBHelper::getMaxValue("StoreBatch", "closedOn", AttributeType::Date, context);
        if (std::optional<Date> when = lastClosed.date())
            text = format("%@ %@", text, Utils::naturalStringForDate(when));
        setError(error, text);
        return false;
    }
    if (long pending = pendingCount(); pending >= 1) {
        setError(error, format("%@ (%ld) %@", localized("There are orders pending to be sent to the back office"),
                               pending, localized("Retry in 30 seconds")));
        return false;
    }
    long openOrders = 0;
    for (const ManagedObjectPtr& order :
         DBHelper::getObjects("Order", "storeBatch.remoteId == %@", open->text("remoteId"), "name", context))
        if (!order->date("closed")) ++openOrders;
    if (openOrders > 0) {
        setError(error, format("%@ (%ld)", localized("You have open orders which must be closed"), openOrders));
        return false;
    }
    if (!DBHelper::getObjects("CashInOut", "outDate == nil", PredicateArgument(), "inDate", context).empty()) {
        setError(error, localized("You must first cash out all drawers"));
        return false;
    }
    return true;
}

bool OrderHandler::closeStore(const std::optional<std::string>& userId, Date date, ObjectContext* context,
                              Error* error) {
    HandOverLock lock(*this);
    std::optional<std::string> storeId = UserDefaults::standardUserDefaults().stringForKey("store_id");
    std::optional<std::string> terminalId = thisTerminalId(context);
    bool lite = isQueueing();
    DaySales sales;
    std::optional<std::string> printURL;
    if (lite) {
        if (!canClose(context, error)) return false;
        sales = daySales(IDBroker::getInstance().currentBatchId(), context);
    } else {
        printURL = Parameters::terminalText(Parameter::PrinterUrl, terminalId, context);
    }
    std::string request = XmlHelper::getXmlCloseStore(userId.value_or(""), terminalId.value_or(""), printURL);
    Error sendError;
    if (!CommHelper::send(gatewayURL(), userId, request, Parameters::flag(Parameter::LogXml, context), &sendError)) {
        if (lite) TAVLO_LOG_MAIL("Unable to close store %@: %@", storeId, sendError.localizedDescription());
        Error::set(error, sendError);
        return false;
    }
    if (ManagedObjectPtr day = latestDay(context)) {
        day->setValue("closedOn", date);
        day->setToOne("closedBy", DBHelper::getObject("User", "userId == %@", userId, context));
        if (lite) {
            day->setValue("salesNet", sales.net);
            day->setValue("salesGross", sales.gross);
        }
    }
    Error saveError;
    if (context->save(&saveError)) return true;
    Error::set(error, saveError);
    if (lite) {
        TAVLO_LOG_MAIL("Unable to save store closed: %@", saveError.localizedDescription());
        context->rollback();
    }
    return false;
}

} // namespace tavlo
