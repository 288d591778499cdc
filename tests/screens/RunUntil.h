#pragma once

#include "platform/foundation/RunLoop.h"
#include "support/ui/Harness.h"

#include <chrono>

namespace tavlo::screens::test {

// Runs the main loop, as the program's would run between a person's touches, until the condition
// holds: the work under test runs on threads of its own and hands its results to the main loop.
// False when it still does not hold after 20 seconds (a hang, not a slow machine).
template <typename Condition> bool runUntil(ui::test::Harness& h, Condition condition) {
    auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > giveUp) return false;
        RunLoop::main().runOnce(RunLoop::defaultMode, 0.05);
        h.runUntilIdle();
    }
    return true;
}

} // namespace tavlo::screens::test
