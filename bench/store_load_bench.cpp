// The store load of a large reply into a fresh store, beside a floor that does the least the same
// load could do: libxml2's parse of the same bytes (and its release), then for every row the
// look-ups the readers make (the row by its id, each row it names by id, each link row by its two
// ends) as SQLite SELECTs on the store's own indexed tables, and the whole row as a prepared
// INSERT, all in one transaction; rows of pairs where the store keeps pairs.
//
//   build/bench/store_load_bench --benchmark_counters_tabular=true

#include "core/LocalStoreModel.h"
#include "platform/store/ObjectContext.h"
#include "platform/store/ObjectStore.h"
#include "sync/OperationSynchStore.h"
#include "sync/StoreDataGenerator.h"
#include "xml/XmlHelper.h"

#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <sqlite3.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

namespace {

using namespace tavlo;

// The reply of N items, made once per size and before any timed region.
const std::string& replyOf(size_t items) {
    static std::map<size_t, std::string> replies;
    auto found = replies.find(items);
    if (found == replies.end()) found = replies.emplace(items, StoreDataGenerator::reply(items)).first;
    return found->second;
}

// A fresh data directory for one run.
struct Scratch {
    Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tavlo-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path = pattern;
        setenv("TAVLO_HOME", path.c_str(), 1);
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::filesystem::path path;
};

// A new store file with the terminal's tables and indexes.
std::shared_ptr<ObjectStore> openStore(const std::filesystem::path& file) {
    Error error;
    std::shared_ptr<ObjectStore> store = ObjectStore::open(LocalStoreModel::build(), file, &error);
    if (!store) throw std::runtime_error(error.localizedDescription());
    return store;
}

size_t storedRows(const std::shared_ptr<ObjectStore>& store) {
    ObjectContext context(store);
    size_t rows = 0;
    for (const auto& entity : store->model().entities()) rows += context.count(FetchRequest(entity->name()));
    return rows;
}

// A full reload of the reply into the store.
void fullLoad(const std::shared_ptr<ObjectStore>& store, const std::string& reply) {
    OperationSynchStore load("http://127.0.0.1/", "BENCH", "secret", true, std::nullopt, 30, false, store);
    load.setDataSource([&reply](const StoreDataRequest&, Error*) { return reply; });
    load.start();
    if (!load.succeeded()) throw std::runtime_error("the load failed");
}

// The first load into a fresh store.
void BM_StoreLoad(benchmark::State& state) {
    const std::string& reply = replyOf(static_cast<size_t>(state.range(0)));
    size_t rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Scratch scratch;
        std::shared_ptr<ObjectStore> store = openStore(scratch.path / "store.sqlite");
        state.ResumeTiming();

        fullLoad(store, reply);

        state.PauseTiming();
        rows = storedRows(store);
        state.ResumeTiming();
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["bytes"] = static_cast<double>(reply.size());
}

// A full reload of the same reply over a store that already holds it: the clean, then the load.
void BM_StoreReload(benchmark::State& state) {
    const std::string& reply = replyOf(static_cast<size_t>(state.range(0)));
    size_t rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Scratch scratch;
        std::shared_ptr<ObjectStore> store = openStore(scratch.path / "store.sqlite");
        fullLoad(store, reply);
        state.ResumeTiming();

        fullLoad(store, reply);

        state.PauseTiming();
        rows = storedRows(store);
        state.ResumeTiming();
    }
    state.counters["rows"] = static_cast<double>(rows);
}

// The size of the store file (its pages, the write-ahead log's included) and its free pages.
struct FileSize {
    int64_t bytes = 0, freePages = 0;
};

FileSize fileSize(const std::filesystem::path& file) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        throw std::runtime_error("cannot open the store file");
    auto pragma = [&](const char* sql) {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
        int64_t value = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : 0;
        sqlite3_finalize(s);
        return value;
    };
    FileSize size{pragma("PRAGMA page_count") * pragma("PRAGMA page_size"), pragma("PRAGMA freelist_count")};
    sqlite3_close(db);
    return size;
}

// The same reply loaded seven times into one store: the file's size after each load, and how far
// the last is from the first (percent).
void BM_StoreFileOverLoads(benchmark::State& state) {
    constexpr int kLoads = 7;
    const std::string& reply = replyOf(static_cast<size_t>(state.range(0)));
    std::vector<FileSize> sizes;
    for (auto _ : state) {
        Scratch scratch;
        std::filesystem::path file = scratch.path / "store.sqlite";
        std::shared_ptr<ObjectStore> store = openStore(file);
        sizes.clear();
        for (int load = 0; load < kLoads; ++load) {
            fullLoad(store, reply);
            state.PauseTiming();
            sizes.push_back(fileSize(file));
            state.ResumeTiming();
        }
    }
    for (int load = 0; load < kLoads; ++load)
        state.counters["MB" + std::to_string(load + 1)] = static_cast<double>(sizes[load].bytes) / 1e6;
    state.counters["growth%"] = 100.0 * static_cast<double>(sizes.back().bytes - sizes.front().bytes) /
                                static_cast<double>(sizes.front().bytes);
    state.counters["freePages"] = static_cast<double>(sizes.back().freePages);
}

// ---- the floor ----

// Raw SQLite on a file with the store's own tables and indexes: every statement prepared once.
class Sql {
public:
    using Key = std::variant<std::string_view, int64_t>;

    explicit Sql(const std::filesystem::path& file) {
        if (sqlite3_open(file.c_str(), &db_) != SQLITE_OK) throw std::runtime_error("cannot open the floor's file");
        exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;");
        exec("CREATE TABLE FloorPair (Z_SRC INTEGER NOT NULL, Z_DST INTEGER NOT NULL, PRIMARY KEY (Z_SRC, Z_DST))"
             " WITHOUT ROWID; CREATE INDEX FloorPair_DST ON FloorPair (Z_DST)");
    }
    ~Sql() {
        for (auto& [sql, s] : statements_) sqlite3_finalize(s);
        sqlite3_close(db_);
    }

    void exec(const char* sql) {
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) throw std::runtime_error(sqlite3_errmsg(db_));
    }
    // SELECT Z_PK FROM entity WHERE a = ? [AND b = ?]; 0 when none.
    int64_t find(const std::string& entity, const std::string& a, Key x, const std::string& b = {}, Key y = {}) {
        std::string sql = "SELECT Z_PK FROM \"" + entity + "\" WHERE \"" + a + "\" = ?";
        // The owner's index: the other end (a tax, a name) has few values and many rows each.
        if (!b.empty()) sql += " AND +\"" + b + "\" = ?";
        sqlite3_stmt* s = statement(sql);
        bind(s, 1, x);
        if (!b.empty()) bind(s, 2, y);
        int64_t key = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : 0;
        sqlite3_reset(s);
        return key;
    }
    // INSERT INTO entity (every column) VALUES (...): the whole row as the store writes it, with
    // a and b, and the element's leaf values under the columns of their names; the new row's key.
    int64_t insert(const std::string& entity, xmlNodePtr element, const std::string& a, Key x,
                   const std::string& b = {}, Key y = {}) {
        const Columns& columns = columnsOf(entity);
        sqlite3_stmt* s = statement(columns.insert);
        for (int i = 1; i <= columns.count; ++i) sqlite3_bind_null(s, i);
        for (xmlNodePtr c = element ? xmlFirstElementChild(element) : nullptr; c; c = xmlNextElementSibling(c)) {
            auto at = columns.index.find(reinterpret_cast<const char*>(c->name));
            if (at != columns.index.end() && !xmlFirstElementChild(c) && c->children)
                bind(s, at->second, std::string_view(reinterpret_cast<const char*>(c->children->content)));
        }
        bind(s, columns.index.at(a), x);
        if (!b.empty()) bind(s, columns.index.at(b), y);
        if (sqlite3_step(s) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db_));
        sqlite3_reset(s);
        ++rows;
        return sqlite3_last_insert_rowid(db_);
    }
    void pair(int64_t a, int64_t b) {
        sqlite3_stmt* s = statement("INSERT OR IGNORE INTO FloorPair VALUES (?, ?)");
        bind(s, 1, Key(a));
        bind(s, 2, Key(b));
        sqlite3_step(s);
        sqlite3_reset(s);
        ++rows;
    }
    size_t rows = 0;

private:
    struct Columns {
        std::string insert;
        int count = 0;
        std::map<std::string, int, std::less<>> index;  // column -> parameter
    };
    const Columns& columnsOf(const std::string& entity) {
        auto found = columns_.find(entity);
        if (found != columns_.end()) return found->second;
        static const Model model = LocalStoreModel::build();
        const EntityDescription& e = model.requireEntity(entity);
        Columns c;
        std::string names, marks;
        auto add = [&](const std::string& name) {
            c.index[name] = ++c.count;
            names += (names.empty() ? "\"" : ", \"") + name + "\"";
            marks += marks.empty() ? "?" : ", ?";
        };
        for (const auto& a : e.attributes()) add(a.name);
        for (const auto& r : e.relationships())
            if (!r.toMany) add(r.name);
        c.insert = "INSERT INTO \"" + entity + "\" (" + names + ") VALUES (" + marks + ")";
        return columns_.emplace(entity, std::move(c)).first->second;
    }
    sqlite3_stmt* statement(const std::string& sql) {
        auto found = statements_.find(sql);
        if (found != statements_.end()) return found->second;
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db_));
        return statements_.emplace(sql, s).first->second;
    }
    static void bind(sqlite3_stmt* s, int i, const Key& k) {
        if (const auto* t = std::get_if<std::string_view>(&k))
            sqlite3_bind_text(s, i, t->data(), static_cast<int>(t->size()), SQLITE_STATIC);
        else
            sqlite3_bind_int64(s, i, std::get<int64_t>(k));
    }

    sqlite3* db_ = nullptr;
    std::unordered_map<std::string, sqlite3_stmt*> statements_;
    std::unordered_map<std::string, Columns> columns_;
};

std::string_view nameOf(xmlNodePtr n) { return reinterpret_cast<const char*>(n->name); }

std::string_view textOf(xmlNodePtr n) {
    xmlNodePtr t = n ? n->children : nullptr;
    return t && t->type == XML_TEXT_NODE ? std::string_view(reinterpret_cast<const char*>(t->content)) : std::string_view();
}

std::string upperFirst(std::string_view s) { return std::string(1, char(std::toupper(s[0]))) + std::string(s.substr(1)); }
std::string lowerFirst(std::string_view s) { return std::string(1, char(std::tolower(s[0]))) + std::string(s.substr(1)); }

// The table and id column of a row element; entity "" for elements that are no row.
std::pair<std::string, std::string> rowOf(std::string_view element) {
    if (element == "comp") return {"Complimentary", "complimentaryId"};
    if (element == "sideItem") return {"Side", "sideId"};
    if (element == "comboItem") return {"Item", "itemId"};
    if (element == "store" || element == "success" || element.ends_with("Updated")) return {};
    return {upperFirst(element), std::string(element) + "Id"};
}

// The table and id column a reference names: "recipeId" a Recipe by recipeId.
std::pair<std::string, std::string> targetOf(std::string_view reference) {
    if (reference == "exemptionTax") return {"Tax", "taxId"};
    if (reference == "defaultSideId" || reference == "sideItemId") return {"Side", "sideId"};
    return {upperFirst(reference.substr(0, reference.size() - 2)), std::string(reference)};
}

bool isReference(std::string_view name) { return name.ends_with("Id") || name == "exemptionTax"; }

// References the store keeps as rows of pairs.
bool isPairList(std::string_view owner, std::string_view reference) {
    return reference == "defaultSideId" || reference == "exemptionTax" || reference == "permissionId" ||
           (reference == "roleId" && owner == "user") || (owner == "printer" && reference == "recipeId") ||
           (owner == "menu" && (reference == "scheduleId" || reference == "areaId")) ||
           (owner == "comboItem" && reference == "itemId");
}

int64_t findTarget(Sql& sql, xmlNodePtr reference) {
    auto [entity, column] = targetOf(nameOf(reference));
    return sql.find(entity, column, textOf(reference));
}

// A nested element of a row: a link row found by its two ends and inserted, and its own tax
// amounts. `owner` is the entity of the row it hangs on.
void floorLink(Sql& sql, xmlNodePtr link, const std::string& owner, int64_t ownerKey) {
    std::string_view name = nameOf(link);
    std::string entity, ownerColumn = lowerFirst(owner), targetColumn;
    if (name == "itemTaxAmount") entity = "Tax" + owner, targetColumn = "tax";
    else if (name == "preparationCharge") entity = owner + "Preparation", targetColumn = "preparation";
    else if (name == "comboGroupItem") entity = "ComboGroupItem", targetColumn = "item";
    else if (name == "comboItemComboGroup") entity = "ItemComboGroup", targetColumn = "comboGroup";
    else if (name == "terminalCashDrawer") entity = "TerminalCashDrawer", targetColumn = "cashDrawer";
    else if (name == "param") entity = owner + "Param", targetColumn = "name";
    else return;
    Sql::Key target;
    if (name == "param") target = textOf(XmlHelper::getFirstChildNode(link, "key"));
    for (xmlNodePtr g = xmlFirstElementChild(link); g && name != "param"; g = xmlNextElementSibling(g))
        if (isReference(nameOf(g))) target = findTarget(sql, g);
    int64_t key = sql.find(entity, ownerColumn, ownerKey, targetColumn, target);
    if (!key) key = sql.insert(entity, link, ownerColumn, ownerKey, targetColumn, target);
    for (xmlNodePtr g = xmlFirstElementChild(link); g; g = xmlNextElementSibling(g))
        if (xmlFirstElementChild(g)) floorLink(sql, g, entity, key);
}

// One element of the reply: its row looked up by id and inserted, every row it names looked up
// (and paired where the store keeps pairs), and its nested link rows.
void floorElement(Sql& sql, xmlNodePtr element) {
    std::string_view name = nameOf(element);
    if (name == "param") {
        std::string_view key = textOf(XmlHelper::getFirstChildNode(element, "key"));
        if (!sql.find("StoreParam", "name", key)) sql.insert("StoreParam", element, "name", key);
        return;
    }
    auto [entity, idColumn] = rowOf(name);
    int64_t key = 0;
    if (!entity.empty()) {
        xmlChar* id = xmlGetProp(element, BAD_CAST "id");
        std::string_view idText = id ? reinterpret_cast<const char*>(id) : "";
        key = sql.find(entity, idColumn, idText);
        if (!key) key = sql.insert(entity, element, idColumn, idText);
        if (id) xmlFree(id);
    }
    for (xmlNodePtr c = xmlFirstElementChild(element); c; c = xmlNextElementSibling(c)) {
        if (xmlFirstElementChild(c)) {
            floorLink(sql, c, entity, key);
        } else if (isReference(nameOf(c))) {
            int64_t target = findTarget(sql, c);
            if (isPairList(name, nameOf(c))) sql.pair(key, target);
        }
    }
}

void BM_Floor(benchmark::State& state) {
    const std::string& reply = replyOf(static_cast<size_t>(state.range(0)));
    size_t rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Scratch scratch;
        openStore(scratch.path / "floor.sqlite");
        Sql sql(scratch.path / "floor.sqlite");
        state.ResumeTiming();

        XmlDocPtr doc = XmlHelper::parse(reply);
        sql.exec("BEGIN");
        for (xmlNodePtr e = xmlFirstElementChild(xmlDocGetRootElement(doc.get())); e; e = xmlNextElementSibling(e))
            floorElement(sql, e);
        sql.exec("COMMIT");
        doc.reset();

        state.PauseTiming();
        rows = sql.rows;
        state.ResumeTiming();
    }
    state.counters["rows"] = static_cast<double>(rows);
}

// 5,000 and 20,000 items three times each, 100,000 once (a run takes seconds).
void itemCounts(benchmark::internal::Benchmark* b) { b->Unit(benchmark::kMillisecond)->ArgName("items"); }

BENCHMARK(BM_StoreLoad)->Apply(itemCounts)->Arg(5'000)->Arg(20'000)->Iterations(3);
BENCHMARK(BM_StoreReload)->Apply(itemCounts)->Arg(5'000)->Arg(20'000)->Iterations(3);
BENCHMARK(BM_Floor)->Apply(itemCounts)->Arg(5'000)->Arg(20'000)->Iterations(3);
BENCHMARK(BM_StoreLoad)->Apply(itemCounts)->Arg(100'000)->Iterations(1);
BENCHMARK(BM_StoreReload)->Apply(itemCounts)->Arg(100'000)->Iterations(1);
BENCHMARK(BM_Floor)->Apply(itemCounts)->Arg(100'000)->Iterations(1);
BENCHMARK(BM_StoreFileOverLoads)->Apply(itemCounts)->Arg(20'000)->Iterations(1);

} // namespace
