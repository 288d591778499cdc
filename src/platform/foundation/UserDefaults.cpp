#include "platform/foundation/UserDefaults.h"

#include "platform/foundation/Directories.h"
#include "platform/foundation/Text.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <sstream>
#include <unistd.h>

namespace tavlo {

namespace {

// One entry a line: a type letter, the key and the value, separated by tabs, escaped so that any
// text (a password with a tab or a line feed) survives.
std::string escape(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

std::string unescape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            char n = text[++i];
            out += n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n;
        } else {
            out += c;
        }
    }
    return out;
}

std::string line(const std::string& key, const UserDefaults::Value& value) {
    struct {
        std::string operator()(const std::string& s) const { return "s\t" + escape(s); }
        std::string operator()(int64_t i) const { return "i\t" + std::to_string(i); }
        std::string operator()(bool b) const { return b ? "b\t1" : "b\t0"; }
        std::string operator()(double d) const { return format("d\t%.17g", d); }
    } visitor;
    std::string typed = std::visit(visitor, value);
    return typed.substr(0, 2) + escape(key) + "\t" + typed.substr(2) + "\n";
}

std::optional<std::pair<std::string, UserDefaults::Value>> parse(const std::string& text) {
    auto parts = split(text, "\t");
    if (parts.size() != 3 || parts[0].size() != 1) return std::nullopt;
    std::string key = unescape(parts[1]);
    switch (parts[0][0]) {
    case 's': return std::pair{key, UserDefaults::Value(unescape(parts[2]))};
    case 'i': return std::pair{key, UserDefaults::Value(static_cast<int64_t>(longLongValue(parts[2])))};
    case 'b': return std::pair{key, UserDefaults::Value(parts[2] == "1")};
    case 'd': return std::pair{key, UserDefaults::Value(std::strtod(parts[2].c_str(), nullptr))};
    default: return std::nullopt;
    }
}

} // namespace

UserDefaults& UserDefaults::standardUserDefaults() {
    static std::mutex mutex;
    static std::unique_ptr<UserDefaults> instance;
    std::lock_guard lock(mutex);
    auto file = documentsDirectory() / kFileName;
    if (!instance || instance->file() != file) instance = std::make_unique<UserDefaults>(file);
    return *instance;
}

UserDefaults::UserDefaults(std::filesystem::path file) : file_(std::move(file)) { load(); }

void UserDefaults::load() {
    std::ifstream in(file_);
    std::string text;
    while (std::getline(in, text)) {
        // A damaged line is skipped; the others are kept.
        if (auto entry = parse(text)) values_[entry->first] = std::move(entry->second);
    }
}

bool UserDefaults::save() {
    std::ostringstream out;
    for (const auto& [key, value] : values_) out << line(key, value);
    std::string data = out.str();

    std::error_code ec;
    std::filesystem::create_directories(file_.parent_path(), ec);
    std::string temp = file_.string() + ".XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC); // owner-only: the file holds the store password
    if (fd < 0) {
        writeError_ = std::strerror(errno);
        dirty_ = true;
        return false;
    }
    bool ok = true;
    for (size_t done = 0; ok && done < data.size();) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) ok = false;
        else done += static_cast<size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && std::rename(temp.c_str(), file_.c_str()) == 0;
    if (!ok) {
        writeError_ = std::strerror(errno);
        ::unlink(temp.c_str());
    }
    dirty_ = !ok;
    return ok;
}

bool UserDefaults::isWritable(std::string* reason) {
    std::lock_guard lock(mutex_);
    if (save()) return true;
    if (reason) *reason = writeError_;
    return false;
}

std::optional<UserDefaults::Value> UserDefaults::objectForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    auto it = values_.find(key);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string> UserDefaults::stringForKey(const std::string& key) const {
    auto value = objectForKey(key);
    if (!value) return std::nullopt;
    struct {
        std::string operator()(const std::string& s) const { return s; }
        std::string operator()(int64_t i) const { return std::to_string(i); }
        std::string operator()(bool b) const { return b ? "1" : "0"; }
        std::string operator()(double d) const { return format("%g", d); }
    } visitor;
    return std::visit(visitor, *value);
}

int64_t UserDefaults::integerForKey(const std::string& key) const {
    auto value = objectForKey(key);
    if (!value) return 0;
    struct {
        int64_t operator()(const std::string& s) const { return longLongValue(s); }
        int64_t operator()(int64_t i) const { return i; }
        int64_t operator()(bool b) const { return b ? 1 : 0; }
        int64_t operator()(double d) const {
            return std::isfinite(d) && std::fabs(d) < 9.2e18 ? static_cast<int64_t>(d) : 0;
        }
    } visitor;
    return std::visit(visitor, *value);
}

double UserDefaults::doubleForKey(const std::string& key) const {
    auto value = objectForKey(key);
    if (!value) return 0;
    struct {
        double operator()(const std::string& s) const { return doubleValue(s); }
        double operator()(int64_t i) const { return static_cast<double>(i); }
        double operator()(bool b) const { return b ? 1 : 0; }
        double operator()(double d) const { return d; }
    } visitor;
    return std::visit(visitor, *value);
}

bool UserDefaults::boolForKey(const std::string& key) const {
    auto value = objectForKey(key);
    if (!value) return false;
    struct {
        bool operator()(const std::string& s) const { return boolValue(s); }
        bool operator()(int64_t i) const { return i != 0; }
        bool operator()(bool b) const { return b; }
        bool operator()(double d) const { return d != 0; }
    } visitor;
    return std::visit(visitor, *value);
}

void UserDefaults::setObject(std::optional<Value> value, const std::string& key) {
    if (!value) return removeObjectForKey(key);
    std::lock_guard lock(mutex_);
    values_[key] = std::move(*value);
    save();
}

void UserDefaults::removeObjectForKey(const std::string& key) {
    std::lock_guard lock(mutex_);
    if (values_.erase(key)) save();
}

bool UserDefaults::synchronize() {
    std::lock_guard lock(mutex_);
    return !dirty_ || save();
}

} // namespace tavlo
