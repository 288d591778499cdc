#include "printerlib/UDPServer.h"

#include "platform/net/Sockets.h"
#include "printerlib/NetFunctions.h"
#include "printerlib/Trace.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
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
    std::vector<uint8_t> buffer(MaxDatagram);
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
    n = ::read(wakeFd_, &count, sizeof count);  // ready for the next start
}

bool UDPServer::broadcast(uint16_t dstPort, uint16_t srcPort, const uint8_t* bytes, long size, int) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        if (allowLog_) trace(TraceLevel::Error, "[ERROR] broadcast: socket() failure. error code = %d", errno);
        return false;
    }
    bool sent = false;
    std::string local = NetFunctions::localWiFiAddress();
    std::optional<uint32_t> from = Sockets::parseIPv4(local);
    std::optional<uint32_t> to = Sockets::parseIPv4(broadcastAddress());
    if (!from) {
        if (allowLog_) trace(TraceLevel::Error, "[ERROR] WiFi is not used.");
    } else if (!bindTo(fd, *from, srcPort)) {
        trace(TraceLevel::Error, "failed to bind event socket. %s[%d]", std::strerror(errno), errno);
    } else if (to) {
        int one = 1;
        setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(dstPort);
        target.sin_addr.s_addr = *to;
        sent = ::sendto(fd, bytes, static_cast<size_t>(size), 0, reinterpret_cast<const sockaddr*>(&target),
                        sizeof target) == size;
        if (!sent) trace(TraceLevel::Error, "sendto() failure. %s[%d]", std::strerror(errno), errno);
    }
    ::close(fd);
    return sent;
}

} // namespace tavlo::printerlib
