#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/FdSource.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Timer.h"

namespace tavlo {

// Misuse of a UdpSocket (bind twice, join before binding, set-up on a closed socket, ...).
class UdpSocketException : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

class UdpSocket;

// Outcomes of a UdpSocket's queued work, always delivered on the socket's run loop. An
// operation left as it is counts as not answered.
class UdpSocketDelegate {
public:
    virtual ~UdpSocketDelegate() = default;
    virtual void onUdpSocketDidSendData(UdpSocket& socket, long tag);
    virtual void onUdpSocketDidNotSendData(UdpSocket& socket, long tag, const Error& error);
    // true takes the datagram and ends the receive; false drops it and keeps the receive waiting.
    virtual bool onUdpSocketDidReceiveData(UdpSocket& socket, const std::string& data, long tag,
                                           const std::string& host, uint16_t port);
    virtual void onUdpSocketDidNotReceiveData(UdpSocket& socket, long tag, const Error& error);
    virtual void onUdpSocketDidClose(UdpSocket& socket);
};

// A UDP socket (one IPv4 and/or one IPv6 datagram socket) driven by the run loop of the thread
// that made it. Sends and receives are queued, each with a time-out (negative: none) and a tag,
// and carried out one at a time as the sockets become ready; nothing blocks. Not thread-safe:
// use it on its run loop's thread. Socket addresses are raw sockaddr bytes (16 bytes IPv4,
// 28 bytes IPv6). Releasing the socket closes it silently.
class UdpSocket : public std::enable_shared_from_this<UdpSocket> {
    struct Private {};

public:
    static constexpr const char* kErrorDomain = "UdpSocketErrorDomain";
    static constexpr const char* kNetDBErrorDomain = "kCFStreamErrorDomainNetDB";
    static constexpr const char* kStreamPosixErrorDomain = "kCFStreamErrorDomainPOSIX";
    static constexpr const char* kPosixErrorDomain = "NSPOSIXErrorDomain";
    enum ErrorCode {
        CFSocketError = -1,
        BadParamError = 1,
        IPv4UnavailableError = 2,
        IPv6UnavailableError = 3,
        SendTimeoutError = 4,
        ReceiveTimeoutError = 5,
    };
    static constexpr uint32_t kDefaultMaxReceiveBufferSize = 9216;

    // Scheduled on the calling thread's run loop in the default mode.
    static std::shared_ptr<UdpSocket> create(UdpSocketDelegate* delegate = nullptr, void* userData = nullptr,
                                             bool enableIPv4 = true, bool enableIPv6 = true);
    static std::shared_ptr<UdpSocket> initIPv4();
    static std::shared_ptr<UdpSocket> initIPv6();

    UdpSocket(Private, UdpSocketDelegate* delegate, void* userData);
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    UdpSocketDelegate* delegate() const { return delegate_; }
    void setDelegate(UdpSocketDelegate* delegate) { delegate_ = delegate; }
    void* userData() const { return userData_; }
    void setUserData(void* userData) { userData_ = userData; }
    uint32_t maxReceiveBufferSize() const { return maxReceiveBufferSize_; }
    void setMaxReceiveBufferSize(uint32_t size) { maxReceiveBufferSize_ = size; }
    // Whether the datagram last offered to the delegate was longer than the receive buffer and
    // so arrived cut to the buffer's size.
    bool lastDatagramTruncated() const { return lastDatagramTruncated_; }

    // --- set-up
    bool bindToPort(uint16_t port, Error* error = nullptr);
    // No host (or ""): every local address.
    bool bindToAddress(const std::optional<std::string>& host, uint16_t port, Error* error = nullptr);
    bool connectToHost(const std::optional<std::string>& host, uint16_t port, Error* error = nullptr);
    bool connectToAddress(const std::string& address, Error* error = nullptr);
    bool joinMulticastGroup(const std::string& group, Error* error = nullptr);
    // interfaceAddress: the local address of the interface to join on; none or "": the default.
    bool joinMulticastGroup(const std::string& group, const std::optional<std::string>& interfaceAddress,
                            Error* error = nullptr);
    bool leaveMulticastGroup(const std::string& group,
                             const std::optional<std::string>& interfaceAddress = std::nullopt, Error* error = nullptr);
    bool enableBroadcast(bool flag, Error* error = nullptr);

    // --- run loop
    const RunLoop::Modes& runLoopModes() const { return modes_; }
    bool setRunLoopModes(const RunLoop::Modes& modes);
    bool moveToRunLoop(RunLoop* runLoop);

    // --- work
    // On a connected socket.
    bool sendData(const std::string& data, double timeout, long tag);
    // On an unconnected socket.
    bool sendData(const std::string& data, const std::optional<std::string>& host, uint16_t port, double timeout,
                  long tag);
    bool sendData(const std::string& data, const std::string& address, double timeout, long tag);
    void receiveWithTimeout(double timeout, long tag);

    void close();
    void closeAfterSending();
    void closeAfterReceiving();
    void closeAfterSendingAndReceiving();

    // --- state
    std::optional<std::string> localHost();
    uint16_t localPort();
    std::optional<std::string> connectedHost();
    uint16_t connectedPort();
    bool isConnected() const { return connected_ && !closed_; }
    bool isConnectedToHost(const std::string& host, uint16_t port);
    bool isClosed() const { return closed_; }
    bool isIPv4() const { return v4_.fd >= 0; }
    bool isIPv6() const { return v6_.fd >= 0; }
    // The MTU of the network interface the socket is bound or connected through (the IPv4 socket,
    // or the IPv6 one when there is no IPv4 socket); 0 when there is no socket or no one
    // interface, as for a socket on every address that has not connected.
    int maximumTransmissionUnit() const;

    // The numeric text and port of a raw socket address (throws InconsistencyError when it is
    // not an IPv4 or IPv6 address).
    static std::string hostOf(const std::string& address);
    static uint16_t portOf(const std::string& address);

private:
    struct Family {
        int fd = -1;
        std::shared_ptr<FdSource> source;
        bool writable = false;
        bool readable = false;
    };
    struct SendPacket {
        std::string buffer;
        std::optional<std::string> address; // none on a connected socket
        double timeout;
        long tag;
        uint64_t id;
    };
    struct ReceivePacket {
        double timeout;
        long tag;
        uint64_t id;
    };
    struct Endpoint {
        std::optional<std::string> host;
        uint16_t port = 0;
    };

    void open(bool enableIPv4, bool enableIPv6);
    void openFamily(Family& family, int domain);
    void closeFamily(Family& family);
    void checkCanConnect() const;
    void checkNotClosed() const;
    bool changeMembership(bool join, const std::string& group, const std::optional<std::string>& interfaceAddress,
                          Error* error);
    bool connectFamily(Family& family, const std::string& address, Error* error);
    void enableCallbacks(Family& family);
    void onSocketEvent(bool ipv4, unsigned events);

    // Deferred calls and timers, all in the socket's modes on its run loop.
    std::shared_ptr<Timer> defer(void (UdpSocket::*step)());
    std::shared_ptr<Timer> startTimer(double seconds, void (UdpSocket::*onTimeout)(uint64_t), uint64_t id);
    void cancelDeferred();
    void scheduleSendDequeue();
    void scheduleReceiveDequeue();
    void scheduleCloseCheck();

    void dequeueSend();
    Family& familyForSend();
    void doSend(Family& family);
    void endSend();
    void sendTimedOut(uint64_t id);

    void dequeueReceive();
    void doReceive(Family& family);
    void endReceive();
    void receiveTimedOut(uint64_t id);

    void checkCloseAfter();
    void closeNow(bool notify);

    Endpoint endpoint(bool peer);
    // The raw address of the socket's own end or of its peer; none when the system has none.
    std::optional<std::string> socketAddress(bool peer) const;

    UdpSocketDelegate* delegate_ = nullptr;
    void* userData_ = nullptr;
    Family v4_;
    Family v6_;
    std::shared_ptr<RunLoop> loop_;
    RunLoop::Modes modes_{RunLoop::defaultMode};

    std::deque<SendPacket> sendQueue_;
    std::optional<SendPacket> currentSend_;
    std::shared_ptr<Timer> sendTimer_;
    std::deque<ReceivePacket> receiveQueue_;
    std::optional<ReceivePacket> currentReceive_;
    std::shared_ptr<Timer> receiveTimer_;
    uint64_t nextPacketId_ = 1;

    std::shared_ptr<Timer> sendDequeue_;
    std::shared_ptr<Timer> receiveDequeue_;
    std::shared_ptr<Timer> closeCheck_;
    std::shared_ptr<Timer> didClose_;

    bool bound_ = false;
    bool connected_ = false;
    bool noNewOperations_ = false;
    bool closeAfterSends_ = false;
    bool closeAfterReceives_ = false;
    bool closed_ = false;
    bool readIPv4First_ = false;

    Endpoint cachedLocal_;
    Endpoint cachedConnected_;
    uint32_t maxReceiveBufferSize_ = kDefaultMaxReceiveBufferSize;
    bool lastDatagramTruncated_ = false;
};

} // namespace tavlo
