#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/LocalStoreModel.h"
#include "platform/foundation/AlertSink.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/security/HardwareAddress.h"
#include "support/LocalStoreScope.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <openssl/evp.h>

namespace tavlo {
namespace {

using test::LocalStoreScope;

constexpr double kNow = 1700000000.9; // ids carry the whole seconds: 1700000000

struct BrokerTest : ::testing::Test {
    ScopedFakeClock clock{Date(kNow)};
};

// The process's broker on a store whose terminal for this device has that number.
IDBroker& broker(LocalStoreScope& store, const std::optional<std::string>& terminalNumber = "3") {
    if (terminalNumber) store.addThisTerminal("T1", terminalNumber);
    store.save();
    return IDBroker::initWithMOC(store.context());
}

TEST_F(BrokerTest, IdsAreTerminalNumberSecondsAndAPerKindCounter) {
    LocalStoreScope store;
    IDBroker& b = broker(store);
    EXPECT_EQ(b.generateRemoteIdOrder(), "3170000000000000001");
    EXPECT_EQ(b.generateRemoteIdOrder(), "3170000000000000002");
    EXPECT_EQ(b.generateRemoteIdPayment(), "3170000000000000001");
    clock->advance(5);
    EXPECT_EQ(b.generateRemoteIdSelection(), "3170000000500000001");
    EXPECT_EQ(DBHelper::getStoreValue("IPHONE_SEQUENCE_NUMBER_ORDER", store.context().get()), "2");
    EXPECT_EQ(&IDBroker::getInstance(), &b);
}

TEST_F(BrokerTest, WithoutATerminalIdsBeginWithUnknown) {
    LocalStoreScope store;
    EXPECT_EQ(broker(store, std::nullopt).generateRemoteIdCustomer(), "Unknown170000000000000001");
}

TEST_F(BrokerTest, CountersWrapAfterTheirLargestNumber) {
    struct Case {
        std::optional<std::string> stored;
        int digits;
        std::string counter;
    };
    const Case cases[] = {
        {std::nullopt, 8, "00000001"},
        {"5", 8, "00000006"},
        {"99999999", 8, "00000001"},
        {"100000005", 8, "100000006"}, // left above the largest by a wider setting: counts on
        {"9", 1, "1"},
        {"9", 0, "1"},
        {"8", 0, "9"},
        {"2147483647", 12, "000000000001"},
    };
    LocalStoreScope store;
    IDBroker& b = broker(store);
    for (const Case& k : cases) {
        DBHelper::saveStoreParam("IPHONE_TEST_COUNTER", k.stored, store.context().get());
        EXPECT_EQ(b.getNextId("IPHONE_TEST_COUNTER", k.digits, false), "3" + k.counter)
            << k.stored.value_or("nil") << " " << k.digits;
    }
}

TEST_F(BrokerTest, IdsLongerThan32CharactersAreCutTo31) {
    struct Case {
        std::string number;
        size_t length;
    };
    for (const Case& k : {Case{"12345678901234", 32}, Case{"123456789012345", 31}, Case{"12345678901234567890", 31}}) {
        LocalStoreScope scope;
        scope.addThisTerminal("T1", k.number);
        scope.save();
        IDBroker b(scope.context());
        std::string id = b.generateRemoteIdOrder();
        EXPECT_EQ(id.size(), k.length) << k.number;
        EXPECT_EQ(id.substr(0, k.number.size()), k.number);
    }
}

TEST_F(BrokerTest, QuickSaleNumbersFollowTheirDigits) {
    struct Case {
        std::optional<std::string> maxDigits, counter;
        std::string number;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, "31"},
        {std::nullopt, "8", "39"},
        {std::nullopt, "9", "31"},
        {"2", "99", "301"},
        {"2", "5", "306"},
        {"3", std::nullopt, "3001"},
    };
    LocalStoreScope store;
    IDBroker& b = broker(store);
    ObjectContext* c = store.context().get();
    for (const Case& k : cases) {
        if (k.maxDigits) DBHelper::saveStoreParam("QUICK_SALE_MAX_DIGITS", k.maxDigits, c);
        else if (auto row = DBHelper::getObject("StoreParam", "name == %@", "QUICK_SALE_MAX_DIGITS", c))
            c->deleteObject(row);
        DBHelper::saveStoreParam("IPHONE_SEQUENCE_QS", k.counter, c);
        EXPECT_EQ(b.generateQSNum(), k.number) << k.maxDigits.value_or("nil") << " " << k.counter.value_or("nil");
    }
}

TEST_F(BrokerTest, BatchIds) {
    struct Batch {
        const char* remoteId;
        double openedOn;
        bool closed;
    };
    struct Case {
        const char* label;
        std::vector<Batch> batches;
        std::optional<std::string> parameter;
        std::optional<std::string> current, last;
        std::string next;
    };
    const Case cases[] = {
        {"parameter only", {}, "7", "7", "6", "7"},
        {"latest day", {{"3", 100, true}, {"7", 200, true}}, "2", "2", "7", "8"},
        {"open day", {{"3", 100, true}, {"4", 200, false}}, std::nullopt, "4", "4", "5"},
        {"neither", {}, std::nullopt, std::nullopt, std::nullopt, "1"},
    };
    for (const Case& k : cases) {
        LocalStoreScope scope;
        for (const Batch& batch : k.batches) {
            ManagedObjectPtr row = scope->insert("StoreBatch");
            row->setValue("remoteId", batch.remoteId);
            LocalStoreModel::setDate(*row, "openedOn", Date(batch.openedOn));
            if (batch.closed) row->setValue("closedOn", Date(batch.openedOn + 50));
        }
        if (k.parameter) scope.addStoreParam("IPHONE_CURRENT_BATCH_ID", k.parameter);
        scope.save();
        IDBroker b(scope.context());
        EXPECT_EQ(b.currentBatchId(), k.current) << k.label;
        EXPECT_EQ(b.lastBatchId(), k.last) << k.label;
        EXPECT_EQ(b.generateRemoteIdBatch(), k.next) << k.label;
        EXPECT_EQ(DBHelper::getStoreValue("IPHONE_CURRENT_BATCH_ID", scope.context().get()), k.next) << k.label;
        ObjectContext stored(scope->store()); // saving is the business-day open's
        EXPECT_EQ(DBHelper::getStoreValue("IPHONE_CURRENT_BATCH_ID", &stored), k.parameter) << k.label;
    }
}

TEST_F(BrokerTest, CountersSurviveClosingAndReopeningTheStore) {
    LocalStoreScope store;
    std::string first = broker(store).generateRemoteIdOrder();
    IDBroker::getInstance().generateQSNum();
    IDBroker::releaseInstance();
    store.reopen();
    IDBroker& again = IDBroker::initWithMOC(store.context());
    std::string second = again.generateRemoteIdOrder();
    EXPECT_NE(first, second);
    EXPECT_EQ(second, "3170000000000000002");
    EXPECT_EQ(again.generateQSNum(), "32");
}

// A save that fails (here the disk is full) is reported in an alert; the id is still made.
TEST_F(BrokerTest, AFailedCounterSaveRaisesAnAlertAndStillGivesAnId) {
    struct Recorder : AlertSink {
        std::vector<std::string> shown;
        void showAlert(const std::string& title, const std::string& message, const std::string& button) override {
            shown.push_back(title + "|" + message + "|" + button);
        }
    };
    auto recorder = std::make_shared<Recorder>();
    AlertSink::install(recorder);
    LocalStoreScope store;
    std::filesystem::path file = store.home().path() / "small.sqlite";
    Error error;
    {
        auto open = ObjectStore::open(LocalStoreModel::build(), file, &error);
        ASSERT_TRUE(open) << error.localizedDescription();
    }
    auto full = ObjectStore::open(LocalStoreModel::build(), file, &error,
                                  {.maxFileBytes = static_cast<int64_t>(std::filesystem::file_size(file))});
    ASSERT_TRUE(full) << error.localizedDescription();
    auto context = std::make_shared<ObjectContext>(full);
    context->insert("Captured")->setValue("image", Bytes(1 << 20, 0x55));
    IDBroker b(context);
    EXPECT_EQ(b.generateRemoteIdOrder(), "Unknown170000000000000001");
    AlertSink::install(nullptr);
    ASSERT_EQ(recorder->shown.size(), 1u);
    EXPECT_EQ(recorder->shown[0].substr(0, 6), "Error|");
    EXPECT_EQ(recorder->shown[0].substr(recorder->shown[0].size() - 3), "|Ok");
}

TEST(IDBrokerInstance, UsedBeforeItsInitialiserIsAnInconsistency) {
    IDBroker::releaseInstance();
    try {
        IDBroker::getInstance();
        FAIL() << "no exception";
    } catch (const InconsistencyError& e) {
        EXPECT_STREQ(e.what(), "[IDBroker getInstance] cannot be called until the init method has been called once");
    }
}

TEST(DeviceIdentifier, TheSavedDefaultWinsElseOneIsMadeAndKept) {
    test::TempHome home;
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    std::string made = IDBroker::deviceIdentifier();
    EXPECT_FALSE(made.empty());
    EXPECT_EQ(defaults.stringForKey(IDBroker::kDeviceIdKey), made);
    EXPECT_EQ(IDBroker::deviceIdentifier(), made);
    if (auto fromAddress = IDBroker::uniqueDeviceIdentifier()) {
        EXPECT_EQ(made, *fromAddress);
        EXPECT_EQ(made.size(), 32u);
    }
    defaults.setObject(UserDefaults::Value(std::string("given")), IDBroker::kDeviceIdKey);
    EXPECT_EQ(IDBroker::deviceIdentifier(), "given");
}

// Lower-case hex MD5 of the text, worked out here apart from the code under test.
std::string md5Hex(const std::string& text) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EXPECT_EQ(EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr), 1);
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) hex += format("%02x", digest[i]);
    return hex;
}

TEST(DeviceIdentifier, TheGlobalOneIsTheDigestOfTheHardwareAddressAlone) {
    test::TempHome home;
    std::optional<std::string> address = HardwareAddress::primary();
    std::optional<std::string> global = IDBroker::uniqueGlobalDeviceIdentifier();
    if (!address) {
        EXPECT_EQ(global, std::nullopt);
        GTEST_SKIP() << "this machine shows no hardware address";
    }
    ASSERT_TRUE(global);
    EXPECT_EQ(*global, md5Hex(*address));
    EXPECT_EQ(IDBroker::uniqueGlobalDeviceIdentifier(), global); // the same at every call
    EXPECT_NE(IDBroker::uniqueDeviceIdentifier(), global);       // the program's own differs
    EXPECT_EQ(IDBroker::uniqueDeviceIdentifier(), md5Hex(*address + IDBroker::kProgramIdentifier));
    UserDefaults::standardUserDefaults().setObject(UserDefaults::Value(std::string("given")), IDBroker::kDeviceIdKey);
    EXPECT_EQ(IDBroker::uniqueGlobalDeviceIdentifier(), global) << "not the saved device id";
}

} // namespace
} // namespace tavlo
