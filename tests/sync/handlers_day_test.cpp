#include "HandlerServerFixture.h"

#include "core/util/Utils.h"
#include "sync/handlers/OperationStoreOpen.h"

#include <gtest/gtest.h>

using namespace tavlo;
using namespace tavlo::test;
using storesim::Fault;

namespace {

class BusinessDayTest : public HandlerServerFixture {
protected:
    // The stored days, read afresh (the context lives until the next call).
    std::vector<ManagedObjectPtr> days() {
        fresh = handler->newContext();
        return fresh->fetch(FetchRequest("StoreBatch", std::nullopt, {{"openedOn"}}));
    }
    ManagedObjectPtr addDay(const std::string& remoteId, Date openedOn, std::optional<Date> closedOn, bool reported,
                            bool withOpener = true) {
        ManagedObjectPtr day = context()->insert("StoreBatch");
        day->setValue("remoteId", remoteId);
        day->setValue("openedOn", openedOn.wholeSecondsDate());
        day->setValue("closedOn", closedOn);
        if (reported) day->setValue("synchedOn", openedOn);
        if (withOpener) day->setToOne("openedBy", context()->fetchFirst("User", "userId == %@", "u5"));
        store.save();
        return day;
    }
    size_t opensReceived() const { return server->requestCount("open"); }

    std::unique_ptr<ObjectContext> fresh;
};

TEST_F(BusinessDayTest, ALiteOpenInsertsTheDayAndReportsItUntilTheServerAccepts) {
    server->setFault("open", Fault::RefuseConnection, 3);
    makeHandler(true);
    handler->start();
    handler->waitForOpenReports(); // the start's own look for an unreported day
    Error error;
    ASSERT_TRUE(handler->openStore(std::string("u5"), Date::now(), context(), &error));
    EXPECT_FALSE(error.isSet());
    ASSERT_EQ(days().size(), 1u);
    ManagedObjectPtr day = days()[0];
    EXPECT_EQ(day->text("openedBy.userId"), "u5");
    EXPECT_EQ(day->text("openedFrom.terminalId"), "T1");
    EXPECT_EQ(day->text("remoteId"), IDBroker::getInstance().currentBatchId());

    handler->waitForOpenReports();
    EXPECT_TRUE(handler->openSucceeded());
    EXPECT_EQ(handler->openOperation()->attempts(), 4);
    EXPECT_EQ(server->requestCount("open"), 4u);
    EXPECT_TRUE(days()[0]->date("synchedOn"));
    size_t retries = 0;
    for (const std::string& line : loggedMessages())
        if (line.starts_with("Unable to open store 1 , will retry in 30 seconds (")) ++retries;
    EXPECT_EQ(retries, 3u);
}

TEST_F(BusinessDayTest, OrdersWaitWhileTheOpenIsRefusedAndGoOnceItIsAccepted) {
    server->setFault("open", Fault::ErrorElement);
    makeHandler(true);
    handler->start();
    handler->waitForOpenReports();
    ASSERT_TRUE(handler->openStore(std::string("u5"), Date::now(), context(), nullptr));
    queueRow("order", "R1", orderDocument("R1"));
    while (opensReceived() < 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    cycle();
    EXPECT_FALSE(server->order("R1"));
    server->clearFaults();
    handler->waitForOpenReports();
    cycle();
    EXPECT_TRUE(server->order("R1"));
}

TEST_F(BusinessDayTest, OpenRefusalsAndRepeats) {
    makeHandler(true);
    Error error;
    EXPECT_FALSE(handler->openStore(std::string("u5"), Date::now(), context(), &error));
    EXPECT_EQ(error.localizedDescription(), "Unable to open store, Order Handler not running");
    EXPECT_EQ(error.domain(), "StoreServerErrorDomain");
    EXPECT_EQ(error.code(), -1);
    EXPECT_TRUE(days().empty());

    handler->start();
    handler->waitForOpenReports();
    ASSERT_TRUE(handler->openStore(std::string("u5"), Date::now(), context(), &error));
    handler->waitForOpenReports();
    error = Error();
    EXPECT_TRUE(handler->openStore(std::string("u5"), Date::now(), context(), &error));
    EXPECT_EQ(error.localizedDescription(), "Store was already opened (Una)");
    EXPECT_EQ(days().size(), 1u);
    EXPECT_EQ(opensReceived(), 1u);
}

TEST_F(BusinessDayTest, AGatewayOpenAsksTheServerAtOnce) {
    makeHandler(false);
    handler->start();
    server->setFault("open", Fault::ErrorElement, 1, std::string("Store is locked"));
    Error error;
    EXPECT_FALSE(handler->openStore(std::string("u5"), Date::now(), context(), &error));
    EXPECT_NE(error.localizedDescription().find("Store is locked"), std::string::npos);
    EXPECT_TRUE(days().empty());

    EXPECT_TRUE(handler->openStore(std::string("u5"), Date::now(), context(), &error));
    ASSERT_EQ(days().size(), 1u);
    EXPECT_TRUE(days()[0]->date("synchedOn"));
    EXPECT_TRUE(handler->openSucceeded());

    // Already open locally: the server is asked, no row is added.
    EXPECT_TRUE(handler->openStore(std::string("u5"), Date::now(), context(), &error));
    EXPECT_EQ(days().size(), 1u);
    EXPECT_EQ(opensReceived(), 3u);
}

TEST_F(BusinessDayTest, StartReportsAnOpenLeftUnreportedAndOnlyThat) {
    addDay("B0", Date::now().addingSeconds(-7200), Date::now().addingSeconds(-3600), true);
    addDay("B1", Date::now().addingSeconds(-600), std::nullopt, false);
    makeHandler(true);
    handler->start();
    handler->waitForOpenReports();
    EXPECT_EQ(opensReceived(), 1u);
    EXPECT_TRUE(handler->openSucceeded());

    handler->openStoreThreaded();
    handler->waitForOpenReports();
    EXPECT_EQ(opensReceived(), 1u);
    EXPECT_TRUE(logged("Open already sent"));

    // An open operation that finds the day reported ends at once.
    OperationStoreOpen again(std::string("u5"), Date::now(), DBHelper::sharedStore(), server->url());
    again.start();
    EXPECT_EQ(again.attempts(), 1);
    EXPECT_EQ(opensReceived(), 1u);
}

TEST_F(BusinessDayTest, AHandlerLetGoEndsItsOpenReportBeforeItGoes) {
    server->setFault("open", Fault::RefuseConnection);
    makeHandler(true);
    handler->start();
    ASSERT_TRUE(handler->openStore(std::string("u5"), Date::now(), context(), nullptr));
    while (opensReceived() < 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::shared_ptr<OperationStoreOpen> report = handler->openOperation();
    handler->pause();
    handler.reset(); // the last reference
    ASSERT_TRUE(report);
    EXPECT_TRUE(report->isCancelled());
    EXPECT_TRUE(report->isFinished()) << "no report goes on without its handler";
}

TEST_F(BusinessDayTest, ADayWithoutOpenerIsNotReported) {
    addDay("B1", Date::now(), std::nullopt, false, false);
    makeHandler(true);
    handler->start();
    handler->waitForOpenReports();
    EXPECT_EQ(opensReceived(), 0u);
    EXPECT_TRUE(logged("Open Store attempted with no openedBy"));
}

TEST_F(BusinessDayTest, CanCloseTellsWhatStandsInTheWay) {
    makeHandler(true);
    Date closedAt = Date::now().addingSeconds(-3600);
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::optional<std::string> message; // nil: may close
    };
    ManagedObjectPtr open;
    const std::vector<Case> cases = {
        {"nothing ever opened", [] {}, "Store already closed"},
        {"the latest day closed", [&] { addDay("B0", closedAt.addingSeconds(-3600), closedAt, true); },
         "Store already closed " + Utils::naturalStringForDate(closedAt.wholeSecondsDate())},
        {"handler running",
         [&] {
             open = addDay("B1", Date::now(), std::nullopt, true);
             handler->start();
         },
         "OrderHandler must be paused in order to close"},
        {"handler running but allowed", [&] { setConfig("HH_ALLOW_ORDER_HANDLER_RUNNING", "YES"); }, std::nullopt},
        {"a row pending",
         [&] {
             handler->pause();
             queueRow("noSale", "D1", noSaleDocument("D1"));
         },
         "There are orders pending to be sent to the back office (1) Retry in 30 seconds"},
        {"two open orders",
         [&] {
             handler->cleanQueue();
             context()->deleteAll("OrderQueue");
             for (const char* id : {"R1", "R2", "R3"}) {
                 ManagedObjectPtr order = context()->insert("Order");
                 order->setValue("remoteId", std::string(id));
                 order->setValue("name", std::string(id));
                 order->setToOne("storeBatch", open);
                 if (std::string(id) == "R2") order->setValue("closed", Date::now());
             }
             store.save();
         },
         "You have open orders which must be closed (2)"},
        {"a drawer cashed in",
         [&] {
             for (const ManagedObjectPtr& order : context()->fetchAll("Order")) order->setValue("closed", Date::now());
             ManagedObjectPtr cash = context()->insert("CashInOut");
             cash->setValue("inDate", Date::now());
             store.save();
         },
         "You must first cash out all drawers"},
        {"all cashed out",
         [&] {
             for (const ManagedObjectPtr& cash : context()->fetchAll("CashInOut"))
                 cash->setValue("outDate", Date::now());
             store.save();
         },
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        Error error;
        bool may = handler->canClose(context(), &error);
        EXPECT_EQ(may, !c.message);
        if (c.message) { EXPECT_EQ(error.localizedDescription(), *c.message); }
    }
}

TEST_F(BusinessDayTest, ALiteCloseTellsTheServerAndClosesTheDay) {
    makeHandler(true);
    addDay("B1", Date::now().addingSeconds(-3600), std::nullopt, true);
    server->setFault("close", Fault::ErrorElement, 1, std::string("Close refused"));
    Error error;
    EXPECT_FALSE(handler->closeStore(std::string("u5"), Date::now(), context(), &error));
    EXPECT_FALSE(days()[0]->date("closedOn"));
    bool refusalLogged = false;
    for (const std::string& line : loggedMessages())
        refusalLogged = refusalLogged || line.starts_with("Unable to close store 1: ");
    EXPECT_TRUE(refusalLogged);

    Date closing = Date::now();
    ASSERT_TRUE(handler->closeStore(std::string("u5"), closing, context(), &error));
    ManagedObjectPtr day = days()[0];
    EXPECT_EQ(day->date("closedOn"), closing);
    EXPECT_EQ(day->text("closedBy.userId"), "u5");
    ASSERT_EQ(server->requestCount("close"), 2u);
    const std::string body = server->requests().back().body;
    EXPECT_NE(body.find("<userId>u5</userId>"), std::string::npos);
    EXPECT_NE(body.find("<terminalId>T1</terminalId>"), std::string::npos);
    EXPECT_EQ(body.find("printerUrl"), std::string::npos);
}

TEST_F(BusinessDayTest, AGatewayCloseSendsThePrinterAndSkipsTheChecks) {
    makeHandler(false);
    handler->start(); // a running handler does not stop a gateway close
    ManagedObjectPtr terminal = context()->fetchFirst("Terminal", "terminalId == %@", "T1");
    store.addTerminalParam(terminal, "TS_PRINTER_URL", "10.0.0.9:9100");
    addDay("B1", Date::now().addingSeconds(-3600), std::nullopt, true);
    queueRow("noSale", "D1", noSaleDocument("D1"));
    ASSERT_TRUE(handler->closeStore(std::string("u5"), Date::now(), context(), nullptr));
    EXPECT_TRUE(days()[0]->date("closedOn"));
    EXPECT_NE(server->requests().back().body.find("10.0.0.9:9100"), std::string::npos);
}

} // namespace
