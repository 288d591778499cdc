#include "platform/foundation/RunLoop.h"

#include "platform/foundation/Error.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <system_error>
#include <unistd.h>

namespace tavlo {

namespace {
// With a manual clock a run with no end looks at the clock this often (real milliseconds).
constexpr int kManualClockSliceMs = 5;
const Date kNoEnd(std::numeric_limits<double>::infinity());
} // namespace

struct RunLoop::RunScope {
    explicit RunScope(RunLoop& l) : loop(l) {
        if (!loop.isCurrent()) throw InconsistencyError("a run loop runs only on its own thread");
        std::lock_guard lock(loop.mutex_);
        ++loop.depth_;
    }
    ~RunScope() {
        std::lock_guard lock(loop.mutex_);
        if (--loop.depth_ == 0) loop.stopRequested_ = false;
    }
    RunLoop& loop;
};

RunLoop& RunLoop::main() {
    // Never destroyed: other threads may still post to it while the process exits.
    static auto* loop = new std::shared_ptr<RunLoop>(std::make_shared<RunLoop>());
    return **loop;
}

RunLoop& RunLoop::current() {
    if (isMainThread()) return main();
    thread_local std::shared_ptr<RunLoop> loop = std::make_shared<RunLoop>();
    return *loop;
}

bool RunLoop::isMainThread() { return static_cast<pid_t>(::syscall(SYS_gettid)) == ::getpid(); }

RunLoop::RunLoop() {
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
}

RunLoop::~RunLoop() {
    // Waiting callers get a broken promise instead of hanging.
    calls_.clear();
    ::close(wakeFd_);
}

void RunLoop::wakeUp() {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

void RunLoop::stop() {
    // Wakes the loop before letting go of the lock: once the loop sees the request it may end and
    // be destroyed, and it takes this lock on its way out (RunScope).
    std::lock_guard lock(mutex_);
    if (depth_ > 0) stopRequested_ = true;
    wakeUp();
}

bool RunLoop::takeStop() { return stopRequested_.exchange(false); }

bool RunLoop::inModes(const std::string& mode, const Modes& modes) {
    return std::any_of(modes.begin(), modes.end(), [&](const std::string& m) { return m == mode || m == commonModes; });
}

bool RunLoop::inModes(const std::string& mode, const std::set<std::string>& modes) {
    return modes.count(mode) || modes.count(commonModes);
}

// --- running

void RunLoop::run() {
    RunScope scope(*this);
    for (;;) {
        pass(defaultMode, kNoEnd, true);
        if (takeStop()) return;
    }
}

bool RunLoop::runFor(double seconds, const std::string& mode) {
    RunScope scope(*this);
    Date end = Date::now().addingSeconds(seconds);
    for (;;) {
        pass(mode, end, true);
        if (takeStop()) return false;
        if (Date::now() >= end) return true;
    }
}

bool RunLoop::runOnce(const std::string& mode, double timeout) {
    RunScope scope(*this);
    Date limit = std::isfinite(timeout) ? Date::now().addingSeconds(timeout) : kNoEnd;
    for (;;) {
        size_t handled = pass(mode, limit, true);
        if (takeStop()) return handled > 0;
        if (handled) return true;
        if (Date::now() >= limit) return false;
    }
}

size_t RunLoop::runUntilIdle(const std::string& mode) {
    RunScope scope(*this);
    size_t total = 0;
    for (;;) {
        size_t handled = pass(mode, Date::now(), false);
        total += handled;
        if (takeStop() || handled == 0) return total;
    }
}

size_t RunLoop::pass(const std::string& mode, Date limit, bool mayWait) {
    size_t handled = runPendingCalls(mode);
    handled += fireDueTimers(mode);
    if (stopRequested_) return handled;

    auto clock = Clock::currentShared();
    int timeoutMs = 0;
    std::optional<Date> advanceTo;
    if (mayWait && handled == 0 && !hasPendingCalls(mode)) {
        Date target = limit;
        if (auto next = nextFireDate(mode); next && *next < target) target = *next;
        if (clock->isManual()) {
            if (std::isfinite(limit.timeIntervalSince1970())) advanceTo = target;
            else timeoutMs = kManualClockSliceMs;
        } else if (!std::isfinite(target.timeIntervalSince1970())) {
            timeoutMs = -1;
        } else {
            double ms = std::ceil(clock->realSeconds(target.secondsSince(clock->now())) * 1000.0);
            timeoutMs = ms <= 0 ? 0 : ms >= INT_MAX ? INT_MAX : static_cast<int>(ms);
        }
    }
    size_t polled = pollSources(mode, timeoutMs);
    handled += polled;
    if (advanceTo && polled == 0 && !hasPendingCalls(mode)) {
        if (auto* fake = dynamic_cast<FakeClock*>(clock.get())) {
            if (fake->now() < *advanceTo) fake->set(*advanceTo);
        } else {
            clock->sleepFor(advanceTo->secondsSince(clock->now()));
        }
    }
    if (!stopRequested_) handled += fireDueTimers(mode);
    return handled;
}

size_t RunLoop::runPendingCalls(const std::string& mode) {
    std::deque<PendingCall> ready;
    {
        std::lock_guard lock(mutex_);
        for (auto it = calls_.begin(); it != calls_.end();) {
            if (inModes(mode, it->modes)) {
                ready.push_back(std::move(*it));
                it = calls_.erase(it);
            } else {
                ++it;
            }
        }
    }
    size_t handled = 0;
    while (!ready.empty()) {
        PendingCall call = std::move(ready.front());
        ready.pop_front();
        ++handled;
        if (call.done) {
            try {
                call.function();
                call.done->set_value();
            } catch (...) { call.done->set_exception(std::current_exception()); }
            continue;
        }
        try {
            call.function();
        } catch (...) {
            // The calls after it are not lost: they run in a later pass.
            std::lock_guard lock(mutex_);
            calls_.insert(calls_.begin(), std::make_move_iterator(ready.begin()), std::make_move_iterator(ready.end()));
            throw;
        }
    }
    return handled;
}

bool RunLoop::hasPendingCalls(const std::string& mode) {
    std::lock_guard lock(mutex_);
    return std::any_of(calls_.begin(), calls_.end(), [&](const PendingCall& c) { return inModes(mode, c.modes); });
}

std::optional<Date> RunLoop::nextFireDate(const std::string& mode) {
    std::lock_guard lock(mutex_);
    std::optional<Date> next;
    for (const auto& t : timers_) {
        std::lock_guard tl(t->mutex_);
        if (!t->valid_ || t->firing_ || !inModes(mode, t->modes_)) continue;
        if (!next || t->fireDate_ < *next) next = t->fireDate_;
    }
    return next;
}

size_t RunLoop::fireDueTimers(const std::string& mode) {
    size_t handled = 0;
    while (!stopRequested_) {
        std::shared_ptr<Timer> due;
        Timer::Callback callback;
        {
            std::lock_guard lock(mutex_);
            Date now = Date::now();
            Date dueDate;
            for (const auto& t : timers_) {
                std::lock_guard tl(t->mutex_);
                if (!t->valid_ || t->firing_ || !inModes(mode, t->modes_) || t->fireDate_ > now) continue;
                if (!due || t->fireDate_ < dueDate || (t->fireDate_ == dueDate && t->sequence_ < due->sequence_)) {
                    due = t;
                    dueDate = t->fireDate_;
                }
            }
            if (!due) break;
            std::lock_guard tl(due->mutex_);
            if (due->repeats_) {
                callback = due->callback_;
                double steps = std::floor(now.secondsSince(due->fireDate_) / due->interval_) + 1;
                due->fireDate_ = due->fireDate_.addingSeconds(steps * due->interval_);
                ++due->firing_;
            } else {
                due->valid_ = false;
                callback = std::move(due->callback_);
                due->callback_ = nullptr;
                due->loop_.reset();
                due->modes_.clear();
                std::erase(timers_, due);
            }
        }
        ++handled;
        struct Done {
            Timer& t;
            bool repeating;
            ~Done() {
                if (!repeating) return;
                std::lock_guard tl(t.mutex_);
                --t.firing_;
            }
        } done{*due, due->repeats_};
        if (callback) callback();
    }
    return handled;
}

size_t RunLoop::pollSources(const std::string& mode, int timeoutMs) {
    std::vector<pollfd> fds{{wakeFd_, POLLIN, 0}};
    std::vector<std::shared_ptr<FdSource>> watched;
    {
        std::lock_guard lock(mutex_);
        for (const auto& s : sources_) {
            std::lock_guard sl(s->mutex_);
            unsigned events = s->enabled_;
            if (!s->valid_ || s->firing_ || !events || !inModes(mode, s->modes_)) continue;
            short want = static_cast<short>(((events & FdSource::Read) ? POLLIN : 0) |
                                            ((events & FdSource::Write) ? POLLOUT : 0));
            fds.push_back({s->fd_, want, 0});
            watched.push_back(s);
        }
    }
    int ready = ::poll(fds.data(), fds.size(), timeoutMs);
    if (ready <= 0) return 0;
    if (fds[0].revents) {
        uint64_t count;
        [[maybe_unused]] ssize_t n = ::read(wakeFd_, &count, sizeof count);
    }
    size_t handled = 0;
    for (size_t i = 1; i < fds.size() && !stopRequested_; ++i) {
        short revents = fds[i].revents;
        if (!revents) continue;
        FdSource& s = *watched[i - 1];
        if (revents & POLLNVAL) {
            s.enabled_ = 0; // closed under us: stop watching rather than spin
            continue;
        }
        unsigned events = 0;
        if (revents & (POLLIN | POLLHUP | POLLERR)) events |= FdSource::Read;
        if (revents & (POLLOUT | POLLHUP | POLLERR)) events |= FdSource::Write;
        FdSource::Callback callback;
        {
            std::lock_guard sl(s.mutex_);
            events &= s.enabled_;
            if (!s.valid_ || s.firing_ || !events || s.loop_.lock().get() != this || !inModes(mode, s.modes_)) continue;
            if (!s.autoReenable_) s.enabled_ &= ~events;
            callback = s.callback_;
            ++s.firing_;
        }
        struct Done {
            FdSource& s;
            ~Done() {
                std::lock_guard sl(s.mutex_);
                --s.firing_;
            }
        } done{s};
        ++handled;
        if (callback) callback(events);
    }
    return handled;
}

// --- timers and sources

template <class Item>
void RunLoop::attach(std::vector<std::shared_ptr<Item>>& list, const std::shared_ptr<Item>& item, const Modes& modes) {
    if (!item) return;
    auto self = weak_from_this();
    if (self.expired()) throw InconsistencyError("a run loop must be owned by a shared_ptr");
    {
        std::lock_guard lock(mutex_);
        std::lock_guard il(item->mutex_);
        if (!item->valid_) return;
        auto owner = item->loop_.lock();
        if (owner && owner.get() != this) throw InconsistencyError("a timer or source can be on one run loop only");
        if (!owner) {
            item->loop_ = self;
            item->modes_.clear();
            list.push_back(item);
        }
        item->modes_.insert(modes.begin(), modes.end());
    }
    wakeUp();
}

template <class Item>
void RunLoop::removeFromModes(std::vector<std::shared_ptr<Item>>& list, const std::shared_ptr<Item>& item,
                              const Modes& modes) {
    if (!item) return;
    std::shared_ptr<Item> keep = item; // released after the lock
    std::lock_guard lock(mutex_);
    std::lock_guard il(item->mutex_);
    if (item->loop_.lock().get() != this) return;
    if (modes.empty()) item->modes_.clear();
    for (const auto& m : modes) item->modes_.erase(m);
    if (item->modes_.empty()) {
        item->loop_.reset();
        std::erase(list, item);
    }
}

template <class Item> void RunLoop::detachFrom(std::vector<std::shared_ptr<Item>>& list, const Item* item) {
    std::shared_ptr<Item> keep; // released after the lock
    std::lock_guard lock(mutex_);
    auto it = std::find_if(list.begin(), list.end(), [&](const auto& i) { return i.get() == item; });
    if (it == list.end()) return;
    keep = *it;
    list.erase(it);
    std::lock_guard il(keep->mutex_);
    keep->loop_.reset();
    keep->modes_.clear();
}

template <class Item> void RunLoop::invalidate(Item& item) {
    std::shared_ptr<RunLoop> loop;
    decltype(item.callback_) dropped; // released outside the lock: it may own things that use the loop
    {
        std::lock_guard lock(item.mutex_);
        item.valid_ = false;
        dropped = std::move(item.callback_);
        item.callback_ = nullptr;
        loop = item.loop_.lock();
    }
    if (loop) loop->detach(&item);
}
template void RunLoop::invalidate<Timer>(Timer&);
template void RunLoop::invalidate<FdSource>(FdSource&);

void RunLoop::addTimer(const std::shared_ptr<Timer>& timer, const Modes& modes) { attach(timers_, timer, modes); }
void RunLoop::removeTimer(const std::shared_ptr<Timer>& timer, const Modes& modes) {
    removeFromModes(timers_, timer, modes);
}
void RunLoop::addSource(const std::shared_ptr<FdSource>& source, const Modes& modes) {
    attach(sources_, source, modes);
}
void RunLoop::removeSource(const std::shared_ptr<FdSource>& source, const Modes& modes) {
    removeFromModes(sources_, source, modes);
}
void RunLoop::detach(const Timer* timer) { detachFrom(timers_, timer); }
void RunLoop::detach(const FdSource* source) { detachFrom(sources_, source); }

std::shared_ptr<Timer> RunLoop::scheduleTimer(double interval, bool repeats, Function callback, const Modes& modes) {
    auto timer = Timer::create(interval, repeats, std::move(callback));
    addTimer(timer, modes);
    return timer;
}

// --- calls

void RunLoop::perform(Function function, bool waitUntilDone, const Modes& modes) {
    if (waitUntilDone && isCurrent()) {
        function();
        return;
    }
    std::shared_ptr<std::promise<void>> done;
    std::future<void> finished;
    if (waitUntilDone) {
        done = std::make_shared<std::promise<void>>();
        finished = done->get_future();
    }
    {
        // As in stop(): the call may end the loop, so the wake-up is written under the lock.
        std::lock_guard lock(mutex_);
        calls_.push_back({std::move(function), modes, done});
        wakeUp();
    }
    if (waitUntilDone) finished.get();
}

std::shared_ptr<Timer> RunLoop::performAfterDelay(double delay, Function function, const void* target,
                                                  const Modes& modes) {
    std::shared_ptr<Timer> timer(new Timer(delay, false, std::move(function), target));
    addTimer(timer, modes);
    return timer;
}

void RunLoop::cancelPerforms(const void* target) {
    if (!target) return;
    std::vector<std::shared_ptr<Timer>> cancelled;
    {
        std::lock_guard lock(mutex_);
        for (const auto& t : timers_)
            if (t->target_ == target) cancelled.push_back(t);
    }
    for (const auto& t : cancelled) t->invalidate();
}

void RunLoop::reset() {
    std::vector<std::shared_ptr<Timer>> timers;
    std::vector<std::shared_ptr<FdSource>> sources;
    std::deque<PendingCall> calls;
    {
        std::lock_guard lock(mutex_);
        timers = timers_;
        sources = sources_;
        calls.swap(calls_);
        stopRequested_ = false;
    }
    for (const auto& t : timers) t->invalidate();
    for (const auto& s : sources) s->invalidate();
}

void performOnMainThread(RunLoop::Function function, bool waitUntilDone) {
    RunLoop::main().perform(std::move(function), waitUntilDone);
}

} // namespace tavlo
