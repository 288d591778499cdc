#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace tavlo {

// Hands log entries to a slow sender without making the caller wait: a bounded queue that one
// background worker empties in order. When full, the oldest entry is dropped.
class LogMailQueue {
public:
    struct Entry {
        std::string file;  // the source file's name
        int line = 0;
        std::string message;
    };
    using Send = std::function<void(const Entry&)>;
    using Dropped = std::function<void(const Entry&)>;

    // `dropped` runs on the caller's thread, outside the queue's lock.
    LogMailQueue(size_t capacity, Send send, Dropped dropped);
    // Drops what is still queued and stops without waiting; an entry being sent finishes.
    ~LogMailQueue();
    LogMailQueue(const LogMailQueue&) = delete;
    LogMailQueue& operator=(const LogMailQueue&) = delete;

    // Queues the entry (starting the worker when needed). Ignored after shutdown.
    void push(Entry entry);
    // Waits until everything queued has been sent or `seconds` of the clock have passed; true
    // when the queue is empty and the worker idle.
    bool flush(double seconds);
    // Takes no more entries and lets the worker drain for up to `seconds`; true when it did.
    // When the time is up, what is still queued is dropped; an entry being sent finishes.
    bool shutdown(double seconds);
    size_t pending() const;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

} // namespace tavlo
