#include "platform/store/SqlConnection.h"

#include "platform/store/StoreError.h"
#include "platform/store/TextMatch.h"

#include <sqlite3.h>

namespace tavlo {

Error storeError(int sqliteCode, const std::string& message) {
    int code = kStoreFailed;
    switch (sqliteCode & 0xFF) {
    case SQLITE_READONLY: code = kStoreReadOnly; break;
    case SQLITE_FULL: code = kStoreFull; break;
    case SQLITE_CONSTRAINT: code = kStoreConstraint; break;
    case SQLITE_CANTOPEN:
    case SQLITE_NOTADB: code = kStoreCannotOpen; break;
    default: break;
    }
    return Error(kObjectStoreErrorDomain, code, message);
}

std::string quoteName(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

SqlStatement::~SqlStatement() { sqlite3_finalize(stmt_); }

void SqlStatement::bind(int index, const Value& v) {
    switch (v.kind()) {
    case Value::Kind::Nil: sqlite3_bind_null(stmt_, index); break;
    case Value::Kind::Integer:
    case Value::Kind::Boolean: sqlite3_bind_int64(stmt_, index, v.integer()); break;
    case Value::Kind::Real:
    case Value::Kind::Date: sqlite3_bind_double(stmt_, index, v.real()); break;
    case Value::Kind::Text: {
        const std::string* s = v.textPointer();
        sqlite3_bind_text(stmt_, index, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
        break;
    }
    case Value::Kind::Binary: {
        auto b = v.binary();
        sqlite3_bind_blob(stmt_, index, b->data(), static_cast<int>(b->size()), SQLITE_TRANSIENT);
        break;
    }
    }
}

void SqlStatement::bindInPlace(int index, const Value& v) {
    if (v.kind() != Value::Kind::Text) {
        bind(index, v);
        return;
    }
    bindTextInPlace(index, *v.textPointer());
}

void SqlStatement::bindTextInPlace(int index, std::string_view text) {
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
}

void SqlStatement::bindBytesInPlace(int index, std::string_view bytes) {
    sqlite3_bind_blob(stmt_, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
}

void SqlStatement::bindReal(int index, double value) { sqlite3_bind_double(stmt_, index, value); }

void SqlStatement::bindInt(int index, int64_t value) { sqlite3_bind_int64(stmt_, index, value); }
void SqlStatement::bindNull(int index) { sqlite3_bind_null(stmt_, index); }
int SqlStatement::step() { return sqlite3_step(stmt_); }
void SqlStatement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}
bool SqlStatement::isNull(int c) const { return sqlite3_column_type(stmt_, c) == SQLITE_NULL; }
int64_t SqlStatement::columnInt(int c) const { return sqlite3_column_int64(stmt_, c); }

Value SqlStatement::column(int c, AttributeType type) const {
    int t = sqlite3_column_type(stmt_, c);
    if (t == SQLITE_NULL) return {};
    switch (type) {
    case AttributeType::Text: {
        auto p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, c));
        return std::string(p, static_cast<size_t>(sqlite3_column_bytes(stmt_, c)));
    }
    case AttributeType::Int16:
    case AttributeType::Int32:
    case AttributeType::Int64: return static_cast<int64_t>(sqlite3_column_int64(stmt_, c));
    case AttributeType::Boolean: return sqlite3_column_int64(stmt_, c) != 0;
    case AttributeType::Double:
    case AttributeType::Decimal: return sqlite3_column_double(stmt_, c);
    case AttributeType::Date: return Date(sqlite3_column_double(stmt_, c));
    case AttributeType::Binary: {
        auto p = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, c));
        return Bytes(p, p + sqlite3_column_bytes(stmt_, c));
    }
    }
    return {};
}

namespace {

// tavlo_text(op, options, text, pattern): the predicates' text operators, as in memory.
void textFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[2]) == SQLITE_NULL || sqlite3_value_type(argv[3]) == SQLITE_NULL) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    auto op = static_cast<TextOperator>(sqlite3_value_int(argv[0]));
    auto options = TextOptions::fromBits(sqlite3_value_int(argv[1]));
    auto text = reinterpret_cast<const char*>(sqlite3_value_text(argv[2]));
    int textLen = sqlite3_value_bytes(argv[2]);
    auto pattern = reinterpret_cast<const char*>(sqlite3_value_text(argv[3]));
    int patternLen = sqlite3_value_bytes(argv[3]);
    bool r = textMatches(op, std::string_view(text, static_cast<size_t>(textLen)),
                         std::string_view(pattern, static_cast<size_t>(patternLen)), options);
    sqlite3_result_int(ctx, r ? 1 : 0);
}

} // namespace

void SqlConnection::configureLibrary() {
    // SQLite keeps no count of the memory it takes: the count costs a lock at every allocation of
    // every connection, and nothing here reads it.
    static const bool configured = [] {
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        return true;
    }();
    (void)configured;
}

std::unique_ptr<SqlConnection> SqlConnection::open(const std::filesystem::path& file, int64_t maxPageCount,
                                                   Error* error) {
    configureLibrary();
    sqlite3* db = nullptr;
    int rc =
        sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        Error::set(error, storeError(rc, "Unable to open the store " + file.string() + ": " +
                                             (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc))));
        sqlite3_close(db);
        return nullptr;
    }
    std::unique_ptr<SqlConnection> c(new SqlConnection(db));
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, 30000);
    sqlite3_create_function(db, "tavlo_text", 4, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, textFunction, nullptr,
                            nullptr);
    // WAL lets readers of other contexts go on while one saves; FULL makes a commit survive a
    // power cut. A read-only file keeps its journal mode.
    c->exec("PRAGMA journal_mode=WAL", nullptr);
    if (!c->exec("PRAGMA synchronous=FULL", error)) return nullptr;
    if (maxPageCount > 0 && !c->exec("PRAGMA max_page_count=" + std::to_string(maxPageCount), error)) return nullptr;
    return c;
}

bool SqlConnection::backup(const std::filesystem::path& source, const std::filesystem::path& destination,
                           Error* error) {
    configureLibrary();
    sqlite3* from = nullptr;
    sqlite3* to = nullptr;
    auto fail = [&](sqlite3* db, int rc) {
        Error::set(error, storeError(rc, "Unable to copy the store " + source.string() + ": " +
                                             (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc))));
        sqlite3_close(from);
        sqlite3_close(to);
        return false;
    };
    int rc = sqlite3_open_v2(source.c_str(), &from, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) return fail(from, rc);
    sqlite3_busy_timeout(from, 30000);
    rc = sqlite3_open_v2(destination.c_str(), &to, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                         nullptr);
    if (rc != SQLITE_OK) return fail(to, rc);
    sqlite3_backup* copy = sqlite3_backup_init(to, "main", from, "main");
    if (!copy) return fail(to, sqlite3_errcode(to));
    rc = sqlite3_backup_step(copy, -1);
    sqlite3_backup_finish(copy);
    if (rc != SQLITE_DONE) return fail(to, rc);
    // The copy stands alone: no write-ahead log beside it.
    rc = sqlite3_exec(to, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return fail(to, rc);
    sqlite3_close(from);
    sqlite3_close(to);
    return true;
}

SqlConnection::~SqlConnection() {
    statements_.clear();
    sqlite3_close_v2(db_);
}

SqlStatement* SqlConnection::statement(const std::string& sql, Error* error) {
    auto it = statements_.find(sql);
    if (it != statements_.end()) return it->second.get();
    sqlite3_stmt* stmt = nullptr;
    int rc =
        sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (rc != SQLITE_OK) {
        Error::set(error, lastError());
        sqlite3_finalize(stmt);
        return nullptr;
    }
    return statements_.emplace(sql, std::make_unique<SqlStatement>(stmt)).first->second.get();
}

std::unique_ptr<SqlStatement> SqlConnection::prepare(const std::string& sql, Error* error) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr) != SQLITE_OK) {
        Error::set(error, lastError());
        sqlite3_finalize(stmt);
        return nullptr;
    }
    return std::make_unique<SqlStatement>(stmt);
}

bool SqlConnection::exec(const std::string& sql, Error* error) {
    char* msg = nullptr;
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &msg);
    if (rc != SQLITE_OK) {
        Error::set(error, storeError(rc, msg ? msg : sqlite3_errstr(rc)));
        sqlite3_free(msg);
        return false;
    }
    return true;
}

Error SqlConnection::lastError() const { return storeError(sqlite3_extended_errcode(db_), sqlite3_errmsg(db_)); }

bool SqlConnection::isReadOnly() const { return sqlite3_db_readonly(db_, "main") == 1; }

bool SqlConnection::isIdle() const {
    if (!sqlite3_get_autocommit(db_)) return false;
    for (sqlite3_stmt* s = sqlite3_next_stmt(db_, nullptr); s; s = sqlite3_next_stmt(db_, s))
        if (sqlite3_stmt_busy(s)) return false;
    return true;
}

int SqlConnection::changes() const { return sqlite3_changes(db_); }

} // namespace tavlo
