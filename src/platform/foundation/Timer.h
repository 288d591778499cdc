#pragma once

#include "platform/foundation/Clock.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace tavlo {

class RunLoop;

// A one-shot or repeating timer. It fires on the run loop it is added to, only while that loop
// runs in one of the timer's modes. A one-shot timer is invalid once it has fired. A late
// repeating timer fires once and skips the fire dates it missed.
class Timer {
public:
    using Callback = std::function<void()>;

    // A timer not yet on any run loop; the first fire date is `interval` seconds from now.
    static std::shared_ptr<Timer> create(double interval, bool repeats, Callback callback);
    // Made and added to the current thread's run loop in the default mode.
    static std::shared_ptr<Timer> scheduled(double interval, bool repeats, Callback callback);

    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // Runs the callback now on the calling thread. A one-shot timer is then invalid; a repeating
    // one keeps its schedule. Does nothing on an invalid timer.
    void fire();
    // Takes the timer off its run loop for good and drops its callback. Any thread.
    void invalidate();
    bool isValid() const { return valid_.load(); }

    Date fireDate() const;
    void setFireDate(Date date); // any thread
    double timeInterval() const { return interval_; }
    bool repeats() const { return repeats_; }

private:
    friend class RunLoop;
    Timer(double interval, bool repeats, Callback callback, const void* target);
    Callback takeCallbackCopy();

    const double interval_;
    const bool repeats_;
    const void* const target_; // who asked for a deferred call (for cancelling by target)
    const uint64_t sequence_;  // keeps timers due at the same moment in the order they were made
    std::atomic<bool> valid_{true};

    mutable std::mutex mutex_;
    Callback callback_;
    Date fireDate_;
    std::weak_ptr<RunLoop> loop_; // the loop it is scheduled on
    std::set<std::string> modes_; // its modes there
    int firing_ = 0;              // a timer does not fire again inside its own callback
};

} // namespace tavlo
