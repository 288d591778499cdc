#include "core/util/LogInfoProvider.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/net/HttpClient.h"
#include "support/TempHome.h"
#include "sync/support/LogMailRelay.h"
#include "sync/support/MailRelay.h"
#include "sync/support/SupportService.h"

#include "support/SupportServiceFake.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

using namespace tavlo;
using namespace tavlo::test;

namespace {

class MailRelayTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto& defaults = UserDefaults::standardUserDefaults();
        defaults.setObject(std::string("12"), "store_id");
        defaults.setObject(std::string("pw"), "password");
        defaults.setObject(std::string("device-1"), "device_id");
    }

    static std::string logText() {
        std::ifstream in(TavloLog::logFilePath());
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    TempHome home;
    SupportServiceFake service{home.path()};
};

TEST_F(MailRelayTest, EveryQueryValueIsPercentEncoded) {
    EXPECT_EQ(MailRelay::relayURL("a&b=c@x.example", "to@y.example", "Exception 1.0 (store 12, T&3)", "dev 1")
                  .value_or("<none>"),
              "https://" + service.host() +
                  "/DBEmailDelegate.jsp?from=a%26b%3Dc%40x.example&to=to%40y.example"
                  "&subject=Exception%201.0%20%28store%2012%2C%20T%263%29&udid=dev%201");
}

TEST_F(MailRelayTest, TheRelayGetsTheMailWithTheStoreEnvelope) {
    Error error;
    ASSERT_TRUE(MailRelay::delegateEmail("12", "pw", "u7", std::nullopt, "help@z.example", "Totals & tips = ok?",
                                         std::string("line 1\nline 2"), &error))
        << error.localizedDescription();
    ASSERT_EQ(service.mails().size(), 1u);
    SupportServiceFake::Mail mail = service.mails()[0];
    EXPECT_EQ(mail.path, "/DBEmailDelegate.jsp");
    // No sender: the service's own; the "&" and "=" of the subject stay in it.
    EXPECT_EQ(mail.from, SupportService::kDefaultSender);
    EXPECT_EQ(mail.to, "help@z.example");
    EXPECT_EQ(mail.subject, "Totals & tips = ok?");
    EXPECT_EQ(mail.udid, "device-1");
    EXPECT_EQ(mail.target.find("subject=Totals%20%26%20tips%20%3D%20ok%3F&udid="), mail.target.find("subject="));
    EXPECT_EQ(mail.body, "line 1\nline 2");
    auto header = [&](const char* name) {
        auto it = mail.headers.find(name);
        return it == mail.headers.end() ? std::string("<none>") : it->second;
    };
    EXPECT_EQ(header("store"), "12");
    EXPECT_EQ(header("authorization"), "pw");
    EXPECT_EQ(header("user"), "u7");

    // No body: an empty one.
    ASSERT_TRUE(MailRelay::delegateEmail("12", "pw", std::nullopt, std::string("me@x.example"), "to@x.example", "s",
                                         std::nullopt, &error));
    ASSERT_EQ(service.mails().size(), 2u);
    EXPECT_EQ(service.mails()[1].from, "me@x.example");
    EXPECT_EQ(service.mails()[1].body, "");
}

TEST_F(MailRelayTest, ARefusedMailIsLoggedAndAnsweredNo) {
    service.setMailStatus(500);
    Error error;
    EXPECT_FALSE(MailRelay::delegateEmail("12", "pw", std::nullopt, std::nullopt, "to@x.example", "Daily totals",
                                          std::nullopt, &error));
    EXPECT_TRUE(error.isSet());
    EXPECT_NE(logText().find("Unable to send email: Daily totals"), std::string::npos);
}

TEST_F(MailRelayTest, TheRelaysCertificateIsTrustedOnlyWhereItIsNamed) {
    SupportService::setTrustedCertificates({});
    Error error;
    EXPECT_FALSE(
        MailRelay::delegateEmail("12", "pw", std::nullopt, std::nullopt, "to@x.example", "s", std::nullopt, &error));
    EXPECT_EQ(error.code(), HttpClient::SecureConnectionFailed) << error.localizedDescription();
    EXPECT_TRUE(service.mails().empty());
}

TEST_F(MailRelayTest, WithoutASupportHostNothingIsSent) {
    UserDefaults::standardUserDefaults().removeObjectForKey(SupportService::kHostKey);
    EXPECT_FALSE(MailRelay::relayURL("a", "b", "c", "d").has_value());
    Error error;
    EXPECT_FALSE(
        MailRelay::delegateEmail("12", "pw", std::nullopt, std::nullopt, "to@x.example", "s", std::nullopt, &error));
    EXPECT_EQ(error.localizedDescription(), SupportService::kNotConfigured);
    EXPECT_TRUE(service.mails().empty());
}

TEST_F(MailRelayTest, TheLoggersMailedEntriesGoThroughTheRelay) {
    LogMailRelay::install();
    TAVLO_LOG_MAIL("Drawer %d jammed & stuck", 2);
    TAVLO_LOG("not mailed");
    ASSERT_TRUE(TavloLog::flushMail(20));
    TavloLog::setMailSender(nullptr);

    ASSERT_EQ(service.mails().size(), 1u);
    SupportServiceFake::Mail mail = service.mails()[0];
    auto info = TavloLog::infoProvider();
    EXPECT_EQ(mail.subject, "Exception " + info->appVersion() + " (store 12, " + info->deviceName() + ")");
    EXPECT_EQ(mail.from, SupportService::kDefaultSender);
    EXPECT_EQ(mail.to, SupportService::kSupportMailbox);
    EXPECT_NE(mail.body.find("Location: support_relay_test.cpp (line: "), std::string::npos) << mail.body;
    EXPECT_TRUE(mail.body.ends_with("Message: Drawer 2 jammed & stuck")) << mail.body;
    EXPECT_EQ(mail.headers.find("store")->second, "12");
}

} // namespace
