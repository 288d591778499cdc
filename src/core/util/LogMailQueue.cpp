#include "core/util/LogMailQueue.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

#include "platform/foundation/Clock.h"
#include "platform/foundation/OperationQueue.h"

namespace tavlo {

struct LogMailQueue::State {
    size_t capacity;
    Send send;
    Dropped dropped;
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::deque<Entry> entries;
    bool sending = false;
    bool stopping = false;
    bool senderRunning = false;
    // Last: destroyed first, so that an entry still being sent finishes before the fields above go.
    OperationQueue sender{1};

    // The sender's operation: sends in order until the queue is empty.
    void drain();

    // Waits, in the clock's time, until `done` holds or the time is up.
    template <typename Done> bool waitFor(std::unique_lock<std::mutex>& lock, double seconds, Done done) {
        Date deadline = Date::now().addingSeconds(seconds);
        while (!done()) {
            if (Date::now() >= deadline) return false;
            changed.wait_for(lock, std::chrono::milliseconds(10));
        }
        return true;
    }
};

void LogMailQueue::State::drain() {
    std::unique_lock lock(mutex);
    while (!entries.empty()) {
        Entry entry = std::move(entries.front());
        entries.pop_front();
        sending = true;
        lock.unlock();
        try {
            send(entry);
        } catch (...) {
            // a failing sender loses this entry, never the queue
        }
        lock.lock();
        sending = false;
        changed.notify_all();
    }
    senderRunning = false;
    changed.notify_all();
}

LogMailQueue::LogMailQueue(size_t capacity, Send send, Dropped dropped) : state_(std::make_unique<State>()) {
    state_->capacity = capacity > 0 ? capacity : 1;
    state_->send = std::move(send);
    state_->dropped = std::move(dropped);
}

LogMailQueue::~LogMailQueue() {
    {
        std::lock_guard lock(state_->mutex);
        state_->entries.clear();
    }
    shutdown(0);
}

void LogMailQueue::push(Entry entry) {
    std::optional<Entry> lost;
    bool startSender = false;
    {
        std::lock_guard lock(state_->mutex);
        if (state_->stopping) return;
        if (state_->entries.size() >= state_->capacity) {
            lost = std::move(state_->entries.front());
            state_->entries.pop_front();
        }
        state_->entries.push_back(std::move(entry));
        startSender = !state_->senderRunning;
        state_->senderRunning = true;
    }
    if (startSender) state_->sender.addOperation([state = state_.get()] { state->drain(); });
    if (lost && state_->dropped) state_->dropped(*lost);
}

bool LogMailQueue::flush(double seconds) {
    std::unique_lock lock(state_->mutex);
    return state_->waitFor(lock, seconds, [&] { return state_->entries.empty() && !state_->sending; });
}

bool LogMailQueue::shutdown(double seconds) {
    std::unique_lock lock(state_->mutex);
    state_->stopping = true;
    bool drained = state_->waitFor(lock, seconds, [&] { return !state_->senderRunning; });
    // A sender given up on finishes the entry it is sending and no more: the process may be
    // tearing down what a send reads.
    if (!drained) state_->entries.clear();
    return drained;
}

size_t LogMailQueue::pending() const {
    std::lock_guard lock(state_->mutex);
    return state_->entries.size() + (state_->sending ? 1 : 0);
}

} // namespace tavlo
