#pragma once

#include "core/util/LogMailSender.h"

namespace tavlo {

// Sends the logger's e-mailed entries through the support service's mail relay, from the
// service's own sender to its support mailbox.
class LogMailRelay : public LogMailSender {
public:
    bool sendMail(const LogMail& mail, Error* error) override;

    // Makes the logger mail its flagged entries through the relay (the program calls it once at
    // start; the logger's worker thread does the sending).
    static void install();
};

} // namespace tavlo
