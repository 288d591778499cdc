#include "readers/jackmag/Decoder.h"

#include "platform/audio/WavFile.h"

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
constexpr uint8_t kStartSentinel[5] = {1, 1, 0, 1, 0}; // ';' and its parity bit, low bit first
constexpr int kEndSentinel = 15;                       // '?'

} // namespace

Decoder::Decoder(const std::filesystem::path& soundFile) {
    std::ifstream in(soundFile, std::ios::binary);
    if (in) soundData_.assign(std::istreambuf_iterator<char>(in), {});
}

// The first channel's magnitudes, read as signed 16-bit little-endian samples.
std::vector<int32_t> Decoder::amplitudes() const {
    std::vector<int32_t> out;
    auto pcm = readWav(soundData_);
    if (!pcm || pcm->bytesPerSample != 2) return out;
    size_t frames = std::min(pcm->data.size() / pcm->frameBytes(), kMaxAmplitudes);
    out.reserve(frames);
    for (size_t f = 0; f < frames; ++f) {
        const uint8_t* at = pcm->data.data() + f * pcm->frameBytes();
        auto sample = static_cast<int16_t>(at[0] | at[1] << 8);
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
        return ones % 2 == 1; // odd parity
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
