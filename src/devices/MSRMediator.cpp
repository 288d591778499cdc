#include "devices/MSRMediator.h"

#include "core/util/TavloLog.h"
#include "devices/AudioJackReader.h"
#include "devices/PrinterCardReader.h"
#include "platform/accessory/AccessoryManager.h"
#include "readers/dockmag/DockMag.h"
#include "readers/jackmag/Notifications.h"

namespace tavlo {

namespace {

const char* const kCardReaderNotifications[] = {
    kMsrDidConnectNotification,
    kMsrDidDisconnectNotification,
    kMsrReceivedDataNotification,
    kMsrErrorNotification,
};

// Tested in this order; the first prefix the type starts with decides.
const std::pair<const char*, MSRMediator::Reader> kReaderPrefixes[] = {
    {"dockmag", MSRMediator::Reader::DockMag}, {"iaps", MSRMediator::Reader::Iaps},
    {"jackmag", MSRMediator::Reader::JackMag}, {"varda", MSRMediator::Reader::Varda},
    {"sled", MSRMediator::Reader::Sled},       {"orvan", MSRMediator::Reader::Orvan},
};

std::mutex creationMutex;
MSRMediator* instance = nullptr;

} // namespace

MSRMediator::Reader MSRMediator::readerFor(const std::optional<std::string>& type) {
    if (!type) return Reader::None;
    for (const auto& [prefix, reader] : kReaderPrefixes) {
        if (type->starts_with(prefix)) return reader;
    }
    return Reader::None;
}

MSRMediator& MSRMediator::getInstance(const std::optional<std::string>& type) {
    std::lock_guard<std::mutex> lock(creationMutex);
    if (!instance) {
        // Lives for the whole process: screens and readers hold on to it without owning it.
        instance = new MSRMediator(type);
    }
    return *instance;
}

MSRMediator& MSRMediator::getInstance() { return getInstance(std::string("jackMag")); }

MSRMediator::MSRMediator(std::optional<std::string> type) : type_(std::move(type)) {
    switch (readerFor(type_)) {
    case Reader::DockMag: attachDockMag(); break;
    case Reader::JackMag: attachJackMag(); break;
    case Reader::Varda: attachVarda(); break;
    case Reader::Orvan: attachPrinterReader(); break;
    case Reader::Sled: // no driver is built in; the entry points stay ready for one
    case Reader::Iaps:
    case Reader::None: break;
    }
}

MSRMediator::~MSRMediator() {
    readerObservers_.clear();
    dockMag_.reset();
    jackMag_.reset();
    printerReader_.reset();
    if (vardaRegistered_) AccessoryManager::shared().unregisterForLocalNotifications();
    disconnectVarda();
}

void MSRMediator::observe(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        readerObservers_.emplace_back(name, nullptr, [this](const Notification& note) { handleMSRNotification(note); });
    }
}

void MSRMediator::attachDockMag() {
    // Observing first: the driver connects while it is made and tells so at once.
    observe(
        {dockmag::kDidConnectNotification, dockmag::kDidDisconnectNotification, dockmag::kDidReceiveDataNotification});
    dockMag_ = std::make_unique<dockmag::DockMag>();
}

void MSRMediator::attachJackMag() {
    using namespace jackmag::notes;
    observe({kPowering, kTimeout, kSwipe, kDidConnect, kDidDisconnect, kDidReceiveData, kTimeoutSwipe, kAttachment,
             kJackMagInsufficientPowerNotification, kDataProcessing, kInvalidSwipe, kCmdSending, kCommandTimeout,
             kDidReceiveCmd, kSystemMessage, kMonoAudioError, kLowVolume});
    jackMag_ = AudioJackReader::make();
    uniConnected_ = false;
}

void MSRMediator::attachVarda() {
    observe({AccessoryManager::didConnectNotification, AccessoryManager::didDisconnectNotification});
    AccessoryManager::shared().registerForLocalNotifications();
    vardaRegistered_ = true;
    connectVarda();
}

void MSRMediator::attachPrinterReader() {
    printerReader_ = PrinterCardReader::make();
    if (printerReader_) {
        TAVLO_LOG("Registered Orvan for MSR events");
    } else {
        TAVLO_LOG("No printer card reader is installed; no MSR events");
    }
}

bool MSRMediator::isType(const std::optional<std::string>& type) const { return type && type_ && *type == *type_; }

bool MSRMediator::isConnected() const {
    switch (readerFor(type_)) {
    case Reader::DockMag: return dockMag_ && dockMag_->dockMagConnected();
    case Reader::JackMag: return jackMag_ && jackMag_->isReaderAttached();
    default: return false;
    }
}

void MSRMediator::registerObserver(const void* observer, Callback callback) {
    removeObserver(observer);
    auto shared = std::make_shared<Callback>(std::move(callback));
    std::vector<NotificationCenter::Token> tokens;
    for (const char* name : kCardReaderNotifications) {
        tokens.push_back(NotificationCenter::defaultCenter().addObserver(
            name, nullptr, [shared](const Notification& note) { (*shared)(note); }));
    }
    {
        std::lock_guard<std::mutex> lock(observersMutex_);
        observers_[observer] = std::move(tokens);
    }
    if (printerReader_) printerReader_->startRead();
}

void MSRMediator::unregisterObserver(const void* observer) {
    removeObserver(observer);
    if (printerReader_) printerReader_->cancelRead();
}

void MSRMediator::removeObserver(const void* observer) {
    std::vector<NotificationCenter::Token> tokens;
    {
        std::lock_guard<std::mutex> lock(observersMutex_);
        auto found = observers_.find(observer);
        if (found != observers_.end()) {
            tokens = std::move(found->second);
            observers_.erase(found);
        }
    }
    for (NotificationCenter::Token token : tokens) { NotificationCenter::defaultCenter().removeObserver(token); }
}

} // namespace tavlo
