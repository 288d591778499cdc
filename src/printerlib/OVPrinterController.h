#pragma once

#include "platform/foundation/Error.h"
#include "platform/foundation/Timer.h"
#include "platform/graphics/PixelImage.h"
#include "printerlib/DelegateRef.h"
#include "printerlib/OVBarcodeInfo.h"
#include "printerlib/OVPrinter.h"
#include "printerlib/ResultCodes.h"
#include "printerlib/TextEncoding.h"
#include "printerlib/UDPServer.h"
#include "printerlib/iController.h"
#include "printerlib/interfaceFunctions.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tavlo::printerlib {

class OVPrinterController;

// What the printer library tells the application, always on the main thread. The controller is
// the first argument of every call. Finding printers and card swipes must be answered; the rest
// is optional.
class OVPrinterControlDelegate {
public:
    virtual ~OVPrinterControlDelegate() = default;
    virtual void didFindPrinter(OVPrinterController&, const std::shared_ptr<OVPrinter>& printer) = 0;
    // A card was read: `track` adds up 1, 2 and 4 for tracks 1 to 3, 8 for an encrypted record.
    virtual void msrArrived(OVPrinterController&, long track) = 0;
    virtual void willConnect(OVPrinterController&, const std::shared_ptr<OVPrinter>&) {}
    virtual void didConnect(OVPrinterController&, const std::shared_ptr<OVPrinter>&) {}
    virtual void didNotConnect(OVPrinterController&, const std::shared_ptr<OVPrinter>&, const Error&) {}
    virtual void didDisconnect(OVPrinterController&, const std::shared_ptr<OVPrinter>&) {}
    virtual void didBeBrokenConnection(OVPrinterController&, const std::shared_ptr<OVPrinter>&, const Error&) {}
    virtual void didNotLookup(OVPrinterController&, const Error&) {}
    virtual void willLookupPrinters(OVPrinterController&) {}
    virtual void didLookupPrinters(OVPrinterController&) {}
    virtual void didStart() {}
    virtual void didStop() {}
    // The card reader was disarmed after a card, or its read was cancelled.
    virtual void msrTerminated(OVPrinterController&) {}
    // A message for the person at the terminal.
    virtual void message(OVPrinterController&, const std::string& /*text*/) {}
    virtual void didUpdateStatus(OVPrinterController&, long /*status*/) {}
};

// The printer library's one entry: finds printers (UDP on the network, accessories over
// Bluetooth), identifies the chosen printer's model, makes the model object that speaks to it,
// connects, and hands every print, drawer, card-reader, status and configuration operation to
// that model object. Operations answer a ResultCode; without a model object they answer 101.
// Setters also keep their value, so that a later model object starts with it.
class OVPrinterController : private iControllerDelegate, private UDPServerDelegate {
public:
    static constexpr const char* kChangeNotificationKey = "OVPrinterChangeNotificationKey";
    static constexpr long kInitialState = 64;
    static constexpr long kUnknownModel = 300;
    static constexpr int kLogLevelAccessCode = 9638;
    static constexpr double kLookupTick = 0.2;
    // Seconds a printer that took the connection has to tell its model name.
    static constexpr double kIdentifyTimeout = 10.0;
    // The search datagrams and the replies' tags.
    static constexpr const char* kWiFiFindRequest = "__[I_F]__[FINDREG]";
    static constexpr const char* kWiFiRegisterRequest = "__[I_F]__[PRT_REG]";
    static constexpr const char* kEthernetFindRequest = "FIND";
    static constexpr const char* kWiFiReplyTag = "__[I_F]__[REG_RSP]";
    static constexpr const char* kWiFiNamedReplyTag = "__[I_F]__[FINDRSP]";
    static constexpr const char* kEthernetReplyTag = "IMIN";
    static constexpr size_t kWiFiReplySize = 47;
    static constexpr size_t kEthernetReplySize = 31;

    // The process's one controller, made on first use.
    static OVPrinterController& getInstance();
    // The process's controller comes from getInstance; tests make their own.
    OVPrinterController();
    ~OVPrinterController() override;
    OVPrinterController(const OVPrinterController&) = delete;
    OVPrinterController& operator=(const OVPrinterController&) = delete;

    std::string version() const { return "3.1.9"; }
    std::string releaseDate() const { return "20140923"; }
    std::string manufacturer() const { return "ORVAN"; }
    OVPrinterControlDelegate* delegate() const { return delegate_.get(); }
    void setDelegate(OVPrinterControlDelegate* delegate) { delegate_.set(delegate); }

    // --- life and logging
    void open();
    void close();
    long state() const { return state_; }
    // Sets the library's data trace only with the access code; any other code changes nothing.
    void setLogLevel(long level, int password);
    long getLogLevel() const { return 0; }

    // --- discovery
    // Empties the found list and broadcasts the search rounds (one per tick of 0.2 second while
    // fewer than lookupCount ticks passed, and at least one, with a look at the connected
    // accessories), then after lookupDuration tells the delegate didLookupPrinters. When no
    // search could go out on any interface, the delegate hears didNotLookup.
    void lookup();
    // Ends a running lookup now: the delegate hears didLookupPrinters with what was found.
    void stopLookup();
    std::vector<std::shared_ptr<OVPrinter>> foundPrinters() const;
    void setLookupCount(long count) { lookupCount_ = count; }
    long lookupCount() const { return lookupCount_; }
    void setLookupDuration(float seconds) { lookupDuration_ = seconds; }
    float lookupDuration() const { return lookupDuration_; }
    uint16_t lookupLocalPort() const { return lookupLocalPort_; }
    void setLookupLocalPort(uint16_t port) { lookupLocalPort_ = port; }
    uint16_t lookupRemotePort() const { return lookupRemotePort_; }
    void setLookupRemotePort(uint16_t port) { lookupRemotePort_ = port; }
    uint16_t lookupLocalPortEthernet() const { return lookupLocalPortEthernet_; }
    void setLookupLocalPortEthernet(uint16_t port) { lookupLocalPortEthernet_ = port; }
    uint16_t lookupRemotePortEthernet() const { return lookupRemotePortEthernet_; }
    void setLookupRemotePortEthernet(uint16_t port) { lookupRemotePortEthernet_ = port; }
    // Where the search datagrams go (tests point it at their own network).
    void setBroadcastAddress(std::string address) { udpServer_.setBroadcastAddress(std::move(address)); }
    // A discovery reply read into a printer record; null for a datagram that is none.
    static std::shared_ptr<OVPrinter> printerFromReply(const uint8_t* bytes, size_t size);

    // --- target and connection
    std::shared_ptr<OVPrinter> target() const;
    // Closes a connection to the previous target first.
    void setTarget(std::shared_ptr<OVPrinter> printer);
    // The model id of a printer name (each known name compared as a prefix); 0 for none.
    static long getModelID(const std::string& name);
    // Identifies the target's model by its name or by asking the printer: the model id, or 105
    // (no connection), 300 (the question could not be sent), 301 (no usable answer).
    long getModelID();
    // Identifies the target and makes its model object: 0, 103 while another selection runs or
    // the connection is busy, 100 while a connected printer keeps the target, or getModelID's
    // failure.
    long selectTarget();
    // Makes the model object of a model id (114 for an unknown one).
    long selectTarget(long modelID);
    long modelID() const { return modelID_; }
    // Only with AutoConnection 100; true when the model object is connected.
    bool connect();
    long disconnect() { return disconnectWithTimeout(0); }
    long disconnectWithTimeout(long seconds) { return disconnectWithTimeout(seconds, 0); }
    // 107 without AutoConnection 100, 101 without a model object. With a time-out (-1: without
    // end) it first waits for the printer to answer its cover status.
    long disconnectWithTimeout(long seconds, unsigned afterSleep);
    // Through the identification transport, without delegate calls.
    bool connect_noDelegate();
    void disconnect_noDelegate();
    bool isConnected() const;
    long AutoConnection() const { return autoConnection_; }
    void setAutoConnection(long mode);
    // The model object (null before a selection).
    std::shared_ptr<iController> model() const;

    // --- text
    long printText(const std::string& text) {
        return withModel([&](iController& m) { return m.printText(text); });
    }
    long lineFeed(long lines) {
        return withModel([&](iController& m) { return m.lineFeed(lines); });
    }
    long nextPrintPos() {
        return withModel([](iController& m) { return m.nextPrintPos(); });
    }
    long alignment() const { return alignment_; }
    void setAlignment(long v) { keep(alignment_, v, &iController::setAlignment); }
    long attribute() const { return attribute_; }
    void setAttribute(long v) { keep(attribute_, v, &iController::setAttribute); }
    long textSize() const { return textSize_; }
    void setTextSize(long v) { keep(textSize_, v, &iController::setTextSize); }
    void setCharacterSet(uint8_t v) { keep(characterSet_, v, &iController::setCharacterSet); }
    void setInternationalCharacterSet(uint8_t v) {
        keep(internationalCharacterSet_, v, &iController::setInternationalCharacterSet);
    }
    void setTextEncoding(unsigned long v) { keep(textEncoding_, v, &iController::setTextEncoding); }
    void setTextPosition(uint8_t v) { keep(textPosition_, v, &iController::setTextPosition); }

    // --- images and barcodes
    long printBitmap(const std::filesystem::path& path, long width, long level) {
        return withModel([&](iController& m) { return m.printBitmap(path, width, level); });
    }
    long printBitmapWithImage(const PixelImage& image, long width, long level) {
        return withModel([&](iController& m) { return m.printBitmapWithImage(image, width, level); });
    }
    long printPDF(const std::filesystem::path& path, long pageNumber, long width, long level) {
        return withModel([&](iController& m) { return m.printPDF(path, pageNumber, width, level); });
    }
    long printBox(long width, long height) {
        return withModel([&](iController& m) { return m.printBox(width, height); });
    }
    long printBarcode(const std::string& data, long symbology, long width, long height) {
        return withModel([&](iController& m) { return m.printBarcode(data, symbology, width, height); });
    }
    long printBarcode(const std::string& data, long symbology, long width, long height, long heightOfSeparator) {
        return withModel(
            [&](iController& m) { return m.printBarcode(data, symbology, width, height, heightOfSeparator); });
    }
    void setBarcodeSupportRange(long v) { keep(barcodeSupportRange_, v, &iController::setBarcodeSupportRange); }
    std::vector<OVBarcode> getBarcodeSupportTable() const;
    void setImageDitheringWithIgnoreWhite(bool v) {
        keep(imageDitheringWithIgnoreWhite_, v, &iController::setImageDitheringWithIgnoreWhite);
    }

    // --- stored images
    long downloadNVImage(long key, const PixelImage& image) {
        return withModel([&](iController& m) { return m.downloadNVImage(key, image); });
    }
    long downloadNVImage(long key, const PixelImage& image, long width, long level) {
        return withModel([&](iController& m) { return m.downloadNVImage(key, image, width, level); });
    }
    long printNVImage(long key) {
        return withModel([&](iController& m) { return m.printNVImage(key); });
    }
    // Every image the printer holds, in the order it lists them.
    long printAllNVImages();
    long removeNVImage(long key) {
        return withModel([&](iController& m) { return m.removeNVImage(key); });
    }
    long removeAllNVImages() {
        return withModel([](iController& m) { return m.removeAllNVImages(); });
    }
    long nvImageList(std::vector<long>* keys) {
        return withModel([&](iController& m) { return m.nvImageList(keys); });
    }

    // --- page mode
    long setPageArea(long x, long y, long width, long height) {
        return withModel([&](iController& m) { return m.setPageArea(x, y, width, height); });
    }
    long setLeftPosition(long position) {
        return withModel([&](iController& m) { return m.setLeftPosition(position); });
    }
    long setVerticalPosition(long position) {
        return withModel([&](iController& m) { return m.setVerticalPosition(position); });
    }
    long printDataInPageMode() {
        return withModel([](iController& m) { return m.printDataInPageMode(); });
    }

    // --- paper and drawer
    long cutPaper() {
        return withModel([](iController& m) { return m.cutPaper(); });
    }
    long drawerPin() const { return drawerPin_; }
    void setDrawerPin(long v) { keep(drawerPin_, v, &iController::setDrawerPin); }
    void setDrawerOpenLevel(long v) { keep(drawerOpenLevel_, v, &iController::setDrawerOpenLevel); }
    long openDrawer() {
        return withModel([](iController& m) { return m.openDrawer(); });
    }
    long initializePrinter() {
        return withModel([](iController& m) { return m.initializePrinter(); });
    }

    // --- status
    long checkPrinter() { return checkPrinter(255); }
    // 110 when the model object is not connected; the automatic status back is paused meanwhile
    // (300 when it cannot be resumed).
    long checkPrinter(long mask);
    long enableLSB(bool enable) {
        return withModel([&](iController& m) { return m.enableLSB(enable); });
    }
    long enableUpsideDownMode(bool enable) {
        return withModel([&](iController& m) { return m.enableUpsideDownMode(enable); });
    }
    bool isSupport_MSR() const { return supports(&iController::isSupport_MSR); }
    bool isSupport_IC() const { return supports(&iController::isSupport_IC); }
    bool isSupport_Config() const { return supports(&iController::isSupport_Config); }
    bool isSupport_CashDrawer() const { return supports(&iController::isSupport_CashDrawer); }
    bool isSupport_LSB() const { return supports(&iController::isSupport_LSB); }
    bool isSupport_Barcode() const { return supports(&iController::isSupport_Barcode); }
    bool isSupport_PrinterConfig() const { return supports(&iController::isSupport_PrinterConfig); }

    // --- card reader
    // 0 at once when armed; otherwise pauses the automatic status back and arms the reader.
    long msrReadReady();
    // Disarms it and, when that worked, resumes the automatic status back.
    long msrReadCancel();
    long msrReadCancelEx() {
        return withModel([](iController& m) { return m.msrReadCancelEx(); });
    }
    bool msrIsReady() const { return supports(&iController::msrIsReady); }
    long msrReadTrack(Bytes* data1, Bytes* data2, Bytes* data3) {
        return withModel([&](iController& m) { return m.msrReadTrack(data1, data2, data3); });
    }
    // Track 1, 2 or 4.
    long msrGetTrack(long track, Bytes* response) {
        return withModel([&](iController& m) { return m.msrGetTrack(track, response); });
    }
    long msrReadFullTrack(Bytes* response) {
        return withModel([&](iController& m) { return m.msrReadFullTrack(response); });
    }

    // --- smart card
    long icON(Bytes* answer) {
        return withModel([&](iController& m) { return m.icON(answer); });
    }
    long icOFF() {
        return withModel([](iController& m) { return m.icOFF(); });
    }
    long icApdu(const Bytes& apdu, Bytes* response) {
        return withModel([&](iController& m) { return m.icApdu(apdu, response); });
    }
    long icStatus(long* status) {
        return withModel([&](iController& m) { return m.icStatus(status); });
    }

    // --- raw input and output through the identification transport (-1 when not connected)
    long send(const uint8_t* bytes, long size);
    long recv(uint8_t* buffer, long size);
    long recv(uint8_t* buffer, long size, float timeout);
    // Byte by byte up to a line feed (kept) or a zero byte (not kept); stops when a read brings
    // nothing.
    long recvLine(uint8_t* buffer, long size);
    long recvValue(uint8_t* buffer, long size);
    long directIO(const Bytes& request, long requiredSize, Bytes* response) {
        return withModel([&](iController& m) { return m.directIO(request, requiredSize, response); });
    }

    // --- configuration (only with the configuration password; 107 otherwise)
    long loadConfiguration();
    long saveConfiguration();
    long loadPrinterConfiguration();
    long savePrinterConfiguration();
    void setConfigPassword(long password);
    long setLabelMode(bool on) {
        return withModel([&](iController& m) { return m.setLabelMode(on); });
    }
    void setLoadConfigurationOnConnect(bool v) {
        keep(loadConfigurationOnConnect_, v, &iController::setLoadConfigurationOnConnect);
    }
    void setPendingWaitTime(float seconds) { keep(pendingWaitTime_, seconds, &iController::setPendingWaitTime); }
    // The blocks the configuration operations fill and write.
    const Bytes& config() const { return config_; }
    Bytes& config() { return config_; }
    const Bytes& settingConfig() const { return settingConfig_; }
    Bytes& settingConfig() { return settingConfig_; }

private:
    template <class Call> long withModel(Call call) const {
        std::shared_ptr<iController> m = model();
        return m ? call(*m) : static_cast<long>(OVL_NOT_OPENED);
    }
    bool supports(bool (iController::*query)()) const {
        std::shared_ptr<iController> m = model();
        return m && ((*m).*query)();
    }
    template <class Field, class Value, class Setter> void keep(Field& field, Value value, Setter setter) {
        field = value;
        if (std::shared_ptr<iController> m = model()) ((*m).*setter)(value);
    }
    template <class Call> void tell(Call call) const { delegate_.dispatch(std::move(call)); }
    // Gives a new model object what the application set.
    void configure(iController& m) const;
    bool configurationOpens() const;
    // Reads up to `end`; with `giveUp`, no later than that.
    long readUntil(uint8_t* buffer, long size, uint8_t end, bool keepEnd, std::optional<Date> giveUp = std::nullopt);

    // Lookup.
    void lookupTick();
    // False when no search went out on any interface.
    bool lookupRound();
    // Stops the timer and the discovery sockets; false when no lookup ran. Under the general lock.
    bool endLookup();
    void findExternalAccessory(const std::vector<std::string>& protocolStrings);
    void found(const std::shared_ptr<OVPrinter>& printer);
    void didUDPReceive(const UDPPacket& packet) override;

    // Model detection.
    long askModelName();

    // The model object's events, on the main thread.
    void willConnect(iController&) override;
    void didConnect(iController&) override;
    void didNotConnectWithError(iController&, const Error& error) override;
    void didBeBrokenConnection(iController&, const Error& error) override;
    void didDisconnect(iController&) override;
    void didUpdateStatus(iController&, long status) override;
    void msrArrived(iController&, long track) override;
    void msrTerminated(iController&) override;

    DelegateRef<OVPrinterControlDelegate> delegate_;
    mutable std::mutex mutex_; // target_, model_, interface_
    std::shared_ptr<OVPrinter> target_ = std::make_shared<OVPrinter>();
    std::shared_ptr<iController> model_;
    std::unique_ptr<interfaceFunctions> interface_;
    std::atomic<long> state_{kInitialState};
    std::atomic<long> modelID_{kUnknownModel};

    mutable std::recursive_mutex foundLock_;
    std::vector<std::shared_ptr<OVPrinter>> found_;
    std::recursive_mutex generalLock_;
    std::mutex selectionLock_;
    std::mutex accessoryLock_;
    std::mutex disconnectLock_;
    // Disconnects that first wait for the printer to finish run here, never on the caller's
    // thread; the controller's end stops their waits and joins them.
    void disconnectThread(std::shared_ptr<iController> model, long seconds, unsigned afterSleep);
    std::mutex disconnectThreadsMutex_;
    struct DisconnectThread {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<DisconnectThread> disconnectThreads_;
    std::atomic<bool> ending_{false};
    std::atomic<bool> selecting_{false};
    std::atomic<bool> targetChangeAvailable_{true};
    UDPServer udpServer_;
    std::shared_ptr<Timer> lookupTimer_;
    long lookupTicks_ = 0;
    bool lookupFailureTold_ = false;
    std::atomic<long> lookupCount_{1};
    std::atomic<float> lookupDuration_{1.0f};
    std::atomic<uint16_t> lookupLocalPort_{9000};
    std::atomic<uint16_t> lookupRemotePort_{3337};
    std::atomic<uint16_t> lookupLocalPortEthernet_{48780};
    std::atomic<uint16_t> lookupRemotePortEthernet_{48781};

    std::atomic<long> alignment_{0};
    std::atomic<long> attribute_{0};
    std::atomic<long> textSize_{0};
    std::atomic<uint8_t> textPosition_{2};
    std::atomic<unsigned long> textEncoding_{StringEncodingDOSKorean};
    std::atomic<long> drawerPin_{0};
    std::atomic<long> drawerOpenLevel_{0};
    std::atomic<float> pendingWaitTime_{0.8f};
    std::atomic<long> autoConnection_{0};
    std::atomic<long> barcodeSupportRange_{0};
    std::atomic<uint8_t> characterSet_{0};
    std::atomic<uint8_t> internationalCharacterSet_{0};
    std::atomic<bool> loadConfigurationOnConnect_{false};
    std::atomic<bool> imageDitheringWithIgnoreWhite_{false};
    std::atomic<long> configPassword_{0};
    Bytes config_;
    Bytes settingConfig_;
};

} // namespace tavlo::printerlib
