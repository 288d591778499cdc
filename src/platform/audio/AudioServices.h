#pragma once

#include <cstdint>

namespace tavlo {

using SystemSoundID = uint32_t;

// System sounds. This device has no speaker or vibration motor to drive: a request is written to
// standard error (which the program sends into its log) and counted, and nothing else happens.
class AudioServices {
public:
    static constexpr SystemSoundID kSystemSoundIDVibrate = 4095;

    static void playAlertSound(SystemSoundID sound);
    // How many alert sounds were asked for since the process started.
    static uint64_t alertSoundsRequested();
};

} // namespace tavlo
