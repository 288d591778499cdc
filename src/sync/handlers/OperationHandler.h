#pragma once

#include "platform/foundation/Clock.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/Timer.h"
#include "platform/store/ObjectContext.h"
#include "platform/store/ObjectStore.h"
#include "sync/handlers/RunExclusion.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace tavlo {

// The base of the two background handlers: a serial operation queue and a one-shot timer on the
// run loop of the thread that runs the cycle (the main loop). Each run adds operations to the
// queue and re-arms the timer `interval` seconds after it ended; pause suspends the queue and
// disarms the timer, resume re-arms it for 30 seconds.
//
// Locks: the queue's lock is held for a whole run; pause, resume and every hand-over take it
// before the handler's lock (HandOverLock). Both are recursive: a hand-over may run a whole cycle
// inside its lock. Code outside the handler reaches the queue's lock only through RunExclusion.
class OperationHandler : public std::enable_shared_from_this<OperationHandler> {
public:
    static constexpr double kResumeDelay = 30.0;

    OperationHandler(std::string url, std::shared_ptr<ObjectStore> coordinator, int interval, bool queueing);
    virtual ~OperationHandler();
    OperationHandler(const OperationHandler&) = delete;
    OperationHandler& operator=(const OperationHandler&) = delete;

    // running := YES, queue width 1, one run at once on the calling thread.
    virtual void start();
    // One cycle: the subclass's work, then the timer re-armed while running.
    void run();
    void pause();
    void resume();
    // The program ends: paused, what waits in the queue cancelled, and back once the operation
    // running now (if any) has ended.
    void end();
    static constexpr double kEndPollSeconds = 0.01;
    // Runs the cycle at once when running with an armed timer; otherwise nothing.
    void wakeUp();

    bool isRunning() const { return running_.load(); }
    bool isQueueing() const { return queueing_; }
    int interval() const { return interval_; }
    size_t queuedCount() const { return queue_.operationCount(); }
    virtual long pendingCount() const { return 0; }
    virtual std::optional<Date> oldestPending() const { return std::nullopt; }
    virtual std::optional<Date> newestPending() const { return std::nullopt; }
    // A new context on the coordinator whose saved changes win over the stored values.
    std::unique_ptr<ObjectContext> newContext() const;

    std::optional<Date> lastRun() const;
    void setLastRun(std::optional<Date> date);
    std::string url() const;
    void setUrl(std::string url);
    const std::shared_ptr<ObjectStore>& coordinator() const { return coordinator_; }
    // True while a timer is armed (tests and status).
    bool hasArmedTimer() const;
    // Blocks until the queue is empty (tests; the queue must not be suspended).
    void waitUntilIdle() { queue_.waitUntilAllOperationsAreFinished(); }

protected:
    // Step 4 of the cycle, with the queue's lock held: adds operations, reads the local store.
    virtual void work() = 0;
    void addOperation(std::shared_ptr<Operation> operation) { queue_.addOperation(std::move(operation)); }
    // For a run that must not add to operations still queued: the number queued, and when there
    // are any, the cycle runs again (on the main loop) as soon as the last of them has finished,
    // so that what was handed over meanwhile does not wait for the next timer. 0: go ahead.
    size_t deferWhileQueued();
    void setQueueWidthOne() { queue_.setMaxConcurrentOperationCount(1); }
    void setRunning(bool running) { running_ = running; }
    // Where the operations talk to: the terminal's gateway, else the URL given at creation.
    std::string gatewayURL() const;

    // Held by pause, resume and every hand-over: the queue's lock, then the handler's.
    class HandOverLock {
    public:
        explicit HandOverLock(OperationHandler& handler) : queue_(handler.queueLock_), handler_(handler.handlerLock_) {}

    private:
        std::lock_guard<std::recursive_mutex> queue_;
        std::lock_guard<std::recursive_mutex> handler_;
    };
    // Lets code outside the handler keep a step clear of its runs.
    RunExclusion runExclusion() { return RunExclusion(queueLock_); }

private:
    void arm(double seconds);
    void disarm();

    // Taken in this order wherever both are needed; only through run(), HandOverLock and
    // RunExclusion.
    std::recursive_mutex queueLock_;
    std::recursive_mutex handlerLock_;

    std::atomic<bool> running_{false};
    std::atomic<bool> runWhenIdle_{false}; // declared before the queue, whose last thread reads it
    const bool queueing_;
    const int interval_;
    const std::shared_ptr<ObjectStore> coordinator_;
    OperationQueue queue_{1};

    mutable std::mutex stateMutex_; // leaf lock over the fields below
    std::string url_;
    std::shared_ptr<Timer> resendTimer_;
    std::optional<Date> lastRun_;
};

// The class-wide slot of a handler singleton: made once under the slot's lock, never replaced.
template <class Handler> class HandlerSlot {
public:
    template <class Make> std::shared_ptr<Handler> getOrMake(Make make) {
        std::lock_guard lock(mutex_);
        if (!handler_) handler_ = make();
        return handler_;
    }
    std::shared_ptr<Handler> get() const {
        std::lock_guard lock(mutex_);
        return handler_;
    }
    std::shared_ptr<Handler> getOrThrow() const {
        if (auto handler = get()) return handler;
        throw InconsistencyError::notInitialised(Handler::kClassName, "getInstance");
    }
    // Tests: the handler is paused and forgotten.
    void release() {
        std::shared_ptr<Handler> handler;
        {
            std::lock_guard lock(mutex_);
            handler.swap(handler_);
        }
        if (handler) handler->pause();
    }

private:
    mutable std::mutex mutex_;
    std::shared_ptr<Handler> handler_;
};

} // namespace tavlo
