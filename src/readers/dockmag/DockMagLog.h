#pragma once

#include "platform/foundation/Text.h"

#include <string>
#include <string_view>

namespace tavlo::dockmag {

// The accessory reader's console lines (standard error), written only while logging is on.
// Card data is never written, only its length.
class DockMagLog {
public:
    static void setEnabled(bool enabled);
    static bool isEnabled();
    static void write(const std::string& line);
};

// "[DM Info] " and the formatted text, while logging is on.
template <typename... Args> void logInfo(std::string_view fmt, const Args&... args) {
    if (DockMagLog::isEnabled()) DockMagLog::write("[DM Info] " + format(fmt, args...));
}

// A line of the event thread, while logging is on.
template <typename... Args> void logThread(std::string_view fmt, const Args&... args) {
    if (DockMagLog::isEnabled()) DockMagLog::write(format(fmt, args...));
}

} // namespace tavlo::dockmag
