#include "readers/dockmag/DockMagLog.h"

#include <atomic>
#include <cstdio>

namespace tavlo::dockmag {

namespace {
std::atomic<bool> g_enabled{false};
}

void DockMagLog::setEnabled(bool enabled) { g_enabled = enabled; }

bool DockMagLog::isEnabled() { return g_enabled; }

void DockMagLog::write(const std::string& line) {
    std::string text = line + "\n";
    std::fputs(text.c_str(), stderr);
}

} // namespace tavlo::dockmag
