// The orders main screen with 2,000 open orders of the business day (goal: the open list's first
// screen ready in under 50 ms): from making the screen to its first frame drawn on the phone,
// and the open list's re-read alone, beside a floor: what the list shows of every open order (its
// name, server, total, age, type and remote id, in the list's order) read from the same file with
// one statement, prepared once, in one read transaction.
#include "core/session/IDBroker.h"
#include "core/session/Session.h"
#include "platform/ui/NavigationController.h"
#include "screens/shell/OrdersMainController.h"
#include "support/StoreFixture.h"
#include "support/ui/Harness.h"

#include "platform/ui/render/CairoGraphicsContext.h"
#include "platform/ui/render/Renderer.h"

#include <benchmark/benchmark.h>

#include <cairo.h>
#include <sqlite3.h>

#include <stdexcept>

using namespace tavlo;
using namespace tavlo::ui;
using namespace tavlo::screens;

namespace {

constexpr int kOrders = 2000;

// The small store with 2,000 open orders of several servers, Bob (ALL_ORDERS) signed in.
struct BusyStore {
    tavlo::test::StoreFixture store;
    ui::test::Harness h{DeviceIdiom::Phone};
    std::shared_ptr<Session> session;

    BusyStore() {
        store.buildSmallStore();
        ManagedObjectPtr batch = store.addStoreBatch("B1", Date::now().addingSeconds(-3600), std::nullopt);
        const char* users[] = {"U-ANN", "U-BOB", "U-EVE"};
        for (int i = 0; i < kOrders; ++i) {
            ManagedObjectPtr order =
                store.addOrder("O-" + std::to_string(i), store.row("User", "userId", users[i % 3]));
            order->setValue("name", "Table " + std::to_string((i * 7919) % 10007));
            order->setValue("total", 100 + i);
            order->setValue("type", "dineIn");
            order->setValue("created", Date::now().addingSeconds(-i));
            order->setToOne("storeBatch", batch);
        }
        store.save();
        registerOrderListScreens();
        session = std::make_shared<Session>(store.context().get());
        session->authenticate("U-BOB");
    }
    std::shared_ptr<OrdersMainController> show() {
        auto main = std::make_shared<OrdersMainController>();
        main->setSession(session);
        main->setRoot(true);
        h.show(std::make_shared<NavigationController>(main));
        return main;
    }
};

void BM_OpenListFirstScreen(benchmark::State& state) {
    BusyStore busy;
    render::CairoGraphicsContext context(busy.h.window().bounds().size);
    for (auto _ : state) {
        std::shared_ptr<OrdersMainController> main = busy.show();
        busy.h.app().layoutIfNeeded();
        render::Renderer(context).drawScreen(busy.h.app());
        cairo_surface_flush(cairo_get_target(context.cairo()));
        benchmark::DoNotOptimize(main->activeViewController());
    }
    state.SetLabel(std::to_string(kOrders) + " open orders, 320x480, first frame drawn");
}
BENCHMARK(BM_OpenListFirstScreen)->Unit(benchmark::kMillisecond);

void BM_OpenListRefreshData(benchmark::State& state) {
    BusyStore busy;
    std::shared_ptr<OrdersMainController> main = busy.show();
    OrdersOpenViewController& open = *main->segmentedViewControllers().front();
    if (open.tableView().dataSource()->numberOfRows(open.tableView(), 0) != kOrders)
        return state.SkipWithError("the open list does not hold every open order");
    for (auto _ : state) {
        open.refreshData();
        busy.h.app().layoutIfNeeded();
    }
    state.SetLabel(std::to_string(kOrders) + " open orders");
}
BENCHMARK(BM_OpenListRefreshData)->Unit(benchmark::kMillisecond);

// The open orders' shown values straight from the file: the floor the list is measured against.
void BM_OpenListSqlFloor(benchmark::State& state) {
    BusyStore busy;
    const std::string file = busy.store.context()->store()->path().string();
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
        throw std::runtime_error("cannot open the store file");
    sqlite3_stmt* rows = nullptr;
    const char* sql = "SELECT o.Z_PK, o.name, u.name, u.userId, o.total, o.created, o.remoteId, o.type FROM \"Order\" o"
                      " LEFT JOIN StoreBatch b ON b.Z_PK = o.storeBatch LEFT JOIN User u ON u.Z_PK = o.user"
                      " WHERE o.closed IS NULL AND b.closedOn IS NULL ORDER BY o.name, o.Z_PK";
    if (sqlite3_prepare_v2(db, sql, -1, &rows, nullptr) != SQLITE_OK) throw std::runtime_error(sqlite3_errmsg(db));
    size_t read = 0;
    int64_t sum = 0;
    for (auto _ : state) {
        read = 0;
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        while (sqlite3_step(rows) == SQLITE_ROW) {
            ++read;
            sum += sqlite3_column_int64(rows, 0) + sqlite3_column_int64(rows, 4);
            for (int c : {1, 2, 3, 6, 7}) sum += sqlite3_column_bytes(rows, c);
            benchmark::DoNotOptimize(sqlite3_column_double(rows, 5));
        }
        sqlite3_reset(rows);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
    benchmark::DoNotOptimize(sum);
    sqlite3_finalize(rows);
    sqlite3_close(db);
    if (read != kOrders) return state.SkipWithError("the floor does not read every open order");
    state.SetLabel(std::to_string(kOrders) + " open orders");
}
BENCHMARK(BM_OpenListSqlFloor)->Unit(benchmark::kMillisecond);

} // namespace
