#include "printerlib/BTFunctions.h"

#include "platform/accessory/AccessoryManager.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/RunLoop.h"
#include "printerlib/Trace.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace tavlo::printerlib {

namespace {

// A flush runs in one transport of the process at a time.
std::atomic<bool> g_onProcess{false};

constexpr double kStepSeconds = 0.1;
constexpr int kSendLockTries = 10;
constexpr int kFlushLockTries = 30;
constexpr int kDrainRounds = 4;
// The tries of an absolute send that wait a step when nothing went out: the last 26 for a
// large send, the last 16 for a small one.
constexpr long kLargeSend = 1024;
constexpr int kLargeSendWaits = 26;
constexpr int kSmallSendWaits = 16;
// An address this long or longer in the model number is the device address itself.
constexpr size_t kMacTextLength = 17;

bool isHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

std::string macText(const uint8_t (&mac)[6]) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return text;
}

void runLoopStep() { RunLoop::current().runFor(kStepSeconds); }

} // namespace

BTFunctions::BTFunctions() {
    accessoryConnected_ = ScopedObserver(AccessoryManager::didConnectNotification, nullptr, [](const Notification&) {});
    accessoryDisconnected_ = ScopedObserver(AccessoryManager::didDisconnectNotification, nullptr,
                                            [this](const Notification& note) { accessoryDidDisconnect(note); });
    AccessoryManager::shared().registerForLocalNotifications();
}

BTFunctions::~BTFunctions() {
    accessoryConnected_.reset();
    accessoryDisconnected_.reset();
    AccessoryManager::shared().unregisterForLocalNotifications();
    BTFunctions::disconnect(false);
}

std::shared_ptr<AccessorySession> BTFunctions::session() const {
    std::lock_guard monitor(monitor_);
    return session_;
}

std::shared_ptr<Accessory> BTFunctions::selectedAccessory() const {
    std::lock_guard monitor(monitor_);
    return selected_;
}

bool BTFunctions::getMacAddressInfoFrom(const Accessory& accessory, uint8_t* macAddress, size_t macBufferSize) {
    if (!macAddress) return false;
    std::memset(macAddress, 0, macBufferSize);
    const std::string description = accessory.description();
    const std::string separator = accessory.modelNumber().size() < kMacTextLength ? "macAddress: " : "modelNumber: ";
    size_t at = description.find(separator);
    if (at == std::string::npos) return false;
    std::string rest = description.substr(at + separator.size());
    size_t written = 0;
    for (size_t start = 0; written < macBufferSize && start <= rest.size();) {
        size_t end = rest.find(':', start);
        std::string piece = rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (piece.size() < 2 || !isHex(piece[0]) || !isHex(piece[1])) break;
        macAddress[written++] = static_cast<uint8_t>(std::stoul(piece.substr(0, 2), nullptr, 16));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return true;
}

bool BTFunctions::getEAAccessory(const std::string& macAddress, const std::string& address) {
    std::lock_guard monitor(monitor_);
    if (session_) {
        if (isConnected()) return true;
        return false;
    }
    const std::string wanted = upper(macAddress);
    const bool zero = wanted == "00:00:00:00:00:00";
    for (const std::shared_ptr<Accessory>& accessory : AccessoryManager::shared().connectedAccessories()) {
        uint8_t mac[6];
        getMacAddressInfoFrom(*accessory, mac, sizeof mac);
        if (upper(macText(mac)) != wanted) continue;
        if (zero && std::to_string(accessory->connectionID()) != std::to_string(std::atol(address.c_str()))) continue;
        for (const std::string& protocol : accessory->protocolStrings()) {
            if (protocol == kProtocolString || protocol == kBTLinkProtocolString) {
                selected_ = accessory;
                protocolString_ = protocol;
                return true;
            }
        }
    }
    return false;
}

bool BTFunctions::connect(const std::string& macAddress, const std::string& address, uint16_t, bool) {
    // The delegate hears of the outcome once the monitor is left.
    std::optional<Error> refused;
    {
        std::lock_guard monitor(monitor_);
        isNotifiedConnect_ = false;
        if (!getEAAccessory(macAddress, address)) {
            trace(TraceLevel::Error, "[ERROR] get EAAccessory(%@) Fail.", macAddress);
            return false;
        }
        isAvailableTarget_ = true;
        if (session_) {
            trace(TraceLevel::Error, "[ERROR] eaSession already alloced.");
            return false;
        }
        Error failure;
        session_ = AccessorySession::open(selected_, protocolString_, &failure);
        if (!session_) {
            trace(TraceLevel::Error, "[ERROR] @@@@@@@@@@@@@@@@@@@@@@@@@@@  creating session failed");
            selected_.reset();
            refused = interfaceFunctions::error(failure.code() ? failure.code() : ENODEV);
            trace(TraceLevel::Error, "[ERROR] connect fail. unknown error");
        }
    }
    if (refused) {
        report([error = *refused](InterfaceFunctionsDelegate& d) { d.didNotConnectWithError(error); });
        return false;
    }
    report([](InterfaceFunctionsDelegate& d) { d.willConnect(); });
    std::shared_ptr<AccessorySession> opened = session();
    if (!opened) return false; // closed meanwhile
    for (Stream* stream :
         {static_cast<Stream*>(opened->inputStream().get()), static_cast<Stream*>(opened->outputStream().get())}) {
        stream->setDelegate(this);
        stream->schedule(RunLoop::main(), RunLoop::defaultMode);
        stream->open();
    }
    return true;
}

void BTFunctions::stream(Stream&, StreamEvent event) {
    isEAEventReceived_ = true;
    if (event == StreamEventHasBytesAvailable) {
        report([](InterfaceFunctionsDelegate& d) { d.bluetoothReadAvailableProcess(); });
    } else if (event == StreamEventHasSpaceAvailable) {
        if (!isNotifiedConnect_.exchange(true)) report([](InterfaceFunctionsDelegate& d) { d.didConnect(); });
        flushWriteBuffer();
    }
}

bool BTFunctions::tryLock(TryLock& lock, int tries) {
    for (int attempt = 0; attempt < tries; ++attempt) {
        if (lock.tryLock()) return true;
        trace(TraceLevel::Error, "writeData lock fail. (nRetry : %ld) ", static_cast<long>(attempt));
        runLoopStep();
    }
    trace(TraceLevel::Error, "[ERROR] writeData lock failed and retry is 0. ");
    return false;
}

long BTFunctions::send(const uint8_t* bytes, long size, bool absolute) {
    if (!session() || !selectedAccessory()) {
        trace(TraceLevel::Error, "[ERROR] \r\n* session :%@, \r\n* selectedAcc : %@, \r\n*_writeData : %@ ");
        return -1;
    }
    if (!tryLock(wlock_, kSendLockTries)) return -1;
    if (!writeData_) writeData_.emplace();
    sendAbsolute_ = absolute;
    if (bytes && size > 0) writeData_->insert(writeData_->end(), bytes, bytes + size);
    wlock_.unlock();

    if (!absolute) {
        flushWriteBuffer();
        return size;
    }
    if (size < 1) return 0;
    long total = 0;
    int tries = kSendTries;
    const int waits = size >= kLargeSend ? kLargeSendWaits : kSmallSendWaits;
    for (;;) {
        long sent = flushWriteBuffer();
        if (sent == -1) {
            trace(TraceLevel::Error, "[ERROR] can not recv. code = %d", errno);
            reportBroken(EIO);
            disconnect(false);
            return total;
        }
        if (sent == 0 || sent == kWriteBufferBusy) {
            // Nothing went out: a try is used, and the last ones give the printer time.
            trace(TraceLevel::Detail, "sent len = 0x00");
            if (tries <= waits) runLoopStep();
            if (--tries == 0) return total;
            continue;
        }
        total += sent;
        if (total >= size) return total;
        tries = kSendTries;
    }
}

long BTFunctions::flushWriteBuffer() {
    if (g_onProcess.exchange(true)) {
        trace(TraceLevel::Error, "[ERROR] bIsOnProcess is TRUE.");
        return 0;
    }
    struct Done {
        ~Done() { g_onProcess = false; }
    } done;
    if (!tryLock(wlock_, kFlushLockTries)) return kWriteBufferBusy;
    struct Unlock {
        TryLock& lock;
        ~Unlock() { lock.unlock(); }
    } unlock{wlock_};
    if (!writeData_) return -1;
    if (writeData_->empty()) {
        trace(TraceLevel::Error, "[ERROR] writeData less than 0. ");
        return 0;
    }
    std::shared_ptr<AccessorySession> open = session();
    if (!open || !isConnected()) return 0;
    // One write at most: a printer that takes nothing must not hold the calling thread here;
    // the absolute send's tries bound its wait.
    const std::shared_ptr<OutputStream>& output = open->outputStream();
    if (!output->hasSpaceAvailable()) {
        trace(TraceLevel::Error, "[ERROR] write fail. - SendLen : %ld", static_cast<long>(writeData_->size()));
        return 0;
    }
    long written = output->write(writeData_->data(), writeData_->size());
    trace(TraceLevel::Detail, "write success:%ld bytes", written);
    if (written < 0) {
        trace(TraceLevel::Error, "[ERROR] write error");
        return -1;
    }
    DataTrace::append(writeData_->data(), static_cast<size_t>(written));
    writeData_->erase(writeData_->begin(), writeData_->begin() + written);
    return written;
}

void BTFunctions::drainInput() {
    std::shared_ptr<AccessorySession> open = session();
    if (!open) return;
    const std::shared_ptr<InputStream>& input = open->inputStream();
    for (int round = 0; round < kDrainRounds; ++round) {
        // Before the first stream event of a connection the printer may still be waking up.
        if (round > 0) Clock::currentShared()->sleepFor(1.0);
        while (input->hasBytesAvailable()) {
            uint8_t chunk[kReadChunk];
            ssize_t got = input->read(chunk, sizeof chunk);
            if (got <= 0) break;
            if (!readData_) readData_.emplace();
            readData_->insert(readData_->end(), chunk, chunk + got);
            runLoopStep();
        }
        if ((readData_ && !readData_->empty()) || isEAEventReceived_) break;
    }
}

long BTFunctions::recv(uint8_t* buffer, long size, float timeout) {
    if (!rlock_.tryLock()) {
        trace(TraceLevel::Error, "[ERROR] readBuffer lock fail on recv:size:timeout:");
        return 0;
    }
    struct Unlock {
        TryLock& lock;
        ~Unlock() { lock.unlock(); }
    } unlock{rlock_};
    Date start = Date::now();
    drainInput();
    if (timeout <= 0) return 0;
    for (;;) {
        if (!readData_) {
            trace(TraceLevel::Error, "error : _readData is nil!!!");
            return 0;
        }
        if (!readData_->empty()) {
            long count = std::min(static_cast<long>(readData_->size()), size);
            std::copy_n(readData_->begin(), count, buffer);
            readData_->erase(readData_->begin(), readData_->begin() + count);
            return count;
        }
        if (Date::now().secondsSince(start) >= timeout) {
            runLoopStep();
            return 0;
        }
        // The buffer is not drained again before the time-out: nothing can come meanwhile, so
        // the wait sleeps instead of spinning.
        Clock::currentShared()->sleepFor(0.01);
    }
}

long BTFunctions::recv(uint8_t* buffer, long size, float timeout, long retry) {
    long total = 0;
    for (long call = 0; call <= retry && total < size; ++call) total += recv(buffer + total, size - total, timeout);
    return total;
}

long BTFunctions::readBytesAvailable() {
    if (!rlock_.tryLock()) return 0;
    long count = readData_ ? static_cast<long>(readData_->size()) : 0;
    rlock_.unlock();
    return count;
}

bool BTFunctions::isConnected() {
    std::shared_ptr<AccessorySession> open = session();
    return open && open->accessory()->isConnected();
}

long BTFunctions::bytesToWrite() {
    if (!wlock_.tryLock()) {
        trace(TraceLevel::Error, "[ERROR] writebuffer lock fail on disconnectWithTimeout");
        return -1;
    }
    long count = writeData_ ? static_cast<long>(writeData_->size()) : 0;
    wlock_.unlock();
    return count;
}

void BTFunctions::disconnectWithTimeout(long seconds, unsigned afterSleep) {
    if (seconds != 0) {
        Date start = Date::now();
        long remaining = bytesToWrite();
        for (;;) {
            trace(TraceLevel::Detail, "send to data before disconnect.[todo : %ld bytes elapsed:%ld]\r\n", remaining,
                  static_cast<long>(Date::now().secondsSince(start)));
            if (seconds > 0 && Date::now().secondsSince(start) >= static_cast<double>(seconds)) {
                trace(TraceLevel::DrainTimeout, "timeout.[can not sent %ld bytes] \r\n", remaining);
                break;
            }
            // The output stream's room events flush the buffer meanwhile.
            RunLoop::current().runFor(seconds > 0 ? static_cast<double>(seconds / 2) : 3.0);
            remaining = bytesToWrite();
            if (remaining == 0) break;
        }
    }
    if (afterSleep > 0) Clock::currentShared()->sleepFor(afterSleep);
    disconnect(true);
}

void BTFunctions::disconnect(bool notify) {
    std::shared_ptr<AccessorySession> closed;
    {
        std::lock_guard monitor(monitor_);
        closed = std::exchange(session_, nullptr);
        if (closed) {
            for (Stream* stream : {static_cast<Stream*>(closed->inputStream().get()),
                                   static_cast<Stream*>(closed->outputStream().get())}) {
                stream->close();
                stream->remove(RunLoop::main(), RunLoop::defaultMode);
                stream->setDelegate(nullptr);
            }
        } else {
            trace(TraceLevel::Error, "[ERROR] eaSession is nil!!!");
        }
    }
    // Unsent bytes go with the connection. A buffer held by a send or a flush meanwhile is
    // theirs: it is dropped by the next close.
    if (rlock_.tryLock()) {
        readData_.reset();
        rlock_.unlock();
    }
    if (wlock_.tryLock()) {
        writeData_.reset();
        wlock_.unlock();
    }
    if (closed && notify) report([](InterfaceFunctionsDelegate& d) { d.didDisconnect(); });
}

void BTFunctions::reportBroken(int code) {
    Error error = interfaceFunctions::error(code);
    report([error](InterfaceFunctionsDelegate& d) { d.didBeBrokenConnection(error); });
}

void BTFunctions::accessoryDidDisconnect(const Notification& notification) {
    const auto* gone = std::any_cast<std::shared_ptr<Accessory>>(&notification.object);
    std::shared_ptr<Accessory> selected = selectedAccessory();
    if (!gone || !*gone || !selected || !isAvailableTarget_) return;
    if ((*gone)->connectionID() != selected->connectionID()) return;
    isAvailableTarget_ = false;
    trace(TraceLevel::Error, "[ERROR] can not recv. code = %d", ENODEV);
    reportBroken(ENODEV);
    disconnect();
}

} // namespace tavlo::printerlib
