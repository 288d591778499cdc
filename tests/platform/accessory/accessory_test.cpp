#include "platform/accessory/AccessoryManager.h"
#include "platform/accessory/AccessorySession.h"
#include "platform/accessory/SerialAccessories.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "support/FakeAccessories.h"
#include "support/RunMainUntil.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

namespace tavlo {
namespace {

using test::FakeAccessories;
using test::PseudoTerminalPeer;
using test::runMainUntil;

// Records what a stream tells its delegate, reading whatever bytes wait.
class RecordingDelegate : public StreamDelegate {
public:
    void stream(Stream& stream, StreamEvent event) override {
        events.push_back(event);
        if (event == StreamEventHasBytesAvailable) {
            uint8_t buffer[64];
            ssize_t count = static_cast<InputStream&>(stream).read(buffer, sizeof buffer);
            if (count > 0) bytes.append(reinterpret_cast<char*>(buffer), static_cast<size_t>(count));
        }
    }
    bool saw(StreamEvent event) const { return std::find(events.begin(), events.end(), event) != events.end(); }
    std::vector<StreamEvent> events;
    std::string bytes;
};

using AccessoryLayer = test::AccessoryTest;

TEST_F(AccessoryLayer, ConnectAndDisconnectArePostedOnlyWhileRegistered) {
    std::vector<std::string> seen;
    ScopedObserver connect(AccessoryManager::didConnectNotification, nullptr, [&](const Notification& note) {
        auto accessory = std::any_cast<std::shared_ptr<Accessory>>(note.userInfo.at(AccessoryManager::accessoryKey));
        seen.push_back("+" + accessory->name());
    });
    ScopedObserver disconnect(AccessoryManager::didDisconnectNotification, nullptr, [&](const Notification& note) {
        seen.push_back("-" + std::any_cast<std::shared_ptr<Accessory>>(note.object)->name());
    });

    auto quiet = fake->plugIn("quiet", {"com.example.one"});
    AccessoryManager::shared().registerForLocalNotifications();
    auto reader = fake->plugIn("reader", {"com.example.one", "com.example.two"});
    fake->pullOut(quiet);
    fake->pullOut(quiet); // already gone: nothing
    EXPECT_EQ(seen, (std::vector<std::string>{"+reader", "-quiet"}));

    auto listed = AccessoryManager::shared().connectedAccessories();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0], reader);
    EXPECT_FALSE(quiet->isConnected());
    EXPECT_NE(quiet->connectionID(), reader->connectionID());

    AccessoryManager::shared().unregisterForLocalNotifications();
    fake->pullOut(reader);
    EXPECT_EQ(seen.size(), 2u);
}

TEST_F(AccessoryLayer, SessionRefusesUnknownProtocolAndGoneAccessory) {
    auto reader = fake->plugIn("reader", {"com.example.one"});
    Error error;
    EXPECT_EQ(AccessorySession::open(reader, "com.example.two", &error), nullptr);
    EXPECT_NE(error.localizedDescription().find("does not speak"), std::string::npos);
    fake->setRefusesSessions(true);
    EXPECT_EQ(AccessorySession::open(reader, "com.example.one", &error), nullptr);
    fake->setRefusesSessions(false);
    fake->pullOut(reader);
    EXPECT_EQ(AccessorySession::open(reader, "com.example.one", &error), nullptr);
    EXPECT_EQ(fake->sessionsOpened(*reader), 0);
}

TEST_F(AccessoryLayer, StreamsCarryBytesBothWaysAndReportTheHangUp) {
    auto reader = fake->plugIn("reader", {"com.example.one"});
    auto session = AccessorySession::open(reader, "com.example.one");
    ASSERT_NE(session, nullptr);
    auto peer = fake->peer(*reader);

    RecordingDelegate in;
    RecordingDelegate out;
    session->inputStream()->setDelegate(&in);
    session->outputStream()->setDelegate(&out);
    for (const std::shared_ptr<Stream>& stream :
         std::vector<std::shared_ptr<Stream>>{session->inputStream(), session->outputStream()}) {
        stream->schedule(RunLoop::main(), RunLoop::defaultMode);
        stream->open();
    }
    ASSERT_TRUE(
        runMainUntil([&] { return in.saw(StreamEventOpenCompleted) && out.saw(StreamEventHasSpaceAvailable); }));

    const uint8_t command[] = {0x02, 0x52, 0x4E, 0x03, 0x1D};
    EXPECT_EQ(session->outputStream()->write(command, sizeof command), 5);
    EXPECT_TRUE(peer->waitForReceived(std::string(reinterpret_cast<const char*>(command), sizeof command)));

    peer->send(std::string("%B4111\x00\r\n", 9));
    ASSERT_TRUE(runMainUntil([&] { return in.bytes.size() == 9; }));
    EXPECT_EQ(in.bytes, std::string("%B4111\x00\r\n", 9)) << "raw: no line discipline in between";

    peer->hangUp();
    ASSERT_TRUE(runMainUntil([&] { return in.saw(StreamEventErrorOccurred); }));
    EXPECT_EQ(session->inputStream()->status(), Stream::Status::Error);
    EXPECT_FALSE(session->inputStream()->streamError().localizedDescription().empty());
}

TEST_F(AccessoryLayer, ClosedOrRemovedStreamTellsNothingMore) {
    auto reader = fake->plugIn("reader", {"com.example.one"});
    auto session = AccessorySession::open(reader, "com.example.one");
    ASSERT_NE(session, nullptr);
    RecordingDelegate in;
    auto input = session->inputStream();
    input->setDelegate(&in);
    input->schedule(RunLoop::main(), RunLoop::defaultMode);
    input->open();
    input->close();
    fake->peer(*reader)->send("ignored");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    RunLoop::main().runUntilIdle();
    EXPECT_TRUE(in.events.empty());
    uint8_t buffer[8];
    EXPECT_EQ(input->read(buffer, sizeof buffer), -1);
}

TEST(SerialAccessoriesConfiguration, ReadsGoodLinesAndNamesTheBadOne) {
    test::TempHome home;
    auto file = home.path() / "accessories.conf";
    std::ofstream(file) << "# card reader on the dock\n"
                           "/dev/ttyUSB0 9600 dockReader com.calder.reader\n"
                           "\n"
                           "/dev/rfcomm0 12345 printer com.example.print\n"
                           "/dev/ttyS1 115200 vdock com.varda.vdock com.tillware.tillreader\n"
                           "/dev/ttyS2 9600 lonely\n"
                           "/dev/rfcomm1 115200 printer com.orvan.btlink mac=00:11:22:AA:BB:CC\n";
    Error error;
    auto configs = SerialAccessories::readConfiguration(file, &error);
    ASSERT_EQ(configs.size(), 3u);
    EXPECT_EQ(configs[0].device, "/dev/ttyUSB0");
    EXPECT_EQ(configs[0].name, "dockReader");
    EXPECT_EQ(configs[1].baudRate, 115200);
    EXPECT_EQ(configs[1].protocolStrings, (std::vector<std::string>{"com.varda.vdock", "com.tillware.tillreader"}));
    EXPECT_TRUE(configs[1].macAddress.empty());
    EXPECT_EQ(configs[2].protocolStrings, std::vector<std::string>{"com.orvan.btlink"});
    EXPECT_EQ(configs[2].macAddress, "00:11:22:AA:BB:CC");
    EXPECT_NE(error.localizedDescription().find(":6:"), std::string::npos) << error.localizedDescription();
}

TEST(AccessoryDescription, NamesTheAddressOnlyWhenKnown) {
    Accessory wired("reader", {"com.calder.reader"}, {});
    Accessory paired("printer", {"com.orvan.btlink"}, {}, "00:11:22:AA:BB:CC", "MPP-R300");
    EXPECT_EQ(wired.description().find("macAddress"), std::string::npos);
    EXPECT_NE(paired.description().find("\nmodelNumber: MPP-R300\n"), std::string::npos);
    EXPECT_NE(paired.description().find("\nmacAddress: 00:11:22:AA:BB:CC"), std::string::npos);
}

TEST_F(AccessoryLayer, SerialDeviceComesAndGoesWithItsPathAndOpensRaw) {
    test::TempHome home;
    PseudoTerminalPeer peer;
    auto link = home.path() / "reader0";
    auto serial = SerialAccessories::create({{link, 19200, "reader", {"com.example.one"}}});
    serial->rescan();
    EXPECT_TRUE(AccessoryManager::shared().connectedAccessories().empty());

    std::filesystem::create_symlink(peer.devicePath(), link);
    serial->rescan();
    auto listed = AccessoryManager::shared().connectedAccessories();
    ASSERT_EQ(listed.size(), 1u);
    auto session = AccessorySession::open(listed[0], "com.example.one");
    ASSERT_NE(session, nullptr);
    session->outputStream()->open();
    EXPECT_EQ(session->outputStream()->write(reinterpret_cast<const uint8_t*>("\n"), 1), 1);
    EXPECT_TRUE(peer.waitForReceived("\n"));
    EXPECT_EQ(peer.received(), "\n") << "no carriage return added";

    std::filesystem::remove(link);
    serial->rescan();
    EXPECT_TRUE(AccessoryManager::shared().connectedAccessories().empty());
    EXPECT_FALSE(listed[0]->isConnected());

    Error error;
    EXPECT_EQ(SerialAccessories::openSerialDevice(home.path(), 9600, &error), -1);
    EXPECT_FALSE(error.localizedDescription().empty());
}

TEST_F(AccessoryLayer, ProgramWatchesTheConfiguredSerialDevices) {
    test::TempHome home;
    EXPECT_TRUE(AccessoryManager::shared().watchSerialAccessories(home.path() / "absent.conf"));
    EXPECT_TRUE(AccessoryManager::shared().connectedAccessories().empty());

    PseudoTerminalPeer peer;
    auto link = home.path() / "reader0";
    std::filesystem::create_symlink(peer.devicePath(), link);
    auto file = home.path() / AccessoryManager::configurationFile;
    std::ofstream(file) << link.string() << " 9600 reader com.example.one\n"
                        << "broken line\n";
    Error error;
    EXPECT_FALSE(AccessoryManager::shared().watchSerialAccessories(file, &error));
    EXPECT_NE(error.localizedDescription().find(":2:"), std::string::npos) << error.localizedDescription();
    auto listed = AccessoryManager::shared().connectedAccessories();
    ASSERT_EQ(listed.size(), 1u) << "the readable line is watched";
    EXPECT_EQ(listed[0]->name(), "reader");
}

} // namespace
} // namespace tavlo
