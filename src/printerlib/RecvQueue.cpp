#include "printerlib/RecvQueue.h"

#include "platform/foundation/RunLoop.h"
#include "printerlib/Trace.h"

#include <algorithm>
#include <cstring>

namespace tavlo::printerlib {

RecvQueue::~RecvQueue() { willRelease_ = true; }

void RecvQueue::push(const uint8_t* bytes, long size) {
    if (!bytes || size <= 0) return;
    std::lock_guard lock(mutex_);
    data_.insert(data_.end(), bytes, bytes + size);
}

long RecvQueue::length() const {
    std::lock_guard lock(mutex_);
    return static_cast<long>(data_.size());
}

void RecvQueue::clear() {
    std::lock_guard lock(mutex_);
    data_.clear();
}

void RecvQueue::waitStep() { RunLoop::current().runFor(kStepSeconds); }

long RecvQueue::pop(uint8_t* buffer, long size) { return popWithin(buffer, size, timeout_, true); }

long RecvQueue::pop(uint8_t* buffer, long size, float) {
    trace(TraceLevel::Detail, "__pop_%ld", size);
    return popWithin(buffer, size, kDefaultTimeout, false);
}

long RecvQueue::popWithin(uint8_t* buffer, long size, float steps, bool whileEmptyOnly) {
    if (doTerminate_ || !buffer) return 0;
    long delivered = 0;
    for (int taken = 0;; ++taken) {
        if (willRelease_ || delivered >= size) break;
        {
            std::lock_guard lock(mutex_);
            if ((!whileEmptyOnly || data_.empty()) && taken > steps) {
                trace(TraceLevel::Detail, "__timeout. %d, %f", taken, steps);
                break;
            }
            long count = std::min(static_cast<long>(data_.size()), size - delivered);
            if (count > 0) {
                std::memcpy(buffer + delivered, data_.data(), static_cast<size_t>(count));
                data_.erase(data_.begin(), data_.begin() + count);
                delivered += count;
            }
        }
        if (delivered >= size) break;
        waitStep();
        if (doTerminate_) break;
    }
    return delivered;
}

bool RecvQueue::findFrame(uint8_t value, uint8_t stx, Frame& frame) const {
    auto begin = data_.begin();
    if (stx != 0) begin = std::find(data_.begin(), data_.end(), stx);
    if (begin == data_.end()) return false;
    // The end byte is looked for after the start byte, so that the two may be the same.
    auto from = stx != 0 ? begin + 1 : begin;
    auto end = std::find(from, data_.end(), value);
    if (end == data_.end()) return false;
    frame.skip = begin - data_.begin();
    frame.count = (end - begin) + (value == 0 ? 1 : 0);
    frame.end = (end - data_.begin()) + 1;
    return true;
}

long RecvQueue::popValue(uint8_t* buffer, long size, uint8_t value, uint8_t stx) {
    if (buffer && size > 0) std::memset(buffer, 0, static_cast<size_t>(size));
    if (doTerminate_) return 0;
    for (int taken = 0;; ++taken) {
        if (willRelease_ || size < 1 || !buffer) return 0;
        if (taken > timeout_) {
            trace(TraceLevel::Detail, "__timeout. %ld, %f, %lu, %ld, %ld", taken, timeout_.load(), size, value, stx);
            return 0;
        }
        {
            std::lock_guard lock(mutex_);
            Frame frame;
            // An empty frame (an end byte with nothing before it) is dropped: left in place it
            // would stand in front of every later frame.
            while (findFrame(value, stx, frame) && frame.count == 0)
                data_.erase(data_.begin(), data_.begin() + frame.end);
            if (frame.count > 0) {
                long copied = std::min(frame.count, size);
                std::memcpy(buffer, data_.data() + frame.skip, static_cast<size_t>(copied));
                data_.erase(data_.begin(), data_.begin() + frame.end);
                return copied;
            }
        }
        waitStep();
        if (doTerminate_) return 0;
    }
}

} // namespace tavlo::printerlib
