#include "platform/net/UdpSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include "platform/foundation/Text.h"
#include "platform/net/Sockets.h"

namespace tavlo {

// --- delegate defaults: not answered

void UdpSocketDelegate::onUdpSocketDidSendData(UdpSocket&, long) {}
void UdpSocketDelegate::onUdpSocketDidNotSendData(UdpSocket&, long, const Error&) {}
bool UdpSocketDelegate::onUdpSocketDidReceiveData(UdpSocket&, const std::string&, long, const std::string&, uint16_t) {
    return true;
}
void UdpSocketDelegate::onUdpSocketDidNotReceiveData(UdpSocket&, long, const Error&) {}
void UdpSocketDelegate::onUdpSocketDidClose(UdpSocket&) {}

namespace {

constexpr const char* kClosed = "The socket is closed.";

struct Resolved {
    std::optional<std::string> v4; // raw sockaddr_in
    std::optional<std::string> v6; // raw sockaddr_in6
};

template <typename T> std::string rawAddress(const T& address) {
    return std::string(reinterpret_cast<const char*>(&address), sizeof address);
}

std::string any4(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    return rawAddress(a);
}

std::string any6(uint16_t port, bool loopback) {
    sockaddr_in6 a{};
    a.sin6_family = AF_INET6;
    a.sin6_port = htons(port);
    a.sin6_addr = loopback ? in6addr_loopback : in6addr_any;
    return rawAddress(a);
}

std::string loopback4(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return rawAddress(a);
}

Error netdbError(int code, const std::string& prefix = "") {
    std::string text = gai_strerror(code);
    return Error(UdpSocket::kNetDBErrorDomain, code, prefix.empty() ? text : prefix + text);
}

// Binding (passive) takes no host as every address; sending needs one.
bool resolve(const std::optional<std::string>& host, uint16_t port, bool passive, Resolved& out, Error* error,
             const std::string& errorPrefix = "") {
    out = {};
    if (!host || host->empty()) {
        if (!passive) {
            // The resolver's "no such name" code, as the sockets' own platform numbers it.
            Error::set(error, Error(UdpSocket::kNetDBErrorDomain, 8, errorPrefix + gai_strerror(EAI_NONAME)));
            return false;
        }
        out.v4 = any4(port);
        out.v6 = any6(port, false);
        return true;
    }
    if (*host == "localhost" || *host == "loopback") {
        out.v4 = loopback4(port);
        out.v6 = any6(port, true);
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_protocol = IPPROTO_UDP;
    if (passive) hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    std::string service = format("%hu", port);
    int code = getaddrinfo(host->c_str(), service.c_str(), &hints, &found);
    if (code != 0) {
        Error::set(error, netdbError(code, errorPrefix));
        return false;
    }
    for (addrinfo* a = found; a; a = a->ai_next) {
        if (a->ai_family == AF_INET && !out.v4 && a->ai_addrlen == sizeof(sockaddr_in))
            out.v4 = std::string(reinterpret_cast<const char*>(a->ai_addr), a->ai_addrlen);
        if (a->ai_family == AF_INET6 && !out.v6 && a->ai_addrlen == sizeof(sockaddr_in6))
            out.v6 = std::string(reinterpret_cast<const char*>(a->ai_addr), a->ai_addrlen);
    }
    freeaddrinfo(found);
    return true;
}

const sockaddr* asSockaddr(const std::string& raw) { return reinterpret_cast<const sockaddr*>(raw.data()); }

Error udpError(int code, const char* text) { return Error(UdpSocket::kErrorDomain, code, text); }

Error ipv4Unavailable() {
    return udpError(UdpSocket::IPv4UnavailableError, "IPv4 is unavailable due to binding/connecting using IPv6 only");
}

Error ipv6Unavailable() {
    return udpError(
        UdpSocket::IPv6UnavailableError,
        "IPv6 is unavailable due to binding/connecting using IPv4 only or is not supported on this platform");
}

// bind(2) or connect(2) refused.
Error socketCallFailed() { return udpError(UdpSocket::CFSocketError, "General CFSocket error"); }

Error posixError(int number) { return Error(UdpSocket::kPosixErrorDomain, number, std::strerror(number)); }

bool pollReady(int fd, short events) {
    pollfd p{fd, events, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (events | POLLERR | POLLHUP)) != 0;
}

} // namespace

// --- construction

std::shared_ptr<UdpSocket> UdpSocket::create(UdpSocketDelegate* delegate, void* userData, bool enableIPv4,
                                             bool enableIPv6) {
    auto socket = std::make_shared<UdpSocket>(Private{}, delegate, userData);
    socket->open(enableIPv4, enableIPv6);
    return socket;
}

std::shared_ptr<UdpSocket> UdpSocket::initIPv4() { return create(nullptr, nullptr, true, false); }

std::shared_ptr<UdpSocket> UdpSocket::initIPv6() { return create(nullptr, nullptr, false, true); }

UdpSocket::UdpSocket(Private, UdpSocketDelegate* delegate, void* userData) : delegate_(delegate), userData_(userData) {}

UdpSocket::~UdpSocket() {
    // A released socket tells its delegate nothing.
    closeNow(false);
    cancelDeferred();
    if (didClose_) didClose_->invalidate();
}

void UdpSocket::open(bool enableIPv4, bool enableIPv6) {
    loop_ = RunLoop::current().shared_from_this();
    if (enableIPv4) openFamily(v4_, AF_INET);
    if (enableIPv6) openFamily(v6_, AF_INET6);
}

void UdpSocket::openFamily(Family& family, int domain) {
    int fd = ::socket(domain, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) return; // the family is simply not available
    if (domain == AF_INET6) {
        // Keeps the IPv6 socket off IPv4, so that both can bind the same port.
        int one = 1;
        setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
    }
    family.fd = fd;
    std::weak_ptr<UdpSocket> weak = weak_from_this();
    bool ipv4 = domain == AF_INET;
    // Callbacks stay off once delivered until the socket wants more (enableCallbacks).
    family.source = FdSource::create(
        fd, FdSource::Read | FdSource::Write,
        [weak, ipv4](unsigned events) {
            if (auto self = weak.lock()) self->onSocketEvent(ipv4, events);
        },
        false);
    loop_->addSource(family.source, modes_);
}

void UdpSocket::closeFamily(Family& family) {
    if (family.source) family.source->invalidate();
    family.source.reset();
    if (family.fd >= 0) ::close(family.fd);
    family = Family{};
}

void UdpSocket::enableCallbacks(Family& family) {
    if (family.source) family.source->enable(FdSource::Read | FdSource::Write);
}

// --- set-up

void UdpSocket::checkNotClosed() const {
    if (closed_) throw UdpSocketException(kClosed);
}

bool UdpSocket::bindToPort(uint16_t port, Error* error) { return bindToAddress(std::nullopt, port, error); }

bool UdpSocket::bindToAddress(const std::optional<std::string>& host, uint16_t port, Error* error) {
    checkNotClosed();
    if (bound_) throw UdpSocketException("Cannot bind a socket more than once.");
    if (connected_) throw UdpSocketException("Cannot bind after connecting. If needed, bind first, then connect.");

    Resolved address;
    if (!resolve(host, port, true, address, error)) return false;
    int one = 1;
    for (Family* f : {&v4_, &v6_}) {
        if (f->fd >= 0) setsockopt(f->fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    }
    if (address.v4) {
        if (v4_.fd >= 0) {
            if (::bind(v4_.fd, asSockaddr(*address.v4), sizeof(sockaddr_in)) != 0) {
                Error::set(error, socketCallFailed());
                return false;
            }
            if (!address.v6) closeFamily(v6_);
        } else if (!address.v6) {
            Error::set(error, ipv4Unavailable());
            return false;
        }
    }
    if (address.v6) {
        if (v6_.fd >= 0) {
            if (::bind(v6_.fd, asSockaddr(*address.v6), sizeof(sockaddr_in6)) != 0) {
                Error::set(error, socketCallFailed());
                return false;
            }
            if (!address.v4) closeFamily(v4_);
        } else if (!address.v4) {
            Error::set(error, ipv6Unavailable());
            return false;
        }
    }
    bound_ = true;
    return true;
}

void UdpSocket::checkCanConnect() const {
    checkNotClosed();
    if (connected_) throw UdpSocketException("Cannot connect a socket more than once.");
}

bool UdpSocket::connectFamily(Family& family, const std::string& address, Error* error) {
    if (::connect(family.fd, asSockaddr(address), static_cast<socklen_t>(address.size())) != 0) {
        Error::set(error, socketCallFailed());
        return false;
    }
    closeFamily(&family == &v4_ ? v6_ : v4_);
    connected_ = true;
    return true;
}

bool UdpSocket::connectToHost(const std::optional<std::string>& host, uint16_t port, Error* error) {
    checkCanConnect();
    Resolved address;
    if (!resolve(host, port, false, address, error)) return false;
    if (address.v4 && v4_.fd >= 0) return connectFamily(v4_, *address.v4, error);
    if (address.v6 && v6_.fd >= 0) return connectFamily(v6_, *address.v6, error);
    if (address.v4) Error::set(error, ipv4Unavailable());
    else Error::set(error, ipv6Unavailable());
    return false;
}

bool UdpSocket::connectToAddress(const std::string& address, Error* error) {
    checkCanConnect();
    if (address.size() == sizeof(sockaddr_in)) {
        if (v4_.fd < 0) {
            Error::set(error, ipv4Unavailable());
            return false;
        }
        return connectFamily(v4_, address, error);
    }
    if (address.size() == sizeof(sockaddr_in6)) {
        if (v6_.fd < 0) {
            Error::set(error, ipv6Unavailable());
            return false;
        }
        return connectFamily(v6_, address, error);
    }
    Error::set(error, udpError(BadParamError, "remoteAddr parameter is not a valid address"));
    return false;
}

bool UdpSocket::joinMulticastGroup(const std::string& group, Error* error) {
    return joinMulticastGroup(group, std::nullopt, error);
}

bool UdpSocket::joinMulticastGroup(const std::string& group, const std::optional<std::string>& interfaceAddress,
                                   Error* error) {
    return changeMembership(true, group, interfaceAddress, error);
}

bool UdpSocket::leaveMulticastGroup(const std::string& group, const std::optional<std::string>& interfaceAddress,
                                    Error* error) {
    return changeMembership(false, group, interfaceAddress, error);
}

bool UdpSocket::changeMembership(bool join, const std::string& group,
                                 const std::optional<std::string>& interfaceAddress, Error* error) {
    checkNotClosed();
    if (!bound_) throw UdpSocketException("Must bind a socket before joining a multicast group.");
    if (connected_) throw UdpSocketException("Cannot join a multicast group if connected.");

    Resolved iface, target;
    if (!resolve(interfaceAddress, 0, true, iface, error, "Invalid parameter 'address': ")) return false;
    if (!resolve(group, 0, true, target, error, "Invalid parameter 'group': ")) return false;

    if (v4_.fd >= 0 && target.v4 && iface.v4) {
        ip_mreq request{};
        request.imr_multiaddr = reinterpret_cast<const sockaddr_in*>(target.v4->data())->sin_addr;
        request.imr_interface = reinterpret_cast<const sockaddr_in*>(iface.v4->data())->sin_addr;
        if (setsockopt(v4_.fd, IPPROTO_IP, join ? IP_ADD_MEMBERSHIP : IP_DROP_MEMBERSHIP, &request, sizeof request) !=
            0) {
            Error::set(error,
                       Error(kStreamPosixErrorDomain, -1,
                             join ? "Unable to join IPv4 multicast group" : "Unable to leave IPv4 multicast group"));
            return false;
        }
        if (join) closeFamily(v6_);
        return true;
    }
    if (v6_.fd >= 0 && target.v6 && iface.v6) {
        ipv6_mreq request{};
        request.ipv6mr_multiaddr = reinterpret_cast<const sockaddr_in6*>(target.v6->data())->sin6_addr;
        request.ipv6mr_interface = 0;
        if (setsockopt(v6_.fd, IPPROTO_IPV6, join ? IPV6_JOIN_GROUP : IPV6_LEAVE_GROUP, &request, sizeof request) !=
            0) {
            Error::set(error,
                       Error(kStreamPosixErrorDomain, -1,
                             join ? "Unable to join IPv6 multicast group" : "Unable to leave IPv6 multicast group"));
            return false;
        }
        if (join) closeFamily(v4_);
        return true;
    }
    Error::set(error, udpError(BadParamError, "Invalid group and/or address, not matching existing socket(s)"));
    return false;
}

bool UdpSocket::enableBroadcast(bool flag, Error* error) {
    if (v4_.fd < 0) return true;
    int value = flag ? 1 : 0;
    if (setsockopt(v4_.fd, SOL_SOCKET, SO_BROADCAST, &value, sizeof value) != 0) {
        Error::set(error, Error(kStreamPosixErrorDomain, -1, "Unable to enable broadcast message sending"));
        return false;
    }
    return true;
}

// --- run loop

bool UdpSocket::setRunLoopModes(const RunLoop::Modes& modes) {
    if (loop_ && !loop_->isCurrent())
        throw InconsistencyError("setRunLoopModes must be called from within the current RunLoop!");
    if (modes.empty()) return false;
    if (modes == modes_) return true;
    cancelDeferred();
    if (loop_) {
        for (Family* f : {&v4_, &v6_}) {
            if (!f->source) continue;
            loop_->removeSource(f->source, modes_);
            loop_->addSource(f->source, modes);
        }
        for (auto* timer : {&sendTimer_, &receiveTimer_}) {
            if (!*timer) continue;
            loop_->removeTimer(*timer, modes_);
            loop_->addTimer(*timer, modes);
        }
    }
    modes_ = modes;
    if (loop_) {
        scheduleSendDequeue();
        scheduleReceiveDequeue();
        scheduleCloseCheck();
    }
    return true;
}

bool UdpSocket::moveToRunLoop(RunLoop* runLoop) {
    if (loop_ && !loop_->isCurrent())
        throw InconsistencyError("moveToRunLoop must be called from within the current RunLoop!");
    if (!runLoop) return false;
    if (loop_.get() == runLoop) return true;
    cancelDeferred();
    std::shared_ptr<RunLoop> target = runLoop->shared_from_this();
    for (Family* f : {&v4_, &v6_}) {
        if (!f->source) continue;
        if (loop_) loop_->removeSource(f->source);
        target->addSource(f->source, modes_);
    }
    for (auto* timer : {&sendTimer_, &receiveTimer_}) {
        if (!*timer) continue;
        if (loop_) loop_->removeTimer(*timer);
        target->addTimer(*timer, modes_);
    }
    loop_ = std::move(target);
    scheduleSendDequeue();
    scheduleReceiveDequeue();
    scheduleCloseCheck();
    return true;
}

std::shared_ptr<Timer> UdpSocket::defer(void (UdpSocket::*step)()) {
    if (!loop_) return nullptr;
    std::weak_ptr<UdpSocket> weak = weak_from_this();
    return loop_->performAfterDelay(
        0,
        [weak, step] {
            if (auto self = weak.lock()) ((*self).*step)();
        },
        this, modes_);
}

std::shared_ptr<Timer> UdpSocket::startTimer(double seconds, void (UdpSocket::*onTimeout)(uint64_t), uint64_t id) {
    if (!loop_) return nullptr;
    std::weak_ptr<UdpSocket> weak = weak_from_this();
    auto timer = Timer::create(seconds, false, [weak, onTimeout, id] {
        if (auto self = weak.lock()) ((*self).*onTimeout)(id);
    });
    loop_->addTimer(timer, modes_);
    return timer;
}

void UdpSocket::cancelDeferred() {
    for (auto* call : {&sendDequeue_, &receiveDequeue_, &closeCheck_}) {
        if (*call) (*call)->invalidate();
        call->reset();
    }
}

void UdpSocket::scheduleSendDequeue() {
    if (!sendDequeue_ || !sendDequeue_->isValid()) sendDequeue_ = defer(&UdpSocket::dequeueSend);
}

void UdpSocket::scheduleReceiveDequeue() {
    if (!receiveDequeue_ || !receiveDequeue_->isValid()) receiveDequeue_ = defer(&UdpSocket::dequeueReceive);
}

void UdpSocket::scheduleCloseCheck() {
    if (!closeCheck_ || !closeCheck_->isValid()) closeCheck_ = defer(&UdpSocket::checkCloseAfter);
}

// --- sending

bool UdpSocket::sendData(const std::string& data, double timeout, long tag) {
    if (data.empty() || closed_ || noNewOperations_ || !connected_) return false;
    sendQueue_.push_back({data, std::nullopt, timeout, tag, nextPacketId_++});
    scheduleSendDequeue();
    return true;
}

bool UdpSocket::sendData(const std::string& data, const std::optional<std::string>& host, uint16_t port, double timeout,
                         long tag) {
    if (data.empty() || closed_ || noNewOperations_ || connected_) return false;
    Resolved address;
    if (!resolve(host, port, false, address, nullptr)) return false;
    std::optional<std::string> to;
    if (address.v4 && v4_.fd >= 0) to = address.v4;
    else if (address.v6 && v6_.fd >= 0) to = address.v6;
    else return false;
    sendQueue_.push_back({data, to, timeout, tag, nextPacketId_++});
    scheduleSendDequeue();
    return true;
}

bool UdpSocket::sendData(const std::string& data, const std::string& address, double timeout, long tag) {
    if (data.empty() || closed_ || noNewOperations_ || connected_) return false;
    if (address.size() == sizeof(sockaddr_in)) {
        if (v4_.fd < 0) return false;
    } else if (address.size() == sizeof(sockaddr_in6)) {
        if (v6_.fd < 0) return false;
    } else {
        return false;
    }
    sendQueue_.push_back({data, address, timeout, tag, nextPacketId_++});
    scheduleSendDequeue();
    return true;
}

void UdpSocket::dequeueSend() {
    sendDequeue_.reset();
    if (currentSend_) return;
    if (sendQueue_.empty()) {
        checkCloseAfter();
        return;
    }
    currentSend_ = std::move(sendQueue_.front());
    sendQueue_.pop_front();
    if (currentSend_->timeout >= 0)
        sendTimer_ = startTimer(currentSend_->timeout, &UdpSocket::sendTimedOut, currentSend_->id);
    doSend(familyForSend());
}

UdpSocket::Family& UdpSocket::familyForSend() {
    if (v4_.fd >= 0 && v6_.fd < 0) return v4_;
    if (v6_.fd >= 0 && v4_.fd < 0) return v6_;
    bool ipv4 = currentSend_ && currentSend_->address && currentSend_->address->size() == sizeof(sockaddr_in);
    return ipv4 ? v4_ : v6_;
}

void UdpSocket::doSend(Family& family) {
    if (!currentSend_ || family.fd < 0 || &family != &familyForSend()) return;
    if (!family.writable && !pollReady(family.fd, POLLOUT)) {
        enableCallbacks(family);
        return;
    }
    const SendPacket& packet = *currentSend_;
    ssize_t sent = packet.address
                       ? ::sendto(family.fd, packet.buffer.data(), packet.buffer.size(), 0, asSockaddr(*packet.address),
                                  static_cast<socklen_t>(packet.address->size()))
                       : ::send(family.fd, packet.buffer.data(), packet.buffer.size(), 0);
    int failure = sent < 0 ? errno : 0;
    family.writable = false;
    if (failure == EAGAIN || failure == EWOULDBLOCK || failure == EINTR) {
        // The buffer filled since the poll: wait for the socket to drain.
        enableCallbacks(family);
        return;
    }
    auto keep = shared_from_this();
    long tag = packet.tag;
    endSend();
    if (failure) {
        if (delegate_) delegate_->onUdpSocketDidNotSendData(*this, tag, posixError(failure));
    } else {
        bound_ = true; // the system has given the socket a port
        if (delegate_) delegate_->onUdpSocketDidSendData(*this, tag);
    }
    if (!closed_) scheduleSendDequeue();
}

void UdpSocket::endSend() {
    if (sendTimer_) sendTimer_->invalidate();
    sendTimer_.reset();
    currentSend_.reset();
}

void UdpSocket::sendTimedOut(uint64_t id) {
    if (!currentSend_ || currentSend_->id != id) return;
    auto keep = shared_from_this();
    long tag = currentSend_->tag;
    endSend();
    if (delegate_)
        delegate_->onUdpSocketDidNotSendData(*this, tag, udpError(SendTimeoutError, "Send operation timed out"));
    if (!closed_) scheduleSendDequeue();
}

// --- receiving

void UdpSocket::receiveWithTimeout(double timeout, long tag) {
    if (closed_ || noNewOperations_) return;
    receiveQueue_.push_back({timeout, tag, nextPacketId_++});
    scheduleReceiveDequeue();
}

void UdpSocket::dequeueReceive() {
    receiveDequeue_.reset();
    if (currentReceive_) return;
    if (receiveQueue_.empty()) {
        checkCloseAfter();
        return;
    }
    currentReceive_ = receiveQueue_.front();
    receiveQueue_.pop_front();
    if (currentReceive_->timeout >= 0)
        receiveTimer_ = startTimer(currentReceive_->timeout, &UdpSocket::receiveTimedOut, currentReceive_->id);
    // Alternate which family is read first, so that neither starves the other.
    auto keep = shared_from_this();
    if (readIPv4First_) {
        doReceive(v4_);
        doReceive(v6_);
    } else {
        doReceive(v6_);
        doReceive(v4_);
    }
    readIPv4First_ = !readIPv4First_;
}

void UdpSocket::doReceive(Family& family) {
    if (!currentReceive_ || family.fd < 0) return;
    if (!family.readable && !pollReady(family.fd, POLLIN)) {
        enableCallbacks(family);
        return;
    }
    auto keep = shared_from_this();
    for (;;) {
        family.readable = false;
        std::string buffer(maxReceiveBufferSize_, '\0');
        sockaddr_storage from{};
        iovec into{buffer.data(), buffer.size()};
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof from;
        message.msg_iov = &into;
        message.msg_iovlen = 1;
        ssize_t got = ::recvmsg(family.fd, &message, 0);
        if (got < 0) {
            int failure = errno;
            if (failure == EINTR) continue;
            if (failure == EAGAIN || failure == EWOULDBLOCK) break;
            long tag = currentReceive_->tag;
            endReceive();
            if (delegate_) delegate_->onUdpSocketDidNotReceiveData(*this, tag, posixError(failure));
            if (!closed_) scheduleReceiveDequeue();
            return;
        }
        buffer.resize(static_cast<size_t>(got));
        // Only the system knows whether the datagram was longer than the buffer: one that fills
        // the buffer exactly may have arrived whole.
        lastDatagramTruncated_ = (message.msg_flags & MSG_TRUNC) != 0;
        std::string sender(reinterpret_cast<const char*>(&from), message.msg_namelen);
        std::string host = hostOf(sender);
        uint16_t port = portOf(sender);

        bool fromPeer = !connected_ || (host == connectedHost() && port == connectedPort());
        if (fromPeer) {
            uint64_t id = currentReceive_->id;
            bool taken = delegate_
                             ? delegate_->onUdpSocketDidReceiveData(*this, buffer, currentReceive_->tag, host, port)
                             : true;
            if (closed_ || family.fd < 0) return;
            if (taken && currentReceive_ && currentReceive_->id == id) {
                endReceive();
                scheduleReceiveDequeue();
                return;
            }
            if (!currentReceive_) return;
        }
        if (!pollReady(family.fd, POLLIN)) break;
    }
    enableCallbacks(family);
}

void UdpSocket::endReceive() {
    if (receiveTimer_) receiveTimer_->invalidate();
    receiveTimer_.reset();
    currentReceive_.reset();
}

void UdpSocket::receiveTimedOut(uint64_t id) {
    if (!currentReceive_ || currentReceive_->id != id) return;
    auto keep = shared_from_this();
    long tag = currentReceive_->tag;
    endReceive();
    if (delegate_)
        delegate_->onUdpSocketDidNotReceiveData(*this, tag,
                                                udpError(ReceiveTimeoutError, "Receive operation timed out"));
    if (!closed_) scheduleReceiveDequeue();
}

void UdpSocket::onSocketEvent(bool ipv4, unsigned events) {
    Family& family = ipv4 ? v4_ : v6_;
    if (events & FdSource::Read) {
        family.readable = true;
        doReceive(family);
    }
    if ((events & FdSource::Write) && family.fd >= 0) {
        family.writable = true;
        doSend(family);
    }
}

// --- closing

void UdpSocket::closeAfterSending() {
    if (closed_) return;
    noNewOperations_ = true;
    closeAfterSends_ = true;
    scheduleCloseCheck();
}

void UdpSocket::closeAfterReceiving() {
    if (closed_) return;
    noNewOperations_ = true;
    closeAfterReceives_ = true;
    scheduleCloseCheck();
}

void UdpSocket::closeAfterSendingAndReceiving() {
    if (closed_) return;
    noNewOperations_ = true;
    closeAfterSends_ = true;
    closeAfterReceives_ = true;
    scheduleCloseCheck();
}

void UdpSocket::checkCloseAfter() {
    closeCheck_.reset();
    if (closed_) return;
    bool sendsDone = sendQueue_.empty() && !currentSend_;
    bool receivesDone = receiveQueue_.empty() && !currentReceive_;
    if (closeAfterSends_) {
        if (sendsDone && (!closeAfterReceives_ || receivesDone)) close();
    } else if (closeAfterReceives_ && receivesDone) {
        close();
    }
}

void UdpSocket::close() { closeNow(true); }

void UdpSocket::closeNow(bool notify) {
    if (closed_) return;
    sendQueue_.clear();
    receiveQueue_.clear();
    endSend();
    endReceive();
    cancelDeferred();
    closeFamily(v4_);
    closeFamily(v6_);
    if (notify && loop_) {
        std::weak_ptr<UdpSocket> weak = weak_from_this();
        didClose_ = loop_->performAfterDelay(
            0,
            [weak] {
                auto self = weak.lock();
                if (self && self->delegate_) self->delegate_->onUdpSocketDidClose(*self);
            },
            this, modes_);
    }
    loop_.reset();
    bound_ = connected_ = noNewOperations_ = closeAfterSends_ = closeAfterReceives_ = false;
    closed_ = true;
}

// --- addresses

std::string UdpSocket::hostOf(const std::string& address) {
    char text[INET6_ADDRSTRLEN] = {};
    const char* done = nullptr;
    if (address.size() >= sizeof(sockaddr_in) && asSockaddr(address)->sa_family == AF_INET)
        done = inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address.data())->sin_addr, text, sizeof text);
    else if (address.size() >= sizeof(sockaddr_in6) && asSockaddr(address)->sa_family == AF_INET6)
        done =
            inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address.data())->sin6_addr, text, sizeof text);
    if (!done) throw InconsistencyError("Cannot convert address to string.");
    return text;
}

uint16_t UdpSocket::portOf(const std::string& address) {
    if (address.size() >= sizeof(sockaddr_in) && asSockaddr(address)->sa_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in*>(address.data())->sin_port);
    if (address.size() >= sizeof(sockaddr_in6) && asSockaddr(address)->sa_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(address.data())->sin6_port);
    return 0;
}

UdpSocket::Endpoint UdpSocket::endpoint(bool peer) {
    Endpoint& cached = peer ? cachedConnected_ : cachedLocal_;
    if (cached.host) return cached;
    std::optional<std::string> raw = socketAddress(peer);
    if (!raw) return {};
    Endpoint found{hostOf(*raw), portOf(*raw)};
    if (peer ? connected_ : bound_) cached = found;
    return found;
}

std::optional<std::string> UdpSocket::socketAddress(bool peer) const {
    int fd = v4_.fd >= 0 ? v4_.fd : v6_.fd;
    if (fd < 0) return std::nullopt;
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    int result = peer ? getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length)
                      : getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    if (result != 0) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(&address), length);
}

int UdpSocket::maximumTransmissionUnit() const {
    std::optional<std::string> local = socketAddress(false);
    return local ? Sockets::interfaceMtu(*local) : 0;
}

std::optional<std::string> UdpSocket::localHost() { return endpoint(false).host; }

uint16_t UdpSocket::localPort() { return endpoint(false).port; }

std::optional<std::string> UdpSocket::connectedHost() { return endpoint(true).host; }

uint16_t UdpSocket::connectedPort() { return endpoint(true).port; }

bool UdpSocket::isConnectedToHost(const std::string& host, uint16_t port) {
    return connectedHost() == host && connectedPort() == port;
}

} // namespace tavlo
