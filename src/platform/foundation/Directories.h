#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace tavlo {

// The data directory: $TAVLO_HOME, else ~/.local/share/tavlo; created on first use. At the
// first use in a process, and whenever it is made again, it is made the owner's alone: the
// folder 0700 and what it holds without any right of the group or others.
std::filesystem::path documentsDirectory();
std::filesystem::path temporaryDirectory();
std::filesystem::path homeDirectory();
// Free bytes on the file system that holds `path`; nullopt when it cannot be read.
std::optional<uint64_t> freeSpace(const std::filesystem::path& path);

} // namespace tavlo
