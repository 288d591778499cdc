// iController: images kept in the printer's non-volatile graphics memory (GS ( L).
#include "printerlib/iController.h"

#include "platform/foundation/Clock.h"
#include "printerlib/CommandBytes.h"
#include "printerlib/Trace.h"

namespace tavlo::printerlib {

namespace {

// The define command counts its 11 bytes of parameters and the raster in 16 bits.
constexpr long kDefineHeadBytes = 11;
constexpr long kMaxDefineRaster = 0xFFFF - kDefineHeadBytes;
// Raster bytes the printer stores in one pending-wait period.
constexpr long kStoredBytesPerWait = 3500;
constexpr uint8_t kListReplyStart0 = 0x37, kListReplyStart1 = 0x72;
constexpr uint8_t kListEnd = 0x40;
constexpr size_t kListReplyHead = 3;

bool validKey(long key) { return key >= 0 && key < iController::kStoredImageKeys; }

// A key as two ASCII digits, tens first.
uint8_t tens(long key) { return static_cast<uint8_t>('0' + key / 10); }
uint8_t units(long key) { return static_cast<uint8_t>('0' + key % 10); }

bool isDigit(uint8_t c) { return c >= '0' && c <= '9'; }

} // namespace

long iController::removeNVImage(long key) {
    if (!validKey(key)) return OVL_BAD_ARGMENT;
    return withConnection([&] {
        long result = sendCommand({0x1D, 0x28, 0x4C, 0x04, 0x00, 0x30, 0x42, tens(key), units(key)});
        if (result != OVL_SUCCESS) trace(TraceLevel::Error, "[ERROR] can not send NV image remove command.");
        return result;
    });
}

long iController::removeAllNVImages() {
    return withConnection([&] { return sendCommand({0x1D, 0x28, 0x4C, 0x05, 0x00, 0x30, 0x41, 'C', 'L', 'R'}); });
}

long iController::printNVImage(long key) {
    if (!validKey(key)) return OVL_BAD_ARGMENT;
    // Scale 1 x 1.
    return withConnection([&] {
        return sendCommand({0x1D, 0x28, 0x4C, 0x06, 0x00, 0x30, 0x45, tens(key), units(key), 0x01, 0x01});
    });
}

long iController::downloadNVImage(long key, const PixelImage& image, long width, long level) {
    if (!validKey(key)) return OVL_BAD_ARGMENT;
    const ImageLevel decoded = ImageLevel::decode(level);
    RasterSize size;
    std::vector<uint8_t> pixels = getRGBDatafromOptimizationImage(image, width, level, &size);
    if (pixels.empty()) {
        trace(TraceLevel::Error, "[ERROR] can not convert image data to rgba data");
        return OVL_RGBA_ERROR;
    }
    if (decoded.dither)
        iControlMisc::makeDiffusionImageData(pixels, size.width, size.height, decoded.threshold,
                                             imageDitheringWithIgnoreWhite());
    // The printer stores raster rows whichever way the picture would be printed: column bands
    // are not what the define command describes.
    Bytes raster = iControlMisc::makeMonoGsvData(pixels, size.width, size.height, decoded.threshold, false);
    raster.erase(raster.begin(), raster.begin() + 8); // the GS v 0 head
    const long length = static_cast<long>(raster.size());
    if (length > kStoredImageMaxBytes || length > kMaxDefineRaster) {
        trace(TraceLevel::Error, "[ERROR] image size[%ld] is too large.", length);
        return OVL_TOO_LARGE_IMAGE;
    }

    Bytes define{0x1D, 0x28, 0x4C};
    appendLittleEndian16(define, length + kDefineHeadBytes);
    define.insert(define.end(), {0x30, 0x43, 0x30, tens(key), units(key), 0x01});
    Bytes dimensions;
    appendLittleEndian16(dimensions, size.width);
    appendLittleEndian16(dimensions, size.height);
    dimensions.push_back(0x31); // one colour
    long result = withConnection([&] {
        for (const Bytes* part : {&define, &dimensions, &raster})
            if (long sent = sendCommand(*part); sent != OVL_SUCCESS) return sent;
        return static_cast<long>(OVL_SUCCESS);
    });
    if (result == OVL_SUCCESS && pendingWaitTime() > 0) {
        const auto seconds =
            static_cast<long>(pendingWaitTime() * static_cast<float>(length / kStoredBytesPerWait + 1));
        if (seconds > 0) Clock::currentShared()->sleepFor(static_cast<double>(seconds));
    }
    return result;
}

long iController::nvImageList(std::vector<long>* keys) {
    std::vector<long> found;
    long result = withConnection([&] {
        if (sendCommand({0x1D, 0x28, 0x4C, 0x04, 0x00, 0x30, 0x40, 'K', 'C'}) != OVL_SUCCESS)
            return static_cast<long>(OVL_WRITE_ERROR);
        // A list of at most a hundred keys never needs a hundred blocks: a printer that goes on
        // is not answering the list.
        for (long block = 0; block < kStoredImageKeys; ++block) {
            Clock::currentShared()->sleepFor(1.0);
            uint8_t reply[kStoredImageListReplySize] = {};
            const long got = recvQueue().pop(reply, kStoredImageListReplySize);
            if (got < 4 || reply[0] != kListReplyStart0 || reply[1] != kListReplyStart1)
                return static_cast<long>(OVL_READ_ERROR);
            const uint8_t status = reply[2];
            for (long pair = 0; pair < (got - 4) / 2; ++pair) {
                const uint8_t high = reply[kListReplyHead + 2 * pair], low = reply[kListReplyHead + 2 * pair + 1];
                if (!isDigit(high) || !isDigit(low)) return static_cast<long>(OVL_READ_ERROR);
                found.push_back((high - '0') * 10 + (low - '0'));
            }
            if (sendCommand({0x06, 0x15, 0x18}) != OVL_SUCCESS) {
                trace(TraceLevel::Error, "error: can not send response to printer.");
                return static_cast<long>(OVL_WRITE_ERROR);
            }
            if (status == kListEnd) return static_cast<long>(OVL_SUCCESS);
        }
        return static_cast<long>(OVL_READ_ERROR);
    });
    if (keys) *keys = found;
    return result;
}

} // namespace tavlo::printerlib
