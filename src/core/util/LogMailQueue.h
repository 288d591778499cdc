#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace tavlo {

// Hands log entries to a slow sender without making the caller wait: a bounded queue that one
// background operation empties in order, on a serial operation queue of its own. When full, the
// oldest entry is dropped.
class LogMailQueue {
public:
    struct Entry {
        std::string file; // the source file's name
        int line = 0;
        std::string message;
    };
    using Send = std::function<void(const Entry&)>;
    using Dropped = std::function<void(const Entry&)>;

    // `dropped` runs on the caller's thread, outside the queue's lock.
    LogMailQueue(size_t capacity, Send send, Dropped dropped);
    // Drops what is still queued and waits for an entry being sent.
    ~LogMailQueue();
    LogMailQueue(const LogMailQueue&) = delete;
    LogMailQueue& operator=(const LogMailQueue&) = delete;

    // Queues the entry (starting the sender's operation when none is running). Ignored after
    // shutdown.
    void push(Entry entry);
    // Waits until everything queued has been sent or `seconds` of the clock have passed; true
    // when the queue is empty and the sender idle.
    bool flush(double seconds);
    // Takes no more entries and lets the sender drain for up to `seconds`; true when it did.
    // When the time is up, what is still queued is dropped and the call returns at once; an
    // entry being sent finishes in the background.
    bool shutdown(double seconds);
    size_t pending() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace tavlo
