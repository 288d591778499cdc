#include "HandlerServerFixture.h"
#include "platform/foundation/NotificationCenter.h"
#include "sync/handlers/OperationSynchCustomers.h"
#include "sync/handlers/OperationSynchOrders.h"
#include "sync/handlers/StoreHandler.h"

#include <gtest/gtest.h>

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
    EXPECT_TRUE(handler->updateOrderSummaries(std::string("1"), std::string("secret"), std::string("u5"),
                                              server->url(), true, context(), &error));
    EXPECT_FALSE(error.isSet()) << error.localizedDescription();
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
