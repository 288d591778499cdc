#include "sync/handlers/AppShell.h"

#include "HandlerTestSupport.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/util/Base64.h"
#include "payments/Encryption.h"
#include "support/LocalStoreScope.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/OrderHandler.h"
#include "sync/handlers/StoreHandler.h"

#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <atomic>
#include <chrono>
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
        CommHelper::setGateway(std::nullopt);
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
        context.save(); // returns once the main thread has merged it
        saved = true;
    });
    while (!saved) RunLoop::main().runUntilIdle();
    background.join();
    EXPECT_EQ(param->text("value"), "YES");
    EXPECT_EQ(DBHelper::getStoreValue("HH_UDP_PORT", store.context().get()), "4410");
    EXPECT_FALSE(store->hasChanges());
}

TEST_F(AppShellTest, IntervalsFromMilliseconds) {
    const std::pair<std::optional<std::string>, int> cases[] = {{std::nullopt, 60}, {"90000", 90}, {"1999", 1},
                                                                {"500", 1},         {"0", 1},      {"-5000", 1}};
    for (const auto& [value, seconds] : cases)
        EXPECT_EQ(AppShell::intervalSeconds(value), seconds) << value.value_or("nil");
}

TEST_F(AppShellTest, SetupHandlersReadsTheConfigurationAndLeavesThemPaused) {
    struct Case {
        bool queueing;
        std::optional<std::string> customerAccounts, synchCustomers, synchOrdersAuto;
        bool expectCustomers, expectSynchDown;
    };
    const Case cases[] = {
        {true, "YES", "NO", "YES", true, false},          {false, "YES", std::nullopt, "YES", true, true},
        {false, "YES", "NO", std::nullopt, false, false}, {false, "YES", "YES", "NO", true, false},
        {false, "NO", "YES", "YES", false, true},
    };
    setValue("TS_STORE_MANAGER_SLEEP_INTERVAL", "45000");
    setValue("TS_ORDER_MANAGER_SLEEP_INTERVAL", "15500");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.queueing << c.customerAccounts.value_or("-")
                                        << c.synchCustomers.value_or("-") << c.synchOrdersAuto.value_or("-"));
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
    waker->wakeStore(); // no handlers yet: nothing happens
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

TEST_F(AppShellTest, SetupHandlersMakesTheIdBrokerAndTheGatewayAndTheCardKey) {
    IDBroker::releaseInstance();
    setValue("HH_ENC_KEY_LENGTH", "1024");
    AppShell shell(store.context());
    shell.setupHandlers(false, "http://gateway.test:8080");
    EXPECT_EQ(IDBroker::getInstance().managedObjectContext(), store.context());
    EXPECT_EQ(CommHelper::gateway(), "http://gateway.test:8080");
    Encryption& encryption = Encryption::getInstance();
    EXPECT_EQ(encryption.keyLength(), 1024);
    // A key is installed (the built-in one when none was): card fields can be encrypted.
    ASSERT_TRUE(encryption.getPublicKey());
    EXPECT_TRUE(encryption.encryptWithPublicKey("4111111111111111"));

    // Queueing (lite) terminals send no card fields: the encryption is left as it is.
    StoreHandler::releaseInstance();
    OrderHandler::releaseInstance();
    setValue("HH_ENC_KEY_LENGTH", "4096");
    shell.setupHandlers(true, "http://other.test:8080");
    EXPECT_EQ(encryption.keyLength(), 1024);
    EXPECT_EQ(CommHelper::gateway(), "http://other.test:8080");
}

TEST_F(AppShellTest, BuiltInServerKeysAreRsaKeysOfTheirLength) {
    struct Case {
        int asked, bits;
        size_t length;
    };
    for (const Case& c : {Case{2048, 2048, 398}, Case{1024, 1024, 216}, Case{4096, 1024, 216}}) {
        SCOPED_TRACE(c.asked);
        std::string text = AppShell::builtInServerKey(c.asked);
        EXPECT_EQ(text.size(), c.length);
        if (c.bits == 2048) {
            // Lines of 76 characters, each followed by a blank.
            for (size_t at = 76; at < text.size(); at += 77) EXPECT_EQ(text[at], ' ') << at;
            EXPECT_EQ(text.back(), ' ');
        } else {
            EXPECT_EQ(text.find(' '), std::string::npos);
        }
        std::optional<std::vector<uint8_t>> der = Base64::decode(text);
        ASSERT_TRUE(der);
        const unsigned char* p = der->data();
        EVP_PKEY* key = d2i_PUBKEY(nullptr, &p, static_cast<long>(der->size()));
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(EVP_PKEY_get_base_id(key), EVP_PKEY_RSA);
        EXPECT_EQ(EVP_PKEY_get_bits(key), c.bits);
        EVP_PKEY_free(key);
    }
}

TEST_F(AppShellTest, EndHandlersLetsBothGoWithNothingLeftToRun) {
    AppShell shell(store.context());
    shell.setupHandlers(false, "http://gateway.test");
    shell.login();
    std::weak_ptr<StoreHandler> storeHandler = StoreHandler::getInstance();
    std::weak_ptr<OrderHandler> orderHandler = OrderHandler::getInstance();
    ASSERT_TRUE(storeHandler.lock()->hasArmedTimer());

    AppShell::endHandlers();
    EXPECT_EQ(StoreHandler::instance(), nullptr);
    EXPECT_EQ(OrderHandler::instance(), nullptr);
    EXPECT_TRUE(storeHandler.expired());
    EXPECT_TRUE(orderHandler.expired());
    loop.pump(120);          // their timers, had they stayed, would have run by now
    AppShell::endHandlers(); // nothing left: nothing happens
}

// A store load of the handler, saving its own context while the program ends.
class SavingRun : public Operation {
public:
    SavingRun(std::shared_ptr<ObjectStore> store, std::atomic<bool>& started)
        : store_(std::move(store)), started_(started) {}
    void main() override {
        started_ = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50)); // the program is ending by now
        ObjectContext context(store_);
        ManagedObjectPtr row = context.insert("StoreParam");
        row->setValue("name", std::string("HH_SAVED_WHILE_ENDING"));
        row->setValue("value", std::string("YES"));
        context.save(); // returns once the main thread has merged it
    }

private:
    std::shared_ptr<ObjectStore> store_;
    std::atomic<bool>& started_;
};

TEST_F(AppShellTest, EndHandlersLetsARunMergeItsSaveOnTheMainThreadFirst) {
    wifi.set(true);
    AppShell shell(store.context());
    shell.setupHandlers(false, "http://gateway.test");
    std::atomic<bool> started = false;
    StoreHandler::Operations saving;
    saving.store = [&](const StoreHandler::SynchArgs& args) {
        return std::make_shared<SavingRun>(args.coordinator, started);
    };
    StoreHandler::getInstance()->setOperations(saving);
    shell.login();
    while (!started) std::this_thread::yield();

    AppShell::endHandlers(); // from the main thread, which the save waits for
    EXPECT_EQ(DBHelper::getStoreValue("HH_SAVED_WHILE_ENDING", store.context().get()), "YES");
}

} // namespace
