#pragma once

#include "printerlib/SwitchSettings.h"
#include "printerlib/TRPxxx.h"

namespace tavlo::printerlib {

// Receipt printers that keep their settings in memory switches, in a layout of their own. The
// whole-set load and save need the configuration password (107 otherwise).
class TRPxxx_RX : public TRP350 {
public:
    explicit TRPxxx_RX(long interface = TcpInterface);

    // Switches 1 to 11, then every setting from them.
    long loadPrinterConfiguration() override;
    // Every setting into the image, then switches 1 to 7 and 11 to the printer, printing a
    // report of what was written.
    long savePrinterConfiguration() override;
    long loadStatus(Setting setting, uint8_t* buffer, long size);
    long saveStatus(Setting setting, long code);
    long loadStatus_PrintingSpeed(uint8_t* buffer, long size) override {
        return loadStatus(Setting::PrintingSpeed, buffer, size);
    }
    long loadStatus_DefaultCodePage(uint8_t* buffer, long size) override {
        return loadStatus(Setting::DefaultCodePage, buffer, size);
    }
    long loadStatus_Emulation(uint8_t* buffer, long size) override {
        return loadStatus(Setting::Emulation, buffer, size);
    }
    long printBitmapWithImage(const PixelImage& image, long width, long level) override;
};

class TRP350III : public TRPxxx_RX {
public:
    using TRPxxx_RX::TRPxxx_RX;
};

class TRP352III : public TRP350III {
public:
    explicit TRP352III(long interface = TcpInterface) : TRP350III(interface) { setMaxWidth(576); }
};

class TRP350plusIII : public TRP350III {
public:
    using TRP350III::TRP350III;
};

class TRP352plusIII : public TRP352III {
public:
    using TRP352III::TRP352III;
};

// Speed, code page, emulation and font in memory switches; the power-saving time and the partial
// cutting level through printer commands of their own.
class TRP350II : public TRP350 {
public:
    explicit TRP350II(long interface = TcpInterface);

    // Switches 1 to 6 and 11, then code page, emulation, power-saving time, speed and font.
    long loadPrinterConfiguration() override;
    long savePrinterConfiguration() override;
    long loadStatus(Setting setting, uint8_t* buffer, long size);
    long saveStatus(Setting setting, long code);
    long loadStatus_PrintingSpeed(uint8_t* buffer, long size) override {
        return loadStatus(Setting::PrintingSpeed, buffer, size);
    }
    long loadStatus_DefaultCodePage(uint8_t* buffer, long size) override {
        return loadStatus(Setting::DefaultCodePage, buffer, size);
    }
    long loadStatus_Emulation(uint8_t* buffer, long size) override {
        return loadStatus(Setting::Emulation, buffer, size);
    }
    // Minutes, asked of the printer; `buffer` needs 4 bytes (109 otherwise).
    long loadStatus_PowerSavingTime(uint8_t* buffer, long size) override;
    long saveStatus_PowerSavingTime(long minutes);
    // The level (around 105) into the slot at byte 128; `buffer` is cleared.
    long loadStatus_PartialCutLevel(uint8_t* buffer, long size) override;

private:
    // Pops the printer's 4-byte reply, which starts at "_"; false without one.
    bool readReply(uint8_t (&reply)[4]);
};

class TRP340 : public TRP350II {
public:
    using TRP350II::TRP350II;
};

// A two-colour printer without barcodes: attribute bit 0x40 prints in the second colour.
class TRP275 : public TRPxxx {
public:
    static constexpr long kSecondColour = 0x40;

    explicit TRP275(long interface = TcpInterface) : TRPxxx(interface) { setMaxWidth(400); }
    void initalizeBarcodeInfo() override;
    bool isSupport_Barcode() override { return false; }
    long printBox(long, long) override { return OVL_NOT_SUPPORT; }
    // The base attribute commands and ESC r n (n 1 for the second colour).
    Bytes makeAttribute() const override;
    // Sends 8-dot column bands.
    long printBitmapWithImage(const PixelImage& image, long width, long level) override;
};

} // namespace tavlo::printerlib
