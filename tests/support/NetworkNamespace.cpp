#include "support/NetworkNamespace.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/if_tun.h>
#include <net/if.h>
#include <net/route.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tavlo::test {

namespace {

constexpr int kUnavailable = 77;

} // namespace

NamespaceRun runInNetworkNamespace(const std::function<std::string()>& setUp, const std::function<void()>& body) {
    NamespaceRun run;
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        run.unavailable = std::string("pipe: ") + std::strerror(errno);
        return run;
    }
    pid_t child = fork();
    if (child < 0) {
        run.unavailable = std::string("fork: ") + std::strerror(errno);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return run;
    }
    if (child == 0) {
        ::close(pipeFds[0]);
        std::string reason;
        if (unshare(CLONE_NEWNET) != 0) reason = std::string("unshare(CLONE_NEWNET): ") + std::strerror(errno);
        else if (setUp) reason = setUp();
        if (!reason.empty()) {
            [[maybe_unused]] ssize_t n = write(pipeFds[1], reason.data(), reason.size());
            _exit(kUnavailable);
        }
        body();
        std::fflush(stdout);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    ::close(pipeFds[1]);
    std::string reason;
    char buffer[256];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;) reason.append(buffer, static_cast<size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        run.exitCode = -1;
        return run;
    }
    run.exitCode = WEXITSTATUS(status);
    if (run.exitCode == kUnavailable) run.unavailable = reason;
    return run;
}

std::string bringLoopbackUp() {
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return std::string("socket: ") + std::strerror(errno);
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    std::string failure;
    if (ioctl(fd, SIOCGIFFLAGS, &request) != 0) {
        failure = std::string("reading lo: ") + std::strerror(errno);
    } else {
        request.ifr_flags |= IFF_UP | IFF_MULTICAST;
        if (ioctl(fd, SIOCSIFFLAGS, &request) != 0) failure = std::string("setting lo up: ") + std::strerror(errno);
    }
    ::close(fd);
    return failure;
}

std::string bringLoopbackUpForMulticast() {
    if (std::string failure = bringLoopbackUp(); !failure.empty()) return failure;
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return std::string("socket: ") + std::strerror(errno);
    rtentry route{};
    auto* dst = reinterpret_cast<sockaddr_in*>(&route.rt_dst);
    dst->sin_family = AF_INET;
    dst->sin_addr.s_addr = inet_addr("224.0.0.0");
    auto* mask = reinterpret_cast<sockaddr_in*>(&route.rt_genmask);
    mask->sin_family = AF_INET;
    mask->sin_addr.s_addr = inet_addr("240.0.0.0");
    route.rt_flags = RTF_UP;
    char device[] = "lo";
    route.rt_dev = device;
    std::string failure;
    if (ioctl(fd, SIOCADDRT, &route) != 0) failure = std::string("multicast route: ") + std::strerror(errno);
    ::close(fd);
    return failure;
}

std::string announcementDatagram(int32_t type, const std::vector<std::string>& texts, size_t padTo) {
    std::string d("\xAC\xED\x00\x05\x77\x04", 6);
    uint32_t t = static_cast<uint32_t>(type);
    for (int shift = 24; shift >= 0; shift -= 8) d += static_cast<char>((t >> shift) & 0xFF);
    for (const std::string& text : texts) {
        d += '\x74';
        d += static_cast<char>(text.size() >> 8);
        d += static_cast<char>(text.size() & 0xFF);
        d += text;
    }
    if (d.size() < padTo) d.append(padTo - d.size(), '\0');
    return d;
}

std::string makeTapInterface(const char* name, const char* address) {
    int tun = ::open("/dev/net/tun", O_RDWR | O_CLOEXEC);
    if (tun < 0) return std::string("/dev/net/tun: ") + std::strerror(errno);
    ifreq request{};
    request.ifr_flags = IFF_TAP | IFF_NO_PI;
    std::strncpy(request.ifr_name, name, IFNAMSIZ - 1);
    if (::ioctl(tun, TUNSETIFF, &request) != 0) return std::string("TUNSETIFF: ") + std::strerror(errno);
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in in{};
    in.sin_family = AF_INET;
    ::inet_pton(AF_INET, address, &in.sin_addr);
    std::memcpy(&request.ifr_addr, &in, sizeof in);
    std::string failure;
    if (::ioctl(fd, SIOCSIFADDR, &request) != 0) failure = std::string("SIOCSIFADDR: ") + std::strerror(errno);
    else if (::ioctl(fd, SIOCGIFFLAGS, &request) != 0) failure = std::string("SIOCGIFFLAGS: ") + std::strerror(errno);
    else {
        request.ifr_flags |= IFF_UP;
        if (::ioctl(fd, SIOCSIFFLAGS, &request) != 0) failure = std::string("SIOCSIFFLAGS: ") + std::strerror(errno);
    }
    ::close(fd);
    return failure;
}

} // namespace tavlo::test
