#include "printerlib/BarcodeCommands.h"

#include "printerlib/CommandBytes.h"
#include "printerlib/ResultCodes.h"
#include "printerlib/Trace.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tavlo::printerlib {

namespace {

using Bytes = std::vector<uint8_t>;

constexpr long kMaxLinearData = 255;
constexpr size_t kMaxiCodeStored = 1023;
// The store command counts the data and three more bytes in 16 bits.
constexpr size_t kMaxStoredData = 0xFFFF - 3;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool isAscii(char c) { return static_cast<unsigned char>(c) < 0x80; }

uint8_t alignmentByte(long alignment) { return alignment == 1 ? 1 : alignment == 2 ? 2 : 0; }

long refuse(const char* why, long symbology, long detail = 0) {
    trace(TraceLevel::Error, why, symbology, detail);
    return OVL_BC_DATA_ERROR;
}

// The GS k letter of a linear symbology after checking its data; 0 when the data does not fit.
char linearLetter(std::string_view data, long symbology) {
    const long length = static_cast<long>(data.size());
    auto digitsOnly = [&] {
        for (size_t i = 0; i < data.size(); ++i)
            if (!isDigit(data[i])) {
                refuse("[ERROR] data[%02ld] is not digit. (Symbology : %ld)", static_cast<long>(i), symbology);
                return false;
            }
        return true;
    };
    auto lengthIs = [&](long a, long b) {
        if (length == a || length == b) return true;
        refuse("[ERROR] BarDataSize Error(Symbology : %ld, BarDataSize : %ld)", symbology, length);
        return false;
    };
    auto atMost255 = [&] {
        if (length >= 1 && length <= kMaxLinearData) return true;
        refuse("[ERROR] BarDataSize(%ld) is more than 255.", length);
        return false;
    };
    auto allOf = [&](auto allowed) { return std::all_of(data.begin(), data.end(), allowed); };

    switch (symbology) {
    case BC_UPCA: return lengthIs(11, 12) && digitsOnly() ? 'A' : 0;
    case BC_UPCE:
        if (!lengthIs(11, 12)) return 0;
        if (data[0] != '0') {
            refuse("[ERROR] data[0] is not '0'. (Symbology : %ld)", symbology);
            return 0;
        }
        return digitsOnly() ? 'B' : 0;
    case BC_EAN8:
    case BC_JAN8: return lengthIs(7, 8) && digitsOnly() ? 'D' : 0;
    case BC_EAN13:
    case BC_JAN13: return lengthIs(12, 13) && digitsOnly() ? 'C' : 0;
    case BC_ITF:
        if (length == 0 || length % 2 != 0 || length > kMaxLinearData) {
            refuse("[ERROR] BarDataSize is an odd number.  data length should be should be used even number.",
                   symbology);
            return 0;
        }
        return digitsOnly() ? 'F' : 0;
    case BC_CODABAR:
        if (!atMost255()) return 0;
        if (!isUpper(data[0]) ||
            !allOf([](char c) { return isDigit(c) || (c >= 'A' && c <= 'D') || std::strchr("$+-./", c) != nullptr; })) {
            refuse("[ERROR] data[0] is small letter. data[0] should be used capital letter.", symbology);
            return 0;
        }
        return 'G';
    case BC_CODE39:
        if (!atMost255()) return 0;
        if (!allOf([](char c) { return isDigit(c) || isUpper(c) || std::strchr(" $%+-./", c) != nullptr; })) {
            refuse("[ERROR] data is not valid. (Symbology : %ld)", symbology);
            return 0;
        }
        return 'E';
    case BC_CODE93:
        if (!atMost255()) return 0;
        if (!allOf(isAscii)) {
            refuse("[ERROR] data[%02ld] is not ascii.", symbology);
            return 0;
        }
        return 'H';
    case BC_CODE128:
        if (length < 2 || length > kMaxLinearData) {
            refuse("[ERROR] BarDataSize(%ld) is more than 255 or less than 2.", length);
            return 0;
        }
        if (!allOf(isAscii)) {
            refuse("[ERROR] data[%02ld] is not ascii.", symbology);
            return 0;
        }
        return 'I';
    default: return 0;
    }
}

// The primary message MaxiCode modes 2 and 3 put in front of the data (header, postal code,
// country 007, class 250), and mode 4's.
std::string_view maxiCodePrefix(long symbology) {
    static constexpr char mode2[] = "[)>\x1E"
                                    "01\x1D"
                                    "96123456789\x1D"
                                    "007\x1D"
                                    "250\x1D";
    static constexpr char mode3[] = "[)>\x1E"
                                    "01\x1D"
                                    "96FABCDE\x1D"
                                    "007\x1D"
                                    "250\x1D";
    static constexpr char mode4[] = "E\x1D"
                                    "7\x1D"
                                    "5\x1D";
    switch (symbology) {
    case BC_MAXICODE_MODE2: return {mode2, sizeof mode2 - 1};
    case BC_MAXICODE_MODE3: return {mode3, sizeof mode3 - 1};
    default: return {mode4, sizeof mode4 - 1};
    }
}

// GS ( k with three parameter bytes: cn, fn and one value.
void appendSetting(Bytes& out, uint8_t cn, uint8_t fn, long value) {
    out.insert(out.end(), {0x1D, 0x28, 0x6B, 0x03, 0x00, cn, fn, static_cast<uint8_t>(value)});
}

void appendStoreAndPrint(Bytes& out, uint8_t cn, std::string_view data) {
    out.insert(out.end(), {0x1D, 0x28, 0x6B});
    appendLittleEndian16(out, static_cast<long>(data.size()) + 3);
    out.insert(out.end(), {cn, 0x50, 0x30});
    out.insert(out.end(), data.begin(), data.end());
    out.insert(out.end(), {0x1D, 0x28, 0x6B, 0x03, 0x00, cn, 0x51, 0x30});
}

long handOut(const Bytes& command, uint8_t* buffer, long* length) {
    if (!length || !buffer || static_cast<long>(command.size()) > *length) {
        trace(TraceLevel::Error, "[ERROR] OVL_BC_DATA_ERROR");
        return OVL_BC_DATA_ERROR;
    }
    std::copy(command.begin(), command.end(), buffer);
    *length = static_cast<long>(command.size());
    return OVL_SUCCESS;
}

} // namespace

long bcMake1st(std::string_view data, long symbology, long height, long width, long alignment, long textPosition,
               uint8_t* buffer, long* length) {
    if (symbology < BC_UPCA || symbology > BC_CODE128) {
        trace(TraceLevel::Error, "[ERROR] not supported Symbology(%ld)", symbology);
        return OVL_BC_DATA_ERROR;
    }
    const char letter = linearLetter(data, symbology);
    if (letter == 0) return OVL_BC_DATA_ERROR;
    // Code set A unless the data chooses its own: the count byte must still hold the data.
    const bool codeSetA = symbology == BC_CODE128 && data[0] != 0x7B;
    const long count = static_cast<long>(data.size()) + (codeSetA ? 2 : 0);
    if (count > kMaxLinearData) return refuse("[ERROR] BarDataSize(%ld) is more than 255 or less than 2.", count);

    const uint8_t text = textPosition == 1 ? 1 : textPosition == 2 ? 2 : 0;
    Bytes command{0x00,
                  0x00,
                  0x1B,
                  0x61,
                  alignmentByte(alignment),
                  0x1D,
                  0x48,
                  text,
                  0x1D,
                  0x66,
                  0x01,
                  0x1D,
                  0x68,
                  static_cast<uint8_t>(height & 0xFF),
                  0x1D,
                  0x77,
                  static_cast<uint8_t>(width & 0xFF),
                  0x1D,
                  0x6B,
                  static_cast<uint8_t>(letter),
                  static_cast<uint8_t>(count)};
    if (codeSetA) command.insert(command.end(), {0x7B, 0x41});
    command.insert(command.end(), data.begin(), data.end());
    return handOut(command, buffer, length);
}

long bcMake2st(std::string_view data, long symbology, long /*height*/, long width, long separatorHeight, long alignment,
               long /*textPosition*/, uint8_t* buffer, long* length) {
    Bytes command{0x1B, 0x61, alignmentByte(alignment)};
    if (symbology < BC_PDF417 || symbology > BC_GS1DATABAR_LAST || symbology == 201) {
        trace(TraceLevel::Error, "[ERROR] not supported Symbology(%ld)", symbology);
        return OVL_BC_NOT_SUPPORT;
    }
    std::string stored(data);
    uint8_t cn = 0;
    if (symbology == BC_PDF417) {
        cn = 0x30;
        appendSetting(command, cn, 0x41, 0); // columns: automatic
        appendSetting(command, cn, 0x42, 0); // rows: automatic
        appendSetting(command, cn, 0x43, width < 3 ? 2 : 3);
        appendSetting(command, cn, 0x44, 3); // row height
    } else if (symbology == BC_QRCODE_MODEL2 || symbology == BC_QRCODE_MODEL1) {
        cn = 0x31;
        const uint8_t model = symbology == BC_QRCODE_MODEL2 ? 0x32 : 0x31;
        command.insert(command.end(), {0x1D, 0x28, 0x6B, 0x04, 0x00, cn, 0x41, model, 0x00});
        appendSetting(command, cn, 0x43, std::clamp(width, 1L, 8L));
    } else if (symbology == BC_DATAMATRIX) {
        cn = 0x33;
        appendSetting(command, cn, 0x43, std::clamp(width, 2L, 6L));
    } else if (symbology <= BC_MAXICODE_MODE4) {
        cn = 0x32;
        appendSetting(command, cn, 0x41, 0x32 + (symbology - BC_MAXICODE_MODE2));
        stored = std::string(maxiCodePrefix(symbology)) + stored;
        if (stored.size() > kMaxiCodeStored) stored.resize(kMaxiCodeStored);
    } else {
        cn = 0x34;
        appendSetting(command, cn, 0x41, symbology - 158);
        if (symbology <= BC_GS1DATABAR_EXPANDED) appendSetting(command, cn, 0x43, std::clamp(width, 2L, 22L));
        else appendSetting(command, cn, 0x44, std::clamp(width, 1L, 255L));
        appendSetting(command, cn, 0x46, std::clamp(separatorHeight, 1L, 2L));
    }
    if (stored.size() > kMaxStoredData) return refuse("[ERROR] OVL_BC_DATA_ERROR", symbology);
    appendStoreAndPrint(command, cn, stored);
    return handOut(command, buffer, length);
}

} // namespace tavlo::printerlib
