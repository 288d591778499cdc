#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo::printerlib {

// The encodings printed text may be sent in, by the numbers the library's callers use.
enum StringEncoding : unsigned long {
    StringEncodingASCII = 1,
    StringEncodingUTF8 = 4,
    StringEncodingISOLatin1 = 5,
    StringEncodingWindowsLatin1 = 12,
    StringEncodingDOSKorean = 0x80000422, // code page 949
    // Not one encoding: each text goes out in the printer's code page that holds it best.
    StringEncodingPrinterCodePage = 0x8FFF0001,
};

// The UTF-8 text in that encoding (iconv); none when the encoding is unknown or cannot write
// some character of the text.
std::optional<std::string> encodeText(std::string_view utf8, unsigned long encoding);

// A single-byte code page a printer holds: the code table number that selects it (ESC t) and the
// name of its character set.
struct CodePage {
    uint8_t table;
    const char* charset;
};

// The code pages of the library's printers, the printers' own default (PC437) first.
const std::vector<CodePage>& printerCodePages();

// A text as one of a printer's code pages writes it.
struct CodePageText {
    uint8_t table = 0;
    std::string bytes;
    size_t replaced = 0; // characters no code page of the printer holds, written as '?'
};

// The text in the first of `pages` that holds all of its characters, or else in the one that
// holds most of them, with '?' for each character it lacks. Text that is not UTF-8 counts its
// undecodable bytes as characters lacking.
CodePageText encodeForCodePages(std::string_view utf8, const std::vector<CodePage>& pages);

} // namespace tavlo::printerlib
