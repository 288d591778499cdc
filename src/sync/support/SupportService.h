#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tavlo {

// Where the maker's support service is: one host for the upload page (plain HTTP) and the mail
// relay (HTTPS), taken from the user default "support_host" ("name" or "name:port"). Without it
// the service is not configured: uploads and mails fail at once, nothing goes on the network.
class SupportService {
public:
    static constexpr const char* kHostKey = "support_host";
    // The sender of a mail that names none.
    static constexpr const char* kDefaultSender = "terminal@tavlo.example";
    // Where exception reports and command results go.
    static constexpr const char* kSupportMailbox = "support@tavlo.example";

    static std::optional<std::string> host();
    static std::optional<std::string> uploadURL(); // "http://<host>/UploadFile.jsp"
    static std::optional<std::string> relayURL();  // "https://<host>/DBEmailDelegate.jsp"
    static constexpr const char* kNotConfigured = "The support service is not configured (no \"support_host\")";

    // The certificates the relay's connection trusts instead of the system's (a private service,
    // tests); empty: the system's.
    static void setTrustedCertificates(const std::filesystem::path& pemFile);
    static std::filesystem::path trustedCertificates();
};

} // namespace tavlo
