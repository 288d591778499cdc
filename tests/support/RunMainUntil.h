#pragma once

#include "platform/foundation/RunLoop.h"

#include <chrono>
#include <functional>
#include <thread>

namespace tavlo::test {

// Runs the main loop until `done` holds, for what other threads hand to it (the real-time limit,
// about ten seconds, only keeps a broken test from hanging).
inline bool runMainUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 10000; ++i) {
        RunLoop::main().runUntilIdle();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

} // namespace tavlo::test
