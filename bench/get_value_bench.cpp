// Configuration reads as every screen makes them: DBHelper::getValue, three fetches each (this
// device's terminal, its value for the name, the store's value), with no cache.
#include "core/DBHelper.h"
#include "core/IDBroker.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace tavlo;

constexpr int kStoreParams = 500;
constexpr int kTerminals = 50;
constexpr int kParamsPerTerminal = 100;  // TS_UID and 99 others
constexpr const char* kDevice = "bench-device";

struct Store {
    std::filesystem::path home;
    std::shared_ptr<ObjectContext> context;
    std::vector<std::string> storeNames, terminalNames;

    Store() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tavlo-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        home = pattern;
        setenv("TAVLO_HOME", home.c_str(), 1);
        UserDefaults::standardUserDefaults().setObject(UserDefaults::Value(std::string(kDevice)), IDBroker::deviceIdKey);
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
        context->reset();  // reads start from the file, as after a launch
    }
    ~Store() {
        context.reset();
        DBHelper::closeSharedStore();
        std::error_code ec;
        std::filesystem::remove_all(home, ec);
    }
};

Store& store() {
    static Store s;
    return s;
}

// Reads the names in turn, over and over.
void getValues(benchmark::State& state, const std::vector<std::string>& names) {
    Store& s = store();
    size_t i = 0;
    for (auto _ : state) {
        auto value = DBHelper::getValue(names[i++ % names.size()], s.context.get());
        if (!value) state.SkipWithError("missing value");
        benchmark::DoNotOptimize(value);
    }
}

// A name only the store has: all three fetches run.
void BM_GetValueStoreOnly(benchmark::State& state) { getValues(state, store().storeNames); }
BENCHMARK(BM_GetValueStoreOnly)->Repetitions(10)->ReportAggregatesOnly(true);

// A name this terminal has: the store's row is not read.
void BM_GetValueTerminal(benchmark::State& state) { getValues(state, store().terminalNames); }
BENCHMARK(BM_GetValueTerminal)->Repetitions(10)->ReportAggregatesOnly(true);

} // namespace
