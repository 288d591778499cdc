#pragma once

#include <mutex>

namespace tavlo::jackmag {

// The audio-jack driver's one process-wide lock: every public start, stop and life-cycle
// operation of the engine and its audio event handlers run under it; the tasks never take it.
std::recursive_mutex& sdkLock();
using SdkLock = std::lock_guard<std::recursive_mutex>;

} // namespace tavlo::jackmag
