#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

namespace tavlo {

// The device's store of secrets: items of bytes under an application tag, kept in one file of
// the data directory that only the owner may read or write. Each change rewrites the file whole
// (written aside, then renamed), so a crash leaves either the old or the new contents.
class Keychain {
public:
    enum class Status : int {
        Success = 0,
        ItemNotFound = 1,
        DuplicateItem = 2,
        IOError = 3,      // the file cannot be read or written
        Corrupt = 4,      // the file holds something that is not a keychain
    };
    using Bytes = std::vector<uint8_t>;

    static Status addItem(std::string_view tag, const Bytes& data);
    static Status findItem(std::string_view tag, Bytes* data);
    static Status deleteItem(std::string_view tag);

    // documentsDirectory()/"keychain"
    static std::filesystem::path path();
};

} // namespace tavlo
