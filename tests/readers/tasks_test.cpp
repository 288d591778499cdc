#include "readers/JackMagFixture.h"
#include "readers/jackmag/IdleTimer.h"
#include "readers/jackmag/TaskConnect.h"
#include "readers/jackmag/TaskGetBatteryLevel.h"
#include "readers/jackmag/TaskSwipe.h"
#include "readers/jackmag/TaskUpdateFirmware.h"

#include <chrono>
#include <fstream>
#include <future>

namespace tavlo::jackmag {
namespace {

using test::JackMagFixture;

Bytes hex(const std::string& text) { return *bytesFromHex(text); }

Bytes trackReply(uint8_t status, const std::string& track) {
    Bytes reply(track.size() + 1, status);
    std::copy(track.begin(), track.end(), reply.begin() + 1);
    return reply;
}

class JackMagTasksTest : public JackMagFixture {};

TEST_F(JackMagTasksTest, ConnectPostsPoweringThenConnectedAndPlaysThePowerTone) {
    plugAndConnect();
    EXPECT_TRUE(engine->getConnectionStatus());
    EXPECT_EQ(engine->getRunningTask(), 0);
    EXPECT_EQ(notes.names(), (std::vector<std::string>{notes::kAttachment, notes::kPowering, notes::kDidConnect}));
    EXPECT_EQ(reader.commands(), (std::vector<Bytes>{hex(frames::kSetChannel)}));
    EXPECT_EQ(engine->tone_get(), 1);
    EXPECT_EQ(test::ReaderSimulator::toneFrequency(audio->playedWaves().back()), 2000);
}

TEST_F(JackMagTasksTest, ConnectThroughTheToneStepWhenTheReaderGreetsIt) {
    audio->plugHeadset(true);
    std::string greeting = "MPPMSR1";
    reader.answerTone = [&](int frequency) -> std::optional<Bytes> {
        if (frequency == 2400) return Bytes(greeting.begin(), greeting.end());
        return std::nullopt;
    };
    ASSERT_EQ(engine->startJackMag(true), JMRET_SUCCESS);
    ASSERT_TRUE(waitFor(notes::kDidConnect));
    EXPECT_TRUE(engine->getConnectionStatus());
    EXPECT_EQ(engine->tone_get(), 2); // this reader keeps the 2400 Hz tone
}

TEST_F(JackMagTasksTest, SilentReaderTimesTheConnectOutAfterThreeTones) {
    audio->plugHeadset(true);
    int tones = 0;
    reader.answerTone = [&](int) -> std::optional<Bytes> {
        ++tones;
        return std::nullopt;
    };
    Date start = Date::now();
    ASSERT_EQ(engine->startJackMag(true), JMRET_SUCCESS);
    ASSERT_TRUE(waitFor(notes::kTimeout));
    EXPECT_FALSE(engine->getConnectionStatus());
    EXPECT_EQ(tones, 3);
    // 1.5 s channel + 3 x 1.6 s tones + 4 pauses of 0.4 s of the test's clock, give or take a take.
    EXPECT_NEAR(Date::now().secondsSince(start), 1.5 + 3 * 1.6 + 4 * 0.4, 1.0);
}

TEST(JackMagReplyClasses, ConnectRepliesByClass) {
    struct Case {
        Bytes reply;
        int expected;
    };
    auto text = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
    Bytes version(15, 0x30);
    version[0] = 0x06;
    version[1] = 'V';
    for (const Case& c : {Case{text("xxMPPMSR1"), 3}, Case{text("MPPMSR3"), 5}, Case{text("MPPMSR"), 4},
                          Case{{0x06, 'V'}, 1}, Case{version, 1}, Case{{0x15, 0x22}, 1}, Case{{0x06}, 2},
                          Case{{0x06, '9', '6', '0', '0', 0x00}, 2}, Case{{0x06, 0x06}, 0}, Case{{}, 0}}) {
        EXPECT_EQ(TaskConnect::replyClass(c.reply), c.expected) << test::Bytes(c.reply).size();
    }
}

TEST_F(JackMagTasksTest, SwipeReturnsTheCardDataWithoutTheStatusByte) {
    plugAndConnect();
    ASSERT_EQ(engine->requestSwipe(), JMRET_SUCCESS);
    EXPECT_EQ(engine->getRunningTask(), 2);
    waitUntilRecording();
    std::string track = "%B4111111111111111^TEST/CARD^2912101?;4111111111111111=2912101?\r";
    reader.send(trackReply(0x06, "%B41111^BAD")); // an invalid read first: the swipe keeps listening
    reader.send(trackReply(0x06, track));
    ASSERT_TRUE(waitFor(notes::kDidReceiveData));
    const Notification* data = notes.last(notes::kDidReceiveData);
    EXPECT_EQ(std::any_cast<Bytes>(data->object), Bytes(track.begin(), track.end()));
    EXPECT_EQ(engine->getFlagByte(), (Bytes{0x06}));
    EXPECT_EQ(notes.count(notes::kSwipe), 1u);
    EXPECT_EQ(notes.count(notes::kDataProcessing), 1u);
    EXPECT_EQ(notes.count(notes::kInvalidSwipe), 1u) << "the invalid read is told";
    EXPECT_EQ(engine->getRunningTask(), 0);
}

TEST_F(JackMagTasksTest, ASwipeLeavesNeitherItsSoundNorItsBytesBehindWhateverTheDebugSwitches) {
    plugAndConnect();
    auto folder = test::scratchFolder("swipe-wave");
    ASSERT_TRUE(engine->setWavePath((folder / "reader.wav").string()));
    JackMagEngine::enableLogging(true);
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(engine->requestSwipe(), JMRET_SUCCESS);
    waitUntilRecording();
    reader.send(trackReply(0x06, "%B4111111111111111^TEST/CARD^2912101?;4111111111111111=2912101?\r"));
    const bool received = waitFor(notes::kDidReceiveData);
    const std::string lines = ::testing::internal::GetCapturedStderr();
    JackMagEngine::enableLogging(false);
    ASSERT_TRUE(received);
    EXPECT_NE(lines.find("[JM Info] RD: read 65 bytes\n"), std::string::npos) << lines;
    EXPECT_EQ(lines.find(" 34 31 31 31"), std::string::npos) << lines;
    EXPECT_EQ(lines.find("1111"), std::string::npos) << lines;
    EXPECT_FALSE(std::filesystem::exists(folder / "reader.wav"));
}

TEST_F(JackMagTasksTest, SwipeTimesOutOnTheTestClock) {
    plugAndConnect();
    engine->setSwipeTimeoutDuration(15);
    Date start = Date::now();
    ASSERT_EQ(engine->requestSwipe(), JMRET_SUCCESS);
    ASSERT_TRUE(waitFor(notes::kTimeoutSwipe));
    EXPECT_NEAR(Date::now().secondsSince(start), 15.0, BQ::kTakeWait + 0.01);
    EXPECT_EQ(notes.count(notes::kDidReceiveData), 0u);
}

TEST(JackMagSwipeCheck, ClearAndEncryptedData) {
    struct Case {
        Bytes data;
        bool valid;
    };
    Bytes encrypted = {0x02, 0x11, 0x22, 0x33, 0x44, 0x33 ^ 0x44, 0x33 + 0x44, 0x03};
    Bytes wrongSum = encrypted;
    wrongSum[6] ^= 1;
    Bytes wrongXor = encrypted;
    wrongXor[5] ^= 1;
    for (const Case& c : {Case{{'%', 'B', 0x0D}, true}, Case{{';', '1', 0x0D}, true}, Case{{0x7F, 0x0D}, true},
                          Case{{'%', 'B', '?'}, false}, Case{{0x02, 0x03}, false}, Case{encrypted, true},
                          Case{wrongSum, false}, Case{wrongXor, false}, Case{{}, false}}) {
        EXPECT_EQ(TaskSwipe::isValidSwipe(c.data), c.valid) << c.data.size();
    }
}

TEST_F(JackMagTasksTest, CommandAnswersWithTheReplyOrTimesOutAfterItsSetting) {
    audio->plugHeadset(true);
    // The reader answers once the test has seen the command running: an answer at once could
    // end the task before the check.
    std::promise<void> seenRunning;
    std::shared_future<void> seen = seenRunning.get_future().share();
    reader.answer = [seen](const Bytes& command) -> std::optional<Bytes> {
        seen.wait_for(std::chrono::seconds(5));
        if (command == hex(frames::kGetVersion)) return Bytes{0x06, 'V', '1'};
        return std::nullopt;
    };
    ASSERT_EQ(engine->sendCommandCustom({0x52, 0x22}), JMRET_SUCCESS);
    EXPECT_EQ(engine->getRunningTask(), 3);
    seenRunning.set_value();
    ASSERT_TRUE(waitFor(notes::kDidReceiveCmd));
    EXPECT_EQ(std::any_cast<Bytes>(notes.last(notes::kDidReceiveCmd)->object), (Bytes{0x06, 'V', '1'}));

    ASSERT_TRUE(engine->setCmdTimeoutDuration(9));
    Date start = Date::now();
    ASSERT_EQ(engine->sendCommandSetPrePAN(5), JMRET_SUCCESS);
    ASSERT_TRUE(waitFor(notes::kCommandTimeout));
    EXPECT_NEAR(Date::now().secondsSince(start), 9.0, BQ::kTakeWait + 0.01);
    EXPECT_EQ(reader.commands().back(), (Bytes{0x02, 0x53, 0x49, 0x01, 0x05, 0x03, 0x1F}));
    EXPECT_EQ(notes.count(notes::kCmdSending), 2u);
}

TEST_F(JackMagTasksTest, WithoutAudioInputATaskTimesOutWithItsNotification) {
    plugAndConnect();
    audio->setInputAvailable(false);
    ASSERT_TRUE(engine->setCmdTimeoutDuration(5));
    Date start = Date::now();
    ASSERT_EQ(engine->sendCommandGetVersion(), JMRET_SUCCESS);
    ASSERT_TRUE(waitFor(notes::kCommandTimeout));
    EXPECT_NEAR(Date::now().secondsSince(start), 5.0, 0.2) << "it waits its time: no hurried retries";
    EXPECT_EQ(notes.count(notes::kDidReceiveCmd), 0u);

    engine->setSwipeTimeoutDuration(15);
    ASSERT_EQ(engine->requestSwipe(), JMRET_SUCCESS);
    ASSERT_TRUE(waitFor(notes::kTimeoutSwipe)) << "the mediator arms the reader again on this";
    EXPECT_EQ(engine->getRunningTask(), 0);
}

TEST_F(JackMagTasksTest, ClearBufferSendsItsSecondFrameAfterAnAck) {
    audio->plugHeadset(true);
    reader.answer = [](const Bytes& command) -> std::optional<Bytes> {
        if (command.size() > 30) return Bytes{0x06};
        return Bytes{0x06, 0x10};
    };
    ASSERT_EQ(engine->sendCommandClearBuffer(), JMRET_SUCCESS);
    ASSERT_TRUE(waitFor(notes::kDidReceiveCmd));
    EXPECT_EQ(std::any_cast<Bytes>(notes.last(notes::kDidReceiveCmd)->object), (Bytes{0x06, 0x10}));
    ASSERT_EQ(reader.commands().size(), 2u);
    EXPECT_EQ(reader.commands()[1], hex("0253D1100F55555555555555555555555555556603FA"));
}

TEST_F(JackMagTasksTest, BatteryLevelFromTheSettingsReply) {
    audio->plugHeadset(true);
    int asked = 0;
    reader.answer = [&](const Bytes& command) -> std::optional<Bytes> {
        EXPECT_EQ(command, hex(frames::kGetSettings));
        if (++asked < 2) return std::nullopt; // the first request goes unanswered
        return Bytes{0x06, 0x02, 0x41, 0x01, 0x07, 0x6F, 0x01, 0x55, 0x03, 0x2A};
    };
    auto task = std::make_shared<TaskGetBatteryLevel>(*engine);
    TaskArgs args;
    args.bq = engine->recorderQueue();
    task->setArgs(args);
    task->start();
    ASSERT_TRUE(waitFor(notes::kDidReceiveCmd));
    EXPECT_EQ(std::any_cast<Bytes>(notes.last(notes::kDidReceiveCmd)->object), (Bytes{0x06, 0x55}));
    EXPECT_EQ(asked, 2);
}

TEST(JackMagBattery, ResultFromTagLengthValueEntries) {
    struct Case {
        Bytes reply;
        Bytes result;
    };
    for (const Case& c : {Case{{0x06, 0x02, 0x6F, 0x01, 0x55, 0x00, 0x03, 0x00}, {0x06, 0x55}},
                          Case{{0x06, 0x02, 0x6F, 0x05, 0x55, 0x03, 0x00}, {0x15}},
                          Case{{0x06, 0x02, 0x41, 0x00, 0x6F, 0x02, 0x12, 0x34, 0x03, 0x00}, {0x06, 0x12, 0x34}},
                          Case{{0x15, 0x02, 0x6F, 0x01, 0x55, 0x03, 0x00}, {0x15}}, Case{{0x06}, {0x15}}}) {
        EXPECT_EQ(TaskGetBatteryLevel::batteryResult(c.reply), c.result);
    }
}

// A reader that takes a firmware image: in its application mode it asks for the boot loader,
// acknowledges each block whose CRC is right (block 1 is refused once), and verifies the image.
struct FirmwareReader {
    Bytes key;
    std::vector<Bytes> blocks;
    bool refusedOnce = false;
    bool refuseBlockOneAlways = false;
    std::optional<uint16_t> verifiedCrc;
    uint16_t imageCrc = 0xFFFF;

    std::optional<Bytes> answer(const Bytes& command) {
        if (command == hex(frames::kGetVersion)) return Bytes{0x06, 0x02, 'V', '1', 0x03, 0x00};
        if (command.size() > 5 && Bytes(command.begin(), command.begin() + 5) == hex("02537009FF")) {
            key = Bytes(command.begin() + 5, command.end() - 2);
            return Bytes{0x06};
        }
        if (command.size() == 3 + 256 + 2 && command[0] == 0x5A && command[1] == 0x9A) {
            uint8_t number = command[2];
            Bytes block(command.begin() + 3, command.begin() + 3 + 256);
            uint16_t crc = test::readerCrc(0xFFFF, block);
            if (command[259] != crc >> 8 || command[260] != (crc & 0xFF)) return Bytes{0x15};
            if (number == 1 && (!refusedOnce || refuseBlockOneAlways)) {
                refusedOnce = true;
                return Bytes{0x15, number};
            }
            if (number == blocks.size()) {
                blocks.push_back(block);
                imageCrc = test::readerCrc(imageCrc, block);
            }
            return Bytes{0x06, number};
        }
        if (command.size() == 5 && command[2] == 0xEE) {
            verifiedCrc = static_cast<uint16_t>(command[3] << 8 | command[4]);
            return *verifiedCrc == imageCrc ? Bytes{0x06, 0xEE} : Bytes{0x15};
        }
        return std::nullopt;
    }
};

TEST_F(JackMagTasksTest, FirmwareUpdateOfThreeBlocksWithOneResentAndTheChecksumVerified) {
    struct RecordingIdleTimer : IdleTimer {
        bool disabled = false;
        std::vector<bool> changes;
        bool isIdleTimerDisabled() const override { return disabled; }
        void setIdleTimerDisabled(bool d) override {
            disabled = d;
            changes.push_back(d);
        }
    };
    auto idle = std::make_shared<RecordingIdleTimer>();
    IdleTimer::install(idle);
    Bytes image(3 * 256);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + i / 256);
    auto path = test::scratchFolder("firmware") / "image.bin";
    test::writeFile(path, image);

    plugAndConnect();
    FirmwareReader firmware;
    reader.answer = [&](const Bytes& command) { return firmware.answer(command); };
    ASSERT_TRUE(engine->setFirmwareFile(path.string()));
    ASSERT_EQ(engine->updateFirmware("00112233445566AA"), JMRET_SUCCESS);
    EXPECT_EQ(engine->getRunningTask(), 4);
    ASSERT_TRUE(waitFor(notes::kDidReceiveCmd));
    IdleTimer::install(nullptr);

    EXPECT_EQ(std::any_cast<Bytes>(notes.last(notes::kDidReceiveCmd)->object), (Bytes{0x06, 0xEE}));
    EXPECT_EQ(firmware.key, hex("00112233445566AA"));
    ASSERT_EQ(firmware.blocks.size(), 3u);
    EXPECT_EQ(firmware.blocks[2], Bytes(image.begin() + 512, image.end()));
    EXPECT_EQ(firmware.verifiedCrc, test::readerCrc(0xFFFF, image));

    struct Message {
        int code;
        std::string text;
        std::optional<int> block;
        bool operator==(const Message&) const = default;
    };
    std::vector<Message> messages;
    for (const auto& note : notes.all(notes::kSystemMessage)) {
        auto m = std::any_cast<SystemMessage>(note.object);
        EXPECT_EQ(m.error.domain(), "jackmag.mobile.reader");
        messages.push_back({m.error.code(), m.error.localizedDescription(), m.blockNum});
    }
    EXPECT_EQ(messages, (std::vector<Message>{{21, "Sending block 0x00 data", 0},
                                              {21, "Sending block 0x01 data", 1},
                                              {40, "Resending (1 time) block 0x01", 1},
                                              {21, "Sending block 0x02 data", 2},
                                              {30, "Verifying checksum", std::nullopt}}));
    EXPECT_EQ(idle->changes, (std::vector<bool>{true, false}));
    EXPECT_EQ(engine->tone_get(), 1); // the connected reader's tone is back
}

// The update task run straight on the test's thread with an image the engine's start would
// refuse: only whole blocks are sent.
TEST_F(JackMagTasksTest, FirmwareSendsWholeBlocksOnlyAndGivesUpOnABlockRefusedThreeTimes) {
    audio->plugHeadset(true);
    Bytes image(1000);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i % 251);
    auto run = [&](FirmwareReader& firmware) {
        reader.answer = [&](const Bytes& command) { return firmware.answer(command); };
        auto task = std::make_shared<TaskUpdateFirmware>(*engine);
        TaskArgs args;
        args.bq = engine->recorderQueue();
        args.fw_str = hex("0011223344556677");
        args.fw_file = image;
        task->setArgs(args);
        task->start();
        RunLoop::main().runUntilIdle();
    };

    FirmwareReader whole;
    run(whole);
    ASSERT_EQ(whole.blocks.size(), 3u);
    EXPECT_EQ(whole.verifiedCrc, test::readerCrc(0xFFFF, Bytes(image.begin(), image.begin() + 768)));
    EXPECT_EQ(std::any_cast<Bytes>(notes.last(notes::kDidReceiveCmd)->object), (Bytes{0x06, 0xEE}));

    notes.clear();
    FirmwareReader refusing;
    refusing.refuseBlockOneAlways = true;
    run(refusing);
    auto last = std::any_cast<SystemMessage>(notes.last(notes::kSystemMessage)->object);
    EXPECT_EQ(last.error.code(), 305);
    EXPECT_EQ(last.error.localizedDescription(), "Failed to send block 0x01");
    EXPECT_EQ(last.blockNum, 1);
    EXPECT_EQ(refusing.blocks.size(), 1u);
    EXPECT_FALSE(refusing.verifiedCrc);
    EXPECT_EQ(notes.count(notes::kDidReceiveCmd), 0u);
}

} // namespace
} // namespace tavlo::jackmag
