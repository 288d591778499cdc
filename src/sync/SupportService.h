#pragma once

#include <filesystem>
#include <string>

namespace tavlo {

// Where the maker's support service is: one host for the upload page (plain HTTP) and the mail
// relay (HTTPS), taken from the user default "support_host" ("name" or "name:port").
class SupportService {
public:
    static constexpr const char* hostKey = "support_host";
    static constexpr const char* defaultHost = "support.tavlo.example";
    // The sender of a mail that names none.
    static constexpr const char* defaultSender = "terminal@tavlo.example";
    // Where exception reports and command results go.
    static constexpr const char* supportMailbox = "support@tavlo.example";

    static std::string host();
    static std::string uploadURL();  // "http://<host>/UploadFile.jsp"
    static std::string relayURL();   // "https://<host>/DBEmailDelegate.jsp"

    // The certificates the relay's connection trusts instead of the system's (a private service,
    // tests); empty: the system's.
    static void setTrustedCertificates(const std::filesystem::path& pemFile);
    static std::filesystem::path trustedCertificates();
};

} // namespace tavlo
