#include "sync/support/LogMailRelay.h"

#include <memory>

#include "core/util/TavloLog.h"
#include "sync/support/MailRelay.h"
#include "sync/support/SupportService.h"

namespace tavlo {

bool LogMailRelay::sendMail(const LogMail& mail, Error* error) {
    return MailRelay::delegateEmail(mail.storeId, mail.password, std::nullopt,
                                    std::string(SupportService::kDefaultSender), SupportService::kSupportMailbox,
                                    mail.subject, mail.body, error);
}

void LogMailRelay::install() { TavloLog::setMailSender(std::make_shared<LogMailRelay>()); }

} // namespace tavlo
