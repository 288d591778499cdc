// MPPxxx: creation, the status check, the card reader and the models' picture sender.
#include "printerlib/MPPxxx.h"

#include "platform/foundation/Clock.h"
#include "printerlib/FamilyHelpers.h"
#include "printerlib/Trace.h"

#include <algorithm>
#include <cstring>

namespace tavlo::printerlib {

namespace {
// One status check and one arming at a time in the process.
std::atomic<bool> g_checking{false};
std::atomic<bool> g_arming{false};

constexpr uint8_t STX = 0x02, ETX = 0x03, LF = 0x0A, CR = 0x0D, FS = 0x1C;
// Firmware from this type on keeps the reader's sentinel mode.
constexpr long kSentinelFirmware = 20001;
constexpr float kSentinelReplySeconds = 1.0f;

// Clears the flag on every way out.
struct BusyFlag {
    std::atomic<bool>& flag;
    bool taken;
    explicit BusyFlag(std::atomic<bool>& f) : flag(f), taken(!f.exchange(true)) {}
    ~BusyFlag() {
        if (taken) flag = false;
    }
};

template <size_t N> void copyText(std::array<char, N>& to, const uint8_t* from, size_t length) {
    to.fill(0);
    std::memcpy(to.data(), from, std::min(length, N - 1));
}

template <size_t N> Bytes textOf(const std::array<char, N>& buffer) {
    return Bytes(buffer.begin(), buffer.begin() + static_cast<long>(strnlen(buffer.data(), N)));
}
} // namespace

MPPxxx::MPPxxx(long interface) : iController(interface) {
    msrLock_.enter();
    clearTracks();
    msrLock_.leave();
    config().assign(kConfigSize, 0);
    settingConfig() = makeSettingBlock('0');
}

MPPxxx::~MPPxxx() {
    // The read thread may still be in this object's overrides.
    disconnect();
    if (barcodeSupport()) barcodeSupport()->clearObject();
}

bool MPPxxx::connect() {
    if (msrIsReady()) msrReadCancel();
    return iController::connect();
}

bool MPPxxx::isSupport_Config() {
    std::shared_ptr<OVPrinter> printer = target();
    return printer && printer->connectionClass() == OVPrinter::WiFi;
}

void MPPxxx::initalizeBarcodeInfo() {
    const bool gs1 = isSupportGS1fromFW();
    fillBarcodeTable(*this, [gs1](long number) { return number < 208 || gs1; });
}

// --- status

long MPPxxx::checkPrinter(long mask) {
    BusyFlag busy(g_checking);
    if (!busy.taken) return OVL_WRITE_ERROR;
    setState(state() & kMsrArmed);
    return withConnection([&]() -> long {
        long result = OVL_SUCCESS;
        bool errorMark = false;
        bool ok = true;
        std::string text;
        if (ok && (mask & Cover)) ok = readCover(result, errorMark);
        if (ok && (mask & Paper)) ok = readPaper(result, errorMark);
        if (ok && (mask & Battery)) ok = readBattery(result, errorMark);
        if (ok && (mask & ModelName)) {
            ok = readText({0x1D, 0x49, 0x43}, "[ERROR] can not send command for model name", result, errorMark, text);
            if (ok && text.empty()) {
                trace(TraceLevel::Error, "[ERROR] can not read the model name");
                ok = false;
            }
            if (ok) {
                if (std::shared_ptr<OVPrinter> printer = target()) printer->setModelStr(text);
                setModelCode(static_cast<long>(GetModel(text)));
                trace(TraceLevel::Detail, "MODEL: %lu", modelCode());
            }
        }
        if (ok && (mask & FirmwareVersion)) {
            ok =
                readText({0x1D, 0x49, 0x41}, "[ERROR] can not send command for printer info.", result, errorMark, text);
            if (ok && text.empty()) {
                uint8_t again[kReplySize + 1] = {};
                recvValue(again, kReplySize, '_');
                text = reinterpret_cast<const char*>(again);
            }
            if (ok && text.empty()) ok = false;
            if (ok)
                if (std::shared_ptr<OVPrinter> printer = target()) printer->setVersionStr(text);
        }
        if (!ok || errorMark) setState(state() | OVL_STS_ERROR_BIT);
        return result;
    });
}

bool MPPxxx::readCover(long& result, bool&) {
    if (send(Bytes{0x10, 0x04, 0x02, 0x00, 0x00}, true) != 5) {
        trace(TraceLevel::Error, "[ERROR] can not send command for cover status.");
        result = OVL_WRITE_ERROR;
        return false;
    }
    uint8_t reply = 0;
    if (awaitReply(&reply, 1, 0, kReplyAttempts - 1) == 0)
        trace(TraceLevel::Error, "[ERROR] can not read the cover status.");
    if ((reply & 0x93) != 0x12) {
        trace(TraceLevel::Error,
              "[ERROR] It is not valid data for cover status. It could not read data from the printer.");
        result = OVL_READ_ERROR;
        return false;
    }
    setCoverOpened((reply & 0x04) != 0);
    if (coverOpened()) setState(state() | OVL_STS_COVER_OPEN);
    if (reply & 0x40) {
        setState(state() | OVL_STS_PRINTER_ERROR);
        return false;
    }
    return true;
}

bool MPPxxx::readPaper(long& result, bool& errorMark) {
    if (send(Bytes{0x10, 0x04, 0x04, 0x00}, true) != 4) {
        trace(TraceLevel::Error, "[ERROR] can not send command for paper status.");
        result = OVL_WRITE_ERROR;
        return false;
    }
    uint8_t reply = 0;
    if (awaitReply(&reply, 1, 0, kReplyAttempts) == 0) {
        trace(TraceLevel::Error, "[ERROR] can not read the paper status.");
        result = OVL_READ_ERROR;
        errorMark = true;
    }
    if (reply & 0x60) {
        setState(state() | OVL_STS_PAPER_EMPTY);
        errorMark = true;
    }
    return true;
}

bool MPPxxx::readBattery(long& result, bool& errorMark) {
    if (send(Bytes{0x1D, 0x49, 0x62, 0x00}, true) != 4) {
        trace(TraceLevel::Error, "[ERROR] can not send command for power status.");
        result = OVL_WRITE_ERROR;
        return false;
    }
    uint8_t reply[kReplySize + 1] = {};
    if (awaitReply(reply, kReplySize, 0x37, kReplyAttempts) == 0) {
        result = OVL_READ_ERROR;
        errorMark = true;
    }
    if (errorMark || reply[1] != 'E') {
        trace(TraceLevel::Error, "[ERROR] can not read the power status.");
        return false;
    }
    setPower(reply[2] >= '0' && reply[2] <= '3' ? reply[2] - '0' : 4);
    trace(TraceLevel::Detail, "batt Status:%d", static_cast<int>(power()));
    return true;
}

bool MPPxxx::readText(const Bytes& command, const char* unsent, long& result, bool& errorMark, std::string& text) {
    if (send(command, true) != static_cast<long>(command.size())) {
        trace(TraceLevel::Error, unsent);
        result = OVL_WRITE_ERROR;
        return false;
    }
    uint8_t reply[kReplySize + 1] = {};
    if (awaitReply(reply, kReplySize, '_', kReplyAttempts) == 0) {
        result = OVL_READ_ERROR;
        errorMark = true;
    }
    text = reinterpret_cast<const char*>(reply);
    return true;
}

long MPPxxx::nextPrintPos() {
    return withConnection([&] { return sendCommand({0x0C}); });
}

// --- card reader

void MPPxxx::clearTracks() {
    track1Flag_ = track2Flag_ = track3Flag_ = fullTrackFlag_ = encryptedTrackFlag_ = false;
    track1_.fill(0);
    track2_.fill(0);
    track3_.fill(0);
    fullTrack_.fill(0);
    encryptedTrack_.fill(0);
}

void MPPxxx::resetTrackFlags() { clearTracks(); }

long MPPxxx::msrReadReady() {
    BusyFlag busy(g_arming);
    if (!busy.taken) return OVL_STATUS_ERROR;
    msrLock_.enter();
    struct Leave {
        Section& lock;
        ~Leave() { lock.leave(); }
    } leave{msrLock_};
    if (msrIsReady()) return OVL_SUCCESS;
    const uint8_t mode = msrMode_;
    if (mode == 0x38 || mode == 0x48 || mode == 0x60) return OVL_NOT_SUPPORT;
    // The card arrives over the connection that armed the reader: a connection per command would
    // close under it, and the swipe would be lost.
    if (AutoConnection() < kKeepConnection) {
        trace(TraceLevel::Error, "[ERROR] connection mode is not noauto.");
        return OVL_STATUS_ERROR;
    }
    resetTrackFlags();
    long result = withConnection([&]() -> long {
        if (mode < 0x32 || mode == 0x41) {
            const uint8_t kind = mode == '1' ? 'E' : mode == '0' ? 'H' : 'B';
            if (send(Bytes{0x1B, 0x4D, kind}, true) != 3) return OVL_WRITE_ERROR;
        }
        return OVL_SUCCESS;
    });
    if (result != OVL_SUCCESS) return result;
    setState(state() | kMsrArmed);
    terminateMsrReadThread_ = false;
    // The block tells the printer's inactivity time, which keeps the connection alive while armed.
    loadConfiguration();
    return OVL_SUCCESS;
}

long MPPxxx::msrReadCancel() {
    terminateMsrReadThread_ = true;
    msrLock_.enter();
    if (!msrIsReady()) {
        msrLock_.leave();
        trace(TraceLevel::Error, "[ERROR] OVLMSR_NOTREADY");
        return OVLMSR_NOT_READY;
    }
    setState(state() & ~kMsrArmed);
    resetTrackFlags();
    msrLock_.leave();
    withConnection([&] { return send(Bytes{0x1B, 0x4D, 0x63}, true) == 3 ? OVL_SUCCESS : OVL_WRITE_ERROR; });
    return OVL_SUCCESS;
}

long MPPxxx::getMsr() {
    return withConnection([&]() -> long {
        if (send(Bytes{0x1B, 0x4D, 0x49}, true) != 3) return OVL_WRITE_ERROR;
        uint8_t reply[4] = {};
        if (awaitReply(reply, sizeof reply, 0, kReplyAttempts) != 4 || reply[0] != '7') {
            trace(TraceLevel::Error, "[ERROR] invalid MSR value. MSR[0]: %02xh", reply[0]);
            return OVL_READ_ERROR;
        }
        if (reply[1] != 0x80 || reply[3] != 0x00) {
            trace(TraceLevel::Error, "[ERROR] invalid MSR value. MSR[1]: %02xh, MSR[3]: %02xh", reply[1], reply[3]);
            return OVL_READ_ERROR;
        }
        msrMode_ = reply[2];
        cardMode_ = reply[2] == 0x60 ? 2 : 1;
        if (fwVersionType_ >= kSentinelFirmware) return checkMsrMode();
        sentinelMode_ = 0;
        return OVL_SUCCESS;
    });
}

long MPPxxx::checkMsrMode() {
    return withConnection([&]() -> long {
        const uint8_t family = modelCode() < 221 ? '^' : '(';
        const Bytes ask{0x1D, family, 0x45, 0x02, 0x00, 0x04, 0x08};
        if (send(ask, true) != static_cast<long>(ask.size())) return OVL_WRITE_ERROR;
        uint8_t reply[11] = {};
        // "7", then "!" or the switch's settings closed by a zero byte.
        bool valid = awaitReply(reply, sizeof reply, 0, kReplyAttempts) == sizeof reply && reply[0] == '7' &&
                     (reply[1] == '!' || reply[10] == 0);
        if (!valid) {
            trace(TraceLevel::Error, "[ERROR] checkMsrMode - data is not vaild.");
            return OVL_READ_ERROR;
        }
        sentinelMode_ = 2 * (reply[3] - '0') + (reply[4] - '0');
        if (sentinelMode_ != 2) return OVL_SUCCESS;
        for (long number = 1; number <= 3; ++number)
            if (long result = getSetinelCode(number); result != OVL_SUCCESS) return result;
        return OVL_SUCCESS;
    });
}

long MPPxxx::getSetinelCode(long number) {
    return withConnection([&]() -> long {
        const Bytes ask{0x08, 0x4D, 0x53, 0x02, 0x00, 0x34, static_cast<uint8_t>(0x30 + number)};
        if (send(ask, true) != static_cast<long>(ask.size())) return OVL_WRITE_ERROR;
        Clock::currentShared()->sleepFor(0.01);
        // The read thread owns the connection's bytes: the reply is taken from its queue.
        uint8_t reply[30] = {};
        long got = recv(reply, sizeof reply, kSentinelReplySeconds);
        for (long i = 0; i + 1 < got; ++i)
            if (reply[i] == '7' && reply[i + 1] == 0x81) return OVL_SUCCESS;
        return OVL_READ_ERROR;
    });
}

long MPPxxx::msrReadCancelEx() {
    long result = msrReadCancel();
    notifyDelegate([this](iControllerDelegate& d) { d.msrTerminated(*this); });
    return result;
}

long MPPxxx::processDataMsr(const uint8_t* d, long n) {
    if (n <= 0 || d[0] != STX) return 0;
    if (d[n - 1] != LF) return -1;
    long i = 0;
    while (i < n) {
        bool starts = d[i] == 0x01 || (d[i] == STX && i + 3 < n && d[i + 2] == '1' && d[i + 3] == '1');
        if (!starts) break;
        if (i + 5 == n) {
            trace(TraceLevel::Error, "Msr Data length error");
            break;
        }
        long end = i + 1;
        while (end < n && d[end] != CR && d[end] != LF) ++end;
        i = std::min(end + 2, n);
    }
    const long consumed = i;
    if (consumed == 0 || !msrIsReady()) return consumed;
    if (sentinelMode_ == 2) {
        processSentinel(d, n);
    } else {
        msrLock_.enter();
        processNormalTrack(d, n);
        msrLock_.leave();
    }
    if (!terminateMsrReadThread_ && delegate()) {
        setState(state() & ~kMsrArmed);
        notifyDelegate([this](iControllerDelegate& del) { del.msrTerminated(*this); });
    }
    return consumed;
}

bool MPPxxx::processNormalTrack(const uint8_t* d, long n) {
    if (n < 5 || d[1] < 'A' || d[1] > 'F' || d[2] != '1' || d[3] != '1') return false;
    static const std::vector<int> kTracks[] = {{1}, {2}, {1, 2}, {3}, {2, 3}, {1, 2, 3}};
    const std::vector<int>& tracks = kTracks[d[1] - 'A'];
    auto fieldEnd = [&](long from, bool last) {
        while (from < n && d[from] != ETX && d[from] != CR && d[from] != LF && (last || d[from] != FS)) ++from;
        return from;
    };
    if (d[4] != FS) trace(TraceLevel::Error, "Msr header is wrong!");
    long pos = 5;
    if (tracks.size() > 1) {
        if (n > 5 && d[5] != FS) trace(TraceLevel::Error, "Msr header is wrong!");
        while (pos < n && d[pos] == FS) ++pos;
    }
    track1_.fill(0);
    track2_.fill(0);
    track3_.fill(0);
    track1Flag_ = track2Flag_ = track3Flag_ = false;
    long mask = 0;
    std::string full;
    for (size_t k = 0; k < tracks.size() && pos <= n; ++k) {
        const bool last = k + 1 == tracks.size();
        long end = fieldEnd(pos, last);
        const long length = end - pos;
        if (length > 0) {
            const int track = tracks[k];
            auto& buffer = track == 1 ? track1_ : track == 2 ? track2_ : track3_;
            copyText(buffer, d + pos, static_cast<size_t>(length));
            (track == 1 ? track1Flag_ : track == 2 ? track2Flag_ : track3Flag_) = true;
            mask |= track == 3 ? 4 : track;
            full.append(buffer.data());
            full.push_back(static_cast<char>(FS));
        }
        pos = end + 1;
        if (end >= n || d[end] != FS) break;
    }
    copyText(fullTrack_, reinterpret_cast<const uint8_t*>(full.data()), full.size());
    fullTrackFlag_ = true;
    if (terminateMsrReadThread_) {
        resetTrackFlags();
    } else {
        notifyDelegate([this, mask](iControllerDelegate& del) { del.msrArrived(*this, mask); });
    }
    return true;
}

bool MPPxxx::processSentinel(const uint8_t* d, long n) {
    const uint8_t* end = std::find(d, d + n, LF);
    if (end == d) return false;
    msrLock_.enter();
    copyText(fullTrack_, d, static_cast<size_t>(end - d));
    fullTrackFlag_ = true;
    msrLock_.leave();
    return true;
}

bool MPPxxx::processEncryptedTrack(const uint8_t* d, long n) {
    if (n < 8 || !(d[2] == 2 || d[3] == 0)) return false;
    encryptedTrack_.fill(0);
    encryptedTrack_[0] = 1;
    std::memcpy(encryptedTrack_.data() + 1, d + 4, 4);
    std::memcpy(encryptedTrack_.data() + 5, d + 8, std::min<size_t>(static_cast<size_t>(n - 8), 280));
    encryptedTrackFlag_ = true;
    if (!terminateMsrReadThread_) notifyDelegate([this](iControllerDelegate& del) { del.msrArrived(*this, 8); });
    return false;
}

long MPPxxx::msrGetTrack(long track, Bytes* response) {
    msrLock_.enter();
    long result = OVL_SUCCESS;
    if (track == 1 || track == 2 || track == 4) {
        const bool flag = track == 1 ? track1Flag_ : track == 2 ? track2Flag_ : track3Flag_;
        const auto& buffer = track == 1 ? track1_ : track == 2 ? track2_ : track3_;
        if (!flag) result = OVLMSR_DATEMPTY;
        else if (response) *response = textOf(buffer);
    }
    msrLock_.leave();
    return result;
}

long MPPxxx::msrReadTrack(Bytes* data1, Bytes* data2, Bytes* data3) {
    if (sentinelMode_ == 2) return OVL_NOT_SUPPORT;
    msrLock_.enter();
    long result = OVL_SUCCESS;
    if (msrMode_ == 0x50) {
        if (!data1) result = OVL_BUFFER_ERROR;
        else if (!encryptedTrackFlag_) result = OVLMSR_DATEMPTY;
        else *data1 = Bytes(encryptedTrack_.begin(), encryptedTrack_.end());
    } else {
        Bytes* responses[] = {data1, data2, data3};
        const bool flags[] = {track1Flag_, track2Flag_, track3Flag_};
        const std::array<char, kTrackSize>* buffers[] = {&track1_, &track2_, &track3_};
        for (int k = 0; k < 3 && result == OVL_SUCCESS; ++k) {
            if (!flags[k] || !responses[k]) {
                trace(TraceLevel::Error, "[ERROR] track%d is empty or data%d is nil.", k + 1, k + 1);
                result = OVL_BAD_ARGMENT;
            } else {
                *responses[k] = textOf(*buffers[k]);
            }
        }
    }
    msrLock_.leave();
    return result;
}

long MPPxxx::msrReadFullTrack(Bytes* response) {
    msrLock_.enter();
    long result = OVL_SUCCESS;
    if (!fullTrackFlag_ || !response) {
        trace(TraceLevel::Error, "[ERROR] track is empty or response is nil.");
        result = OVL_BAD_ARGMENT;
    } else {
        *response = textOf(fullTrack_);
        fullTrackFlag_ = false;
    }
    msrLock_.leave();
    return result;
}

long MPPR210::printBitmapWithImage(const PixelImage& image, long width, long level) {
    return printPicture(image, width, level, {.bands = PictureSending::Bands::Compressed, .strictAlignment = false});
}

} // namespace tavlo::printerlib
