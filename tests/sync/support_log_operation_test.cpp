#include "sync/support/OperationLogs.h"

#include "platform/foundation/DateFormatter.h"
#include "support/TimeZoneScope.h"

#include "SupportStoreFixture.h"

#include <regex>
#include <set>

using namespace tavlo;
using namespace tavlo::test;

namespace {

class LogOperation : public SupportStoreFixture {
protected:
    void SetUp() override {
        SupportStoreFixture::SetUp();
        TAVLO_LOG("first line"); // makes "system.log"
    }

    std::shared_ptr<OperationLogs> run() {
        auto operation = std::make_shared<OperationLogs>(store);
        operation->start();
        return operation;
    }

    void setFlags(bool current, bool all) {
        ManagedObjectPtr terminal = addTerminal(std::nullopt);
        terminal->setValue("sendLog", current);
        terminal->setValue("sendAllLogs", all);
        save();
    }
    std::pair<bool, bool> storedFlags() {
        auto in = stored();
        ManagedObjectPtr terminal = storedTerminal(*in);
        return {terminal->boolean("sendLog"), terminal->boolean("sendAllLogs")};
    }
    void setLastArchive(Date date) {
        DBHelper::saveStoreParam(OperationLogs::lastArchiveKey, DateFormatter::format(date, "yyMMdd-HHmmss"),
                                 context.get());
        save();
    }
    std::optional<std::string> lastArchive() {
        auto in = stored();
        return DBHelper::getStoreValue(OperationLogs::lastArchiveKey, in.get());
    }
    void writeLogFile(const std::filesystem::path& relative, const std::string& text) {
        std::filesystem::create_directories((home.path() / relative).parent_path());
        std::ofstream(home.path() / relative) << text;
    }

    TimeZoneScope zone{"UTC"};
    ScopedFakeClock clock{Date(1'714'557'600)}; // 2024-05-01 10:00:00 UTC
};

const std::regex archiveName(R"(12-3-system\d{6}-\d{6}(-\d+)?\.log)");

TEST_F(LogOperation, TheCurrentLogIsUploadedAndItsRequestCleared) {
    setFlags(true, false);
    writeLogFile("old.log", "an archive");
    setLastArchive(Date::now());
    run();

    std::vector<SupportServiceFake::Upload> uploads = service.uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_TRUE(std::regex_match(uploads[0].fileName(), archiveName)) << uploads[0].fileName();
    EXPECT_EQ(uploads[0].field("username"), "12");
    EXPECT_EQ(uploads[0].field("terminalId"), "3");
    EXPECT_NE(uploads[0].fileBytes().find("first line"), std::string::npos);
    EXPECT_NE(uploads[0].fileBytes().find("*** Space Available: "), std::string::npos); // the footer went first
    EXPECT_EQ(storedFlags(), std::pair(false, false));
    EXPECT_NE(logText().find("Current log requested"), std::string::npos);
    EXPECT_NE(logText().find("Log Sent!"), std::string::npos);
}

TEST_F(LogOperation, AllLogsAreUploadedOnceEachUnderFreshNamesAndBothRequestsCleared) {
    setFlags(true, true);
    writeLogFile("12-3-system240429-080000.log", "two days ago");
    writeLogFile("archive/12-3-system240430-080000.log", "yesterday");
    writeLogFile("notes.txt", "not a log");
    setLastArchive(Date::now());
    run();

    std::vector<SupportServiceFake::Upload> uploads = service.uploads();
    ASSERT_EQ(uploads.size(), 3u);
    std::set<std::string> names, contents;
    for (const auto& upload : uploads) {
        EXPECT_TRUE(std::regex_match(upload.fileName(), archiveName)) << upload.fileName();
        names.insert(upload.fileName());
        contents.insert(upload.fileBytes().substr(0, 12));
    }
    // One second, three files: no name stands for two of them.
    EXPECT_EQ(names.size(), 3u);
    EXPECT_TRUE(contents.count("two days ago"));
    EXPECT_TRUE(contents.count("yesterday"));
    EXPECT_EQ(storedFlags(), std::pair(false, false));
}

TEST_F(LogOperation, AFailedUploadStillClearsTheRequest) {
    setFlags(true, false);
    setLastArchive(Date::now());
    service.setUploadStatuses({500});
    run();
    EXPECT_EQ(service.uploads().size(), 1u);
    EXPECT_EQ(storedFlags(), std::pair(false, false));
    EXPECT_NE(logText().find("Unable to send log"), std::string::npos);
}

TEST_F(LogOperation, WithoutARequestOnTheSameDayNothingChanges) {
    setFlags(false, false);
    setLastArchive(Date::now().addingSeconds(-3600));
    std::optional<std::string> before = lastArchive();
    run();
    EXPECT_TRUE(service.uploads().empty());
    EXPECT_EQ(lastArchive(), before);
    EXPECT_EQ(TavloLog::logFiles().size(), 1u);
}

TEST_F(LogOperation, TheLogIsArchivedOncePerDay) {
    addTerminal(std::nullopt);
    // The first run only notes the time.
    run();
    EXPECT_EQ(lastArchive(), "240501-100000");
    EXPECT_EQ(TavloLog::logFiles().size(), 1u);

    clock->advance(13 * 3600); // 23:00 the same day
    run();
    EXPECT_EQ(TavloLog::logFiles().size(), 1u);

    clock->advance(2 * 3600); // 01:00 the next day
    run();
    EXPECT_EQ(lastArchive(), "240502-010000");
    EXPECT_TRUE(std::filesystem::exists(home.path() / "12-3-system240502-010000.log"));
    EXPECT_EQ(TavloLog::logFiles().size(), 2u);
    EXPECT_NE(logText().find("Archived to file: 12-3-system240502-010000.log"), std::string::npos);

    clock->advance(3600);
    run();
    EXPECT_EQ(TavloLog::logFiles().size(), 2u);

    // The same day of the year a year later is another day.
    clock->advance(365 * 86400);
    run();
    EXPECT_EQ(TavloLog::logFiles().size(), 3u);
}

TEST_F(LogOperation, ADeviceWithoutATerminalSeesNoRequestButStillArchives) {
    setLastArchive(Date::now().addingSeconds(-86400));
    run();
    EXPECT_TRUE(service.uploads().empty());
    EXPECT_EQ(TavloLog::logFiles().size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(home.path() / "12-(null)-system240501-100000.log"));
    EXPECT_EQ(lastArchive(), "240501-100000");
}

} // namespace
