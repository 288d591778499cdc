#pragma once

#include "platform/foundation/Error.h"
#include "printerlib/DelegateRef.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace tavlo::printerlib {

// What a transport tells its owner, always on the main thread and without waiting. Each
// operation is optional: the defaults do nothing.
class InterfaceFunctionsDelegate {
public:
    virtual ~InterfaceFunctionsDelegate() = default;
    // A connection attempt is about to open its socket or streams.
    virtual void willConnect() {}
    // The connection is usable.
    virtual void didConnect() {}
    // The attempt failed.
    virtual void didNotConnectWithError(const Error&) {}
    // An open connection failed while sending or receiving; it has been closed.
    virtual void didBeBrokenConnection(const Error&) {}
    // The transport closed the connection.
    virtual void didDisconnect() {}
    // Bytes arrived on a Bluetooth connection: read them now.
    virtual void bluetoothReadAvailableProcess() {}
};

// One byte transport to a printer. This base answers as a transport that can reach nothing;
// the Bluetooth and TCP transports replace its operations. Errors handed to the delegate are of
// the domain kErrorDomain with the system's error number as their code (a failed TCP connect
// passes its connect call's result instead).
class interfaceFunctions {
public:
    static constexpr const char* kErrorDomain = "OVL";
    static constexpr float kDefaultTimeout = 20.0f;
    static constexpr float kDefaultConnectingTimeout = 3.0f;

    interfaceFunctions() = default;
    virtual ~interfaceFunctions() = default;
    interfaceFunctions(const interfaceFunctions&) = delete;
    interfaceFunctions& operator=(const interfaceFunctions&) = delete;

    // Receives with the transport's own `timeout`.
    long recv(uint8_t* buffer, long size) { return recv(buffer, size, timeout()); }
    virtual long recv(uint8_t* buffer, long size, float timeout);
    virtual long recv(uint8_t* buffer, long size, float timeout, long retry);
    virtual void clear() {}

    // Connects with notification (willConnect and didConnect).
    bool connect(const std::string& macAddress, const std::string& address, uint16_t port) {
        return connect(macAddress, address, port, true);
    }
    virtual bool connect(const std::string& macAddress, const std::string& address, uint16_t port, bool notification);
    // Closes with notification (didDisconnect).
    void disconnect() { disconnect(true); }
    // Lets pending output drain for up to `seconds`, sleeps `afterSleep` seconds, then closes.
    virtual void disconnectWithTimeout(long seconds, unsigned afterSleep);
    void disconnectWithTimeout(long seconds) { disconnectWithTimeout(seconds, 0); }
    virtual void disconnect(bool notify);
    virtual bool isConnected();

    virtual long send(const uint8_t* bytes, long size);
    // With `absolute`, waits until every byte is written.
    virtual long send(const uint8_t* bytes, long size, bool absolute);

    InterfaceFunctionsDelegate* delegate() const { return delegate_.get(); }
    void setDelegate(InterfaceFunctionsDelegate* delegate) { delegate_.set(delegate); }
    float timeout() const { return timeout_; }
    void setTimeout(float seconds) { timeout_ = seconds; }
    float connectingTimeout() const { return connectingTimeout_; }
    void setConnectingTimeout(float seconds) { connectingTimeout_ = seconds; }
    bool allowLog() const { return allowLog_; }
    void setAllowLog(bool allow) { allowLog_ = allow; }
    int levelLog() const { return levelLog_; }
    void setLevelLog(int level) { levelLog_ = level; }

protected:
    // Hands an event to the delegate on the main thread.
    template <class Call> void report(Call call) const { delegate_.dispatch(std::move(call)); }
    static Error error(int code) { return Error(kErrorDomain, code, ""); }

private:
    DelegateRef<InterfaceFunctionsDelegate> delegate_;
    std::atomic<float> timeout_{kDefaultTimeout};
    std::atomic<float> connectingTimeout_{kDefaultConnectingTimeout};
    std::atomic<bool> allowLog_{false};
    std::atomic<int> levelLog_{0};
};

} // namespace tavlo::printerlib
