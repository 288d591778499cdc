// The orders main screen with 2,000 open orders of the business day (goal: the open list's first
// screen ready in under 50 ms): from making the screen to its first frame drawn on the phone,
// and the open list's re-read alone.
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

} // namespace
