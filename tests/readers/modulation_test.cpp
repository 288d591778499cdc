#include "readers/jackmag/AudioModulation.h"
#include "readers/jackmag/CommandFrames.h"
#include "readers/jackmag/ToneWaves.h"

#include <gtest/gtest.h>

namespace tavlo::jackmag {
namespace {

uint32_t le32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t le16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }
std::string tag(const Bytes& b, size_t at) { return std::string(b.begin() + at, b.begin() + at + 4); }

TEST(JackMagWavHeader, HoldsTheFieldsOfAnEightBitStereoFile) {
    Bytes h = wavHeader8(17280, 24000, 2);
    ASSERT_EQ(h.size(), 44u);
    EXPECT_EQ(tag(h, 0), "RIFF");
    EXPECT_EQ(le32(h, 4), 17316u);
    EXPECT_EQ(tag(h, 8), "WAVE");
    EXPECT_EQ(tag(h, 12), "fmt ");
    EXPECT_EQ(le32(h, 16), 16u);
    EXPECT_EQ(le16(h, 20), 1);      // PCM
    EXPECT_EQ(le16(h, 22), 2);      // channels
    EXPECT_EQ(le32(h, 24), 24000u); // sample rate
    EXPECT_EQ(le32(h, 28), 48000u); // byte rate
    EXPECT_EQ(le16(h, 32), 2);      // block align
    EXPECT_EQ(le16(h, 34), 8);      // bits per sample
    EXPECT_EQ(tag(h, 36), "data");
    EXPECT_EQ(le32(h, 40), 17280u);
}

TEST(JackMagWavHeader, SixteenBitMonoRatesFollowTheSampleSize) {
    Bytes h = wavHeader(100, 48000, 1, 2);
    EXPECT_EQ(le32(h, 28), 96000u);
    EXPECT_EQ(le16(h, 32), 2);
    EXPECT_EQ(le16(h, 34), 16);
}

TEST(JackMagSquareTone, OnePeriodIsMiddleLowMiddleHigh) {
    Bytes period;
    appendSquareTonePeriod(period, 2000, 24000, true, true);
    Bytes expected = {128, 128};
    for (int i = 0; i < 5; ++i) expected.insert(expected.end(), {1, 255});
    expected.insert(expected.end(), {128, 128});
    for (int i = 0; i < 5; ++i) expected.insert(expected.end(), {255, 1});
    EXPECT_EQ(period, expected);

    Bytes odd; // 3400 Hz at 24000: 7 frames, the longer half first
    appendSquareTonePeriod(odd, 3400, 24000, false, true);
    EXPECT_EQ(odd, (Bytes{128, 1, 1, 1, 128, 255, 255}));
    Bytes reversed;
    appendSquareTonePeriod(reversed, 8000, 48000, false, false);
    EXPECT_EQ(reversed, (Bytes{128, 255, 255, 128, 1, 1}));
}

TEST(JackMagModulator, SplitsBytesIntoSymbolsLowBitsFirst) {
    EXPECT_EQ(splitSymbols({0x1B}), (std::vector<uint8_t>{3, 2, 1, 0}));
    EXPECT_EQ(splitSymbols({0xFF, 0x00}), (std::vector<uint8_t>{3, 3, 3, 3, 0, 0, 0, 0}));
    EXPECT_EQ(periodLength(2400, 24000, true), 20u);
    EXPECT_EQ(periodLength(3000, 24000, true), 16u);
    EXPECT_EQ(periodLength(3400, 24000, true), 14u);
    EXPECT_EQ(periodLength(4000, 24000, true), 12u);
}

TEST(JackMagModulator, OneByteCommandHasCarrierPreambleSymbolsAndClosing) {
    Bytes wav = modulateCommand({0x1B}, 18);
    size_t preamble = 10 * 3 * (4 * 12 + 4 * 20); // FF 00 three times
    size_t data = 10 * (12 + 14 + 16 + 20);
    size_t expected = 44 + 720 * 24 + preamble + data + 720 * 24;
    ASSERT_EQ(wav.size(), expected);
    EXPECT_EQ(le32(wav, 40), expected - 44);
    EXPECT_EQ(le16(wav, 22), 2);
    EXPECT_EQ(le32(wav, 24), 24000u);

    // The first data symbol (3: 4000 Hz) is ten 6-frame periods right after the preamble.
    size_t at = 44 + 720 * 24 + preamble;
    Bytes symbol3(wav.begin() + static_cast<long>(at), wav.begin() + static_cast<long>(at + 12));
    EXPECT_EQ(symbol3, (Bytes{128, 128, 1, 255, 1, 255, 128, 128, 255, 1, 255, 1}));
    Bytes symbol2(wav.begin() + static_cast<long>(at + 120), wav.begin() + static_cast<long>(at + 134));
    EXPECT_EQ(symbol2, (Bytes{128, 128, 1, 255, 1, 255, 1, 255, 128, 128, 255, 1, 255, 1}));
}

TEST(JackMagModulator, ClosingCarrierGrowsWithItsLength) {
    EXPECT_EQ(modulateCommand({0x06}, 150).size() - modulateCommand({0x06}, 18).size(), 40u * 132 * 24);
}

TEST(JackMagModulator, JackLinkFramesHoldFiveSamplesALevel) {
    Bytes wav = modulateJackLink({0xA5});
    size_t wake = 400 * 24 + 480;
    ASSERT_EQ(wav.size(), 44 + wake + 20 * 5 + 100);
    EXPECT_EQ(le32(wav, 24), 48000u);
    // High nibble A = 1010: start 255, bits 0 1 0 1 least significant first, stop 1.
    size_t at = 44 + wake;
    Bytes first(wav.begin() + static_cast<long>(at), wav.begin() + static_cast<long>(at + 15));
    EXPECT_EQ(first, (Bytes{128, 255, 255, 255, 255, 128, 1, 1, 1, 1, 128, 255, 255, 255, 255}));
}

TEST(JackMagCrc, TableEntriesAndAKnownCheckValue) {
    const auto& table = crcTable();
    EXPECT_EQ(table[0], 0x0000);
    EXPECT_EQ(table[1], 0x1021);
    EXPECT_EQ(table[2], 0x2042);
    EXPECT_EQ(table[128], 0x9188);
    EXPECT_EQ(table[255], 0x1EF0);
    std::string check = "123456789"; // CRC-16 with this polynomial from 0xFFFF
    EXPECT_EQ(crcUpdate(0xFFFF, reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0x29B1);
}

TEST(JackMagHex, DigitsAndByteStrings) {
    EXPECT_EQ(hexDigitValue('0'), 0);
    EXPECT_EQ(hexDigitValue('a'), 10);
    EXPECT_EQ(hexDigitValue('F'), 15);
    EXPECT_EQ(hexDigitValue('g'), -1);
    EXPECT_EQ(bytesFromHex("02aF"), (Bytes{0x02, 0xAF}));
    EXPECT_FALSE(bytesFromHex("025"));
    EXPECT_FALSE(bytesFromHex("02x3"));
}

TEST(JackMagFrames, EveryFrameEndsInTheXorOfItsBytes) {
    for (const std::string& hex :
         {frames::kGetVersion, frames::kGetSettings, frames::kEnableTDES, frames::kEnableAES,
          frames::kDefaultGeneralSettings, frames::kGetSerialNumber, frames::kGetNextKSN,
          frames::kEnableErrNotification, frames::kDisableErrNotification, frames::kEnableExpDate,
          frames::kDisableExpDate, frames::kEnableForceEncryption, frames::kDisableForceEncryption,
          frames::kResetBaudRate, frames::kGetAuthentication, frames::kSetChannel}) {
        auto bytes = bytesFromHex(hex);
        ASSERT_TRUE(bytes) << hex;
        Bytes body(bytes->begin() + 1, bytes->end() - 2);
        EXPECT_EQ(commandFrame(body), *bytes) << hex;
    }
    EXPECT_EQ(setPrePANFrame(5), (Bytes{0x02, 0x53, 0x49, 0x01, 0x05, 0x03, 0x1F}));
    EXPECT_EQ(commandFrame({0x52, 0x22}), *bytesFromHex(frames::kGetVersion));
}

TEST(JackMagTones, StoredAndRunTimeTonesHaveTheirLengths) {
    struct Case {
        int code;
        uint16_t channels;
        uint32_t rate;
        size_t data;
    };
    for (const Case& c : {Case{kTone2400, 2, 24000, 19960}, Case{kTone2000, 2, 24000, 19968}, Case{7, 2, 24000, 19968},
                          Case{kTone1000, 1, 48000, 600 * 48}, Case{kTone8000, 1, 48000, 4800 * 6}}) {
        Bytes wav = toneWave(c.code);
        ASSERT_EQ(wav.size(), 44 + c.data) << c.code;
        EXPECT_EQ(le16(wav, 22), c.channels) << c.code;
        EXPECT_EQ(le32(wav, 24), c.rate) << c.code;
    }
    EXPECT_TRUE(toneWave(kToneNone).empty());
    Bytes tone2 = toneWave(kTone2400);
    EXPECT_EQ(Bytes(tone2.begin() + 44, tone2.begin() + 54), (Bytes{128, 128, 255, 1, 255, 1, 255, 1, 255, 1}));
    EXPECT_EQ(silentWave().size(), 45u);
}

} // namespace
} // namespace tavlo::jackmag
