// MPPxxx: the memory-switch settings and the network interface block.
#include "printerlib/MPPxxx.h"

#include "platform/foundation/Clock.h"
#include "printerlib/FamilyHelpers.h"
#include "printerlib/NetFunctions.h"
#include "printerlib/Trace.h"

#include <algorithm>
#include <cstring>

namespace tavlo::printerlib {

namespace {

using P = SwitchSetting::Patterns;
constexpr long kMaxPowerOffTime = 90;
constexpr size_t kNameOffset = 18;
constexpr size_t kInactivityOffset = 619;

// In the order they are loaded and saved.
const std::vector<SwitchSetting>& mobileSettings() {
    static const std::vector<SwitchSetting> kSettings{
        SwitchSetting::make(
            Setting::Density, 1, 3, 1, 112,
            P{{"111", 1}, {"110", 2}, {"100", 3}, {"010", 4}, {"001", 5}, {"000", 6}, {"101", 7}, {"011", 8}},
            OVL_CS_NOTSET, "222"),
        SwitchSetting::make(Setting::TwoByteMode, 1, 4, 4, 164, P{{"1", 1}, {"0", 0}}),
        SwitchSetting::make(Setting::PrintingSpeed, 1, 5, 5, 116, P{{"0", 1}, {"1", 2}}),
        SwitchSetting::make(Setting::FontType, 8, 2, 1, 140, P{{"00", 1}, {"10", 2}, {"01", 3}}, 1),
        SwitchSetting::make(Setting::DefaultCodePage, 2, 8, 3, 120, codePagePatterns()),
        SwitchSetting::make(Setting::PowerOffTime, 5, 8, 1, 168, {}),
        SwitchSetting::make(Setting::PowerSavingTime, 6, 8, 1, 132, {}),
        SwitchSetting::make(Setting::MsrTrigger, 7, 8, 5, 156,
                            P{{"0000", 0},
                              {"1000", 1},
                              {"0001", 2},
                              {"0010", 3},
                              {"0011", 4},
                              {"0100", 5},
                              {"0101", 6},
                              {"0110", 7},
                              {"0111", 8}},
                            0),
        SwitchSetting::make(Setting::PaperEndBeep, 8, 3, 3, 144, P{{"1", 1}, {"0", 0}}),
        SwitchSetting::make(Setting::LowBatteryBeep, 8, 4, 4, 148, P{{"0", 1}, {"1", 0}}),
        SwitchSetting::make(Setting::MsrDataMode, 8, 7, 6, 160, P{{"00", 1}, {"01", 2}, {"10", 3}}, 1),
    };
    return kSettings;
}

} // namespace

long MPPxxx::loadStatus(Setting setting, uint8_t* buffer, long size) {
    const SwitchSetting* found = findSetting(mobileSettings(), setting);
    if (!found) return OVL_NOT_SUPPORT;
    if (!didLoadStatus_MSW()) trace(TraceLevel::Detail, "MSW did not loaded");
    return loadSwitchSetting(*found, settingConfig(), buffer, size);
}

long MPPxxx::saveStatus(Setting setting, long code) {
    const SwitchSetting* found = findSetting(mobileSettings(), setting);
    return found ? saveSwitchSetting(*found, settingConfig(), code) : OVL_NOT_SUPPORT;
}

long MPPxxx::loadPrinterConfiguration() {
    if (!configPasswordMatches(configPassword())) {
        trace(TraceLevel::Error, "[ERROR] password is not correct. password : %ld", 0L);
        return OVL_NOT_SUPPORT;
    }
    return withConnection([&]() -> long {
        Bytes& block = settingConfig();
        for (long number : {1, 2, 5, 6, 7, 8}) {
            if (loadMSW(number, block.data() + kSwitchRecordSize * static_cast<size_t>(number), 8) != OVL_SUCCESS) {
                trace(TraceLevel::Error, " error: MSW[%ld] read fail.", number);
                return OVL_READ_ERROR;
            }
        }
        for (const SwitchSetting& setting : mobileSettings()) {
            if (loadStatus(setting.setting, block.data() + setting.slot, 4) != OVL_SUCCESS) return OVL_READ_ERROR;
        }
        block[168] = static_cast<uint8_t>(std::min<long>(block[168], kMaxPowerOffTime));
        return OVL_SUCCESS;
    });
}

long MPPxxx::savePrinterConfiguration() {
    if (!configPasswordMatches(configPassword())) {
        trace(TraceLevel::Error, "password is not correct. password : %ld", 0L);
        return OVL_NOT_SUPPORT;
    }
    Bytes& block = settingConfig();
    for (const SwitchSetting& setting : mobileSettings()) {
        if (saveStatus(setting.setting, block[setting.slot]) != OVL_SUCCESS) {
            trace(TraceLevel::Error, "[ERROR] setting %d save fail.", static_cast<int>(setting.setting));
            return OVL_WRITE_ERROR;
        }
    }
    return withConnection([&]() -> long {
        if (send(Bytes{0x1D, 0x28, 0x45, 0x03, 0x00, 0x01, 0x49, 0x4E}, true) != 8) return OVL_WRITE_ERROR;
        uint8_t reply[3] = {};
        long got = recv(reply, 3);
        if (got <= 0) {
            Clock::currentShared()->sleepFor(1.0);
            got = recv(reply, 3);
        }
        long result = OVL_SUCCESS;
        if (got <= 0) {
            trace(TraceLevel::Error, "[ERROR] setting start fail.");
            result = OVL_READ_ERROR;
        } else if (got != 3 || reply[0] != 0x37 || reply[1] != 0x20 || reply[2] != 0x00) {
            trace(TraceLevel::Error, "[ERROR] setting start fail - no response..");
            result = OVL_READ_ERROR;
        }
        for (long number = 1; number <= 11 && result == OVL_SUCCESS; ++number) {
            if (number == 3 || number == 4) continue;
            if (saveMSW(number, block.data() + kSwitchRecordSize * static_cast<size_t>(number), 8) != OVL_SUCCESS) {
                trace(TraceLevel::Error, "[ERROR] MSW[%d] read fail.", static_cast<int>(number));
                result = OVL_READ_ERROR;
            }
        }
        // Once the printer may be in its setting mode, it is always told to leave it.
        if (send(Bytes{0x1D, 0x28, 0x45, 0x04, 0x00, 0x02, 0x4F, 0x55, 0x54}, true) != 9) {
            trace(TraceLevel::Error, "[ERROR] setting End fail.");
            if (result == OVL_SUCCESS) result = OVL_WRITE_ERROR;
        }
        return result;
    });
}

long MPPxxx::loadConfiguration() {
    std::shared_ptr<OVPrinter> printer = target();
    if (!printer || printer->connectionClass() != OVPrinter::WiFi || !printer->address()) return OVL_NOT_SUPPORT;
    NetFunctions link;
    link.setConnectingTimeout(20.0f);
    if (!link.connect("", *printer->address(), configurationPort_, false)) return OVL_CONNECT_ERROR;
    Bytes& block = config();
    std::fill(block.begin(), block.end(), 0);
    Bytes request{'_', '_', '[', 'I', '_', 'F', ']', '_', '_', '[', 'I', 'F', '_', '_', 'G', 'E', 'T', ']'};
    const uint16_t checksum = Checksum(request.data(), static_cast<long>(request.size()));
    request.push_back(static_cast<uint8_t>(checksum & 0xFF)); // the swapped sum: its high byte first
    request.push_back(static_cast<uint8_t>(checksum >> 8));
    long result = OVL_SUCCESS;
    if (link.send(request.data(), static_cast<long>(request.size())) != static_cast<long>(request.size())) {
        trace(TraceLevel::Error, "[ERROR] can not send command to printer for configuration.");
        result = OVL_WRITE_ERROR;
    } else if (link.recv(block.data(), static_cast<long>(kConfigSize), 20.0f) != static_cast<long>(kConfigSize)) {
        trace(TraceLevel::Error, "[ERROR] can not receive the configuration from printer.");
        result = OVL_READ_ERROR;
    } else {
        const char* name = reinterpret_cast<const char*>(block.data() + kNameOffset);
        printer->setName(std::string(name, strnlen(name, kConfigSize - kNameOffset)));
        printer->setInactivityTime(static_cast<uint16_t>(block[kInactivityOffset] << 8 | block[kInactivityOffset + 1]));
        trace(TraceLevel::Detail, "my Inactivity time is %d.", static_cast<int>(printer->inactivityTime()));
    }
    link.disconnect(false);
    return result;
}

} // namespace tavlo::printerlib
