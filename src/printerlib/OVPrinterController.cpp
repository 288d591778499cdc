// OVPrinterController: life, target and connection, the model object's events, status, card
// reader, raw input and output, configuration.
#include "printerlib/OVPrinterController.h"

#include "platform/foundation/Clock.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "printerlib/SwitchSettings.h"
#include "printerlib/Trace.h"

#include <algorithm>
#include <cstring>

namespace tavlo::printerlib {

namespace {
constexpr double kStepSeconds = 0.1;
constexpr int kTargetChangeWaits = 4;
constexpr size_t kConfigSize = 624;
} // namespace

OVPrinterController& OVPrinterController::getInstance() {
    // Lives for the whole process: the driver and the library's threads hold on to it.
    static auto* instance = new OVPrinterController();
    return *instance;
}

OVPrinterController::OVPrinterController() : config_(kConfigSize, 0), settingConfig_(kSettingConfigSize, 0) {
    udpServer_.setDelegate(this);
}

OVPrinterController::~OVPrinterController() {
    delegate_.set(nullptr);
    ending_ = true;
    if (lookupTimer_) lookupTimer_->invalidate();
    udpServer_.stop();
    udpServer_.setDelegate(nullptr);
    std::shared_ptr<iController> m = model();
    if (m) {
        m->setDelegate(nullptr);
        m->disconnect();
    }
    // A disconnect still waiting for its printer finds the connection gone and ends.
    std::vector<DisconnectThread> threads;
    {
        std::lock_guard lock(disconnectThreadsMutex_);
        threads = std::move(disconnectThreads_);
    }
    for (DisconnectThread& running : threads) running.thread.join();
    disconnect_noDelegate();
    std::lock_guard lock(foundLock_);
    found_.clear();
}

// --- life and logging

void OVPrinterController::open() {
    tell([](OVPrinterControlDelegate& d) { d.didStart(); });
    state_ = 0;
}

void OVPrinterController::close() {
    tell([](OVPrinterControlDelegate& d) { d.didStop(); });
    state_ = kInitialState;
}

void OVPrinterController::setLogLevel(long level, int password) {
    std::lock_guard lock(generalLock_);
    if (password != kLogLevelAccessCode) return;
    DataTrace::setMask(static_cast<uint32_t>(level));
}

// --- target and connection

std::shared_ptr<OVPrinter> OVPrinterController::target() const {
    std::lock_guard lock(mutex_);
    return target_;
}

std::shared_ptr<iController> OVPrinterController::model() const {
    std::lock_guard lock(mutex_);
    return model_;
}

void OVPrinterController::setTarget(std::shared_ptr<OVPrinter> printer) {
    std::lock_guard selection(generalLock_);
    if (std::shared_ptr<iController> m = model(); m && m->isConnected()) {
        m->disconnect();
        while (m->isConnected()) {
            RunLoop::current().runFor(kStepSeconds);
            Clock::currentShared()->sleepFor(1.0);
        }
    }
    std::lock_guard lock(mutex_);
    target_ = std::move(printer);
}

void OVPrinterController::setAutoConnection(long mode) {
    autoConnection_ = mode;
    if (std::shared_ptr<iController> m = model()) m->setAutoConnection(mode);
}

long OVPrinterController::selectTarget() {
    if (selecting_.exchange(true)) return OVL_STATUS_ERROR;
    struct Done {
        std::atomic<bool>& flag;
        ~Done() { flag = false; }
    } done{selecting_};
    for (int wait = 0; wait < kTargetChangeWaits && !targetChangeAvailable_; ++wait)
        RunLoop::current().runFor(kStepSeconds);
    if (!targetChangeAvailable_) {
        trace(TraceLevel::Error, "[ERROR] other printer is opened.");
        return OVL_OTHERPTR_OPENED;
    }
    std::unique_lock disconnecting(disconnectLock_, std::try_to_lock);
    if (!disconnecting.owns_lock()) return OVL_STATUS_ERROR;
    std::unique_lock accessories(accessoryLock_, std::try_to_lock);
    if (!accessories.owns_lock()) return OVL_STATUS_ERROR;
    long id = getModelID();
    accessories.unlock();
    // Model ids are large numbers; a small answer is the identification's failure.
    if (id == OVL_CONNECT_ERROR || id == OVL_WRITE_ERROR || id == OVL_READ_ERROR) return id;
    return selectTarget(id);
}

bool OVPrinterController::connect() {
    if (autoConnection_ != iController::kKeepConnection) {
        trace(TraceLevel::Error, "[ERROR] connection mode is not auto.");
        return false;
    }
    std::unique_lock disconnecting(disconnectLock_, std::try_to_lock);
    if (!disconnecting.owns_lock()) {
        trace(TraceLevel::Error, "[ERROR] disconnectLock locking failed.");
        return false;
    }
    std::shared_ptr<iController> m = model();
    if (!m) return false;
    if (m->isConnected()) return true;
    m->setTarget(target());
    NotificationCenter::defaultCenter().post(iController::kChangeNotification, this, {{kChangeNotificationKey, this}},
                                             this);
    bool connected = m->connect();
    if (connected) targetChangeAvailable_ = false;
    return connected;
}

bool OVPrinterController::isConnected() const {
    std::shared_ptr<iController> m = model();
    return m && m->isConnected();
}

long OVPrinterController::disconnectWithTimeout(long seconds, unsigned afterSleep) {
    if (autoConnection_ != iController::kKeepConnection) return OVL_NOT_SUPPORT;
    std::shared_ptr<iController> m = model();
    if (!m) return OVL_NOT_OPENED;
    if (seconds == 0 && afterSleep == 0) {
        if (m->isSetLSB()) m->enableLSB(false);
        m->disconnect();
        return OVL_SUCCESS;
    }
    // The printer first finishes what it was given (its cover status answers once it has); the
    // caller does not wait for that.
    std::lock_guard threads(disconnectThreadsMutex_);
    std::erase_if(disconnectThreads_, [](DisconnectThread& ended) {
        if (!*ended.done) return false;
        ended.thread.join();
        return true;
    });
    auto done = std::make_shared<std::atomic<bool>>(false);
    disconnectThreads_.push_back({std::thread([this, m, seconds, afterSleep, done] {
                                      disconnectThread(m, seconds, afterSleep);
                                      *done = true;
                                  }),
                                  done});
    return OVL_SUCCESS;
}

void OVPrinterController::disconnectThread(std::shared_ptr<iController> m, long seconds, unsigned afterSleep) {
    std::unique_lock disconnecting(disconnectLock_, std::defer_lock);
    while (!disconnecting.try_lock()) {
        if (ending_) return;
        Clock::currentShared()->sleepFor(kStepSeconds);
    }
    if (m->isSetLSB()) m->enableLSB(false);
    Date start = Date::now();
    // Without a time-out it waits as long as the printer keeps its connection, or the controller
    // lives.
    while (!ending_) {
        long result = m->checkPrinter(1);
        if (result == OVL_SUCCESS || result == SOCKET_ERROR) break;
        if (seconds > 0 && Date::now().secondsSince(start) >= static_cast<double>(seconds)) break;
        Clock::currentShared()->sleepFor(kStepSeconds);
    }
    m->disconnectWithTimeout(0, afterSleep);
}

// --- the model object's events (on the main thread)

void OVPrinterController::willConnect(iController&) {
    if (autoConnection_ != iController::kKeepConnection) return;
    tell([this, printer = target()](OVPrinterControlDelegate& d) { d.willConnect(*this, printer); });
}

void OVPrinterController::didConnect(iController& m) {
    if (autoConnection_ != iController::kKeepConnection) return;
    m.initializePrinter();
    if (!m.isConnected()) return;
    tell([this, printer = target()](OVPrinterControlDelegate& d) { d.didConnect(*this, printer); });
}

void OVPrinterController::didDisconnect(iController&) {
    targetChangeAvailable_ = true;
    if (autoConnection_ != iController::kKeepConnection) return;
    tell([this, printer = target()](OVPrinterControlDelegate& d) { d.didDisconnect(*this, printer); });
}

void OVPrinterController::didBeBrokenConnection(iController&, const Error& error) {
    targetChangeAvailable_ = true;
    tell([this, printer = target(), error](OVPrinterControlDelegate& d) {
        d.didBeBrokenConnection(*this, printer, error);
    });
}

void OVPrinterController::didNotConnectWithError(iController&, const Error& error) {
    targetChangeAvailable_ = true;
    tell([this, printer = target(), error](OVPrinterControlDelegate& d) { d.didNotConnect(*this, printer, error); });
}

void OVPrinterController::didUpdateStatus(iController&, long status) {
    tell([this, status](OVPrinterControlDelegate& d) { d.didUpdateStatus(*this, status); });
}

void OVPrinterController::msrArrived(iController&, long track) {
    tell([this, track](OVPrinterControlDelegate& d) { d.msrArrived(*this, track); });
}

void OVPrinterController::msrTerminated(iController& m) {
    state_ = m.state();
    tell([this](OVPrinterControlDelegate& d) { d.msrTerminated(*this); });
    m.lsbPause(true);
}

// --- status and card reader

long OVPrinterController::checkPrinter(long mask) {
    std::shared_ptr<iController> m = model();
    if (!m || !m->isConnected()) return OVL_NOT_CONNECTED;
    m->lsbPause(false);
    long result = m->checkPrinter(mask);
    // Resuming answers 103 when the status back is not to be kept (per-command connections).
    long resumed = m->lsbPause(true);
    if (resumed != OVL_SUCCESS && resumed != OVL_STATUS_ERROR) result = OVL_WRITE_ERROR;
    state_ = m->state();
    return result;
}

long OVPrinterController::msrReadReady() {
    std::shared_ptr<iController> m = model();
    if (!m) return OVL_NOT_OPENED;
    if (m->msrIsReady()) return OVL_SUCCESS;
    m->lsbPause(false);
    return m->msrReadReady();
}

long OVPrinterController::msrReadCancel() {
    std::shared_ptr<iController> m = model();
    if (!m) return OVL_NOT_OPENED;
    long result = m->msrReadCancel();
    if (result == OVL_SUCCESS) m->lsbPause(true);
    return result;
}

std::vector<OVBarcode> OVPrinterController::getBarcodeSupportTable() const {
    std::shared_ptr<iController> m = model();
    return m ? m->getBarcodeSupportTable() : std::vector<OVBarcode>{};
}

long OVPrinterController::printAllNVImages() {
    std::vector<long> keys;
    long result = nvImageList(&keys);
    if (result != OVL_SUCCESS) return result;
    for (long key : keys) {
        result = printNVImage(key);
        if (result != OVL_SUCCESS) return result;
    }
    return OVL_SUCCESS;
}

// --- raw input and output through the identification transport

bool OVPrinterController::connect_noDelegate() {
    std::shared_ptr<OVPrinter> printer = target();
    std::lock_guard lock(mutex_);
    if (!interface_ || !printer) return false;
    if (interface_->isConnected()) return true;
    return interface_->connect(printer->macAddress().value_or(""), printer->address().value_or(""), printer->port(),
                               false);
}

void OVPrinterController::disconnect_noDelegate() {
    std::lock_guard lock(mutex_);
    if (interface_ && interface_->isConnected()) interface_->disconnect(false);
}

long OVPrinterController::send(const uint8_t* bytes, long size) {
    std::lock_guard lock(mutex_);
    if (!interface_ || !interface_->isConnected()) return SOCKET_ERROR;
    return interface_->send(bytes, size, true);
}

long OVPrinterController::recv(uint8_t* buffer, long size) {
    std::lock_guard lock(mutex_);
    if (!interface_ || !interface_->isConnected()) return SOCKET_ERROR;
    return interface_->recv(buffer, size);
}

long OVPrinterController::recv(uint8_t* buffer, long size, float timeout) {
    std::lock_guard lock(mutex_);
    if (!interface_ || !interface_->isConnected()) {
        trace(TraceLevel::Error, "socket is not connected. return SOCKET_ERROR");
        return SOCKET_ERROR;
    }
    return interface_->recv(buffer, size, timeout);
}

long OVPrinterController::readUntil(uint8_t* buffer, long size, uint8_t end, bool keepEnd, std::optional<Date> giveUp) {
    long count = 0;
    while (count < size) {
        uint8_t byte = 0;
        if (giveUp) {
            const double left = giveUp->secondsSince(Date::now());
            if (left <= 0 || recv(&byte, 1, static_cast<float>(left)) <= 0) break;
        } else if (recv(&byte, 1) <= 0) {
            break;
        }
        if (byte == end) {
            if (keepEnd) buffer[count++] = byte;
            break;
        }
        buffer[count++] = byte;
    }
    return count;
}

long OVPrinterController::recvLine(uint8_t* buffer, long size) { return readUntil(buffer, size, 0x0A, true); }

long OVPrinterController::recvValue(uint8_t* buffer, long size) { return readUntil(buffer, size, 0x00, false); }

// --- configuration

void OVPrinterController::setConfigPassword(long password) {
    configPassword_ = password;
    if (std::shared_ptr<iController> m = model()) m->setConfigPassword(std::to_string(password));
}

bool OVPrinterController::configurationOpens() const { return configPassword_ == configurationAccessNumber(); }

long OVPrinterController::loadConfiguration() {
    if (!configurationOpens()) return OVL_NOT_SUPPORT;
    return withModel([&](iController& m) {
        long result = m.loadConfiguration();
        if (result == OVL_SUCCESS) {
            const Bytes& block = m.config();
            std::copy_n(block.begin(), std::min(block.size(), config_.size()), config_.begin());
        }
        return result;
    });
}

long OVPrinterController::saveConfiguration() {
    if (!configurationOpens()) return OVL_NOT_SUPPORT;
    return withModel([&](iController& m) {
        m.config() = config_;
        return m.saveConfiguration();
    });
}

long OVPrinterController::loadPrinterConfiguration() {
    if (!configurationOpens()) return OVL_NOT_SUPPORT;
    return withModel([&](iController& m) {
        long result = m.loadPrinterConfiguration();
        if (result == OVL_SUCCESS) {
            const Bytes& block = m.settingConfig();
            std::copy_n(block.begin(), std::min(block.size(), settingConfig_.size()), settingConfig_.begin());
        }
        return result;
    });
}

long OVPrinterController::savePrinterConfiguration() {
    if (!configurationOpens()) return OVL_NOT_SUPPORT;
    return withModel([&](iController& m) {
        Bytes& block = m.settingConfig();
        std::copy_n(settingConfig_.begin(), std::min(block.size(), settingConfig_.size()), block.begin());
        return m.savePrinterConfiguration();
    });
}

void OVPrinterController::configure(iController& m) const {
    m.setAutoConnection(autoConnection_);
    m.setAlignment(alignment_);
    m.setAttribute(attribute_);
    m.setTextSize(textSize_);
    m.setTextPosition(textPosition_);
    m.setTextEncoding(textEncoding_);
    m.setCharacterSet(characterSet_);
    m.setInternationalCharacterSet(internationalCharacterSet_);
    m.setDrawerPin(drawerPin_);
    m.setDrawerOpenLevel(drawerOpenLevel_);
    m.setPendingWaitTime(pendingWaitTime_);
    m.setBarcodeSupportRange(barcodeSupportRange_);
    m.setImageDitheringWithIgnoreWhite(imageDitheringWithIgnoreWhite_);
    m.setLoadConfigurationOnConnect(loadConfigurationOnConnect_);
    if (configPassword_ != 0) m.setConfigPassword(std::to_string(configPassword_.load()));
}

} // namespace tavlo::printerlib
