#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavlo::printerlib {

// The encodings printed text may be sent in, by the numbers the library's callers use.
enum StringEncoding : unsigned long {
    StringEncodingASCII = 1,
    StringEncodingUTF8 = 4,
    StringEncodingISOLatin1 = 5,
    StringEncodingWindowsLatin1 = 12,
    StringEncodingDOSKorean = 0x80000422,  // code page 949
};

// The UTF-8 text in that encoding (iconv); none when the encoding is unknown or cannot write
// some character of the text.
std::optional<std::string> encodeText(std::string_view utf8, unsigned long encoding);

} // namespace tavlo::printerlib
