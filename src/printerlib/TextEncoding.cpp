#include "printerlib/TextEncoding.h"

#include <cerrno>
#include <iconv.h>

namespace tavlo::printerlib {

namespace {

const char* charsetName(unsigned long encoding) {
    switch (encoding) {
    case StringEncodingASCII: return "ASCII";
    case StringEncodingUTF8: return "UTF-8";
    case StringEncodingISOLatin1: return "ISO-8859-1";
    case StringEncodingWindowsLatin1: return "CP1252";
    case StringEncodingDOSKorean: return "CP949";
    default: return nullptr;
    }
}

} // namespace

std::optional<std::string> encodeText(std::string_view utf8, unsigned long encoding) {
    const char* charset = charsetName(encoding);
    if (!charset) return std::nullopt;
    iconv_t converter = iconv_open(charset, "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out(utf8.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* to = out.data();
    size_t outLeft = out.size();
    size_t result = iconv(converter, &in, &inLeft, &to, &outLeft);
    iconv_close(converter);
    if (result == static_cast<size_t>(-1) || inLeft != 0) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

} // namespace tavlo::printerlib
