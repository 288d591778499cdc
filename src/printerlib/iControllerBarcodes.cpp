// iController: barcodes checked, built and sent.
#include "printerlib/iController.h"

#include "printerlib/BarcodeCommands.h"
#include "printerlib/Trace.h"

#include <algorithm>
#include <cstring>

namespace tavlo::printerlib {

namespace {

constexpr long kDefaultModuleWidth = 5;
constexpr long kBarcodeBufferSize = 4098;
constexpr long kMax2DData = 3000;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAscii(char c) { return static_cast<unsigned char>(c) < 0x80; }

bool lengthIn(long length, long low, long high, long symbology) {
    if (length >= low && length <= high) return true;
    trace(TraceLevel::Error, "[ERROR] data length is not valid.(symbology:%ld, len : %ld)", symbology, length);
    return false;
}

bool evenLengthUpTo(long length, long high, long symbology) {
    return lengthIn(length % 2 == 0 ? length : high + 1, 2, high, symbology);
}

bool refuseCharacter(size_t at, long symbology) {
    trace(TraceLevel::Error, "[ERROR] data[%ld] is not available data.(symbology: %ld)", static_cast<long>(at),
          symbology);
    return false;
}

template <typename Allowed> bool charactersAre(std::string_view data, long symbology, Allowed allowed) {
    for (size_t i = 0; i < data.size(); ++i)
        if (!allowed(data[i])) return refuseCharacter(i, symbology);
    return true;
}

// GS1 DataBar: at most D + 1 digits, "|", then a composite part; from the "|" on at most C bytes.
struct DataBarLimits {
    long digits;
    long composite;
};
DataBarLimits dataBarLimits(long symbology) {
    static constexpr DataBarLimits limits[] = {
        {13, 164}, {13, 164}, {13, 45},  {13, 45},  {13, 106}, {70, 164}, // 208 to 213
        {12, 164}, {12, 46},  {12, 164}, {12, 106}, {48, 164}, {48, 164}, // 214 to 219
    };
    return limits[symbology - BC_GS1DATABAR_RSS14];
}

bool isGoodDataBar(std::string_view data, long symbology) {
    const DataBarLimits limits = dataBarLimits(symbology);
    size_t at = 0;
    for (; at < data.size() && data[at] != '|'; ++at) {
        if (!isDigit(data[at]) || static_cast<long>(at) > limits.digits) return refuseCharacter(at, symbology);
    }
    if (at == data.size()) return false;
    const long composite = static_cast<long>(data.size() - at);
    if (composite > limits.composite) {
        trace(TraceLevel::Error, "[ERROR] (len(%ld) - i(%ld)) > nAIMax(%ld)", static_cast<long>(data.size()),
              static_cast<long>(at), limits.composite);
        return false;
    }
    return true;
}

} // namespace

bool iController::isGoodBarcode(long symbology, std::string_view bytes) const {
    if (bytes.empty()) {
        trace(TraceLevel::Error, "[ERROR] bytes is null or *byte is 0.");
        return false;
    }
    const long length = static_cast<long>(bytes.size());
    switch (symbology) {
    case BC_UPCA:
    case BC_UPCE: return lengthIn(length, 11, 12, symbology) && charactersAre(bytes, symbology, isDigit);
    case BC_EAN8:
    case BC_JAN8: return lengthIn(length, 7, 8, symbology) && charactersAre(bytes, symbology, isDigit);
    case BC_EAN13:
    case BC_JAN13: return lengthIn(length, 12, 13, symbology) && charactersAre(bytes, symbology, isDigit);
    case BC_ITF: return evenLengthUpTo(length, 254, symbology) && charactersAre(bytes, symbology, isDigit);
    case BC_CODABAR:
        return lengthIn(length, 1, 255, symbology) && charactersAre(bytes, symbology, [](char c) {
                   return isDigit(c) || (c >= 'A' && c <= 'D') || std::strchr("$+-./:", c) != nullptr;
               });
    case BC_CODE39:
        return lengthIn(length, 1, 255, symbology) && charactersAre(bytes, symbology, [](char c) {
                   return isDigit(c) || (c >= 'A' && c <= 'Z') || std::strchr(" $%+-./", c) != nullptr;
               });
    case BC_CODE93: return lengthIn(length, 1, 255, symbology) && charactersAre(bytes, symbology, isAscii);
    case BC_CODE128: return lengthIn(length, 2, 255, symbology) && charactersAre(bytes, symbology, isAscii);
    default: break;
    }
    if (symbology == 201) return true;
    if (symbology >= BC_PDF417 && symbology < BC_GS1DATABAR_RSS14) return lengthIn(length, 2, kMax2DData, symbology);
    if (symbology >= BC_GS1DATABAR_RSS14 && symbology <= BC_GS1DATABAR_LAST) return isGoodDataBar(bytes, symbology);
    return true;
}

long iController::printBarcode(const std::string& data, long symbology, long width, long height,
                               long heightOfSeparator) {
    if (width == -1 || width == -2) width = kDefaultModuleWidth;
    if (width < 1 || width > 255) {
        trace(TraceLevel::Error, "[ERROR] width must be in 2 between 6.");
        return OVL_BAD_ARGMENT;
    }
    if (height < 1 || height > 255) {
        trace(TraceLevel::Error, "[ERROR] height must be in 1 between 255.");
        return OVL_BAD_ARGMENT;
    }
    // The data ends at its first zero byte, as the builders read it.
    const std::string_view bytes(data.c_str());
    if (!isGoodBarcode(symbology, bytes)) {
        trace(TraceLevel::Error, "[ERROR] barcode data is not valid.");
        return OVL_BC_DATA_ERROR;
    }
    if (maxWidth() > 0) width = std::min(width, maxWidth());

    Bytes command(kBarcodeBufferSize);
    long length = kBarcodeBufferSize;
    const bool twoDimensional = symbology >= BC_PDF417 && symbology <= BC_GS1DATABAR_LAST && symbology != 201;
    const long built = twoDimensional ? bcMake2st(bytes, symbology, height, width, heightOfSeparator, alignment(),
                                                  textPosition(), command.data(), &length)
                                      : bcMake1st(bytes, symbology, height, width, alignment(), textPosition(),
                                                  command.data(), &length);
    if (built != OVL_SUCCESS) {
        trace(TraceLevel::Error, "[ERROR] barcode data is not valid.");
        return built;
    }
    command.resize(static_cast<size_t>(length));
    return withConnection([&] {
        send(command);
        return static_cast<long>(OVL_SUCCESS);
    });
}

std::vector<OVBarcode> iController::getBarcodeSupportTable() const {
    return barcodeSupport_ ? barcodeSupport_->getSuppotList() : std::vector<OVBarcode>{};
}

} // namespace tavlo::printerlib
