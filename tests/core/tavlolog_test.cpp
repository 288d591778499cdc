#include "core/util/TavloLog.h"

#include <unistd.h>

#include <condition_variable>
#include <fstream>
#include <future>
#include <mutex>
#include <regex>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/util/LogInfoProvider.h"
#include "core/util/LogMailQueue.h"
#include "core/util/LogMailSender.h"
#include "platform/foundation/UserDefaults.h"
#include "support/TempHome.h"
#include "support/TimeZoneScope.h"

namespace tavlo {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

struct LogLine {
    std::string file;
    int line;
    std::string message;
};

// The entries of a log file: time stamp, process marks, then "File.cpp:12 message".
std::vector<LogLine> readLog(const std::filesystem::path& path) {
    static const std::regex pattern(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \S+\[\d+:\d+\] ([^ :]+):(\d+) (.*)$)");
    std::vector<LogLine> lines;
    std::ifstream in(path);
    for (std::string text; std::getline(in, text);) {
        std::smatch m;
        if (std::regex_match(text, m, pattern)) lines.push_back({m[1], std::stoi(m[2]), m[3]});
        else lines.push_back({"", 0, text});
    }
    return lines;
}

std::vector<std::string> messages(const std::vector<LogLine>& lines) {
    std::vector<std::string> out;
    for (const auto& l : lines) out.push_back(l.message);
    return out;
}

class FakeProvider : public LogInfoProvider {
public:
    std::string appVersion() override { return "2.5"; }
    std::string deviceName() override { return "Till 3"; }
    std::string model() override { return "x86_64"; }
    std::string systemVersion() override { return "Linux 6.1"; }
    std::string deviceIdentifier() override { return "d41d8cd9"; }
    std::string ssid() override { return "Bistro"; }
    std::string localIPAddress() override { return "127.0.0.1"; }
    std::string language() override { return "en"; }
    std::string freeSpace() override { return "1.50 GB"; }
    std::optional<std::string> gateway() override { return gateway_; }
    HandlerFigures storeHandler() override { return store_; }
    HandlerFigures orderHandler() override { return order_; }

    std::optional<std::string> gateway_;
    HandlerFigures store_, order_;
};

// Records mails; can hold the worker until released, and can fail.
class FakeSender : public LogMailSender {
public:
    bool sendMail(const LogMail& mail, Error* error) override {
        std::unique_lock lock(mutex_);
        mails_.push_back(mail);
        changed_.notify_all();
        changed_.wait(lock, [&] { return !holding_; });
        if (fail_) Error::set(error, "RelayDomain", 1, "relay unreachable");
        return !fail_;
    }
    void hold() {
        std::lock_guard l(mutex_);
        holding_ = true;
    }
    void release() {
        std::lock_guard l(mutex_);
        holding_ = false;
        changed_.notify_all();
    }
    void waitForMails(size_t n) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return mails_.size() >= n; });
    }
    std::vector<LogMail> mails() {
        std::lock_guard l(mutex_);
        return mails_;
    }
    void setFailing() {
        std::lock_guard l(mutex_);
        fail_ = true;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<LogMail> mails_;
    bool holding_ = false;
    bool fail_ = false;
};

class TavloLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        TavloLog::setLogOn(true);
        TavloLog::setInfoProvider(provider_);
        TavloLog::setMailSender(sender_);
        std::filesystem::remove(TavloLog::logFilePath());
    }
    void TearDown() override {
        sender_->release();
        EXPECT_TRUE(TavloLog::flushMail(30));
        TavloLog::setMailSender(nullptr);
        TavloLog::setInfoProvider(nullptr);
        TavloLog::setLogOn(true);
    }
    std::vector<LogLine> log() { return readLog(TavloLog::logFilePath()); }

    test::TempHome home_;
    test::TimeZoneScope zone_{"UTC0"};
    ScopedFakeClock clock_{Date(1709737500.0)}; // 2024-03-06 15:05:00 UTC
    std::shared_ptr<FakeProvider> provider_ = std::make_shared<FakeProvider>();
    std::shared_ptr<FakeSender> sender_ = std::make_shared<FakeSender>();
};

TEST_F(TavloLogTest, AppendsFileNameLineAndMessage) {
    TavloLog::logFile("/home/dev/src/core/order/Order.cpp", 12, false, "message %d for %@", 7, std::string("table 4"));
    TavloLog::logFile("Plain.cpp", 3, false, nullptr, "nil format logs the argument");
    int here = __LINE__ + 1;
    TAVLO_LOG("from the macro");
    auto lines = log();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].file, "Order.cpp");
    EXPECT_EQ(lines[0].line, 12);
    EXPECT_EQ(lines[0].message, "message 7 for table 4");
    EXPECT_EQ(lines[1].file + ":" + std::to_string(lines[1].line) + " " + lines[1].message,
              "Plain.cpp:3 nil format logs the argument");
    EXPECT_EQ(lines[2].file, "tavlolog_test.cpp");
    EXPECT_EQ(lines[2].line, here);
    std::ifstream in(TavloLog::logFilePath());
    std::string first;
    std::getline(in, first);
    EXPECT_THAT(first, ::testing::StartsWith("2024-03-06 15:05:00.000 "));
    EXPECT_THAT(first, ::testing::EndsWith("] Order.cpp:12 message 7 for table 4"));
}

TEST_F(TavloLogTest, SwitchedOffWritesAndMailsNothing) {
    TavloLog::setLogOn(false);
    EXPECT_FALSE(TavloLog::logOn());
    TAVLO_LOG("not written");
    TAVLO_LOG_MAIL("not mailed");
    TavloLog::setLogOn(true);
    TAVLO_LOG("written");
    ASSERT_TRUE(TavloLog::flushMail(30));
    EXPECT_THAT(messages(log()), ElementsAre("written"));
    EXPECT_TRUE(sender_->mails().empty());
}

TEST_F(TavloLogTest, MailedEntryReachesTheSender) {
    UserDefaults::standardUserDefaults().setObject(std::string("S17"), "store_id");
    UserDefaults::standardUserDefaults().setObject(std::string("pw"), "password");
    int here = __LINE__ + 1;
    TAVLO_LOG_MAIL("Unable to save order %@", "A-12");
    ASSERT_TRUE(TavloLog::flushMail(30));
    provider_->gateway_ = "http://store.local:4444";
    TAVLO_LOG_MAIL("second");
    ASSERT_TRUE(TavloLog::flushMail(30));

    auto mails = sender_->mails();
    ASSERT_EQ(mails.size(), 2u);
    EXPECT_EQ(mails[0].storeId, "S17");
    EXPECT_EQ(mails[0].password, "pw");
    EXPECT_EQ(mails[0].subject, "Exception 2.5 (store S17, Till 3)");
    EXPECT_EQ(mails[0].body, "Version: 2.5\n\nDevice: Till 3\nModel: x86_64\nUDID: d41d8cd9\nOS: Linux 6.1\n"
                             "Space Available: 1.50 GB\n\nLocation: tavlolog_test.cpp (line: " +
                                 std::to_string(here) + ")\n\nMessage: Unable to save order A-12");
    EXPECT_THAT(mails[1].body, ::testing::EndsWith("Message: second\n\nGateway: http://store.local:4444"));
    EXPECT_THAT(messages(log()), ElementsAre("Unable to save order A-12", "second"));
}

TEST_F(TavloLogTest, StoreErrorDetailsGoOutAsOneMailedEntry) {
    TavloLog::logErrors(std::nullopt);
    TavloLog::logErrors(std::map<std::string, std::string>{{"reason", "UNIQUE constraint failed"}, {"code", "19"}});
    ASSERT_TRUE(TavloLog::flushMail(30));

    auto mails = sender_->mails();
    ASSERT_EQ(mails.size(), 1u) << "nil details write nothing";
    EXPECT_THAT(mails[0].body, ::testing::EndsWith("Message: DB error\ncode:19\nreason:UNIQUE constraint failed\n"));
    auto lines = log();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].file, "TavloLog.cpp");
    EXPECT_THAT(messages(lines), ElementsAre("DB error", "code:19", "reason:UNIQUE constraint failed", ""));
}

TEST_F(TavloLogTest, CallerOnlyQueuesAndAFullQueueDropsTheOldest) {
    sender_->hold();
    TAVLO_LOG_MAIL("mail 0");
    sender_->waitForMails(1); // the worker is now stuck in the relay; the caller is not
    for (size_t i = 1; i <= TavloLog::kMailQueueCapacity + 1; ++i) TAVLO_LOG_MAIL("mail %lu", i);
    sender_->release();
    ASSERT_TRUE(TavloLog::flushMail(30));

    auto mails = sender_->mails();
    ASSERT_EQ(mails.size(), TavloLog::kMailQueueCapacity + 1);
    EXPECT_THAT(mails[0].body, ::testing::EndsWith("Message: mail 0"));
    EXPECT_THAT(mails[1].body, ::testing::EndsWith("Message: mail 2")); // mail 1 was dropped
    for (size_t i = 1; i < mails.size(); ++i)
        EXPECT_THAT(mails[i].body, ::testing::EndsWith("Message: mail " + std::to_string(i + 1)));
    auto lines = messages(log());
    EXPECT_EQ(
        std::count_if(lines.begin(), lines.end(), [](const std::string& m) { return m.find("Mail queue full") == 0; }),
        1);
}

TEST_F(TavloLogTest, RelayFailureIsWrittenButNotMailedAgain) {
    sender_->setFailing();
    TAVLO_LOG_MAIL("boom");
    ASSERT_TRUE(TavloLog::flushMail(30));
    EXPECT_EQ(sender_->mails().size(), 1u);
    auto lines = log();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].file, ""); // written directly, not through the log call
    EXPECT_THAT(lines[1].message, ::testing::EndsWith("] Error sending email exception (relay unreachable)"));
}

TEST_F(TavloLogTest, HeaderAndFooter) {
    provider_->store_ = {Date(1709737500.0 - 60), 2, Date(1709737500.0 - 3600), Date(1709737500.0 - 86400)};
    provider_->order_ = {Date(1709737500.0 - 30), 0, std::nullopt, std::nullopt};
    TavloLog::logHeader();
    TavloLog::logFooter();
    EXPECT_THAT(messages(log()),
                ElementsAre("************************************", "***", "*** LOG START-Tavlo Mobile", "***",
                            "***  VERSION: 2.5", "***   DEVICE: Till 3", "***    MODEL: x86_64",
                            "***       OS: Linux 6.1", "***     UDID: d41d8cd9", "***     SSID: Bistro",
                            "***       IP: 127.0.0.1", "*** LANGUAGE: en",
                            // footer
                            "************************************", "***", "*** Space Available: 1.50 GB",
                            "*** StoreHandler (last ran: Today at 3:04 PM)", "***  pending: 2",
                            "***   oldest: Today at 2:05 PM", "***   newest: Yesterday at 3:05 PM",
                            "*** OrderHandler (last ran: Today at 3:04 PM) ", "***  nothing pending", "***",
                            "************************************"));
    provider_->store_ = {};
    TavloLog::logFooter();
    EXPECT_THAT(messages(log()), ::testing::Contains("*** StoreHandler (last ran: )"));
    EXPECT_THAT(messages(log()), ::testing::Contains("*** nothing pending"));
}

// A log file with its modification time `age` hours back.
void makeLog(const std::filesystem::path& path, int ageHours) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << "old\n";
    std::filesystem::last_write_time(path,
                                     std::filesystem::file_time_type::clock::now() - std::chrono::hours(ageHours));
}

TEST_F(TavloLogTest, ArchivingWithNineLogsKeepsNineAndRemovesTheOldest) {
    const auto dir = home_.path();
    std::vector<std::filesystem::path> archives;
    for (int day = 1; day <= 8; ++day) archives.push_back(dir / format("S17-T2-system2403%02d-090000.log", day));
    archives[3] = dir / "old" / archives[3].filename(); // sub-folders count too
    for (int i = 0; i < 8; ++i) makeLog(archives[static_cast<size_t>(i)], (9 - i) * 24);
    makeLog(dir / "notes.txt", 1000); // not a log
    TAVLO_LOG("before archiving");

    auto name = TavloLog::archiveLogFile("T2", "S17");
    ASSERT_EQ(name, "S17-T2-system240306-150500.log");
    EXPECT_EQ(TavloLog::logFiles().size(), 9u);
    EXPECT_FALSE(std::filesystem::exists(archives[0]));
    for (size_t i = 1; i < archives.size(); ++i) EXPECT_TRUE(std::filesystem::exists(archives[i])) << archives[i];
    EXPECT_TRUE(std::filesystem::exists(dir / "notes.txt"));

    auto archived = messages(readLog(dir / *name));
    ASSERT_GE(archived.size(), 2u);
    EXPECT_EQ(archived.front(), "before archiving");
    EXPECT_EQ(archived.back(), "************************************");
    EXPECT_THAT(archived, ::testing::Contains("*** Space Available: 1.50 GB"));
    auto fresh = messages(log());
    ASSERT_FALSE(fresh.empty());
    EXPECT_EQ(fresh[2], "*** LOG START-Tavlo Mobile");
}

TEST_F(TavloLogTest, ArchivingTwiceInOneSecondKeepsBoth) {
    TAVLO_LOG("first");
    auto first = TavloLog::archiveLogFile("T2", "S17");
    TAVLO_LOG("second");
    auto second = TavloLog::archiveLogFile("T2", "S17");
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
    EXPECT_EQ(*second, "S17-T2-system240306-150500-2.log");
    EXPECT_EQ(messages(readLog(home_.path() / *first)).front(), "first");
    EXPECT_THAT(messages(readLog(home_.path() / *second)), ::testing::Contains("second"));
}

TEST_F(TavloLogTest, ArchivingWithoutACurrentLogDoesNothing) {
    for (int i = 0; i < 10; ++i) makeLog(home_.path() / format("a%d.log", i), 24 + i);
    EXPECT_EQ(TavloLog::archiveLogFile("T2", "S17"), std::nullopt);
    EXPECT_EQ(TavloLog::logFiles().size(), 10u);
    EXPECT_FALSE(std::filesystem::exists(TavloLog::logFilePath()));
}

TEST(TavloLogStart, HeaderValuesMayLogWhileTheLoggerStarts) {
    // A fresh process, so that this is the logger's very first use.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            alarm(20); // a deadlock ends the child with a signal
            test::TempHome home;
            class Logging : public LogInfoProvider {
                std::string deviceIdentifier() override {
                    TAVLO_LOG("reading the device identifier");
                    return "id-1";
                }
            };
            TavloLog::setInfoProvider(std::make_shared<Logging>());
            TAVLO_LOG("first entry");
            auto lines = messages(readLog(TavloLog::logFilePath()));
            bool ok = lines.size() == 15 && lines[0].rfind("Log File: ", 0) == 0 &&
                      lines[9] == "reading the device identifier" && lines[10] == "***     UDID: id-1" &&
                      lines[14] == "first entry";
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(LogMailQueue, ShutdownGivesUpOnAStuckSenderWhenTheTimeIsUp) {
    ScopedFakeClock clock;
    auto gate = std::make_shared<std::promise<void>>();
    std::shared_future<void> open = gate->get_future().share();
    auto started = std::make_shared<std::promise<void>>();
    auto calls = std::make_shared<std::atomic<int>>(0); // shared: the worker may outlive the test
    LogMailQueue queue(
        4,
        [open, started, calls](const LogMailQueue::Entry&) {
            if ((*calls)++ == 0) started->set_value();
            open.wait();
        },
        nullptr);
    queue.push({"A.cpp", 1, "one"});
    queue.push({"A.cpp", 2, "two"});
    started->get_future().wait();

    std::promise<bool> result;
    std::thread stopper([&] { result.set_value(queue.shutdown(5)); });
    auto done = result.get_future();
    while (done.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) clock->advance(1);
    EXPECT_FALSE(done.get());
    stopper.join();
    queue.push({"A.cpp", 3, "ignored after shutdown"});
    EXPECT_EQ(queue.pending(), 1u); // "two" is dropped; "one" is still being sent
    gate->set_value();              // the abandoned worker finishes its entry and stops
    while (queue.pending() > 0) std::this_thread::yield();
    EXPECT_EQ(calls->load(), 1);
}

TEST(LogMailQueue, AQueueLetGoFinishesTheEntryBeingSentBeforeItGoes) {
    std::promise<void> gate, started;
    std::shared_future<void> open = gate.get_future().share();
    std::vector<std::string> sent; // written by the sender only, read once the queue is gone
    auto queue = std::make_unique<LogMailQueue>(
        4,
        [&](const LogMailQueue::Entry& entry) {
            if (sent.empty()) started.set_value();
            open.wait();
            sent.push_back(entry.message);
        },
        nullptr);
    queue->push({"A.cpp", 1, "one"});
    started.get_future().wait();
    std::thread closer([&] { queue.reset(); });
    gate.set_value();
    closer.join();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.front(), "one");
}

} // namespace
} // namespace tavlo
