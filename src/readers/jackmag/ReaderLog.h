#pragma once

#include "platform/foundation/Text.h"

#include <string>
#include <string_view>

namespace tavlo::jackmag {

// The audio-jack driver's console lines, written only while logging is switched on.
class ReaderLog {
public:
    static void setEnabled(bool enabled);
    static bool isEnabled();
    static void write(std::string_view prefix, const std::string& text);
};

template <typename... Args> void logInfo(std::string_view fmt, const Args&... args) {
    if (ReaderLog::isEnabled()) ReaderLog::write("[JM Info] ", format(fmt, args...));
}
template <typename... Args> void logWarning(std::string_view fmt, const Args&... args) {
    if (ReaderLog::isEnabled()) ReaderLog::write("[JM Warning] ", format(fmt, args...));
}
template <typename... Args> void logError(std::string_view fmt, const Args&... args) {
    if (ReaderLog::isEnabled()) ReaderLog::write("[JM Error] ", format(fmt, args...));
}

} // namespace tavlo::jackmag
