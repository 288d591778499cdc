// Entering an order as the order screen does: 30 lines added one by one, each taking its recipe's
// stock, then the order written and saved once, as its send does. Every commit of the local store
// waits for the disk (synchronous=FULL), so the number of commits per order is what counts.
#include "core/order/Order.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Session.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/store/ObjectContext.h"

#include "support/TempHome.h"

#include <benchmark/benchmark.h>

#include <stdexcept>
#include <string>

namespace {

using namespace tavlo;

constexpr int kLines = 30;
constexpr int kRecipes = 10;
constexpr const char* kDevice = "bench-device";

struct Store {
    test::TempHome home; // first made, last gone
    std::shared_ptr<ObjectContext> context;

    Store() {
        UserDefaults::standardUserDefaults().setObject(UserDefaults::Value(std::string(kDevice)),
                                                       IDBroker::kDeviceIdKey);
        Error error;
        context = DBHelper::mainContext(&error);
        if (!context) throw std::runtime_error(error.localizedDescription());
        for (int i = 0; i < kRecipes; ++i) {
            ManagedObjectPtr recipe = context->insert("Recipe");
            recipe->setValue("recipeId", "R" + std::to_string(i));
            recipe->setValue("available", 2'000'000'000); // counted, and never sold out here
        }
        if (!context->save(&error)) throw std::runtime_error(error.localizedDescription());
        IDBroker::initWithMOC(context);
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

void BM_EnterThirtyLines(benchmark::State& state) {
    Store& s = store();
    Session session(s.context.get());
    session.setUserId("U1");
    int orders = 0;
    for (auto _ : state) {
        Order order(s.context.get());
        order.setRemoteId("O" + std::to_string(++orders));
        order.setOrderType(OrderType::DineIn);
        for (int i = 0; i < kLines; ++i) {
            auto line = std::make_shared<Selection>();
            line->setRemoteId(*order.remoteId() + "-" + std::to_string(i));
            line->setRecipeId("R" + std::to_string(i % kRecipes));
            line->setName("Line " + std::to_string(i));
            line->setPrice(500 + i);
            line->setQuantity(1);
            line->setNewQuantity(1);
            order.addSelection(line, &session);
        }
        order.write(*s.context);
        Error error;
        if (!s.context->save(&error)) state.SkipWithError(error.localizedDescription().c_str());
    }
}
BENCHMARK(BM_EnterThirtyLines)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
