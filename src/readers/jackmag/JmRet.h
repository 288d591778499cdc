#pragma once

#include <string>

namespace tavlo::jackmag {

// The answer of every start operation of the audio-jack reader.
enum JmRet : int {
    JMRET_SUCCESS = 0,
    JMRET_NO_READER = 1,
    JMRET_SDK_BUSY = 2,
    JMRET_MONO_AUDIO = 3,
    JMRET_ALREADY_CONNECTED = 4,
    JMRET_LOW_VOLUME = 5,
    JMRET_NOT_CONNECTED = 6,
    JMRET_NOT_APPLICABLE = 7,
    JMRET_INVALID_ARG = 8,
    JMRET_UF_INVALID_STR = 9,
    JMRET_UF_NO_FILE = 10,
    JMRET_UF_INVALID_FILE = 11,
};

// "JMRET_SUCCESS" ... "JMRET_UF_INVALID_FILE"; "<unknown code>" for any other value.
std::string jmRetText(int code);
// "Unknown", "JackMag (original)", "JackMag Pro", "JackMag II", "Shuttle"; "<unknown code>".
std::string readerTypeText(int type);

// The task running on the reader: the engine's own codes and the public ones callers see.
enum class RunningTask : int { None = 0, Connect = 1, Command = 2, Swipe = 3, FirmwareUpdate = 4 };
// Public codes: none 0, connect 1, swipe 2, command 3, firmware update 4.
int publicTaskCode(int internalCode);

} // namespace tavlo::jackmag
