#pragma once

#include "platform/foundation/Clock.h"
#include "platform/foundation/FdSource.h"
#include "platform/foundation/Timer.h"

#include <atomic>
#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tavlo {

// The event loop of one thread: timers, file-descriptor sources, calls performed from any thread
// and deferred calls, each scheduled in a set of modes. Running in a mode services only what is
// scheduled in it (or in `commonModes`, which every mode services). Runs may nest.
//
// All timing follows Clock::current(). With a manual clock (FakeClock) the loop never sleeps:
// a run with an end skips the clock ahead to each due timer in order and finally to its end;
// a run with no end waits for real for a wake-up or a ready descriptor, looking at the clock
// again every few milliseconds so that time moved by another thread is noticed. With a scaled
// clock (ScaledClock) a wait lasts the real seconds the clock gives for it.
//
// Adding, removing, invalidating, perform() and stop() are safe from any thread; running is for
// the loop's own thread.
class RunLoop : public std::enable_shared_from_this<RunLoop> {
public:
    using Function = std::function<void()>;
    using Modes = std::vector<std::string>;
    static inline const std::string defaultMode = "default";
    static inline const std::string commonModes = "common";
    static constexpr double kForever = std::numeric_limits<double>::infinity();

    // The main thread's loop (usable from any thread) and the calling thread's own loop.
    static RunLoop& main();
    static RunLoop& current();
    static bool isMainThread();
    bool isCurrent() const { return &current() == this; }

    RunLoop();
    ~RunLoop();
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    // --- running (on the loop's own thread)
    // In the default mode until stop().
    void run();
    // Until `seconds` of clock time have passed or stop(); false when stopped.
    bool runFor(double seconds, const std::string& mode = defaultMode);
    // Until at least one thing was handled, `timeout` passed or stop(); true when something was.
    bool runOnce(const std::string& mode = defaultMode, double timeout = kForever);
    // Handles everything ready now, again and again, without waiting or moving the clock; answers
    // how many things it handled (tests).
    size_t runUntilIdle(const std::string& mode = defaultMode);
    // Ends the innermost run in progress after its current callback. Any thread.
    void stop();
    // Wakes a loop blocked waiting. Any thread.
    void wakeUp();

    // --- timers and sources (a timer or source belongs to one loop at a time)
    void addTimer(const std::shared_ptr<Timer>& timer, const Modes& modes = {defaultMode});
    // Takes the timer out of these modes (all when empty); out of every mode, it leaves the loop.
    void removeTimer(const std::shared_ptr<Timer>& timer, const Modes& modes = {});
    std::shared_ptr<Timer> scheduleTimer(double interval, bool repeats, Function callback,
                                         const Modes& modes = {defaultMode});
    void addSource(const std::shared_ptr<FdSource>& source, const Modes& modes = {defaultMode});
    void removeSource(const std::shared_ptr<FdSource>& source, const Modes& modes = {});

    // --- calls
    // Runs `function` on this loop's thread in a later pass. With waitUntilDone the caller blocks
    // until it has run (an exception it throws reaches the caller); on the loop's own thread it
    // then runs at once.
    void perform(Function function, bool waitUntilDone = false, const Modes& modes = {commonModes});
    // A one-shot call after `delay` seconds; invalidate the answer to cancel it.
    std::shared_ptr<Timer> performAfterDelay(double delay, Function function, const void* target = nullptr,
                                             const Modes& modes = {defaultMode});
    // Cancels every deferred call made with this target.
    void cancelPerforms(const void* target);

    // Drops every timer, source and pending call (tests start from a clean main loop).
    void reset();

private:
    struct PendingCall {
        Function function;
        Modes modes;
        std::shared_ptr<std::promise<void>> done; // set when a caller waits
    };
    struct RunScope;
    friend class Timer;
    friend class FdSource;
    void detach(const Timer* timer);
    void detach(const FdSource* source);
    template <class Item>
    void attach(std::vector<std::shared_ptr<Item>>& list, const std::shared_ptr<Item>& item, const Modes& modes);
    template <class Item>
    void removeFromModes(std::vector<std::shared_ptr<Item>>& list, const std::shared_ptr<Item>& item,
                         const Modes& modes);
    template <class Item> void detachFrom(std::vector<std::shared_ptr<Item>>& list, const Item* item);
    // Timer::invalidate and FdSource::invalidate.
    template <class Item> static void invalidate(Item& item);

    static bool inModes(const std::string& mode, const Modes& modes);
    static bool inModes(const std::string& mode, const std::set<std::string>& modes);
    size_t pass(const std::string& mode, Date limit, bool mayWait);
    size_t runPendingCalls(const std::string& mode);
    size_t fireDueTimers(const std::string& mode);
    size_t pollSources(const std::string& mode, int timeoutMs);
    std::optional<Date> nextFireDate(const std::string& mode);
    bool hasPendingCalls(const std::string& mode);
    bool takeStop();

    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Timer>> timers_;
    std::vector<std::shared_ptr<FdSource>> sources_;
    std::deque<PendingCall> calls_;
    int wakeFd_ = -1;
    int depth_ = 0; // runs in progress (nesting)
    std::atomic<bool> stopRequested_{false};
};

// Runs `function` on the main thread's loop (at once when already there and waiting).
void performOnMainThread(RunLoop::Function function, bool waitUntilDone = false);

} // namespace tavlo
