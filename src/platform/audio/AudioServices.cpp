#include "platform/audio/AudioServices.h"

#include <atomic>
#include <cstdio>

namespace tavlo {

namespace {
std::atomic<uint64_t> requested{0};
}

void AudioServices::playAlertSound(SystemSoundID sound) {
    ++requested;
    std::fprintf(stderr, "Alert sound %u asked for; this device has no sound output\n", static_cast<unsigned>(sound));
}

uint64_t AudioServices::alertSoundsRequested() { return requested.load(); }

} // namespace tavlo
