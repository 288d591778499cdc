#include "platform/foundation/UserDefaults.h"
#include "support/LoopbackListener.h"
#include "support/SupportServiceFake.h"
#include "support/TempHome.h"
#include "sync/support/SupportService.h"
#include "sync/support/UploadHelper.h"

#include <sqlite3.h>

#include <fstream>
#include <gtest/gtest.h>
#include <vector>

using namespace tavlo;
using namespace tavlo::test;

namespace {

void writeFile(const std::filesystem::path& path, const std::string& content) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

class UploadPage : public ::testing::Test {
protected:
    TempHome home;
    SupportServiceFake service{home.path()};
};

TEST_F(UploadPage, SendsTheFormByteForByteWithLineFeedsOnly) {
    std::string content = std::string("line one\r\nline two\0\xff", 21);
    writeFile(home.path() / "logs" / "system.log", content);
    Error error;
    ASSERT_TRUE(UploadHelper::sendFile("system.log", home.path() / "logs", "12-3-system240501-101500.log", "12", "p&w",
                                       "3", &error))
        << error.localizedDescription();

    ASSERT_EQ(service.uploads().size(), 1u);
    const SupportServiceFake::Upload req = service.uploads()[0];
    std::string expected =
        "--1212POS1212\n"
        "Content-Disposition: form-data; name=\"username\"\n\n12\n"
        "--1212POS1212\n"
        "Content-Disposition: form-data; name=\"password\"\n\np&w\n"
        "--1212POS1212\n"
        "Content-Disposition: form-data; name=\"terminalId\"\n\n3\n"
        "--1212POS1212\n"
        "Content-Disposition: form-data; name=\"type\"\n\n0\n"
        "--1212POS1212\n"
        "Content-Disposition: form-data; name=\"upload\"; filename=\"12-3-system240501-101500.log\"\n\n" +
        content + "\n--1212POS1212--\n";
    EXPECT_EQ(req.body, expected);
    EXPECT_EQ(req.path, "/UploadFile.jsp");
    EXPECT_EQ(req.headers.at("content-type"), "multipart/form-data;boundary=1212POS1212");
    // None of the store server's envelope goes to the support service.
    for (const char* header : {"store", "from", "authorization", "uid", "user", "lastupdate"})
        EXPECT_EQ(req.headers.count(header), 0u) << header;
}

TEST_F(UploadPage, AnEmptyFileIsSentWithAnEmptyPart) {
    writeFile(home.path() / "empty.log", "");
    ASSERT_TRUE(UploadHelper::sendFile("empty.log", home.path(), "e.log", "1", "p", "2", nullptr));
    ASSERT_EQ(service.uploads().size(), 1u);
    EXPECT_TRUE(service.uploads()[0].body.ends_with("filename=\"e.log\"\n\n\n--1212POS1212--\n"));
}

TEST_F(UploadPage, FailuresAnswerNoWithTheStatusAsCode) {
    // A file that cannot be read sends nothing and sets no error.
    Error error;
    EXPECT_FALSE(UploadHelper::sendFile("missing.log", home.path(), "m.log", "1", "p", "2", &error));
    EXPECT_FALSE(error.isSet());
    EXPECT_TRUE(service.uploads().empty());

    writeFile(home.path() / "a.log", "a");
    service.setUploadStatuses({503});
    EXPECT_FALSE(UploadHelper::sendFile("a.log", home.path(), "a.log", "1", "p", "2", &error));
    EXPECT_EQ(error.domain(), "StoreServerErrorDomain");
    EXPECT_EQ(error.code(), 503);
    EXPECT_FALSE(error.localizedDescription().empty());

    // No reply at all: code 0.
    UserDefaults::standardUserDefaults().setObject("127.0.0.1:" + std::to_string(LoopbackListener::closedPort()),
                                                   SupportService::kHostKey);
    error = Error();
    EXPECT_FALSE(UploadHelper::sendFile("a.log", home.path(), "a.log", "1", "p", "2", &error));
    EXPECT_EQ(error.domain(), "StoreServerErrorDomain");
    EXPECT_EQ(error.code(), 0);
}

// A WAL database whose committed rows are all still in its "-wal" file while `db` stays open.
sqlite3* openWalDatabase(const std::filesystem::path& path, int rows) {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    std::string sql = "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0; CREATE TABLE t(x);";
    for (int i = 0; i < rows; ++i) sql += "INSERT INTO t VALUES(" + std::to_string(i) + ");";
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    return db;
}

int rowCount(const std::filesystem::path& path) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    int count = -1;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM t", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        count = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return count;
}

TEST_F(UploadPage, TheDatabaseGoesOutWithWhatItsWriteAheadLogHolds) {
    sqlite3* store = openWalDatabase(home.path() / "TavloMobile.sqlite", 25);
    // The main file alone lacks the committed rows: sending it as it stands would lose them.
    std::filesystem::path bare = home.path() / "bare" / "copy.db";
    std::filesystem::create_directories(bare.parent_path());
    std::filesystem::copy_file(home.path() / "TavloMobile.sqlite", bare);
    EXPECT_EQ(rowCount(bare), -1);

    Error error;
    ASSERT_TRUE(UploadHelper::uploadDatabase("12", "p", "3", &error)) << error.localizedDescription();
    sqlite3_close(store);
    ASSERT_EQ(service.uploads().size(), 1u);
    EXPECT_EQ(service.uploads()[0].fileName(), "12_3.sqlite");
    writeFile(home.path() / "received" / "db", service.uploads()[0].fileBytes());
    EXPECT_EQ(rowCount(home.path() / "received" / "db"), 25);
}

TEST_F(UploadPage, AFailedDatabaseUploadTriesTheNextFileUnderTheSameName) {
    std::filesystem::create_directories(home.path() / "old");
    sqlite3* first = openWalDatabase(home.path() / "TavloMobile.sqlite", 1);
    sqlite3* second = openWalDatabase(home.path() / "old" / "other.sqlite", 2);
    writeFile(home.path() / "not-a-database.txt", "x");
    service.setUploadStatuses({500});
    Error error;
    ASSERT_TRUE(UploadHelper::uploadDatabase("12", "p", "3", &error));
    sqlite3_close(first);
    sqlite3_close(second);
    ASSERT_EQ(service.uploads().size(), 2u);
    std::vector<int> counts;
    for (const auto& upload : service.uploads()) {
        EXPECT_EQ(upload.fileName(), "12_3.sqlite");
        writeFile(home.path() / "received" / "db", upload.fileBytes());
        counts.push_back(rowCount(home.path() / "received" / "db"));
        std::filesystem::remove(home.path() / "received" / "db");
    }
    // The store file at the top first, then the one in the sub-folder.
    EXPECT_EQ(counts, (std::vector<int>{1, 2}));

    // Every upload refused: NO.
    service.setUploadStatuses({500, 500});
    service.clear();
    EXPECT_FALSE(UploadHelper::uploadDatabase("12", "p", "3", &error));
    EXPECT_EQ(service.uploads().size(), 2u);
    EXPECT_EQ(error.code(), 500);
}

TEST_F(UploadPage, WithoutASupportHostNothingIsSent) {
    UserDefaults::standardUserDefaults().removeObjectForKey(SupportService::kHostKey);
    writeFile(home.path() / "a.log", "a");
    Error error;
    EXPECT_FALSE(UploadHelper::sendFile("a.log", home.path(), "a.log", "1", "p", "2", &error));
    EXPECT_EQ(error.localizedDescription(), SupportService::kNotConfigured);
    EXPECT_TRUE(service.uploads().empty());
}

TEST_F(UploadPage, NoDatabaseFileSendsNothing) {
    EXPECT_FALSE(UploadHelper::uploadDatabase("12", "p", "3", nullptr));
    EXPECT_TRUE(service.uploads().empty());
}

} // namespace
