#include "printerlib/TRPxxx.h"

#include "printerlib/FamilyHelpers.h"
#include "printerlib/Trace.h"

#include <cstring>

namespace tavlo::printerlib {

TRPxxx::~TRPxxx() {
    // The read thread may still be in this object's overrides.
    disconnect();
    if (barcodeSupport()) barcodeSupport()->clearObject();
}

void TRPxxx::initalizeBarcodeInfo() {
    fillBarcodeTable(*this, [](long number) { return number <= 200; });
}

long TRPxxx::printBarcode(const std::string& data, long symbology, long width, long height) {
    bool accepted = (symbology >= 101 && symbology <= 111) || symbology == 200 || symbology == 202 || symbology == 203;
    if (!accepted) return OVL_NOT_SUPPORT;
    return iController::printBarcode(data, symbology, width, height);
}

namespace {
// One of the status requests (DLE EOT n) and the trace when it goes unanswered.
struct StatusRequest {
    long maskBit;
    uint8_t function;
    const char* unanswered;
};
} // namespace

long TRPxxx::checkPrinter(long mask) {
    setState(OVL_STS_NORMAL);
    return withConnection([&]() -> long {
        long result = OVL_SUCCESS;
        bool failed = false; // an error was noted
        bool ended = false;  // the check stopped before its last step
        const StatusRequest requests[] = {
            {0x01, 0x02, "[ERROR] can not read the cover status."},
            {0x02, 0x04, "[ERROR] can not read the paper status."},
            {0x20, 0x01, "[ERROR] can not read the cashDrawer status."},
        };
        for (const StatusRequest& request : requests) {
            if (!(mask & request.maskBit)) continue;
            if (send(Bytes{0x10, 0x04, request.function}, true) == SOCKET_ERROR) {
                result = SOCKET_ERROR;
                ended = true;
                break;
            }
            uint8_t reply = 0;
            if (awaitReply(&reply, 1, 0, kReplyAttempts) == 0) {
                trace(TraceLevel::Error, request.unanswered);
                result = OVL_READ_ERROR;
                failed = true;
                continue;
            }
            if (request.function == 0x02) {
                setCoverOpened((reply & 0x04) != 0);
                if (coverOpened()) setState(state() | OVL_STS_COVER_OPEN);
                if (reply & 0x40) {
                    setState(state() | OVL_STS_PRINTER_ERROR);
                    ended = true;
                    break;
                }
            } else if (request.function == 0x04) {
                if (reply & 0x60) {
                    setState(state() | OVL_STS_PAPER_EMPTY);
                    failed = true;
                }
            } else {
                bool signalHigh = (reply & 0x04) != 0;
                if (signalHigh == (drawerOpenLevel() == 1)) setState(state() | OVL_STS_DRAWER_OPEN);
            }
        }
        if (!ended && (mask & 0x08)) ended = !readModelName(result);
        if (!ended && (mask & 0x10)) ended = !readFirmwareVersion(result);
        if (ended) failed = true;
        if (failed) setState(state() | OVL_STS_ERROR_BIT);
        return result;
    });
}

bool TRPxxx::readModelName(long& result) {
    if (send(Bytes{0x1D, 0x49, 0x43}) != 3) {
        trace(TraceLevel::Error, "[ERROR] can not send command for model name");
        result = OVL_WRITE_ERROR;
        return false;
    }
    uint8_t name[kNameReplySize + 1] = {};
    if (awaitReply(name, kNameReplySize, '_', kReplyAttempts) == 0 || name[0] == 0) {
        trace(TraceLevel::Error, "[ERROR] can not read the model name");
        return false;
    }
    std::string text(reinterpret_cast<const char*>(name), strnlen(reinterpret_cast<const char*>(name), kNameReplySize));
    if (std::shared_ptr<OVPrinter> printer = target()) printer->setModelStr(text);
    setModelCode(static_cast<long>(GetModel(text)));
    return true;
}

bool TRPxxx::readFirmwareVersion(long& result) {
    if (send(Bytes{0x1D, 0x49, 0x41}) != 3) {
        trace(TraceLevel::Error, "[ERROR] can not send command for printer info.");
        result = OVL_WRITE_ERROR;
        return false;
    }
    uint8_t version[kNameReplySize + 1] = {};
    long got = awaitReply(version, kNameReplySize, '_', kReplyAttempts);
    if (got == 0) {
        // A text whose end came late: taken only with its terminating zero.
        got = recvValue(version, kNameReplySize, '_');
        if (got == 0 || version[got - 1] != 0) return false;
    }
    std::string text(reinterpret_cast<const char*>(version),
                     strnlen(reinterpret_cast<const char*>(version), kNameReplySize));
    if (text.empty()) return false;
    if (std::shared_ptr<OVPrinter> printer = target()) printer->setVersionStr(text);
    return true;
}

long TRPxxx::cutPaper() {
    // The connection rule closes a per-command connection on every way out, a short send too.
    return withConnection([&] { return send(Bytes{0x1B, 0x6D, 0x00}) == 3 ? OVL_SUCCESS : OVL_WRITE_ERROR; });
}

long TRPF310::printBitmapWithImage(const PixelImage& image, long width, long level) {
    return printPicture(image, width, level, {.bands = PictureSending::Bands::Compressed});
}

long TRPF310::enableUpsideDownMode(bool enable) {
    if (AutoConnection() != kKeepConnection) return OVL_STATUS_ERROR;
    return send(Bytes{0x1B, 0x7B, static_cast<uint8_t>(enable ? 1 : 0)}, true) == 3 ? OVL_SUCCESS : OVL_WRITE_ERROR;
}

} // namespace tavlo::printerlib
