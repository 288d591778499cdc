#include "printerlib/SwitchSettings.h"

#include "printerlib/ResultCodes.h"
#include "printerlib/Trace.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace tavlo::printerlib {

std::optional<long> SwitchSetting::convertFromSettingParam(const uint8_t* bits, long size) const {
    if (!bits || size < width()) return OVL_CS_NOTSET;
    const std::string pattern(reinterpret_cast<const char*>(bits), static_cast<size_t>(width()));
    if (patterns.empty()) {
        long number = 0;
        for (char c : pattern) number = number * 2 + (c == '1' ? 1 : 0);
        return number;
    }
    for (const auto& [known, code] : patterns)
        if (known == pattern) return code;
    return otherwise;
}

long SwitchSetting::convertFromDefine(long code, uint8_t* bits, long size) const {
    if (!bits || size < width()) return OVL_BUFFER_ERROR;
    std::string pattern;
    if (patterns.empty()) {
        if (code >= 0 && code < (1L << width()))
            for (int bit = static_cast<int>(width()) - 1; bit >= 0; --bit)
                pattern.push_back((code >> bit) & 1 ? '1' : '0');
    } else {
        auto found =
            std::find_if(patterns.begin(), patterns.end(), [&](const auto& entry) { return entry.second == code; });
        if (found != patterns.end()) pattern = found->first;
    }
    if (pattern.empty()) pattern = unknownCode;
    // A slot never loaded (0) or loaded from a pattern no code stands for (-1, as a byte 255)
    // leaves the printer's bits as they are.
    if (pattern.empty()) return (code == 0 || code == OVL_CS_NOTSET || code == 0xFF) ? OVL_SUCCESS : OVL_BAD_ARGMENT;
    std::memset(bits, 0, static_cast<size_t>(size));
    std::memcpy(bits, pattern.data(), std::min(pattern.size(), static_cast<size_t>(size)));
    return OVL_SUCCESS;
}

const SwitchSetting::Patterns& codePagePatterns() {
    static const SwitchSetting::Patterns kPatterns{
        {"000000", 1},  {"000010", 2},  {"000100", 3},  {"000110", 4},  {"001000", 5},  {"001010", 6},  {"001110", 8},
        {"010000", 9},  {"010010", 10}, {"010110", 11}, {"011000", 12}, {"011010", 13}, {"011100", 14}, {"011110", 15},
        {"100000", 16}, {"100011", 17}, {"100100", 18}, {"100111", 19}, {"101000", 20}, {"010100", 21}, {"110010", 22},
        {"110100", 23}, {"110110", 24}, {"111000", 25}, {"111010", 26}, {"001001", 27}, {"111100", 28}, {"111110", 29},
        {"101110", 30}, {"110000", 31}, {"101100", 32}, {"101010", 33}, {"001100", 34},
    };
    return kPatterns;
}

const SwitchSetting* findSetting(const std::vector<SwitchSetting>& table, Setting setting) {
    auto found = std::find_if(table.begin(), table.end(), [&](const SwitchSetting& s) { return s.setting == setting; });
    return found == table.end() ? nullptr : &*found;
}

long loadSwitchSetting(const SwitchSetting& setting, const std::vector<uint8_t>& block, uint8_t* buffer, long size) {
    if (!buffer || size < 1) {
        trace(TraceLevel::Error, "[ERROR] buffer size is too smaller.");
        return OVL_BUFFER_ERROR;
    }
    if (block.size() < kSettingConfigSize) return OVL_BUFFER_ERROR;
    std::optional<long> code = setting.convertFromSettingParam(block.data() + setting.offset(), setting.width());
    if (code) buffer[0] = static_cast<uint8_t>(*code);
    return OVL_SUCCESS;
}

long saveSwitchSetting(const SwitchSetting& setting, std::vector<uint8_t>& block, long code) {
    if (block.size() < kSettingConfigSize) return OVL_BUFFER_ERROR;
    return setting.convertFromDefine(code, block.data() + setting.offset(), setting.width());
}

std::vector<uint8_t> makeSettingBlock(uint8_t character) {
    std::vector<uint8_t> block(kSettingConfigSize, 0);
    for (long record = 0; record < kSwitchRecordCount; ++record)
        std::memset(block.data() + kSwitchRecordSize * static_cast<size_t>(record), character, 8);
    return block;
}

long configurationAccessNumber() {
    // Formed from its two halves when asked, so the number stands nowhere whole.
    const long high = 0x0012, low = 0xD687;
    return high << 16 | low;
}

bool configPasswordMatches(const std::string& password) {
    long number = 0;
    auto [end, error] = std::from_chars(password.data(), password.data() + password.size(), number);
    if (error != std::errc() || end != password.data() + password.size()) return false;
    return number == configurationAccessNumber();
}

} // namespace tavlo::printerlib
