#pragma once

#include "readers/jackmag/AudioModulation.h"

namespace tavlo::jackmag {

// The looping tones the reader tasks play, by tone code: 0 none, 2 a 2400 Hz power tone,
// 3 1000 Hz, 4 8000 Hz, 1 and any other code the 2000 Hz tone.
enum ToneCode { kToneNone = 0, kTone2000 = 1, kTone2400 = 2, kTone1000 = 3, kTone8000 = 4 };

// The complete WAV of a tone; empty for code 0.
Bytes toneWave(int code);
// One silent sample (8-bit mono, 24000 Hz): played once at volume 0 to claim the audio output.
Bytes silentWave();

} // namespace tavlo::jackmag
