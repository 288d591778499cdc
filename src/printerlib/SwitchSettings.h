#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tavlo::printerlib {

// The settings some printers keep in their memory switches. A model's settings block
// (settingConfig, 184 bytes) holds the image of the switches, twelve records of 9 bytes (record n
// at byte 9 x n: eight characters '0' or '1', bit 8 first, then a zero byte), and from byte 108
// the setting codes, one 32-bit slot each (a load writes the code into the slot's first byte).
// Each family lays its settings out in the switches in its own way (its table of SwitchSetting).
enum class Setting {
    Density,
    TwoByteMode,
    PrintingSpeed,
    FontType,
    DefaultCodePage,
    PowerOffTime,
    PowerSavingTime,
    MsrTrigger,
    PaperEndBeep,
    LowBatteryBeep,
    MsrDataMode,
    SettingByUseMSW,
    Emulation,
    PaperSaveMode,
    PaperSaveModeCuttingCorrection,
    TwoInchMode,
    PartialCuttingLevel,
};

constexpr size_t kSettingConfigSize = 184;
constexpr size_t kSwitchRecordSize = 9;
constexpr long kSwitchRecordCount = 12;
// A bit pattern that no code stands for.
constexpr long OVL_CS_NOTSET = -1;

// Where a setting lies in the switches and how its bits read.
struct SwitchSetting {
    using Patterns = std::vector<std::pair<std::string, long>>;

    Setting setting;
    int msw;
    int highBit;
    int lowBit;
    size_t slot;
    // Pattern (bit highBit first) and code, read from the first match either way; empty: the bits
    // are an unsigned number, the high bit highest.
    Patterns patterns;
    // The code of a pattern not listed; none leaves the caller's byte as it was.
    std::optional<long> otherwise = OVL_CS_NOTSET;
    // Written for a code not listed; empty: nothing is written.
    std::string unknownCode;

    static SwitchSetting make(Setting setting, int msw, int highBit, int lowBit, size_t slot, Patterns patterns,
                              std::optional<long> otherwise = OVL_CS_NOTSET, std::string unknownCode = {}) {
        return {setting, msw, highBit, lowBit, slot, std::move(patterns), otherwise, std::move(unknownCode)};
    }

    long width() const { return highBit - lowBit + 1; }
    // Offset of the setting's first character in the settings block.
    size_t offset() const { return kSwitchRecordSize * static_cast<size_t>(msw) + static_cast<size_t>(8 - highBit); }
    // The code of the characters (the first is bit highBit); none as `otherwise` says.
    std::optional<long> convertFromSettingParam(const uint8_t* bits, long size) const;
    // Zeroes `size` characters and writes the code's pattern. 109 when size is below the width;
    // for a code not listed, writes `unknownCode` when there is one and answers 0, else leaves the
    // characters, answering 0 for a code that means "not set" (0 in a slot never loaded, -1, or
    // 255 as a slot holds -1) and 108 for any other.
    long convertFromDefine(long code, uint8_t* bits, long size) const;
};

// The code page patterns of memory switch 2, bits 8 to 3.
const SwitchSetting::Patterns& codePagePatterns();

// The setting in the table; null when the family does not have it.
const SwitchSetting* findSetting(const std::vector<SwitchSetting>& table, Setting setting);
// The setting's code from the image into buffer[0]; 109 for a size below 1 or no buffer.
long loadSwitchSetting(const SwitchSetting& setting, const std::vector<uint8_t>& block, uint8_t* buffer, long size);
// The code's pattern into the image.
long saveSwitchSetting(const SwitchSetting& setting, std::vector<uint8_t>& block, long code);
// A settings block: zeroed, its switch records filled with `character` ('0' or 0).
std::vector<uint8_t> makeSettingBlock(uint8_t character);

// Whether the configuration password the application set opens the printer's settings.
bool configPasswordMatches(const std::string& password);
// The number that opens them.
long configurationAccessNumber();

} // namespace tavlo::printerlib
