#pragma once

#include "readers/dockmag/EventHandlingThread.h"

#include <memory>

namespace tavlo::dockmag {

// Starts and stops the one event thread of the accessory reader.
class EventThreadStarter {
public:
    EventThreadStarter() = default;
    // Stops a running thread first.
    ~EventThreadStarter();
    EventThreadStarter(const EventThreadStarter&) = delete;
    EventThreadStarter& operator=(const EventThreadStarter&) = delete;

    // Returns once the thread's run loop is running; only warns when already started.
    void start();
    // Returns once the thread has left its loop; only warns when already stopped.
    void stop();

    bool isRunning() const { return isRunning_; }
    EventHandlingThread* thread() const { return thread_.get(); }
    RunLoop* runloop() const { return runLoop_; }
    // Does nothing; performed on the thread to wake its run loop.
    static void poke() {}

private:
    bool isRunning_ = false;
    std::unique_ptr<EventHandlingThread> thread_;
    RunLoop* runLoop_ = nullptr;
};

} // namespace tavlo::dockmag
