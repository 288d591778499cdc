#include "devices/OrvanPrinter.h"

#include "core/util/TavloLog.h"
#include "devices/MSRMediator.h"
#include "platform/foundation/AlertSink.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"

#include <algorithm>
#include <any>
#include <cstdio>
#include <iterator>
#include <utility>

namespace tavlo {

using printerlib::OVPrinter;
using printerlib::OVPrinterController;

namespace {

constexpr long kLookupRounds = 5;
constexpr size_t kShortestUrl = 4;
constexpr long kImageWidth = -1;
constexpr long kImageLevel = 100;
const char* const kNetworkTypes[] = {"TCP", "TCP/IP", "WIFI"};

// The console log: standard error, which the program sends into the system log.
void consoleLog(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }

std::string text(const std::optional<std::string>& value) { return value.value_or("(null)"); }

} // namespace

std::shared_ptr<OrvanPrinter> OrvanPrinter::getInstance() {
    static std::mutex creation;
    std::lock_guard lock(creation);
    // Lives for the whole process, like the controller it drives.
    static auto* instance =
        new std::shared_ptr<OrvanPrinter>(std::make_shared<OrvanPrinter>(OVPrinterController::getInstance()));
    return *instance;
}

void OrvanPrinter::installCardReader() {
    PrinterCardReader::setMaker([] { return std::shared_ptr<PrinterCardReader>(getInstance()); });
}

OrvanPrinter::OrvanPrinter(OVPrinterController& controller) : controller_(controller) {
    controller_.setDelegate(this);
    controller_.setLookupCount(kLookupRounds);
    controller_.setAutoConnection(printerlib::iController::kKeepConnection);
    // Receipts hold names and prices in any language: each line goes out in the printer's code page
    // that holds it.
    controller_.setTextEncoding(printerlib::StringEncodingPrinterCodePage);
    controller_.open();
    controller_.lookup();
}

OrvanPrinter::~OrvanPrinter() {
    if (controller_.delegate() == this) controller_.setDelegate(nullptr);
}

std::optional<std::string> OrvanPrinter::url() const {
    std::lock_guard lock(mutex_);
    return url_;
}

void OrvanPrinter::setUrl(std::optional<std::string> url) {
    std::lock_guard lock(mutex_);
    url_ = std::move(url);
}

std::optional<std::string> OrvanPrinter::connectionType() const {
    std::lock_guard lock(mutex_);
    return connectionType_;
}

void OrvanPrinter::setConnectionType(std::optional<std::string> type) {
    std::lock_guard lock(mutex_);
    connectionType_ = std::move(type);
}

void OrvanPrinter::debugLog(const std::string& message) const {
    if (debug_) TAVLO_LOG("%@", message);
}

std::string OrvanPrinter::describe(const std::shared_ptr<OVPrinter>& printer) const {
    if (!printer) return "(null) (address:(null), mac:(null)";
    return text(printer->name()) + " (address:" + text(printer->address()) + ", mac:" + text(printer->macAddress());
}

bool OrvanPrinter::connect() {
    printer_.reset();
    std::optional<std::string> address = url();
    if (address && address->size() >= kShortestUrl) {
        printer_ = std::make_shared<OVPrinter>();
        std::optional<std::string> type = connectionType();
        bool network =
            type && std::find(std::begin(kNetworkTypes), std::end(kNetworkTypes), *type) != std::end(kNetworkTypes);
        if (network) {
            printer_->setAddress(address);
            printer_->setPort(kNetworkPort);
            printer_->setConnectionClass(OVPrinter::Tcp);
        } else {
            printer_->setMacAddress(address);
            printer_->setConnectionClass(OVPrinter::Bluetooth);
        }
        controller_.setTarget(printer_);
        controller_.selectTarget();
    }
    connected_ = controller_.connect();
    return connected_;
}

// --- card reader

void OrvanPrinter::startRead() {
    long result = controller_.msrReadReady();
    reading_ = true;
    if (!debug_) return;
    if (result == 0) consoleLog("Ready to read Orvan MSR");
    else consoleLog("Error getting ready to read Orvan MSR " + std::to_string(result));
}

void OrvanPrinter::cancelRead() {
    reading_ = false;
    long result = controller_.msrReadCancel();
    if (!debug_) return;
    if (result == 0) consoleLog("Cancelled read Orvan MSR");
    else consoleLog("Error cancelling read Orvan MSR " + std::to_string(result));
}

void OrvanPrinter::writeBarCode(const std::string&, int, int) {
    TAVLO_LOG("Unable to write barcode to Orvan printer, result: %d", static_cast<long>(printerlib::OVL_WRITE_ERROR));
}

// --- PrinterStream

bool OrvanPrinter::open(Error* error) {
    if (connected_) return true;
    if (connect()) return true;
    consoleLog("Unable to connect to Orvan printer");
    Error::set(error, "Tavlo", -1, localized("Unable to connect to Orvan printer"));
    return false;
}

void OrvanPrinter::setCharWidth(int width) {
    switch (width) {
    case 1: controller_.setTextSize(0); break;
    case 2: controller_.setTextSize(16); break;
    case 3: controller_.setTextSize(32); break;
    default: break;
    }
}

void OrvanPrinter::setCharHeight(int height) {
    switch (height) {
    case 1: controller_.setTextSize(0); break;
    case 2: controller_.setTextSize(1); break;
    case 3: controller_.setTextSize(2); break;
    default: break;
    }
}

void OrvanPrinter::setFont(int font) {
    debugLog("Switching font to " + std::to_string(font));
    if (font == 0 || font == 1) controller_.setAttribute(font == 1 ? static_cast<long>(FontB) : 0L);
}

void OrvanPrinter::setFontAttribute(int attribute) {
    debugLog("Switching font attibute to " + std::to_string(attribute));
    switch (attribute) {
    case 32: controller_.setTextSize(16); break;
    case 16: controller_.setTextSize(1); break;
    case 0: controller_.setTextSize(0); break;
    default: break;
    }
}

void OrvanPrinter::setJustification(int justification) {
    debugLog("Switching justification to " + std::to_string(justification));
    if (justification >= 0 && justification <= 2) controller_.setAlignment(justification);
}

void OrvanPrinter::setAttributeBit(AttributeBit bit, bool on) {
    long attribute = controller_.attribute();
    controller_.setAttribute(on ? attribute | bit : attribute & ~static_cast<long>(bit));
}

void OrvanPrinter::writeLine() {
    long result = controller_.printText("\r\n");
    if (result != 0) TAVLO_LOG("Unable to write line to Orvan printer, result: %d", result);
}

void OrvanPrinter::writeLine(const std::string& line) {
    long result = controller_.printText(line + "\r\n");
    if (result != 0) TAVLO_LOG("Unable to write text to Orvan printer, result: %d", result);
}

void OrvanPrinter::writeImage(const PixelImage& image) {
    long result = controller_.printBitmapWithImage(image, kImageWidth, kImageLevel);
    if (result != 0) TAVLO_LOG("Unable to write image to Orvan printer, result: %d", result);
}

bool OrvanPrinter::openDrawer(int drawer) {
    controller_.setDrawerPin(drawer != 0 ? 1 : 0);
    long result = controller_.openDrawer();
    if (result == 0) return true;
    TAVLO_LOG("Unable to open drawer via Orvan printer, result %d", result);
    return false;
}

void OrvanPrinter::feed(int lines, bool cut) {
    for (int i = 0; i < lines; ++i) writeLine();
    if (cut) controller_.cutPaper();
}

// --- the library's events

void OrvanPrinter::didFindPrinter(OVPrinterController& controller, const std::shared_ptr<OVPrinter>& printer) {
    controller.setTarget(printer);
    debugLog("didFindPrinter: " + describe(printer));
}

void OrvanPrinter::willLookupPrinters(OVPrinterController&) { debugLog("willLookupPrinters"); }

void OrvanPrinter::didLookupPrinters(OVPrinterController& controller) {
    debugLog("didLookupPrinters");
    controller.selectTarget();
    connect();
}

void OrvanPrinter::willConnect(OVPrinterController&, const std::shared_ptr<OVPrinter>& printer) {
    debugLog("willConnect: " + describe(printer));
}

void OrvanPrinter::didConnect(OVPrinterController&, const std::shared_ptr<OVPrinter>& printer) {
    if (debug_) {
        TAVLO_LOG("=========== Information Printing Start  ===========\r\n"
                  " * printer modelStr : %@ \r\n * printer address : %@ \r\n * printer macAddress : %@ \r\n"
                  "=========== Information Printing Finish ===========\r\n",
                  text(printer ? printer->modelStr() : std::nullopt), text(printer ? printer->address() : std::nullopt),
                  text(printer ? printer->macAddress() : std::nullopt));
        TAVLO_LOG("didConnect");
    }
    connected_ = true;
    // A reconnected printer's reader is armed again while a screen wants swipes.
    if (reading_) startRead();
}

void OrvanPrinter::didNotConnect(OVPrinterController&, const std::shared_ptr<OVPrinter>&, const Error&) {
    connected_ = false;
    debugLog("didNotConnect");
}

void OrvanPrinter::didDisconnect(OVPrinterController&, const std::shared_ptr<OVPrinter>&) {
    connected_ = false;
    debugLog("didDisconnect");
}

void OrvanPrinter::didBeBrokenConnection(OVPrinterController&, const std::shared_ptr<OVPrinter>&, const Error&) {
    connected_ = false;
    debugLog("didBeBrokenConnection");
}

void OrvanPrinter::msrArrived(OVPrinterController& controller, long track) {
    if (debug_) {
        TAVLO_LOG("msrArrived");
        // What a card holds is never written down: its tracks by length only.
        const std::pair<long, const char*> tracks[] = {{1, "TRACK1"}, {2, "TRACK2"}, {4, "TRACK3"}};
        for (const auto& [bit, name] : tracks) {
            printerlib::Bytes data;
            if ((track & bit) && controller.msrGetTrack(bit, &data) == 0)
                TAVLO_LOG("%@: %d characters", name, static_cast<long>(data.size()));
        }
    }
    printerlib::Bytes full;
    std::any object;
    if (controller.msrReadFullTrack(&full) == 0 && !full.empty()) object = std::string(full.begin(), full.end());
    TAVLO_LOG("Full Track data: %d characters", static_cast<long>(full.size()));
    NotificationCenter::defaultCenter().post(kMsrReceivedDataNotification, object);
}

void OrvanPrinter::msrTerminated(OVPrinterController&) {
    debugLog("msrTerminated");
    // The library disarms the reader after every card: the next card is read too while a
    // screen wants swipes.
    if (reading_) startRead();
}

void OrvanPrinter::message(OVPrinterController&, const std::string& message) {
    TAVLO_LOG("Orvan message: %@", message);
    AlertSink::show("Orvan", message, localized("OK"));
}

void OrvanPrinter::didUpdateStatus(OVPrinterController&, long status) {
    debugLog("didUpdateStatus: " + std::to_string(status));
}

} // namespace tavlo
