#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>

namespace tavlo::test {

// Bytes written as numbers, for expected printer output.
inline std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out += static_cast<char>(v);
    return out;
}

// "1B 40 0A ...": printer output compared as text, so that a difference shows where it is.
inline std::string hex(const std::string& data) {
    std::string out;
    char two[4];
    for (unsigned char c : data) {
        std::snprintf(two, sizeof two, "%02X", c);
        if (!out.empty()) out += ' ';
        out += two;
    }
    return out;
}

} // namespace tavlo::test
