#include "HandlerServerFixture.h"

#include "core/order/Order.h"
#include "core/order/Payment.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "support/LogLines.h"
#include "support/RecordingAnnouncer.h"
#include "support/SoupOrders.h"
#include "sync/exchange/OrderDocument.h"

#include <filesystem>

#include <gtest/gtest.h>

#include <algorithm>

using namespace tavlo;
using namespace tavlo::test;
using storesim::Fault;

namespace {

class SendOrderTest : public HandlerServerFixture {
protected:
    void TearDown() override {
        OrderHandler::releaseInstance();
        HandlerServerFixture::TearDown();
    }

    // Changes posted under "ordersChange": the remote ids of the orders.
    std::vector<std::optional<std::string>> changes;
    ScopedObserver observer{OrderHandler::kOrdersChangeNotification, nullptr, [this](const Notification& n) {
                                for (Order* o : std::any_cast<std::vector<Order*>>(n.object))
                                    changes.push_back(o->remoteId());
                            }};
};

TEST_F(SendOrderTest, ALiteSendStoresTheOrderAndItsRowInOneSaveThenARunPostsIt) {
    openDay(true);
    makeHandler(true);
    auto order = soupOrder("R1");
    ASSERT_TRUE(handler->sendOrder(*order, std::string("u5"), context(), nullptr));
    EXPECT_FALSE(context()->hasChanges());
    EXPECT_EQ(changes, (std::vector<std::optional<std::string>>{"R1"}));
    auto fresh = handler->newContext();
    ManagedObjectPtr row = fresh->fetchFirst(OrderQueue::kEntityName, "remoteId == %@", "R1");
    ASSERT_TRUE(row);
    EXPECT_EQ(row->text("type"), "order");
    EXPECT_EQ(row->text("userId"), "u5");
    EXPECT_NE(row->text("request")->find("remoteId=\"R1\""), std::string::npos);
    EXPECT_EQ(fresh->count("Order", "remoteId == %@", "R1"), 1u);
    EXPECT_EQ(fresh->fetchFirst("Order", "remoteId == %@", "R1")->text("storeBatch.remoteId"), "B1");
    EXPECT_TRUE(logged("Queueing orders but OrderHandler is not running"));

    handler->start();
    drain();
    ASSERT_TRUE(server->order("R1"));
    EXPECT_EQ(handler->pendingCount(), 0);
    cycle();
    EXPECT_EQ(rowCount("TRUEPREDICATE"), 0u);
}

TEST_F(SendOrderTest, AGatewaySendPostsAtOnceAndTakesTheOrderReadBack) {
    makeHandler(false);
    handler->start();
    auto order = soupOrder("R2");
    Error error;
    ASSERT_TRUE(handler->sendOrder(*order, std::string("u5"), context(), &error)) << error.localizedDescription();
    EXPECT_TRUE(server->order("R2"));
    EXPECT_EQ(server->requestCount("getOrder"), 1u);
    EXPECT_EQ(order->orderId(), "1001"); // the server's id came back with the order
    EXPECT_FALSE(order->modified());
    EXPECT_EQ(rowCount("TRUEPREDICATE"), 0u);
    EXPECT_EQ(changes.size(), 1u);

    server->setFault("customerOrder", Fault::ErrorElement, 2);
    EXPECT_FALSE(handler->sendOrder(*soupOrder("R3"), std::string("u5"), context(), &error));
    EXPECT_FALSE(server->order("R3"));
    EXPECT_EQ(changes.size(), 2u); // posted whatever the outcome
}

TEST_F(SendOrderTest, LiteOrdersSentBackToBackEachReachTheServerWithoutWaitingForTheTimer) {
    openDay(true);
    makeHandler(true);
    handler->start();
    // The first post is still out (hanging until its time-out) while the next ones are handed over.
    server->setFault("customerOrder", Fault::Hang, 1);
    const Date start = Date::now();
    const std::vector<std::string> ids{"R1", "R2", "R3"};
    for (const std::string& id : ids)
        ASSERT_TRUE(handler->sendOrder(*soupOrder(id), std::string("u5"), context(), nullptr));
    EXPECT_TRUE(serveUntil([&] {
        return std::all_of(ids.begin(), ids.end(),
                           [&](const std::string& id) { return server->order(id).has_value(); });
    }));
    EXPECT_LT(Date::now().secondsSince(start), 1.0); // the handler's clock: its 60 s timer never fired
    drain();
    EXPECT_EQ(handler->pendingCount(), 0);
}

TEST_F(SendOrderTest, SendingAnOrderPrintsTheUnitsSentInLiteModeOnly) {
    InstalledPorts ports;
    RecordingAnnouncer announcer;
    openDay(true);
    OrderHandler::getInstance(DBHelper::sharedStore(), server->url(), kInterval, true);
    handler = OrderHandler::getInstance();
    setConfig("TAVLO_LITE", "YES");
    Session lite(context());
    lite.setUserId("u5");
    ASSERT_TRUE(lite.isLite());

    auto order = soupOrder("R4", {.units = 3});
    order->write(*context()); // stored: nothing left to send
    store.save();
    ASSERT_FALSE(order->modified());
    EXPECT_TRUE(order->send(lite, nullptr)); // nothing new: not handed over
    EXPECT_EQ(rowCount("TRUEPREDICATE"), 0u);
    EXPECT_TRUE(announcer.tickets().empty());

    order = soupOrder("R4", {.units = 3});
    ASSERT_TRUE(order->send(lite, nullptr));
    EXPECT_EQ(rowCount("TRUEPREDICATE"), 1u);
    ASSERT_EQ(announcer.tickets().size(), 1u);
    EXPECT_EQ(announcer.tickets()[0].remoteId, "R4");
    EXPECT_EQ(announcer.tickets()[0].newUnits, std::vector<int32_t>{3});
    EXPECT_FALSE(order->modified());
}

TEST_F(SendOrderTest, TheSendersCallbackHearsOfEveryOutcome) {
    InstalledPorts ports;
    OrderHandler::getInstance(DBHelper::sharedStore(), server->url(), kInterval, false)->start();
    Session gateway(context());
    gateway.setUserId("u5");
    ASSERT_FALSE(gateway.isLite());
    std::vector<std::optional<Error>> heard;
    auto done = [&](const Error* error) { heard.push_back(error ? std::optional(*error) : std::nullopt); };

    auto order = soupOrder("R5");
    Error error;
    ASSERT_TRUE(order->send(gateway, done, &error)) << error.localizedDescription();
    EXPECT_TRUE(server->order("R5"));
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_FALSE(heard[0]);

    EXPECT_TRUE(order->send(gateway, done, &error)); // nothing left to send: told all the same
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_FALSE(heard[1]);

    server->setFault("customerOrder", Fault::ErrorElement, 2);
    EXPECT_FALSE(soupOrder("R6")->send(gateway, done, &error));
    ASSERT_EQ(heard.size(), 3u);
    ASSERT_TRUE(heard[2]);
    EXPECT_TRUE(heard[2]->isSet());
    EXPECT_EQ(*heard[2], error);

    // A caller that does not take the error still has it passed to the callback.
    server->setFault("customerOrder", Fault::ErrorElement, 2);
    EXPECT_FALSE(soupOrder("R7")->send(gateway, done, nullptr));
    ASSERT_EQ(heard.size(), 4u);
    EXPECT_EQ(heard[3], heard[2]);
    EXPECT_FALSE(server->order("R6") || server->order("R7"));
}

TEST_F(SendOrderTest, ALiteSendStoresTheStockTheLinesTookInTheSameSave) {
    InstalledPorts ports;
    openDay(true);
    handler = OrderHandler::getInstance(DBHelper::sharedStore(), server->url(), kInterval, true);
    setConfig("TAVLO_LITE", "YES");
    ManagedObjectPtr soup = context()->insert("Recipe");
    soup->setValue("recipeId", std::string("r-soup"));
    soup->setValue("available", 1000);
    store.save();
    Session lite(context());
    lite.setUserId("u5");

    auto order = soupOrder("R7", {.session = &lite});
    order->addSelection(soupLine("R7-2", 3), &lite);
    auto stored = [&] {
        return handler->newContext()->fetchFirst("Recipe", "recipeId == %@", "r-soup")->int32("available");
    };
    EXPECT_EQ(stored(), 1000); // entering the lines committed nothing
    int saves = 0;
    ScopedObserver counting(ObjectContext::kDidSaveNotification, nullptr, [&](const Notification&) { ++saves; });
    ASSERT_TRUE(order->send(lite, nullptr));
    EXPECT_EQ(saves, 1); // the order, its queue row and the stock together
    EXPECT_EQ(stored(), 500);
    auto fresh = handler->newContext();
    EXPECT_EQ(fresh->count(OrderQueue::kEntityName, "remoteId == %@", "R7"), 1u);
}

TEST_F(SendOrderTest, ALiteCloseSumsTheDaysSalesGrossAndNet) {
    makeHandler(true);
    openDay(true);
    IDBroker::getInstance();
    for (auto [id, units] : {std::pair{"R1", 2}, std::pair{"R2", 1}}) {
        auto order = soupOrder(id, {.units = units});
        order->setBatchId("B1");
        order->setClosed(Date::now());
        order->write(*context());
    }
    auto other = soupOrder("R9", {.units = 5}); // another day's order
    other->setBatchId("B0");
    other->setClosed(Date::now());
    ManagedObjectPtr oldDay = context()->insert("StoreBatch");
    oldDay->setValue("remoteId", std::string("B0"));
    oldDay->setValue("openedOn", Date::now().addingSeconds(-86400).wholeSecondsDate());
    oldDay->setValue("closedOn", Date::now().addingSeconds(-80000));
    other->write(*context());
    store.save();
    ASSERT_EQ(IDBroker::getInstance().currentBatchId(), "B1");

    ASSERT_TRUE(handler->closeStore(std::string("u5"), Date::now(), context(), nullptr));
    auto fresh = handler->newContext();
    ManagedObjectPtr day = fresh->fetchFirst("StoreBatch", "remoteId == %@", "B1");
    // 20.00 + 1.66 tax (0.83 a unit) and 10.00 + 0.83 tax.
    EXPECT_EQ(day->int32("salesGross"), 2166 + 1083);
    EXPECT_EQ(day->int32("salesNet"), 3000);
    EXPECT_EQ(day->text("closedBy.userId"), "u5");
}

} // namespace

namespace {

TEST_F(SendOrderTest, LoggedExchangesKeepNoCardholderNameOrPostalCode) {
    setConfig("HH_LOG_XML", "YES");
    openDay(true);
    for (bool lite : {false, true}) {
        SCOPED_TRACE(lite ? "queued" : "posted at once");
        std::filesystem::remove(TavloLog::logFilePath());
        makeHandler(lite);
        handler->start();
        const std::string remoteId = lite ? "R9" : "R8";
        auto order = soupOrder(remoteId);
        auto payment = std::make_shared<Payment>();
        payment->setRemoteId(remoteId + "-P1");
        payment->setType(Payment::kCredit);
        payment->setName(std::string("ANN Q LEE"));
        payment->setZipCode(std::string("60601"));
        payment->setSubTotal(2165);
        payment->setNew(true);
        order->addPayment(payment);
        Error error;
        ASSERT_TRUE(handler->sendOrder(*order, std::string("u5"), context(), &error)) << error.localizedDescription();
        if (lite) cycle();
        ASSERT_TRUE(server->order(remoteId));
        EXPECT_NE(server->order(remoteId)->find("ANN Q LEE"), std::string::npos) << "the server gets the name";

        const std::string log = logText();
        EXPECT_NE(log.find("<paymentName>***</paymentName>"), std::string::npos) << log;
        EXPECT_NE(log.find("<zipCode>***</zipCode>"), std::string::npos) << log;
        for (const char* secret : {"ANN Q LEE", "60601"}) EXPECT_EQ(log.find(secret), std::string::npos) << secret;
        handler->pause();
        OrderHandler::releaseInstance();
    }
}

TEST(OrderDocumentForLog, BlanksTheNameAndPostalCodeOfEveryPaymentEvenInACutDocument) {
    EXPECT_EQ(OrderDocument::forLog("<payment><paymentName>ANN LEE</paymentName><subTotal>5</subTotal><zipCode>60601"
                                    "</zipCode></payment><payment><paymentName></paymentName></payment>"),
              "<payment><paymentName>***</paymentName><subTotal>5</subTotal><zipCode>***</zipCode></payment>"
              "<payment><paymentName>***</paymentName></payment>");
    EXPECT_EQ(OrderDocument::forLog("<name>Table 4</name><paymentName>ANN LE"), "<name>Table 4</name><paymentName>***");
    EXPECT_EQ(OrderDocument::forLog("<reply>success</reply>"), "<reply>success</reply>");
}

} // namespace
