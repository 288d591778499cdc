#pragma once

#include <cstdint>

namespace tavlo::test {

// A TCP listening socket on 127.0.0.1 with a system-chosen port, or a given one (a stand-in for a
// printer or a server that accepts connections).
class LoopbackListener {
public:
    explicit LoopbackListener(int backlog = 8, int port = 0);
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    int port() const { return port_; }
    int fd() const { return fd_; }
    // Accepts one waiting connection (blocking); the caller closes the answer.
    int accept();

    // A loopback port that nothing listens on (bound once, then closed).
    static int closedPort();
    // Open descriptors of this process (to see that failures leave none behind).
    static int openDescriptorCount();

private:
    int fd_ = -1;
    int port_ = 0;
};

} // namespace tavlo::test
