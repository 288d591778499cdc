#include "printerlib/NetFunctions.h"

#include "platform/foundation/Clock.h"
#include "platform/foundation/FdSource.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/net/Sockets.h"
#include "printerlib/Trace.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tavlo::printerlib {

namespace {

constexpr double kWorkerPause = 0.1;
constexpr int kLookupAttempts = 3;

double secondsSince(Date start) { return Date::now().secondsSince(start); }

// A wait of the whole seconds of `seconds` (a fraction alone does not block), in real
// milliseconds of the current clock.
int waitMilliseconds(float seconds) {
    double whole = std::floor(std::max(0.0f, seconds));
    double ms = std::ceil(Clock::currentShared()->realSeconds(whole) * 1000.0);
    return ms >= 1e9 ? 1'000'000'000 : static_cast<int>(ms);
}

std::string interfaceName(const char* key, const char* fallback) {
    std::optional<std::string> configured = UserDefaults::standardUserDefaults().stringForKey(key);
    return configured && !configured->empty() ? *configured : fallback;
}

} // namespace

NetFunctions::~NetFunctions() { NetFunctions::disconnect(false); }

NetFunctions::Descriptor::~Descriptor() { ::close(fd); }

std::shared_ptr<NetFunctions::Descriptor> NetFunctions::descriptor() const {
    std::lock_guard lock(slock_);
    return socket_;
}

int NetFunctions::socket() const {
    std::shared_ptr<Descriptor> open = descriptor();
    return open ? open->fd : -1;
}

void NetFunctions::options(int descriptor) {
    // Linux has no per-socket broken-pipe switch: every write here passes MSG_NOSIGNAL.
    int one = 1;
    setsockopt(descriptor, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
}

bool NetFunctions::makeAddr(sockaddr_in& address, const std::string& text, uint16_t port) {
    address = sockaddr_in{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    if (std::optional<uint32_t> dotted = Sockets::parseIPv4(text)) {
        address.sin_addr.s_addr = *dotted;
        return true;
    }
    for (int attempt = 0; attempt < kLookupAttempts; ++attempt) {
        if (std::optional<std::string> found = Sockets::lookupIPv4(text)) {
            address.sin_addr.s_addr = *Sockets::parseIPv4(*found);
            return true;
        }
        trace(TraceLevel::Error, "[ERROR] invalid address: %@", text);
    }
    return false;
}

bool NetFunctions::connect(const std::string&, const std::string& address, uint16_t port, bool notification) {
    if (address.empty()) return false;
    trace(TraceLevel::Detail, "connecting to %@:%d", address, port);
    if (isConnected()) {
        disconnect();
        Clock::currentShared()->sleepFor(1.0);
    }
    std::lock_guard monitor(monitor_);
    report([](InterfaceFunctionsDelegate& d) { d.willConnect(); });

    sockaddr_in to{};
    int failure = EINVAL;
    int descriptor = -1;
    if (makeAddr(to, address, port)) {
        double seconds = Clock::currentShared()->realSeconds(connectingTimeout());
        int timeoutSeconds = std::max(1, static_cast<int>(std::ceil(seconds)));
        descriptor = Sockets::openTcp(Sockets::dottedText(to.sin_addr.s_addr), port, timeoutSeconds, &failure);
    }
    if (descriptor < 0) {
        int code = failure == ETIMEDOUT ? kConnectTimedOut : kConnectFailed;
        trace(TraceLevel::Error, "[ERROR] CFSocketConnectToAddress() failed. code = %ld", code);
        Error error(kErrorDomain, code, std::strerror(failure));
        report([error](InterfaceFunctionsDelegate& d) { d.didNotConnectWithError(error); });
        return false;
    }
    options(descriptor);
    {
        std::lock_guard lock(slock_);
        socket_ = std::make_shared<Descriptor>(descriptor);
    }
    if (notification) report([](InterfaceFunctionsDelegate& d) { d.didConnect(); });
    return true;
}

NetFunctions::Wait NetFunctions::waitFor(int descriptor, bool forWriting, float seconds) {
    pollfd watch{descriptor, static_cast<short>(forWriting ? POLLOUT : (POLLIN | POLLPRI)), 0};
    int ready = ::poll(&watch, 1, waitMilliseconds(seconds));
    if (ready < 0) return errno == EINTR ? Wait::TimedOut : Wait::Failed;
    if (ready == 0) return Wait::TimedOut;
    if (watch.revents & POLLNVAL) {
        errno = EBADF;
        return Wait::Failed;
    }
    return Wait::Ready;
}

long NetFunctions::writeChunk(int descriptor, const uint8_t* bytes, long size) {
    return ::send(descriptor, bytes, static_cast<size_t>(size), MSG_NOSIGNAL);
}

long NetFunctions::send(const uint8_t* bytes, long size) {
    trace(TraceLevel::Detail, "SEND[%ld]", size);
    std::shared_ptr<Descriptor> open = descriptor();
    if (!open || !bytes || size < 1) return 0;
    int descriptor = open->fd;
    long sent = 0;
    while (sent < size) {
        Wait wait = waitFor(descriptor, true, timeout());
        if (wait == Wait::TimedOut) {
            trace(TraceLevel::Error, "[ERROR] can not send data");
            return sent;
        }
        long written =
            wait == Wait::Ready ? writeChunk(descriptor, bytes + sent, std::min(size - sent, kChunkSize)) : -1;
        if (written < 0) {
            if (wait == Wait::Ready && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
            int code = errno;
            trace(TraceLevel::Error, "[ERROR] can not send[size = %ld]. code = %d", size, code);
            broken(code);
            return sent;
        }
        sent += written;
    }
    return sent;
}

long NetFunctions::recv(uint8_t* buffer, long size, float timeout) { return receive(buffer, size, timeout, 0, false); }

long NetFunctions::recv(uint8_t* buffer, long size, float timeout, long retry) {
    if (retry < 0) return 0;
    return receive(buffer, size, timeout, retry, true);
}

long NetFunctions::receive(uint8_t* buffer, long size, float timeout, long retry, bool passes) {
    std::shared_ptr<Descriptor> open = descriptor();
    if (!open) return -1;
    if (!buffer || size <= 0) return 0;
    int descriptor = open->fd;
    Date start = Date::now();
    long received = 0;
    long receives = 0;
    while (received < size) {
        // A plain receive waits out what is left of its time, never its whole time again.
        const float waitSeconds = passes ? timeout : std::max(0.0f, timeout - static_cast<float>(secondsSince(start)));
        Wait wait = waitFor(descriptor, false, waitSeconds);
        if (wait == Wait::Failed) {
            int code = errno;
            trace(TraceLevel::Error, "[ERROR] can not recv. code = %d", code);
            broken(code);
            return -1;
        }
        if (wait == Wait::TimedOut) {
            bool over = secondsSince(start) >= timeout;
            if (over) trace(TraceLevel::Error, "[ERROR] timeout[%ld]", static_cast<long>(timeout));
            // A pass ends with its first quiet wait; a plain receive waits out its time.
            if (passes || over) break;
            continue;
        }
        ssize_t got = ::recv(descriptor, buffer + received, static_cast<size_t>(size - received), 0);
        if (got == 0) {
            // The printer closed the connection: what came before it is still handed over, and
            // the connection is closed here, so that no reader keeps waiting on a dead socket.
            broken(ECONNRESET);
            return received;
        }
        if (got < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
            int code = errno;
            trace(TraceLevel::Error, "[ERROR] can not recv. code = %d", code);
            broken(code);
            return -1;
        }
        received += got;
        if (passes && ++receives > retry) break;
    }
    return received;
}

bool NetFunctions::isConnected() { return descriptor() != nullptr; }

void NetFunctions::addWorker() {
    std::shared_ptr<Descriptor> open = descriptor();
    if (!open) return;
    std::weak_ptr<Descriptor> watched = open;
    auto source = std::make_shared<std::weak_ptr<FdSource>>();
    auto watch = FdSource::create(
        open->fd, FdSource::Read,
        [this, watched, source](unsigned) {
            std::shared_ptr<Descriptor> still = watched.lock();
            if (!still || still != descriptor()) return;
            // A look without taking anything: the read thread keeps the bytes; only an end counts.
            uint8_t byte = 0;
            if (::recv(still->fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0) {
                broken(ECONNRESET);
                return;
            }
            // Bytes the read thread has not taken yet: look again a little later.
            RunLoop::main().performAfterDelay(kWorkerPause, [source] {
                if (auto again = source->lock()) again->enable(FdSource::Read);
            });
        },
        false);
    *source = watch;
    {
        std::lock_guard lock(slock_);
        if (worker_) worker_->invalidate();
        worker_ = watch;
    }
    RunLoop::main().addSource(watch, {RunLoop::commonModes});
}

void NetFunctions::removeWorker() { disconnect(false); }

void NetFunctions::worker() { RunLoop::current().run(); }

void NetFunctions::broken(int code) {
    Error error(kErrorDomain, code, std::strerror(code));
    report([error](InterfaceFunctionsDelegate& d) { d.didBeBrokenConnection(error); });
    disconnect();
}

void NetFunctions::disconnect(bool notify) {
    std::lock_guard monitor(monitor_);
    std::shared_ptr<Descriptor> open;
    std::shared_ptr<FdSource> watching;
    {
        std::lock_guard lock(slock_);
        open.swap(socket_);
        watching.swap(worker_);
    }
    if (watching) watching->invalidate();
    if (open) {
        // Ends a wait of another thread on it now; the descriptor goes with the last user.
        ::shutdown(open->fd, SHUT_RDWR);
        open.reset();
        if (notify) report([](InterfaceFunctionsDelegate& d) { d.didDisconnect(); });
        trace(TraceLevel::Detail, "disconnected.");
    }
    clear();
}

std::string NetFunctions::addressForInterface(const std::string& name) {
    for (const InterfaceAddress& entry : Sockets::interfaceAddresses())
        if (entry.name == name && !entry.loopback) return entry.address;
    return "";
}

std::optional<std::string> NetFunctions::configuredWiFiInterface() {
    std::optional<std::string> configured = UserDefaults::standardUserDefaults().stringForKey(kWiFiInterfaceKey);
    if (!configured || configured->empty()) return std::nullopt;
    return configured;
}

std::string NetFunctions::wifiInterfaceName() { return interfaceName(kWiFiInterfaceKey, kDefaultWiFiInterface); }

std::string NetFunctions::cellularInterfaceName() {
    return interfaceName(kCellularInterfaceKey, kDefaultCellularInterface);
}

std::string NetFunctions::localWiFiAddress() { return addressForInterface(wifiInterfaceName()); }

std::string NetFunctions::localCellularAddress() { return addressForInterface(cellularInterfaceName()); }

} // namespace tavlo::printerlib
