#include "platform/foundation/Timer.h"

#include "platform/foundation/RunLoop.h"

namespace tavlo {

namespace {
std::atomic<uint64_t> g_nextSequence{1};
// A zero or negative interval would spin a repeating timer.
constexpr double kShortestInterval = 0.0001;
} // namespace

Timer::Timer(double interval, bool repeats, Callback callback, const void* target)
    : interval_(interval > kShortestInterval ? interval : kShortestInterval), repeats_(repeats), target_(target),
      sequence_(g_nextSequence++), callback_(std::move(callback)),
      fireDate_(Date::now().addingSeconds(interval > 0 ? interval : 0)) {}

Timer::~Timer() = default;

std::shared_ptr<Timer> Timer::create(double interval, bool repeats, Callback callback) {
    return std::shared_ptr<Timer>(new Timer(interval, repeats, std::move(callback), nullptr));
}

std::shared_ptr<Timer> Timer::scheduled(double interval, bool repeats, Callback callback) {
    return RunLoop::current().scheduleTimer(interval, repeats, std::move(callback));
}

Timer::Callback Timer::takeCallbackCopy() {
    std::lock_guard lock(mutex_);
    return callback_;
}

void Timer::fire() {
    if (!valid_) return;
    Callback callback = takeCallbackCopy();
    if (!repeats_) invalidate();
    if (callback) callback();
}

void Timer::invalidate() { RunLoop::invalidate(*this); }

Date Timer::fireDate() const {
    std::lock_guard lock(mutex_);
    return fireDate_;
}

void Timer::setFireDate(Date date) {
    std::shared_ptr<RunLoop> loop;
    {
        std::lock_guard lock(mutex_);
        fireDate_ = date;
        loop = loop_.lock();
    }
    if (loop) loop->wakeUp();
}

} // namespace tavlo
