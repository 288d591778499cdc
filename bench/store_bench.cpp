// The object store beside raw SQLite prepared statements doing the same work in the same run:
// 100,000 small objects inserted in one save, and 100,000 first-object fetches by an indexed
// text attribute.
#include "platform/store/ObjectContext.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace tavlo;

namespace {

constexpr int kRows = 100'000;

std::filesystem::path freshDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tavlo-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    return pattern;
}

Model benchModel() {
    Model m;
    m.entity("Item")
        .attribute("itemId", AttributeType::Text, EntityDescription::Indexed::Yes)
        .attribute("name", AttributeType::Text)
        .attribute("price", AttributeType::Int32)
        .attribute("disabled", AttributeType::Boolean);
    return m;
}

std::string itemId(int i) { return "ITEM-" + std::to_string(i); }

void insertWithLayer(const std::filesystem::path& file) {
    auto store = ObjectStore::open(benchModel(), file, nullptr);
    ObjectContext context(store);
    for (int i = 0; i < kRows; ++i) {
        auto item = context.insert("Item");
        item->setValue("itemId", itemId(i));
        item->setValue("name", "Burger");
        item->setValue("price", 995 + i % 100);
        item->setValue("disabled", false);
    }
    if (!context.save()) std::abort();
}

void exec(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) std::abort();
}

void insertWithSqlite(const std::filesystem::path& file) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    exec(db, "PRAGMA journal_mode=WAL");
    exec(db, "PRAGMA synchronous=FULL");
    exec(db, "CREATE TABLE Item (Z_PK INTEGER PRIMARY KEY, Z_OPT INTEGER, itemId TEXT, name TEXT, price INTEGER, "
             "disabled INTEGER)");
    exec(db, "CREATE INDEX Item_itemId ON Item (itemId)");
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Item (Z_PK, Z_OPT, itemId, name, price, disabled) VALUES (?, 1, ?, ?, ?, ?)",
                       -1, &s, nullptr);
    exec(db, "BEGIN IMMEDIATE");
    for (int i = 0; i < kRows; ++i) {
        std::string id = itemId(i);
        sqlite3_bind_int64(s, 1, i + 1);
        sqlite3_bind_text(s, 2, id.data(), static_cast<int>(id.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(s, 3, "Burger", 6, SQLITE_TRANSIENT);
        sqlite3_bind_int64(s, 4, 995 + i % 100);
        sqlite3_bind_int64(s, 5, 0);
        if (sqlite3_step(s) != SQLITE_DONE) std::abort();
        sqlite3_reset(s);
    }
    exec(db, "COMMIT");
    sqlite3_finalize(s);
    sqlite3_close(db);
}

// Each iteration fills a new file; making and removing its folder is not timed.
void bulkInsert(benchmark::State& state, void (*insert)(const std::filesystem::path&)) {
    for (auto _ : state) {
        state.PauseTiming();
        auto dir = freshDirectory();
        state.ResumeTiming();
        insert(dir / "bench.sqlite");
        state.PauseTiming();
        std::filesystem::remove_all(dir);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_BulkInsert_Layer(benchmark::State& state) { bulkInsert(state, insertWithLayer); }
void BM_BulkInsert_RawSqlite(benchmark::State& state) { bulkInsert(state, insertWithSqlite); }

// One file with the rows, shared by the fetch benchmarks.
const std::filesystem::path& fetchFile() {
    static std::filesystem::path file = [] {
        auto f = freshDirectory() / "fetch.sqlite";
        insertWithLayer(f);
        return f;
    }();
    return file;
}

std::vector<std::string> lookupIds() {
    std::vector<std::string> ids;
    ids.reserve(kRows);
    for (int i = 0; i < kRows; ++i) ids.push_back(itemId(static_cast<int>((i * 7919LL) % kRows)));
    return ids;
}

void BM_FetchFirst_Layer(benchmark::State& state) {
    auto store = ObjectStore::open(benchModel(), fetchFile(), nullptr);
    ObjectContext context(store);
    auto ids = lookupIds();
    int64_t found = 0;
    for (auto _ : state) {
        for (const std::string& id : ids) {
            ManagedObjectPtr item = context.fetchFirst("Item", "itemId == %@", id);
            found += item && item->int32("price") > 0;
        }
    }
    if (found != state.iterations() * kRows) state.SkipWithError("missing rows");
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_FetchFirst_RawSqlite(benchmark::State& state) {
    fetchFile();
    sqlite3* db = nullptr;
    sqlite3_open(fetchFile().c_str(), &db);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "SELECT Z_PK, Z_OPT, itemId, name, price, disabled FROM Item WHERE itemId = ? LIMIT 1", -1,
                       &s, nullptr);
    auto ids = lookupIds();
    int64_t found = 0;
    for (auto _ : state) {
        for (const std::string& id : ids) {
            sqlite3_bind_text(s, 1, id.data(), static_cast<int>(id.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(s) == SQLITE_ROW) {
                std::string itemIdText(reinterpret_cast<const char*>(sqlite3_column_text(s, 2)));
                std::string name(reinterpret_cast<const char*>(sqlite3_column_text(s, 3)));
                found += sqlite3_column_int64(s, 4) > 0 && !itemIdText.empty() && !name.empty();
            }
            sqlite3_reset(s);
        }
    }
    if (found != state.iterations() * kRows) state.SkipWithError("missing rows");
    sqlite3_finalize(s);
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations() * kRows);
}

} // namespace

BENCHMARK(BM_BulkInsert_Layer)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_BulkInsert_RawSqlite)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FetchFirst_Layer)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FetchFirst_RawSqlite)->Unit(benchmark::kMillisecond)->Iterations(3);
