#include "readers/ReplyAudio.h"
#include "readers/jackmag/Parser.h"

#include <gtest/gtest.h>

namespace tavlo::jackmag {
namespace {

using test::ReplyAudioOptions;

struct RecordingClient : ParserClient {
    std::vector<Bytes> offered;
    int soundReports = 0;
    bool keepListening = false;
    bool processParsedData(const Bytes& bytes) override {
        offered.push_back(bytes);
        return keepListening;
    }
    void soundDetected() override { ++soundReports; }
};

// Feeds the samples in recorder-sized chunks; answers what the parser handed back.
std::optional<Bytes> feed(Parser& parser, const Bytes& samples, size_t chunk = 9600) {
    for (size_t at = 0; at < samples.size(); at += chunk) {
        size_t n = std::min(chunk, samples.size() - at);
        if (auto bytes = parser.parseWaveData(samples.data() + at, n)) return bytes;
    }
    return std::nullopt;
}

// A swipe as the reader answers it: the status byte, then track data ending in CR.
Bytes swipeReply() {
    std::string track = "%B4111111111111111^TEST/CARD^29121010000000000000?;4111111111111111=2912101?\r";
    Bytes reply(track.size() + 1, 0x06);
    std::copy(track.begin(), track.end(), reply.begin() + 1);
    return reply;
}

TEST(JackMagParser, ConstantMiddleLevelGivesNothing) {
    RecordingClient client;
    Parser parser(&client, "");
    Bytes silence(9600 * 5, 128);
    EXPECT_FALSE(feed(parser, silence));
    EXPECT_TRUE(client.offered.empty());
    EXPECT_EQ(client.soundReports, 0);
    EXPECT_EQ(parser.lastBurst().size(), 0u);
}

TEST(JackMagParser, RunLengthsBecomeOneOrTwoEntries) {
    struct Case {
        const char* name;
        std::vector<int8_t> run;
        std::vector<int8_t> entries;
    };
    auto repeat = [](int8_t level, int n) { return std::vector<int8_t>(static_cast<size_t>(n), level); };
    std::vector<int8_t> sevenAndAHalf = {1, 1, 1, 1, 1, 1, 1, 0}; // a middle sample counts half to each side
    for (const Case& c :
         {Case{"ten", repeat(1, 10), {1, 1, -1, -1}}, Case{"five", repeat(1, 5), {1, -1, -1}},
          Case{"seven and a half", sevenAndAHalf, {1, -1, -1}}, Case{"eight", repeat(1, 8), {1, 1, -1, -1}}}) {
        RecordingClient client;
        Parser parser(&client, "");
        std::vector<int8_t> levels(3 + c.run.size() + 40, -1); // a tail long enough to end the burst
        std::fill_n(levels.begin(), 3, 0);
        std::copy(c.run.begin(), c.run.end(), levels.begin() + 3);
        EXPECT_FALSE(parser.parseLevels(levels)) << c.name;
        EXPECT_EQ(parser.lastBurst().list(), c.entries) << c.name;
    }
}

TEST(JackMagParser, ByteSixDecodesInBothPolarities) {
    for (bool inverted : {false, true}) {
        RecordingClient client;
        Parser parser(&client, "");
        ReplyAudioOptions options;
        options.inverted = inverted;
        EXPECT_EQ(feed(parser, test::replySamples({0x06}, options)), (Bytes{0x06})) << inverted;
        EXPECT_EQ(client.offered.size(), 1u);
    }
}

TEST(JackMagParser, FullSwipeReplyAcrossChunkBoundaries) {
    for (size_t chunk : {size_t{9600}, size_t{1000}, size_t{333}}) {
        RecordingClient client;
        Parser parser(&client, "");
        EXPECT_EQ(feed(parser, test::replySamples(swipeReply()), chunk), swipeReply()) << chunk;
        EXPECT_EQ(client.soundReports, 1) << chunk;
    }
}

TEST(JackMagParser, WrongStopEntryDropsTheFrameRun) {
    RecordingClient client;
    Parser parser(&client, "");
    auto halfBits = test::replyHalfBits({0x06, 0x41});
    halfBits[halfBits.size() - 11] = -halfBits[halfBits.size() - 11]; // stop of the second byte's high nibble
    EXPECT_FALSE(feed(parser, test::halfBitSamples(halfBits)));
    EXPECT_TRUE(client.offered.empty());
}

TEST(JackMagParser, ClientThatKeepsListeningHearsEveryStringUntilItStops) {
    RecordingClient client;
    client.keepListening = true;
    Parser parser(&client, "");
    Bytes samples = test::replySamples({0x15});
    Bytes second = test::replySamples({0x06, 0x56});
    samples.insert(samples.end(), second.begin(), second.end());
    EXPECT_FALSE(feed(parser, samples));
    ASSERT_EQ(client.offered.size(), 2u);
    EXPECT_EQ(client.offered[1], (Bytes{0x06, 0x56}));

    RecordingClient stopping;
    Parser first(&stopping, "");
    EXPECT_EQ(feed(first, samples), (Bytes{0x15}));
    EXPECT_EQ(stopping.offered.size(), 1u);
}

TEST(JackMagParser, SavesTheKeptInputAndStagesAsWavFiles) {
    auto folder = test::scratchFolder("parser-log");
    std::string prefix = (folder / "audio").string();
    RecordingClient client;
    Parser parser(&client, prefix);
    parser.setLog(true, true);
    Bytes samples = test::replySamples({0x06});
    feed(parser, samples);
    parser.saveLoggedData();
    Bytes input = test::readFile(prefix + ".wav");
    EXPECT_EQ(test::wavData(input), samples);
    for (const char* suffix : {"_envP.wav", "_envN.wav", "_thrP.wav", "_thrN.wav", "_hml.wav"}) {
        EXPECT_EQ(test::wavData(test::readFile(prefix + suffix)).size(), samples.size()) << suffix;
    }
}

// Fixtures through sox: the reader's answer with noise added and its level changed, as a
// microphone input hears it.
class JackMagParserSox : public ::testing::Test {
protected:
    void SetUp() override {
        if (test::runSox("--version >/dev/null") != 0) FAIL() << "sox is missing: scripts/setup installs it";
        // A folder per test: ctest runs them side by side.
        folder_ = test::scratchFolder(std::string("parser-sox-") +
                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    Bytes throughSox(const Bytes& samples, const std::string& effect, double noise) {
        auto clean = folder_ / "clean.wav";
        auto noisy = folder_ / "noise.wav";
        auto out = folder_ / "out.wav";
        test::writeFile(clean, test::wavFile(samples, 48000, 1));
        double seconds = static_cast<double>(samples.size()) / 48000.0;
        std::string format = "-r 48000 -c 1 -b 8 -e unsigned-integer ";
        EXPECT_EQ(test::runSox("-n " + format + noisy.string() + " synth " + std::to_string(seconds) +
                               " whitenoise vol " + std::to_string(noise)),
                  0);
        EXPECT_EQ(test::runSox("-m -v 1 " + clean.string() + " -v 1 " + noisy.string() + " " + format + out.string() +
                               " " + effect),
                  0);
        return test::wavData(test::readFile(out));
    }
    std::filesystem::path folder_;
};

TEST_F(JackMagParserSox, NoisyAndQuieterRepliesStillDecode) {
    struct Case {
        bool inverted;
        const char* effect;
        double noise;
    };
    for (const Case& c : {Case{false, "vol 0.6", 0.08}, Case{true, "vol 0.6", 0.08}, Case{false, "vol 1.1", 0.15},
                          Case{true, "gain -3", 0.1}}) {
        ReplyAudioOptions options;
        options.inverted = c.inverted;
        Bytes recorded = throughSox(test::replySamples(swipeReply(), options), c.effect, c.noise);
        RecordingClient client;
        Parser parser(&client, "");
        EXPECT_EQ(feed(parser, recorded), swipeReply()) << c.effect << " inverted " << c.inverted;
    }
}

TEST_F(JackMagParserSox, NoiseAloneGivesNothing) {
    Bytes recorded = throughSox(Bytes(48000, 128), "vol 1", 0.3);
    RecordingClient client;
    Parser parser(&client, "");
    EXPECT_FALSE(feed(parser, recorded));
    EXPECT_TRUE(client.offered.empty());
}

} // namespace
} // namespace tavlo::jackmag
