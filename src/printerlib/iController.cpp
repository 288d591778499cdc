#include "printerlib/iController.h"

#include "platform/foundation/Clock.h"
#include "platform/foundation/RunLoop.h"
#include "printerlib/BTFunctions.h"
#include "printerlib/NetFunctions.h"
#include "printerlib/Trace.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tavlo::printerlib {

namespace {
// What lsbPause(NO) found switched on, for lsbPause(YES).
std::atomic<bool> g_pausedLSB{false};

// A 4-byte block the printer sends on its own when its automatic status back is on.
bool isStatusBlock(const uint8_t* b) {
    return (b[0] & 0x93) == 0x10 && (b[1] & 0x93) == 0 && b[2] <= 15 && b[3] == 0x0F;
}
} // namespace

iController::iController(long interface)
    : ifFunctions_(interface == BluetoothInterface
                       ? std::unique_ptr<interfaceFunctions>(std::make_unique<BTFunctions>())
                       : std::make_unique<NetFunctions>()),
      bluetooth_(interface == BluetoothInterface) {
    ifFunctions_->setDelegate(this);
    targetChange_ =
        ScopedObserver(kChangeNotification, nullptr, [this](const Notification&) { didChangeTarget_ = true; });
}

iController::~iController() {
    ifFunctions_->setDelegate(nullptr);
    delegate_.set(nullptr);
    targetChange_.reset();
    stopReadThread();
    ifFunctions_->disconnect(false);
}

std::shared_ptr<OVPrinter> iController::target() const {
    std::lock_guard lock(targetMutex_);
    return target_;
}

void iController::setTarget(std::shared_ptr<OVPrinter> target) {
    std::lock_guard lock(targetMutex_);
    target_ = std::move(target);
}

void iController::setAllowLog(bool allow) {
    allowLog_ = allow;
    ifFunctions_->setAllowLog(allow);
    recvQueue_.setAllowLog(allow);
}

void iController::wait(double seconds) { RunLoop::current().runFor(seconds); }

// --- connection

void iController::reportNotConnected(int code) {
    Error error(interfaceFunctions::kErrorDomain, code, std::strerror(code));
    delegate_.dispatch([this, error](iControllerDelegate& d) { d.didNotConnectWithError(*this, error); });
}

bool iController::connect() {
    std::lock_guard lock(connectionMutex_);
    didReceiveConnectedMsg_ = false;
    std::shared_ptr<OVPrinter> printer = target();
    bool bluetoothTarget = printer && printer->connectionClass() >= OVPrinter::Bluetooth;
    // A network printer is reached by its address, a Bluetooth printer by its device address.
    std::optional<std::string> reachedBy = !printer          ? std::nullopt
                                           : bluetoothTarget ? printer->macAddress()
                                                             : printer->address();
    if (!reachedBy || reachedBy->empty()) {
        reportNotConnected(EDESTADDRREQ);
        return false;
    }
    if (bluetoothTarget && autoConnection_ != kKeepConnection) {
        trace(TraceLevel::Error, "[ERROR] connection mode is not auto.");
        reportNotConnected(EOPNOTSUPP);
        return false;
    }
    // A Bluetooth printer's address is an accessory's number and a network printer's is no
    // accessory: each is reached only through its own kind of transport.
    if (bluetoothTarget != bluetooth_) {
        trace(TraceLevel::Error, "[ERROR] the target is not reached through this transport.");
        reportNotConnected(EPROTOTYPE);
        return false;
    }
    // Set here rather than when the main thread hears willConnect: a pop right after this
    // connect must not find the stop of an earlier connection.
    recvQueue_.setDoTerminate(false);
    if (!ifFunctions_->connect(printer->macAddress().value_or(""), printer->address().value_or(""), printer->port())) {
        // The TCP transport reports its own failures; the Bluetooth one reports only a session
        // it could not open, not a printer it did not find.
        if (bluetooth_) reportNotConnected(ENOTCONN);
        return false;
    }
    recvQueue_.clear();
    if (!bluetooth_) startReadThread();
    if (didChangeTarget_) {
        if (!isAvailablePrinter()) {
            trace(TraceLevel::Error, "[ERROR] the printer is not available.");
            stopReadThread();
            ifFunctions_->disconnect();
            return false;
        }
        didChangeTarget_ = false;
        initalizeBarcodeInfo();
    }
    return true;
}

void iController::connectThread() {
    if (std::shared_ptr<OVPrinter> printer = target())
        ifFunctions_->connect(printer->macAddress().value_or(""), printer->address().value_or(""), printer->port());
}

void iController::disconnectWithTimeout(long seconds, unsigned afterSleep) {
    if (seconds != 0 && ifFunctions_->isConnected()) {
        Date start = Date::now();
        for (;;) {
            long result = checkPrinter(1);
            if (result == OVL_SUCCESS) break;
            if (result == OVL_WRITE_ERROR) {
                trace(TraceLevel::Error, "[ERROR] SOCKET_ERROR");
                break;
            }
            trace(TraceLevel::Error, "[ERROR] OVL_READ_ERROR");
            if (seconds != -1 && Date::now().secondsSince(start) >= static_cast<double>(seconds)) break;
            wait(RecvQueue::kStepSeconds);
        }
    }
    std::lock_guard lock(connectionMutex_);
    stopReadThread();
    ifFunctions_->disconnectWithTimeout(0, afterSleep);
}

void iController::startReadThread() {
    stopReadThread();
    terminateReadThread_ = false;
    readThread_ = std::thread([this] { iControllerReadThread(); });
}

void iController::joinEndedReadThread() {
    // A connect or disconnect in progress deals with the thread itself. Otherwise, with the
    // connection gone, its thread has seen its last read fail and is ending.
    std::unique_lock lock(connectionMutex_, std::try_to_lock);
    if (lock.owns_lock() && !ifFunctions_->isConnected() && readThread_.joinable()) readThread_.join();
}

bool iController::hasReadThread() {
    std::lock_guard lock(connectionMutex_);
    return readThread_.joinable();
}

void iController::stopReadThread() {
    terminateReadThread_ = true;
    if (readThread_.joinable()) readThread_.join();
}

// --- transport events, on the main thread

void iController::willConnect() {
    if (autoConnection_ == kKeepConnection)
        delegate_.dispatch([this](iControllerDelegate& d) { d.willConnect(*this); });
}

void iController::didConnect() {
    didReceiveConnectedMsg_ = true;
    if (autoConnection_ != kKeepConnection) return;
    if (ifFunctions_->isConnected()) delegate_.dispatch([this](iControllerDelegate& d) { d.didConnect(*this); });
    else didDisconnect();
}

void iController::didNotConnectWithError(const Error& error) {
    didReceiveConnectedMsg_ = false;
    delegate_.dispatch([this, error](iControllerDelegate& d) { d.didNotConnectWithError(*this, error); });
}

void iController::didBeBrokenConnection(const Error& error) {
    didReceiveConnectedMsg_ = false;
    // The connection's read thread has ended with it (or is ending): it goes with the connection.
    joinEndedReadThread();
    if (terminateReadThread_) return;
    delegate_.dispatch([this, error](iControllerDelegate& d) { d.didBeBrokenConnection(*this, error); });
}

void iController::didDisconnect() {
    didReceiveConnectedMsg_ = false;
    joinEndedReadThread();
    // Heard late, this may belong to an earlier connection: the waits of a newer one go on.
    if (!ifFunctions_->isConnected()) recvQueue_.setDoTerminate(true);
    if (autoConnection_ == kKeepConnection)
        delegate_.dispatch([this](iControllerDelegate& d) { d.didDisconnect(*this); });
}

// --- sending and receiving

long iController::send(const uint8_t* bytes, long size, bool absolute) {
    if (!ifFunctions_->isConnected()) return SOCKET_ERROR;
    return ifFunctions_->send(bytes, size, absolute);
}

long iController::sendCommand(const Bytes& command, bool absolute) {
    return send(command, absolute) == static_cast<long>(command.size()) ? OVL_SUCCESS : OVL_WRITE_ERROR;
}

long iController::recv(uint8_t* buffer, long size, float timeout) { return recvQueue_.pop(buffer, size, timeout); }

long iController::recvLine(uint8_t* buffer, long size) { return recvQueue_.popValue(buffer, size, 0x0A); }

long iController::recvValue(uint8_t* buffer, long size, uint8_t stx) {
    return recvQueue_.popValue(buffer, size, 0, stx);
}

long iController::directRecv(uint8_t* buffer, long size) {
    return ifFunctions_->isConnected() ? ifFunctions_->recv(buffer, size) : SOCKET_ERROR;
}

long iController::directRecv(uint8_t* buffer, long size, float timeout) {
    return ifFunctions_->isConnected() ? ifFunctions_->recv(buffer, size, timeout) : SOCKET_ERROR;
}

long iController::directRecvLine(uint8_t* buffer, long size) {
    if (!ifFunctions_->isConnected()) return SOCKET_ERROR;
    Date start = Date::now();
    long count = 0;
    while (count < size && Date::now().secondsSince(start) < kDefaultReceiveTimeout) {
        long got = ifFunctions_->recv(buffer + count, 1, kReadTimeout);
        if (got < 0) break;
        if (got == 0) continue;
        if (buffer[count++] == 0x0A) break;
    }
    return count;
}

// --- the read thread

void iController::iControllerReadThread() {
    Bytes buffer(kReadBufferSize);
    long keepAlive = 0;
    while (ifFunctions_->isConnected() && !terminateReadThread_) {
        if (!readRound(buffer.data(), &keepAlive)) break;
    }
    if (!terminateReadThread_)
        trace(TraceLevel::Error, "error : connection is broken. : %d", ifFunctions_->isConnected());
}

void iController::bluetoothReadAvailableProcess() {
    Bytes buffer(kReadBufferSize);
    readRound(buffer.data(), nullptr);
}

bool iController::readRound(uint8_t* buffer, long* keepAlive) {
    std::memset(buffer, 0, kReadBufferSize);
    long held = ifFunctions_->recv(buffer, kReadBufferSize, kReadTimeout, 0);
    if (held < 0) return false;
    if (held == 0 && keepAlive && msrIsReady()) return sendKeepAlive(*keepAlive);
    return handOut(buffer, held);
}

bool iController::sendKeepAlive(long& counter) {
    std::shared_ptr<OVPrinter> printer = target();
    long inactivity = printer ? printer->inactivityTime() : 0;
    if (inactivity == 0) return true;
    // The printer drops a connection that stays quiet for its inactivity time.
    if (++counter < inactivity - 1) return true;
    const uint8_t zero = 0;
    if (send(&zero, 1, true) == SOCKET_ERROR) {
        trace(TraceLevel::Error, "[ERROR] can not send dummy command.");
        return false;
    }
    counter = 0;
    return true;
}

bool iController::handOut(uint8_t* buffer, long held) {
    long card = processDataMsr(buffer, held);
    int quietReads = 0;
    // Incomplete card data: read on, while there is room and no stop was asked, until three
    // reads in a row bring nothing.
    while (card == -1) {
        if (terminateReadThread_ || held >= kReadBufferSize || quietReads >= 3) {
            card = 0;
            break;
        }
        long more = ifFunctions_->recv(buffer + held, kReadBufferSize - held, kReadTimeout, 0);
        if (more < 0) return false;
        if (more == 0) {
            ++quietReads;
            continue;
        }
        quietReads = 0;
        held += more;
        card = processDataMsr(buffer, held);
    }
    card = std::clamp(card, 0L, held);
    long status = processDataStatus(buffer + card, held - card);
    status = std::clamp(status, 0L, held - card);
    recvQueue_.push(buffer + card + status, held - card - status);
    if (recvQueue_.length() == 1) trace(TraceLevel::Detail, "recv queue Len == 1, <==%d ", buffer[card + status]);
    return true;
}

// --- hooks

long iController::checkPrinter(long) { return OVL_NOT_OPENED; }

long iController::processDataMsr(const uint8_t*, long) { return 0; }

long iController::processDataStatus(const uint8_t* bytes, long length) {
    long consumed = 0;
    for (; length - consumed >= 4 && isStatusBlock(bytes + consumed); consumed += 4) {
        const uint8_t* block = bytes + consumed;
        readyLSB_ = isSetLSB_.load();
        long next = 0;
        if (block[0] & 0x08) next |= OVL_STS_OFFLINE;
        if (block[0] & 0x20) next |= OVL_STS_COVER_OPEN;
        if (block[0] & 0x40) trace(TraceLevel::Detail, "paper fed by the feed button");
        bool signalHigh = (block[0] & 0x04) != 0;
        if (signalHigh == (drawerOpenLevel_ == 1)) next |= OVL_STS_DRAWER_OPEN;
        if (block[2] & 0x0F) next |= OVL_STS_PAPER_EMPTY;
        // Kept whether or not anyone listens: the checks before printing read it.
        if (state_.exchange(next) != next)
            delegate_.dispatch([this, next](iControllerDelegate& d) { d.didUpdateStatus(*this, next); });
    }
    return consumed;
}

// --- automatic status back

long iController::enableLSB(bool enable) {
    if (autoConnection_ != kKeepConnection) {
        trace(TraceLevel::Error, "[ERROR] connection mode is not noauto.");
        return OVL_STATUS_ERROR;
    }
    isSetLSB_ = enable;
    readyLSB_ = false;
    long result = sendCommand({0x1D, 0x61, static_cast<uint8_t>(enable ? 1 : 0)});
    if (result != OVL_SUCCESS) {
        trace(TraceLevel::Error, "[ERROR] cmd send fail");
    } else if (enable) {
        result = OVL_READ_ERROR;
        Date start = Date::now();
        while (Date::now().secondsSince(start) < LSBWaitSeconds) {
            wait(RecvQueue::kStepSeconds);
            if (readyLSB_) {
                trace(TraceLevel::Detail, "enableLSB Success");
                result = OVL_SUCCESS;
                break;
            }
        }
        if (result != OVL_SUCCESS)
            trace(TraceLevel::Error, "[ERROR] cmd is sent. but can not receive the response from the printer.");
    }
    if (!readyLSB_) isSetLSB_ = false;
    return result;
}

long iController::lsbPause(bool resume) {
    if (resume) return enableLSB(g_pausedLSB);
    g_pausedLSB = isSetLSB_.load();
    return enableLSB(false);
}

long iController::awaitReply(uint8_t* buffer, long size, uint8_t stx, int attempts) {
    for (int attempt = 0; attempt < attempts; ++attempt) {
        long got = stx == 0 ? recv(buffer, size) : recvValue(buffer, size, stx);
        if (got > 0) return got;
        if (!ifFunctions_->isConnected()) break;
        Clock::currentShared()->sleepFor(0.2);
        wait(RecvQueue::kStepSeconds);
    }
    return 0;
}

bool iController::canISendImage() const { return (state_ & (OVL_STS_PAPER_EMPTY | OVL_STS_COVER_OPEN)) == 0; }

} // namespace tavlo::printerlib
