#include "platform/foundation/LocalizedStrings.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <optional>
#include <sstream>

namespace tavlo {

namespace {

class Reader {
public:
    explicit Reader(std::string text) : s_(std::move(text)) {}

    // Skips blanks and comments; false at the end.
    bool skip() {
        while (i_ < s_.size()) {
            if (std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
            else if (s_.compare(i_, 2, "//") == 0) i_ = std::min(s_.find('\n', i_), s_.size());
            else if (s_.compare(i_, 2, "/*") == 0)
                i_ = s_.find("*/", i_ + 2) == std::string::npos ? s_.size() : s_.find("*/", i_ + 2) + 2;
            else return true;
        }
        return false;
    }
    bool take(char c) {
        if (!skip() || s_[i_] != c) return false;
        ++i_;
        return true;
    }
    std::optional<std::string> quoted() {
        if (!take('"')) return std::nullopt;
        std::string out;
        while (i_ < s_.size()) {
            char c = s_[i_++];
            if (c == '"') return out;
            if (c == '\n') return std::nullopt; // an unclosed quote ends at the line
            if (c == '\\' && i_ < s_.size()) {
                char n = s_[i_++];
                out += n == 'n' ? '\n' : n == 't' ? '\t' : n == 'r' ? '\r' : n;
            } else {
                out += c;
            }
        }
        return std::nullopt;
    }
    // After a damaged entry: go on after the next ';' or line end.
    void recover() {
        while (i_ < s_.size() && s_[i_] != ';' && s_[i_] != '\n') ++i_;
        if (i_ < s_.size()) ++i_;
    }

private:
    std::string s_;
    size_t i_ = 0;
};

} // namespace

LocalizedStrings& LocalizedStrings::main() {
    static LocalizedStrings strings(std::filesystem::path(TAVLO_RESOURCES_DIR) / "en.strings");
    return strings;
}

size_t LocalizedStrings::load(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    if (in) text << in.rdbuf();
    std::map<std::string, std::string> table;
    Reader reader(text.str());
    while (reader.skip()) {
        auto key = reader.quoted();
        if (!key || !reader.take('=')) {
            reader.recover();
            continue;
        }
        auto value = reader.quoted();
        if (!value) {
            reader.recover();
            continue;
        }
        if (reader.take(';')) table[*key] = *value; // without its ';' the entry is dropped, not what follows
    }
    std::lock_guard lock(mutex_);
    table_ = std::move(table);
    return table_.size();
}

std::string LocalizedStrings::lookup(const std::string& key) const {
    std::lock_guard lock(mutex_);
    auto it = table_.find(key);
    return it == table_.end() ? key : it->second;
}

} // namespace tavlo
