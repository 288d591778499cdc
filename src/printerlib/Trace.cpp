#include "printerlib/Trace.h"

#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/Directories.h"

#include <atomic>
#include <fstream>
#include <mutex>
#include <optional>

namespace tavlo::printerlib {

namespace {
std::atomic<uint32_t> g_mask{0};
std::mutex g_pathMutex;
std::optional<std::filesystem::path> g_path;

std::filesystem::path keptPath() {
    if (!g_path) {
        std::string stamp = DateFormatter::format(Date::now(), "[yyyy.MM.dd HH:mm:ss]");
        g_path = documentsDirectory() / ("OVSDK_" + stamp + ".data");
    }
    return *g_path;
}
} // namespace

void DataTrace::setMask(uint32_t mask) { g_mask = mask; }

uint32_t DataTrace::mask() { return g_mask; }

bool DataTrace::append(const uint8_t* bytes, size_t size) {
    if (!(g_mask & kRawData)) return true;
    std::lock_guard lock(g_pathMutex);
    std::ofstream file(keptPath(), std::ios::binary | std::ios::app);
    if (!file) return false;
    file.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
    return static_cast<bool>(file);
}

std::filesystem::path DataTrace::path() {
    std::lock_guard lock(g_pathMutex);
    return keptPath();
}

void DataTrace::releasePath() {
    std::lock_guard lock(g_pathMutex);
    g_path.reset();
}

} // namespace tavlo::printerlib
