#include "platform/net/NetworkReachability.h"

#include <algorithm>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tavlo {

namespace {

bool hasRoute(const sockaddr* address, socklen_t length) {
    int fd = ::socket(address->sa_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    bool routed = ::connect(fd, address, length) == 0;
    ::close(fd);
    return routed;
}

} // namespace

std::unique_ptr<NetworkReachability> NetworkReachability::withAddress(const std::string& socketAddress) {
    sockaddr_storage address{};
    std::memcpy(&address, socketAddress.data(), std::min(socketAddress.size(), sizeof address));
    bool ipv4 = address.ss_family == AF_INET && socketAddress.size() == sizeof(sockaddr_in);
    bool ipv6 = address.ss_family == AF_INET6 && socketAddress.size() == sizeof(sockaddr_in6);
    if (!ipv4 && !ipv6) return nullptr;
    return std::unique_ptr<NetworkReachability>(new NetworkReachability(socketAddress, ""));
}

std::unique_ptr<NetworkReachability> NetworkReachability::withName(const std::string& hostName) {
    return std::unique_ptr<NetworkReachability>(new NetworkReachability("", hostName));
}

bool NetworkReachability::isReachable() const {
    if (!socketAddress_.empty()) {
        sockaddr_storage address{};
        std::memcpy(&address, socketAddress_.data(), socketAddress_.size());
        return hasRoute(reinterpret_cast<const sockaddr*>(&address), static_cast<socklen_t>(socketAddress_.size()));
    }
    if (hostName_.empty()) return false;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    // Any port will do: the route depends on the address alone.
    if (getaddrinfo(hostName_.c_str(), "9", &hints, &found) != 0) return false;
    bool reachable = false;
    for (addrinfo* a = found; a && !reachable; a = a->ai_next) reachable = hasRoute(a->ai_addr, a->ai_addrlen);
    freeaddrinfo(found);
    return reachable;
}

} // namespace tavlo
