// Totals of a busy check: every screen refresh recomputes them from the lines, so getTotal must
// stay well under a frame. Goal: under 50 microseconds for 100 lines and 3 taxes. The parts of
// getTotal are timed on their own beside it, so where its time goes can be read off.
#include "core/order/Order.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

using namespace tavlo;

// 100 lines of 1 to 3 units, each with two sides (one inside the allowance, one with a
// preparation of its own) and one or two preparations; every 10th line comped, every 7th exempt
// from one tax, every 25th tax-included, every 13th carrying a fixed amount; three taxes with
// three rounding rules (or, with `namedRounding` off, none named: all round), a discount and two
// tenders.
std::unique_ptr<Order> busyOrder(bool namedRounding = true) {
    auto rounding = [&](const char* name) { return namedRounding ? OrderTax::Text(name) : std::nullopt; };
    auto order = std::make_unique<Order>();
    order->addTax(OrderTax(std::string("State"), 625, rounding("round")));
    order->addTax(OrderTax(std::string("County"), 100, rounding("floor")));
    order->addTax(OrderTax(std::string("City"), 275, rounding("ceiling")));
    for (int i = 0; i < 100; ++i) {
        auto s = std::make_shared<Selection>();
        const std::string id = "L" + std::to_string(i);
        s->setRemoteId(id);
        s->setRecipeId("R" + std::to_string(i % 17));
        s->setPrice(500 + 37 * i);
        s->setQuantity(1 + i % 3);
        s->setIncludedSides(1);
        for (int k = 0; k < 2; ++k) {
            auto side = std::make_shared<Selection>();
            side->setRemoteId(id + "-S" + std::to_string(k));
            side->setRecipeId("SR" + std::to_string(k));
            side->setPrice(150 + 100 * k);
            side->setAdditionPrice(25 * k);
            if (k == 1) side->addPreparation(Preparation(std::string("P-side"), 35));
            s->addSide(side);
        }
        s->addPreparation(Preparation(std::string("P1"), 50));
        if (i % 2) s->addPreparation(Preparation(std::string("P2"), 125));
        if (i % 10 == 0) {
            s->setCompName(std::string("Manager"));
            s->setCompBy(std::string("U-MGR"));
            s->setCompPercent(5000);
        }
        if (i % 7 == 0) s->addTaxExemption("City");
        if (i % 25 == 0) s->setTaxIncluded(true);
        if (i % 13 == 0) s->setPredefinedTax(20, "County");
        order->addSelection(s, nullptr);
    }
    auto d = std::make_shared<OrderDiscount>();
    d->setAmount(2500);
    order->addDiscount(d);
    for (int32_t amount : {5000, 2500}) {
        auto p = std::make_shared<Payment>();
        p->setType(Payment::kCash);
        p->setSubTotal(amount);
        order->addPayment(p);
    }
    return order;
}

// Times one question to the busy order, built once per benchmark.
template <typename Ask> void ask(benchmark::State& state, Ask question, bool namedRounding = true) {
    auto order = busyOrder(namedRounding);
    for (auto _ : state) benchmark::DoNotOptimize(question(*order));
}

void BM_GetTotal(benchmark::State& state) {
    ask(state, [](const Order& o) { return o.getTotal(); });
}
BENCHMARK(BM_GetTotal)->Unit(benchmark::kMicrosecond);

void BM_GetDue(benchmark::State& state) {
    ask(state, [](const Order& o) { return o.getDue(); });
}
BENCHMARK(BM_GetDue)->Unit(benchmark::kMicrosecond);

// The parts of getTotal: sub-total, comps and tax (the discount total only adds two amounts).
void BM_GetSubTotal(benchmark::State& state) {
    ask(state, [](const Order& o) { return o.getSubTotal(); });
}
BENCHMARK(BM_GetSubTotal)->Unit(benchmark::kMicrosecond);

void BM_GetCompTotal(benchmark::State& state) {
    ask(state, [](const Order& o) { return o.getCompTotal(); });
}
BENCHMARK(BM_GetCompTotal)->Unit(benchmark::kMicrosecond);

void BM_GetTaxTotal(benchmark::State& state) {
    ask(state, [](const Order& o) { return o.getTaxTotal(); });
}
BENCHMARK(BM_GetTaxTotal)->Unit(benchmark::kMicrosecond);

// Inside the tax: the order the discount is spread in, and what the tax asks of each line for
// each tax (exemption and taxable amount) without any arithmetic of its own.
void BM_SortSelectionsByLowestTax(benchmark::State& state) {
    ask(state, [](const Order& o) { return o.sortSelectionsByLowestTax().size(); });
}
BENCHMARK(BM_SortSelectionsByLowestTax)->Unit(benchmark::kMicrosecond);

void BM_LineTaxBases(benchmark::State& state) {
    ask(state, [](const Order& o) {
        int64_t sum = 0;
        for (const auto& s : o.selections())
            for (const OrderTax& tax : o.taxes()) sum += s->isExempt(tax) + s->unitTaxableAmount(tax, 0, false);
        return sum;
    });
}
BENCHMARK(BM_LineTaxBases)->Unit(benchmark::kMicrosecond);

// The same totals with the taxes' rounding left unnamed (all round): the same arithmetic, so the
// difference from BM_GetTotal is what the rounding names cost.
void BM_GetTotalUnnamedRounding(benchmark::State& state) {
    ask(
        state, [](const Order& o) { return o.getTotal(); }, false);
}
BENCHMARK(BM_GetTotalUnnamedRounding)->Unit(benchmark::kMicrosecond);

// One rounding of one amount by each way the rule can be written: looked up by its name on every
// call, and by the rule a tax looked up once.
void BM_RoundByName(benchmark::State& state, OrderTax::Text rounding) {
    double value = 1234.5;
    for (auto _ : state) {
        benchmark::DoNotOptimize(OrderTax::applyRound(value, rounding));
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK_CAPTURE(BM_RoundByName, round, OrderTax::Text("round"));
BENCHMARK_CAPTURE(BM_RoundByName, ROUND, OrderTax::Text("ROUND"));
BENCHMARK_CAPTURE(BM_RoundByName, floor, OrderTax::Text("floor"));
BENCHMARK_CAPTURE(BM_RoundByName, ceiling, OrderTax::Text("ceiling"));
BENCHMARK_CAPTURE(BM_RoundByName, unnamed, OrderTax::Text());

void BM_RoundByRule(benchmark::State& state, OrderTax::Text rounding) {
    const OrderTax tax(std::string("T"), 825, std::move(rounding));
    double value = 1234.5;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tax.round(value));
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK_CAPTURE(BM_RoundByRule, round, OrderTax::Text("round"));
BENCHMARK_CAPTURE(BM_RoundByRule, ceiling, OrderTax::Text("ceiling"));

} // namespace
