#pragma once

#include "platform/accessory/Accessory.h"
#include "platform/accessory/AccessorySession.h"
#include "platform/accessory/Stream.h"
#include "platform/foundation/NotificationCenter.h"
#include "printerlib/interfaceFunctions.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::printerlib {

// The transport to a printer paired over Bluetooth, reached as an accessory (on Linux an RFCOMM
// serial device). The printer is chosen by its device address among the connected accessories
// that speak one of the printer protocols. Writes go into a buffer that is flushed whenever the
// output stream has room; reads drain the input stream into a buffer the controller empties when
// the stream says bytes arrived. The streams are served by the main run loop; sends, receives
// and closing may come from the controller's threads.
class BTFunctions : public interfaceFunctions, private StreamDelegate {
public:
    static constexpr const char* kProtocolString = "com.orvan.protocol";
    static constexpr const char* kBTLinkProtocolString = "com.orvan.btlink";
    // The flush's answer when it could not take the write buffer.
    static constexpr long kWriteBufferBusy = 300;
    static constexpr long kReadChunk = 128;
    static constexpr int kSendTries = 80;

    BTFunctions();
    ~BTFunctions() override;

    using interfaceFunctions::connect;
    using interfaceFunctions::disconnect;
    using interfaceFunctions::disconnectWithTimeout;
    using interfaceFunctions::recv;
    using interfaceFunctions::send;

    // The accessory's device address as `size` bytes at most (6 for a whole address), read from
    // its description (after "macAddress: ", or after "modelNumber: " when the model number is
    // long enough to be the address); false when the description names none.
    static bool getMacAddressInfoFrom(const Accessory& accessory, uint8_t* macAddress, size_t macBufferSize);

    // Chooses the connected accessory whose address is `macAddress` (letters of either case)
    // and one of the printer protocols it offers; an all-zero address also needs the
    // accessory's connection identifier to be the number `address`. True when connected already.
    bool getEAAccessory(const std::string& macAddress, const std::string& address);

    // `macAddress` chooses the accessory, `address` is its connection identifier as decimal text;
    // the port and the notification flag are not used. True once the session's streams are
    // open; didConnect follows when the output stream first has room.
    bool connect(const std::string& macAddress, const std::string& address, uint16_t port, bool notification) override;
    // Not absolute: buffers the bytes, flushes once and answers the whole count. Absolute: flushes
    // until every byte went out; a stream without room ends it after its tries, with what went.
    long send(const uint8_t* bytes, long size) override { return send(bytes, size, false); }
    long send(const uint8_t* bytes, long size, bool absolute) override;
    long recv(uint8_t* buffer, long size, float timeout) override;
    long recv(uint8_t* buffer, long size, float timeout, long retry) override;
    long readBytesAvailable();
    bool isConnected() override;
    void disconnectWithTimeout(long seconds, unsigned afterSleep) override;
    // Closes the streams and the session; unsent bytes are dropped.
    void disconnect(bool notify) override;

    // The accessory the last lookup chose (tests).
    std::shared_ptr<Accessory> selectedAccessory() const;
    const std::string& protocolString() const { return protocolString_; }

private:
    // A lock that is only ever tried, never waited for; a second try fails even on the thread
    // that holds it.
    class TryLock {
    public:
        bool tryLock() { return !held_.exchange(true); }
        void unlock() { held_ = false; }

    private:
        std::atomic<bool> held_{false};
    };

    void stream(Stream& stream, StreamEvent event) override;
    // One write of the buffer when the stream has room: the count written, 0 without room or
    // when another flush runs, -1 without a buffer or on a write error, kWriteBufferBusy.
    long flushWriteBuffer();
    // Drains the input stream into the read buffer (the caller holds the read lock).
    void drainInput();
    // Takes `lock` with up to `tries` tries, running the run loop 0.1 second after each failure.
    static bool tryLock(TryLock& lock, int tries);
    long bytesToWrite();
    void accessoryDidDisconnect(const Notification& notification);
    void reportBroken(int code);
    std::shared_ptr<AccessorySession> session() const;

    mutable std::recursive_mutex monitor_; // connecting and closing; guards session_, selected_
    std::shared_ptr<AccessorySession> session_;
    std::shared_ptr<Accessory> selected_;
    std::string protocolString_;
    TryLock wlock_;
    std::optional<std::vector<uint8_t>> writeData_;
    TryLock rlock_;
    std::optional<std::vector<uint8_t>> readData_;
    std::atomic<bool> isEAEventReceived_{false};
    std::atomic<bool> sendAbsolute_{false};
    std::atomic<bool> isNotifiedConnect_{false};
    std::atomic<bool> isAvailableTarget_{true};
    ScopedObserver accessoryConnected_;
    ScopedObserver accessoryDisconnected_;
};

} // namespace tavlo::printerlib
