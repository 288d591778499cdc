#pragma once

#include <cstdint>
#include <string_view>

namespace tavlo::printerlib {

// Symbology numbers of the barcode operations.
enum BarcodeSymbology : long {
    BC_UPCA = 101,
    BC_UPCE = 102,
    BC_EAN8 = 103,
    BC_EAN13 = 104,
    BC_JAN8 = 105,
    BC_JAN13 = 106,
    BC_ITF = 107,
    BC_CODABAR = 108,
    BC_CODE39 = 109,
    BC_CODE93 = 110,
    BC_CODE128 = 111,
    BC_PDF417 = 200,
    BC_QRCODE_MODEL2 = 202,
    BC_QRCODE_MODEL1 = 203,
    BC_DATAMATRIX = 204,
    BC_MAXICODE_MODE2 = 205,
    BC_MAXICODE_MODE3 = 206,
    BC_MAXICODE_MODE4 = 207,
    BC_GS1DATABAR_RSS14 = 208,
    BC_GS1DATABAR_EXPANDED = 213,
    BC_GS1DATABAR_LAST = 219,
};

// The linear barcode (GS k) with its settings: alignment, human-readable text position (1 above,
// 2 below, else none), font B, bar height and module width (low bytes). Writes at most *length
// bytes into `buffer` and sets *length to the count written. 0, or 500 for a symbology other
// than 101 to 111 or data its symbology does not take.
long bcMake1st(std::string_view data, long symbology, long height, long width, long alignment, long textPosition,
               uint8_t* buffer, long* length);

// The two-dimensional barcode (GS ( k): alignment, the symbology's settings, the data stored and
// printed. *length is the buffer's capacity going in and the count written coming out. 0; 501
// for a symbology outside 200 to 219, or 201; 500 when the command does not fit the buffer.
// Height and text position are not used.
long bcMake2st(std::string_view data, long symbology, long height, long width, long separatorHeight, long alignment,
               long textPosition, uint8_t* buffer, long* length);

} // namespace tavlo::printerlib
