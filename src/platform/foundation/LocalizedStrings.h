#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <string>

namespace tavlo {

// The program's texts are written in English and used as their own keys; a strings file may give
// another text for a key. Lines of the file read `"key" = "value";` with \" \\ \n \t escapes and
// /* */ or // comments. A key the file lacks gives the key back.
class LocalizedStrings {
public:
    // The table of resources/en.strings, loaded on first use.
    static LocalizedStrings& main();

    LocalizedStrings() = default;
    explicit LocalizedStrings(const std::filesystem::path& file) { load(file); }

    // Replaces the table with the file's entries; a missing file leaves an empty table. Entries
    // that cannot be read are skipped; answers how many were read.
    size_t load(const std::filesystem::path& file);
    std::string lookup(const std::string& key) const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, std::string> table_;
};

// The text to show for an English text.
inline std::string localized(const std::string& key) { return LocalizedStrings::main().lookup(key); }

} // namespace tavlo
