#pragma once

#include "platform/foundation/Error.h"
#include "platform/store/EntityDescription.h"
#include "platform/store/Value.h"

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace tavlo {

// One prepared statement, kept by its connection and reused; reset after each use.
class SqlStatement {
public:
    explicit SqlStatement(sqlite3_stmt* stmt) : stmt_(stmt) {}
    ~SqlStatement();
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;

    void bind(int index, const Value& value); // 1-based
    // The same without a copy of a text: the value must stay as it is until the statement is
    // reset (a row's values, bound for one step of its write).
    void bindInPlace(int index, const Value& value);
    // A text or bytes bound in place likewise.
    void bindTextInPlace(int index, std::string_view text);
    void bindBytesInPlace(int index, std::string_view bytes);
    void bindReal(int index, double value);
    void bindInt(int index, int64_t value);
    void bindNull(int index);
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step();
    void reset();
    bool isNull(int column) const;
    int64_t columnInt(int column) const;
    Value column(int column, AttributeType type) const;
    sqlite3_stmt* handle() const { return stmt_; }

private:
    sqlite3_stmt* stmt_;
};

// Resets a statement when it goes out of scope, so no read stays open between calls.
class StatementUse {
public:
    explicit StatementUse(SqlStatement* s) : s_(s) {}
    ~StatementUse() {
        if (s_) s_->reset();
    }
    StatementUse(const StatementUse&) = delete;
    StatementUse& operator=(const StatementUse&) = delete;
    SqlStatement* operator->() const { return s_; }
    explicit operator bool() const { return s_ != nullptr; }

private:
    SqlStatement* s_;
};

// One SQLite connection (WAL, synchronous=FULL) with its statements prepared once and cached by
// their text. Used by one thread at a time.
class SqlConnection {
public:
    static std::unique_ptr<SqlConnection> open(const std::filesystem::path& file, int64_t maxPageCount, Error* error);
    // Sets up the SQLite library for the program, once, before its first file is opened (after
    // that SQLite keeps its set-up); open() does it, and so does any other opener of a file.
    static void configureLibrary();
    ~SqlConnection();
    SqlConnection(const SqlConnection&) = delete;
    SqlConnection& operator=(const SqlConnection&) = delete;

    // The cached statement for `sql`, prepared on first use; null (and `error`) when it fails.
    SqlStatement* statement(const std::string& sql, Error* error);
    // A statement used once (texts that vary with their data, such as long IN lists).
    std::unique_ptr<SqlStatement> prepare(const std::string& sql, Error* error);
    size_t statementCount() const { return statements_.size(); }
    // Runs statements without caching them (schema work, transactions).
    bool exec(const std::string& sql, Error* error);
    Error lastError() const;
    int changes() const;
    // True when the file could only be opened for reading.
    bool isReadOnly() const;
    // True outside a transaction, with no statement in the middle of its rows.
    bool isIdle() const;
    sqlite3* handle() const { return db_; }

    // A consistent copy of the database file `source` (what its write-ahead log holds included)
    // written to `destination`, through SQLite's backup; false with `error` when it fails.
    static bool backup(const std::filesystem::path& source, const std::filesystem::path& destination, Error* error);

private:
    explicit SqlConnection(sqlite3* db) : db_(db) {}
    sqlite3* db_;
    std::unordered_map<std::string, std::unique_ptr<SqlStatement>> statements_;
};

// Quotes a name for SQL ("Order" is a keyword).
std::string quoteName(std::string_view name);

} // namespace tavlo
