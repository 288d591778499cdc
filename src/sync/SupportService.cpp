#include "sync/SupportService.h"

#include <mutex>

#include "platform/foundation/UserDefaults.h"

namespace tavlo {

namespace {

std::mutex certificatesMutex;
std::filesystem::path certificates;

} // namespace

std::string SupportService::host() {
    std::optional<std::string> host = UserDefaults::standardUserDefaults().stringForKey(hostKey);
    return host && !host->empty() ? *host : defaultHost;
}

std::string SupportService::uploadURL() { return "http://" + host() + "/UploadFile.jsp"; }

std::string SupportService::relayURL() { return "https://" + host() + "/DBEmailDelegate.jsp"; }

void SupportService::setTrustedCertificates(const std::filesystem::path& pemFile) {
    std::lock_guard lock(certificatesMutex);
    certificates = pemFile;
}

std::filesystem::path SupportService::trustedCertificates() {
    std::lock_guard lock(certificatesMutex);
    return certificates;
}

} // namespace tavlo
