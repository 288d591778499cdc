#include "readers/jackmag/JmRet.h"

#include <array>

namespace tavlo::jackmag {

std::string jmRetText(int code) {
    static const std::array<const char*, 12> texts = {
        "JMRET_SUCCESS",           "JMRET_NO_READER",      "JMRET_SDK_BUSY",      "JMRET_MONO_AUDIO",
        "JMRET_ALREADY_CONNECTED", "JMRET_LOW_VOLUME",     "JMRET_NOT_CONNECTED", "JMRET_NOT_APPLICABLE",
        "JMRET_INVALID_ARG",       "JMRET_UF_INVALID_STR", "JMRET_UF_NO_FILE",    "JMRET_UF_INVALID_FILE",
    };
    if (code < 0 || code >= static_cast<int>(texts.size())) return "<unknown code>";
    return texts[static_cast<size_t>(code)];
}

std::string readerTypeText(int type) {
    static const std::array<const char*, 5> texts = {"Unknown", "JackMag (original)", "JackMag Pro", "JackMag II",
                                                     "Shuttle"};
    if (type < 0 || type >= static_cast<int>(texts.size())) return "<unknown code>";
    return texts[static_cast<size_t>(type)];
}

int publicTaskCode(int internalCode) {
    switch (static_cast<RunningTask>(internalCode)) {
    case RunningTask::Connect: return 1;
    case RunningTask::Command: return 3;
    case RunningTask::Swipe: return 2;
    case RunningTask::FirmwareUpdate: return 4;
    default: return 0;
    }
}

} // namespace tavlo::jackmag
