#pragma once
// A floor of plain SQL for a bench: statements prepared once on a read-only connection to a store
// file, stepped through in one read transaction per round.
#include <sqlite3.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace tavlo::bench {

class SqlFloor {
public:
    SqlFloor(const std::string& file, const std::vector<std::string>& statements) {
        if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
            throw std::runtime_error("cannot open the store file");
        for (const std::string& sql : statements) {
            sqlite3_stmt* s = nullptr;
            if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr) != SQLITE_OK)
                throw std::runtime_error(sqlite3_errmsg(db_));
            prepared_.push_back(s);
        }
    }
    ~SqlFloor() {
        for (sqlite3_stmt* s : prepared_) sqlite3_finalize(s);
        sqlite3_close(db_);
    }
    SqlFloor(const SqlFloor&) = delete;
    SqlFloor& operator=(const SqlFloor&) = delete;

    // One round: every row of every statement read, each column touched (a text by its length,
    // anything else as an integer) and added to `figures`. Answers the rows read.
    size_t run(int64_t& figures) {
        size_t rows = 0;
        sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr);
        for (sqlite3_stmt* s : prepared_) {
            while (sqlite3_step(s) == SQLITE_ROW) {
                ++rows;
                for (int c = 0; c < sqlite3_column_count(s); ++c)
                    figures += sqlite3_column_type(s, c) == SQLITE_TEXT ? sqlite3_column_bytes(s, c)
                                                                        : sqlite3_column_int64(s, c);
            }
            sqlite3_reset(s);
        }
        sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        return rows;
    }

private:
    sqlite3* db_ = nullptr;
    std::vector<sqlite3_stmt*> prepared_;
};

} // namespace tavlo::bench
