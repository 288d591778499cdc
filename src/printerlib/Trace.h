#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace tavlo::printerlib {

// What a trace entry is about.
enum class TraceLevel { Entry = 1, Exit = 2, Error = 4, Detail = 8, DrainTimeout = 12 };

// The library's one trace entry point. Operations hand it what they did and why they failed
// ("[ERROR] ..."); it keeps none of it: the library writes no log of its own.
template <typename... Args> inline void trace(TraceLevel, std::string_view, const Args&...) {}

// The raw data trace: with bit kRawData of the process-wide mask set, every chunk a transport has
// just written to the printer is appended to "OVSDK_[yyyy.MM.dd HH:mm:ss].data" in the documents
// directory, the name taken from the local time when it is first needed and kept for the process.
class DataTrace {
public:
    static constexpr uint32_t kRawData = 0x20;

    static void setMask(uint32_t mask);
    static uint32_t mask();
    // Appends the bytes when the mask asks for it; false when the file cannot be written.
    static bool append(const uint8_t* bytes, size_t size);
    // The file's path, worked out on first use.
    static std::filesystem::path path();
    // Forgets the kept path; the next chunk starts a file with a new name.
    static void releasePath();
};

} // namespace tavlo::printerlib
