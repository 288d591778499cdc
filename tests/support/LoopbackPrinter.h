#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tavlo::test {

// A network printer on 127.0.0.1: on a thread of its own it takes one connection after another
// and keeps the bytes of each (a job) until the sender ends its side, then closes it, as a
// printer does. A printer made with `dropAfter` closes every connection as soon as that many
// bytes have arrived, leaving the rest unread (the sender's side sees the connection reset).
// A stalled printer takes connections but reads nothing, with a small receive window, until it
// is released: then it prints what it was sent after all, as a printer out of paper does once
// someone fills it.
class LoopbackPrinter {
public:
    explicit LoopbackPrinter(std::optional<size_t> dropAfter = std::nullopt);
    ~LoopbackPrinter();
    LoopbackPrinter(const LoopbackPrinter&) = delete;
    LoopbackPrinter& operator=(const LoopbackPrinter&) = delete;

    int port() const { return port_; }
    // "127.0.0.1:<port>"
    std::string url() const;
    // The jobs received so far, after waiting (30 s at most) until at least `count` have ended.
    std::vector<std::string> jobs(size_t count = 0);
    // Stops reading until `release` (set before the sender connects).
    void stall();
    void release();

private:
    void serve();

    int listenFd_ = -1;
    int port_ = 0;
    int wakeFds_[2] = {-1, -1};
    std::optional<size_t> dropAfter_;
    std::mutex mutex_;
    std::condition_variable ended_, released_;
    bool stalled_ = false;
    std::vector<std::string> jobs_;
    std::thread thread_;
};

} // namespace tavlo::test
