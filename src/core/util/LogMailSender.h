#pragma once

#include <optional>
#include <string>

#include "platform/foundation/Error.h"

namespace tavlo {

// A log entry on its way to the support service. The sender and recipient addresses and the
// relay are the sender's business.
struct LogMail {
    std::optional<std::string> storeId;
    std::optional<std::string> password;
    std::string subject;
    std::string body;
};

class LogMailSender {
public:
    virtual ~LogMailSender() = default;
    // Blocks until the relay answers; false with `error` filled when it failed.
    virtual bool sendMail(const LogMail& mail, Error* error) = 0;
};

} // namespace tavlo
