#include "platform/audio/AlsaAudioSession.h"
#include "support/FakeAudio.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace tavlo {
namespace {

// One second of a 1000 Hz square tone, 8-bit mono at 48000 Hz, with its 44-byte header.
std::vector<uint8_t> toneWav() {
    std::vector<uint8_t> samples(48000);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = (i / 24) % 2 ? 200 : 56;
    std::vector<uint8_t> wav = {'R', 'I', 'F', 'F', 0, 0, 0,   0,   'W', 'A',  'V',  'E',  'f', 'm',  't',
                                ' ', 16,  0,   0,   0, 1, 0,   1,   0,   0x80, 0xBB, 0,    0,   0x80, 0xBB,
                                0,   0,   1,   0,   8, 0, 'd', 'a', 't', 'a',  0x80, 0xBB, 0,   0};
    wav[4] = static_cast<uint8_t>((samples.size() + 36) & 0xFF);
    wav[5] = static_cast<uint8_t>(((samples.size() + 36) >> 8) & 0xFF);
    std::vector<uint8_t> file(wav.size() + samples.size());
    std::copy(samples.begin(), samples.end(), std::copy(wav.begin(), wav.end(), file.begin()));
    return file;
}

TEST(AlsaAudioSession, RefusesWhatIsNotPcmWithoutTouchingTheDevice) {
    AlsaAudioSession session;
    Error error;
    EXPECT_EQ(session.makePlayer({'R', 'I', 'F', 'F', 1, 2, 3}, &error), nullptr);
    EXPECT_EQ(error.domain(), AudioSession::errorDomain);
    EXPECT_FALSE(error.localizedDescription().empty());
    Error bad;
    EXPECT_EQ(session.makeInputQueue(
                  {48000, 0}, [](const uint8_t*, size_t) {}, &bad),
              nullptr);
    EXPECT_TRUE(bad.isSet());
    EXPECT_FALSE(session.isMonoAudioEnabled());
    EXPECT_NE(session.makePlayer(toneWav(), nullptr), nullptr);
}

TEST(AlsaAudioSession, WithoutASoundCardTheRouteHasNoHeadsetAndActivationFails) {
    if (AlsaAudioSession::hasSoundCard()) GTEST_SKIP() << "this machine has a sound card";
    AlsaAudioSession session;
    EXPECT_FALSE(session.isHeadphonesPlugged());
    Error error;
    EXPECT_FALSE(session.setActive(true, &error));
    EXPECT_NE(error.localizedDescription().find("Could not open the audio device"), std::string::npos);
}

TEST(AlsaAudioSession, OpensTheDefaultDeviceToPlayAndRecord) {
    if (!AlsaAudioSession::hasSoundCard()) GTEST_SKIP() << "this machine has no sound card (no ALSA device to open)";
    AlsaAudioSession session;
    Error error;
    ASSERT_TRUE(session.setActive(true, &error)) << error.localizedDescription();
    auto player = session.makePlayer(toneWav(), &error);
    ASSERT_NE(player, nullptr);
    player->setVolume(0.1f);
    EXPECT_TRUE(player->play());
    player->stop();
    EXPECT_FALSE(player->isPlaying());

    if (!session.isInputAvailable()) GTEST_SKIP() << "the default device has no input to record from";
    std::atomic<int> buffers{0};
    auto input = session.makeInputQueue(
        {48000, 960},
        [&](const uint8_t*, size_t size) {
            if (size == 960) ++buffers;
        },
        &error);
    ASSERT_NE(input, nullptr);
    ASSERT_TRUE(input->start(&error)) << error.localizedDescription();
    for (int i = 0; i < 200 && buffers == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    input->stop();
    EXPECT_GT(buffers.load(), 0);
    session.setActive(false, nullptr);
}

TEST(FakeAudioSession, HandsQueuedAudioToTheRecorderInFullBuffers) {
    test::ScopedFakeAudioSession fake;
    std::vector<size_t> sizes;
    std::vector<uint8_t> got;
    auto input = AudioSession::shared()->makeInputQueue(
        {48000, 100},
        [&](const uint8_t* data, size_t size) {
            sizes.push_back(size);
            got.insert(got.end(), data, data + size);
        },
        nullptr);
    fake->queueInput(std::vector<uint8_t>(150, 7));
    EXPECT_TRUE(sizes.empty());
    ASSERT_TRUE(input->start(nullptr));
    EXPECT_EQ(sizes, (std::vector<size_t>{100, 100}));
    EXPECT_EQ(got[149], 7);
    EXPECT_EQ(got[150], 128); // the rest of the last buffer is silence
    input->stop();
    fake->queueInput({1, 2, 3});
    EXPECT_EQ(sizes.size(), 2u);
}

} // namespace
} // namespace tavlo
