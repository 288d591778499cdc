#include "support/LoopbackListener.h"

#include <arpa/inet.h>
#include <filesystem>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace tavlo::test {

namespace {

// Binds `*port` (0: any free one) and tells the port bound.
int bindLoopback(int* port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error("socket failed");
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(*port));
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    socklen_t length = sizeof a;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        close(fd);
        throw std::runtime_error("bind on loopback failed");
    }
    *port = ntohs(a.sin_port);
    return fd;
}

} // namespace

LoopbackListener::LoopbackListener(int backlog, int port) : port_(port) {
    fd_ = bindLoopback(&port_);
    if (listen(fd_, backlog) != 0) {
        close(fd_);
        throw std::runtime_error("listen failed");
    }
}

LoopbackListener::~LoopbackListener() {
    if (fd_ >= 0) close(fd_);
}

int LoopbackListener::accept() { return ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC); }

int LoopbackListener::closedPort() {
    int port = 0;
    close(bindLoopback(&port));
    return port;
}

int LoopbackListener::openDescriptorCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

} // namespace tavlo::test
