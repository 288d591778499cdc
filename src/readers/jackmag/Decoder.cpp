#include "readers/jackmag/Decoder.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>

namespace tavlo::jackmag {

namespace {

constexpr size_t kMaxAmplitudes = 1'000'000;
const std::string kReadError = "Error:Error reading card data";
const std::string kParityError = "Error: Parity check error";
const std::string kLrcError = "Error: LRC check error";
constexpr uint8_t kStartSentinel[5] = {1, 1, 0, 1, 0};  // ';' and its parity bit, low bit first
constexpr int kEndSentinel = 15;                          // '?'

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t le16(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

struct PcmLayout {
    size_t dataStart = 0;
    size_t dataSize = 0;
    size_t frameBytes = 0;  // all channels of one frame
};

// The "fmt " and "data" chunks of a RIFF WAVE file of 16-bit PCM.
std::optional<PcmLayout> pcmLayout(const std::vector<uint8_t>& file) {
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 || std::memcmp(&file[8], "WAVE", 4) != 0) {
        return std::nullopt;
    }
    PcmLayout layout;
    bool sixteenBit = false;
    size_t at = 12;
    while (at + 8 <= file.size()) {
        uint32_t size = le32(file, at + 4);
        if (std::memcmp(&file[at], "fmt ", 4) == 0 && size >= 16 && at + 8 + 16 <= file.size()) {
            uint16_t channels = le16(file, at + 10);
            uint16_t bits = le16(file, at + 22);
            sixteenBit = le16(file, at + 8) == 1 && bits == 16 && channels > 0;
            layout.frameBytes = static_cast<size_t>(channels) * 2;
        } else if (std::memcmp(&file[at], "data", 4) == 0) {
            layout.dataStart = at + 8;
            layout.dataSize = std::min<size_t>(size, file.size() - layout.dataStart);
            return sixteenBit ? std::optional(layout) : std::nullopt;
        }
        at += 8 + static_cast<size_t>(size) + (size & 1);
    }
    return std::nullopt;
}

} // namespace

Decoder::Decoder(const std::filesystem::path& soundFile) {
    std::ifstream in(soundFile, std::ios::binary);
    if (in) soundData_.assign(std::istreambuf_iterator<char>(in), {});
}

std::vector<int32_t> Decoder::amplitudes() const {
    std::vector<int32_t> out;
    auto layout = pcmLayout(soundData_);
    if (!layout) return out;
    size_t frames = std::min(layout->dataSize / layout->frameBytes, kMaxAmplitudes);
    out.reserve(frames);
    for (size_t f = 0; f < frames; ++f) {
        auto sample = static_cast<int16_t>(le16(soundData_, layout->dataStart + f * layout->frameBytes));
        out.push_back(sample < 0 ? -static_cast<int32_t>(sample) : sample);
    }
    return out;
}

// Peaks of the head signal, then bits from the intervals between them: an interval of about one
// bit period is a 0, two of about half a period a 1. The period follows the swipe's speed.
std::vector<uint8_t> Decoder::bits(const std::vector<int32_t>& amplitudes) {
    std::vector<uint8_t> out;
    if (amplitudes.empty()) return out;
    int32_t max = *std::max_element(amplitudes.begin(), amplitudes.end());
    int32_t threshold = max * 30 / 100;

    std::vector<size_t> peaks;
    size_t i = 0;
    while (i < amplitudes.size()) {
        if (amplitudes[i] <= threshold) {
            ++i;
            continue;
        }
        size_t peak = i;
        while (i < amplitudes.size() && amplitudes[i] > threshold) {
            if (amplitudes[i] > amplitudes[peak]) peak = i;
            ++i;
        }
        peaks.push_back(peak);
    }
    if (peaks.size() < 5) return out;

    std::vector<double> intervals;
    for (size_t k = 1; k < peaks.size(); ++k) intervals.push_back(static_cast<double>(peaks[k] - peaks[k - 1]));
    double period = (intervals[0] + intervals[1] + intervals[2]) / 3.0;
    for (size_t k = 3; k < intervals.size();) {
        if (intervals[k] > 0.75 * period) {
            out.push_back(0);
            period = (period + intervals[k]) / 2.0;
            k += 1;
        } else if (k + 1 < intervals.size()) {
            out.push_back(1);
            period = (period + intervals[k] + intervals[k + 1]) / 2.0;
            k += 2;
        } else {
            break;
        }
    }
    return out;
}

std::string Decoder::track2(const std::vector<uint8_t>& bits) {
    auto start = std::search(bits.begin(), bits.end(), std::begin(kStartSentinel), std::end(kStartSentinel));
    if (start == bits.end()) return kReadError;
    static constexpr char characters[] = "0123456789:;<=>?";
    std::string track;
    int lrc = 0;
    auto readCharacter = [&](size_t at, int& value) {
        value = 0;
        int ones = 0;
        for (int b = 0; b < 5; ++b) {
            if (bits[at + static_cast<size_t>(b)]) {
                ++ones;
                if (b < 4) value |= 1 << b;
            }
        }
        return ones % 2 == 1;  // odd parity
    };
    for (size_t at = static_cast<size_t>(start - bits.begin()); at + 5 <= bits.size(); at += 5) {
        int value = 0;
        if (!readCharacter(at, value)) return kParityError;
        track.push_back(characters[value]);
        lrc ^= value;
        if (value != kEndSentinel) continue;
        int check = 0;
        if (at + 10 > bits.size() || !readCharacter(at + 5, check) || check != lrc) return kLrcError;
        return track;
    }
    return kReadError;
}

std::string Decoder::decode() {
    if (soundData_.empty()) return "";
    std::vector<uint8_t> forward = bits(amplitudes());
    std::string track = track2(forward);
    if (track.rfind("Error", 0) != 0) return track;
    // Not readable forward: the card may have been swiped the other way.
    std::vector<uint8_t> backward(forward.rbegin(), forward.rend());
    std::string reversed = track2(backward);
    if (reversed.rfind("Error", 0) != 0 || track == kReadError) return reversed;
    return track;
}

} // namespace tavlo::jackmag
