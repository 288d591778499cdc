// Handing an order over to the store server with the order handler's queue idle, from sendOrder
// to the loopback server holding it: in gateway mode the post is made at once (and the order read
// back); in lite mode the order and its row are stored and the handler's cycle, woken at once,
// posts it on the queue's thread while the main loop turns.
//
//   build/bench/order_send_bench
#include "StoreServer.h"
#include "core/order/Order.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/net/NetworkProbe.h"
#include "support/LocalStoreScope.h"
#include "support/SoupOrders.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/OrderHandler.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

using namespace tavlo;

// A terminal of store "1" (this device's terminal T1, its day open and reported) talking to the
// loopback store server, with its order handler started.
struct Terminal {
    explicit Terminal(bool lite) {
        auto& defaults = UserDefaults::standardUserDefaults();
        defaults.setObject(std::string("1"), "store_id");
        defaults.setObject(std::string("secret"), "password");
        server.start();
        CommHelper::setGateway(server.url());
        NetworkProbe::install(std::make_shared<FixedNetworkProbe>(true, "127.0.0.1", "bench"));
        IDBroker::initWithMOC(store.context());
        store.addThisTerminal("T1", "1");
        ManagedObjectPtr user = store->insert("User");
        user->setValue("userId", std::string("u5"));
        ManagedObjectPtr day = store->insert("StoreBatch");
        day->setValue("remoteId", std::string("B1"));
        day->setValue("openedOn", Date::now().wholeSecondsDate());
        day->setValue("synchedOn", Date::now());
        store.save();
        handler = std::make_shared<OrderHandler>(server.url(), DBHelper::sharedStore(), 60, lite);
        handler->start();
    }
    ~Terminal() {
        handler->pause();
        handler->endOpenReports();
        handler->waitUntilIdle();
        server.stop();
        CommHelper::setGateway(std::nullopt);
        NetworkProbe::install(nullptr);
    }

    tavlo::test::LocalStoreScope store;
    storesim::StoreServer server;
    std::shared_ptr<OrderHandler> handler;
};

void sendToTheServer(benchmark::State& state, bool lite) {
    Terminal terminal(lite);
    int sent = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string id = "R" + std::to_string(++sent);
        std::unique_ptr<Order> order = tavlo::test::soupOrder(id);
        state.ResumeTiming();

        Error error;
        if (!terminal.handler->sendOrder(*order, std::string("u5"), terminal.store.context().get(), &error)) {
            state.SkipWithError(error.localizedDescription().c_str());
            break;
        }
        while (!terminal.server.order(id)) {
            RunLoop::main().runUntilIdle();
            std::this_thread::yield();
        }

        state.PauseTiming();
        terminal.handler->waitUntilIdle(); // the next order finds the queue idle
        RunLoop::main().runUntilIdle();
        state.ResumeTiming();
    }
}

void BM_SendAnOrderGateway(benchmark::State& state) { sendToTheServer(state, false); }
BENCHMARK(BM_SendAnOrderGateway)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SendAnOrderLite(benchmark::State& state) { sendToTheServer(state, true); }
BENCHMARK(BM_SendAnOrderLite)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
