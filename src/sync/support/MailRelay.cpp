#include "sync/support/MailRelay.h"

#include "core/session/IDBroker.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/Text.h"
#include "sync/exchange/CommHelper.h"
#include "sync/support/SupportService.h"

namespace tavlo {

std::optional<std::string> MailRelay::relayURL(const std::string& from, const std::string& to,
                                               const std::string& subject, const std::string& udid) {
    std::optional<std::string> page = SupportService::relayURL();
    if (!page) return std::nullopt;
    return format("%@?from=%@&to=%@&subject=%@&udid=%@", *page, percentEncode(from), percentEncode(to),
                  percentEncode(subject), percentEncode(udid));
}

bool MailRelay::delegateEmail(const std::optional<std::string>& storeId, const std::optional<std::string>& password,
                              const std::optional<std::string>& userId, const std::optional<std::string>& from,
                              const std::string& to, const std::string& subject, const std::optional<std::string>& body,
                              Error* error) {
    std::optional<std::string> url =
        relayURL(from.value_or(SupportService::kDefaultSender), to, subject, IDBroker::deviceIdentifier());
    if (!url) {
        Error::set(error, CommHelper::kStoreServerErrorDomain, 0, SupportService::kNotConfigured);
        TAVLO_LOG("Unable to send email: %@", subject);
        return false;
    }
    HttpRequest request =
        CommHelper::getRequest(*url, storeId, password, userId, std::nullopt, body.value_or(""), kTimeoutSeconds);
    request.caFile = SupportService::trustedCertificates().string();
    if (CommHelper::send(request, error)) return true;
    TAVLO_LOG("Unable to send email: %@", subject);
    return false;
}

} // namespace tavlo
