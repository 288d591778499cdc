#include "platform/foundation/Directories.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <set>
#include <system_error>

namespace tavlo {

namespace {

namespace fs = std::filesystem;

constexpr fs::perms kGroupAndOthers = fs::perms::group_all | fs::perms::others_all;

bool ownedByUs(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && info.st_uid == ::geteuid();
}

// The data folder holds the store's records, card data and the log: the owner alone may reach
// it (0700) and what it holds (files 0600, sub-folders 0700), whatever an earlier version or a
// wider umask left. A folder that is not ours alone (owned by another user, or sticky like a
// shared temporary folder) is left as it is, and so are links and other users' files.
void makePrivate(const fs::path& dir) {
    struct stat info {};
    if (::lstat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() ||
        (info.st_mode & S_ISVTX))
        return;
    std::error_code ec;
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::replace, ec);
    for (fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
        std::error_code entryError;
        fs::file_status status = it->symlink_status(entryError);
        if (entryError || fs::is_symlink(status) || (status.permissions() & kGroupAndOthers) == fs::perms::none ||
            !ownedByUs(it->path()))
            continue;
        fs::permissions(it->path(), kGroupAndOthers, fs::perm_options::remove, entryError);
    }
}

// Whether this process has not yet checked the folder. Never destroyed: threads may ask while
// the process exits.
bool firstUse(const fs::path& dir) {
    static auto* mutex = new std::mutex;
    static auto* checked = new std::set<fs::path>;
    std::lock_guard lock(*mutex);
    return checked->insert(dir).second;
}

} // namespace

std::filesystem::path homeDirectory() {
    const char* home = std::getenv("HOME");
    return home && *home ? std::filesystem::path(home) : std::filesystem::path("/tmp");
}

std::filesystem::path documentsDirectory() {
    const char* env = std::getenv("TAVLO_HOME");
    std::filesystem::path dir = env && *env ? std::filesystem::path(env) : homeDirectory() / ".local/share/tavlo";
    std::error_code ec;
    bool made = std::filesystem::create_directories(dir, ec);
    if (firstUse(dir) || made) makePrivate(dir);
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
