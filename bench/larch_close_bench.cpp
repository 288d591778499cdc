// The close of a card batch of 500 sales against the loopback card gateway: the orphan check,
// the gateway's detail list of 500 entries read and reconciled with the stored transactions, and
// the capture-all. The sales that fill each batch are made outside the timing.
//
//   build/bench/larch_close_bench

#include "CardGateway.h"
#include "core/session/LocalStoreModel.h"
#include "payments/LarchHandler.h"
#include "platform/store/ObjectContext.h"
#include "platform/store/ObjectStore.h"
#include "support/TempHome.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

using namespace tavlo;

constexpr int kSales = 500;

void closeBatchOf500(benchmark::State& state) {
    test::TempHome home;
    Error error;
    std::shared_ptr<ObjectStore> store =
        ObjectStore::open(LocalStoreModel::build(), ObjectStore::defaultPath(), &error);
    if (!store) return state.SkipWithError(error.localizedDescription().c_str());
    ObjectContext context(store);
    Date opened = Date::now().addingSeconds(-3600);
    context.insert("StoreBatch")->setValue("openedOn", opened);
    context.save();

    gatewaysim::CardGateway gateway;
    gateway.start();
    HostConfig config = {{"HOST_LARCH_CAPTURE_URL", gateway.captureUrl()},
                         {"HOST_LARCH_DETAILS_URL", gateway.detailsUrl()},
                         {"HOST_LARCH_USER", "merchant1"},
                         {"HOST_LARCH_PASSWORD", "secret"},
                         {"HOST_LARCH_RP", "42"},
                         {"HOST_LARCH_SETTLE_TZ_ABBREV", "UTC"}};
    LarchHandler handler(&context);

    for (auto _ : state) {
        state.PauseTiming();
        if (handler.openBatch(config, opened, &error) < 0) return state.SkipWithError("no batch");
        std::vector<std::string> ids;
        for (int i = 0; i < kSales; ++i) {
            std::shared_ptr<PaymentTransaction> sale = handler.newTransaction(config, &error);
            if (!sale) return state.SkipWithError(error.localizedDescription().c_str());
            sale->setValue(std::to_string(500 + i), "SUB_TOTAL");
            sale->setValue("4111111111111111", "NUMBER");
            if (i % 5 == 0) sale->setValue("1.00", "TIP");
            if (!handler.sale(*sale, config, &error)) return state.SkipWithError(error.localizedDescription().c_str());
            ids.push_back(*sale->transactionId());
        }
        state.ResumeTiming();

        if (!handler.closeBatch(config, ids, &error)) return state.SkipWithError(error.localizedDescription().c_str());
    }
    state.counters["transactions"] = kSales;
}
BENCHMARK(closeBatchOf500)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
