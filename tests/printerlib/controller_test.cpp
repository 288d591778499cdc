#include "ControllerFixture.h"
#include "platform/foundation/Clock.h"
#include "printerlib/iController.h"
#include "support/LoopbackListener.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <ostream>
#include <thread>

using namespace tavlo;
using namespace tavlo::printerlib;
using test::PrinterBytes;

namespace {

using ControllerTest = test::ControllerFixture;
using test::TestModel;

// --- status blocks

struct StatusCase {
    const char* name;
    PrinterBytes bytes;
    long drawerOpenLevel;
    long consumed;
    long state;
};

void PrintTo(const StatusCase& c, std::ostream* os) { *os << c.name; }

class StatusBlocks : public ControllerTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(StatusBlocks, StateComesFromTheBlocks) {
    const StatusCase& c = GetParam();
    controller.setState(0x7FFF);
    controller.setDrawerOpenLevel(c.drawerOpenLevel);
    EXPECT_EQ(controller.processDataStatus(c.bytes.data(), static_cast<long>(c.bytes.size())), c.consumed);
    if (c.consumed > 0) { EXPECT_EQ(controller.state(), c.state); }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StatusBlocks,
    ::testing::Values(
        StatusCase{"normalWithDrawerSignalLowMeaningOpen", {0x10, 0x00, 0x00, 0x0F}, 0, 4, 0x200},
        StatusCase{"normalWithDrawerSignalLowMeaningClosed", {0x10, 0x00, 0x00, 0x0F}, 1, 4, 0},
        StatusCase{"offlineAndNoPaper", {0x18, 0x00, 0x01, 0x0F}, 1, 4, 0x101},
        StatusCase{"drawerSignalHighMeaningOpen", {0x14, 0x00, 0x00, 0x0F}, 1, 4, 0x200},
        StatusCase{"drawerSignalHighMeaningClosed", {0x14, 0x00, 0x00, 0x0F}, 0, 4, 0},
        StatusCase{"coverOpen", {0x30, 0x00, 0x00, 0x0F}, 1, 4, 0x002},
        StatusCase{"paperFedByTheButtonIsOnlyNoted", {0x50, 0x00, 0x00, 0x0F}, 1, 4, 0},
        StatusCase{"twoBlocksTheLastCounts", {0x30, 0x00, 0x00, 0x0F, 0x10, 0x00, 0x0C, 0x0F, 0x41}, 1, 8, 0x001},
        StatusCase{"notABlockWithoutItsEndByte", {0x10, 0x00, 0x00, 0x0E}, 1, 0, 0},
        StatusCase{"notABlockWithTooHighASensorByte", {0x10, 0x00, 0x10, 0x0F}, 1, 0, 0},
        StatusCase{"notABlockWithOtherBits", {0x11, 0x00, 0x00, 0x0F}, 1, 0, 0},
        StatusCase{"tooShort", {0x10, 0x00, 0x00}, 1, 0, 0}),
    [](const ::testing::TestParamInfo<StatusCase>& instance) { return std::string(instance.param.name); });

TEST_F(ControllerTest, AStatusBlockFollowedByDataLeavesTheDataQueued) {
    controller.setDrawerOpenLevel(1);
    keepConnection();
    ASSERT_TRUE(printer.sendToClient({0x18, 0x00, 0x01, 0x0F, 0x41, 0x42}));
    uint8_t buffer[8] = {};
    EXPECT_EQ(controller.recv(buffer, 2), 2);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 2), "AB");
    EXPECT_EQ(controller.state(), 0x101);
    EXPECT_FALSE(controller.canISendImage());
    ASSERT_TRUE(test::runMainUntil([&] { return !events.states.empty(); }));
    EXPECT_EQ(events.states, (std::vector<long>{0x101}));
}

TEST_F(ControllerTest, TheStateIsKeptWithoutADelegate) {
    controller.setDelegate(nullptr);
    const uint8_t coverOpen[] = {0x30, 0x00, 0x00, 0x0F};
    EXPECT_EQ(controller.processDataStatus(coverOpen, 4), 4);
    EXPECT_EQ(controller.state(), 0x202);
    EXPECT_FALSE(controller.canISendImage());
}

// --- automatic status back

TEST_F(ControllerTest, EnableLSBSucceedsOnTheFirstStatusBlock) {
    keepConnection();
    EXPECT_EQ(controller.enableLSB(true), OVL_SUCCESS);
    EXPECT_TRUE(controller.isSetLSB());
    EXPECT_TRUE(controller.readyLSB());
    EXPECT_EQ(lastConnection(), (PrinterBytes{0x1D, 0x61, 0x01}));
    EXPECT_EQ(controller.recvQueue().length(), 0); // the block was taken as status

    EXPECT_EQ(controller.lsbPause(false), OVL_SUCCESS);
    EXPECT_FALSE(controller.isSetLSB());
    EXPECT_EQ(controller.lsbPause(true), OVL_SUCCESS);
    EXPECT_TRUE(controller.isSetLSB());
}

TEST_F(ControllerTest, EnableLSBGivesUpAfterItsWait) {
    printer.setStatusBackAnswer(std::nullopt);
    keepConnection();
    Date start = Date::now();
    EXPECT_EQ(controller.enableLSB(true), OVL_READ_ERROR);
    EXPECT_GE(Date::now().secondsSince(start), iController::LSBWaitSeconds);
    EXPECT_FALSE(controller.isSetLSB());
}

TEST_F(ControllerTest, EnableLSBNeedsAKeptConnection) {
    EXPECT_EQ(controller.enableLSB(true), OVL_STATUS_ERROR);
    EXPECT_TRUE(printer.connections().empty());
}

// --- connection

TEST_F(ControllerTest, EachCommandConnectsAndDisconnectsByItself) {
    EXPECT_EQ(controller.openDrawer(), OVL_SUCCESS);
    EXPECT_EQ(controller.lineFeed(2), OVL_SUCCESS);
    EXPECT_FALSE(controller.transport().isConnected());
    ASSERT_TRUE(printer.waitUntil([&] { return printer.connections().size() == 2 && !printer.clientConnected(); }));
    auto connections = printer.connections();
    EXPECT_EQ(connections[0], (PrinterBytes{0x1B, 0x70, 0x00, 0x64, 0x90, 0x00}));
    EXPECT_EQ(connections[1], (PrinterBytes{0x0A, 0x0A}));
}

TEST_F(ControllerTest, ACommandThatCannotConnectAnswers105) {
    target->setPort(static_cast<uint16_t>(test::LoopbackListener::closedPort()));
    EXPECT_EQ(controller.printText("A"), OVL_CONNECT_ERROR);
    EXPECT_EQ(controller.openDrawer(), OVL_CONNECT_ERROR);
    EXPECT_FALSE(controller.transport().isConnected());
    ASSERT_TRUE(test::runMainUntil([&] { return events.events.size() >= 2; }));
    EXPECT_EQ(events.events, (std::vector<std::string>{"didNotConnectWithError", "didNotConnectWithError"}));
    EXPECT_EQ(events.errors[0].domain(), "OVL");
}

TEST_F(ControllerTest, AKeptConnectionReportsItsEventsAndStaysOpenBetweenCommands) {
    keepConnection();
    EXPECT_EQ(controller.openDrawer(), OVL_SUCCESS);
    EXPECT_EQ(controller.lineFeed(1), OVL_SUCCESS);
    ASSERT_TRUE(printer.waitUntil([&] { return lastConnection().size() == 7; }));
    EXPECT_EQ(printer.connections().size(), 1u);
    ASSERT_TRUE(test::runMainUntil([&] { return controller.isConnected(); }));
    controller.disconnect();
    ASSERT_TRUE(test::runMainUntil([&] { return events.events.size() >= 3; }));
    EXPECT_EQ(events.events, (std::vector<std::string>{"willConnect", "didConnect", "didDisconnect"}));
    EXPECT_FALSE(controller.isConnected());
}

TEST_F(ControllerTest, ThePrinterGoingAwayIsABrokenConnection) {
    keepConnection();
    ASSERT_TRUE(test::runMainUntil([&] { return controller.isConnected(); }));
    printer.closeClient();
    ASSERT_TRUE(test::runMainUntil([&] { return events.events.size() >= 4; }));
    EXPECT_EQ(events.events,
              (std::vector<std::string>{"willConnect", "didConnect", "didBeBrokenConnection", "didDisconnect"}));
    EXPECT_FALSE(controller.isConnected());
    EXPECT_FALSE(controller.hasReadThread()) << "the connection's read thread went with it";
    EXPECT_EQ(controller.openDrawer(), OVL_WRITE_ERROR); // kept mode does not connect again by itself
}

struct RefusedCase {
    const char* name;
    uint16_t connectionClass;
    long autoConnection;
    long interface;
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class RefusedTargets : public ControllerTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedTargets, AreNotConnectedAndNothingStaysOpen) {
    const RefusedCase& c = GetParam();
    iController other(c.interface);
    other.setDelegate(&events);
    target->setConnectionClass(c.connectionClass);
    other.setTarget(target);
    other.setAutoConnection(c.autoConnection);
    EXPECT_FALSE(other.connect());
    EXPECT_FALSE(other.transport().isConnected());
    if (c.autoConnection < iController::kKeepConnection) { EXPECT_EQ(other.printText("A"), OVL_CONNECT_ERROR); }
    ASSERT_TRUE(test::runMainUntil([&] { return !events.events.empty(); }));
    EXPECT_EQ(events.events.front(), "didNotConnectWithError");
    EXPECT_EQ(events.errors.front().domain(), "OVL");
    EXPECT_TRUE(printer.connections().empty());
    other.setDelegate(nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedTargets,
    ::testing::Values(RefusedCase{"bluetoothPerCommand", OVPrinter::Bluetooth, 0, iController::BluetoothInterface},
                      RefusedCase{"bluetoothOverTcp", OVPrinter::Bluetooth, iController::kKeepConnection,
                                  iController::TcpInterface},
                      RefusedCase{"networkPrinterOverBluetooth", OVPrinter::Tcp, iController::kKeepConnection,
                                  iController::BluetoothInterface}),
    [](const ::testing::TestParamInfo<RefusedCase>& instance) { return std::string(instance.param.name); });

TEST_F(ControllerTest, APrinterTheModelRefusesDoesNotStayConnected) {
    controller.available = false;
    controller.setAutoConnection(iController::kKeepConnection);
    EXPECT_FALSE(controller.connect());
    EXPECT_FALSE(controller.transport().isConnected());
    EXPECT_TRUE(printer.waitUntil([&] { return printer.connections().size() == 1 && !printer.clientConnected(); }));
    controller.available = true;
    EXPECT_TRUE(controller.connect());
}

TEST_F(ControllerTest, ANoticeOfANewTargetIsChecked) {
    int checks = 0;
    struct Counting : TestModel {
        int* checks;
        bool isAvailablePrinter() override { return ++*checks, true; }
    } model;
    model.checks = &checks;
    model.setTarget(target);
    model.setAutoConnection(iController::kKeepConnection);
    ASSERT_TRUE(model.connect());
    model.disconnect();
    ASSERT_TRUE(model.connect());
    EXPECT_EQ(checks, 1);
    NotificationCenter::defaultCenter().post(iController::kChangeNotification);
    model.disconnect();
    ASSERT_TRUE(model.connect());
    EXPECT_EQ(checks, 2);
    model.disconnect();
}

// --- card records

TEST_F(ControllerTest, ACardRecordInPiecesIsReadWholeBeforeTheStatusAndTheRest) {
    controller.setDrawerOpenLevel(1);
    keepConnection();
    ASSERT_TRUE(printer.sendToClient({0x02, 'T', '1'}));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_TRUE(printer.sendToClient({'2', 0x03, 0x30, 0x00, 0x00, 0x0F, 'Z'}));
    uint8_t rest[4] = {};
    EXPECT_EQ(controller.recv(rest, 1), 1);
    EXPECT_EQ(rest[0], 'Z');
    EXPECT_EQ(controller.cardTracks(), (std::vector<std::string>{"T12"}));
    EXPECT_EQ(controller.state(), OVL_STS_COVER_OPEN);
}

TEST_F(ControllerTest, ACardRecordThatNeverEndsIsHandedOnAfterThreeQuietReads) {
    keepConnection();
    ASSERT_TRUE(printer.sendToClient({0x02, 'X'}));
    uint8_t held[4] = {};
    Date start = Date::now();
    controller.recvQueue().setTimeout(60.0f); // the three reads take longer than a timed pop waits
    EXPECT_EQ(controller.recvQueue().pop(held, 2), 2);
    EXPECT_EQ(held[0], 0x02);
    EXPECT_EQ(held[1], 'X');
    EXPECT_GE(Date::now().secondsSince(start), 3.0);
    EXPECT_TRUE(controller.cardTracks().empty());
}

// --- disconnecting after the printer is done

TEST_F(ControllerTest, DisconnectingWaitsForTheCoverStatus) {
    keepConnection();
    controller.coverChecks = {OVL_READ_ERROR, OVL_READ_ERROR, OVL_SUCCESS};
    controller.disconnectWithTimeout(5);
    EXPECT_EQ(controller.checks, 3);
    EXPECT_FALSE(controller.transport().isConnected());
}

TEST_F(ControllerTest, DisconnectingGivesUpWaitingAfterItsSeconds) {
    keepConnection();
    controller.coverChecks = {OVL_READ_ERROR};
    Date start = Date::now();
    controller.disconnectWithTimeout(2);
    EXPECT_GE(Date::now().secondsSince(start), 2.0);
    EXPECT_FALSE(controller.transport().isConnected());

    keepConnection();
    controller.checks = 0;
    controller.coverChecks = {OVL_WRITE_ERROR}; // the connection itself failed: no more polling
    controller.disconnectWithTimeout(-1);
    EXPECT_EQ(controller.checks, 1);
    EXPECT_FALSE(controller.transport().isConnected());
}

// --- keep-alive

TEST_F(ControllerTest, TheKeepAliveGoesOutAfterTheInactivityTimeWhileTheReaderIsArmed) {
    target->setInactivityTime(10);
    controller.armed = true;
    Date start = Date::now();
    keepConnection();
    ASSERT_TRUE(printer.waitUntil([&] { return !lastConnection().empty(); }));
    EXPECT_EQ(lastConnection(), (PrinterBytes{0x00}));
    // Nine quiet reads of one second each came first.
    EXPECT_GE(Date::now().secondsSince(start), 9.0);
}

struct QuietCase {
    const char* name;
    uint16_t inactivityTime;
    bool armed;
};

void PrintTo(const QuietCase& c, std::ostream* os) { *os << c.name; }

class NoKeepAlive : public ControllerTest, public ::testing::WithParamInterface<QuietCase> {};

TEST_P(NoKeepAlive, IsSent) {
    target->setInactivityTime(GetParam().inactivityTime);
    controller.armed = GetParam().armed;
    keepConnection();
    Clock::current().sleepFor(15.0);
    EXPECT_TRUE(lastConnection().empty());
    EXPECT_TRUE(controller.transport().isConnected());
}

INSTANTIATE_TEST_SUITE_P(Cases, NoKeepAlive,
                         ::testing::Values(QuietCase{"withInactivityZero", 0, true},
                                           QuietCase{"withTheReaderNotArmed", 10, false}),
                         [](const ::testing::TestParamInfo<QuietCase>& instance) {
                             return std::string(instance.param.name);
                         });

} // namespace
