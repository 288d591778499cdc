#include "readers/dockmag/EventHandlingThread.h"

#include "platform/foundation/RunLoop.h"
#include "readers/dockmag/DockMagLog.h"

namespace tavlo::dockmag {

EventHandlingThread::~EventHandlingThread() {
    if (thread_.joinable()) {
        cancel();
        if (RunLoop* loop = runloop_) loop->stop();
        thread_.join();
    }
}

RunLoop& EventHandlingThread::start() {
    std::promise<RunLoop*> made;
    auto loop = made.get_future();
    thread_ = std::thread([this, promise = std::move(made)]() mutable { main(std::move(promise)); });
    return *loop.get();
}

void EventHandlingThread::join() {
    if (thread_.joinable()) thread_.join();
}

void EventHandlingThread::main(std::promise<RunLoop*> made) {
    RunLoop& loop = RunLoop::current();
    runloop_ = &loop;
    made.set_value(&loop);
    logThread("EventThread: loop: starting");
    while (!isCancelled()) {
        loop.run();
        logThread("EventThread: loop: runMode returned");
    }
    logThread("EventThread: loop: ended");
    runloop_ = nullptr;
}

} // namespace tavlo::dockmag
