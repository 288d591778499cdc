#pragma once

#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/PixelImage.h"
#include "printerlib/DelegateRef.h"
#include "printerlib/OVBarcodeInfo.h"
#include "printerlib/OVPrinter.h"
#include "printerlib/RecvQueue.h"
#include "printerlib/ResultCodes.h"
#include "printerlib/TextEncoding.h"
#include "printerlib/iControlMisc.h"
#include "printerlib/interfaceFunctions.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tavlo::printerlib {

class iController;
using Bytes = std::vector<uint8_t>;

// What a printer's model object tells its owner (the library's facade), on the main thread.
// Each operation is optional.
class iControllerDelegate {
public:
    virtual ~iControllerDelegate() = default;
    virtual void willConnect(iController&) {}
    virtual void didConnect(iController&) {}
    virtual void didNotConnectWithError(iController&, const Error&) {}
    virtual void didBeBrokenConnection(iController&, const Error&) {}
    virtual void didDisconnect(iController&) {}
    // The printer's state changed (PrinterState bits).
    virtual void didUpdateStatus(iController&, long) {}
    // A card was read: `track` adds up 1, 2 and 4 for the tracks it gave, 8 for an encrypted record.
    virtual void msrArrived(iController&, long /*track*/) {}
    // The card reader was disarmed after a card, or its read was cancelled.
    virtual void msrTerminated(iController&) {}
};

// One printer's model object: its transport, the queue the read thread fills with what the
// printer sends, its text settings, status and capabilities. The model families derive from it
// and replace the operations their printers have.
//
// With AutoConnection 100 the connection stays open between operations; with 0 to 99 every
// printing and command operation connects first (105 when it cannot) and disconnects after.
// Every operation answers a ResultCode. The delegate is not owned: set it to null before it
// goes. The read thread calls the families' overrides (processDataMsr, msrIsReady), so a family
// that is connected when it goes disconnects in its own destructor.
class iController : public InterfaceFunctionsDelegate {
public:
    enum Interface : long { TcpInterface = 0, BluetoothInterface = 2 };
    static constexpr long kKeepConnection = 100;
    static constexpr const char* kChangeNotification = "OVPrinterChangeNotification";
    static constexpr long kReadBufferSize = 4096;
    static constexpr float kReadTimeout = 1.0f;
    static constexpr float kDefaultReceiveTimeout = 20.0f;
    static constexpr double LSBWaitSeconds = 5.0;

    // A Bluetooth controller for interface 2, else a TCP one.
    explicit iController(long interface = TcpInterface);
    ~iController() override;
    iController(const iController&) = delete;
    iController& operator=(const iController&) = delete;

    // --- connection
    virtual bool connect();
    void disconnect() { disconnectWithTimeout(0); }
    void disconnectWithTimeout(long seconds) { disconnectWithTimeout(seconds, 0); }
    // Waits up to `seconds` (-1: without end, 0: not at all) for the printer to finish (its
    // cover status answers), stops the read thread, sleeps `afterSleep` and closes.
    void disconnectWithTimeout(long seconds, unsigned afterSleep);
    void connectThread();
    // Between the transport's didConnect and its didDisconnect, broken connection or failure, as
    // the main thread has heard them.
    bool isConnected() const { return didReceiveConnectedMsg_; }

    // --- sending and receiving raw printer commands
    // The transport's answer when it is connected, else -1.
    long send(const uint8_t* bytes, long size, bool absolute);
    long send(const uint8_t* bytes, long size) { return send(bytes, size, false); }
    long send(const Bytes& bytes, bool absolute = false) {
        return send(bytes.data(), static_cast<long>(bytes.size()), absolute);
    }
    // From the receive queue.
    long recv(uint8_t* buffer, long size, float timeout);
    long recv(uint8_t* buffer, long size) { return recv(buffer, size, kDefaultReceiveTimeout); }
    long recvLine(uint8_t* buffer, long size);
    // A value that begins with `stx` and ends with a zero byte.
    long recvValue(uint8_t* buffer, long size, uint8_t stx);
    long recvValue(uint8_t* buffer, long size) { return recvValue(buffer, size, 0); }
    // Straight from the transport, past the queue; -1 when not connected.
    long directRecv(uint8_t* buffer, long size);
    long directRecv(uint8_t* buffer, long size, float timeout);
    // One byte at a time until a line feed (kept) or 20 seconds.
    long directRecvLine(uint8_t* buffer, long size);

    // Reads what a Bluetooth printer sent, as its transport asks when bytes arrive.
    void bluetoothReadAvailableProcess() override;

    // --- automatic status back
    // Switches the printer's automatic status back on or off (only with AutoConnection 100);
    // switching on waits up to 5 seconds for the first status block (301 without one).
    long enableLSB(bool enable);
    // Pauses (NO) and resumes (YES) the status back as it was.
    long lsbPause(bool resume);
    bool canISendImage() const;

    // --- hooks for the families
    virtual bool isAvailablePrinter() { return true; }
    virtual void initalizeBarcodeInfo() {}
    virtual long checkPrinter(long mask);
    long checkPrinter() { return checkPrinter(255); }
    // The count of leading bytes that are card data; -1 while card data is incomplete.
    virtual long processDataMsr(const uint8_t* bytes, long length);
    // The count of leading bytes that are status blocks; updates the state from them.
    virtual long processDataStatus(const uint8_t* bytes, long length);
    virtual bool isSupport_MSR() { return false; }
    virtual bool isSupport_IC() { return false; }
    virtual bool isSupport_Config() { return false; }
    virtual bool isSupport_CashDrawer() { return false; }
    virtual bool isSupport_LSB() { return false; }
    virtual bool isSupport_Barcode() { return true; }
    virtual bool isSupport_PrinterConfig() { return true; }

    // --- text and printer commands
    // The 3-byte alignment command for 0, 1 or 2; nothing for other values.
    Bytes makeAlignment() const;
    // The 12 command bytes of the attribute block: style, reverse, code table, international set.
    virtual Bytes makeAttribute() const;
    // The code pages the model prints text in (StringEncodingPrinterCodePage), best first.
    virtual const std::vector<CodePage>& codePages() const { return printerCodePages(); }
    Bytes makeSize() const;
    long printText(const std::string& text);
    long lineFeed(long lines);
    long openDrawer();
    long initializePrinter();
    long setPageArea(long startingX, long startingY, long width, long height);
    long setLeftPosition(long position);
    long setVerticalPosition(long position);
    long printDataInPageMode();
    // A box of `width` characters by `height` lines drawn with line characters.
    virtual long printBox(long width, long height);
    long setLabelMode(bool on);
    // Sends raw bytes; with requiredSize above 0 reads exactly that many bytes of reply.
    long directIO(const Bytes& request, long requiredSize, Bytes* response);
    // Reads memory switch `number` into 8 setting bytes.
    long loadMSW(long number, uint8_t* resultDataBuffer, long dataBufferSize);
    long saveMSW(long number, const uint8_t* mswDataBuffer, long dataBufferSize);

    // --- pictures, PDF pages, stored images and barcodes
    // What an image operation's level asks for: 10000 added prints column bands (ESC *) instead
    // of raster bands (GS v 0), 1000 added (after that) dithers first, the rest is the darkness
    // threshold in percent. Receipt images go with width -1 and level 100.
    struct ImageLevel {
        bool columnBands = false;
        bool dither = false;
        long threshold = 0;
        static ImageLevel decode(long level);
        // "image mode": bit 0x02 column bands, bit 0x01 dithering.
        int mode() const { return (columnBands ? 0x02 : 0) | (dither ? 0x01 : 0); }
    };
    static constexpr long kStoredImageMaxBytes = 119665;
    static constexpr long kStoredImageKeys = 100;
    static constexpr long kStoredImageListReplySize = 84;

    // The premultiplied RGBA pixels of a picture scaled to the printed width (-1 or more than
    // maxWidth: maxWidth), its height in proportion; `size` receives the pixel size. Pictures are
    // printed as their pixels stand: turn one upright first (iControlMisc::rotateImage; a file
    // printed by printBitmap is turned as it says). Empty when there is nothing to draw.
    std::vector<uint8_t> getRGBDatafromOptimizationImage(const PixelImage& image, long width, long level,
                                                         RasterSize* size) const;
    virtual long printBitmapWithImage(const PixelImage& image, long width, long level);
    // A PNG or JPEG file; 400 when it cannot be read.
    long printBitmap(const std::filesystem::path& path, long width, long level);
    // Page `pageNumber` (from 1) of a PDF file, drawn maxWidth dots wide; 400 when the file or
    // the page cannot be read.
    long printPDF(const std::filesystem::path& path, long pageNumber, long width, long level);
    // The page drawn maxWidth dots wide, its height in proportion to its crop box.
    std::optional<PixelImage> ImageWithPDFDataForPrint(std::span<const uint8_t> pdfData, long page) const;
    std::optional<PixelImage> imageWithPDFData(std::span<const uint8_t> pdfData, long width, long height,
                                               long page) const;
    // Writes the bytes to a file of that name in the documents directory.
    bool dataToFileAtName(const std::string& name, const uint8_t* bytes, long size) const;
    // The cover and paper as the family's status check sees them: 300 when it fails, 103 with
    // the cover open or the paper out, else 0.
    long checkPrinterForImage();

    // Images stored in the printer's non-volatile graphics memory under keys 0 to 99 (108 for
    // any other key).
    long removeNVImage(long key);
    long removeAllNVImages();
    // The keys the printer holds; 301 (with the keys read so far) when its reply is missing or
    // malformed.
    long nvImageList(std::vector<long>* keys);
    long downloadNVImage(long key, const PixelImage& image) { return downloadNVImage(key, image, maxWidth(), 1050); }
    // 113 for an image whose raster the printer cannot take in one define command.
    long downloadNVImage(long key, const PixelImage& image, long width, long level);
    long printNVImage(long key);

    // Whether the data suits the symbology (Code39 letters, UPC-A digits, GS1 DataBar's
    // linear and composite parts, ...); any symbology it does not know passes.
    bool isGoodBarcode(long symbology, std::string_view bytes) const;
    // Width -1 or -2 means 5; width and height 1 to 255 (108 otherwise); 500 for data the
    // symbology does not take, 501 for a symbology the builders do not know.
    virtual long printBarcode(const std::string& data, long symbology, long width, long height) {
        return printBarcode(data, symbology, width, height, 0);
    }
    long printBarcode(const std::string& data, long symbology, long width, long height, long heightOfSeparator);
    // The model's barcode support table (empty in the base).
    std::vector<OVBarcode> getBarcodeSupportTable() const;
    OVBarcodeInfo* barcodeSupport() const { return barcodeSupport_.get(); }
    void setBarcodeSupport(std::unique_ptr<OVBarcodeInfo> table) { barcodeSupport_ = std::move(table); }

    // --- what the base does not offer; the families override what their printers have
    virtual long cutPaper() { return OVL_NOT_SUPPORT; }
    virtual long nextPrintPos() { return OVL_NOT_SUPPORT; }
    virtual long loadConfiguration() { return OVL_NOT_SUPPORT; }
    virtual long saveConfiguration() { return OVL_NOT_SUPPORT; }
    virtual long loadPrinterConfiguration() { return OVL_NOT_SUPPORT; }
    virtual long savePrinterConfiguration() { return OVL_NOT_SUPPORT; }
    virtual long loadStatus_PrintingSpeed(uint8_t*, long) { return OVL_NOT_SUPPORT; }
    virtual long loadStatus_PartialCutLevel(uint8_t*, long) { return OVL_NOT_SUPPORT; }
    virtual long loadStatus_DefaultCodePage(uint8_t*, long) { return OVL_NOT_SUPPORT; }
    virtual long loadStatus_Emulation(uint8_t*, long) { return OVL_NOT_SUPPORT; }
    virtual long loadStatus_PowerSavingTime(uint8_t*, long) { return OVL_NOT_SUPPORT; }
    virtual long msrReadReady() { return OVL_SUCCESS; }
    virtual long msrReadCancel() { return OVL_SUCCESS; }
    virtual long msrReadCancelEx() { return OVL_SUCCESS; }
    virtual long msrReadTrack(Bytes*, Bytes*, Bytes*) { return OVL_SUCCESS; }
    virtual long msrGetTrack(long, Bytes*) { return OVL_SUCCESS; }
    virtual long msrReadFullTrack(Bytes*) { return OVL_SUCCESS; }
    // The card reader is armed.
    virtual bool msrIsReady() { return false; }
    virtual long icON(Bytes*) { return OVL_NOT_SUPPORT_DEVICE; }
    virtual long icOFF() { return OVL_NOT_SUPPORT_DEVICE; }
    virtual long icApdu(const Bytes&, Bytes*) { return OVL_NOT_SUPPORT_DEVICE; }
    virtual long icStatus(long*) { return OVL_NOT_SUPPORT_DEVICE; }
    virtual long enableUpsideDownMode(bool) { return OVL_NOT_SUPPORT_DEVICE; }

    // --- properties
    iControllerDelegate* delegate() const { return delegate_.get(); }
    void setDelegate(iControllerDelegate* delegate) { delegate_.set(delegate); }
    std::shared_ptr<OVPrinter> target() const;
    void setTarget(std::shared_ptr<OVPrinter> target);
    long AutoConnection() const { return autoConnection_; }
    void setAutoConnection(long mode) { autoConnection_ = mode; }
    long state() const { return state_; }
    void setState(long state) { state_ = state; }
    bool coverOpened() const { return coverOpened_; }
    void setCoverOpened(bool opened) { coverOpened_ = opened; }
    bool readyLSB() const { return readyLSB_; }
    bool isSetLSB() const { return isSetLSB_; }
    long alignment() const { return alignment_; }
    void setAlignment(long v) { alignment_ = v; }
    long attribute() const { return attribute_; }
    void setAttribute(long v) { attribute_ = v; }
    long textSize() const { return textSize_; }
    void setTextSize(long v) { textSize_ = v; }
    uint8_t textPosition() const { return textPosition_; }
    void setTextPosition(uint8_t v) { textPosition_ = v; }
    uint8_t characterSet() const { return characterSet_; }
    void setCharacterSet(uint8_t v) { characterSet_ = v; }
    uint8_t internationalCharacterSet() const { return internationalCharacterSet_; }
    void setInternationalCharacterSet(uint8_t v) { internationalCharacterSet_ = v; }
    unsigned long textEncoding() const { return textEncoding_; }
    void setTextEncoding(unsigned long v) { textEncoding_ = v; }
    long drawerPin() const { return drawerPin_; }
    void setDrawerPin(long v) { drawerPin_ = v; }
    // Which drawer signal level means open: 1 high, 0 low.
    long drawerOpenLevel() const { return drawerOpenLevel_; }
    void setDrawerOpenLevel(long v) { drawerOpenLevel_ = v; }
    long modelCode() const { return modelCode_; }
    void setModelCode(long v) { modelCode_ = v; }
    // Printable width in dots.
    long maxWidth() const { return maxWidth_; }
    void setMaxWidth(long v) { maxWidth_ = v; }
    bool didLoadStatus_MSW() const { return didLoadStatusMSW_; }
    float pendingWaitTime() const { return pendingWaitTime_; }
    void setPendingWaitTime(float seconds) { pendingWaitTime_ = seconds; }
    // Kept for the families and the facade.
    std::string version() const { return text(version_); }
    void setVersion(std::string v) { setText(version_, std::move(v)); }
    std::string configPassword() const { return text(configPassword_); }
    void setConfigPassword(std::string v) { setText(configPassword_, std::move(v)); }
    long power() const { return power_; }
    void setPower(long v) { power_ = v; }
    bool loadConfigurationOnConnect() const { return loadConfigurationOnConnect_; }
    void setLoadConfigurationOnConnect(bool v) { loadConfigurationOnConnect_ = v; }
    long barcodeSupportRange() const { return barcodeSupportRange_; }
    void setBarcodeSupportRange(long v) { barcodeSupportRange_ = v; }
    bool isSupportGS1fromFW() const { return isSupportGS1fromFW_; }
    void setIsSupportGS1fromFW(bool v) { isSupportGS1fromFW_ = v; }
    // The families' configuration blocks.
    Bytes& config() { return config_; }
    Bytes& settingConfig() { return settingConfig_; }
    bool imageDitheringWithIgnoreWhite() const { return imageDitheringWithIgnoreWhite_; }
    void setImageDitheringWithIgnoreWhite(bool v) { imageDitheringWithIgnoreWhite_ = v; }
    bool allowLog() const { return allowLog_; }
    // Also switches the transport's and the queue's trace.
    void setAllowLog(bool allow);

    // The controller's own transport and queue (the families and tests reach them).
    interfaceFunctions& transport() { return *ifFunctions_; }
    RecvQueue& recvQueue() { return recvQueue_; }
    // A read thread is held (running, or ended and not yet joined).
    bool hasReadThread();

protected:
    // Runs a printing or command operation inside the per-command connection rule.
    // An operation run inside another's command (a settings load reading its memory switches)
    // shares the outer connection: only the outermost connects and disconnects.
    // One command runs at a time on a printer: another thread's command waits for it, so that
    // its connection is not closed under it.
    template <class Command> long withConnection(Command command) {
        std::lock_guard oneAtATime(commandMutex_);
        struct Depth {
            int& depth;
            explicit Depth(int& d) : depth(d) { ++depth; }
            ~Depth() { --depth; }
        } nested(commandDepth_);
        if (commandDepth_ > 1) return command();
        bool perCommand = autoConnection_ < kKeepConnection;
        if (perCommand && !ifFunctions_->isConnected() && !connect()) return OVL_CONNECT_ERROR;
        long result = command();
        if (perCommand && ifFunctions_->isConnected()) disconnect();
        return result;
    }
    // Waits for a status reply as the families' status checks do: up to `attempts` reads from
    // the receive queue, each with the queue's own time-out, and after an empty one a pause of
    // 0.2 second and 0.1 second of the run loop; it stops early when the connection drops. With
    // `stx` 0 one reply of `size` bytes is read, else a zero-terminated text starting at `stx`.
    // Answers the count read, 0 when nothing came.
    long awaitReply(uint8_t* buffer, long size, uint8_t stx, int attempts);
    // How a model sends a picture: as the level chooses (24-dot column bands or GS v 0 raster
    // bands, the base's way), as run-length compressed raster split into bands, or as 8-dot
    // column bands; an alignment outside 0 to 2 refused with 108 or left unsent; paced sleeps
    // after the data, (pendingWaitTime - 0.2) seconds per started 60000 bytes, so the printer
    // can take it in.
    struct PictureSending {
        enum class Bands { ByLevel, Compressed, EightDotColumns };
        Bands bands = Bands::ByLevel;
        bool strictAlignment = true;
        bool paced = false;
    };
    long printPicture(const PixelImage& image, long width, long level, PictureSending how);
    // Hands `call` the delegate on the main thread.
    template <class Call> void notifyDelegate(Call call) const { delegate_.dispatch(std::move(call)); }
    // Sends a whole command; 300 when fewer bytes went out.
    long sendCommand(const Bytes& command, bool absolute = true);
    // Runs the calling thread's run loop for `seconds` of the clock.
    static void wait(double seconds);

    // InterfaceFunctionsDelegate, on the main thread.
    void willConnect() override;
    void didConnect() override;
    void didNotConnectWithError(const Error& error) override;
    void didBeBrokenConnection(const Error& error) override;
    void didDisconnect() override;

private:
    void reportNotConnected(int code);
    void startReadThread();
    void stopReadThread();
    // Joins the read thread once its connection has gone (it broke or was closed).
    void joinEndedReadThread();
    void iControllerReadThread();
    // One read and what follows it; false when the connection failed. keepAlive counts the
    // quiet reads while the card reader is armed (none over Bluetooth).
    bool readRound(uint8_t* buffer, long* keepAlive);
    // Sends the keep-alive once the quiet reads reach the target's inactivity time.
    bool sendKeepAlive(long& counter);
    // Hands the `held` bytes to the card-data and status handlers and queues the rest.
    bool handOut(uint8_t* buffer, long held);
    static Bytes alignmentCommand(long alignment);
    static Bytes attributeCommands(long attribute, uint8_t characterSet, uint8_t internationalCharacterSet);
    Bytes textHeader() const;
    Bytes drawBox(long width, long height) const;
    long readMSWReply(uint8_t* reply, long size);

    std::unique_ptr<interfaceFunctions> ifFunctions_;
    const bool bluetooth_;
    RecvQueue recvQueue_;
    std::mutex connectionMutex_; // connecting, disconnecting and the read thread's handle
    std::mutex disconnectMutex_; // one disconnect at a time
    std::thread readThread_;
    std::atomic<bool> terminateReadThread_{false};
    std::atomic<bool> didLoadStatusMSW_{false};
    std::atomic<bool> didChangeTarget_{true};
    std::atomic<bool> didReceiveConnectedMsg_{false};
    ScopedObserver targetChange_;
    DelegateRef<iControllerDelegate> delegate_;
    mutable std::mutex targetMutex_;
    std::shared_ptr<OVPrinter> target_;

    std::atomic<long> autoConnection_{0};
    std::atomic<long> state_{0};
    std::atomic<bool> coverOpened_{false};
    std::atomic<bool> readyLSB_{false};
    std::atomic<bool> isSetLSB_{false};
    std::atomic<long> alignment_{0};
    std::atomic<long> attribute_{0};
    std::atomic<long> textSize_{0};
    std::atomic<uint8_t> textPosition_{2};
    std::atomic<uint8_t> characterSet_{0};
    std::atomic<uint8_t> internationalCharacterSet_{0};
    std::atomic<unsigned long> textEncoding_{StringEncodingDOSKorean};
    std::atomic<long> drawerPin_{0};
    std::atomic<long> drawerOpenLevel_{0};
    std::atomic<long> modelCode_{0};
    std::atomic<long> maxWidth_{0};
    std::atomic<float> pendingWaitTime_{0.8f};
    std::atomic<bool> imageDitheringWithIgnoreWhite_{false};
    std::string text(const std::string& field) const {
        std::lock_guard lock(textMutex_);
        return field;
    }
    void setText(std::string& field, std::string value) {
        std::lock_guard lock(textMutex_);
        field = std::move(value);
    }
    mutable std::mutex textMutex_;
    std::string version_;
    std::string configPassword_;
    std::atomic<long> power_{0};
    std::atomic<bool> loadConfigurationOnConnect_{false};
    std::atomic<long> barcodeSupportRange_{0};
    std::atomic<bool> isSupportGS1fromFW_{false};
    Bytes config_;
    Bytes settingConfig_;
    std::atomic<bool> allowLog_{false};
    std::unique_ptr<OVBarcodeInfo> barcodeSupport_;
    std::recursive_mutex commandMutex_;
    int commandDepth_ = 0; // commands nested on the thread that holds commandMutex_
};

} // namespace tavlo::printerlib
