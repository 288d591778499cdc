// OVPrinterController: finding printers (the UDP search and its replies, the connected
// accessories), identifying a printer's model and making its model object.
#include "printerlib/OVPrinterController.h"

#include "platform/accessory/AccessoryManager.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/RunLoop.h"
#include "printerlib/BTFunctions.h"
#include "printerlib/MPPxxx.h"
#include "printerlib/NetFunctions.h"
#include "printerlib/TRPSettingModels.h"
#include "printerlib/TRPxxx.h"
#include "printerlib/Trace.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <utility>

namespace tavlo::printerlib {

namespace {

constexpr double kPauseSeconds = 0.2;
constexpr int kCommandTries = 6;
constexpr int kNameReads = 32;
constexpr long kNameReplySize = 50;

using Maker = std::function<std::shared_ptr<iController>(long interface)>;

template <class Model> Maker make(long width = 0) {
    return [width](long interface) {
        auto model = std::make_shared<Model>(interface);
        if (width > 0) model->setMaxWidth(width);
        return std::shared_ptr<iController>(model);
    };
}

struct KnownModel {
    const char* prefix;
    long id;
    Maker maker;
};

// In the order the names are compared: a longer name before the shorter one it begins with.
// The 352 models print 576 dots wide; a TRP-352plusII is a TRP-350II of that width.
const std::vector<KnownModel>& knownModels() {
    static const std::vector<KnownModel> models{
        {"TRP-F310", 0x93100000, make<TRPF310>()},
        {"TRP-F312", 0x93120000, make<TRPF312>()},
        {"TRP-350plusIII", 0x23507003, make<TRP350plusIII>()},
        {"TRP-352plusIII", 0x23527003, make<TRP352plusIII>()},
        {"TRP-350plusII", 0x23507002, make<TRP350II>()},
        {"TRP-352plusII", 0x23527002, make<TRP350II>(576)},
        {"TRP-350plus", 0x23507000, make<TRP350>()},
        {"TRP-352plus", 0x23527000, make<TRP352>()},
        {"TRP-350III", 0x23500003, make<TRP350III>()},
        {"TRP-352III", 0x23520003, make<TRP352III>()},
        {"TRP-350II", 0x23500002, make<TRP350II>()},
        {"TRP-275", 0x32750000, make<TRP275>()},
        {"MPP-R400", 0x14000000, make<MPPR400>()},
        {"MPP-R200II", 0x12000002, make<MPPR200II>()},
        {"MPP-R200W", 0x12000002, make<MPPR200II>()},
        {"MPP-R210", 0x12100000, make<MPPR210>()},
        {"MPP-R300", 0x13000000, make<MPPR300>()},
        {"TRP-340", 0x23400000, make<TRP340>()},
    };
    return models;
}

uint16_t bigEndian(const uint8_t* bytes) { return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]); }

std::string dotted(const uint8_t* bytes) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", bytes[0], bytes[1], bytes[2], bytes[3]);
    return text;
}

std::string macText(const OVPrinter::Mac& mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return text;
}

void setMac(OVPrinter& printer, const uint8_t* bytes) {
    OVPrinter::Mac mac{};
    std::memcpy(mac.data(), bytes, mac.size());
    printer.setMac(mac);
    printer.setMacAddress(macText(mac));
}

OVPrinter::Quad quad(const uint8_t* bytes) { return {bytes[0], bytes[1], bytes[2], bytes[3]}; }

bool tagged(const uint8_t* bytes, size_t size, const char* tag) {
    size_t length = std::strlen(tag);
    return size >= length && std::memcmp(bytes, tag, length) == 0;
}

// A Wi-Fi reply's fields: the tag, MAC, address, subnet, gateway, port, baud rate, version, DHCP,
// inactivity time, HTTPS and value.
std::shared_ptr<OVPrinter> wifiPrinter(const uint8_t* d) {
    auto printer = std::make_shared<OVPrinter>();
    setMac(*printer, d + 18);
    printer->setAddress(dotted(d + 24));
    printer->setSubnet(quad(d + 28));
    printer->setGateway(quad(d + 32));
    printer->setPort(bigEndian(d + 36));
    printer->setVersion(bigEndian(d + 39));
    printer->setValue(bigEndian(d + 45));
    printer->setConnectionClass(OVPrinter::WiFi);
    return printer;
}

std::shared_ptr<OVPrinter> ethernetPrinter(const uint8_t* d) {
    auto printer = std::make_shared<OVPrinter>();
    setMac(*printer, d + 4);
    printer->setAddress(dotted(d + 10));
    printer->setPort(bigEndian(d + 22));
    printer->setVersion(bigEndian(d + 25));
    printer->setConnectionClass(OVPrinter::Tcp);
    return printer;
}

} // namespace

// --- discovery

std::vector<std::shared_ptr<OVPrinter>> OVPrinterController::foundPrinters() const {
    std::lock_guard lock(foundLock_);
    return found_;
}

void OVPrinterController::lookup() {
    bool starting = false;
    {
        std::lock_guard lock(foundLock_);
        std::unique_lock selection(selectionLock_, std::try_to_lock);
        if (selection.owns_lock()) {
            found_.clear();
            starting = true;
        }
    }
    if (starting) tell([this](OVPrinterControlDelegate& d) { d.willLookupPrinters(*this); });
    std::lock_guard lock(generalLock_);
    if (lookupTimer_) return;
    lookupFailureTold_ = false;
    udpServer_.setPortWlan(lookupLocalPort_);
    udpServer_.setPortEthernet(lookupLocalPortEthernet_);
    udpServer_.start();
    lookupTicks_ = 0;
    lookupTimer_ = RunLoop::main().scheduleTimer(kLookupTick, true, [this] { lookupTick(); });
}

void OVPrinterController::lookupTick() {
    bool ended = false;
    bool failed = false;
    {
        std::lock_guard lock(generalLock_);
        ++lookupTicks_;
        // A small allowance, so that 5 ticks of 0.2 second make 1.0.
        if (static_cast<double>(lookupTicks_) * kLookupTick >= lookupDuration_ - 1e-6) {
            ended = endLookup();
        } else if (lookupTicks_ < lookupCount_ || lookupTicks_ == 1) {
            // Every lookup searches at least once, whatever lookupCount says.
            failed = !lookupRound() && !std::exchange(lookupFailureTold_, true);
        }
    }
    // The delegate is told with no lock of the library held.
    if (failed) {
        trace(TraceLevel::Error, "[ERROR] no network interface to search on.");
        Error error(interfaceFunctions::kErrorDomain, ENETUNREACH, "No network interface to search for printers on");
        tell([this, error](OVPrinterControlDelegate& d) { d.didNotLookup(*this, error); });
    }
    if (ended) tell([this](OVPrinterControlDelegate& d) { d.didLookupPrinters(*this); });
}

void OVPrinterController::stopLookup() {
    bool ended = false;
    {
        std::lock_guard lock(generalLock_);
        ended = endLookup();
    }
    if (ended) tell([this](OVPrinterControlDelegate& d) { d.didLookupPrinters(*this); });
}

bool OVPrinterController::endLookup() {
    if (!lookupTimer_) return false;
    udpServer_.stop();
    lookupTimer_->invalidate();
    lookupTimer_.reset();
    return true;
}

bool OVPrinterController::lookupRound() {
    {
        std::unique_lock selection(selectionLock_, std::try_to_lock);
        if (!selection.owns_lock()) return true; // a selection runs: no search now, no failure
    }
    bool sent = false;
    for (const char* request : {kWiFiFindRequest, kWiFiRegisterRequest})
        sent = udpServer_.broadcast(lookupRemotePort_, lookupLocalPort_, reinterpret_cast<const uint8_t*>(request),
                                    static_cast<long>(std::strlen(request)), 0) ||
               sent;
    sent = udpServer_.broadcast(lookupRemotePortEthernet_, lookupLocalPortEthernet_,
                                reinterpret_cast<const uint8_t*>(kEthernetFindRequest),
                                static_cast<long>(std::strlen(kEthernetFindRequest)), 0) ||
           sent;
    std::unique_lock accessories(accessoryLock_, std::try_to_lock);
    if (accessories.owns_lock())
        findExternalAccessory({BTFunctions::kProtocolString, BTFunctions::kBTLinkProtocolString});
    return sent;
}

void OVPrinterController::findExternalAccessory(const std::vector<std::string>& protocolStrings) {
    for (const std::shared_ptr<Accessory>& accessory : AccessoryManager::shared().connectedAccessories()) {
        const auto& offered = accessory->protocolStrings();
        bool speaks = std::any_of(protocolStrings.begin(), protocolStrings.end(), [&](const std::string& protocol) {
            return std::find(offered.begin(), offered.end(), protocol) != offered.end();
        });
        if (!speaks) continue;
        auto printer = std::make_shared<OVPrinter>();
        // "<name>\@\<Bluetooth device name>", or one name for both.
        const std::string& name = accessory->name();
        size_t split = name.find("\\@\\");
        printer->setName(split == std::string::npos ? name : name.substr(0, split));
        printer->setBluetoothDeviceName(split == std::string::npos ? name : name.substr(split + 3));
        printer->setConnectionClass(OVPrinter::Bluetooth);
        printer->setAddress(std::to_string(accessory->connectionID()));
        uint8_t mac[6] = {};
        if (!BTFunctions::getMacAddressInfoFrom(*accessory, mac, sizeof mac)) std::memset(mac, 0, sizeof mac);
        setMac(*printer, mac);
        found(printer);
    }
}

void OVPrinterController::found(const std::shared_ptr<OVPrinter>& printer) {
    {
        std::lock_guard lock(foundLock_);
        found_.push_back(printer);
    }
    tell([this, printer](OVPrinterControlDelegate& d) { d.didFindPrinter(*this, printer); });
}

std::shared_ptr<OVPrinter> OVPrinterController::printerFromReply(const uint8_t* bytes, size_t size) {
    if (!bytes || size < kEthernetReplySize) return nullptr;
    if (tagged(bytes, size, kWiFiNamedReplyTag)) {
        // The Wi-Fi reply's fields, then the printer's name up to a zero byte or the end.
        if (size <= kWiFiReplySize) {
            trace(TraceLevel::Error,
                  "[ERROR] packet size(%ld != %ld) error.  or packet(%s) is not LOOKUP_RESPONSE_STRING_WITH_WIFI_NAME");
            return nullptr;
        }
        auto printer = wifiPrinter(bytes);
        const char* name = reinterpret_cast<const char*>(bytes + kWiFiReplySize);
        printer->setName(std::string(name, strnlen(name, size - kWiFiReplySize)));
        return printer;
    }
    if (tagged(bytes, size, kWiFiReplyTag)) return size >= kWiFiReplySize ? wifiPrinter(bytes) : nullptr;
    if (tagged(bytes, size, kEthernetReplyTag)) return ethernetPrinter(bytes);
    return nullptr;
}

void OVPrinterController::didUDPReceive(const UDPPacket& packet) {
    if (packet.size < static_cast<int32_t>(kEthernetReplySize)) return;
    std::shared_ptr<OVPrinter> printer = printerFromReply(packet.data, static_cast<size_t>(packet.size));
    if (!printer) {
        trace(TraceLevel::Error, "[didUDPReceive] INVALID PACKET!!!(%s, %ld)\r\n");
        return;
    }
    found(printer);
}

// --- model detection and the model object

long OVPrinterController::getModelID(const std::string& name) {
    for (const KnownModel& model : knownModels())
        if (name.compare(0, std::strlen(model.prefix), model.prefix) == 0) return model.id;
    return 0;
}

long OVPrinterController::getModelID() {
    std::shared_ptr<OVPrinter> printer = target();
    if (!printer) return OVL_CONNECT_ERROR;
    {
        std::lock_guard lock(mutex_);
        if (interface_) interface_->disconnect(false);
        if (printer->connectionClass() == OVPrinter::Bluetooth) interface_ = std::make_unique<BTFunctions>();
        else interface_ = std::make_unique<NetFunctions>();
    }
    if (std::optional<std::string> name = printer->name()) {
        if (long id = getModelID(*name)) {
            printer->setModelStr(*name);
            return id;
        }
    }
    if (!connect_noDelegate()) {
        trace(TraceLevel::Error, "[ERROR] connect Error. can not check with model name.");
        return OVL_CONNECT_ERROR;
    }
    long result = askModelName();
    disconnect_noDelegate();
    return result;
}

long OVPrinterController::askModelName() {
    for (const Bytes& command : {Bytes{0x1D, 0x61, 0x00}, Bytes{0x1D, 0x49, 0x43}}) {
        bool sent = false;
        for (int attempt = 0; attempt < kCommandTries && !sent; ++attempt) {
            sent = send(command.data(), static_cast<long>(command.size())) >= static_cast<long>(command.size());
            if (!sent) Clock::currentShared()->sleepFor(kPauseSeconds);
        }
        if (!sent) {
            tell([this](OVPrinterControlDelegate& d) {
                d.message(*this, "[ERROR] can not send the command for modelInfo.");
            });
            return OVL_WRITE_ERROR;
        }
    }
    // A printer that takes the connection but never answers is given up after a while, not
    // after every read has waited its own time.
    std::string reply;
    const Date giveUp = Date::now().addingSeconds(kIdentifyTimeout);
    auto remaining = [&] { return std::max(0.0, giveUp.secondsSince(Date::now())); };
    for (int attempt = 0; attempt < kNameReads && reply.size() <= 3 && remaining() > 0; ++attempt) {
        uint8_t buffer[kNameReplySize] = {};
        long got = readUntil(buffer, sizeof buffer, 0x00, false, giveUp);
        if (got > 0) reply.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(got));
        if (reply.size() <= 3) Clock::currentShared()->sleepFor(std::min(kPauseSeconds, remaining()));
    }
    size_t mark = reply.find('_');
    std::string name = mark == std::string::npos ? "" : reply.substr(mark + 1);
    long id = getModelID(name);
    if (id == 0) {
        tell([this](OVPrinterControlDelegate& d) { d.message(*this, "[ERROR] printer name is invalid."); });
        return OVL_READ_ERROR;
    }
    if (std::shared_ptr<OVPrinter> printer = target()) printer->setModelStr(name);
    return id;
}

long OVPrinterController::selectTarget(long modelID) {
    const KnownModel* known = nullptr;
    for (const KnownModel& model : knownModels())
        if (model.id == modelID) known = &model;
    if (!known) return OVL_NOT_SUPPORT_DEVICE;
    std::shared_ptr<OVPrinter> printer = target();
    long interface = printer && printer->connectionClass() == OVPrinter::Bluetooth ? iController::BluetoothInterface
                                                                                   : iController::TcpInterface;
    std::shared_ptr<iController> made = known->maker(interface);
    configure(*made);
    made->setTarget(printer);
    made->setDelegate(this);
    std::shared_ptr<iController> previous;
    {
        std::lock_guard lock(mutex_);
        previous = std::exchange(model_, made);
    }
    modelID_ = modelID;
    if (previous) {
        previous->setDelegate(nullptr);
        previous->disconnect();
    }
    return OVL_SUCCESS;
}

} // namespace tavlo::printerlib
