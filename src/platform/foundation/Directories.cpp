#include "platform/foundation/Directories.h"

#include <cstdlib>
#include <system_error>

namespace tavlo {

std::filesystem::path homeDirectory() {
    const char* home = std::getenv("HOME");
    return home && *home ? std::filesystem::path(home) : std::filesystem::path("/tmp");
}

std::filesystem::path documentsDirectory() {
    const char* env = std::getenv("TAVLO_HOME");
    std::filesystem::path dir = env && *env ? std::filesystem::path(env) : homeDirectory() / ".local/share/tavlo";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return dir;
}

std::filesystem::path temporaryDirectory() {
    std::error_code ec;
    auto dir = std::filesystem::temp_directory_path(ec);
    return ec ? std::filesystem::path("/tmp") : dir;
}

std::optional<uint64_t> freeSpace(const std::filesystem::path& path) {
    std::error_code ec;
    auto info = std::filesystem::space(path, ec);
    if (ec) return std::nullopt;
    return info.available;
}

} // namespace tavlo
