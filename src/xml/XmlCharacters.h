#pragma once
// Characters as XML sees them: decoding UTF-8 one character at a time, and which characters a
// document may hold. Shared by the two writers so that both drop the same ones.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tavlo::xmlchars {

// Length of the well-formed UTF-8 sequence at `s[i]` and its code point; 0 when malformed.
inline size_t decodeUtf8(std::string_view s, size_t i, uint32_t& cp) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = byte(i);
    size_t len;
    uint32_t min;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    if ((b0 & 0xE0) == 0xC0) {
        len = 2;
        cp = b0 & 0x1F;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3;
        cp = b0 & 0x0F;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4;
        cp = b0 & 0x07;
        min = 0x10000;
    } else return 0;
    if (i + len > s.size()) return 0;
    for (size_t k = 1; k < len; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

// XML holds no control characters but tab, line feed and carriage return, and neither U+FFFE nor
// U+FFFF.
inline bool isXmlCharacter(uint32_t cp) {
    if (cp < 0x20) return cp == '\t' || cp == '\n' || cp == '\r';
    return cp != 0xFFFE && cp != 0xFFFF;
}

} // namespace tavlo::xmlchars
