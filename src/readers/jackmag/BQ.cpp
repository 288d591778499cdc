#include "readers/jackmag/BQ.h"

#include "platform/foundation/Clock.h"

#include <chrono>

namespace tavlo::jackmag {

void BQ::put(Bytes chunk) {
    {
        std::lock_guard lock(mutex_);
        arr_.push_back(std::move(chunk));
    }
    cond_.notify_one();
}

std::optional<Bytes> BQ::take() {
    auto clock = Clock::currentShared();
    Date deadline = clock->now().addingSeconds(kTakeWait);
    std::unique_lock lock(mutex_);
    while (arr_.empty()) {
        double left = deadline.secondsSince(clock->now());
        if (left <= 0) return std::nullopt;
        if (!clock->isManual()) {
            cond_.wait_for(lock, std::chrono::duration<double>(left));
            continue;
        }
        if (cond_.wait_for(lock, std::chrono::milliseconds(1), [this] { return !arr_.empty(); })) break;
        lock.unlock();
        clock->sleepFor(left);
        lock.lock();
    }
    Bytes chunk = std::move(arr_.front());
    arr_.pop_front();
    return chunk;
}

void BQ::clear() {
    std::lock_guard lock(mutex_);
    arr_.clear();
}

size_t BQ::size() const {
    std::lock_guard lock(mutex_);
    return arr_.size();
}

} // namespace tavlo::jackmag
