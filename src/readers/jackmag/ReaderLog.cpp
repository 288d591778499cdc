#include "readers/jackmag/ReaderLog.h"

#include <atomic>
#include <cstdio>

namespace tavlo::jackmag {

namespace {
std::atomic<bool> g_enabled{false};
}

void ReaderLog::setEnabled(bool enabled) { g_enabled = enabled; }

bool ReaderLog::isEnabled() { return g_enabled; }

void ReaderLog::write(std::string_view prefix, const std::string& text) {
    std::string line(prefix);
    line += text;
    line += '\n';
    std::fputs(line.c_str(), stderr);
}

} // namespace tavlo::jackmag
