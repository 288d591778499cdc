#include "platform/store/ObjectStore.h"

#include "platform/foundation/Directories.h"
#include "platform/store/SqlConnection.h"
#include "platform/store/StoreError.h"

#include <sqlite3.h>
#include <unistd.h>

#include <set>

namespace tavlo {

namespace {

const char* columnType(AttributeType t) {
    switch (t) {
    case AttributeType::Text: return "TEXT";
    case AttributeType::Int16:
    case AttributeType::Int32:
    case AttributeType::Int64:
    case AttributeType::Boolean: return "INTEGER";
    case AttributeType::Double:
    case AttributeType::Decimal:
    case AttributeType::Date: return "REAL";
    case AttributeType::Binary: return "BLOB";
    }
    return "";
}

} // namespace

ObjectStore::ObjectStore(Model model, std::filesystem::path path, Options options)
    : model_(std::move(model)), path_(std::move(path)), options_(options) {}

ObjectStore::~ObjectStore() = default;

std::filesystem::path ObjectStore::defaultPath() { return documentsDirectory() / "TavloMobile.sqlite"; }

std::shared_ptr<ObjectStore> ObjectStore::open(Model model, const std::filesystem::path& file, Error* error,
                                               Options options) {
    if (!model.isFinalized()) model.finalize();
    std::error_code ec;
    if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ec);
    std::shared_ptr<ObjectStore> store(new ObjectStore(std::move(model), file, options));
    std::unique_ptr<SqlConnection> connection = SqlConnection::open(file, 0, error);
    if (!connection) return nullptr;
    if (!store->migrate(*connection, error)) return nullptr;
    if (options.maxFileBytes > 0) {
        int64_t pageSize = 4096;
        if (SqlStatement* s = connection->statement("PRAGMA page_size", nullptr)) {
            StatementUse use(s);
            if (s->step() == SQLITE_ROW) pageSize = s->columnInt(0);
        }
        store->maxPageCount_ = std::max<int64_t>(1, options.maxFileBytes / pageSize);
    }
    return store;
}

bool ObjectStore::migrate(SqlConnection& c, Error* error) {
    std::vector<std::string> work;
    auto existingColumns = [&](const std::string& table, bool& exists) {
        std::set<std::string> columns;
        exists = false;
        SqlStatement* s = c.statement("SELECT name FROM pragma_table_info(?1)", nullptr);
        if (!s) return columns;
        StatementUse use(s);
        s->bind(1, table);
        while (s->step() == SQLITE_ROW) {
            exists = true;
            columns.insert(*s->column(0, AttributeType::Text).text());
        }
        return columns;
    };
    std::set<std::string> joinTables, indexes;
    if (SqlStatement* s = c.statement("SELECT name FROM sqlite_master WHERE type = 'index'", nullptr)) {
        StatementUse use(s);
        while (s->step() == SQLITE_ROW) indexes.insert(*s->column(0, AttributeType::Text).text());
    }
    auto index = [&](const std::string& name, const std::string& table, const std::string& columns) {
        if (!indexes.count(name))
            work.push_back("CREATE INDEX " + quoteName(name) + " ON " + table + " (" + columns + ")");
    };
    for (const auto& e : model_.entities()) {
        bool exists = false;
        std::set<std::string> have = existingColumns(e->name(), exists);
        std::string table = quoteName(e->name());
        if (!exists) {
            std::string sql = "CREATE TABLE " + table + " (Z_PK INTEGER PRIMARY KEY, Z_OPT INTEGER NOT NULL DEFAULT 1";
            for (const auto& a : e->attributes()) sql += ", " + quoteName(a.name) + " " + columnType(a.type);
            for (const auto& r : e->relationships())
                if (!r.toMany) sql += ", " + quoteName(r.name) + " INTEGER";
            work.push_back(sql + ")");
        } else {
            for (const auto& a : e->attributes())
                if (!have.count(a.name))
                    work.push_back("ALTER TABLE " + table + " ADD COLUMN " + quoteName(a.name) + " " +
                                   columnType(a.type));
            for (const auto& r : e->relationships())
                if (!r.toMany && !have.count(r.name))
                    work.push_back("ALTER TABLE " + table + " ADD COLUMN " + quoteName(r.name) + " INTEGER");
        }
        for (const auto& a : e->attributes())
            if (a.indexed) index("Z_" + e->name() + "_" + a.name, table, quoteName(a.name));
        for (const auto& columns : e->compoundIndexes()) {
            std::string name = "Z_" + e->name(), list;
            for (const std::string& column : columns) {
                name += "_" + column;
                list += (list.empty() ? "" : ", ") + quoteName(column);
            }
            index(name, table, list);
        }
        for (const auto& r : e->relationships()) {
            if (!r.toMany) index("Z_" + e->name() + "_" + r.name, table, quoteName(r.name));
            if (!r.joinTable.empty() && joinTables.insert(r.joinTable).second) {
                bool joinExists = false;
                existingColumns(r.joinTable, joinExists);
                if (!joinExists) {
                    work.push_back("CREATE TABLE " + quoteName(r.joinTable) +
                                   " (Z_SRC INTEGER NOT NULL, Z_DST INTEGER NOT NULL, PRIMARY KEY (Z_SRC, Z_DST))"
                                   " WITHOUT ROWID");
                    work.push_back("CREATE INDEX " + quoteName(r.joinTable + "_DST") + " ON " + quoteName(r.joinTable) +
                                   " (Z_DST)");
                }
            }
        }
    }
    if (!work.empty()) {
        // All or nothing: a half-migrated file would lose the next open's checks.
        if (!c.exec("BEGIN IMMEDIATE", error)) return false;
        for (const std::string& sql : work) {
            if (!c.exec(sql, error)) {
                c.exec("ROLLBACK", nullptr);
                if (error)
                    *error = Error(kObjectStoreErrorDomain, kStoreCannotOpen,
                                   "Unable to bring the store up to the model: " + error->localizedDescription());
                return false;
            }
        }
        if (!c.exec("COMMIT", error)) {
            c.exec("ROLLBACK", nullptr);
            return false;
        }
    }
    nextKeys_ = std::make_unique<std::atomic<int64_t>[]>(model_.entities().size());
    for (const auto& e : model_.entities()) {
        SqlStatement* s = c.statement("SELECT MAX(Z_PK) FROM " + quoteName(e->name()), error);
        if (!s) return false;
        StatementUse use(s);
        int64_t max = s->step() == SQLITE_ROW ? s->columnInt(0) : 0;
        nextKeys_[e->index()].store(max + 1);
    }
    return true;
}

std::unique_ptr<SqlConnection> ObjectStore::connect(Error* error) const {
    {
        std::lock_guard<std::mutex> lock(idleLock_);
        // A file made read-only since is opened anew, to be found so.
        if (!idle_.empty() && ::access(path_.c_str(), W_OK) != 0) idle_.clear();
        if (!idle_.empty()) {
            std::unique_ptr<SqlConnection> c = std::move(idle_.back());
            idle_.pop_back();
            return c;
        }
    }
    return SqlConnection::open(path_, maxPageCount_, error);
}

void ObjectStore::giveBack(std::unique_ptr<SqlConnection> connection) const {
    if (!connection || !connection->isIdle() || connection->isReadOnly()) return;
    std::lock_guard<std::mutex> lock(idleLock_);
    if (idle_.size() < kIdleConnections) idle_.push_back(std::move(connection));
}

int64_t ObjectStore::nextPrimaryKey(const EntityDescription& entity) { return nextKeys_[entity.index()].fetch_add(1); }

std::optional<ObjectID> ObjectStore::objectIDForURIRepresentation(std::string_view uri) const {
    constexpr std::string_view prefix = "x-tavlo-object:///";
    if (uri.substr(0, prefix.size()) != prefix) return std::nullopt;
    uri.remove_prefix(prefix.size());
    size_t slash = uri.rfind("/p");
    if (slash == std::string_view::npos) return std::nullopt;
    const EntityDescription* entity = model_.entityNamed(uri.substr(0, slash));
    std::string_view digits = uri.substr(slash + 2);
    if (!entity || digits.empty() || digits.size() > 18) return std::nullopt;
    int64_t pk = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        pk = pk * 10 + (c - '0');
    }
    if (pk <= 0) return std::nullopt;
    return ObjectID(entity, pk);
}

} // namespace tavlo
