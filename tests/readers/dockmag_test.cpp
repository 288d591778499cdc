#include "platform/accessory/AccessoryManager.h"
#include "platform/accessory/SerialAccessories.h"
#include "platform/foundation/ApplicationNotifications.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "readers/dockmag/DockMag.h"
#include "readers/dockmag/EventThreadStarter.h"
#include "readers/dockmag/SwipePacket.h"
#include "support/FakeAccessories.h"
#include "support/RunMainUntil.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

namespace tavlo::dockmag {
namespace {

using test::FakeAccessories;
using test::runMainUntil;

// The reader's notifications, from whichever thread posts them.
class DockMagNotes {
public:
    DockMagNotes() {
        for (const std::string& name :
             {kDidConnectNotification, kDidDisconnectNotification, kDidReceiveDataNotification}) {
            observers_.emplace_back(name, nullptr, [this](const Notification& note) {
                std::lock_guard lock(mutex_);
                notes_.push_back(note);
            });
        }
    }
    size_t count(const std::string& name) const {
        std::lock_guard lock(mutex_);
        return std::count_if(notes_.begin(), notes_.end(), [&](const auto& note) { return note.name == name; });
    }
    std::vector<std::string> data() const {
        std::lock_guard lock(mutex_);
        std::vector<std::string> chunks;
        for (const auto& note : notes_) {
            if (note.name == kDidReceiveDataNotification) chunks.push_back(std::any_cast<std::string>(note.object));
        }
        return chunks;
    }
    std::shared_ptr<Accessory> connectedTo() const {
        std::lock_guard lock(mutex_);
        for (const auto& note : notes_) {
            if (note.name == kDidConnectNotification) return std::any_cast<std::shared_ptr<Accessory>>(note.object);
        }
        return nullptr;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Notification> notes_;
    std::vector<ScopedObserver> observers_;
};

class DockMagTest : public test::AccessoryTest {
protected:
    bool waitForData(size_t chunks) {
        return runMainUntil([&] { return notes.data().size() >= chunks; });
    }

    DockMagNotes notes;
};

TEST_F(DockMagTest, ConnectsToTheFirstAccessoryOfferingTheProtocolOnce) {
    fake->plugIn("printer", {"com.example.print"});
    fake->plugIn("bare", {});
    auto reader = fake->plugIn("reader", {"com.example.print", kReaderProtocol});
    auto second = fake->plugIn("reader2", {kReaderProtocol});

    DockMag dockMag;
    EXPECT_TRUE(dockMag.dockMagConnected());
    EXPECT_EQ(notes.connectedTo(), reader);
    EXPECT_EQ(fake->sessionsOpened(*reader), 1);
    {
        DockMag again; // a second initialisation while connected
        EXPECT_EQ(fake->sessionsOpened(*reader), 1);
        EXPECT_EQ(fake->sessionsOpened(*second), 0);
        EXPECT_EQ(notes.count(kDidConnectNotification), 1u);
    }
    // Destroying any DockMag lets go of the reader for all of them.
    EXPECT_FALSE(dockMag.dockMagConnected());
    EXPECT_EQ(notes.count(kDidDisconnectNotification), 1u);
}

TEST_F(DockMagTest, NothingToConnectToPostsNothingUntilTheReaderIsPluggedIn) {
    DockMag dockMag;
    EXPECT_FALSE(dockMag.dockMagConnected());
    EXPECT_EQ(notes.count(kDidConnectNotification), 0u);
    EXPECT_EQ(dockMag.SendCMDGetVersion(), std::nullopt);

    auto reader = fake->plugIn("reader", {kReaderProtocol});
    EXPECT_TRUE(dockMag.dockMagConnected());
    EXPECT_EQ(notes.connectedTo(), reader);
}

TEST_F(DockMagTest, ChunksArriveAsNotificationsOnTheMainThread) {
    auto reader = fake->plugIn("reader", {kReaderProtocol});
    DockMag dockMag;
    auto peer = fake->peer(*reader);
    std::thread::id postedOn;
    ScopedObserver where(kDidReceiveDataNotification, nullptr,
                         [&](const Notification&) { postedOn = std::this_thread::get_id(); });

    peer->send("%B4111111111111111^CARD/TEST^2512?");
    ASSERT_TRUE(waitForData(1));
    peer->send(";4111111111111111=2512?");
    ASSERT_TRUE(waitForData(2));
    EXPECT_EQ(notes.data(),
              (std::vector<std::string>{"%B4111111111111111^CARD/TEST^2512?", ";4111111111111111=2512?"}));
    EXPECT_EQ(postedOn, std::this_thread::get_id());
}

TEST_F(DockMagTest, ChunkDuringACommandIsItsReply) {
    auto reader = fake->plugIn("reader", {kReaderProtocol});
    DockMag dockMag;
    auto peer = fake->peer(*reader);
    const std::string serialFrame("\x02\x52\x4E\x03\x1D", 5);
    const std::string reply("\x06\x02"
                            "SN0042\x03\x77",
                            10);
    peer->replyTo(serialFrame, reply);

    EXPECT_EQ(dockMag.SendCMDGetSerialNumber(), reply);
    EXPECT_EQ(peer->received(), serialFrame);

    peer->send(";5500=2201?");
    ASSERT_TRUE(waitForData(1));
    EXPECT_EQ(notes.data(), std::vector<std::string>{";5500=2201?"}) << "the reply is not card data";
}

TEST_F(DockMagTest, ACardSwipedWhileACommandWaitsNeverReachesTheLog) {
    auto reader = fake->plugIn("reader", {kReaderProtocol});
    DockMag dockMag;
    auto peer = fake->peer(*reader);
    const std::string versionFrame("\x02\x52\x22\x03\x71", 5);
    const std::string serialFrame("\x02\x52\x4E\x03\x1D", 5);
    // The person swipes just as the first command goes out; the second gets its own reply.
    peer->replyTo(versionFrame, ";4111111111111111=2512?");
    peer->replyTo(serialFrame, std::string("\x06\x02"
                                           "SN0042\x03\x77",
                                           10));
    DockMag::enableLogging(true);
    ::testing::internal::CaptureStderr();
    dockMag.SendCMDGetVersion();
    dockMag.SendCMDGetSerialNumber();
    const std::string lines = ::testing::internal::GetCapturedStderr();
    DockMag::enableLogging(false);
    EXPECT_EQ(lines.find(hexEncode("1111")), std::string::npos) << lines;
    EXPECT_EQ(lines.find("1111"), std::string::npos) << lines;
    EXPECT_NE(lines.find("--- received card data: 23 bytes"), std::string::npos) << lines;
    EXPECT_NE(lines.find("--- received Data: 10 bytes: [0602534e303034320377]"), std::string::npos) << lines;
}

TEST(DockMagFrame, FramesEveryCommandWithTheXorOfAllBytesBeforeIt) {
    struct Case {
        std::string command;
        std::string frame;
    };
    const Case cases[] = {
        {"RN", std::string("\x02\x52\x4E\x03\x1D", 5)},
        {"R\"", std::string("\x02\x52\x22\x03\x71", 5)},
        {"X", std::string("\x02\x58\x03\x59", 4)}, // a one-byte command too
        {"", std::string("\x02\x03\x01", 3)},
    };
    for (const Case& c : cases) EXPECT_EQ(DockMag::preparePacket(c.command), c.frame) << c.command;
}

TEST_F(DockMagTest, StreamErrorReopensOnceThenPostsDisconnect) {
    auto reader = fake->plugIn("reader", {kReaderProtocol});
    DockMag dockMag;
    fake->peer(*reader)->hangUp();
    ASSERT_TRUE(runMainUntil([&] { return fake->sessionsOpened(*reader) == 2 && dockMag.dockMagConnected(); }));
    EXPECT_EQ(notes.count(kDidDisconnectNotification), 0u);

    fake->peer(*reader)->send("%B1?");
    ASSERT_TRUE(waitForData(1)) << "the reopened session reads";

    fake->setRefusesSessions(true);
    fake->peer(*reader)->hangUp();
    ASSERT_TRUE(runMainUntil([&] { return notes.count(kDidDisconnectNotification) == 1; }));
    EXPECT_FALSE(dockMag.dockMagConnected());
    EXPECT_EQ(fake->sessionsOpened(*reader), 2);
}

TEST_F(DockMagTest, OnlyItsOwnAccessoryLeavingDisconnects) {
    auto other = fake->plugIn("other", {kReaderProtocol});
    auto reader = fake->plugIn("reader", {kReaderProtocol});
    fake->pullOut(other); // before the reader is used: the session goes to `reader`
    DockMag dockMag;
    ASSERT_EQ(notes.connectedTo(), reader);

    auto third = fake->plugIn("third", {kReaderProtocol});
    fake->pullOut(third);
    EXPECT_TRUE(dockMag.dockMagConnected());
    EXPECT_EQ(notes.count(kDidDisconnectNotification), 0u);

    fake->pullOut(reader);
    EXPECT_FALSE(dockMag.dockMagConnected());
    EXPECT_EQ(notes.count(kDidDisconnectNotification), 1u);
}

TEST_F(DockMagTest, ForegroundReconnectsOnlyAfterBackgroundWhileConnected) {
    auto reader = fake->plugIn("reader", {kReaderProtocol});
    auto& center = NotificationCenter::defaultCenter();
    DockMag dockMag;
    dockMag.disconnect();
    center.post(kApplicationWillEnterForegroundNotification);
    EXPECT_FALSE(dockMag.dockMagConnected()) << "never went to the background while connected";

    dockMag.attemptConnect();
    center.post(kApplicationDidEnterBackgroundNotification);
    EXPECT_FALSE(dockMag.dockMagConnected());
    center.post(kApplicationWillEnterForegroundNotification);
    EXPECT_TRUE(dockMag.dockMagConnected());
    EXPECT_EQ(fake->sessionsOpened(*reader), 3);
}

// A serial reader at 9600 baud on a pseudo-terminal, listed under a link of its own.
class SerialDockMagTest : public DockMagTest {
protected:
    void SetUp() override {
        DockMagTest::SetUp();
        std::filesystem::create_symlink(device.devicePath(), link);
        serial = SerialAccessories::create({{link, 9600, "dock reader", {kReaderProtocol}}});
        serial->rescan();
    }

    test::TempHome home;
    test::PseudoTerminalPeer device;
    std::filesystem::path link = home.path() / "ttyReader";
    std::shared_ptr<SerialAccessories> serial;
};

TEST_F(SerialDockMagTest, SerialReaderOnAPseudoTerminalConnectsSwipesAndLeaves) {
    DockMag dockMag;
    ASSERT_TRUE(dockMag.dockMagConnected());
    EXPECT_EQ(notes.connectedTo()->name(), "dock reader");
    device.send("%B5454545454545454^SERIAL/TEST^2901?");
    ASSERT_TRUE(waitForData(1));
    EXPECT_EQ(notes.data()[0], "%B5454545454545454^SERIAL/TEST^2901?");

    std::filesystem::remove(link);
    serial->rescan();
    EXPECT_FALSE(dockMag.dockMagConnected());
    EXPECT_EQ(notes.count(kDidDisconnectNotification), 1u);
}

// A reader at 9600 baud: the swipe reaches the line in pieces a few milliseconds apart.
void sendInPieces(test::PseudoTerminalPeer& device, const std::string& bytes, size_t pieceSize = 9) {
    for (size_t at = 0; at < bytes.size(); at += pieceSize) {
        device.send(bytes.substr(at, pieceSize));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

TEST_F(SerialDockMagTest, SerialSwipeSentInPiecesIsOneNotificationOfItsCardData) {
    DockMag dockMag;
    ASSERT_TRUE(dockMag.dockMagConnected());

    const std::string tracks = "%B5454545454545454^SERIAL/TEST^2901?;5454545454545454=2901?";
    std::string corrupted = framedSwipePacket(tracks);
    corrupted[10] ^= 0x10; // a bit flipped on the line: the check no longer matches
    struct Case {
        std::string sent;
        std::string posted;
    } cases[] = {
        {framedSwipePacket(tracks), tracks},
        {"\x7f" + framedSwipePacket(tracks), tracks}, // noise before the packet
        {tracks + "\r", tracks},                      // a plain swipe ends at its CR
        {corrupted, SwipePacketAssembler::kErrorMark},
        {framedSwipePacket(tracks).substr(0, 30), SwipePacketAssembler::kErrorMark}, // stops halfway
    };
    size_t expected = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.sent));
        sendInPieces(device, c.sent);
        ASSERT_TRUE(waitForData(++expected));
        // The time-out of an unfinished packet has passed: no second notification follows.
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        RunLoop::main().runUntilIdle();
        ASSERT_EQ(notes.data().size(), expected);
        EXPECT_EQ(notes.data().back(), c.posted);
    }
}

TEST_F(DockMagTest, SynchronousCommandReadsItsReplyAndPostsASwipeThatCameFirst) {
    auto reader = fake->plugIn("reader", {kReaderProtocol});
    DockMag dockMag;
    auto peer = fake->peer(*reader);
    const std::string serialFrame("\x02\x52\x4E\x03\x1D", 5);
    peer->replyTo(serialFrame, std::string(";4111=2512?\r") + "\x06\x02"
                                                              "SN0042\x03\x77");

    EXPECT_EQ(dockMag.transmitPacket(serialFrame), "SN0042");
    EXPECT_TRUE(waitForData(1));
    EXPECT_EQ(notes.data(), std::vector<std::string>{";4111=2512?"});

    peer->replyTo(std::string("\x02\x58\x03\x59", 4), "\x15");
    EXPECT_EQ(dockMag.transmitPacket(DockMag::preparePacket("X")), "\x15") << "a refusal is a lone NAK";

    // The event thread has the input stream again: a swipe after the command is posted.
    peer->send(framedSwipePacket(";5500=2201?"));
    ASSERT_TRUE(waitForData(2));
    EXPECT_EQ(notes.data().back(), ";5500=2201?");
}

TEST(EventThreadStarterTest, StartAndStopTwiceOnlyWarn) {
    EventThreadStarter starter;
    starter.start();
    RunLoop* loop = starter.runloop();
    ASSERT_NE(loop, nullptr);
    starter.start();
    EXPECT_EQ(starter.runloop(), loop);
    std::thread::id ranOn;
    loop->perform([&] { ranOn = std::this_thread::get_id(); }, true);
    EXPECT_NE(ranOn, std::this_thread::get_id());
    starter.stop();
    EXPECT_FALSE(starter.isRunning());
    EXPECT_EQ(starter.runloop(), nullptr);
    starter.stop();
}

} // namespace
} // namespace tavlo::dockmag
