#include "core/util/Base64Coding.h"

#include "core/util/Base64.h"

namespace tavlo {

std::vector<uint8_t> Base64Coding::dataWithBase64EncodedString(std::optional<std::string_view> nilable) {
    std::vector<uint8_t> out;
    if (!nilable) return out;
    std::string_view text = *nilable;
    for (unsigned char c : text)
        if (c > 0x7F) return out;
    out.reserve(text.size() / 4 * 3);
    uint32_t bits = 0;
    int inGroup = 0;
    for (unsigned char c : text) {
        if (c == '=') break;
        uint8_t v = Base64::decodeValue(c);
        if (v == 255) continue;
        bits = (bits << 6) | static_cast<uint32_t>(v);
        if (++inGroup == 4) {
            out.push_back(static_cast<uint8_t>(bits >> 16));
            out.push_back(static_cast<uint8_t>(bits >> 8));
            out.push_back(static_cast<uint8_t>(bits));
            bits = 0;
            inGroup = 0;
        }
    }
    // Stopped by "=" (or the end) inside a group: two characters carry one byte, three carry two.
    // Without "=" such a group is incomplete and dropped.
    bool padded = text.find('=') != std::string_view::npos;
    if (padded && inGroup >= 2) {
        bits <<= 6 * (4 - inGroup);
        out.push_back(static_cast<uint8_t>(bits >> 16));
        if (inGroup == 3) out.push_back(static_cast<uint8_t>(bits >> 8));
    }
    return out;
}

std::string Base64Coding::base64Encoding(const std::vector<uint8_t>& data, unsigned lineLength) {
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4 + (lineLength ? data.size() / 3 * 4 / lineLength + 1 : 0));
    unsigned onLine = 0;
    for (size_t i = 0; i < data.size(); i += 3) {
        size_t left = data.size() - i;
        uint32_t group = static_cast<uint32_t>(data[i]) << 16;
        if (left > 1) group |= static_cast<uint32_t>(data[i + 1]) << 8;
        if (left > 2) group |= data[i + 2];
        out.push_back(Base64::alphabet[(group >> 18) & 0x3F]);
        out.push_back(Base64::alphabet[(group >> 12) & 0x3F]);
        out.push_back(left > 1 ? Base64::alphabet[(group >> 6) & 0x3F] : '=');
        out.push_back(left > 2 ? Base64::alphabet[group & 0x3F] : '=');
        onLine += 4;
        if (lineLength > 0 && onLine >= lineLength) {
            out.push_back('\n');
            onLine = 0;
        }
    }
    return out;
}

} // namespace tavlo
