#include "printerlib/UDPServer.h"

#include "platform/net/Sockets.h"
#include "printerlib/NetFunctions.h"
#include "printerlib/Trace.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace tavlo::printerlib {

namespace {

void closeSocket(std::atomic<int>& socket) {
    int fd = socket.exchange(-1);
    if (fd >= 0) ::close(fd);
}

bool bindTo(int fd, uint32_t networkAddress, uint16_t port) {
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = networkAddress;
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

} // namespace

UDPServer::UDPServer() {
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) throw std::runtime_error("eventfd failed");
}

UDPServer::~UDPServer() {
    stop();
    ::close(wakeFd_);
}

void UDPServer::setPortWlan(uint16_t port) {
    std::lock_guard lock(mutex_);
    if (sockWifi_ < 0) portWlan_ = port;
}

void UDPServer::setPortEthernet(uint16_t port) {
    std::lock_guard lock(mutex_);
    if (sockEthernet_ < 0) portEthernet_ = port;
}

std::string UDPServer::broadcastAddress() const {
    std::lock_guard lock(addressMutex_);
    return broadcastAddress_;
}

void UDPServer::setBroadcastAddress(std::string address) {
    std::lock_guard lock(addressMutex_);
    broadcastAddress_ = std::move(address);
}

void UDPServer::start(unsigned mask) {
    std::lock_guard lock(mutex_);
    if (sockWifi_ >= 0 || sockEthernet_ >= 0) {
        trace(TraceLevel::Error, "socket is not available.");
        return;
    }
    if ((mask & WiFiSocket) && !open(sockWifi_, portWlan_, threadWifi_)) return;
    if (mask & EthernetSocket) open(sockEthernet_, portEthernet_, threadEthernet_);
}

bool UDPServer::open(std::atomic<int>& socket, uint16_t port, std::thread& thread) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        trace(TraceLevel::Error, "[ERROR] socket() failure. errno = %d", errno);
        return false;
    }
    if (!bindTo(fd, htonl(INADDR_ANY), port)) {
        trace(TraceLevel::Error, "[ERROR] bind() failure. errno = %d", errno);
        ::close(fd);
        return false;
    }
    socket = fd;
    thread = std::thread([this, fd] { service(fd); });
    return true;
}

void UDPServer::service(int socket) {
    if (UDPServerDelegate* d = delegate_) d->didUDPServiceStart();
    trace(TraceLevel::Detail, "UDPServer: begin udp server at port:%d", socket);
    std::vector<uint8_t> buffer(kMaxDatagram);
    for (;;) {
        pollfd watch[2] = {{socket, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        int ready = ::poll(watch, 2, -1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0 || watch[1].revents) {
            trace(TraceLevel::Detail, "UDPServer: break signal");
            break;
        }
        sockaddr_in from{};
        socklen_t length = sizeof from;
        ssize_t got = ::recvfrom(socket, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (got < 0) continue;
        UDPPacket packet{&from, buffer.data(), static_cast<int32_t>(got)};
        if (UDPServerDelegate* d = delegate_) d->didUDPReceive(packet);
    }
    if (UDPServerDelegate* d = delegate_) d->didUDPServiceStop();
    trace(TraceLevel::Detail, "UDPServer: end");
}

void UDPServer::stop() {
    std::lock_guard lock(mutex_);
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
    for (std::thread* thread : {&threadWifi_, &threadEthernet_})
        if (thread->joinable()) thread->join();
    closeSocket(sockWifi_);
    closeSocket(sockEthernet_);
    uint64_t count;
    n = ::read(wakeFd_, &count, sizeof count); // ready for the next start
}

std::vector<UDPServer::BroadcastRoute> UDPServer::broadcastRoutes() const {
    const std::string destination = broadcastAddress();
    const bool ownDestination = destination != kDefaultBroadcastAddress;
    std::vector<BroadcastRoute> routes;
    // A named interface is the only one searched, as before.
    if (std::optional<std::string> named = NetFunctions::configuredWiFiInterface()) {
        std::optional<uint32_t> from = Sockets::parseIPv4(NetFunctions::addressForInterface(*named));
        std::optional<uint32_t> to = Sockets::parseIPv4(destination);
        if (from && to) routes.push_back({*from, *to});
        return routes;
    }
    // Otherwise every interface that is up and can broadcast, each to its own network's
    // broadcast address (unless a destination was given).
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return routes;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET) continue;
        if (!(entry->ifa_flags & IFF_UP) || (entry->ifa_flags & IFF_LOOPBACK) || !(entry->ifa_flags & IFF_BROADCAST))
            continue;
        if (!entry->ifa_broadaddr) continue;
        uint32_t from = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr;
        uint32_t own = reinterpret_cast<const sockaddr_in*>(entry->ifa_broadaddr)->sin_addr.s_addr;
        std::optional<uint32_t> to = ownDestination ? Sockets::parseIPv4(destination) : std::optional<uint32_t>(own);
        if (to) routes.push_back({from, *to});
    }
    ::freeifaddrs(list);
    return routes;
}

bool UDPServer::broadcast(uint16_t dstPort, uint16_t srcPort, const uint8_t* bytes, long size, int) {
    const std::vector<BroadcastRoute> routes = broadcastRoutes();
    if (routes.empty() && allowLog_) trace(TraceLevel::Error, "[ERROR] WiFi is not used.");
    bool sent = false;
    for (const BroadcastRoute& route : routes) sent = broadcastOn(route, dstPort, srcPort, bytes, size) || sent;
    return sent;
}

bool UDPServer::broadcastOn(const BroadcastRoute& route, uint16_t dstPort, uint16_t srcPort, const uint8_t* bytes,
                            long size) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        if (allowLog_) trace(TraceLevel::Error, "[ERROR] broadcast: socket() failure. error code = %d", errno);
        return false;
    }
    bool sent = false;
    if (!bindTo(fd, route.from, srcPort)) {
        trace(TraceLevel::Error, "failed to bind event socket. %s[%d]", std::strerror(errno), errno);
    } else {
        int one = 1;
        setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(dstPort);
        target.sin_addr.s_addr = route.to;
        sent = ::sendto(fd, bytes, static_cast<size_t>(size), 0, reinterpret_cast<const sockaddr*>(&target),
                        sizeof target) == size;
        if (!sent) trace(TraceLevel::Error, "sendto() failure. %s[%d]", std::strerror(errno), errno);
    }
    ::close(fd);
    return sent;
}

} // namespace tavlo::printerlib
