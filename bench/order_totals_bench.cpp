// Totals of a busy check: every screen refresh recomputes them from the lines, so getTotal must
// stay well under a frame. Goal: under 50 microseconds for 100 lines and 3 taxes.
#include "core/Order.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

using namespace tavlo;

// 100 lines of 1 to 3 units, each with two sides (one inside the allowance, one with a
// preparation of its own) and one or two preparations; every 10th line comped, every 7th exempt
// from one tax, every 25th tax-included, every 13th carrying a fixed amount; three taxes with
// three rounding rules, a discount and two tenders.
std::unique_ptr<Order> busyOrder() {
    auto order = std::make_unique<Order>();
    order->addTax(OrderTax(std::string("State"), 625, std::string("round")));
    order->addTax(OrderTax(std::string("County"), 100, std::string("floor")));
    order->addTax(OrderTax(std::string("City"), 275, std::string("ceiling")));
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

void BM_GetTotal(benchmark::State& state) {
    auto order = busyOrder();
    for (auto _ : state) benchmark::DoNotOptimize(order->getTotal());
}
BENCHMARK(BM_GetTotal)->Unit(benchmark::kMicrosecond);

void BM_GetDue(benchmark::State& state) {
    auto order = busyOrder();
    for (auto _ : state) benchmark::DoNotOptimize(order->getDue());
}
BENCHMARK(BM_GetDue)->Unit(benchmark::kMicrosecond);

} // namespace
