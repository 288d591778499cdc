#include "readers/jackmag/AudioModulation.h"

#include <cmath>
#include <string>

namespace tavlo::jackmag {

void appendLe32(Bytes& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void appendLe16(Bytes& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

Bytes wavHeader(uint32_t dataSize, uint32_t sampleRate, uint16_t channels, uint16_t bytesPerSample) {
    Bytes out;
    out.reserve(kWavHeaderSize);
    auto tag = [&](const char* text) { out.insert(out.end(), text, text + 4); };
    tag("RIFF");
    appendLe32(out, dataSize + 36);
    tag("WAVE");
    tag("fmt ");
    appendLe32(out, 16);
    appendLe16(out, 1);
    appendLe16(out, channels);
    appendLe32(out, sampleRate);
    appendLe32(out, channels * bytesPerSample * sampleRate);
    appendLe16(out, static_cast<uint16_t>(channels * bytesPerSample));
    appendLe16(out, static_cast<uint16_t>(8 * bytesPerSample));
    tag("data");
    appendLe32(out, dataSize);
    return out;
}

namespace {

size_t framesPerPeriod(int frequency, int rate) {
    return static_cast<size_t>(std::lround(static_cast<double>(rate) / frequency));
}

void appendFrames(Bytes& out, size_t count, uint8_t first, uint8_t second, bool stereo) {
    for (size_t i = 0; i < count; ++i) {
        out.push_back(first);
        if (stereo) out.push_back(second);
    }
}

} // namespace

size_t periodLength(int frequency, int rate, bool stereo) {
    return framesPerPeriod(frequency, rate) * (stereo ? 2 : 1);
}

void appendSquareTonePeriod(Bytes& out, int frequency, int rate, bool stereo, bool polarity) {
    size_t n = framesPerPeriod(frequency, rate);
    size_t half = n / 2;
    uint8_t low = 1;
    uint8_t high = 255;
    uint8_t firstValue = polarity ? low : high;
    uint8_t secondValue = polarity ? high : low;
    appendFrames(out, 1, 128, 128, stereo);
    appendFrames(out, half - 1 + n % 2, firstValue, secondValue, stereo);
    appendFrames(out, 1, 128, 128, stereo);
    appendFrames(out, half - 1, secondValue, firstValue, stereo);
}

int symbolFrequency(uint8_t symbol) {
    static constexpr int frequencies[4] = {2400, 3000, 3400, 4000};
    return frequencies[symbol & 3];
}

std::vector<uint8_t> splitSymbols(const Bytes& bytes) {
    std::vector<uint8_t> symbols;
    symbols.reserve(bytes.size() * 4);
    for (uint8_t byte : bytes) {
        for (int shift = 0; shift < 8; shift += 2) symbols.push_back(static_cast<uint8_t>((byte >> shift) & 3));
    }
    return symbols;
}

size_t symbolDataSize(const std::vector<uint8_t>& symbols, int rate) {
    size_t size = 0;
    for (uint8_t symbol : symbols) size += periodLength(symbolFrequency(symbol), rate, true);
    return size;
}

namespace {

constexpr int kLeadCarrierPeriods = 720;
constexpr int kPeriodsPerSymbol = 10;

const Bytes& carrierPeriod() {
    static const Bytes period = [] {
        Bytes out;
        appendSquareTonePeriod(out, kCarrierFrequency, kCommandSampleRate, true, true);
        return out;
    }();
    return period;
}

const Bytes& symbolPeriods(uint8_t symbol) {
    static const std::array<Bytes, 4> periods = [] {
        std::array<Bytes, 4> all;
        for (uint8_t s = 0; s < 4; ++s) {
            for (int i = 0; i < kPeriodsPerSymbol; ++i) {
                appendSquareTonePeriod(all[s], symbolFrequency(s), kCommandSampleRate, true, true);
            }
        }
        return all;
    }();
    return periods[symbol & 3];
}

void appendRepeated(Bytes& out, const Bytes& piece, size_t times) {
    for (size_t i = 0; i < times; ++i) out.insert(out.end(), piece.begin(), piece.end());
}

} // namespace

Bytes modulateCommand(const Bytes& bytes, int closing) {
    static const Bytes preamble = {0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00};
    std::vector<uint8_t> symbols = splitSymbols(preamble);
    std::vector<uint8_t> data = splitSymbols(bytes);
    symbols.insert(symbols.end(), data.begin(), data.end());

    size_t closingPeriods = 40 * static_cast<size_t>(closing < 0 ? 0 : closing);
    size_t carrierBytes = carrierPeriod().size();
    size_t dataSize = (kLeadCarrierPeriods + closingPeriods) * carrierBytes +
                      kPeriodsPerSymbol * symbolDataSize(symbols, kCommandSampleRate);
    Bytes out = wavHeader8(static_cast<uint32_t>(dataSize), kCommandSampleRate, 2);
    out.reserve(kWavHeaderSize + dataSize);
    appendRepeated(out, carrierPeriod(), kLeadCarrierPeriods);
    for (uint8_t symbol : symbols) appendRepeated(out, symbolPeriods(symbol), 1);
    appendRepeated(out, carrierPeriod(), closingPeriods);
    return out;
}

Bytes modulateJackLink(const Bytes& bytes) {
    constexpr int samplesPerLevel = kRecordSampleRate / 9600;
    Bytes samples;
    for (int i = 0; i < 400; ++i) appendSquareTonePeriod(samples, kCarrierFrequency, kRecordSampleRate, false, true);
    samples.insert(samples.end(), 480, 128);

    std::vector<uint8_t> levels;
    auto nibble = [&](uint8_t value) {
        levels.push_back(255);
        for (int bit = 0; bit < 4; ++bit) {
            bool one = (value >> bit) & 1;
            levels.push_back(one ? 255 : 1);
            levels.push_back(one ? 1 : 255);
        }
        levels.push_back(1);
    };
    for (uint8_t byte : bytes) {
        nibble(byte >> 4);
        nibble(byte & 0x0F);
    }
    uint8_t previous = 128;
    for (uint8_t level : levels) {
        for (int i = 0; i < samplesPerLevel; ++i) samples.push_back(i == 0 && level != previous ? 128 : level);
        previous = level;
    }
    samples.insert(samples.end(), 100, 128);

    Bytes out = wavHeader8(static_cast<uint32_t>(samples.size()), kRecordSampleRate, 1);
    out.insert(out.end(), samples.begin(), samples.end());
    return out;
}

const std::array<uint16_t, 256>& crcTable() {
    static const std::array<uint16_t, 256> table = [] {
        std::array<uint16_t, 256> t{};
        for (unsigned i = 0; i < 256; ++i) {
            uint16_t crc = 0;
            uint16_t v = static_cast<uint16_t>(i << 8);
            for (int k = 0; k < 8; ++k) {
                if ((crc ^ v) & 0x8000) crc = static_cast<uint16_t>((crc << 1) ^ 0x1021);
                else crc = static_cast<uint16_t>(crc << 1);
                v = static_cast<uint16_t>(v << 1);
            }
            t[i] = crc;
        }
        return t;
    }();
    return table;
}

uint16_t crcUpdate(uint16_t crc, uint8_t byte) {
    return static_cast<uint16_t>(crcTable()[((crc >> 8) ^ byte) & 0xFF] ^ (crc << 8));
}

uint16_t crcUpdate(uint16_t crc, const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) crc = crcUpdate(crc, bytes[i]);
    return crc;
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<Bytes> bytesFromHex(std::string_view hex) {
    if (hex.size() % 2 != 0) return std::nullopt;
    Bytes out;
    out.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
        int high = hexDigitValue(hex[i]);
        int low = hexDigitValue(hex[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        out.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    return out;
}

} // namespace tavlo::jackmag
