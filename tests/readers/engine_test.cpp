#include "readers/JackMagFixture.h"
#include "readers/jackmag/BQ.h"
#include "readers/jackmag/JmRet.h"

#include <fstream>

namespace tavlo::jackmag {
namespace {

using test::JackMagFixture;

class JackMagEngineTest : public JackMagFixture {
protected:
    // A swipe that records until it is cancelled.
    void startEndlessSwipe() {
        engine->setSwipeTimeoutDuration(0);
        ASSERT_EQ(engine->requestSwipe(), JMRET_SUCCESS);
        waitUntilRecording();
    }
};

TEST(JackMagResults, TextsOfResultCodesReaderTypesAndTaskCodes) {
    EXPECT_EQ(jmRetText(JMRET_SUCCESS), "JMRET_SUCCESS");
    EXPECT_EQ(jmRetText(JMRET_LOW_VOLUME), "JMRET_LOW_VOLUME");
    EXPECT_EQ(jmRetText(JMRET_UF_INVALID_FILE), "JMRET_UF_INVALID_FILE");
    EXPECT_EQ(jmRetText(12), "<unknown code>");
    EXPECT_EQ(jmRetText(-1), "<unknown code>");
    EXPECT_EQ(readerTypeText(1), "JackMag (original)");
    EXPECT_EQ(readerTypeText(4), "Shuttle");
    EXPECT_EQ(readerTypeText(5), "<unknown code>");
    EXPECT_EQ(publicTaskCode(2), 3);
    EXPECT_EQ(publicTaskCode(3), 2);
    EXPECT_EQ(publicTaskCode(9), 0);
}

TEST_F(JackMagEngineTest, NoReaderRefusesEveryStart) {
    EXPECT_EQ(engine->startJackMag(true), JMRET_NO_READER);
    EXPECT_EQ(engine->requestSwipe(), JMRET_NO_READER);
    EXPECT_EQ(engine->sendCommandGetVersion(), JMRET_NO_READER);
    EXPECT_EQ(engine->sendCommandClearBuffer(), JMRET_NO_READER);
    EXPECT_EQ(engine->updateFirmware(""), JMRET_NO_READER);
    EXPECT_EQ(engine->sendCommandCancelJackLinkSwipe(), JMRET_NOT_APPLICABLE);
    settle();
    EXPECT_TRUE(audio->playedWaves().empty());
    EXPECT_TRUE(notes.names().empty());
}

TEST_F(JackMagEngineTest, PluggedButUnconnectedReaderCannotSwipe) {
    audio->plugHeadset(true);
    EXPECT_EQ(engine->requestSwipe(), JMRET_NOT_CONNECTED);
    EXPECT_EQ(engine->getRunningTask(), 0);
    settle();
    EXPECT_EQ(notes.count(notes::kSwipe), 0u);
}

TEST_F(JackMagEngineTest, MonoAudioRefusesConnectAndCommandsWithItsNotification) {
    audio->plugHeadset(true);
    audio->setMonoAudio(true);
    EXPECT_EQ(engine->startJackMag(true), JMRET_MONO_AUDIO);
    EXPECT_EQ(engine->sendCommandGetVersion(), JMRET_MONO_AUDIO);
    settle();
    EXPECT_EQ(notes.count(notes::kMonoAudioError), 2u);
    EXPECT_EQ(notes.count(notes::kPowering), 0u);
    EXPECT_TRUE(reader.commands().empty());
}

TEST_F(JackMagEngineTest, LowVolumeRefusesConnectUnlessTheEngineMayRaiseIt) {
    audio->plugHeadset(true);
    audio->setVolume(0.79f);
    EXPECT_EQ(engine->startJackMag(true), JMRET_LOW_VOLUME);
    audio->setVolume(0.8f);
    EXPECT_EQ(engine->startJackMag(true), JMRET_SUCCESS);
    settle();

    audio->setVolume(0.5f);
    engine->setAutoAdjustVolume(true);
    EXPECT_EQ(engine->startJackMag(true), JMRET_SUCCESS);
    EXPECT_FLOAT_EQ(audio->outputVolume(), 1.0f);
    EXPECT_FLOAT_EQ(engine->getVolumeLevel(), 1.0f);
    settle();
}

TEST_F(JackMagEngineTest, BusyWhileATaskRunsAndAlreadyConnectedAfterwards) {
    plugAndConnect();
    EXPECT_EQ(engine->startJackMag(true), JMRET_ALREADY_CONNECTED);
    startEndlessSwipe();
    EXPECT_EQ(engine->getRunningTask(), 2);
    EXPECT_EQ(engine->requestSwipe(), JMRET_SDK_BUSY);
    EXPECT_EQ(engine->startJackMag(true), JMRET_SDK_BUSY);
    EXPECT_EQ(engine->sendCommandGetVersion(), JMRET_SDK_BUSY);
    EXPECT_EQ(engine->sendCommandClearBuffer(), JMRET_SDK_BUSY);
    EXPECT_FALSE(engine->setWavePath("/tmp/x.wav"));
    EXPECT_EQ(engine->getRunningTask(), 2);
    engine->cancelSwipe();
    EXPECT_EQ(engine->getRunningTask(), 0);
    EXPECT_FALSE(audio->isRecording());
    settle();
    EXPECT_EQ(notes.count(notes::kTimeoutSwipe), 0u); // a cancelled task posts nothing
}

TEST_F(JackMagEngineTest, CommandTimeoutIsStoredOnlyWithinItsRange) {
    struct Case {
        int seconds;
        bool stored;
    };
    for (const Case& c : {Case{2, false}, Case{3, true}, Case{30, true}, Case{31, false}, Case{-5, false}}) {
        EXPECT_EQ(engine->setCmdTimeoutDuration(c.seconds), c.stored) << c.seconds;
    }
    EXPECT_TRUE(engine->setSwipeTimeoutDuration(0));
    EXPECT_TRUE(engine->setSwipeTimeoutDuration(500));
}

TEST_F(JackMagEngineTest, CommandArgumentsAndFirmwareChecks) {
    audio->plugHeadset(true);
    EXPECT_EQ(engine->sendCommandSetPrePAN(3), JMRET_INVALID_ARG);
    EXPECT_EQ(engine->sendCommandSetPrePAN(7), JMRET_INVALID_ARG);
    EXPECT_EQ(engine->sendCommandCustom({}), JMRET_INVALID_ARG);

    auto folder = test::scratchFolder("firmware-checks");
    auto write = [&](const std::string& name, size_t size) {
        std::ofstream(folder / name, std::ios::binary) << std::string(size, 'x');
        return (folder / name).string();
    };
    struct Case {
        std::string key;
        std::optional<std::string> path;
        bool encrypted;
        int result;
    };
    std::string plain16 = "0123456789abcdef";
    for (const Case& c : {Case{"0123", write("a.bin", 256), false, JMRET_UF_INVALID_STR},
                          Case{"0123456789abcdeg", write("b.bin", 256), false, JMRET_UF_INVALID_STR},
                          Case{plain16, write("c.bin", 258), true, JMRET_UF_INVALID_STR},
                          Case{plain16, std::nullopt, false, JMRET_UF_NO_FILE},
                          Case{plain16, (folder / "missing.bin").string(), false, JMRET_UF_NO_FILE},
                          Case{plain16, write("empty.bin", 0), false, JMRET_UF_INVALID_FILE},
                          Case{plain16, write("odd.bin", 1000), false, JMRET_UF_INVALID_FILE},
                          Case{std::string(48, 'A'), write("enc.bin", 512), true, JMRET_UF_INVALID_FILE}}) {
        int result;
        if (c.encrypted) {
            result = engine->updateFirmware2(c.key, c.path.value_or(""));
        } else {
            if (c.path) engine->setFirmwareFile(*c.path);
            else engine->setFirmwareFile("");
            result = engine->updateFirmware(c.key);
        }
        EXPECT_EQ(result, c.result) << c.key << " " << c.path.value_or("(none)");
    }
    EXPECT_EQ(engine->getRunningTask(), 0);
}

TEST_F(JackMagEngineTest, PlugAndUnplugGiveOneNotificationPerChange) {
    audio->plugHeadset(true);
    audio->plugHeadset(true);
    audio->postRouteChange(AudioSession::CategoryChange);
    EXPECT_TRUE(engine->isReaderAttached());
    EXPECT_TRUE(audio->isActive());
    EXPECT_TRUE(audio->receivesRemoteControlEvents());
    audio->plugHeadset(false);
    audio->plugHeadset(false);
    audio->postRouteChange(AudioSession::ReasonUnknown);
    EXPECT_FALSE(engine->isReaderAttached());
    EXPECT_FALSE(audio->isActive());
    EXPECT_FALSE(audio->receivesRemoteControlEvents());
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(notes.names(), (std::vector<std::string>{notes::kAttachment, notes::kDetachment}));
}

TEST_F(JackMagEngineTest, UnplugDuringASwipeStopsItAndDisconnects) {
    plugAndConnect();
    startEndlessSwipe();
    RunLoop::main().runUntilIdle();
    notes.clear();
    audio->plugHeadset(false);
    EXPECT_EQ(engine->getRunningTask(), 0);
    EXPECT_FALSE(engine->getConnectionStatus());
    EXPECT_FALSE(audio->isRecording());
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(notes.names(), (std::vector<std::string>{notes::kDidDisconnect, notes::kDetachment}));
}

TEST_F(JackMagEngineTest, InterruptionStopsTheReaderAndItsEndChangesNothing) {
    plugAndConnect();
    startEndlessSwipe();
    audio->postInterruption(AudioSession::InterruptionBegan);
    EXPECT_EQ(engine->getRunningTask(), 0);
    EXPECT_FALSE(engine->getConnectionStatus());
    audio->postInterruption(AudioSession::InterruptionEnded);
    EXPECT_TRUE(engine->isReaderAttached());
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(notes.count(notes::kDidDisconnect), 1u);
}

TEST_F(JackMagEngineTest, AutoConnectStartsAConnectAtPlugIn) {
    engine->setAutoConnect(true);
    reader.answer = [](const Bytes&) -> std::optional<Bytes> { return Bytes{0x06, 'V'}; };
    audio->plugHeadset(true);
    ASSERT_TRUE(waitFor(notes::kDidConnect));
    // The connect is queued while the plug-in is handled, before its notification.
    EXPECT_EQ(notes.names(), (std::vector<std::string>{notes::kPowering, notes::kAttachment, notes::kDidConnect}));
}

TEST_F(JackMagEngineTest, AConnectRefusedAtPlugInIsTold) {
    engine->setAutoConnect(true);
    audio->setVolume(0.5f);
    audio->plugHeadset(true);
    settle();
    EXPECT_EQ(notes.names(), (std::vector<std::string>{notes::kAttachment, notes::kLowVolume}));

    audio->plugHeadset(false);
    audio->setVolume(1.0f);
    audio->setMonoAudio(true);
    settle();
    notes.clear();
    audio->plugHeadset(true);
    settle();
    EXPECT_EQ(notes.names(), (std::vector<std::string>{notes::kMonoAudioError, notes::kAttachment}));
    EXPECT_TRUE(reader.commands().empty());
}

TEST_F(JackMagEngineTest, DeferredActivationWaitsForTheFirstTask) {
    engine->setDeferredActivateAudioSession(true);
    audio->plugHeadset(true);
    EXPECT_FALSE(audio->isActive());
    EXPECT_EQ(engine->sendCommandGetVersion(), JMRET_SUCCESS);
    EXPECT_TRUE(audio->isActive());
    ASSERT_TRUE(waitFor(notes::kCommandTimeout));
}

TEST_F(JackMagEngineTest, SameReaderTypeChangesNothingAnotherDisconnects) {
    plugAndConnect();
    engine->setReaderTp(0);
    EXPECT_TRUE(engine->getConnectionStatus());
    engine->setReaderTp(3);
    EXPECT_EQ(engine->readerTp(), 3);
    EXPECT_FALSE(engine->getConnectionStatus());
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(notes.count(notes::kDidDisconnect), 1u);
}

TEST_F(JackMagEngineTest, ToneOfTheSameCodeKeepsItsPlayer) {
    audio->plugHeadset(true);
    engine->tone_setAs(2);
    engine->tone_resume();
    size_t played = audio->playedWaves().size();
    engine->tone_setAs(2);
    EXPECT_EQ(engine->tone_get(), 2);
    engine->tone_resume();
    EXPECT_EQ(audio->playedWaves().size(), played + 1);
    EXPECT_EQ(test::ReaderSimulator::toneFrequency(audio->playedWaves().back()), 2400);
    engine->tone_setAs(1);
    engine->tone_resume();
    EXPECT_EQ(test::ReaderSimulator::toneFrequency(audio->playedWaves().back()), 2000);
}

TEST(JackMagChunkQueue, EmptyTakeWaitsAtMostItsTimeWhateverTheSubSecond) {
    for (double start : {1'700'000'000.0, 1'700'000'000.9, 1'700'000'000.75}) {
        ScopedFakeClock clock{Date(start)};
        BQ bq;
        EXPECT_FALSE(bq.take());
        double waited = clock->now().secondsSince(Date(start));
        EXPECT_GT(waited, 0.0);
        EXPECT_LE(waited, BQ::kTakeWait + 1e-9);
    }
}

TEST(JackMagChunkQueue, HandsChunksOverInOrderAndClears) {
    ScopedFakeClock clock;
    BQ bq;
    bq.put({1});
    bq.put({2});
    EXPECT_EQ(bq.take(), (Bytes{1}));
    bq.clear();
    EXPECT_FALSE(bq.take());
    std::thread producer([&] { bq.put({3}); });
    producer.join();
    EXPECT_EQ(bq.take(), (Bytes{3}));
}

} // namespace
} // namespace tavlo::jackmag

namespace tavlo::test {
namespace {

// The engine made by init() stays the process's shared engine after its last other owner lets
// go; the process must still end cleanly when that shared reference is destroyed at exit.
TEST(JackMagEngineLifetime, TheSharedEngineEndsWithTheProcess) {
    EXPECT_EXIT(
        {
            ScopedFakeAudioSession audio;
            std::shared_ptr<jackmag::JackMagEngine> engine = jackmag::JackMagEngine::init();
            engine.reset();
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
} // namespace tavlo::test
