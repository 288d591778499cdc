// Peak memory of a first store load (a full reload into a fresh store) through the real exchange
// with the store server on loopback, and of that exchange alone, at several reply sizes. Each
// runs in a process of its own, forked from this small one, so that its peak (getrusage's
// ru_maxrss) is its own; the server runs in another process, so that its copy of the reply is not
// counted.
//
//   build/bench/store_load_memory_bench --benchmark_counters_tabular=true
//
// peak_MB: the process's peak resident size; base_MB: its resident size just before the measured
// step (program, libraries, empty store); reply_MB: the reply's size; x_reply: peak / reply;
// KB_item: peak per item.
//
// The tight floor's peak beside it: the reply through the same exchange, read once with libxml2's
// streaming reader, then exactly the rows a load wrote (copied by SQLite from a store a load
// filled beforehand, in another process) inserted in one transaction into a fresh file with the
// store's tables and indexes.

#include "StoreServer.h"
#include "core/session/LocalStoreModel.h"
#include "platform/store/ObjectStore.h"
#include "sync/exchange/CommHelper.h"
#include "sync/storeload/OperationSynchStore.h"
#include "sync/storeload/StoreDataGenerator.h"

#include <benchmark/benchmark.h>
#include <libxml/xmlreader.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace tavlo;

// What a measured process reports back.
struct Figures {
    bool succeeded = false;
    double seconds = 0;
    long peakKiB = 0;
    long baseKiB = 0;
};

long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

void writeAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = write(fd, p, size);
        if (n <= 0) _exit(3);
        p += n;
        size -= static_cast<size_t>(n);
    }
}

bool readAll(int fd, void* data, size_t size) {
    char* p = static_cast<char*>(data);
    while (size > 0) {
        ssize_t n = read(fd, p, size);
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// A child process running `body`, which reports through the pipe's write end; the parent gets
// the child's id and the read end. The child never returns into the benchmark.
template <typename Body> pid_t spawn(int& readEnd, Body body) {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        close(fds[0]);
        try {
            body(fds[1]);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            _exit(2);
        }
        _exit(0);
    }
    close(fds[1]);
    readEnd = fds[0];
    return pid;
}

// The store server answering the generated reply; it tells its port, then serves until killed.
pid_t startServer(size_t items, int& port, size_t& replyBytes) {
    int fd = -1;
    pid_t pid = spawn(fd, [items](int out) {
        auto reply = std::make_shared<const std::string>(StoreDataGenerator::reply(items));
        storesim::StoreServer server;
        server.setStoreData([reply](const storesim::StoreDataRequest&) { return *reply; });
        int listening = server.start();
        size_t bytes = reply->size();
        writeAll(out, &listening, sizeof listening);
        writeAll(out, &bytes, sizeof bytes);
        for (;;) pause();
    });
    bool told = readAll(fd, &port, sizeof port) && readAll(fd, &replyBytes, sizeof replyBytes);
    close(fd);
    if (!told) throw std::runtime_error("the store server did not start");
    return pid;
}

// The measured step of a process: its time, and the resident size before it and at the peak.
class Measure {
public:
    void begin() {
        f_.baseKiB = residentKiB();
        start_ = std::chrono::steady_clock::now();
    }
    Figures end(bool succeeded) {
        f_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        f_.succeeded = succeeded;
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        f_.peakKiB = usage.ru_maxrss;
        return f_;
    }

private:
    Figures f_;
    std::chrono::steady_clock::time_point start_;
};

// `step(url, home)` in a process of its own with a fresh data directory, `home`.
template <typename Step> Figures measureInChild(const std::string& url, Step step) {
    int fd = -1;
    pid_t pid = spawn(fd, [&](int out) {
        std::string home = (std::filesystem::temp_directory_path() / "tavlo-membench-XXXXXX").string();
        if (!mkdtemp(home.data())) throw std::runtime_error("mkdtemp failed");
        setenv("TAVLO_HOME", home.c_str(), 1);
        Figures f = step(url, home);
        std::error_code ec;
        std::filesystem::remove_all(home, ec);
        writeAll(out, &f, sizeof f);
    });
    Figures f;
    bool told = readAll(fd, &f, sizeof f);
    close(fd);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!told || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("the measured process failed");
    return f;
}

// A full reload from the server into a fresh store.
Figures load(const std::string& url, const std::string& home) {
    Error error;
    std::shared_ptr<ObjectStore> store =
        ObjectStore::open(LocalStoreModel::build(), std::filesystem::path(home) / "store.sqlite", &error);
    if (!store) throw std::runtime_error(error.localizedDescription());
    OperationSynchStore load(url, "1", "secret", true, std::nullopt, 300, false, store);
    Measure measure;
    measure.begin();
    load.start();
    return measure.end(load.succeeded());
}

// The store-data exchange alone: the reply's text as the load gets it.
Figures exchange(const std::string& url, const std::string&) {
    Measure measure;
    measure.begin();
    Error error;
    std::string reply = CommHelper::getStoreMenuData("1", "secret", std::nullopt, url, 300, "0", "0", std::nullopt,
                                                     "1.0", false, &error);
    return measure.end(!error.isSet() && !reply.empty());
}

// A first load's store file (and its log), made in a process of its own: the rows the floor writes.
std::string loadedStore(const std::string& url, const std::string& home) {
    const std::string loaded = home + "/loaded.sqlite";
    measureInChild(url, [&](const std::string& u, const std::string& h) {
        Figures f = load(u, h);
        for (const char* suffix : {"", "-wal"}) {
            std::filesystem::path from = std::filesystem::path(h) / ("store.sqlite" + std::string(suffix));
            if (std::filesystem::exists(from)) std::filesystem::copy_file(from, loaded + suffix);
        }
        return f;
    });
    return loaded;
}

void exec(sqlite3* db, const std::string& sql) {
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db));
}

// The tight floor: the reply fetched and streamed, then the loaded store's rows written.
Figures floor(const std::string& url, const std::string& home, const std::string& loaded) {
    const std::filesystem::path file = std::filesystem::path(home) / "floor.sqlite";
    {
        Error error;
        if (!ObjectStore::open(LocalStoreModel::build(), file, &error))
            throw std::runtime_error(error.localizedDescription());
    }
    Measure measure;
    measure.begin();
    Error error;
    std::string reply = CommHelper::getStoreMenuData("1", "secret", std::nullopt, url, 300, "0", "0", std::nullopt,
                                                     "1.0", false, &error);
    xmlTextReaderPtr reader = xmlReaderForMemory(reply.data(), static_cast<int>(reply.size()), nullptr, nullptr, 0);
    size_t touched = 0;
    int rc = reader ? 1 : -1;
    while (reader && (rc = xmlTextReaderRead(reader)) == 1) {
        if (const xmlChar* name = xmlTextReaderConstName(reader)) touched += name[0];
        while (xmlTextReaderMoveToNextAttribute(reader) == 1) touched += xmlTextReaderConstValue(reader)[0];
        if (const xmlChar* value = xmlTextReaderConstValue(reader)) touched += value[0];
    }
    if (reader) xmlFreeTextReader(reader);
    benchmark::DoNotOptimize(touched);
    std::string().swap(reply);

    sqlite3* db = nullptr;
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) throw std::runtime_error("cannot open the floor's file");
    exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;");
    exec(db, "ATTACH DATABASE '" + loaded + "' AS loaded");
    std::vector<std::string> tables;
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "SELECT name FROM loaded.sqlite_master WHERE type = 'table'", -1, &s, nullptr);
    while (sqlite3_step(s) == SQLITE_ROW) tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
    sqlite3_finalize(s);
    exec(db, "BEGIN");
    for (const std::string& t : tables) exec(db, "INSERT INTO main.\"" + t + "\" SELECT * FROM loaded.\"" + t + "\"");
    exec(db, "COMMIT");
    Figures f = measure.end(rc == 0 && !error.isSet() && !tables.empty());
    // Checked by count: every table holds as many rows as the load's.
    for (const std::string& t : tables) {
        std::string sql =
            "SELECT (SELECT COUNT(*) FROM main.\"" + t + "\") = (SELECT COUNT(*) FROM loaded.\"" + t + "\")";
        sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr);
        if (sqlite3_step(s) != SQLITE_ROW || !sqlite3_column_int(s, 0)) f.succeeded = false;
        sqlite3_finalize(s);
    }
    sqlite3_close(db);
    return f;
}

template <typename Step> void peakMemory(benchmark::State& state, Step step) {
    const size_t items = static_cast<size_t>(state.range(0));
    int port = 0;
    size_t replyBytes = 0;
    pid_t server = startServer(items, port, replyBytes);
    Figures f;
    try {
        for (auto _ : state) {
            f = measureInChild("http://127.0.0.1:" + std::to_string(port), step);
            if (!f.succeeded) throw std::runtime_error("the measured step failed");
            state.SetIterationTime(f.seconds);
        }
    } catch (...) {
        kill(server, SIGKILL);
        waitpid(server, nullptr, 0);
        throw;
    }
    kill(server, SIGKILL);
    waitpid(server, nullptr, 0);
    const double mb = 1024.0 * 1024.0;
    state.counters["reply_MB"] = static_cast<double>(replyBytes) / mb;
    state.counters["base_MB"] = static_cast<double>(f.baseKiB) / 1024.0;
    state.counters["peak_MB"] = static_cast<double>(f.peakKiB) / 1024.0;
    state.counters["x_reply"] = static_cast<double>(f.peakKiB) * 1024.0 / static_cast<double>(replyBytes);
    state.counters["KB_item"] = static_cast<double>(f.peakKiB) * 1.024 / static_cast<double>(items);
}

void BM_StoreLoadPeakMemory(benchmark::State& state) { peakMemory(state, load); }
void BM_StoreDataExchangePeakMemory(benchmark::State& state) { peakMemory(state, exchange); }
void BM_TightFloorPeakMemory(benchmark::State& state) {
    peakMemory(state, [](const std::string& url, const std::string& home) {
        return floor(url, home, loadedStore(url, home));
    });
}

// One measured process per size.
void replySizes(benchmark::internal::Benchmark* b) {
    b->Arg(5'000)->Arg(20'000)->Arg(100'000)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_StoreLoadPeakMemory)->Apply(replySizes);
BENCHMARK(BM_TightFloorPeakMemory)->Apply(replySizes);
BENCHMARK(BM_StoreDataExchangePeakMemory)->Apply(replySizes);

} // namespace
