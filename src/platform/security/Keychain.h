#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

namespace tavlo {

// The device's store of secrets: items of bytes under an application tag, kept in one file of
// the data directory that only the owner may read or write. Each change rewrites the file whole
// (written aside, then renamed), so a crash leaves either the old or the new contents. A file that
// is not a keychain (a wrong header, a line that is not hex, binary) is set aside, kept under
// "keychain.damaged" (numbered when that name is taken), and the keychain starts empty.
class Keychain {
public:
    enum class Status : int {
        Success = 0,
        ItemNotFound = 1,
        DuplicateItem = 2,
        IOError = 3, // the file cannot be read or written
        Corrupt = 4, // the file holds something that is not a keychain, and it could not be set aside
    };
    using Bytes = std::vector<uint8_t>;

    static Status addItem(std::string_view tag, const Bytes& data);
    static Status findItem(std::string_view tag, Bytes* data);
    static Status deleteItem(std::string_view tag);

    // documentsDirectory()/"keychain"
    static std::filesystem::path path();
    // Where a damaged keychain was set aside since the last call, once; empty when none was.
    static std::filesystem::path takeSetAside();
};

} // namespace tavlo
