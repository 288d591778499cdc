#include "printerlib/TRPSettingModels.h"

#include "printerlib/FamilyHelpers.h"
#include "printerlib/Trace.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tavlo::printerlib {

namespace {

using P = SwitchSetting::Patterns;

uint8_t* switchRecord(Bytes& block, long number) {
    return block.data() + kSwitchRecordSize * static_cast<size_t>(number);
}

// In the order they are loaded.
const std::vector<SwitchSetting>& rxSettings() {
    static const P kLevels{{"100", 1}, {"010", 2}, {"001", 3}, {"000", 4}};
    static const std::vector<SwitchSetting> kSettings{
        SwitchSetting::make(Setting::SettingByUseMSW, 1, 4, 4, 108, P{{"1", 1}, {"0", 0}}),
        SwitchSetting::make(Setting::Density, 1, 8, 6, 112, kLevels, 255, "222"),
        SwitchSetting::make(Setting::PrintingSpeed, 1, 3, 1, 116, kLevels, 255, "222"),
        SwitchSetting::make(Setting::DefaultCodePage, 2, 8, 3, 120, codePagePatterns()),
        SwitchSetting::make(Setting::Emulation, 3, 3, 1, 124,
                            P{{"000", 1}, {"001", 2}, {"010", 3}, {"011", 4}, {"100", 5}}, 1, "222"),
        SwitchSetting::make(Setting::FontType, 4, 4, 3, 140, P{{"00", 1}, {"01", 2}, {"10", 3}}, std::nullopt, "22"),
        SwitchSetting::make(Setting::PaperSaveMode, 5, 4, 3, 172, P{{"00", 1}, {"01", 2}, {"10", 3}, {"11", 4}}),
        SwitchSetting::make(Setting::PaperSaveModeCuttingCorrection, 5, 5, 5, 176, P{{"1", 1}, {"0", 0}}),
        SwitchSetting::make(Setting::TwoInchMode, 5, 8, 7, 180, P{{"00", 1}, {"01", 2}, {"10", 3}, {"11", 2}}),
    };
    return kSettings;
}

constexpr Setting kRxSaveOrder[] = {
    Setting::DefaultCodePage, Setting::Emulation, Setting::PrintingSpeed, Setting::SettingByUseMSW,
    Setting::Density,         Setting::FontType,  Setting::PaperSaveMode, Setting::PaperSaveModeCuttingCorrection,
    Setting::TwoInchMode,
};

const std::vector<SwitchSetting>& trp350IISettings() {
    static const std::vector<SwitchSetting> kSettings{
        SwitchSetting::make(Setting::DefaultCodePage, 2, 8, 3, 120, codePagePatterns()),
        SwitchSetting::make(Setting::Emulation, 3, 3, 1, 124,
                            P{{"000", 1}, {"001", 2}, {"010", 3}, {"011", 4}, {"100", 5}}, 1),
        SwitchSetting::make(Setting::PrintingSpeed, 1, 2, 1, 116, P{{"00", 2}, {"01", 3}, {"10", 4}}),
        SwitchSetting::make(Setting::FontType, 4, 4, 3, 140, P{{"00", 1}, {"01", 2}, {"10", 3}}, 1),
    };
    return kSettings;
}

constexpr size_t kPowerSavingSlot = 132;
constexpr size_t kPartialCutSlot = 128;
constexpr long kTrp350IISwitches[] = {1, 2, 3, 4, 5, 6, 11};

long loadSetting(const std::vector<SwitchSetting>& table, const Bytes& block, Setting setting, uint8_t* buffer,
                 long size) {
    const SwitchSetting* found = findSetting(table, setting);
    return found ? loadSwitchSetting(*found, block, buffer, size) : OVL_NOT_SUPPORT;
}

long saveSetting(const std::vector<SwitchSetting>& table, Bytes& block, Setting setting, long code) {
    const SwitchSetting* found = findSetting(table, setting);
    return found ? saveSwitchSetting(*found, block, code) : OVL_NOT_SUPPORT;
}

bool passwordOpens(const std::string& password) {
    if (configPasswordMatches(password)) return true;
    trace(TraceLevel::Error, "[ERROR] password is not correct. password : %ld", 0L);
    return false;
}

} // namespace

// --- TRPxxx_RX

TRPxxx_RX::TRPxxx_RX(long interface) : TRP350(interface) { settingConfig() = makeSettingBlock(0); }

long TRPxxx_RX::loadStatus(Setting setting, uint8_t* buffer, long size) {
    return loadSetting(rxSettings(), settingConfig(), setting, buffer, size);
}

long TRPxxx_RX::saveStatus(Setting setting, long code) {
    return saveSetting(rxSettings(), settingConfig(), setting, code);
}

long TRPxxx_RX::loadPrinterConfiguration() {
    if (!passwordOpens(configPassword())) return OVL_NOT_SUPPORT;
    return withConnection([&]() -> long {
        Bytes& block = settingConfig();
        for (long number = 1; number <= 11; ++number) {
            if (loadMSW(number, switchRecord(block, number), 8) != OVL_SUCCESS) {
                trace(TraceLevel::Error, "[ERROR] MSW[%d] read fail.", static_cast<int>(number));
                return OVL_READ_ERROR;
            }
        }
        for (const SwitchSetting& setting : rxSettings())
            if (loadSwitchSetting(setting, block, block.data() + setting.slot, 4) != OVL_SUCCESS) return OVL_READ_ERROR;
        return OVL_SUCCESS;
    });
}

long TRPxxx_RX::savePrinterConfiguration() {
    if (!passwordOpens(configPassword())) return OVL_NOT_SUPPORT;
    Bytes& block = settingConfig();
    for (Setting setting : kRxSaveOrder) {
        const SwitchSetting* found = findSetting(rxSettings(), setting);
        if (saveSwitchSetting(*found, block, block[found->slot]) != OVL_SUCCESS) return OVL_READ_ERROR;
    }
    return withConnection([&]() -> long {
        const std::string start = " Setting Start --------\r\n[msw number]     87654321\r\n";
        if (sendCommand(Bytes(start.begin(), start.end()), false) != OVL_SUCCESS) return OVL_READ_ERROR;
        for (long number = 1; number <= 11; ++number) {
            if (number >= 8 && number <= 10) continue;
            if (saveMSW(number, switchRecord(block, number), 8) != OVL_SUCCESS) return OVL_READ_ERROR;
            char line[32];
            std::snprintf(line, sizeof line, "[msw:    %02d]     ", static_cast<int>(number));
            std::string text = line;
            for (int bit = 0; bit < 8; ++bit) text.push_back(switchRecord(block, number)[bit] == '1' ? '*' : '_');
            text += "\r\n";
            if (sendCommand(Bytes(text.begin(), text.end()), false) != OVL_SUCCESS) return OVL_READ_ERROR;
        }
        const std::string finish = "-------- Setting Finished\r\n\r\n\r\n\r\n\r\n";
        return sendCommand(Bytes(finish.begin(), finish.end()), false) == OVL_SUCCESS ? OVL_SUCCESS : OVL_READ_ERROR;
    });
}

long TRPxxx_RX::printBitmapWithImage(const PixelImage& image, long width, long level) {
    return printPicture(image, width, level, {.bands = PictureSending::Bands::Compressed, .paced = true});
}

// --- TRP350II

TRP350II::TRP350II(long interface) : TRP350(interface) { settingConfig() = makeSettingBlock(0); }

long TRP350II::loadStatus(Setting setting, uint8_t* buffer, long size) {
    if (setting == Setting::PowerSavingTime) return loadStatus_PowerSavingTime(buffer, size);
    return loadSetting(trp350IISettings(), settingConfig(), setting, buffer, size);
}

long TRP350II::saveStatus(Setting setting, long code) {
    if (setting == Setting::PowerSavingTime) return saveStatus_PowerSavingTime(code);
    return saveSetting(trp350IISettings(), settingConfig(), setting, code);
}

bool TRP350II::readReply(uint8_t (&reply)[4]) {
    std::memset(reply, 0, sizeof reply);
    return recv(reply, 4) == 4 && reply[0] == '_';
}

long TRP350II::loadStatus_PowerSavingTime(uint8_t* buffer, long size) {
    if (!buffer || size < 4) return OVL_BUFFER_ERROR;
    return withConnection([&]() -> long {
        if (send(Bytes{0x08, 0x5E, 0x50, 0x31}, true) != 4) {
            trace(TraceLevel::Error, "[ERROR] can not send command for getting powersaveTime.");
            return OVL_WRITE_ERROR;
        }
        uint8_t reply[4];
        if (!readReply(reply)) {
            trace(TraceLevel::Error, "[ERROR] can not read the powerSaveTime");
            return OVL_READ_ERROR;
        }
        buffer[0] = reply[1] != 0 ? reply[2] : 0;
        return OVL_SUCCESS;
    });
}

long TRP350II::saveStatus_PowerSavingTime(long minutes) {
    const auto held = static_cast<uint8_t>(std::clamp(minutes, 0L, 255L));
    const Bytes command =
        held > 4 ? Bytes{0x08, 0x5E, 0x50, 0x30, 0x01, held} : Bytes{0x08, 0x5E, 0x50, 0x30, 0x00, 0x00};
    return withConnection([&]() -> long {
        if (send(command, true) != 6) {
            trace(TraceLevel::Error, "[ERROR] can not send command for setting powersaveTime.");
            return OVL_WRITE_ERROR;
        }
        return OVL_SUCCESS;
    });
}

long TRP350II::loadStatus_PartialCutLevel(uint8_t* buffer, long size) {
    if (buffer && size > 0) std::memset(buffer, 0, static_cast<size_t>(size));
    return withConnection([&]() -> long {
        if (send(Bytes{0x08, 0x5E, 0x43, 0x01}, true) != 4) return OVL_WRITE_ERROR;
        uint8_t reply[4];
        if (!readReply(reply)) {
            trace(TraceLevel::Error, "[ERROR] can not read the partialCuttingLevel.");
            return OVL_READ_ERROR;
        }
        const int low = reply[1] & 0x0F;
        settingConfig()[kPartialCutSlot] = static_cast<uint8_t>((reply[1] & 0xF0) ? 105 - low : 105 + low);
        return OVL_SUCCESS;
    });
}

long TRP350II::loadPrinterConfiguration() {
    if (!passwordOpens(configPassword())) return OVL_NOT_SUPPORT;
    return withConnection([&]() -> long {
        Bytes& block = settingConfig();
        for (long number : kTrp350IISwitches)
            if (loadMSW(number, switchRecord(block, number), 8) != OVL_SUCCESS) return OVL_READ_ERROR;
        for (Setting setting : {Setting::DefaultCodePage, Setting::Emulation, Setting::PowerSavingTime,
                                Setting::PrintingSpeed, Setting::FontType}) {
            const size_t slot =
                setting == Setting::PowerSavingTime ? kPowerSavingSlot : findSetting(trp350IISettings(), setting)->slot;
            if (loadStatus(setting, block.data() + slot, 4) != OVL_SUCCESS) return OVL_READ_ERROR;
        }
        return OVL_SUCCESS;
    });
}

long TRP350II::savePrinterConfiguration() {
    if (!passwordOpens(configPassword())) return OVL_NOT_SUPPORT;
    return withConnection([&]() -> long {
        Bytes& block = settingConfig();
        for (Setting setting : {Setting::DefaultCodePage, Setting::Emulation, Setting::PowerSavingTime,
                                Setting::PrintingSpeed, Setting::FontType}) {
            const size_t slot =
                setting == Setting::PowerSavingTime ? kPowerSavingSlot : findSetting(trp350IISettings(), setting)->slot;
            if (saveStatus(setting, block[slot]) != OVL_SUCCESS) return OVL_WRITE_ERROR;
        }
        for (long number : kTrp350IISwitches)
            if (saveMSW(number, switchRecord(block, number), 8) != OVL_SUCCESS) return OVL_WRITE_ERROR;
        return OVL_SUCCESS;
    });
}

// --- TRP275

void TRP275::initalizeBarcodeInfo() {
    fillBarcodeTable(*this, [](long) { return false; });
}

Bytes TRP275::makeAttribute() const {
    Bytes attribute = TRPxxx::makeAttribute();
    attribute.insert(attribute.end(), {0x1B, 0x72, static_cast<uint8_t>((this->attribute() & kSecondColour) ? 1 : 0)});
    return attribute;
}

long TRP275::printBitmapWithImage(const PixelImage& image, long width, long level) {
    return printPicture(image, width, level, {.bands = PictureSending::Bands::EightDotColumns, .paced = true});
}

} // namespace tavlo::printerlib
