#include "core/util/LogMailQueue.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/foundation/Clock.h"

namespace tavlo {

// Owned jointly by the queue and its worker, so that a worker left sending at exit never
// touches freed memory.
struct LogMailQueue::Shared {
    size_t capacity;
    Send send;
    Dropped dropped;
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::deque<Entry> entries;
    bool sending = false;
    bool stopping = false;
    bool workerRunning = false;
    std::thread worker;

    // The worker: sends in order until stopped and drained.
    static void run(const std::shared_ptr<Shared>& s);

    // Waits, in the clock's time, until `done` holds or the time is up.
    template <typename Done>
    bool waitFor(std::unique_lock<std::mutex>& lock, double seconds, Done done) {
        Date deadline = Date::now().addingSeconds(seconds);
        while (!done()) {
            if (Date::now() >= deadline) return false;
            changed.wait_for(lock, std::chrono::milliseconds(10));
        }
        return true;
    }
};

void LogMailQueue::Shared::run(const std::shared_ptr<Shared>& s) {
    std::unique_lock lock(s->mutex);
    while (true) {
        s->changed.wait(lock, [&] { return !s->entries.empty() || s->stopping; });
        if (s->entries.empty()) break;  // stopping and drained
        Entry entry = std::move(s->entries.front());
        s->entries.pop_front();
        s->sending = true;
        lock.unlock();
        try {
            s->send(entry);
        } catch (...) {
            // a failing sender loses this entry, never the worker
        }
        lock.lock();
        s->sending = false;
        s->changed.notify_all();
    }
    s->workerRunning = false;
    s->changed.notify_all();
}

LogMailQueue::LogMailQueue(size_t capacity, Send send, Dropped dropped) : shared_(std::make_shared<Shared>()) {
    shared_->capacity = capacity > 0 ? capacity : 1;
    shared_->send = std::move(send);
    shared_->dropped = std::move(dropped);
}

LogMailQueue::~LogMailQueue() {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->entries.clear();
    }
    shutdown(0);
}

void LogMailQueue::push(Entry entry) {
    std::optional<Entry> lost;
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->stopping) return;
        if (shared_->entries.size() >= shared_->capacity) {
            lost = std::move(shared_->entries.front());
            shared_->entries.pop_front();
        }
        shared_->entries.push_back(std::move(entry));
        if (!shared_->workerRunning) {
            shared_->workerRunning = true;
            shared_->worker = std::thread(Shared::run, shared_);
        }
    }
    shared_->changed.notify_all();
    if (lost && shared_->dropped) shared_->dropped(*lost);
}

bool LogMailQueue::flush(double seconds) {
    std::unique_lock lock(shared_->mutex);
    return shared_->waitFor(lock, seconds, [&] { return shared_->entries.empty() && !shared_->sending; });
}

bool LogMailQueue::shutdown(double seconds) {
    std::unique_lock lock(shared_->mutex);
    shared_->stopping = true;
    shared_->changed.notify_all();
    bool drained = shared_->waitFor(lock, seconds, [&] { return !shared_->workerRunning; });
    // A worker given up on finishes the entry it is sending and no more: the process may be
    // tearing down what a send reads.
    if (!drained) shared_->entries.clear();
    std::thread worker = std::move(shared_->worker);
    lock.unlock();
    if (worker.joinable()) {
        if (drained) worker.join();
        else worker.detach();
    }
    return drained;
}

size_t LogMailQueue::pending() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->entries.size() + (shared_->sending ? 1 : 0);
}

} // namespace tavlo
