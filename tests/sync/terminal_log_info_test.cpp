// The logger's header, footer and mailed entries with the terminal's own values.
#include "sync/support/TerminalLogInfo.h"

#include "HandlerTestSupport.h"
#include "core/session/DBHelper.h"
#include "core/util/LogMailSender.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/net/NetworkProbe.h"
#include "support/LocalStoreScope.h"
#include "support/TimeZoneScope.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/OrderHandler.h"
#include "sync/handlers/OrderQueue.h"
#include "sync/handlers/StoreHandler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <mutex>

using namespace tavlo;
using namespace tavlo::test;
using ::testing::Contains;
using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::IsSupersetOf;
using ::testing::Not;

namespace {

class RecordingSender : public LogMailSender {
public:
    bool sendMail(const LogMail& mail, Error*) override {
        std::lock_guard lock(mutex_);
        mails_.push_back(mail);
        return true;
    }
    std::vector<LogMail> mails() {
        std::lock_guard lock(mutex_);
        return mails_;
    }

private:
    std::mutex mutex_;
    std::vector<LogMail> mails_;
};

class TerminalLogInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        NetworkProbe::install(std::make_shared<FixedNetworkProbe>(true, "10.20.30.40", "Bistro"));
        TavloLog::setLogOn(true);
        TerminalLogInfo::install();
        TavloLog::setMailSender(sender_);
        std::filesystem::remove(TavloLog::logFilePath());
    }
    void TearDown() override {
        EXPECT_TRUE(TavloLog::flushMail(30));
        TavloLog::setMailSender(nullptr);
        TavloLog::setInfoProvider(nullptr);
        CommHelper::setGateway(std::nullopt);
        StoreHandler::releaseInstance();
        OrderHandler::releaseInstance();
        NetworkProbe::install(nullptr);
    }
    static std::vector<std::string> logged() { return loggedMessages(); }

    LocalStoreScope store;
    TimeZoneScope zone_{"UTC0"};
    ScopedFakeClock clock_{Date(1709737500.0)}; // 2024-03-06 15:05:00 UTC
    std::shared_ptr<RecordingSender> sender_ = std::make_shared<RecordingSender>();
};

TEST_F(TerminalLogInfoTest, HeaderShowsTheDeviceAndItsNetwork) {
    TavloLog::logHeader();
    EXPECT_THAT(logged(),
                IsSupersetOf({std::string("***     UDID: ") + LocalStoreScope::kDeviceId,
                              std::string("***     SSID: Bistro"), std::string("***       IP: 10.20.30.40")}));
}

TEST_F(TerminalLogInfoTest, FooterShowsFreeSpaceAndBothHandlers) {
    const std::string url = "http://127.0.0.1:1";
    auto storeHandler = StoreHandler::getInstance(DBHelper::sharedStore(), url, std::nullopt, 60, true);
    storeHandler->setLastRun(Date::now().addingSeconds(-60));
    OrderHandler::getInstance(DBHelper::sharedStore(), url, 60, true);
    // Queued an hour, two days and two minutes ago.
    for (auto [remoteId, age] : {std::pair{"D1", 3600}, {"D2", 2 * 86400}, {"D3", 120}})
        OrderQueue::insert(*store.context(), "noSale", remoteId, std::string("u5"), "<noSale/>",
                           Date::now().addingSeconds(-age));
    store.save();

    TavloLog::logFooter();
    std::vector<std::string> lines = logged();
    // Free space in words ("12.34 GB"), never the bare byte count.
    EXPECT_THAT(lines, Contains(ContainsRegex(R"(^\*\*\* Space Available: [0-9]+\.[0-9]{2} [KMGTPE]B$)")));
    EXPECT_THAT(lines, IsSupersetOf({"*** StoreHandler (last ran: Today at 3:04 PM)", "*** nothing pending",
                                     "*** OrderHandler (last ran: ) ", "***  pending: 3",
                                     "***   oldest: Mar 4 at 3:05 PM", "***   newest: Today at 3:03 PM"}));
    EXPECT_THAT(lines, Not(Contains("***  nothing pending")));
}

TEST_F(TerminalLogInfoTest, MailedEntryCarriesTheDeviceAndTheGateway) {
    struct Case {
        std::optional<std::string> exchange; // the address the exchange uses
        std::optional<std::string> setting;  // the "gateway" default
        std::optional<std::string> shown;
    };
    const Case cases[] = {
        {"http://store.local:4444", "10.0.0.9", "http://store.local:4444"},
        {std::nullopt, "backoffice", "backoffice.local"},
        {std::nullopt, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        CommHelper::setGateway(c.exchange);
        UserDefaults::standardUserDefaults().setObject(c.setting, "gateway");
        TAVLO_LOG_MAIL("Unable to save order %@", "A-12");
        ASSERT_TRUE(TavloLog::flushMail(30));
        std::string body = sender_->mails().back().body;
        EXPECT_THAT(body, HasSubstr(std::string("\nUDID: ") + LocalStoreScope::kDeviceId + "\n"));
        EXPECT_THAT(body, ContainsRegex("\nSpace Available: [0-9]+\\.[0-9]{2} [KMGTPE]B\n"));
        if (c.shown)
            EXPECT_THAT(body, ::testing::EndsWith("Message: Unable to save order A-12\n\nGateway: " + *c.shown));
        else EXPECT_THAT(body, Not(HasSubstr("Gateway:")));
    }
    EXPECT_EQ(sender_->mails().size(), std::size(cases));
}

} // namespace
