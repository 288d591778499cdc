#include "support/LoopbackPrinter.h"

#include "support/LoopbackListener.h"

#include <chrono>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace tavlo::test {

namespace {

// Waits for the descriptor to be readable; false once the wake pipe says to stop.
bool readable(int fd, int wakeFd) {
    pollfd wait[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    while (poll(wait, 2, -1) < 0) {}
    return (wait[1].revents & POLLIN) == 0;
}

} // namespace

LoopbackPrinter::LoopbackPrinter(std::optional<size_t> dropAfter) : dropAfter_(dropAfter) {
    auto listener = std::make_unique<LoopbackListener>();
    listenFd_ = dup(listener->fd());
    port_ = listener->port();
    if (listenFd_ < 0 || pipe(wakeFds_) != 0) throw std::runtime_error("LoopbackPrinter: no descriptors");
    thread_ = std::thread([this] { serve(); });
}

LoopbackPrinter::~LoopbackPrinter() {
    release();
    (void)!write(wakeFds_[1], "x", 1);
    thread_.join();
    close(listenFd_);
    close(wakeFds_[0]);
    close(wakeFds_[1]);
}

std::string LoopbackPrinter::url() const { return "127.0.0.1:" + std::to_string(port_); }

std::vector<std::string> LoopbackPrinter::jobs(size_t count) {
    std::unique_lock lock(mutex_);
    ended_.wait_for(lock, std::chrono::seconds(30), [&] { return jobs_.size() >= count; });
    return jobs_;
}

void LoopbackPrinter::stall() {
    // The smallest window the kernel allows, so that a few kilobytes stay unacknowledged.
    int size = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    std::lock_guard lock(mutex_);
    stalled_ = true;
}

void LoopbackPrinter::release() {
    std::lock_guard lock(mutex_);
    stalled_ = false;
    released_.notify_all();
}

void LoopbackPrinter::serve() {
    while (readable(listenFd_, wakeFds_[0])) {
        int connection = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        {
            std::unique_lock lock(mutex_);
            released_.wait(lock, [&] { return !stalled_; });
        }
        std::string job;
        char buffer[4096];
        while (readable(connection, wakeFds_[0])) {
            size_t room = dropAfter_ ? std::min(sizeof buffer, *dropAfter_ - job.size()) : sizeof buffer;
            ssize_t got = room > 0 ? recv(connection, buffer, room, 0) : 0;
            if (got <= 0) break;
            job.append(buffer, static_cast<size_t>(got));
        }
        close(connection);
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        ended_.notify_all();
    }
}

} // namespace tavlo::test
