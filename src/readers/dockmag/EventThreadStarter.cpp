#include "readers/dockmag/EventThreadStarter.h"

#include "platform/foundation/RunLoop.h"
#include "readers/dockmag/DockMagLog.h"

namespace tavlo::dockmag {

EventThreadStarter::~EventThreadStarter() {
    if (isRunning_) stop();
}

void EventThreadStarter::start() {
    if (isRunning_) {
        logThread("EventThread: [WARNING]: start(): already started");
        return;
    }
    thread_ = std::make_unique<EventHandlingThread>();
    RunLoop& loop = thread_->start();
    logThread("EventThread: start(): ET spawned");
    // Returns only once the loop runs and has served the call.
    loop.perform(&EventThreadStarter::poke, true);
    runLoop_ = &loop;
    isRunning_ = true;
}

void EventThreadStarter::stop() {
    if (!isRunning_) {
        logThread("EventThread: [WARNING]: stop(): already stopped");
        return;
    }
    thread_->cancel();
    // The loop sees the cancel when its run returns.
    runLoop_->perform([loop = runLoop_] { loop->stop(); });
    logThread("EventThread: stop(): ET poked");
    thread_->join();
    logThread("EventThread: stop(): ET joined");
    thread_.reset();
    runLoop_ = nullptr;
    isRunning_ = false;
}

} // namespace tavlo::dockmag
