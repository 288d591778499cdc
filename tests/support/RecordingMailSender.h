#pragma once

#include "core/util/LogMailSender.h"
#include "core/util/TavloLog.h"

#include <memory>
#include <mutex>
#include <vector>

namespace tavlo::test {

// Takes the logger's mailed entries for the length of a scope and keeps them.
class RecordingMailSender : public LogMailSender {
public:
    bool sendMail(const LogMail& mail, Error*) override {
        std::lock_guard lock(mutex_);
        mails_.push_back(mail);
        return true;
    }
    // The mails so far, once the ones queued meanwhile are sent.
    std::vector<LogMail> mails() {
        TavloLog::flushMail(30);
        std::lock_guard lock(mutex_);
        return mails_;
    }
    void clear() {
        TavloLog::flushMail(30);
        std::lock_guard lock(mutex_);
        mails_.clear();
    }

private:
    std::mutex mutex_;
    std::vector<LogMail> mails_;
};

class MailScope {
public:
    MailScope() { TavloLog::setMailSender(sender_); }
    ~MailScope() {
        TavloLog::flushMail(30);
        TavloLog::setMailSender(nullptr);
    }
    MailScope(const MailScope&) = delete;
    MailScope& operator=(const MailScope&) = delete;
    RecordingMailSender& sender() { return *sender_; }

private:
    std::shared_ptr<RecordingMailSender> sender_ = std::make_shared<RecordingMailSender>();
};

} // namespace tavlo::test
