#pragma once

#include <atomic>
#include <future>
#include <string>
#include <thread>

namespace tavlo {
class RunLoop;
}

namespace tavlo::dockmag {

// A thread that runs its own run loop until cancelled; the accessory reader's streams are
// scheduled on that loop.
class EventHandlingThread {
public:
    static inline const std::string name = "Event Handling Thread";

    EventHandlingThread() = default;
    ~EventHandlingThread();
    EventHandlingThread(const EventHandlingThread&) = delete;
    EventHandlingThread& operator=(const EventHandlingThread&) = delete;

    // Starts the thread; answers its run loop once the thread has made it.
    RunLoop& start();
    void cancel() { cancelled_ = true; }
    bool isCancelled() const { return cancelled_; }
    // Null until the thread runs.
    RunLoop* getRunloop() const { return runloop_; }
    // Waits until the thread has left its loop (after cancel and a wake-up).
    void join();

private:
    void main(std::promise<RunLoop*> made);

    std::thread thread_;
    std::atomic<bool> cancelled_{false};
    std::atomic<RunLoop*> runloop_{nullptr};
};

} // namespace tavlo::dockmag
