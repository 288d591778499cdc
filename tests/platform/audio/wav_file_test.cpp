#include "platform/audio/WavFile.h"

#include <gtest/gtest.h>

#include <string>

namespace tavlo {
namespace {

// A RIFF file of the chunks given, each as its tag and its bytes.
std::vector<uint8_t> riff(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& chunks) {
    std::vector<uint8_t> out = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    for (const auto& [tag, body] : chunks) {
        out.insert(out.end(), tag.begin(), tag.end());
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(body.size() >> (8 * i)));
        out.insert(out.end(), body.begin(), body.end());
        if (body.size() % 2) out.push_back(0);
    }
    return out;
}

std::vector<uint8_t> fmt(uint16_t format, uint16_t channels, uint32_t rate, uint16_t bits) {
    uint16_t align = static_cast<uint16_t>(channels * bits / 8);
    uint32_t byteRate = rate * align;
    std::vector<uint8_t> f;
    auto put = [&](uint32_t v, int n) {
        for (int i = 0; i < n; ++i) f.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    put(format, 2);
    put(channels, 2);
    put(rate, 4);
    put(byteRate, 4);
    put(align, 2);
    put(bits, 2);
    return f;
}

TEST(WavFile, ReadsPcmChunksWhereverTheyStand) {
    auto pcm =
        readWav(riff({{"LIST", {1, 2, 3}}, {"fmt ", fmt(1, 2, 44100, 16)}, {"data", {1, 2, 3, 4, 5, 6, 7, 8, 9}}}));
    ASSERT_TRUE(pcm);
    EXPECT_EQ(pcm->channels, 2u);
    EXPECT_EQ(pcm->sampleRate, 44100u);
    EXPECT_EQ(pcm->bytesPerSample, 2u);
    EXPECT_EQ(pcm->data, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8})); // whole frames only
}

TEST(WavFile, RefusesWhatIsNotEightOrSixteenBitPcm) {
    EXPECT_FALSE(readWav(riff({{"fmt ", fmt(3, 1, 48000, 32)}, {"data", {0, 0, 0, 0}}}))); // float
    EXPECT_FALSE(readWav(riff({{"fmt ", fmt(1, 1, 48000, 24)}, {"data", {0, 0, 0}}})));
    EXPECT_FALSE(readWav(riff({{"data", {128}}}))); // no format before the data
    EXPECT_FALSE(readWav({'R', 'I', 'F', 'F'}));
    EXPECT_FALSE(readWav({}));
    auto cut = riff({{"fmt ", fmt(1, 1, 8000, 8)}, {"data", {10, 20, 30, 40}}});
    cut.resize(cut.size() - 2); // the data chunk cut short
    ASSERT_TRUE(readWav(cut));
    EXPECT_EQ(readWav(cut)->data, (std::vector<uint8_t>{10, 20}));
}

} // namespace
} // namespace tavlo
