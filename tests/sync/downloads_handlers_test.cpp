#include "HandlerServerFixture.h"
#include "platform/foundation/NotificationCenter.h"
#include "sync/handlers/OperationSynchCustomers.h"
#include "sync/handlers/OperationSynchOrders.h"
#include "sync/handlers/StoreHandler.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

using namespace tavlo;
using namespace tavlo::test;

namespace {

class DownloadHandlersTest : public HandlerServerFixture {
protected:
    size_t count(const char* entity) const {
        ObjectContext reader(store.context()->store());
        return reader.count(FetchRequest(entity));
    }
};

TEST_F(DownloadHandlersTest, TheOrderHandlersRunDownloadsTheOrderDataWhenAsked) {
    openDay(true);
    ManagedObjectPtr local = context()->insert("Order");
    local->setValue("remoteId", "L1");
    store.save();
    server->setCannedReply("getOrderData", "<tavloReply><customerOrder remoteId=\"R1\"><orderName>Bar 2</orderName>"
                                           "</customerOrder></tavloReply>");
    int changes = 0;
    ScopedObserver observer(OrderHandler::kOrdersChangeNotification, nullptr, [&](const Notification&) { ++changes; });
    makeHandler(false);
    handler->start();
    drain();
    EXPECT_EQ(server->requestCount("getOrderData"), 0u) << "no download asked for";

    handler->setSynchDown(true);
    cycle();
    EXPECT_EQ(server->requestCount("getOrderData"), 1u);
    EXPECT_EQ(count("Order"), 2u);
    EXPECT_EQ(changes, 1);

    // A requested reload runs once as a full reload.
    handler->setSynchDown(false);
    handler->setReloadRequested(true);
    cycle();
    EXPECT_FALSE(handler->reloadRequested());
    EXPECT_EQ(count("Order"), 1u) << "the local order went with the reload";
    cycle();
    EXPECT_EQ(server->requestCount("getOrderData"), 2u);
}

TEST_F(DownloadHandlersTest, TheOrderHandlerReplacesTheSummariesOutsideItsRuns) {
    makeHandler(false);
    server->setCannedReply("getOrders", "<tavloReply isOpen=\"true\"><orderSummary remoteId=\"S1\">"
                                        "<orderName>Table 5</orderName></orderSummary></tavloReply>");
    Error error;
    EXPECT_TRUE(handler->updateOrderSummaries(std::string("1"), std::string("secret"), std::string("u5"), server->url(),
                                              true, context(), &error));
    EXPECT_FALSE(error.isSet()) << error.localizedDescription();
    EXPECT_EQ(count("Order"), 1u);
}

TEST_F(DownloadHandlersTest, TheOrdersAreReplacedOnlyBetweenTheHandlersRuns) {
    openDay(true);
    ManagedObjectPtr old = context()->insert("Order");
    old->setValue("name", "Old list");
    store.save();
    server->setCannedReply("getOrders", "<tavloReply isOpen=\"true\"><orderSummary remoteId=\"S1\">"
                                        "<orderName>Table 1</orderName></orderSummary></tavloReply>");
    makeHandler(false);
    // A run in progress: the handler's run stops in its order download until released.
    std::promise<void> held, release;
    std::shared_future<void> released = release.get_future().share();
    handler->setSynchDown(true);
    handler->setOrderDownload([&held, released](const OrderHandler::DownloadArgs&) -> std::shared_ptr<Operation> {
        held.set_value();
        released.wait();
        return nullptr;
    });
    std::thread run([this] { handler->start(); });
    held.get_future().wait();
    // The main context is the caller's: the update runs on a thread of its own here, so the test
    // reads the file through another context meanwhile.
    auto update = std::async(std::launch::async, [this] {
        Error error;
        return handler->updateOrderSummaries(std::string("1"), std::string("secret"), std::string("u5"), server->url(),
                                             true, context(), &error);
    });
    // The exchange does not wait for the run.
    for (int i = 0; i < 500 && server->requestCount("getOrders") == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(server->requestCount("getOrders"), 1u);
    EXPECT_EQ(update.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
    EXPECT_EQ(count("Order"), 1u) << "the old list stays while the run goes on";
    release.set_value();
    EXPECT_TRUE(update.get());
    run.join();
    ObjectContext reader(store.context()->store());
    ManagedObjectPtr only = reader.fetchFirst("Order", "remoteId == %@", std::string("S1"));
    ASSERT_TRUE(only);
    EXPECT_EQ(only->text("name"), "Table 1");
    EXPECT_EQ(count("Order"), 1u);
}

TEST_F(DownloadHandlersTest, TheStoreHandlersRunDownloadsTheCustomersFromTheCustomerUrl) {
    server->setCannedReply("getCustomers", "<tavloReply><customer id=\"K1\"><customerName>Quay Bakery</customerName>"
                                           "</customer></tavloReply>");
    int changes = 0;
    ScopedObserver observer(OperationSynchCustomers::kCustomersChangeNotification, nullptr,
                            [&](const Notification&) { ++changes; });
    auto storeHandler = std::make_shared<StoreHandler>("http://127.0.0.1:9", DBHelper::sharedStore(), kInterval, true);
    StoreHandler::Operations customersOnly;
    customersOnly.customers = StoreHandler::Operations::standard().customers;
    storeHandler->setOperations(customersOnly);
    storeHandler->setCustomerUrl(server->url());
    storeHandler->setSynchCustomers(true);
    storeHandler->start();
    storeHandler->waitUntilIdle();
    storeHandler->pause();
    EXPECT_EQ(server->requestCount("getCustomers"), 1u);
    EXPECT_EQ(count("Customer"), 1u);
    EXPECT_EQ(changes, 1);
}

} // namespace
