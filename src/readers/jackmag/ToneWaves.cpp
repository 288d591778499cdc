#include "readers/jackmag/ToneWaves.h"

#include <cmath>

namespace tavlo::jackmag {

namespace {

// 8-bit stereo at 24000 Hz: `periods` copies of one square period, channels in opposite phase.
Bytes storedStereoTone(int frequency, size_t periods) {
    Bytes period;
    appendSquareTonePeriod(period, frequency, kCommandSampleRate, true, false);
    Bytes out = wavHeader8(static_cast<uint32_t>(period.size() * periods), kCommandSampleRate, 2);
    for (size_t i = 0; i < periods; ++i) out.insert(out.end(), period.begin(), period.end());
    return out;
}

// 0.6 s of a square tone, 8-bit mono at 48000 Hz.
Bytes monoTone(int frequency) {
    size_t periods = static_cast<size_t>(0.6 * frequency);
    Bytes period;
    appendSquareTonePeriod(period, frequency, kRecordSampleRate, false, true);
    Bytes out = wavHeader8(static_cast<uint32_t>(period.size() * periods), kRecordSampleRate, 1);
    for (size_t i = 0; i < periods; ++i) out.insert(out.end(), period.begin(), period.end());
    return out;
}

} // namespace

Bytes toneWave(int code) {
    switch (code) {
    case kToneNone: return {};
    case kTone2400: return storedStereoTone(2400, 998);
    case kTone1000: return monoTone(1000);
    case kTone8000: return monoTone(8000);
    default: return storedStereoTone(2000, 832);
    }
}

Bytes silentWave() {
    Bytes out = wavHeader8(1, kCommandSampleRate, 1);
    out.push_back(128);
    return out;
}

} // namespace tavlo::jackmag
