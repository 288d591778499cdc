#include "core/order/ComboSelection.h"
#include "core/order/OrderTax.h"
#include "core/order/Selection.h"

#include <gtest/gtest.h>

namespace tavlo {
namespace {

const OrderTax kState(std::string("State"), 500);
const OrderTax kCity(std::string("City"), 300);

SelectionPtr make(int32_t price, int32_t additionPrice = 0, int32_t quantity = 1, const char* id = "x") {
    auto s = std::make_shared<Selection>();
    s->setPrice(price);
    s->setAdditionPrice(additionPrice);
    s->setQuantity(quantity);
    s->setRemoteId(std::string(id));
    s->setRecipeId(std::string(id));
    return s;
}

Preparation prep(const char* id, int32_t charge) { return Preparation(std::string(id), charge); }

TEST(PreparationRecord, FixedAmountsAndExemption) {
    Preparation p = prep("p", 40);
    EXPECT_FALSE(p.isExempt(kState));
    EXPECT_FALSE(p.hasPredefinedTax("State"));
    EXPECT_EQ(p.predefinedTax("State"), 0);
    p.setPredefinedTax(0, "State");
    EXPECT_TRUE(p.isExempt(kState));
    p.setPredefinedTax(15, "State");
    EXPECT_FALSE(p.isExempt(kState));
    EXPECT_EQ(p.predefinedTax("State"), 15);

    EXPECT_TRUE(p == prep("p", 99));
    EXPECT_FALSE(p == prep("q", 40));

    Preparation copy = p.clone();
    copy.setPredefinedTax(1, "City");
    EXPECT_FALSE(p.hasPredefinedTax("City"));
    EXPECT_EQ(copy.charge(), 40);
    EXPECT_EQ(copy.predefinedTax("State"), 15);
}

// A line is exempt when the tax is among its chosen exemptions, among its item's, or when the
// line and all its parts fix the tax at 0.
TEST(SelectionTaxBases, ExemptionTable) {
    struct Case {
        const char* what;
        std::function<void(Selection&)> setUp;
        bool exemptFromState;
    };
    const Case cases[] = {
        {"plain line", [](Selection&) {}, false},
        {"chosen on the line", [](Selection& s) { s.addTaxExemption("State"); }, true},
        {"from the item", [](Selection& s) { s.addDefaultTaxExemption("State"); }, true},
        {"another tax chosen", [](Selection& s) { s.addTaxExemption("County"); }, false},
        {"fixed 0", [](Selection& s) { s.setPredefinedTax(0, "State"); }, true},
        {"fixed 0 and also listed",
         [](Selection& s) {
             s.setPredefinedTax(0, "State");
             s.addTaxExemption("State");
         },
         true},
        {"fixed 0 and listed by the item",
         [](Selection& s) {
             s.setPredefinedTax(0, "State");
             s.addDefaultTaxExemption("State");
         },
         true},
        {"fixed 25", [](Selection& s) { s.setPredefinedTax(25, "State"); }, false},
        {"fixed 25 but chosen exempt",
         [](Selection& s) {
             s.setPredefinedTax(25, "State");
             s.addTaxExemption("State");
         },
         true},
        {"fixed 0, preparation without an entry",
         [](Selection& s) {
             s.setPredefinedTax(0, "State");
             s.addPreparation(prep("p", 10));
         },
         false},
        {"fixed 0, preparation fixed 0",
         [](Selection& s) {
             s.setPredefinedTax(0, "State");
             Preparation p = prep("p", 10);
             p.setPredefinedTax(0, "State");
             s.addPreparation(p);
         },
         true},
        {"fixed 0, side not exempt",
         [](Selection& s) {
             s.setPredefinedTax(0, "State");
             s.addSide(make(100, 0, 1, "side"));
         },
         false},
        {"fixed 0, side fixed 0",
         [](Selection& s) {
             s.setPredefinedTax(0, "State");
             auto side = make(100, 0, 1, "side");
             side->setPredefinedTax(0, "State");
             s.addSide(side);
         },
         true},
        {"fixed 0, side exempt by its list",
         [](Selection& s) {
             s.setPredefinedTax(0, "State");
             auto side = make(100, 0, 1, "side");
             side->addTaxExemption("State");
             s.addSide(side);
         },
         true},
    };
    for (const auto& c : cases) {
        Selection s;
        s.setPrice(1000);
        c.setUp(s);
        EXPECT_EQ(s.isExempt(kState), c.exemptFromState) << c.what;
        EXPECT_FALSE(s.isExempt(kCity)) << c.what;
    }
}

// The three per-unit questions, for the line's own part, its preparations and its sides, under
// each addition flag and with and without the override.
TEST(SelectionTaxBases, QueriesTable) {
    struct Case {
        const char* what;
        std::function<void(Selection&)> setUp;
        int addition;
        bool override;
        int32_t fixedTax, fixedTaxable, taxable;
    };
    auto withPreps = [](Selection& s) {
        s.addPreparation(prep("plain", 50));
        Preparation fixed = prep("fixed", 30);
        fixed.setPredefinedTax(4, "State");
        s.addPreparation(fixed);
    };
    auto withSides = [](Selection& s) {
        s.setIncludedSides(1);
        auto salad = make(200, 60, 2, "salad"); // one unit included (addition price), one chargeable
        s.addSide(salad);
        auto soup = make(300, 90, 1, "soup"); // chargeable, fixed amounts
        soup->setPredefinedTax(7, "State");
        soup->setAdditionPredefinedTax(2, "State");
        s.addSide(soup);
    };
    const Case cases[] = {
        {"plain, flag 0", [](Selection&) {}, 0, false, 0, 0, 1000},
        {"plain, flag 1", [](Selection&) {}, 1, false, 0, 0, 400},
        {"plain, other flag", [](Selection&) {}, 2, false, 0, 0, 0},
        {"fixed 25, flag 0", [](Selection& s) { s.setPredefinedTax(25, "State"); }, 0, false, 25, 1000, 0},
        {"fixed 25, flag 1 has no addition amount", [](Selection& s) { s.setPredefinedTax(25, "State"); }, 1, false, 0,
         0, 400},
        {"addition amount 3, flag 1", [](Selection& s) { s.setAdditionPredefinedTax(3, "State"); }, 1, false, 3, 400,
         0},
        {"fixed 0 is exempt", [](Selection& s) { s.setPredefinedTax(0, "State"); }, 0, false, 0, 0, 0},
        {"fixed 0 under the override pays the rate", [](Selection& s) { s.setPredefinedTax(0, "State"); }, 0, true, 0,
         1000, 1000},
        {"fixed 25 under the override", [](Selection& s) { s.setPredefinedTax(25, "State"); }, 0, true, 25, 1000, 0},
        {"listed exempt", [](Selection& s) { s.addTaxExemption("State"); }, 0, false, 0, 0, 0},
        {"listed exempt under the override", [](Selection& s) { s.addTaxExemption("State"); }, 0, true, 0, 0, 1000},
        {"preparations", withPreps, 0, false, 4, 30, 1050},
        {"preparations, other flag", withPreps, 5, false, 4, 30, 50},
        // salad: 1 x 200 + 1 x 60 taxable; soup: fixed 7 on its chargeable unit
        {"sides", withSides, 0, false, 7, 300, 1000 + 200 + 60},
        {"sides, other flag", withSides, 7, false, 7, 300, 260},
    };
    for (const auto& c : cases) {
        Selection s;
        s.setPrice(1000);
        s.setAdditionPrice(400);
        c.setUp(s);
        EXPECT_EQ(s.unitPredefinedTax(kState, c.addition, c.override), c.fixedTax) << c.what;
        EXPECT_EQ(s.unitPredefinedTaxable(kState, c.addition, c.override), c.fixedTaxable) << c.what;
        EXPECT_EQ(s.unitTaxableAmount(kState, c.addition, c.override), c.taxable) << c.what;
        // another tax sees no fixed amount anywhere
        EXPECT_EQ(s.unitPredefinedTax(kCity, c.addition, c.override), 0) << c.what;
    }
}

TEST(SelectionTaxBases, SideInsideTheAllowanceCarriesItsAdditionAmount) {
    Selection s;
    s.setPrice(1000);
    s.setIncludedSides(3);
    auto soup = make(300, 90, 2, "soup");
    soup->setPredefinedTax(7, "State");
    soup->setAdditionPredefinedTax(2, "State");
    s.addSide(soup);
    EXPECT_TRUE(s.hasPredefinedTax("State"));
    EXPECT_EQ(s.unitPredefinedTax(kState, 0, false), 2 * 2);
    EXPECT_EQ(s.unitPredefinedTaxable(kState, 0, false), 2 * 90);
    EXPECT_EQ(s.unitTaxableAmount(kState, 0, false), 1000);
    EXPECT_EQ(s.unitTaxableAmount(kCity, 0, false), 1000 + 2 * 90);
}

// A side whose preparation fixes the tax still pays the rate on its own price, and a side that
// fixes only its addition amount pays the rate on its chargeable units.
TEST(SelectionTaxBases, PartsOfASideAreTaxedOneWayEach) {
    Selection s;
    s.setPrice(1000);
    s.setIncludedSides(1);
    auto salad = make(200, 60, 2, "salad");
    Preparation dressing = prep("dressing", 40);
    dressing.setPredefinedTax(3, "State");
    salad->addPreparation(dressing);
    salad->setAdditionPredefinedTax(1, "State");
    s.addSide(salad);
    // one unit chargeable at 200 (rate), one included at 60 (fixed 1); the dressing fixed on both
    EXPECT_EQ(s.unitTaxableAmount(kState, 0, false), 1000 + 200);
    EXPECT_EQ(s.unitPredefinedTax(kState, 0, false), 3 + (1 + 3));
    EXPECT_EQ(s.unitPredefinedTaxable(kState, 0, false), 40 + (60 + 40));
}

TEST(ComboSelectionTaxBases, ComponentsCountAtTheirAdditionPrice) {
    ComboSelection combo;
    combo.setPrice(899);
    combo.addSelection(make(650, 0, 1, "burger"));
    auto drink = make(250, 150, 2, "cola");
    combo.addSelection(drink, "drinks");
    EXPECT_EQ(combo.unitTaxableAmount(kState, 0, false), 899 + 0 + 300);
    EXPECT_FALSE(combo.hasPredefinedTax("State"));

    drink->setAdditionPredefinedTax(5, "State");
    EXPECT_TRUE(combo.hasPredefinedTax("State"));
    EXPECT_EQ(combo.unitPredefinedTax(kState, 0, false), 10);
    EXPECT_EQ(combo.unitPredefinedTaxable(kState, 0, false), 300);
    EXPECT_EQ(combo.unitTaxableAmount(kState, 0, false), 899);

    combo.addTaxExemption("State");
    EXPECT_EQ(combo.unitTaxableAmount(kState, 0, false), 0);
    EXPECT_EQ(combo.unitPredefinedTax(kState, 0, false), 0);
    EXPECT_EQ(combo.unitTaxableAmount(kState, 0, true), 899);
    EXPECT_EQ(combo.unitPredefinedTax(kState, 0, true), 10);
}

TEST(ComboSelectionTaxBases, FixedComponentsFollowTheCallersFlagForFixedAmounts) {
    ComboSelection combo;
    auto burger = make(650, 0, 1, "burger");
    burger->setPredefinedTax(9, "State");
    burger->setAdditionPredefinedTax(1, "State");
    combo.addSelection(burger);
    EXPECT_EQ(combo.unitPredefinedTax(kState, 0, false), 9);
    EXPECT_EQ(combo.unitPredefinedTax(kState, 1, false), 1);
}

TEST(OrderTaxRounding, ApplyRoundTable) {
    using T = std::optional<std::string>;
    struct Case {
        double value;
        T rounding;
        int32_t want;
    };
    const Case cases[] = {
        {2.5, "round", 3},   {-2.5, "round", -3},   {2.4, "round", 2},     {2.5, "FLOOR", 2},   {2.9, "floor", 2},
        {-2.5, "floor", -3}, {2.5, "", 3},          {2.1, "ceil", 3},      {2.0, "ceiling", 2}, {2.5, T(), 3},
        {2.4, T(), 2},       {12.375, "Round", 12}, {12.375, "floor", 12}, {12.375, "up", 13},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OrderTax::applyRound(c.value, c.rounding), c.want) << c.value << " " << c.rounding.value_or("(nil)");
}

TEST(OrderTaxRounding, TaxOfAnAmount) {
    for (const char* rule : {"round", "floor", "ceiling"}) {
        OrderTax tax(std::string("T"), 825, std::string(rule));
        EXPECT_EQ(tax.calculateTax(0), 0) << rule;
    }
    EXPECT_EQ(OrderTax(std::string("T"), 825, std::string("round")).calculateTax(150), 12);
    EXPECT_EQ(OrderTax(std::string("T"), 825, std::string("floor")).calculateTax(150), 12);
    EXPECT_EQ(OrderTax(std::string("T"), 825, std::string("ceiling")).calculateTax(150), 13);
    EXPECT_EQ(OrderTax(std::string("T"), 825, std::string("round")).calculateUnitTax(450, 3), 12);
    // large amounts do not overflow
    EXPECT_EQ(OrderTax(std::string("T"), 1000).calculateTax(50'000'000), 5'000'000);
    OrderTax copy = OrderTax(std::string("T"), 825, std::string("floor"), std::string("t1")).clone();
    EXPECT_EQ(copy.taxId(), "t1");
    EXPECT_EQ(copy.rounding(), "floor");
    EXPECT_EQ(copy.calculateTax(200), 16);
    // a changed rounding text changes the rule: 8.25 % of 150 is 12.375, of 200 is 16.5
    copy.setRounding(std::string("CEILING"));
    EXPECT_EQ(copy.calculateTax(150), 13);
    copy.setRounding(std::nullopt);
    EXPECT_EQ(copy.calculateTax(150), 12);
    EXPECT_EQ(copy.calculateTax(200), 17);
    copy.setRounding(std::string("Floor"));
    EXPECT_EQ(copy.calculateUnitTax(400, 2), 16);
}

} // namespace
} // namespace tavlo
