#include "sync/support/SupportService.h"

#include <mutex>

#include "platform/foundation/UserDefaults.h"

namespace tavlo {

namespace {

std::mutex certificatesMutex;
std::filesystem::path certificates;

} // namespace

std::optional<std::string> SupportService::host() {
    std::optional<std::string> host = UserDefaults::standardUserDefaults().stringForKey(kHostKey);
    if (!host || host->empty()) return std::nullopt;
    return host;
}

std::optional<std::string> SupportService::uploadURL() {
    std::optional<std::string> name = host();
    if (!name) return std::nullopt;
    return "http://" + *name + "/UploadFile.jsp";
}

std::optional<std::string> SupportService::relayURL() {
    std::optional<std::string> name = host();
    if (!name) return std::nullopt;
    return "https://" + *name + "/DBEmailDelegate.jsp";
}

void SupportService::setTrustedCertificates(const std::filesystem::path& pemFile) {
    std::lock_guard lock(certificatesMutex);
    certificates = pemFile;
}

std::filesystem::path SupportService::trustedCertificates() {
    std::lock_guard lock(certificatesMutex);
    return certificates;
}

} // namespace tavlo
