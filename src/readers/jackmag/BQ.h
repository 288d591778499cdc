#pragma once

#include "readers/jackmag/AudioModulation.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

namespace tavlo::jackmag {

// The blocking queue of recorded chunks between the recorder's thread (the one producer) and
// the running task (the one consumer).
class BQ {
public:
    static constexpr double kTakeWait = 0.3; // seconds of clock time one take waits at most

    void put(Bytes chunk);
    // The oldest chunk, waiting up to kTakeWait for one; nothing on time-out. With a manual
    // clock (tests) it gives a producer a moment in real time, then moves the clock to the
    // deadline instead of sleeping.
    std::optional<Bytes> take();
    // Drops what is queued (a new recording starts with no stale audio).
    void clear();
    size_t size() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable cond_;
    std::deque<Bytes> arr_;
};

} // namespace tavlo::jackmag
