#include "core/session/StoreCheck.h"

#include "core/util/TavloLog.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/store/EntityDescription.h"
#include "platform/store/Model.h"
#include "platform/store/ObjectContext.h"
#include "platform/store/ObjectStore.h"
#include "platform/store/SqlConnection.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace tavlo {

namespace {

const char* const kQueue = "OrderQueue";
// The files SQLite keeps beside the store in write-ahead mode; the log holds committed work.
const char* const kCompanions[] = {"-wal", "-shm"};

struct Database {
    sqlite3* db = nullptr;
    ~Database() { sqlite3_close_v2(db); }
};

std::string sqliteError(sqlite3* db, int rc) { return db ? sqlite3_errmsg(db) : sqlite3_errstr(rc); }

// Empty when the file's pages pass the quick check and a write goes through; else what failed.
std::string problemOf(const std::filesystem::path& path) {
    SqlConnection::configureLibrary();
    Database file;
    int rc = sqlite3_open_v2(path.c_str(), &file.db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) return sqliteError(file.db, rc);
    sqlite3_stmt* check = nullptr;
    rc = sqlite3_prepare_v2(file.db, "PRAGMA quick_check", -1, &check, nullptr);
    std::string verdict;
    while (rc == SQLITE_OK && sqlite3_step(check) == SQLITE_ROW) {
        const unsigned char* line = sqlite3_column_text(check, 0);
        if (!verdict.empty()) verdict += "; ";
        verdict += line ? reinterpret_cast<const char*>(line) : "";
    }
    if (rc == SQLITE_OK && verdict.empty()) verdict = sqliteError(file.db, sqlite3_errcode(file.db));
    sqlite3_finalize(check);
    if (rc != SQLITE_OK) return sqliteError(file.db, rc);
    if (verdict != "ok") return verdict;
    if (sqlite3_db_readonly(file.db, "main") == 1) return "attempt to write a readonly database";
    // A write that leaves nothing behind: a table made and dropped in one transaction.
    char* failure = nullptr;
    rc = sqlite3_exec(file.db, "BEGIN IMMEDIATE; CREATE TABLE Z_WRITE_CHECK (x); DROP TABLE Z_WRITE_CHECK; COMMIT;",
                      nullptr, nullptr, &failure);
    std::string written = rc == SQLITE_OK ? std::string() : failure ? failure : sqlite3_errstr(rc);
    sqlite3_free(failure);
    return written;
}

// Renames the store and its companions beside themselves; the new name, or nil with `failure`.
std::optional<std::filesystem::path> setAside(const std::filesystem::path& path, std::string& failure) {
    const std::string stamp = DateFormatter::format(Date::now(), "yyyyMMdd-HHmmss");
    std::filesystem::path aside = path;
    aside += ".broken-" + stamp;
    if (std::rename(path.c_str(), aside.c_str()) != 0) {
        failure = std::strerror(errno);
        return std::nullopt;
    }
    for (const char* suffix : kCompanions) {
        std::filesystem::path from = path, to = aside;
        from += suffix;
        to += suffix;
        std::error_code missing;
        if (std::filesystem::exists(from, missing)) std::rename(from.c_str(), to.c_str());
    }
    return aside;
}

// The unsent queue rows SQLite can read in the broken file, put into a fresh store at `path`.
int takeBackQueue(const std::filesystem::path& broken, const std::filesystem::path& path, const Model& model,
                  std::string& failure) {
    const EntityDescription* queue = model.entityNamed(kQueue);
    if (!queue) return 0;
    SqlConnection::configureLibrary();
    Database file;
    int rc = sqlite3_open_v2(broken.c_str(), &file.db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* prepared = nullptr;
    if (rc == SQLITE_OK)
        rc = sqlite3_prepare_v2(file.db, "SELECT * FROM OrderQueue WHERE sentDate IS NULL", -1, &prepared, nullptr);
    SqlStatement rows(prepared);
    if (rc != SQLITE_OK) {
        failure = sqliteError(file.db, rc);
        return 0;
    }
    Error error;
    std::shared_ptr<ObjectStore> fresh = ObjectStore::open(model, path, &error);
    if (!fresh) {
        failure = error.localizedDescription();
        return 0;
    }
    ObjectContext context(fresh);
    int taken = 0;
    // A row past a damaged page ends the reading; the rows before it are kept.
    while ((rc = rows.step()) == SQLITE_ROW) {
        ManagedObjectPtr row = context.insert(kQueue);
        for (int column = 0; column < sqlite3_column_count(prepared); ++column) {
            const AttributeDescription* attribute = queue->attributeNamed(sqlite3_column_name(prepared, column));
            if (attribute) row->setValue(attribute->name, rows.column(column, attribute->type));
        }
        ++taken;
    }
    if (rc != SQLITE_DONE) failure = sqliteError(file.db, rc);
    if (!context.save(&error)) {
        failure = error.localizedDescription();
        return 0;
    }
    return taken;
}

} // namespace

StoreCheck::Result StoreCheck::run(const std::filesystem::path& path, const Model& model) {
    Result result;
    std::error_code missing;
    if (!std::filesystem::exists(path, missing)) return result;
    result.problem = problemOf(path);
    if (result.problem.empty()) return result;
    result.healthy = false;
    TAVLO_LOG_MAIL("The store %@ failed its check: %@", path.string(), result.problem);
    result.setAside = setAside(path, result.setAsideFailure);
    if (!result.setAside) {
        TAVLO_LOG("Unable to set the store aside: %@", result.setAsideFailure);
        return result;
    }
    result.ordersTakenBack = takeBackQueue(*result.setAside, path, model, result.takeBackFailure);
    TAVLO_LOG("Store set aside as %@; %d unsent orders taken back%@", result.setAside->string(), result.ordersTakenBack,
              result.takeBackFailure.empty() ? "" : " (" + result.takeBackFailure + ")");
    return result;
}

std::string StoreCheck::message(const Result& result) {
    if (result.healthy) return {};
    std::string text = format(localized("This terminal's store cannot be used (%@)."), result.problem);
    if (!result.setAside)
        return text + " " +
               format(localized("It could not be set aside (%@): move it away by hand, then start again."),
                      result.setAsideFailure);
    text += " " + format(localized("It was set aside as %@ and a new store started."), result.setAside->string());
    text += " " + format(localized("Unsent orders taken back: %d."), result.ordersTakenBack);
    if (!result.takeBackFailure.empty())
        text += " " + format(localized("Not all could be read (%@)."), result.takeBackFailure);
    return text + " " + localized("The store is loaded afresh from the store server.");
}

} // namespace tavlo
