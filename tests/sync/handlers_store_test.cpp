#include "sync/handlers/StoreHandler.h"

#include "HandlerTestSupport.h"
#include "core/session/DBHelper.h"
#include "support/LocalStoreScope.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace tavlo;
using namespace tavlo::test;

namespace {

constexpr int kInterval = 60;

class StoreHandlerTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto& defaults = UserDefaults::standardUserDefaults();
        defaults.setObject(std::string("1"), "store_id");
        defaults.setObject(std::string("secret"), "password");
        handler = std::make_shared<StoreHandler>("http://gateway.test", DBHelper::sharedStore(), kInterval, true);
        handler->setOperations(recording());
    }
    void TearDown() override {
        if (gate) gate->open();
        handler->resume();
        handler->waitUntilIdle();
        handler->pause();
    }

    // Operations that record their name and what they were made with.
    StoreHandler::Operations recording() {
        StoreHandler::Operations ops;
        ops.customers = [this](const StoreHandler::SynchArgs& a) {
            customerUrls.push_back(a.url);
            return make("customers");
        };
        ops.store = [this](const StoreHandler::SynchArgs& a) {
            ++storeRuns;
            storeArgs = a;
            return make("store");
        };
        ops.terminalCommand = [this](const std::string&, std::shared_ptr<ObjectStore>) { return make("commands"); };
        ops.logs = [this](std::shared_ptr<ObjectStore>) { return make("logs"); };
        return ops;
    }
    std::shared_ptr<Operation> make(const std::string& name) {
        // Only the first operation made waits at the gate.
        std::shared_ptr<Gate> g = gate && !gateUsed ? gate : nullptr;
        if (g) gateUsed = true;
        return std::make_shared<RecordingOperation>(name, ran, g);
    }
    // Runs so far (every run on Wi-Fi with an empty queue makes one store load).
    int runs() {
        handler->waitUntilIdle();
        return storeRuns;
    }

    LocalStoreScope store;
    HandlerClock loop;
    WiFiScope wifi{true};
    std::shared_ptr<StoreHandler> handler;
    std::shared_ptr<OperationLog> ran = std::make_shared<OperationLog>();
    std::shared_ptr<Gate> gate;
    bool gateUsed = false;
    int storeRuns = 0;
    StoreHandler::SynchArgs storeArgs;
    std::vector<std::string> customerUrls;
};

TEST_F(StoreHandlerTest, StartRunsAtOnceThenIntervalAfterEachRunEnds) {
    EXPECT_FALSE(handler->isRunning());
    EXPECT_FALSE(handler->hasArmedTimer());
    handler->start();
    EXPECT_TRUE(handler->isRunning());
    EXPECT_EQ(runs(), 1);
    EXPECT_EQ(handler->lastRun(), loop.now());

    loop.pump(kInterval - 1);
    EXPECT_EQ(runs(), 1);
    loop.pump(1.5);
    EXPECT_EQ(runs(), 2);
    Date second = *handler->lastRun();
    loop.pump(kInterval - 1.5); // counted from the end of the second run (at 60 s)
    EXPECT_EQ(runs(), 2);
    loop.pump(kInterval);
    EXPECT_EQ(runs(), 3);
    EXPECT_GE(handler->lastRun()->secondsSince(second), kInterval);
}

TEST_F(StoreHandlerTest, PauseDisarmsAndResumeRunsThirtySecondsLater) {
    handler->pause(); // not running: nothing changes
    EXPECT_FALSE(handler->isRunning());
    handler->start();
    ASSERT_EQ(runs(), 1);

    handler->pause();
    EXPECT_FALSE(handler->isRunning());
    EXPECT_FALSE(handler->hasArmedTimer());
    handler->wakeUp(); // paused: nothing
    loop.pump(10 * kInterval);
    EXPECT_EQ(runs(), 1);

    handler->resume();
    EXPECT_TRUE(handler->isRunning());
    ASSERT_TRUE(handler->hasArmedTimer());
    loop.pump(OperationHandler::kResumeDelay - 1);
    EXPECT_EQ(runs(), 1);
    handler->resume(); // already running: the armed timer stays as it is
    loop.pump(1.5);
    EXPECT_EQ(runs(), 2);
    // After that run the interval applies again.
    loop.pump(OperationHandler::kResumeDelay + 1);
    EXPECT_EQ(runs(), 2);
    loop.pump(kInterval);
    EXPECT_EQ(runs(), 3);
}

TEST_F(StoreHandlerTest, WakeUpRunsAtOnceAndRearmsFromThen) {
    handler->start();
    ASSERT_EQ(runs(), 1);
    loop.pump(20);
    handler->wakeUp();
    EXPECT_EQ(runs(), 2);
    EXPECT_EQ(handler->lastRun(), loop.now());
    loop.pump(kInterval - 1); // the old timer (due at 60 s) is gone
    EXPECT_EQ(runs(), 2);
    loop.pump(1.5);
    EXPECT_EQ(runs(), 3);
}

TEST_F(StoreHandlerTest, QueuesCustomersStoreCommandsLogsInOrderWithTheGatewayAsCustomerUrl) {
    struct Case {
        bool synchCustomers;
        std::optional<std::string> customerUrl;
        std::vector<std::string> expected;
        std::vector<std::string> urls;
    };
    const std::vector<Case> cases = {
        {true, std::nullopt, {"customers", "store", "commands", "logs"}, {"http://gateway.test"}},
        {true, "http://customers.test", {"customers", "store", "commands", "logs"}, {"http://customers.test"}},
        {false, "http://customers.test", {"store", "commands", "logs"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.customerUrl.value_or("nil"));
        handler = std::make_shared<StoreHandler>("http://gateway.test", DBHelper::sharedStore(), kInterval, false);
        handler->setOperations(recording());
        handler->setSynchCustomers(c.synchCustomers);
        handler->setCustomerUrl(c.customerUrl);
        ran = std::make_shared<OperationLog>();
        customerUrls.clear();
        handler->start();
        handler->waitUntilIdle();
        EXPECT_EQ(ran->names(), c.expected);
        EXPECT_EQ(customerUrls, c.urls);
        handler->pause();
    }
    EXPECT_EQ(storeArgs.url, "http://gateway.test");
    EXPECT_EQ(storeArgs.storeId, "1");
    EXPECT_EQ(storeArgs.password, "secret");
    EXPECT_FALSE(storeArgs.logXml);
    EXPECT_EQ(storeArgs.coordinator, DBHelper::sharedStore());
}

TEST_F(StoreHandlerTest, WithoutWiFiARunQueuesNothingAndRearms) {
    wifi.set(false);
    handler->start();
    EXPECT_EQ(runs(), 0);
    EXPECT_TRUE(handler->hasArmedTimer());
    wifi.set(true);
    loop.pump(kInterval + 1);
    EXPECT_EQ(runs(), 1);
}

TEST_F(StoreHandlerTest, ARunWhileThePreviousSetIsPendingQueuesNothing) {
    gate = std::make_shared<Gate>();
    handler->start();
    gate->awaitArrival();
    EXPECT_EQ(handler->queuedCount(), 3u);
    for (int i = 0; i < 5; ++i) {
        handler->wakeUp();
        loop.pump(kInterval + 1);
    }
    EXPECT_EQ(handler->queuedCount(), 3u);
    EXPECT_EQ(storeRuns, 1);
    EXPECT_TRUE(logged("StoreHandler unable to run, processing 3 pending"));
    gate->open();
    EXPECT_EQ(runs(), 1);
    loop.pump(kInterval + 1);
    EXPECT_EQ(runs(), 2);
}

TEST_F(StoreHandlerTest, OperationsQueuedBeforePauseRunOnlyAfterResume) {
    gate = std::make_shared<Gate>();
    handler->start();
    gate->awaitArrival();
    handler->pause();
    gate->open(); // the executing one runs to its end
    for (int i = 0; i < 50 && ran->names().empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(ran->names(), std::vector<std::string>{"store"});
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(handler->queuedCount(), 2u);
    EXPECT_EQ(ran->names().size(), 1u);
    handler->resume();
    handler->waitUntilIdle();
    EXPECT_EQ(ran->names(), (std::vector<std::string>{"store", "commands", "logs"}));
}

TEST(StoreHandlerSingleton, FirstCallWinsAndGetInstanceBeforeItThrows) {
    LocalStoreScope store;
    StoreHandler::releaseInstance();
    EXPECT_THROW(StoreHandler::getInstance(), InconsistencyError);
    try {
        StoreHandler::getInstance();
    } catch (const InconsistencyError& e) {
        EXPECT_STREQ(e.what(),
                     "[StoreHandler getInstance] cannot be called until the init method has been called once");
    }
    auto first = StoreHandler::getInstance(DBHelper::sharedStore(), "http://a.test", std::nullopt, 60, true);
    auto second = StoreHandler::getInstance(nullptr, "http://b.test", std::string("http://c.test"), 5, false);
    EXPECT_EQ(first, second);
    EXPECT_EQ(second->url(), "http://a.test");
    EXPECT_EQ(second->interval(), 60);
    EXPECT_TRUE(second->isQueueing());
    EXPECT_EQ(second->customerUrl(), std::nullopt);
    EXPECT_EQ(StoreHandler::getInstance(), first);
    StoreHandler::releaseInstance();
}

} // namespace
