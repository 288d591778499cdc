// The lite cash drawer report over a busy drawer: the busy day's 2,000 orders, every one paid
// into drawer D1 (cash, two cards, tips, every 20th a refund), its cash counted in by
// denomination. The administration screen prints it or shows it on the main thread. Timed on the
// screen's context after the day's work and on a fresh context, beside a floor: the statements
// that give the report's figures (the drawer's cash in/out and its name, its counts, its
// payments that are not voided with their orders, by payment id) over the same file in one read
// transaction, each prepared once.
#include "SqlFloor.h"
#include "core/session/IDBroker.h"
#include "core/session/Session.h"
#include "platform/store/ObjectContext.h"
#include "printing/ReportGenerator.h"
#include "support/SalesDay.h"
#include "support/StoreFixture.h"

#include <benchmark/benchmark.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace tavlo;

constexpr int kPayments = 2000;

class BusyDrawer {
public:
    BusyDrawer() {
        store.buildSmallStore();
        test::salesday::addMenu(*store.context());
        store.addStoreParam("TAVLO_LITE", "YES");
        store.addStoreBatch("B1", Date::now(), std::nullopt);
        store.save();
        IDBroker::initWithMOC(store.context());
        test::salesday::addBusyDay(*store.context(), kPayments);
        ObjectContext& context = *store.context();
        ManagedObjectPtr cash = context.fetchFirst("CashInOut", "cashDrawer.cashDrawerId == %@", std::string("D1"));
        if (!cash) throw std::runtime_error("drawer D1 is not cashed in");
        cash->setValue("inAmount", 10000);
        for (const auto& [denomination, count] : {std::pair{"2000", 4}, std::pair{"500", 3}, std::pair{"25", 20}}) {
            ManagedObjectPtr amount = context.insert("CashAmount");
            amount->setValue("denomination", std::string(denomination));
            amount->setValue("amount", count);
            cash->addTo("inBreakDown", amount);
        }
        for (const ManagedObjectPtr& payment : context.fetchAll("Payment")) payment->setToOne("cashInOut", cash);
        store.save();
    }
    test::StoreFixture store;
};

// The report's lines, checked to list every payment.
size_t report(ReportGenerator& reports, benchmark::State& state) {
    std::optional<ReportGenerator::Lines> lines = reports.reportCashDrawer("D1", 42);
    if (!lines || lines->size() < kPayments) state.SkipWithError("the report does not list every payment");
    return lines ? lines->size() : 0;
}

void BM_CashDrawerReportWarm(benchmark::State& state) {
    BusyDrawer drawer;
    auto session = std::make_shared<Session>(drawer.store.context().get());
    ReportGenerator reports(session);
    size_t lines = 0;
    for (auto _ : state) lines = report(reports, state);
    state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_CashDrawerReportWarm)->Unit(benchmark::kMillisecond);

void BM_CashDrawerReportFreshContext(benchmark::State& state) {
    BusyDrawer drawer;
    size_t lines = 0;
    for (auto _ : state) {
        ObjectContext context(drawer.store.context()->store());
        ReportGenerator reports(std::make_shared<Session>(&context));
        lines = report(reports, state);
    }
    state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_CashDrawerReportFreshContext)->Unit(benchmark::kMillisecond);

// The report's figures straight from the file: the floor the report is measured against.
void BM_CashDrawerReportSqlFloor(benchmark::State& state) {
    BusyDrawer drawer;
    bench::SqlFloor floor(
        drawer.store.context()->store()->path().string(),
        {
            // The drawer's open cash in/out and the drawer's name.
            "SELECT c.Z_PK, c.inAmount, c.inDate, c.outAmount, c.outAmountCalculated, c.outDate, d.name FROM CashInOut c"
            " JOIN CashDrawer d ON d.Z_PK = c.cashDrawer WHERE d.cashDrawerId = 'D1' AND c.outDate IS NULL",
            // Its counts, in and out.
            "SELECT a.denomination, a.amount, a.cashInOut IS NOT NULL FROM CashAmount a JOIN CashInOut c"
            " ON c.Z_PK = a.cashInOut OR c.Z_PK = a.cashOutOf JOIN CashDrawer d ON d.Z_PK = c.cashDrawer"
            " WHERE d.cashDrawerId = 'D1' AND c.outDate IS NULL",
            // Its payments not voided, with their orders, by payment id.
            "SELECT p.remoteId, p.type, p.subTotal, p.gratuity, p.tip, o.type, o.orderId, o.name FROM Payment p"
            " JOIN CashInOut c ON c.Z_PK = p.cashInOut JOIN CashDrawer d ON d.Z_PK = c.cashDrawer"
            " LEFT JOIN \"Order\" o ON o.Z_PK = p.\"order\" WHERE d.cashDrawerId = 'D1' AND c.outDate IS NULL"
            " AND p.voided IS NULL AND p.remoteId IS NOT NULL ORDER BY p.remoteId",
        });
    int64_t figures = 0;
    size_t rows = 0;
    for (auto _ : state) rows = floor.run(figures);
    benchmark::DoNotOptimize(figures);
    if (rows < kPayments) return state.SkipWithError("the floor does not read every payment");
    state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_CashDrawerReportSqlFloor)->Unit(benchmark::kMillisecond);

} // namespace
