#include "PrinterTestSupport.h"
#include "platform/accessory/SerialAccessories.h"
#include "platform/foundation/Clock.h"
#include "printerlib/BTFunctions.h"
#include "support/FakeAccessories.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

using namespace tavlo;
using namespace tavlo::printerlib;

namespace {

const std::vector<std::string> kPrinterProtocol{BTFunctions::kProtocolString};

class BTFunctionsTest : public test::AccessoryTest {
protected:
    void SetUp() override {
        test::AccessoryTest::SetUp();
        bt = std::make_unique<BTFunctions>();
        bt->setDelegate(&events);
    }
    void TearDown() override {
        bt->setDelegate(nullptr);
        bt.reset();
        test::AccessoryTest::TearDown();
    }
    // Connects to the printer and serves the main loop until the stream reported room.
    std::shared_ptr<test::PseudoTerminalPeer> connectTo(const std::shared_ptr<Accessory>& printer) {
        EXPECT_TRUE(bt->connect(printer->macAddress(), "", 0));
        EXPECT_TRUE(test::runMainUntil([&] { return has("didConnect"); }));
        return fake->peer(*printer);
    }
    bool has(const std::string& event) const {
        return std::find(events.events.begin(), events.events.end(), event) != events.events.end();
    }

    ScopedScaledClock clock{10.0};
    test::TempHome home;
    test::RecordingTransportDelegate events;
    std::unique_ptr<BTFunctions> bt;
};

struct MacCase {
    const char* name;
    std::string macAddress;  // as the accessory gives it
    std::string modelNumber; // a long one carries the address
    std::string asked;
    bool found;
};

void PrintTo(const MacCase& c, std::ostream* os) { *os << c.name; }

class BTFunctionsMac : public BTFunctionsTest, public ::testing::WithParamInterface<MacCase> {};

TEST_P(BTFunctionsMac, ChoosesThePrinterByItsAddress) {
    const MacCase& c = GetParam();
    auto printer = fake->plugIn("Printer", kPrinterProtocol, c.macAddress, c.modelNumber);
    EXPECT_EQ(bt->getEAAccessory(c.asked, ""), c.found);
    EXPECT_EQ(bt->selectedAccessory(), c.found ? printer : nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BTFunctionsMac,
    ::testing::Values(MacCase{"capitals_found_by_small_letters", "00:11:22:AA:BB:CC", "MPP-R300", "00:11:22:aa:bb:cc",
                              true},
                      MacCase{"small_letters_found_by_capitals", "00:11:22:aa:bb:cc", "", "00:11:22:AA:BB:CC", true},
                      MacCase{"another_address", "00:11:22:AA:BB:CC", "", "00:11:22:AA:BB:CD", false},
                      MacCase{"address_in_a_long_model_number", "", "00:11:22:AA:BB:CD", "00:11:22:aa:bb:cd", true},
                      MacCase{"no_address_at_all", "", "MPP-R300", "00:11:22:AA:BB:CC", false}),
    [](const auto& instance) { return std::string(instance.param.name); });

TEST_F(BTFunctionsTest, AnAllZeroAddressAlsoNeedsTheConnectionIdentifier) {
    auto first = fake->plugIn("First", kPrinterProtocol, "00:00:00:00:00:00");
    auto second = fake->plugIn("Second", kPrinterProtocol, "00:00:00:00:00:00");
    EXPECT_FALSE(bt->getEAAccessory("00:00:00:00:00:00", "999999"));
    EXPECT_TRUE(bt->getEAAccessory("00:00:00:00:00:00", std::to_string(second->connectionID())));
    EXPECT_EQ(bt->selectedAccessory(), second);
    EXPECT_TRUE(bt->getEAAccessory("00:00:00:00:00:00", std::to_string(first->connectionID())));
    EXPECT_EQ(bt->selectedAccessory(), first);
}

TEST_F(BTFunctionsTest, AnAccessoryWithoutThePrinterProtocolsIsNeverChosen) {
    auto reader = fake->plugIn("Reader", {"com.calder.reader"}, "00:11:22:AA:BB:CC");
    EXPECT_FALSE(bt->getEAAccessory("00:11:22:AA:BB:CC", ""));
    EXPECT_FALSE(bt->connect("00:11:22:AA:BB:CC", "", 0));
    EXPECT_EQ(fake->sessionsOpened(*reader), 0);
    auto link = fake->plugIn("Link", {"com.calder.reader", BTFunctions::kBTLinkProtocolString}, "00:11:22:AA:BB:CC");
    EXPECT_TRUE(bt->getEAAccessory("00:11:22:AA:BB:CC", ""));
    EXPECT_EQ(bt->selectedAccessory(), link);
    EXPECT_EQ(bt->protocolString(), BTFunctions::kBTLinkProtocolString);
}

TEST_F(BTFunctionsTest, ConnectsSendsAndASecondConnectAnswersNo) {
    auto printer = fake->plugIn("Printer", kPrinterProtocol, "00:11:22:AA:BB:CC");
    auto peer = connectTo(printer);
    ASSERT_TRUE(peer);
    EXPECT_TRUE(bt->isConnected());
    EXPECT_EQ(events.events.front(), "willConnect");
    EXPECT_TRUE(events.allOnMainThread);

    EXPECT_FALSE(bt->connect(printer->macAddress(), "", 0));
    EXPECT_EQ(fake->sessionsOpened(*printer), 1);
    EXPECT_TRUE(bt->isConnected());

    const std::string text = "Hello\r\n";
    EXPECT_EQ(bt->send(reinterpret_cast<const uint8_t*>(text.data()), static_cast<long>(text.size()), true),
              static_cast<long>(text.size()));
    EXPECT_EQ(bt->send(reinterpret_cast<const uint8_t*>("more"), 4), 4);
    EXPECT_TRUE(peer->waitForReceived("Hello\r\nmore"));
}

TEST_F(BTFunctionsTest, ReceivesWhatThePrinterSentAndTimesOutOnSilence) {
    auto printer = fake->plugIn("Printer", kPrinterProtocol, "00:11:22:AA:BB:CC");
    auto peer = connectTo(printer);
    ASSERT_TRUE(peer);
    uint8_t buffer[16] = {};
    EXPECT_EQ(bt->recv(buffer, sizeof buffer, 1.0f), 0); // nothing came within the time-out

    peer->send("status");
    ASSERT_TRUE(test::runMainUntil([&] { return has("bytesAvailable"); }));
    EXPECT_EQ(bt->recv(buffer, 4, 1.0f, 1), 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 4), "stat");
    EXPECT_EQ(bt->readBytesAvailable(), 2);
    EXPECT_EQ(bt->recv(buffer, sizeof buffer, 1.0f), 2);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 2), "us");
}

TEST_F(BTFunctionsTest, RemovalReportsABrokenConnectionThenTheDisconnect) {
    auto other = fake->plugIn("Other", kPrinterProtocol, "00:11:22:AA:BB:00");
    auto printer = fake->plugIn("Printer", kPrinterProtocol, "00:11:22:AA:BB:CC");
    ASSERT_TRUE(connectTo(printer));
    fake->pullOut(other); // not ours: nothing happens
    RunLoop::main().runUntilIdle();
    EXPECT_TRUE(bt->isConnected());

    fake->pullOut(printer);
    ASSERT_TRUE(test::runMainUntil([&] { return has("didDisconnect"); }));
    auto broken = std::find(events.events.begin(), events.events.end(), "didBeBrokenConnection");
    ASSERT_NE(broken, events.events.end());
    EXPECT_LT(broken, std::find(events.events.begin(), events.events.end(), "didDisconnect"));
    EXPECT_EQ(events.errors.back().domain(), interfaceFunctions::kErrorDomain);
    EXPECT_FALSE(bt->isConnected());
    EXPECT_EQ(bt->send(reinterpret_cast<const uint8_t*>("x"), 1, true), -1);
}

TEST_F(BTFunctionsTest, APrinterThatStopsTakingDataEndsAnAbsoluteSendAfterItsTries) {
    auto printer = fake->plugIn("Printer", kPrinterProtocol, "00:11:22:AA:BB:CC");
    auto peer = connectTo(printer);
    ASSERT_TRUE(peer);
    peer->setReading(false);
    // Fill whatever the link can hold; the rest stays buffered.
    std::vector<uint8_t> lots(1 << 20, 'x');
    long taken = bt->send(lots.data(), static_cast<long>(lots.size()), true);
    EXPECT_GT(taken, 0);
    EXPECT_LT(taken, static_cast<long>(lots.size()));

    std::vector<uint8_t> receipt(2000, 'r');
    EXPECT_EQ(bt->send(receipt.data(), static_cast<long>(receipt.size()), true), 0);
    RunLoop::main().runUntilIdle();
    EXPECT_FALSE(has("didBeBrokenConnection"));
    EXPECT_TRUE(bt->isConnected());
}

TEST_F(BTFunctionsTest, ASessionTheAccessoryRefusesIsReportedAndLeavesItClosed) {
    auto printer = fake->plugIn("Printer", kPrinterProtocol, "00:11:22:AA:BB:CC");
    fake->setRefusesSessions(true);
    EXPECT_FALSE(bt->connect(printer->macAddress(), "", 0));
    ASSERT_TRUE(test::runMainUntil([&] { return has("didNotConnectWithError"); }));
    EXPECT_FALSE(bt->isConnected());
    EXPECT_FALSE(bt->selectedAccessory());
    EXPECT_EQ(bt->send(reinterpret_cast<const uint8_t*>("x"), 1), -1);
}

} // namespace

namespace {

// A printer paired over Bluetooth and bound to an RFCOMM device, named by the environment:
// TAVLO_BT_PRINTER_DEVICE (such as /dev/rfcomm0) and TAVLO_BT_PRINTER_MAC (its device address).
TEST(BTFunctionsRealPrinter, ConnectsAndInitialisesTheRealPrinter) {
    const char* device = std::getenv("TAVLO_BT_PRINTER_DEVICE");
    const char* mac = std::getenv("TAVLO_BT_PRINTER_MAC");
    if (!device || !mac)
        GTEST_SKIP() << "no real Bluetooth printer: TAVLO_BT_PRINTER_DEVICE and TAVLO_BT_PRINTER_MAC are not set";
    if (!std::filesystem::exists(device)) GTEST_SKIP() << "no real Bluetooth printer: " << device << " does not exist";
    AccessoryManager::shared().reset();
    RunLoop::main().reset();
    auto serial = SerialAccessories::create({{device, 115200, "Printer", {BTFunctions::kProtocolString}, mac}});
    serial->rescan();
    {
        test::RecordingTransportDelegate events;
        BTFunctions bt;
        bt.setDelegate(&events);
        ASSERT_TRUE(bt.connect(mac, "", 0));
        ASSERT_TRUE(test::runMainUntil(
            [&] { return std::count(events.events.begin(), events.events.end(), "didConnect") == 1; }));
        const uint8_t initialise[] = {0x1B, 0x40};
        EXPECT_EQ(bt.send(initialise, sizeof initialise, true), 2);
        bt.disconnectWithTimeout(2);
        bt.setDelegate(nullptr);
    }
    AccessoryManager::shared().reset();
    RunLoop::main().reset();
}

} // namespace
