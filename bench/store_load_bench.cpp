// The store load of a large reply, first into a fresh store and again as a full reload over the
// store it filled, beside a floor that does the least the same load could do: libxml2's parse of
// the same bytes (and its release), the very rows the load writes (read back beforehand from a
// store it filled: every column, link columns, link rows and rows of pairs) each as a prepared
// INSERT, and for every element the look-ups the readers make (the row by its id, each row it
// names by id, each link row by its two ends) as SQLite SELECTs on the store's own indexed tables,
// all in one transaction. The floor checks that its file holds what the load's does (rows per
// table, values per column). The tight floor reads the reply once as a stream instead and looks
// nothing up. The sync is the store handler's load (no clean) over a store that holds the reply.
// The file bench reports the store's size after each of seven loads.
//
//   build/bench/store_load_bench --benchmark_counters_tabular=true

#include "core/session/LocalStoreModel.h"
#include "platform/store/ObjectContext.h"
#include "platform/store/ObjectStore.h"
#include "sync/storeload/OperationSynchStore.h"
#include "sync/storeload/StoreDataGenerator.h"
#include "xml/XmlHelper.h"

#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/xmlreader.h>
#include <sqlite3.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <functional>
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

// A load of the reply into the store: a full reload, or the store handler's sync. The load takes
// the reply as the exchange hands it over, without a copy.
void loadReply(const std::shared_ptr<ObjectStore>& store, std::string reply, bool fullReload = true) {
    OperationSynchStore load("http://127.0.0.1/", "BENCH", "secret", fullReload, std::nullopt, 30, false, store);
    load.setDataSource([&reply](const StoreDataRequest&, Error*) { return std::move(reply); });
    load.start();
    if (!load.succeeded()) throw std::runtime_error("the load failed");
}

// Times a load of the reply in each round, into a fresh store, or (`again`) over a store that
// already holds the reply.
void timeLoad(benchmark::State& state, bool again, bool fullReload) {
    const std::string& reply = replyOf(static_cast<size_t>(state.range(0)));
    size_t rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Scratch scratch;
        std::shared_ptr<ObjectStore> store = openStore(scratch.path / "store.sqlite");
        if (again) loadReply(store, reply);
        std::string received = reply;
        state.ResumeTiming();

        loadReply(store, std::move(received), fullReload);

        state.PauseTiming();
        rows = storedRows(store);
        state.ResumeTiming();
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["bytes"] = static_cast<double>(reply.size());
}

// The first load into a fresh store.
void BM_StoreLoad(benchmark::State& state) { timeLoad(state, false, true); }

// A full reload of the same reply over a store that already holds it: the clean, then the load.
void BM_StoreReload(benchmark::State& state) { timeLoad(state, true, true); }

// The store handler's sync (not a full reload) of the same reply over a store that holds it: every
// row is found and updated in place, the link lists of each row read and written again.
void BM_StoreSync(benchmark::State& state) { timeLoad(state, true, false); }

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
            loadReply(store, reply);
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

void query(sqlite3* db, const std::string& sql, const std::function<void(sqlite3_stmt*)>& row) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) throw std::runtime_error(sqlite3_errmsg(db));
    while (sqlite3_step(s) == SQLITE_ROW) row(s);
    sqlite3_finalize(s);
}

std::string textColumn(sqlite3_stmt* s, int c) { return reinterpret_cast<const char*>(sqlite3_column_text(s, c)); }

// What a store file holds: per table its rows, and per column its values (not null).
std::map<std::string, int64_t> shapeOf(sqlite3* db) {
    std::vector<std::string> tables;
    query(db, "SELECT name FROM sqlite_master WHERE type = 'table'",
          [&](sqlite3_stmt* s) { tables.push_back(textColumn(s, 0)); });
    std::map<std::string, int64_t> shape;
    for (const std::string& table : tables) {
        std::vector<std::string> columns;
        query(db, "SELECT name FROM pragma_table_info('" + table + "')",
              [&](sqlite3_stmt* s) { columns.push_back(textColumn(s, 0)); });
        std::string sql = "SELECT COUNT(*)";
        for (const std::string& c : columns) sql += ", COUNT(\"" + c + "\")";
        query(db, sql + " FROM \"" + table + "\"", [&](sqlite3_stmt* s) {
            shape[table] = sqlite3_column_int64(s, 0);
            for (size_t i = 0; i < columns.size(); ++i)
                shape[table + "." + columns[i]] = sqlite3_column_int64(s, static_cast<int>(i + 1));
        });
    }
    return shape;
}

// The rows a load writes, read back from a store the load filled: per table its columns and its
// rows in key order, every link column and row of pairs included.
struct LoadedRows {
    using Cell = std::variant<std::monostate, int64_t, double, std::string>;
    struct Table {
        std::string name;
        std::vector<std::string> columns;
        std::vector<Cell> cells; // row after row
    };
    std::vector<Table> tables;
    std::map<std::string, int64_t> shape;
};

const LoadedRows& loadedRowsOf(size_t items) {
    static std::map<size_t, LoadedRows> loads;
    auto found = loads.find(items);
    if (found != loads.end()) return found->second;
    Scratch scratch;
    std::filesystem::path file = scratch.path / "store.sqlite";
    loadReply(openStore(file), replyOf(items));
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        throw std::runtime_error("cannot open the loaded store");
    LoadedRows loaded;
    loaded.shape = shapeOf(db);
    query(db, "SELECT name FROM sqlite_master WHERE type = 'table'", [&](sqlite3_stmt* s) {
        loaded.tables.push_back({textColumn(s, 0), {}, {}});
    });
    for (LoadedRows::Table& t : loaded.tables) {
        query(db, "SELECT name FROM pragma_table_info('" + t.name + "')",
              [&](sqlite3_stmt* s) { t.columns.push_back(textColumn(s, 0)); });
        query(db, "SELECT * FROM \"" + t.name + "\"", [&](sqlite3_stmt* s) {
            for (int c = 0; c < static_cast<int>(t.columns.size()); ++c) {
                switch (sqlite3_column_type(s, c)) {
                case SQLITE_INTEGER: t.cells.emplace_back(static_cast<int64_t>(sqlite3_column_int64(s, c))); break;
                case SQLITE_FLOAT: t.cells.emplace_back(sqlite3_column_double(s, c)); break;
                case SQLITE_NULL: t.cells.emplace_back(); break;
                default: t.cells.emplace_back(textColumn(s, c)); break;
                }
            }
        });
    }
    sqlite3_close(db);
    return loads.emplace(items, std::move(loaded)).first->second;
}

// Raw SQLite on a file with the store's own tables and indexes: every statement prepared once.
class Sql {
public:
    using Key = std::variant<std::string_view, int64_t>;

    explicit Sql(const std::filesystem::path& file) {
        if (sqlite3_open(file.c_str(), &db_) != SQLITE_OK) throw std::runtime_error("cannot open the floor's file");
        exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;");
    }
    ~Sql() {
        for (auto& [sql, s] : statements_) sqlite3_finalize(s);
        sqlite3_close(db_);
    }

    void exec(const char* sql) {
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db_));
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
    // The table's rows, one prepared INSERT of the whole row each.
    void write(const LoadedRows::Table& t) {
        std::string names, marks;
        for (const std::string& c : t.columns) {
            names += (names.empty() ? "\"" : ", \"") + c + "\"";
            marks += marks.empty() ? "?" : ", ?";
        }
        sqlite3_stmt* s = statement("INSERT INTO \"" + t.name + "\" (" + names + ") VALUES (" + marks + ")");
        const size_t width = t.columns.size();
        for (size_t row = 0; row < t.cells.size(); row += width) {
            for (size_t c = 0; c < width; ++c) {
                const LoadedRows::Cell& cell = t.cells[row + c];
                int i = static_cast<int>(c + 1);
                if (const auto* n = std::get_if<int64_t>(&cell)) sqlite3_bind_int64(s, i, *n);
                else if (const auto* d = std::get_if<double>(&cell)) sqlite3_bind_double(s, i, *d);
                else if (const auto* text = std::get_if<std::string>(&cell))
                    sqlite3_bind_text(s, i, text->data(), static_cast<int>(text->size()), SQLITE_STATIC);
                else sqlite3_bind_null(s, i);
            }
            if (sqlite3_step(s) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db_));
            sqlite3_reset(s);
            ++rows;
        }
    }
    std::map<std::string, int64_t> shape() const { return shapeOf(db_); }
    size_t rows = 0;

private:
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
        else sqlite3_bind_int64(s, i, std::get<int64_t>(k));
    }

    sqlite3* db_ = nullptr;
    std::unordered_map<std::string, sqlite3_stmt*> statements_;
};

std::string_view nameOf(xmlNodePtr n) { return reinterpret_cast<const char*>(n->name); }

std::string_view textOf(xmlNodePtr n) {
    xmlNodePtr t = n ? n->children : nullptr;
    return t && t->type == XML_TEXT_NODE ? std::string_view(reinterpret_cast<const char*>(t->content))
                                         : std::string_view();
}

std::string upperFirst(std::string_view s) {
    return std::string(1, char(std::toupper(s[0]))) + std::string(s.substr(1));
}
std::string lowerFirst(std::string_view s) {
    return std::string(1, char(std::tolower(s[0]))) + std::string(s.substr(1));
}

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

int64_t findTarget(Sql& sql, xmlNodePtr reference) {
    auto [entity, column] = targetOf(nameOf(reference));
    return sql.find(entity, column, textOf(reference));
}

// A nested element of a row: a link row found by its two ends, and its own tax amounts. `owner` is
// the entity of the row it hangs on.
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
    for (xmlNodePtr g = xmlFirstElementChild(link); g; g = xmlNextElementSibling(g))
        if (xmlFirstElementChild(g)) floorLink(sql, g, entity, key);
}

// One element of the reply: its row looked up by id, every row it names looked up, and its nested
// link rows.
void floorElement(Sql& sql, xmlNodePtr element) {
    std::string_view name = nameOf(element);
    if (name == "param") {
        sql.find("StoreParam", "name", textOf(XmlHelper::getFirstChildNode(element, "key")));
        return;
    }
    auto [entity, idColumn] = rowOf(name);
    int64_t key = 0;
    if (!entity.empty()) {
        xmlChar* id = xmlGetProp(element, BAD_CAST "id");
        std::string_view idText = id ? reinterpret_cast<const char*>(id) : "";
        key = sql.find(entity, idColumn, idText);
        if (id) xmlFree(id);
    }
    for (xmlNodePtr c = xmlFirstElementChild(element); c; c = xmlNextElementSibling(c)) {
        if (xmlFirstElementChild(c)) {
            floorLink(sql, c, entity, key);
        } else if (isReference(nameOf(c))) {
            findTarget(sql, c);
        }
    }
}

// Times `write` (the reply and the loaded rows into a fresh floor file) in each round, and checks
// that the file holds what the load's does.
template <class Write> void timeFloor(benchmark::State& state, Write write) {
    const LoadedRows& loaded = loadedRowsOf(static_cast<size_t>(state.range(0)));
    size_t rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Scratch scratch;
        openStore(scratch.path / "floor.sqlite");
        Sql sql(scratch.path / "floor.sqlite");
        state.ResumeTiming();

        sql.exec("BEGIN");
        write(sql, loaded);
        sql.exec("COMMIT");

        state.PauseTiming();
        rows = sql.rows;
        bool same = sql.shape() == loaded.shape;
        state.ResumeTiming();
        if (!same) {
            state.SkipWithError("the floor wrote other rows than the load");
            break;
        }
    }
    state.counters["rows"] = static_cast<double>(rows);
}

void BM_Floor(benchmark::State& state) {
    const std::string& reply = replyOf(static_cast<size_t>(state.range(0)));
    timeFloor(state, [&](Sql& sql, const LoadedRows& loaded) {
        XmlDocPtr doc = XmlHelper::parse(reply);
        for (const LoadedRows::Table& t : loaded.tables) sql.write(t);
        for (xmlNodePtr e = xmlFirstElementChild(xmlDocGetRootElement(doc.get())); e; e = xmlNextElementSibling(e))
            floorElement(sql, e);
    });
}

// Every node of the reply read once with libxml2's streaming reader: its name, each attribute's
// name and value, its value. Answers the nodes read; throws on a reply it cannot read whole.
size_t streamReply(const std::string& reply) {
    xmlTextReaderPtr reader = xmlReaderForMemory(reply.data(), static_cast<int>(reply.size()), nullptr, nullptr, 0);
    if (!reader) throw std::runtime_error("cannot read the reply");
    size_t nodes = 0, touched = 0;
    int rc;
    while ((rc = xmlTextReaderRead(reader)) == 1) {
        ++nodes;
        if (const xmlChar* name = xmlTextReaderConstName(reader)) touched += name[0];
        while (xmlTextReaderMoveToNextAttribute(reader) == 1) {
            touched += xmlTextReaderConstName(reader)[0];
            if (const xmlChar* value = xmlTextReaderConstValue(reader)) touched += value[0];
        }
        if (const xmlChar* value = xmlTextReaderConstValue(reader)) touched += value[0];
    }
    xmlFreeTextReader(reader);
    if (rc != 0) throw std::runtime_error("the reply is not well formed");
    benchmark::DoNotOptimize(touched);
    return nodes;
}

// The tight floor: the reply read once as a stream (every node's name, attributes and value), and
// exactly the rows the load writes, each one prepared INSERT, in one transaction (WAL,
// synchronous=FULL) into a file with the store's tables and indexes. Checked by count.
void BM_TightFloor(benchmark::State& state) {
    const std::string& reply = replyOf(static_cast<size_t>(state.range(0)));
    size_t nodes = 0;
    timeFloor(state, [&](Sql& sql, const LoadedRows& loaded) {
        nodes = streamReply(reply);
        for (const LoadedRows::Table& t : loaded.tables) sql.write(t);
    });
    state.counters["nodes"] = static_cast<double>(nodes);
}

// 5,000 and 20,000 items three times each, 100,000 once (a run takes seconds).
void itemCounts(benchmark::internal::Benchmark* b) { b->Unit(benchmark::kMillisecond)->ArgName("items"); }

BENCHMARK(BM_StoreLoad)->Apply(itemCounts)->Arg(5'000)->Arg(20'000)->Iterations(3);
BENCHMARK(BM_StoreReload)->Apply(itemCounts)->Arg(5'000)->Arg(20'000)->Iterations(3);
BENCHMARK(BM_Floor)->Apply(itemCounts)->Arg(5'000)->Arg(20'000)->Iterations(3);
BENCHMARK(BM_TightFloor)->Apply(itemCounts)->Arg(5'000)->Arg(20'000)->Iterations(3);
BENCHMARK(BM_StoreSync)->Apply(itemCounts)->Arg(5'000)->Arg(20'000)->Iterations(3);
BENCHMARK(BM_StoreLoad)->Apply(itemCounts)->Arg(100'000)->Iterations(1);
BENCHMARK(BM_StoreReload)->Apply(itemCounts)->Arg(100'000)->Iterations(1);
BENCHMARK(BM_Floor)->Apply(itemCounts)->Arg(100'000)->Iterations(1);
BENCHMARK(BM_TightFloor)->Apply(itemCounts)->Arg(100'000)->Iterations(1);
BENCHMARK(BM_StoreSync)->Apply(itemCounts)->Arg(50'000)->Arg(100'000)->Iterations(1);
BENCHMARK(BM_StoreFileOverLoads)->Apply(itemCounts)->Arg(20'000)->Iterations(1);

} // namespace
