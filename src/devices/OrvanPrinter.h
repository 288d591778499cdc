#pragma once

#include "core/ports/PrinterStream.h"
#include "devices/PrinterCardReader.h"
#include "printerlib/OVPrinterController.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace tavlo {

// The receipt printer of terminals whose printer type is "orvan": the printer library's
// receipt and mobile printers, driven through its facade, whose delegate it is. It is also the
// card reader built into a mobile printer: while a read is wanted (startRead until cancelRead)
// the reader is armed, and again after every card; each card is posted as
// "msrReceivedDataNotification" with the full track as bytes (std::string). Track contents are
// never logged, only their lengths.
//
// Made, discovery starts at once; when it ends the printer found (or the one the url names) is
// selected and connected. The connection stays open between receipts (`close` does nothing).
// Everything runs on the main thread, where the library calls back.
class OrvanPrinter : public PrinterStream, public PrinterCardReader, private printerlib::OVPrinterControlDelegate {
public:
    // The port of a network printer.
    static constexpr uint16_t kNetworkPort = 9100;

    // The process's one printer, over the library's one controller; made on first use.
    static std::shared_ptr<OrvanPrinter> getInstance();
    // Makes this printer the card reader of a terminal whose reader type is "orvan".
    static void installCardReader();

    // The process's printer comes from getInstance; tests make their own over a controller of
    // their own. Becomes the controller's delegate, keeps the connection between operations
    // (AutoConnection 100), searches 5 rounds, opens the controller and looks printers up.
    explicit OrvanPrinter(printerlib::OVPrinterController& controller);
    ~OrvanPrinter() override;
    OrvanPrinter(const OrvanPrinter&) = delete;
    OrvanPrinter& operator=(const OrvanPrinter&) = delete;

    // The printer's address: an IP address or host for a network printer, its Bluetooth device
    // address otherwise. Shorter than 4 characters, the printer discovery found is used.
    std::optional<std::string> url() const;
    void setUrl(std::optional<std::string> url);
    // "TCP", "TCP/IP" or "WIFI" (exactly so) for a network printer; anything else Bluetooth.
    std::optional<std::string> connectionType() const;
    void setConnectionType(std::optional<std::string> type);
    bool debug() const { return debug_; }
    bool isConnected() const { return connected_; }
    // Stored only: the library's own text settings are used.
    int characterSet() const { return characterSet_; }
    int codeTable() const { return codeTable_; }
    int charSize() const { return charSize_; }
    int leftMargin() const { return leftMargin_; }

    // Targets the printer the url names (when it names one), identifies it and connects.
    bool connect();

    // --- card reader
    void startRead() override;
    void cancelRead() override;

    // Barcodes are not printed on these printers (logged).
    void writeBarCode(const std::string& data, int height, int width);

    // --- PrinterStream
    // Connects when not connected; false (the error filled) when it cannot.
    bool open(Error* error) override;
    void close() override {}
    int type() const override { return kLibraryType; }
    void setDebug(bool debug) override { debug_ = debug; }
    void setCharacterSet(int characterSet) override { characterSet_ = characterSet; }
    void setCodeTable(int codeTable) override { codeTable_ = codeTable; }
    void setCharWidth(int width) override;
    void setCharHeight(int height) override;
    void setFont(int font) override;
    void setColor(int) override {}
    void setFontAttribute(int attribute) override;
    void setLeftMargin(int margin) override { leftMargin_ = margin; }
    void setJustification(int justification) override;
    void setEmphasized(bool emphasized) override { setAttributeBit(Bold, emphasized); }
    void setUnderline(bool underline) override { setAttributeBit(Underline, underline); }
    void setReversePrint(bool reversePrint) override { setAttributeBit(Reverse, reversePrint); }
    void reset() override {}
    void writeLine() override;
    void writeLine(const std::string& text) override;
    void writeImage(const PixelImage& image) override;
    bool openDrawer(int drawer) override;
    void feed(int lines, bool cut) override;

private:
    enum AttributeBit : long { FontB = 1, Bold = 2, Underline = 4, Reverse = 8 };
    void setAttributeBit(AttributeBit bit, bool on);
    void debugLog(const std::string& message) const;
    std::string describe(const std::shared_ptr<printerlib::OVPrinter>& printer) const;

    // OVPrinterControlDelegate, on the main thread.
    void didFindPrinter(printerlib::OVPrinterController&,
                        const std::shared_ptr<printerlib::OVPrinter>& printer) override;
    void msrArrived(printerlib::OVPrinterController&, long track) override;
    void willConnect(printerlib::OVPrinterController&, const std::shared_ptr<printerlib::OVPrinter>& printer) override;
    void didConnect(printerlib::OVPrinterController&, const std::shared_ptr<printerlib::OVPrinter>& printer) override;
    void didNotConnect(printerlib::OVPrinterController&, const std::shared_ptr<printerlib::OVPrinter>&,
                       const Error&) override;
    void didDisconnect(printerlib::OVPrinterController&, const std::shared_ptr<printerlib::OVPrinter>&) override;
    void didBeBrokenConnection(printerlib::OVPrinterController&, const std::shared_ptr<printerlib::OVPrinter>&,
                               const Error&) override;
    void willLookupPrinters(printerlib::OVPrinterController&) override;
    void didLookupPrinters(printerlib::OVPrinterController&) override;
    void msrTerminated(printerlib::OVPrinterController&) override;
    void message(printerlib::OVPrinterController&, const std::string& text) override;
    void didUpdateStatus(printerlib::OVPrinterController&, long status) override;

    printerlib::OVPrinterController& controller_;
    mutable std::mutex mutex_; // url_, connectionType_
    std::optional<std::string> url_;
    std::optional<std::string> connectionType_;
    std::shared_ptr<printerlib::OVPrinter> printer_;
    std::atomic<int> characterSet_{0};
    std::atomic<int> codeTable_{0};
    std::atomic<int> charSize_{0};
    std::atomic<int> leftMargin_{0};
    std::atomic<bool> debug_{false};
    std::atomic<bool> connected_{false};
    std::atomic<bool> reading_{false};
};

} // namespace tavlo
