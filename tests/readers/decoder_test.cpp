#include "readers/ReplyAudio.h"
#include "readers/jackmag/Decoder.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tavlo::jackmag {
namespace {

// Track 2 characters as stripe bits: four data bits low first and an odd parity bit; the
// longitudinal check character after the end sentinel. `lrcFlip` spoils that check.
std::vector<int> stripeBits(const std::string& track, int lrcFlip = 0) {
    std::vector<int> bits(30, 0);
    auto add = [&](int value) {
        int ones = 0;
        for (int b = 0; b < 4; ++b) {
            int bit = (value >> b) & 1;
            ones += bit;
            bits.push_back(bit);
        }
        bits.push_back(ones % 2 == 0 ? 1 : 0);
    };
    int lrc = 0;
    for (char c : track) {
        int value = c - '0';
        lrc ^= value;
        add(value);
    }
    add(lrc ^ lrcFlip);
    bits.insert(bits.end(), 30, 0);
    return bits;
}

// The head signal of a swipe: a pulse of alternating sign at every flux change (each bit's
// start, and the middle of a 1), 16-bit stereo at 48000 Hz, slowing down along the card.
test::Bytes stripeWav(const std::vector<int>& bits, bool backwards) {
    std::vector<double> changes;
    double t = 200;
    double period = 24;
    for (int bit : bits) {
        changes.push_back(t);
        if (bit) changes.push_back(t + period / 2);
        t += period;
        period *= 1.002;
    }
    size_t frames = static_cast<size_t>(t + 200);
    std::vector<int16_t> samples(frames, 0);
    double sign = 1;
    for (double c : changes) {
        for (int d = -8; d <= 8; ++d) {
            long at = std::lround(c) + d;
            double x = (static_cast<double>(at) - c) / 2.0;
            samples[static_cast<size_t>(at)] =
                static_cast<int16_t>(samples[static_cast<size_t>(at)] + sign * 20000 * std::exp(-x * x / 2));
        }
        sign = -sign;
    }
    if (backwards) std::reverse(samples.begin(), samples.end());
    test::Bytes data;
    for (int16_t s : samples) {
        for (int channel = 0; channel < 2; ++channel) {
            data.push_back(static_cast<uint8_t>(s & 0xFF));
            data.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
        }
    }
    test::Bytes file = test::wavFile({}, 48000, 2);
    // 16-bit: byte rate, block align and bits per sample of the header made for 8-bit.
    auto put = [&](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) file[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
    };
    put(4, static_cast<uint32_t>(36 + data.size()), 4);
    put(28, 48000 * 4, 4);
    put(32, 4, 2);
    put(34, 16, 2);
    put(40, static_cast<uint32_t>(data.size()), 4);
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

std::string decodeFile(const test::Bytes& wav, const std::string& name) {
    auto path = test::scratchFolder("decoder-" + name) / "swipe.wav";
    test::writeFile(path, wav);
    return Decoder(path).decode();
}

TEST(JackMagDecoder, ReadsTrackTwoInBothSwipeDirections) {
    const std::string track = ";4111111111111111=29121010000?";
    EXPECT_EQ(decodeFile(stripeWav(stripeBits(track), false), "forward"), track);
    EXPECT_EQ(decodeFile(stripeWav(stripeBits(track), true), "backward"), track);
}

TEST(JackMagDecoder, RefusesATrackWhoseCheckCharacterDiffers) {
    const std::string track = ";5500000000000004=2512?";
    EXPECT_EQ(decodeFile(stripeWav(stripeBits(track, 0x3), false), "badlrc"), "Error: LRC check error");
    EXPECT_EQ(decodeFile(stripeWav(stripeBits(track), false), "goodlrc"), track);
}

TEST(JackMagDecoder, EmptyMissingAndUnreadableFiles) {
    EXPECT_EQ(Decoder("/nonexistent/swipe.wav").decode(), "");
    EXPECT_EQ(decodeFile(stripeWav(std::vector<int>(80, 0), false), "blank"), "Error:Error reading card data");
    EXPECT_EQ(decodeFile(test::wavFile(test::Bytes(4000, 128), 48000, 1), "eightbit"), "Error:Error reading card data");
}

} // namespace
} // namespace tavlo::jackmag
