#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace tavlo::printerlib {

// The bytes a printer sent that no handler took, oldest first. The controller's read thread
// pushes; command replies are popped on other threads. A pop waits in steps: each step runs the
// calling thread's run loop for 0.1 second of the clock, so the sources of that loop are served
// meanwhile, and `timeout` counts steps (20: two seconds).
class RecvQueue {
public:
    static constexpr double kStepSeconds = 0.1;
    static constexpr float kDefaultTimeout = 20.0f;

    RecvQueue() = default;
    // Ends every wait at once, then goes.
    ~RecvQueue();
    RecvQueue(const RecvQueue&) = delete;
    RecvQueue& operator=(const RecvQueue&) = delete;

    void push(const uint8_t* bytes, long size);
    long length() const;
    void clear();

    // Takes up to `size` bytes, waiting for the rest while bytes keep coming: it gives up once
    // more than `timeout` steps have passed and the queue is empty. Answers the count taken.
    long pop(uint8_t* buffer, long size);
    // The same, but it gives up after 20 steps whether or not bytes keep coming. The time-out
    // argument is kept for callers; every timed pop waits the same two seconds.
    long pop(uint8_t* buffer, long size, float timeout);
    // Takes one frame: from the first `stx` byte (the front when stx is 0) to just before the next
    // `value` byte; with value 0, the zero-terminated text with its zero. The caller's buffer is
    // cleared first and gets at most `size` bytes. What lies before the frame, the frame and its
    // end byte leave the queue. Answers the frame's count, 0 when none came within `timeout` steps.
    long popValue(uint8_t* buffer, long size, uint8_t value, uint8_t stx);
    long popValue(uint8_t* buffer, long size, uint8_t value) { return popValue(buffer, size, value, 0); }

    bool doTerminate() const { return doTerminate_; }
    void setDoTerminate(bool terminate) { doTerminate_ = terminate; }
    float timeout() const { return timeout_; }
    void setTimeout(float steps) { timeout_ = steps; }
    bool allowLog() const { return allowLog_; }
    void setAllowLog(bool allow) { allowLog_ = allow; }
    int levelLog() const { return levelLog_; }
    void setLevelLog(int level) { levelLog_ = level; }

private:
    struct Frame {
        long skip = 0;  // bytes before the frame
        long count = 0; // the frame's bytes
        long end = 0;   // bytes that leave the queue with it
    };
    long popWithin(uint8_t* buffer, long size, float steps, bool whileEmptyOnly);
    // Under the lock.
    bool findFrame(uint8_t value, uint8_t stx, Frame& frame) const;
    static void waitStep();

    mutable std::mutex mutex_;
    std::vector<uint8_t> data_;
    std::atomic<bool> willRelease_{false};
    std::atomic<bool> doTerminate_{false};
    std::atomic<float> timeout_{kDefaultTimeout};
    std::atomic<bool> allowLog_{false};
    std::atomic<int> levelLog_{0};
};

} // namespace tavlo::printerlib
