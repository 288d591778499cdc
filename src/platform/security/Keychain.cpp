#include "platform/security/Keychain.h"

#include "platform/foundation/Directories.h"
#include "platform/foundation/Text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <mutex>
#include <string>
#include <utility>

namespace tavlo {

namespace {

// File layout: a header line, then one line per item: hex of the tag, a blank, hex of the data.
constexpr std::string_view kHeader = "tavlo-keychain 1";

std::mutex g_mutex;

using Items = std::vector<std::pair<std::string, Keychain::Bytes>>;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool fromHex(std::string_view hex, std::string& out) {
    if (hex.size() % 2 != 0) return false;
    out.clear();
    for (size_t i = 0; i < hex.size(); i += 2) {
        int high = hexValue(hex[i]);
        int low = hexValue(hex[i + 1]);
        if (high < 0 || low < 0) return false;
        out += static_cast<char>(high * 16 + low);
    }
    return true;
}

std::filesystem::path g_setAside;

// Moves a damaged file out of the way, under the first free "keychain.damaged[.N]"; false when
// it cannot be moved (it is then left as it is).
bool setAside(const std::filesystem::path& file) {
    std::error_code ec;
    for (int n = 0; n < 1000; ++n) {
        std::filesystem::path aside = file.string() + ".damaged" + (n == 0 ? "" : "." + std::to_string(n));
        if (std::filesystem::exists(aside, ec) || ec) continue;
        std::filesystem::rename(file, aside, ec);
        if (ec) return false;
        g_setAside = aside;
        return true;
    }
    return false;
}

Keychain::Status readItems(Items& items);

// The keychain's items; a damaged file is set aside and counts as an empty keychain.
Keychain::Status load(Items& items) {
    Keychain::Status status = readItems(items);
    if (status != Keychain::Status::Corrupt) return status;
    items.clear();
    return setAside(Keychain::path()) ? Keychain::Status::Success : Keychain::Status::Corrupt;
}

Keychain::Status readItems(Items& items) {
    items.clear();
    const std::filesystem::path file = Keychain::path();
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return ec ? Keychain::Status::IOError : Keychain::Status::Success;
    std::ifstream in(file, std::ios::binary);
    if (!in) return Keychain::Status::IOError;
    std::string line;
    if (!std::getline(in, line) || line != kHeader) return Keychain::Status::Corrupt;
    while (std::getline(in, line)) {
        size_t blank = line.find(' ');
        std::string tag, data;
        if (blank == std::string::npos || !fromHex(std::string_view(line).substr(0, blank), tag) ||
            !fromHex(std::string_view(line).substr(blank + 1), data))
            return Keychain::Status::Corrupt;
        items.emplace_back(std::move(tag), Keychain::Bytes(data.begin(), data.end()));
    }
    return in.bad() ? Keychain::Status::IOError : Keychain::Status::Success;
}

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

Keychain::Status store(const Items& items) {
    std::string text(kHeader);
    text += '\n';
    for (const auto& [tag, data] : items) {
        text += hexEncode(tag);
        text += ' ';
        text += hexEncode(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
        text += '\n';
    }
    const std::filesystem::path file = Keychain::path();
    const std::filesystem::path aside = file.string() + ".new";
    int fd = ::open(aside.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0) return Keychain::Status::IOError;
    // The umask cannot widen 0600, but a left-over file from before could be wider.
    bool ok = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 && writeAll(fd, text) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok || ::rename(aside.c_str(), file.c_str()) != 0) {
        ::unlink(aside.c_str());
        return Keychain::Status::IOError;
    }
    return Keychain::Status::Success;
}

auto findTag(Items& items, std::string_view tag) {
    for (auto it = items.begin(); it != items.end(); ++it)
        if (it->first == tag) return it;
    return items.end();
}

} // namespace

std::filesystem::path Keychain::path() { return documentsDirectory() / "keychain"; }

std::filesystem::path Keychain::takeSetAside() {
    std::lock_guard lock(g_mutex);
    return std::exchange(g_setAside, std::filesystem::path());
}

Keychain::Status Keychain::addItem(std::string_view tag, const Bytes& data) {
    std::lock_guard lock(g_mutex);
    Items items;
    if (Status s = load(items); s != Status::Success) return s;
    if (findTag(items, tag) != items.end()) return Status::DuplicateItem;
    items.emplace_back(std::string(tag), data);
    return store(items);
}

Keychain::Status Keychain::findItem(std::string_view tag, Bytes* data) {
    std::lock_guard lock(g_mutex);
    Items items;
    if (Status s = load(items); s != Status::Success) return s;
    auto it = findTag(items, tag);
    if (it == items.end()) return Status::ItemNotFound;
    if (data) *data = it->second;
    return Status::Success;
}

Keychain::Status Keychain::deleteItem(std::string_view tag) {
    std::lock_guard lock(g_mutex);
    Items items;
    if (Status s = load(items); s != Status::Success) return s;
    auto it = findTag(items, tag);
    if (it == items.end()) return Status::ItemNotFound;
    items.erase(it);
    return store(items);
}

} // namespace tavlo
