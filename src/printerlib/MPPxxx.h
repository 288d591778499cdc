#pragma once

#include "printerlib/Section.h"
#include "printerlib/SwitchSettings.h"
#include "printerlib/iController.h"

#include <array>

namespace tavlo::printerlib {

// Card reader result codes.
enum MsrResultCode : long {
    OVLMSR_NOT_READY = 602, // the reader is not armed
    OVLMSR_DATEMPTY = 603,  // no data for that track
};

// The mobile (battery) printers: a status check with the battery, the built-in magnetic card
// reader, the memory-switch settings and the network interface block.
//
// Card reader: msrReadReady arms it; the read thread hands what arrives to processDataMsr, which
// stores the tracks of one complete card record, tells the delegate msrArrived and then, with
// msrTerminated, that the reader is disarmed. msrReadCancel disarms it; connect cancels first.
class MPPxxx : public iController {
public:
    static constexpr size_t kTrackSize = 200;
    static constexpr size_t kFullTrackSize = 600;
    static constexpr size_t kEncryptedTrackSize = 286;
    static constexpr size_t kConfigSize = 624;
    static constexpr uint16_t kConfigurationPort = 3318;
    static constexpr int kReplyAttempts = 32;
    static constexpr long kReplySize = 40;
    // Bits of the mask of checkPrinter.
    enum CheckMask : long { Cover = 0x01, Paper = 0x02, Battery = 0x04, ModelName = 0x08, FirmwareVersion = 0x10 };
    // The state bit of an armed card reader.
    static constexpr long kMsrArmed = 0x08;

    explicit MPPxxx(long interface = TcpInterface);
    ~MPPxxx() override;

    // Cancels an armed card read first.
    bool connect() override;
    void initalizeBarcodeInfo() override;
    bool isSupport_MSR() override { return true; }
    bool isSupport_IC() override { return true; }
    bool isSupport_PrinterConfig() override { return true; }
    bool isSupport_Config() override;

    // One check at a time in the process: a second one meanwhile answers 300 at once.
    long checkPrinter(long mask) override;
    long nextPrintPos() override;

    // --- card reader
    long msrReadReady() override;
    long msrReadCancel() override;
    long msrReadCancelEx() override;
    bool msrIsReady() override { return (state() & kMsrArmed) != 0; }
    long processDataMsr(const uint8_t* bytes, long length) override;
    // Track 1, 2 or 4.
    long msrGetTrack(long track, Bytes* response) override;
    long msrReadTrack(Bytes* data1, Bytes* data2, Bytes* data3) override;
    long msrReadFullTrack(Bytes* response) override;
    void resetTrackFlags();
    // Asks the reader for its mode (ESC M I; the reply "7", 0x80, the mode, 0): keeps the mode and
    // the card kind, and with firmware type 20001 or later reads the sentinel mode too. 301 for
    // a reply of another shape or none.
    long getMsr();
    // Reads the sentinel mode from memory switch 8; in sentinel mode 2 also checks the three
    // sentinel codes. 301 for a reply of another shape or none.
    long checkMsrMode();
    // Asks for sentinel code `number` (1 to 3): 0 when the printer acknowledges it ("7", 0x81).
    long getSetinelCode(long number);
    bool processNormalTrack(const uint8_t* bytes, long length);
    bool processSentinel(const uint8_t* bytes, long length);
    bool processEncryptedTrack(const uint8_t* bytes, long length);

    // --- memory-switch settings (the image and its slots in settingConfig)
    // Loads switches 1, 2 and 5 to 8 and every setting from them; 107 for a wrong password.
    long loadPrinterConfiguration() override;
    // Writes every setting into the image and the image to the printer in its user setting
    // mode; 107 for a wrong password.
    long savePrinterConfiguration() override;
    // The setting's code from the image into `buffer` (109 when size is below 1).
    long loadStatus(Setting setting, uint8_t* buffer, long size);
    // The code's bits into the image.
    long saveStatus(Setting setting, long code);
    long loadStatus_PrintingSpeed(uint8_t* buffer, long size) override {
        return loadStatus(Setting::PrintingSpeed, buffer, size);
    }
    long loadStatus_DefaultCodePage(uint8_t* buffer, long size) override {
        return loadStatus(Setting::DefaultCodePage, buffer, size);
    }
    long loadStatus_PowerSavingTime(uint8_t* buffer, long size) override {
        return loadStatus(Setting::PowerSavingTime, buffer, size);
    }

    // --- the network interface block (config), over its own TCP connection on port 3318
    long loadConfiguration() override;
    long saveConfiguration() override { return OVL_NOT_SUPPORT; }
    // The port the block is asked on (tests reach a loopback peer).
    uint16_t configurationPort() const { return configurationPort_; }
    void setConfigurationPort(uint16_t port) { configurationPort_ = port; }

    long fwVersionType() const { return fwVersionType_; }
    void setFwVersionType(long type) { fwVersionType_ = type; }
    // 1 for normal cards, 2 when the reader's mode is 0x60; 0 until getMsr has asked.
    uint8_t cardMode() const { return cardMode_; }
    uint8_t msrMode() const { return msrMode_; }
    void setMsrMode(uint8_t mode) { msrMode_ = mode; }
    long sentinelMode() const { return sentinelMode_; }
    void setSentinelMode(long mode) { sentinelMode_ = mode; }

private:
    // The reply steps of the status check; false goes to the error end.
    bool readCover(long& result, bool& errorMark);
    bool readPaper(long& result, bool& errorMark);
    bool readBattery(long& result, bool& errorMark);
    bool readText(const Bytes& command, const char* unsent, long& result, bool& errorMark, std::string& text);
    // Under msrLock_.
    void clearTracks();

    Section msrLock_;
    Section msrReadLock_;
    std::atomic<uint8_t> msrMode_{0};
    std::atomic<uint8_t> cardMode_{0};
    std::atomic<long> sentinelMode_{0};
    std::atomic<long> fwVersionType_{0};
    std::atomic<bool> terminateMsrReadThread_{false};
    bool track1Flag_ = false, track2Flag_ = false, track3Flag_ = false, fullTrackFlag_ = false,
         encryptedTrackFlag_ = false;
    std::array<char, kTrackSize> track1_{}, track2_{}, track3_{};
    std::array<char, kFullTrackSize> fullTrack_{};
    std::array<uint8_t, kEncryptedTrackSize> encryptedTrack_{};
    std::atomic<uint16_t> configurationPort_{kConfigurationPort};
};

// Models: modelCode and the printable width in dots.
class MPPR200II : public MPPxxx {
public:
    explicit MPPR200II(long interface = TcpInterface) : MPPxxx(interface) {
        setModelCode(200);
        setMaxWidth(384);
    }
};

// Prints pictures as compressed raster.
class MPPR210 : public MPPR200II {
public:
    explicit MPPR210(long interface = TcpInterface) : MPPR200II(interface) { setModelCode(210); }
    long printBitmapWithImage(const PixelImage& image, long width, long level) override;
};

class MPPR300 : public MPPxxx {
public:
    explicit MPPR300(long interface = TcpInterface) : MPPxxx(interface) {
        setModelCode(300);
        setMaxWidth(576);
    }
};

class MPPR400 : public MPPxxx {
public:
    explicit MPPR400(long interface = TcpInterface) : MPPxxx(interface) {
        setModelCode(400);
        setMaxWidth(832);
    }
};

} // namespace tavlo::printerlib
