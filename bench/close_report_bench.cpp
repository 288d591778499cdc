// The close report over a busy day: 2,000 orders of two lines each (a side, a preparation,
// comps, discounts, cash and card tenders, refunds), every section on. The administration
// screen waits for it on the main thread, so it must stay well under a second. Timed with the
// orders already in the context (the screen's case after the day's work) and with a fresh
// context that reads every row from the file.
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Session.h"
#include "platform/store/ObjectContext.h"
#include "printing/ReportGenerator.h"
#include "support/SalesDay.h"
#include "support/StoreFixture.h"

#include <benchmark/benchmark.h>

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
        for (const char* section :
             {"REPORT_SUMMARY_ORDERS_SECTION", "REPORT_SUMMARY_PAYMENTS_SUMMARY_SECTION", "REPORT_SUMMARY_TAXES_SECTION",
              "REPORT_SUMMARY_SALES_SECTION", "REPORT_SUMMARY_STATS_SECTION", "REPORT_SUMMARY_DISCOUNTS_SECTION",
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

} // namespace
