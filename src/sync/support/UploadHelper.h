#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Error.h"

namespace tavlo {

// Sends files to the support service's upload page: log files on the server's request, copies
// of the local database for support. Every call blocks until the page answers.
class UploadHelper {
public:
    static constexpr const char* kBoundary = "1212POS1212";
    // Seconds: the page may take a while to take in a whole database.
    static constexpr double kConnectTimeout = 60;
    static constexpr double kExchangeTimeout = 600;

    // The form the page reads, line ends a single LF: the fields username, password, terminalId
    // and type ("0"), then the file as "upload" under `name`, then the closing boundary.
    static std::string multipartBody(const std::optional<std::string>& storeId,
                                     const std::optional<std::string>& password,
                                     const std::optional<std::string>& terminalId, std::string_view name,
                                     std::string_view content);

    // Sends `directory`/`fileName` under the name `useName`. False without an error when the
    // file cannot be read; false with the status as error code (0 when no reply came, in the
    // store server's error domain) when the page does not take it.
    static bool sendFile(const std::string& fileName, const std::filesystem::path& directory,
                         const std::string& useName, const std::optional<std::string>& storeId,
                         const std::optional<std::string>& password, const std::optional<std::string>& terminalId,
                         Error* error);

    // Sends a consistent copy of the first ".sqlite" file of the data directory (and its
    // sub-folders, shallower and then alphabetically first) that the page takes, as
    // "<store>_<terminal>.sqlite". False when none was taken.
    static bool uploadDatabase(const std::optional<std::string>& storeId, const std::optional<std::string>& password,
                               const std::optional<std::string>& terminalId, Error* error);
};

} // namespace tavlo
