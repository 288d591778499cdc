#include "readers/JackMagFixture.h"
#include "readers/jackmag/JackMag.h"

namespace tavlo::jackmag {
namespace {

// The facade over the process's one engine; the fixture's engine is released first so the
// facade makes and keeps its own.
class JackMagFacadeTest : public test::JackMagFixture {
protected:
    void SetUp() override {}
    void TearDown() override { RunLoop::main().runUntilIdle(); }
};

TEST_F(JackMagFacadeTest, ForwardsToTheOneEngineAndReArmsIt) {
    EXPECT_EQ(JackMag::SDK_version(), "7.16");
    {
        JackMag first;
        first.autoDetect(true);
        first.promptForConnection(false); // connect by itself at plug-in
        EXPECT_TRUE(first.setSwipeTimeoutDuration(15));
        EXPECT_FALSE(first.isReaderAttached());
        EXPECT_EQ(first.requestSwipe(), JMRET_NO_READER);

        reader.answer = [](const Bytes&) -> std::optional<Bytes> { return Bytes{0x06, 'V'}; };
        audio->plugHeadset(true);
        ASSERT_TRUE(waitFor(notes::kDidConnect));
        EXPECT_TRUE(first.isReaderAttached());
        EXPECT_TRUE(first.getConnectionStatus());

        first.setReaderType(2);
        EXPECT_EQ(first.readerType(), 2);
        EXPECT_FALSE(first.getConnectionStatus()); // a new reader type disconnects
        {
            JackMag second; // re-arms the same engine: its state stays
            EXPECT_TRUE(second.isReaderAttached());
            EXPECT_EQ(second.readerType(), 0);
        }
        // Releasing any facade disarms the engine: it hears no more route changes.
        audio->plugHeadset(false);
        EXPECT_TRUE(first.isReaderAttached());
    }
    JackMag again; // the kept engine set up anew
    EXPECT_FALSE(again.isReaderAttached());
    audio->plugHeadset(true);
    EXPECT_TRUE(again.isReaderAttached());
}

TEST_F(JackMagFacadeTest, WavePathKeepsTheLastRecording) {
    JackMag jackMag;
    auto folder = test::scratchFolder("wave-path");
    ASSERT_TRUE(jackMag.setWavePath((folder / "reader.wav").string()));
    audio->plugHeadset(true);
    reader.answer = [](const Bytes&) -> std::optional<Bytes> { return Bytes{0x06}; };
    JackMag::enableLogging(true);
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(jackMag.sendCommandGetSerialNumber(), JMRET_SUCCESS);
    ASSERT_TRUE(waitFor(notes::kDidReceiveCmd));
    jackMag.cancelTask();
    std::string lines = ::testing::internal::GetCapturedStderr();
    JackMag::enableLogging(false);
    EXPECT_NE(lines.find("[JM Info] Cmd: task start. um mode\n"), std::string::npos) << lines;
    EXPECT_NE(lines.find("[JM Info] to sendCMD: 02524e031d\n"), std::string::npos) << lines;
    EXPECT_NE(lines.find("[JM Info] RD: read 1 bytes: \n 06\n"), std::string::npos) << lines;
    auto wave = jackMag.getWave();
    ASSERT_TRUE(wave);
    EXPECT_EQ(test::wavData(*wave).size() % 9600, 0u); // whole recorder buffers
    EXPECT_TRUE(std::filesystem::exists(folder / "reader.wav"));
}

} // namespace
} // namespace tavlo::jackmag
