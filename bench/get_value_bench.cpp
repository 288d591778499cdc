// Configuration reads as every screen makes them: DBHelper::getValue, three fetches each (this
// device's terminal, its value for the name, the store's value), with no cache. Beside each, the
// floor: the same three reads on the same file with raw SQLite.
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"

#include "support/TempHome.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace tavlo;

constexpr int kStoreParams = 500;
constexpr int kTerminals = 50;
constexpr int kParamsPerTerminal = 100; // TS_UID and 99 others
constexpr const char* kDevice = "bench-device";

struct Store {
    test::TempHome home; // first made, last gone
    std::shared_ptr<ObjectContext> context;
    std::vector<std::string> storeNames, terminalNames;

    Store() {
        UserDefaults::standardUserDefaults().setObject(UserDefaults::Value(std::string(kDevice)),
                                                       IDBroker::kDeviceIdKey);
        Error error;
        context = DBHelper::mainContext(&error);
        if (!context) throw std::runtime_error(error.localizedDescription());
        for (int i = 0; i < kStoreParams; ++i) {
            storeNames.push_back(format("STORE_PARAM_%03d", i));
            DBHelper::saveStoreParam(storeNames.back(), std::to_string(i), context.get());
        }
        for (int i = 1; i < kParamsPerTerminal; ++i) terminalNames.push_back(format("TS_PARAM_%03d", i));
        for (int t = 0; t < kTerminals; ++t) {
            ManagedObjectPtr terminal = context->insert("Terminal");
            terminal->setValue("terminalId", std::to_string(t));
            auto param = [&](const std::string& name, const std::string& value) {
                ManagedObjectPtr row = context->insert("TerminalParam");
                row->setValue("name", name);
                row->setValue("value", value);
                row->setToOne("terminal", terminal);
            };
            param("TS_UID", t == kTerminals / 2 ? kDevice : format("device-%d", t));
            for (const std::string& name : terminalNames) param(name, name + "@" + std::to_string(t));
        }
        if (!context->save(&error)) throw std::runtime_error(error.localizedDescription());
        context->reset(); // reads start from the file, as after a launch
    }
    ~Store() {
        context.reset();
        DBHelper::closeSharedStore();
    }
};

Store& store() {
    static Store s;
    return s;
}

// The same three reads with statements prepared once, in one read transaction as getValue takes,
// on a connection of its own to the same file: this device's terminal id, the terminal's value for
// the name and, when it has none, the store's. It reads only the value columns (the store layer
// reads whole rows into objects): the least any reader of this file can do for the answer.
class RawReads {
public:
    explicit RawReads(const std::filesystem::path& file) {
        if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            throw std::runtime_error("cannot open the store");
        begin_ = prepare("BEGIN");
        commit_ = prepare("COMMIT");
        terminalId_ = prepare("SELECT t1.terminalId FROM TerminalParam t0 JOIN Terminal t1 ON t1.Z_PK = t0.terminal "
                              "WHERE t0.name = 'TS_UID' AND t0.value = ?1 LIMIT 1");
        terminalValue_ = prepare("SELECT t0.value FROM TerminalParam t0 JOIN Terminal t1 ON t1.Z_PK = t0.terminal "
                                 "WHERE t0.name = ?1 AND t1.terminalId = ?2 LIMIT 1");
        storeValue_ = prepare("SELECT value FROM StoreParam WHERE name = ?1 LIMIT 1");
    }
    ~RawReads() {
        for (sqlite3_stmt* s : {begin_, commit_, terminalId_, terminalValue_, storeValue_}) sqlite3_finalize(s);
        sqlite3_close(db_);
    }
    RawReads(const RawReads&) = delete;
    RawReads& operator=(const RawReads&) = delete;

    std::optional<std::string> getValue(const std::string& name) {
        step(begin_);
        bind(terminalId_, 1, kDevice);
        std::optional<std::string> terminalId = step(terminalId_);
        std::optional<std::string> value;
        if (terminalId) {
            bind(terminalValue_, 1, name);
            bind(terminalValue_, 2, *terminalId);
            value = step(terminalValue_);
        }
        if (!value) {
            bind(storeValue_, 1, name);
            value = step(storeValue_);
        }
        step(commit_);
        return value;
    }

private:
    sqlite3_stmt* prepare(const char* sql) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &s, nullptr) != SQLITE_OK) throw std::runtime_error(sqlite3_errmsg(db_));
        return s;
    }
    static void bind(sqlite3_stmt* s, int index, const std::string& text) {
        sqlite3_bind_text(s, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    // The first column of the first row, if any; the statement is reset for the next use.
    static std::optional<std::string> step(sqlite3_stmt* s) {
        std::optional<std::string> text;
        if (sqlite3_step(s) == SQLITE_ROW && sqlite3_column_type(s, 0) != SQLITE_NULL)
            text = std::string(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)),
                               static_cast<size_t>(sqlite3_column_bytes(s, 0)));
        sqlite3_reset(s);
        return text;
    }

    sqlite3* db_ = nullptr;
    sqlite3_stmt *begin_ = nullptr, *commit_ = nullptr, *terminalId_ = nullptr, *terminalValue_ = nullptr,
                 *storeValue_ = nullptr;
};

RawReads& rawReads() {
    static RawReads reads(DBHelper::storePath());
    return reads;
}

// Reads the names in turn, over and over, by the store layer or by the floor. The floor first
// checks that it answers as getValue does.
template <typename Read> void getValues(benchmark::State& state, const std::vector<std::string>& names, Read read) {
    Store& s = store();
    for (const std::string& name : names)
        if (read(name) != DBHelper::getValue(name, s.context.get())) {
            state.SkipWithError(("another answer for " + name).c_str());
            return;
        }
    size_t i = 0;
    for (auto _ : state) {
        auto value = read(names[i++ % names.size()]);
        if (!value) state.SkipWithError("missing value");
        benchmark::DoNotOptimize(value);
    }
}

auto byLayer = [](const std::string& name) { return DBHelper::getValue(name, store().context.get()); };
auto byRawSqlite = [](const std::string& name) { return rawReads().getValue(name); };

// A name only the store has: all three fetches run.
void BM_GetValueStoreOnly(benchmark::State& state) { getValues(state, store().storeNames, byLayer); }
BENCHMARK(BM_GetValueStoreOnly)->Repetitions(10)->ReportAggregatesOnly(true);
void BM_GetValueStoreOnly_RawSqlite(benchmark::State& state) { getValues(state, store().storeNames, byRawSqlite); }
BENCHMARK(BM_GetValueStoreOnly_RawSqlite)->Repetitions(10)->ReportAggregatesOnly(true);

// A name this terminal has: the store's row is not read.
void BM_GetValueTerminal(benchmark::State& state) { getValues(state, store().terminalNames, byLayer); }
BENCHMARK(BM_GetValueTerminal)->Repetitions(10)->ReportAggregatesOnly(true);
void BM_GetValueTerminal_RawSqlite(benchmark::State& state) { getValues(state, store().terminalNames, byRawSqlite); }
BENCHMARK(BM_GetValueTerminal_RawSqlite)->Repetitions(10)->ReportAggregatesOnly(true);

} // namespace
