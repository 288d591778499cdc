#include "sync/handlers/AppShell.h"

#include "HandlerTestSupport.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "sync/handlers/OrderHandler.h"
#include "sync/handlers/StoreHandler.h"
#include "support/LocalStoreScope.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace tavlo;
using namespace tavlo::test;

namespace {

class AppShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        StoreHandler::releaseInstance();
        OrderHandler::releaseInstance();
        IDBroker::initWithMOC(store.context());
    }
    void TearDown() override {
        StoreHandler::releaseInstance();
        OrderHandler::releaseInstance();
    }
    void setValue(const std::string& name, const std::optional<std::string>& value) {
        store.addStoreParam(name, value);
        store.save();
    }

    LocalStoreScope store;
    HandlerClock loop;
    WiFiScope wifi{false};
};

TEST_F(AppShellTest, ABackgroundSaveIsVisibleInTheMainContextAfterTheMerge) {
    AppShell shell(store.context());
    ManagedObjectPtr param = store.addStoreParam("HH_LOG_XML", std::string("NO"));
    store.save();

    std::atomic<bool> saved = false;
    std::thread background([&] {
        ObjectContext context(DBHelper::sharedStore());
        context.setMergePolicy(ObjectContext::MergePolicy::Overwrite);
        context.fetchFirst("StoreParam", "name == %@", "HH_LOG_XML")->setValue("value", std::string("YES"));
        ManagedObjectPtr added = context.insert("StoreParam");
        added->setValue("name", std::string("HH_UDP_PORT"));
        added->setValue("value", std::string("4410"));
        context.save();  // returns once the main thread has merged it
        saved = true;
    });
    while (!saved) RunLoop::main().runUntilIdle();
    background.join();
    EXPECT_EQ(param->text("value"), "YES");
    EXPECT_EQ(DBHelper::getStoreValue("HH_UDP_PORT", store.context().get()), "4410");
    EXPECT_FALSE(store->hasChanges());
}

TEST_F(AppShellTest, IntervalsFromMilliseconds) {
    const std::pair<std::optional<std::string>, int> cases[] = {
        {std::nullopt, 60}, {"90000", 90}, {"1999", 1}, {"500", 1}, {"0", 1}, {"-5000", 1}};
    for (const auto& [value, seconds] : cases) EXPECT_EQ(AppShell::intervalSeconds(value), seconds) << value.value_or("nil");
}

TEST_F(AppShellTest, SetupHandlersReadsTheConfigurationAndLeavesThemPaused) {
    struct Case {
        bool queueing;
        std::optional<std::string> customerAccounts, synchCustomers, synchOrdersAuto;
        bool expectCustomers, expectSynchDown;
    };
    const Case cases[] = {
        {true, "YES", "NO", "YES", true, false},
        {false, "YES", std::nullopt, "YES", true, true},
        {false, "YES", "NO", std::nullopt, false, false},
        {false, "YES", "YES", "NO", true, false},
        {false, "NO", "YES", "YES", false, true},
    };
    setValue("TS_STORE_MANAGER_SLEEP_INTERVAL", "45000");
    setValue("TS_ORDER_MANAGER_SLEEP_INTERVAL", "15500");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.queueing << c.customerAccounts.value_or("-") << c.synchCustomers.value_or("-")
                                        << c.synchOrdersAuto.value_or("-"));
        StoreHandler::releaseInstance();
        OrderHandler::releaseInstance();
        DBHelper::saveStoreParam("MODULE_CUSTOMER_ACCOUNTS", c.customerAccounts, store.context().get());
        DBHelper::saveStoreParam("HH_SYNCH_CUSTOMERS", c.synchCustomers, store.context().get());
        DBHelper::saveStoreParam("HH_SYNCH_ORDERS_AUTO", c.synchOrdersAuto, store.context().get());
        store.save();
        AppShell shell(store.context());
        shell.setupHandlers(c.queueing, "http://gateway.test");
        auto storeHandler = StoreHandler::getInstance();
        auto orderHandler = OrderHandler::getInstance();
        EXPECT_EQ(storeHandler->synchCustomers(), c.expectCustomers);
        EXPECT_EQ(orderHandler->synchDown(), c.expectSynchDown);
        EXPECT_EQ(storeHandler->interval(), 45);
        EXPECT_EQ(orderHandler->interval(), 15);
        EXPECT_EQ(storeHandler->customerUrl(), "http://gateway.test");
        EXPECT_EQ(orderHandler->isQueueing(), c.queueing);
        EXPECT_FALSE(storeHandler->isRunning());
        EXPECT_FALSE(orderHandler->isRunning());
    }
    StoreHandler::releaseInstance();
    setValue("HH_CUSTOMER_URL", "http://customers.test");
    AppShell(store.context()).setupHandlers(false, "http://gateway.test");
    EXPECT_EQ(StoreHandler::getInstance()->customerUrl(), "http://customers.test");
}

TEST_F(AppShellTest, LoginStartsBothAndTheWakerReachesThem) {
    auto waker = AppShell::handlerWaker();
    waker->wakeStore();  // no handlers yet: nothing happens
    waker->wakeOrders();

    AppShell shell(store.context());
    shell.setupHandlers(false, "http://gateway.test");
    shell.login();
    auto storeHandler = StoreHandler::getInstance();
    auto orderHandler = OrderHandler::getInstance();
    EXPECT_TRUE(storeHandler->isRunning());
    EXPECT_TRUE(orderHandler->isRunning());
    Date started = *storeHandler->lastRun();
    loop.pump(5);
    waker->wakeStore();
    EXPECT_EQ(storeHandler->lastRun(), started.addingSeconds(5));
    EXPECT_EQ(orderHandler->lastRun(), started);
    waker->wakeOrders();
    EXPECT_EQ(orderHandler->lastRun(), started.addingSeconds(5));
}

} // namespace
