// Opening a menu screen on the 20,000-item demo store: the menu "Menu 0" holds 2,000 items in 80
// sections, and the store's 1,000 combos in its first section (3,000 rows). Each run makes the screen on a fresh context of the store (nothing of it read yet),
// shows it in its navigation on the pad as the order screen would, and draws the first frame a
// person sees. The goal is under 50 ms. The store is loaded once, before anything is timed.
//
//   build/bench/menu_open_bench
#include "core/order/Order.h"
#include "core/session/DBHelper.h"
#include "core/session/Session.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/render/CairoGraphicsContext.h"
#include "platform/ui/render/Renderer.h"
#include "screens/entry/menu/MenuButtonsViewController.h"
#include "screens/entry/menu/MenuFetchedResultsController.h"
#include "screens/entry/menu/MenuScreens.h"
#include "screens/entry/menu/SlideMenuViewController.h"
#include "support/TempHome.h"
#include "support/ui/Harness.h"
#include "sync/storeload/OperationSynchStore.h"
#include "sync/storeload/StoreDataGenerator.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cstdlib>
#include <ctime>
#include <stdexcept>

using namespace tavlo;
using namespace tavlo::screens;

namespace {

constexpr size_t kItems = 20'000;

// The demo store in a data folder of its own, loaded once.
struct DemoStore {
    DemoStore() {
        setenv("TZ", "UTC", 1);
        tzset();
        Error error;
        std::shared_ptr<ObjectStore> store = DBHelper::sharedStore(&error);
        if (!store) throw std::runtime_error(error.localizedDescription());
        const std::string reply = StoreDataGenerator::reply(kItems);
        OperationSynchStore load("http://127.0.0.1/", "BENCH", "secret", true, std::nullopt, 30, false, store);
        load.setDataSource([&reply](const StoreDataRequest&, Error*) { return reply; });
        load.start();
        if (!load.succeeded()) throw std::runtime_error("the demo store did not load");
        registerMenuScreens();
    }
    tavlo::test::TempHome home;
};

DemoStore& demoStore() {
    static DemoStore store;
    return store;
}

template <typename Screen> void openMenu(benchmark::State& state) {
    DemoStore& demo = demoStore();
    ui::test::Harness h(ui::DeviceIdiom::Tablet);
    h.clock().set(Date(1'699'963'200.0)); // 12:00 UTC: the menus of the day's schedule are on
    ui::render::CairoGraphicsContext frame(h.window().bounds().size);
    size_t rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto context = std::make_shared<ObjectContext>(DBHelper::sharedStore());
        Session session(context.get());
        session.setUserId(std::string("U0"));
        session.setTerminalId(std::string("T0")); // in area A0, where Menu 0 is offered
        auto order = std::make_shared<Order>(context.get());
        order->setOrderType(OrderType::DineIn);
        order->setAreaLocationId(std::string("L0"));
        state.ResumeTiming();

        auto screen = std::make_shared<Screen>();
        screen->setSession(&session);
        screen->setOrder(order);
        screen->setCurrentMenuId(std::string("M0"));
        h.show(std::make_shared<ui::NavigationController>(screen));
        h.app().layoutIfNeeded();
        ui::render::Renderer(frame).drawScreen(h.app());
        cairo_surface_flush(cairo_get_target(frame.cairo()));

        state.PauseTiming();
        rows = screen->fetchedResultsController().fetchedObjects().size();
        h.show(std::make_shared<ui::ViewController>());
        state.ResumeTiming();
    }
    (void)demo;
    // Its share of the items, and every combo (offered in its first section).
    if (rows != kItems / StoreDataGenerator::kMenus + StoreDataGenerator::comboCount(kItems))
        state.SkipWithError("Menu 0 does not hold its 2,000 items and 1,000 combos");
    state.counters["items"] = static_cast<double>(rows);
}

void BM_OpenTheListMenuOf2000Items(benchmark::State& state) { openMenu<SlideMenuViewController>(state); }
BENCHMARK(BM_OpenTheListMenuOf2000Items)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OpenTheButtonMenuOf2000Items(benchmark::State& state) { openMenu<MenuButtonsViewController>(state); }
BENCHMARK(BM_OpenTheButtonMenuOf2000Items)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
