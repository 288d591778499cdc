#include "sync/handlers/OperationHandler.h"

#include "core/util/TavloLog.h"
#include "platform/foundation/RunLoop.h"
#include "sync/exchange/CommHelper.h"

#include <exception>

namespace tavlo {

OperationHandler::OperationHandler(std::string url, std::shared_ptr<ObjectStore> coordinator, int interval,
                                   bool queueing)
    : queueing_(queueing), interval_(interval), coordinator_(std::move(coordinator)), url_(std::move(url)) {
    queue_.setIdleHandler([this] {
        if (!runWhenIdle_.exchange(false)) return;
        performOnMainThread([self = weak_from_this()] {
            if (auto handler = self.lock()) handler->wakeUp();
        });
    });
}

OperationHandler::~OperationHandler() { disarm(); }

void OperationHandler::start() {
    running_ = true;
    setQueueWidthOne();
    run();
}

void OperationHandler::run() {
    if (!running_) return;
    std::lock_guard queueLock(queueLock_);
    if (!running_) return;
    try {
        work();
    } catch (const std::exception& e) {
        // A fault of one run must not stop the cycle for good: the timer is armed below.
        TAVLO_LOG_MAIL("Handler run failed: %@", e.what());
    }
    disarm();
    setLastRun(Date::now());
    if (running_) arm(static_cast<double>(interval_));
}

void OperationHandler::pause() {
    if (!running_) return;
    HandOverLock lock(*this);
    if (!running_) return;
    queue_.setSuspended(true);
    running_ = false;
    disarm();
}

void OperationHandler::resume() {
    if (running_) return;
    HandOverLock lock(*this);
    if (running_) return;
    queue_.setSuspended(false);
    running_ = true;
    if (!hasArmedTimer()) arm(kResumeDelay);
}

void OperationHandler::end() {
    pause();
    queue_.cancelAllOperations();
    // The cancelled operations leave the queue without running; nothing new comes while paused.
    queue_.setSuspended(false);
    // What runs may wait for the main thread (its saves are merged there): from the main thread
    // the loop keeps turning meanwhile.
    if (!RunLoop::isMainThread()) {
        queue_.waitUntilAllOperationsAreFinished();
        return;
    }
    while (queue_.operationCount() > 0) RunLoop::main().runOnce(RunLoop::defaultMode, kEndPollSeconds);
}

void OperationHandler::wakeUp() {
    if (!running_) return;
    std::shared_ptr<Timer> timer;
    {
        std::lock_guard lock(stateMutex_);
        timer = resendTimer_;
    }
    if (timer && timer->isValid()) timer->fire();
}

size_t OperationHandler::deferWhileQueued() {
    // Asked before counting: an operation ending in between then wakes the cycle once more, and
    // nothing is missed.
    runWhenIdle_ = true;
    size_t queued = queuedCount();
    if (queued == 0) runWhenIdle_ = false;
    return queued;
}

std::unique_ptr<ObjectContext> OperationHandler::newContext() const {
    if (!coordinator_) return nullptr;
    auto context = std::make_unique<ObjectContext>(coordinator_);
    context->setMergePolicy(ObjectContext::MergePolicy::Overwrite);
    return context;
}

std::optional<Date> OperationHandler::lastRun() const {
    std::lock_guard lock(stateMutex_);
    return lastRun_;
}

void OperationHandler::setLastRun(std::optional<Date> date) {
    std::lock_guard lock(stateMutex_);
    lastRun_ = date;
}

std::string OperationHandler::url() const {
    std::lock_guard lock(stateMutex_);
    return url_;
}

void OperationHandler::setUrl(std::string url) {
    std::lock_guard lock(stateMutex_);
    url_ = std::move(url);
}

std::string OperationHandler::gatewayURL() const {
    if (std::optional<std::string> gateway = CommHelper::gateway()) return *gateway;
    return url();
}

bool OperationHandler::hasArmedTimer() const {
    std::lock_guard lock(stateMutex_);
    return resendTimer_ && resendTimer_->isValid();
}

void OperationHandler::arm(double seconds) {
    std::weak_ptr<OperationHandler> self = weak_from_this();
    auto timer = Timer::scheduled(seconds, false, [self] {
        if (auto handler = self.lock()) handler->run();
    });
    std::lock_guard lock(stateMutex_);
    resendTimer_ = std::move(timer);
}

void OperationHandler::disarm() {
    std::shared_ptr<Timer> timer;
    {
        std::lock_guard lock(stateMutex_);
        timer.swap(resendTimer_);
    }
    if (timer) timer->invalidate();
}

} // namespace tavlo
