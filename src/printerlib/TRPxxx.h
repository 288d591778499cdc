#pragma once

#include "printerlib/iController.h"

namespace tavlo::printerlib {

// The receipt printers: a polled status check, the partial cut, the family's barcodes and no
// card reader. The family keeps its state, cover, model and width in the base's fields, so the
// automatic status back and the family's checks report through the same `state`.
class TRPxxx : public iController {
public:
    using iController::iController;
    ~TRPxxx() override;

    void initalizeBarcodeInfo() override;
    // Mask bits: 0x01 cover, 0x02 paper, 0x20 drawer, 0x08 model name, 0x10 firmware version.
    long checkPrinter(long mask) override;
    // Partial cut.
    long cutPaper() override;
    // Only 101 to 111, 200, 202 and 203 go to the printer; any other kind is 107.
    long printBarcode(const std::string& data, long symbology, long width, long height) override;

    long msrReadReady() override { return OVL_NOT_SUPPORT; }
    long msrReadCancel() override { return OVL_NOT_SUPPORT; }
    long msrReadTrack(Bytes*, Bytes*, Bytes*) override { return OVL_NOT_SUPPORT; }
    long msrGetTrack(long, Bytes*) override { return OVL_NOT_SUPPORT; }
    long msrReadFullTrack(Bytes*) override { return OVL_NOT_SUPPORT; }
    bool msrIsReady() override { return false; }
    bool isSupport_CashDrawer() override { return true; }
    bool isSupport_LSB() override { return true; }
    bool isSupport_MSR() override { return false; }

    // Status replies are awaited this many times.
    static constexpr int kReplyAttempts = 32;
    static constexpr long kNameReplySize = 40;

protected:
    // The model name and firmware version steps; false ends the check.
    bool readModelName(long& result);
    bool readFirmwareVersion(long& result);
};

class TRP350 : public TRPxxx {
public:
    explicit TRP350(long interface = TcpInterface) : TRPxxx(interface) { setMaxWidth(512); }
};

class TRP352 : public TRP350 {
public:
    explicit TRP352(long interface = TcpInterface) : TRP350(interface) { setMaxWidth(576); }
};

// Prints pictures as compressed raster and can print upside down.
class TRPF310 : public TRPxxx {
public:
    explicit TRPF310(long interface = TcpInterface) : TRPxxx(interface) { setMaxWidth(512); }
    long printBitmapWithImage(const PixelImage& image, long width, long level) override;
    // Only with AutoConnection 100 (103 otherwise).
    long enableUpsideDownMode(bool enable) override;
};

class TRPF312 : public TRPF310 {
public:
    explicit TRPF312(long interface = TcpInterface) : TRPF310(interface) { setMaxWidth(576); }
};

} // namespace tavlo::printerlib
