#include "platform/net/Sockets.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <ifaddrs.h>
#include <linux/sockios.h>
#include <mutex>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tavlo {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Linux has no per-socket "no SIGPIPE" option, and the printers write to these descriptors with
// plain write(2); a peer that hangs up must give EPIPE rather than end the program.
void ignoreBrokenPipes() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction current {};
        if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
            struct sigaction ignore {};
            ignore.sa_handler = SIG_IGN;
            sigemptyset(&ignore.sa_mask);
            sigaction(SIGPIPE, &ignore, nullptr);
        }
    });
}

void setError(int* out, int value) {
    if (out) *out = value;
}

// Whether an interface's address is the given socket address (the port aside).
bool sameAddress(const sockaddr* interfaceAddress, const std::string& socketAddress) {
    if (!interfaceAddress) return false;
    if (interfaceAddress->sa_family == AF_INET && socketAddress.size() == sizeof(sockaddr_in)) {
        sockaddr_in wanted{};
        std::memcpy(&wanted, socketAddress.data(), sizeof wanted);
        return wanted.sin_family == AF_INET &&
               reinterpret_cast<const sockaddr_in*>(interfaceAddress)->sin_addr.s_addr == wanted.sin_addr.s_addr;
    }
    if (interfaceAddress->sa_family == AF_INET6 && socketAddress.size() == sizeof(sockaddr_in6)) {
        sockaddr_in6 wanted{};
        std::memcpy(&wanted, socketAddress.data(), sizeof wanted);
        const in6_addr& held = reinterpret_cast<const sockaddr_in6*>(interfaceAddress)->sin6_addr;
        return wanted.sin6_family == AF_INET6 && std::memcmp(&held, &wanted.sin6_addr, sizeof held) == 0;
    }
    return false;
}

// Waits for the events on fd until the deadline; false when it passed first (or poll failed).
bool waitFor(int fd, short events, SteadyClock::time_point deadline, int* errorNumber) {
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
        if (left < 0) left = 0;
        pollfd wait{fd, events, 0};
        int ready = poll(&wait, 1, static_cast<int>(left));
        if (ready > 0) return true;
        if (ready == 0) {
            setError(errorNumber, ETIMEDOUT);
            return false;
        }
        if (errno != EINTR) {
            setError(errorNumber, errno);
            return false;
        }
    }
}

SteadyClock::time_point deadlineAfter(int timeoutSeconds) {
    return SteadyClock::now() + std::chrono::seconds(std::max(timeoutSeconds, 0));
}

} // namespace

bool Sockets::sendAll(int fd, const void* data, size_t length, int timeoutSeconds, int* errorNumber) {
    setError(errorNumber, 0);
    if (fd < 0) {
        setError(errorNumber, EBADF);
        return false;
    }
    const char* next = static_cast<const char*>(data);
    while (length > 0) {
        ssize_t sent = ::send(fd, next, length, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            next += sent;
            length -= static_cast<size_t>(sent);
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(fd, POLLOUT, deadlineAfter(timeoutSeconds), errorNumber)) return false;
        } else {
            setError(errorNumber, sent < 0 ? errno : EPIPE);
            return false;
        }
    }
    return true;
}

bool Sockets::finishSending(int fd, int timeoutSeconds, int* errorNumber) {
    setError(errorNumber, 0);
    if (fd < 0 || shutdown(fd, SHUT_WR) != 0) {
        setError(errorNumber, fd < 0 ? EBADF : errno);
        return false;
    }
    const SteadyClock::time_point deadline = deadlineAfter(timeoutSeconds);
    char dropped[512];
    for (;;) {
        ssize_t got = recv(fd, dropped, sizeof dropped, MSG_DONTWAIT);
        if (got == 0) return true;
        if (got > 0 || (got < 0 && errno == EINTR)) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            setError(errorNumber, errno);
            return false;
        }
        if (!waitFor(fd, POLLIN, deadline, errorNumber)) break;
    }
    // The peer keeps the connection: what it has acknowledged has reached it.
    int unacknowledged = 0;
    if (ioctl(fd, SIOCOUTQ, &unacknowledged) == 0 && unacknowledged == 0) {
        setError(errorNumber, 0);
        return true;
    }
    setError(errorNumber, ETIMEDOUT);
    return false;
}

std::optional<uint32_t> Sockets::parseIPv4(std::string_view text) {
    uint32_t value = 0;
    size_t pos = 0;
    for (int octet = 0; octet < 4; ++octet) {
        if (octet > 0) {
            if (pos >= text.size() || text[pos] != '.') return std::nullopt;
            ++pos;
        }
        size_t start = pos;
        unsigned part = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 3) {
            part = part * 10 + static_cast<unsigned>(text[pos] - '0');
            ++pos;
        }
        if (pos == start || part > 255) return std::nullopt;
        value = (value << 8) | part;
    }
    if (pos != text.size()) return std::nullopt;
    return htonl(value);
}

std::string Sockets::dottedText(uint32_t networkOrderAddress) {
    char text[INET_ADDRSTRLEN] = {};
    in_addr addr{};
    addr.s_addr = networkOrderAddress;
    inet_ntop(AF_INET, &addr, text, sizeof text);
    return text;
}

int Sockets::openTcp(const std::string& dottedAddress, int port, int timeoutSeconds, int* errorNumber) {
    setError(errorNumber, 0);
    std::optional<uint32_t> address = parseIPv4(dottedAddress);
    if (!address || port <= 0 || port > 65535) {
        setError(errorNumber, EINVAL);
        return -1;
    }
    ignoreBrokenPipes();
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        setError(errorNumber, errno);
        return -1;
    }
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
        setError(errorNumber, errno);
        close(fd);
        return -1;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = *address;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return fd;
    if (errno != EINPROGRESS) {
        setError(errorNumber, errno);
        close(fd);
        return -1;
    }

    pollfd wait{fd, POLLOUT, 0};
    int timeoutMs = timeoutSeconds > 0 ? timeoutSeconds * 1000 : 0;
    int ready;
    do { ready = poll(&wait, 1, timeoutMs); } while (ready < 0 && errno == EINTR);
    if (ready <= 0) {
        setError(errorNumber, ready == 0 ? ETIMEDOUT : errno);
        close(fd);
        return -1;
    }
    int socketError = 0;
    socklen_t length = sizeof socketError;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &socketError, &length) < 0) socketError = errno;
    if (socketError != 0) {
        setError(errorNumber, socketError);
        close(fd);
        return -1;
    }
    return fd;
}

std::optional<std::string> Sockets::lookupIPv4(const std::string& hostName) {
    if (hostName.empty()) return std::nullopt;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(hostName.c_str(), nullptr, &hints, &found) != 0 || !found) return std::nullopt;
    std::optional<std::string> result;
    for (addrinfo* a = found; a; a = a->ai_next) {
        if (a->ai_family == AF_INET && a->ai_addr) {
            result = dottedText(reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr);
            break;
        }
    }
    freeaddrinfo(found);
    return result;
}

std::vector<InterfaceAddress> Sockets::interfaceAddresses() {
    std::vector<InterfaceAddress> result;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return result;
    for (ifaddrs* i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
        InterfaceAddress entry;
        entry.name = i->ifa_name ? i->ifa_name : "";
        entry.address = dottedText(reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr);
        entry.up = (i->ifa_flags & IFF_UP) != 0 && (i->ifa_flags & IFF_RUNNING) != 0;
        entry.loopback = (i->ifa_flags & IFF_LOOPBACK) != 0;
        result.push_back(std::move(entry));
    }
    freeifaddrs(list);
    return result;
}

int Sockets::interfaceMtu(const std::string& socketAddress) {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return 0;
    std::string name;
    for (ifaddrs* i = list; i && name.empty(); i = i->ifa_next)
        if (i->ifa_name && sameAddress(i->ifa_addr, socketAddress)) name = i->ifa_name;
    freeifaddrs(list);
    if (name.empty() || name.size() >= IFNAMSIZ) return 0;

    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    ifreq request{};
    std::memcpy(request.ifr_name, name.c_str(), name.size() + 1);
    int mtu = ioctl(fd, SIOCGIFMTU, &request) == 0 ? request.ifr_mtu : 0;
    close(fd);
    return mtu;
}

} // namespace tavlo
