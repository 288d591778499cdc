// The close report over a busy day: 2,000 orders of two lines each (a side, a preparation,
// comps, discounts, cash and card tenders, refunds), every section on. The administration
// screen waits for it on the main thread, so it must stay well under a second. Timed on the
// screen's context after the day's work and on a fresh context (both read the day by column,
// StoredOrders), on a context holding an unsaved change (which walks the day's objects instead),
// beside a floor: six SQL statements over the same file in one read transaction giving the
// report's sums (orders by type, tenders by kind, taxes, items sold, discounts, comps and areas),
// each prepared once.
#include "SqlFloor.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Session.h"
#include "platform/store/ObjectContext.h"
#include "printing/ReportGenerator.h"
#include "support/SalesDay.h"
#include "support/StoreFixture.h"

#include <benchmark/benchmark.h>

#include <stdexcept>

namespace {

using namespace tavlo;

constexpr int kOrders = 2000;

class BusyDay {
public:
    BusyDay() {
        store.buildSmallStore();
        test::salesday::addMenu(*store.context());
        store.addStoreParam("TAVLO_LITE", "YES");
        store.addStoreBatch("B1", Date::now(), std::nullopt);
        for (const char* section : {"REPORT_SUMMARY_ORDERS_SECTION", "REPORT_SUMMARY_PAYMENTS_SUMMARY_SECTION",
                                    "REPORT_SUMMARY_TAXES_SECTION", "REPORT_SUMMARY_SALES_SECTION",
                                    "REPORT_SUMMARY_STATS_SECTION", "REPORT_SUMMARY_DISCOUNTS_SECTION",
                                    "REPORT_SUMMARY_COMP_SECTION", "REPORT_SUMMARY_GROUP_SALES_BY_AREA_SECTION",
                                    "REPORT_SUMMARY_ITEMS_SOLD_SECTION", "REPORT_SUMMARY_MISC_SECTION"})
            store.addStoreParam(section, std::string("YES"));
        store.save();
        IDBroker::initWithMOC(store.context());
        test::salesday::addBusyDay(*store.context(), kOrders);
    }
    test::StoreFixture store;
};

void BM_CloseReportWarm(benchmark::State& state) {
    BusyDay day;
    auto session = std::make_shared<Session>(day.store.context().get());
    ReportGenerator reports(session);
    size_t lines = 0;
    for (auto _ : state) lines = reports.reportTotalSales(false, 42).size();
    state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_CloseReportWarm)->Unit(benchmark::kMillisecond);

void BM_CloseReportFreshContext(benchmark::State& state) {
    BusyDay day;
    size_t lines = 0;
    for (auto _ : state) {
        ObjectContext context(day.store.context()->store());
        auto session = std::make_shared<Session>(&context);
        lines = ReportGenerator(session).reportTotalSales(false, 42).size();
    }
    state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_CloseReportFreshContext)->Unit(benchmark::kMillisecond);

void BM_CloseReportObjectWalk(benchmark::State& state) {
    BusyDay day;
    day.store.context()->insert("StoreParam")->setValue("name", std::string("NOT_SAVED"));
    auto session = std::make_shared<Session>(day.store.context().get());
    ReportGenerator reports(session);
    size_t lines = 0;
    for (auto _ : state) lines = reports.reportTotalSales(false, 42).size();
    state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_CloseReportObjectWalk)->Unit(benchmark::kMillisecond);

// The day's figures straight from the file: the floor the report is measured against.
void BM_CloseReportSqlFloor(benchmark::State& state) {
    BusyDay day;
    // The joins from rows linked to their order by `link` to the day's orders.
    auto inDay = [](const std::string& link) {
        return " JOIN \"Order\" o ON o.Z_PK = " + link +
               " JOIN StoreBatch b ON b.Z_PK = o.storeBatch WHERE b.remoteId = 'B1'";
    };
    bench::SqlFloor floor(
        day.store.context()->store()->path().string(),
        {
            "SELECT o.type, COUNT(*), SUM(o.total), SUM(o.tax), SUM(o.seats), SUM(o.due), SUM(o.paid) FROM StoreBatch b"
            " JOIN \"Order\" o ON o.storeBatch = b.Z_PK WHERE b.remoteId = 'B1' GROUP BY o.type",
            "SELECT p.type, p.cardType, p.voided IS NULL, COUNT(*), SUM(p.subTotal), SUM(p.tip), SUM(p.gratuity),"
            " SUM(p.change) FROM Payment p" +
                inDay("p.\"order\"") + " GROUP BY 1, 2, 3",
            "SELECT t.taxName, SUM(t.amount), SUM(t.amountAddition) FROM SelectionTax t JOIN Selection s ON s.Z_PK ="
            " t.selection" +
                inDay("s.\"order\"") + " GROUP BY t.taxName",
            "SELECT s.recipe, s.name, SUM(s.quantity), SUM(s.price * s.quantity), SUM(s.additionPrice) FROM Selection s" +
                inDay("s.\"order\"") + " AND s.deleteDate IS NULL GROUP BY s.recipe, s.name",
            "SELECT d.name, COUNT(*), SUM(d.amount) FROM OrderDiscount d" + inDay("d.\"order\"") +
                " GROUP BY d.name UNION ALL SELECT s.complimentaryName, COUNT(*), SUM(s.price * s.quantity *"
                " s.complimentaryPercentage) FROM Selection s" +
                inDay("s.\"order\"") + " AND s.complimentaryName IS NOT NULL GROUP BY s.complimentaryName",
            "SELECT l.area, COUNT(*), SUM(o.total) FROM StoreBatch b JOIN \"Order\" o ON o.storeBatch = b.Z_PK"
            " LEFT JOIN AreaLocation l ON l.Z_PK = o.areaLocation WHERE b.remoteId = 'B1' GROUP BY l.area",
        });
    int64_t figures = 0;
    for (auto _ : state) floor.run(figures);
    benchmark::DoNotOptimize(figures);
}
BENCHMARK(BM_CloseReportSqlFloor)->Unit(benchmark::kMillisecond);

} // namespace
