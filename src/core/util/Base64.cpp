#include "core/util/Base64.h"

#include <array>

#include "core/util/Base64Coding.h"

namespace tavlo {

namespace {

constexpr std::array<uint8_t, 256> makeDecodeTable() {
    std::array<uint8_t, 256> table{};
    for (auto& v : table) v = 255;
    for (uint8_t i = 0; i < 64; ++i) table[static_cast<uint8_t>(Base64::alphabet[i])] = i;
    return table;
}

constexpr std::array<uint8_t, 256> kDecode = makeDecodeTable();

} // namespace

uint8_t Base64::decodeValue(uint8_t byte) { return kDecode[byte]; }

std::string Base64::encode(const std::vector<uint8_t>& data) {
    // 76 is a whole number of groups, so the lenient codec's line rule breaks at the same places;
    // this codec also ends a last short line.
    std::string out = Base64Coding::base64Encoding(data, 76);
    if (!out.empty() && out.back() != '\n') out.push_back('\n');
    return out;
}

std::optional<std::vector<uint8_t>> Base64::decode(std::string_view text) {
    std::string clean;
    clean.reserve(text.size());
    for (char c : text)
        if (c != ' ' && c != '\n' && c != '\r' && c != '\t') clean.push_back(c);
    size_t withPadding = clean.size();
    size_t end = withPadding;
    while (end > 0 && clean[end - 1] == '=') --end;
    if (end == 0) return std::nullopt;
    size_t groups = withPadding / 4;
    if (groups == 0) return std::nullopt;
    // 3 bytes per group, less one per trailing "=".
    size_t length = end - withPadding / 4;
    if (length > groups * 3) length = groups * 3; // a ragged tail: whole groups only
    std::vector<uint8_t> out;
    out.reserve(groups * 3);
    for (size_t g = 0; g < groups; ++g) {
        uint32_t bits = 0;
        for (size_t k = 0; k < 4; ++k) {
            uint8_t v = kDecode[static_cast<uint8_t>(clean[g * 4 + k])];
            bits = (bits << 6) | (v & 0x3F);
        }
        out.push_back(static_cast<uint8_t>(bits >> 16));
        out.push_back(static_cast<uint8_t>(bits >> 8));
        out.push_back(static_cast<uint8_t>(bits));
    }
    out.resize(length);
    return out;
}

bool Base64::isOctectBase64(uint8_t byte) { return byte == '=' || kDecode[byte] != 255; }

} // namespace tavlo
