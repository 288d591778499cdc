#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo {

// The lenient Base64 codec: skips whatever is not in the alphabet and stops at the first "=".
class Base64Coding {
public:
    // Empty data for nil or for a text with non-ASCII bytes; a group cut short without "=" at
    // the end is dropped.
    static std::vector<uint8_t> dataWithBase64EncodedString(std::optional<std::string_view> text);
    // lineLength 0: one line. Otherwise a "\n" follows each group that brings the line to the
    // length or past it (so lines are the first multiple of four at or above it).
    static std::string base64Encoding(const std::vector<uint8_t>& data, unsigned lineLength = 0);
};

} // namespace tavlo
