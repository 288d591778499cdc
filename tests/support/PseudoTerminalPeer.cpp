#include "support/PseudoTerminalPeer.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <unistd.h>

namespace tavlo::test {

PseudoTerminalPeer::PseudoTerminalPeer() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    devicePath_ = ::ptsname(master_);
    thread_ = std::thread([this] { serve(); });
}

PseudoTerminalPeer::~PseudoTerminalPeer() {
    stopping_ = true;
    thread_.join();
    hangUp();
}

void PseudoTerminalPeer::send(const std::string& bytes) {
    std::lock_guard lock(mutex_);
    if (master_ >= 0) (void)!::write(master_, bytes.data(), bytes.size());
}

void PseudoTerminalPeer::replyTo(std::string request, std::string reply) {
    std::lock_guard lock(mutex_);
    replies_.emplace_back(std::move(request), std::move(reply));
}

std::string PseudoTerminalPeer::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

bool PseudoTerminalPeer::waitForReceived(const std::string& bytes) const {
    for (int i = 0; i < 10000; ++i) {
        if (received().find(bytes) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

void PseudoTerminalPeer::hangUp() {
    std::lock_guard lock(mutex_);
    if (master_ >= 0) ::close(master_);
    master_ = -1;
}

void PseudoTerminalPeer::serve() {
    while (!stopping_) {
        int fd;
        {
            std::lock_guard lock(mutex_);
            fd = master_;
        }
        pollfd entry{fd, POLLIN, 0};
        // A master without an open slave side reports a hang-up at once; wait a little then.
        if (fd < 0 || !reading_ || ::poll(&entry, 1, 5) <= 0 || !(entry.revents & POLLIN)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        char buffer[256];
        ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count <= 0) continue;
        std::lock_guard lock(mutex_);
        received_.append(buffer, static_cast<size_t>(count));
        for (const auto& [request, reply] : replies_) {
            if (received_.size() >= request.size() &&
                received_.compare(received_.size() - request.size(), request.size(), request) == 0) {
                (void)!::write(master_, reply.data(), reply.size());
            }
        }
    }
}

} // namespace tavlo::test
