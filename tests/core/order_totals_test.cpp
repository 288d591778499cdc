#include "core/order/Order.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tavlo {
namespace {

OrderTax tax(const char* name, int32_t percentage, const char* rounding = "round") {
    return OrderTax(std::string(name), percentage, std::string(rounding));
}

SelectionPtr line(Order& order, const char* id, int32_t price, int32_t quantity = 1) {
    auto s = std::make_shared<Selection>();
    s->setRemoteId(std::string(id));
    s->setRecipeId(std::string(id));
    s->setName(std::string(id));
    s->setPrice(price);
    s->setQuantity(quantity);
    order.addSelection(s, nullptr);
    return s;
}

std::shared_ptr<Payment> payment(int32_t type, int32_t subTotal, int32_t gratuity = 0, bool voided = false) {
    auto p = std::make_shared<Payment>();
    p->setType(type);
    p->setSubTotal(subTotal);
    p->setGratuity(gratuity);
    if (voided) p->voidPayment(std::string("U-MGR"));
    return p;
}

std::shared_ptr<OrderDiscount> discount(int32_t amount) {
    auto d = std::make_shared<OrderDiscount>();
    d->setAmount(amount);
    return d;
}

// The fixture order: two taxes (State 8.25 % with the rounding under test, City 1.5 % floor),
//   L1 2 x 1250 with a 75 preparation and an included side    unit 1325, sub-total 2650
//   L2 900, comped 50 %                                       comp 450
//   L3 3 x 200, State exempt by the operator's choice
//   L4 1080 tax included (both taxes: 9.75 %)                 net 984, tax 96 (City 14, State 82)
//   L5 460, City fixed at 0 (exempt)
// a discount of 3000 (more than L1: it takes L1's 2650, then 350 of L2) and a removed one of 500,
// seats 6 with an 18 % gratuity from 5 seats, and tenders: cash 1500 (gratuity 200), a voided
// credit of 500 and a tab of 800.
struct FixtureOrder {
    Order order;
    SelectionPtr l1, l2, l3, l4, l5;

    FixtureOrder(const char* stateRounding, bool taxOverride) {
        order.addTax(tax("State", 825, stateRounding));
        order.addTax(tax("City", 150, "floor"));
        order.setTaxOverride(taxOverride);

        l1 = line(order, "L1", 1250, 2);
        l1->setIncludedSides(1);
        l1->addPreparation(Preparation(std::string("cheese"), 75));
        auto fries = std::make_shared<Selection>();
        fries->setRemoteId(std::string("fries"));
        fries->setRecipeId(std::string("fries"));
        fries->setPrice(300);
        l1->addSide(fries);

        l2 = line(order, "L2", 900);
        l2->setCompName(std::string("Manager comp"));
        l2->setCompBy(std::string("U-MGR"));
        l2->setCompPercent(5000);

        l3 = line(order, "L3", 200, 3);
        l3->addTaxExemption("State");

        l4 = line(order, "L4", 1080);
        l4->setTaxIncluded(true);

        l5 = line(order, "L5", 460);
        l5->setPredefinedTax(0, "City");

        order.addDiscount(discount(3000));
        auto removed = discount(500);
        order.addDiscount(removed);
        order.removeDiscount(removed);

        order.setSeats(6);
        order.setGratuitySeats(5);
        order.setGratuityPercentage(1800);

        order.addPayment(payment(Payment::kCash, 1500, 200));
        order.addPayment(payment(Payment::kCredit, 500, 0, true));
        order.addPayment(payment(Payment::kTab, 800));
    }
};

TEST(OrderTotals, FixtureOrderTable) {
    struct Case {
        const char* rounding;
        bool taxOverride;
        int32_t subTotal, tax, total, gratuity, paid, due;
    };
    // Worked by hand, line by line (see FixtureOrder):
    // - L1 takes 2650 of the discount and pays no tax; L2 keeps 900 - 450 - 350 = 100 taxable:
    //   City floor(1.5) = 1, State 8.25 -> 8 / 8 / 9.
    // - L3 pays City 3 x 3 = 9; under the override also State 3 x 16.5 -> 17 / 16 / 17.
    // - L4 pays its included 96; L5 pays State 37.95 -> 38 / 37 / 38, under the override also
    //   City floor(6.9) = 6.
    // Sub-total 2650 + 900 + 600 + 984 + 460 = 5594; total = 5594 - 3000 - 450 + tax;
    // gratuity floor(18 % of 5594 - 450 - 3000) = floor(385.92); paid 1500.
    const Case cases[] = {
        {"round", false, 5594, 24 + 128, 2296, 385, 1500, 796},
        {"floor", false, 5594, 24 + 127, 2295, 385, 1500, 795},
        {"ceiling", false, 5594, 24 + 129, 2297, 385, 1500, 797},
        {"round", true, 5594, 30 + 179, 2353, 385, 1500, 853},
        {"floor", true, 5594, 30 + 175, 2349, 385, 1500, 849},
        {"ceiling", true, 5594, 30 + 180, 2354, 385, 1500, 854},
    };
    for (const auto& c : cases) {
        FixtureOrder f(c.rounding, c.taxOverride);
        const std::string what = std::string(c.rounding) + (c.taxOverride ? " with override" : "");
        EXPECT_EQ(f.order.getSubTotal(), c.subTotal) << what;
        EXPECT_EQ(f.order.getCompTotal(), 450) << what;
        EXPECT_EQ(f.order.getDiscountTotal(), 3000) << what;
        EXPECT_EQ(f.order.getTaxTotal(), c.tax) << what;
        EXPECT_EQ(f.order.getTotal(), c.total) << what;
        EXPECT_EQ(f.order.getGratuity(), c.gratuity) << what;
        EXPECT_EQ(f.order.getPaid(), c.paid) << what;
        EXPECT_EQ(f.order.getGratuityPaid(), 200) << what;
        EXPECT_EQ(f.order.getDue(), c.due) << what;
        // the taxes of the lines and of the tax lines add up to the order's
        int32_t byLine = 0;
        for (const auto& s : f.order.activeSelections()) byLine += f.order.getTaxFor(*s);
        EXPECT_EQ(byLine, c.tax) << what;
        EXPECT_EQ(f.order.getTax(std::string("State")) + f.order.getTax(std::string("City")), c.tax) << what;
    }
}

TEST(OrderTotals, FixtureOrderLines) {
    FixtureOrder f("round", false);
    const Order& o = f.order;
    EXPECT_EQ(o.getSubTotal(*f.l1), 2650);
    EXPECT_EQ(o.getSubTotal(*f.l4), 984);
    EXPECT_EQ(o.compPerUnit(*f.l2), 450);
    EXPECT_EQ(o.getTaxFor(*f.l1), 0);
    EXPECT_EQ(o.getTaxFor(*f.l2), 1 + 8);
    EXPECT_EQ(o.getTaxFor(*f.l3), 9);
    EXPECT_EQ(o.getTaxFor(*f.l4), 96);
    EXPECT_EQ(o.getTaxFor(*f.l5), 38);
    EXPECT_EQ(o.getTax(std::string("City")), 24);
    EXPECT_EQ(o.getTax(std::string("State")), 128);
    // the tax-included line costs its price
    EXPECT_EQ(o.getSubTotal(*f.l4) + o.getTaxFor(*f.l4), 1080);
    // the per-unit variant agrees on the line that no discount reaches
    EXPECT_EQ(o.getTax(std::nullopt, f.l4.get()), 96);
    EXPECT_EQ(o.getTax(std::nullopt, f.l3.get()), 9);
}

TEST(OrderTotals, GratuityRules) {
    struct Case {
        bool beforeCompDisc, afterTax;
        int32_t seats, gratuity;
    };
    const Case cases[] = {
        {false, false, 6, 385}, // 18 % of 2144
        {true, false, 6, 1006}, // of 5594
        {false, true, 6, 413},  // of 2144 + 152
        {true, true, 6, 1034},  // of 5594 + 152
        {false, false, 5, 385}, // from 5 seats
        {true, true, 4, 0},     // below
    };
    for (const auto& c : cases) {
        FixtureOrder f("round", false);
        f.order.setTipGratuityBeforeCompDisc(c.beforeCompDisc);
        f.order.setTipGratuityAfterTax(c.afterTax);
        f.order.setSeats(c.seats);
        EXPECT_EQ(f.order.getGratuity(), c.gratuity) << c.beforeCompDisc << c.afterTax << c.seats;
    }
}

// The price of a tax-included line holds every tax it pays; the last tax takes what is left.
TEST(OrderTotals, TaxIncludedLineWithTwoTaxes) {
    Order order;
    order.addTax(tax("Five", 500));
    order.addTax(tax("Three", 300));
    auto s = line(order, "inc", 1080);
    s->setTaxIncluded(true);
    EXPECT_EQ(order.getSubTotal(), 1000);
    EXPECT_EQ(order.getTax(std::string("Five")), 50);
    EXPECT_EQ(order.getTax(std::string("Three")), 30);
    EXPECT_EQ(order.getTotal(), 1080);

    s->addTaxExemption("Three"); // now only 5 % is in the price
    EXPECT_EQ(order.getSubTotal(), 1029);
    EXPECT_EQ(order.getTaxTotal(), 51);
    EXPECT_EQ(order.getTotal(), 1080);
}

// A comp of a tax-included line keeps the line at its comped price: 2 x (1080 - 540).
TEST(OrderTotals, CompOfATaxIncludedLine) {
    Order order;
    order.addTax(tax("Eight", 800));
    auto s = line(order, "inc", 1080, 2);
    s->setTaxIncluded(true);
    s->setCompName(std::string("Half"));
    s->setCompBy(std::string("U-MGR"));
    s->setCompPercent(5000);
    EXPECT_EQ(order.getSubTotal(), 2000);
    EXPECT_EQ(order.compPerUnit(*s), 500);
    EXPECT_EQ(order.getCompTotal(), 1000);
    EXPECT_EQ(order.getTaxTotal(), 80);
    EXPECT_EQ(order.getTotal(), 1080);
    EXPECT_EQ(order.getTax(std::nullopt, s.get()), 80);

    s->setCompPercent(10000);
    EXPECT_EQ(order.getTotal(), 0);
}

// One line of 2 units under State 5 % and City 3 % (both "round"): a plain line of 1000 or a
// tax-included one of 1080 (net 1000, tax 50 + 30), at a portion, perhaps comped 50 %, with no
// discount, 300 off, its whole charge off or 5000 off (more than the order). Whatever reaches the
// line, the guest pays what the line costs after comps and discounts plus the tax on that, and no
// tax is paid on money the line does not cost.
TEST(OrderTotals, DiscountsLowerTheTaxAtEveryPortion) {
    struct Case {
        bool included;
        int32_t portion, compPercent;
        int32_t subTotal, comps;
        // no discount, then 300 off; a line discounted to nothing pays 0
        int32_t tax, stateTax, pays;
        int32_t partTax, partStateTax, partPays;
    };
    // Plain lines: the 300 off takes the same share of the full-portion base as of the charge
    // (at 50 %: 600 of 2000), each tax rounds per unit and the portion rounds the unit tax up:
    // 2 x ceil(35 x 0.5) + 2 x ceil(21 x 0.5) = 36 + 22.
    // Tax-included lines: the included tax scaled to the net kept, round(I x (2 x V - D) / V),
    // City's share scaled alike and State (the higher rate, so the last) the rest: at 100 %
    // round(80 x 1700 / 1000) = 136, City round(60 x 1700 / 2000) = 51; at 33 % the unit is 357
    // (net 331, tax 26: City 10, State 16), 300 off keeps 362: round(26 x 362 / 331) = 28, City
    // round(20 x 362 / 662) = 11. Comped 50 % at a half portion: unit 270 (net 250, tax 8 + 12).
    const Case cases[] = {
        {false, 33, 0, 660, 0, 54, 34, 714, 30, 18, 390},
        {false, 50, 0, 1000, 0, 80, 50, 1080, 58, 36, 758},
        {false, 100, 0, 2000, 0, 160, 100, 2160, 138, 86, 1838},
        {false, 150, 0, 3000, 0, 240, 150, 3240, 218, 136, 2918},
        {false, 50, 5000, 1000, 500, 42, 26, 542, 16, 10, 216},
        {true, 33, 0, 662, 0, 52, 32, 714, 28, 17, 390},
        {true, 50, 0, 1000, 0, 80, 50, 1080, 56, 35, 756},
        {true, 100, 0, 2000, 0, 160, 100, 2160, 136, 85, 1836},
        {true, 150, 0, 3000, 0, 240, 150, 3240, 216, 135, 2916},
        {true, 50, 5000, 1000, 500, 40, 24, 540, 16, 10, 216},
    };
    enum Reach { kNone, kPart, kWhole, kMore };
    for (const auto& c : cases)
        for (Reach reach : {kNone, kPart, kWhole, kMore}) {
            Order order;
            order.addTax(tax("State", 500));
            order.addTax(tax("City", 300));
            auto s = line(order, "L", c.included ? 1080 : 1000, 2);
            s->setTaxIncluded(c.included);
            s->setMultiplier(c.portion);
            if (c.compPercent) {
                s->setCompName(std::string("Half"));
                s->setCompBy(std::string("U-MGR"));
                s->setCompPercent(c.compPercent);
            }
            const int32_t cost = c.subTotal - c.comps;
            const int32_t off[] = {0, 300, cost, 5000};
            if (off[reach]) order.addDiscount(discount(off[reach]));
            const int32_t wantTax[] = {c.tax, c.partTax, 0, 0};
            const int32_t wantState[] = {c.stateTax, c.partStateTax, 0, 0};
            const int32_t wantPays[] = {c.pays, c.partPays, 0, 0};
            const std::string what = std::string(c.included ? "included" : "plain") + " at " +
                                     std::to_string(c.portion) + " %, comp " + std::to_string(c.compPercent) + ", " +
                                     std::to_string(off[reach]) + " off";

            EXPECT_EQ(order.getSubTotal(), c.subTotal) << what;
            EXPECT_EQ(order.getCompTotal(), c.comps) << what;
            EXPECT_EQ(order.getTaxTotal(), wantTax[reach]) << what;
            EXPECT_EQ(order.getTaxFor(*s), wantTax[reach]) << what;
            EXPECT_EQ(order.getTax(std::string("State")), wantState[reach]) << what;
            EXPECT_EQ(order.getTax(std::string("City")), wantTax[reach] - wantState[reach]) << what;
            if (c.included) { EXPECT_EQ(order.getTax(std::nullopt, s.get()), wantTax[reach]) << what; }

            // sub-total - comps - discounts + tax is what the guest pays; a discount beyond the
            // order takes only what the order costs
            const int32_t taken = std::min(order.getDiscountTotal(), cost);
            EXPECT_EQ(order.getSubTotal() - order.getCompTotal() - taken + order.getTaxTotal(), wantPays[reach])
                << what;
            if (off[reach] <= cost) { EXPECT_EQ(order.getTotal(), wantPays[reach]) << what; }

            // no tax on money the line does not cost: 8 % of what it keeps, each tax off by
            // less than two cents per unit (its own rounding, then the portion's)
            const int32_t kept = cost - taken;
            if (kept == 0) { EXPECT_EQ(order.getTaxFor(*s), 0) << what; }
            EXPECT_LE(order.getTaxFor(*s) * 100, kept * 8 + 2 * 2 * 2 * 100) << what;
        }
}

// The discount share of a line at a portion is round(D x A / C), half away from zero: 3 x 19.97
// at half portion (charge 29.97, whole-portion amount 59.91) with 25.00 off shares 49.97, which
// leaves 9.94 taxed at 8 %: 26.51 a unit -> 27, 14 at the half portion, 42 for the three (a
// share rounded up, 49.98, left 0.03 less of tax for each unit).
TEST(OrderTotals, TheDiscountShareAtAPortionIsRoundedHalfAwayFromZero) {
    Order order;
    order.addTax(tax("State", 800));
    auto s = line(order, "L", 1997, 3);
    s->setMultiplier(50);
    order.addDiscount(discount(2500));
    EXPECT_EQ(order.getSubTotal(), 2997);
    EXPECT_EQ(order.getTaxTotal(), 42);
    EXPECT_EQ(order.getTaxFor(*s), 42);
}

// A discounted tax-included line splits its tax as the undiscounted one: each tax but the last
// by its own rule on the net kept, the last the rest. 0.54 holds 0.04 (net 0.50: City 3 % 0.02,
// State the rest 0.02); 0.10 off keeps 0.40 and round(4 x 40 / 50) = 3 of tax: City 3 % of 0.40
// = 0.01, State 0.02, neither above its own rule on the net.
TEST(OrderTotals, ADiscountedTaxIncludedLineSplitsItsTaxByEachTaxsRule) {
    Order order;
    order.addTax(tax("State", 500));
    order.addTax(tax("City", 300));
    auto s = line(order, "L", 54);
    s->setTaxIncluded(true);
    EXPECT_EQ(order.getTax(std::string("City")), 2);
    EXPECT_EQ(order.getTax(std::string("State")), 2);
    order.addDiscount(discount(10));
    EXPECT_EQ(order.getTaxTotal(), 3);
    EXPECT_EQ(order.getTax(std::string("City")), 1);
    EXPECT_EQ(order.getTax(std::string("State")), 2);
    EXPECT_EQ(order.getTax(std::string("City"), s.get()) + order.getTax(std::string("State"), s.get()), 3);
}

TEST(OrderTotals, WithoutTaxLines) {
    Order order;
    auto a = line(order, "a", 1000, 2);
    a->setCompName(std::string("c"));
    a->setCompBy(std::string("u"));
    a->setCompPercent(2500);
    line(order, "b", 500);
    order.addDiscount(discount(300));
    EXPECT_EQ(order.getTaxTotal(), 0);
    EXPECT_EQ(order.getTotal(), 2500 - 300 - 500);
    EXPECT_TRUE(order.sortSelectionsByLowestTax().empty());
}

// Lines exempt from every tax come first and absorb the discount before any taxed line; a line
// exempt from the lower tax is placed with the higher tax's lines.
TEST(OrderTotals, LowestTaxOrderAndDiscountSpread) {
    Order order;
    order.addTax(tax("Eight", 800));
    order.addTax(tax("Five", 500));
    auto eight = line(order, "eight", 1000);
    eight->addTaxExemption("Five");
    auto five = line(order, "five", 1000);
    five->addTaxExemption("Eight");
    auto none = line(order, "none", 400);
    none->addTaxExemption("Five");
    none->addTaxExemption("Eight");
    auto voided = line(order, "voided", 999);
    voided->setDeleted(Date::now());

    auto sorted = order.sortSelectionsByLowestTax();
    ASSERT_EQ(sorted.size(), 3u);
    EXPECT_EQ(sorted[0], none);
    EXPECT_EQ(sorted[1], five);
    EXPECT_EQ(sorted[2], eight);

    // 600 of discount: 400 on the untaxed line, 200 on the 5 % line
    order.addDiscount(discount(600));
    EXPECT_EQ(order.getTaxFor(*five), 40);
    EXPECT_EQ(order.getTaxFor(*eight), 80);
    EXPECT_EQ(order.getTaxFor(*none), 0);
    EXPECT_EQ(order.getSubTotal(), 2400);

    // a discount beyond the whole order reduces every tax to 0 and no further
    order.addDiscount(discount(5000));
    EXPECT_EQ(order.getTaxTotal(), 0);
    EXPECT_EQ(order.getTotal(), 2400 - 5600);
}

// Ten taxes, two of one rate: a line is placed by the first it pays in rate order, of one rate the
// one the order lists first; a line paying all pays each.
TEST(OrderTotals, LowestTaxOrderOverManyTaxesOfEqualRates) {
    Order order;
    const std::pair<const char*, int32_t> taxes[] = {{"T0", 900}, {"T1", 100}, {"T2", 500}, {"T3", 100}, {"T4", 800},
                                                     {"T5", 700}, {"T6", 600}, {"T7", 300}, {"T8", 200}, {"T9", 400}};
    for (const auto& [name, rate] : taxes) order.addTax(tax(name, rate));
    auto secondOfLowest = line(order, "second-of-lowest", 1000);
    secondOfLowest->addTaxExemption("T1");
    auto all = line(order, "all", 1000);
    auto third = line(order, "third", 1000);
    third->addTaxExemption("T1");
    third->addTaxExemption("T3");
    auto none = line(order, "none", 1000);
    for (const auto& [name, rate] : taxes) none->addTaxExemption(name);

    std::vector<std::string> sorted;
    for (const SelectionPtr& s : order.sortSelectionsByLowestTax()) sorted.push_back(s->remoteId().value_or("?"));
    EXPECT_EQ(sorted, (std::vector<std::string>{"none", "all", "second-of-lowest", "third"}));
    EXPECT_EQ(order.getTaxFor(*all), 460);
    EXPECT_EQ(order.getTaxFor(*third), 440);
    EXPECT_EQ(order.getTaxFor(*none), 0);
}

// Under the override an exempt line pays a tax that some active line pays, and only such a tax.
TEST(OrderTotals, OverrideListCountsActiveLinesOnly) {
    Order order;
    order.addTax(tax("Five", 500));
    order.setTaxOverride(true);
    auto exempt = line(order, "exempt", 1000);
    exempt->addTaxExemption("Five");
    auto voided = line(order, "voided", 1000);
    EXPECT_EQ(order.getTaxTotal(), 50 + 50);
    voided->setDeleted(Date::now());
    EXPECT_EQ(order.getTaxTotal(), 0);
}

TEST(OrderTotals, FixedTaxAmounts) {
    Order order;
    order.addTax(tax("Bottle", 0));
    order.addTax(tax("Five", 500));
    auto s = line(order, "soda", 200, 3);
    s->setPredefinedTax(10, "Bottle");
    // 3 x 10 fixed, and 5 % of 600 (the soda has no fixed amount for Five)
    EXPECT_EQ(order.getTax(std::string("Bottle")), 30);
    EXPECT_EQ(order.getTax(std::string("Five")), 30);
    // a discount of a third of the line takes a third of the fixed amount
    order.addDiscount(discount(200));
    EXPECT_EQ(order.getTax(std::string("Bottle")), 3 * (10 - 3));
    // a fixed amount on a free line is owed whole
    auto free = line(order, "free", 0);
    free->setPredefinedTax(4, "Bottle");
    EXPECT_EQ(order.getTaxFor(*free), 4);
}

TEST(OrderTotals, PaidCountsNeitherVoidedNorTabs) {
    Order order;
    line(order, "a", 1000);
    order.addPayment(payment(Payment::kCash, 400, 50));
    order.addPayment(payment(Payment::kCredit, 300, 25, true));
    order.addPayment(payment(Payment::kTab, 300, 25));
    EXPECT_EQ(order.getPaid(), 400);
    EXPECT_EQ(order.getGratuityPaid(), 50);
    EXPECT_EQ(order.getDue(), 600);
    order.addPayment(payment(Payment::kGift, 700));
    EXPECT_EQ(order.getDue(), -100);
}

TEST(OrderTotals, LargeOrdersDoNotOverflow) {
    Order order;
    order.addTax(tax("Ten", 1000));
    auto s = line(order, "banquet", 3'000'000, 10);
    s->setCompName(std::string("c"));
    s->setCompBy(std::string("u"));
    s->setCompPercent(1000);
    EXPECT_EQ(order.getSubTotal(), 30'000'000);
    EXPECT_EQ(order.getCompTotal(), 3'000'000);
    EXPECT_EQ(order.getTaxTotal(), 2'700'000);
}

} // namespace
} // namespace tavlo
