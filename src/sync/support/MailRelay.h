#pragma once

#include <optional>
#include <string>

#include "platform/foundation/Error.h"

namespace tavlo {

// Has the support service send an e-mail for the terminal: exception reports, command results,
// status reports, e-mailed receipts. Blocks until the relay answers (30 seconds at most).
class MailRelay {
public:
    static constexpr int kTimeoutSeconds = 30;

    // "https://<host>/DBEmailDelegate.jsp?from=..&to=..&subject=..&udid=..", each value
    // percent-encoded, so that "&" or "=" in a subject or an address stays inside its field; nil
    // while the support service is not configured.
    static std::optional<std::string> relayURL(const std::string& from, const std::string& to,
                                               const std::string& subject, const std::string& udid);

    // Sends the mail through the relay with the store server's envelope (store id, password,
    // user); without a sender the service's default sender, without a body an empty one. False
    // (logged, with `error` set) when the relay did not take it.
    static bool delegateEmail(const std::optional<std::string>& storeId, const std::optional<std::string>& password,
                              const std::optional<std::string>& userId, const std::optional<std::string>& from,
                              const std::string& to, const std::string& subject, const std::optional<std::string>& body,
                              Error* error);
};

} // namespace tavlo
