#include "core/order/ComboSelection.h"
#include "core/order/Selection.h"

#include <gtest/gtest.h>

namespace tavlo {
namespace {

SelectionPtr line(int32_t price, int32_t quantity = 1) {
    auto s = std::make_shared<Selection>();
    s->setPrice(price);
    s->setQuantity(quantity);
    return s;
}

SelectionPtr side(const char* remoteId, const char* recipeId, int32_t price, int32_t additionPrice,
                  int32_t quantity = 1) {
    auto s = line(price, quantity);
    s->setRemoteId(std::string(remoteId));
    s->setRecipeId(std::string(recipeId));
    s->setAdditionPrice(additionPrice);
    return s;
}

TEST(SelectionCharges, MultiplierTable) {
    struct Case {
        int32_t multiplier, amount, want;
    };
    const Case cases[] = {
        {100, 1234, 1234}, {100, -7, -7},   {-3, 100, 33},  {-3, -100, -33}, {-3, 1049, 349},
        {50, 199, 100},    {50, -199, -99}, {50, 200, 100}, {33, 300, 99},   {25, 101, 26},
        {150, 199, 299},   {200, 450, 900}, {75, 0, 0},     {10, 1, 1},
    };
    for (const auto& c : cases) {
        Selection s;
        s.setMultiplier(c.multiplier);
        EXPECT_EQ(s.applyMultiplier(c.amount), c.want) << c.multiplier << " of " << c.amount;
    }
}

TEST(SelectionCharges, MultiplierLabelTable) {
    struct Case {
        int32_t multiplier;
        const char* label;
    };
    const Case cases[] = {
        {25, "1/4"},   {33, "1/3"},     {-3, "1/3"}, {50, "1/2"}, {100, ""},  {150, "1.50"}, {200, "2.00"},
        {125, "1.25"}, {1000, "10.00"}, {75, ".75"}, {10, ".10"}, {5, ".05"}, {0, ".00"},
    };
    for (const auto& c : cases) {
        Selection s;
        s.setMultiplier(c.multiplier);
        EXPECT_EQ(s.multiplierLabel(), c.label) << c.multiplier;
    }
}

// The cheapest sides use the allowance first; a side's units beyond it pay the side's price,
// units within it its addition price.
TEST(SelectionCharges, IncludedVersusChargeableSideUnits) {
    struct SideCase {
        const char* id;
        int32_t price, addition, quantity;
        int32_t chargeable;
        bool chargableEntry;
        int32_t charge;
    };
    struct Case {
        const char* what;
        int32_t included;
        std::vector<SideCase> sides;
    };
    const Case cases[] = {
        {"allowance 2: A free, B half", 2, {{"A", 100, 10, 1, 0, false, 10}, {"B", 200, 20, 2, 1, false, 200 + 20}}},
        {"no allowance: every unit pays", 0, {{"A", 100, 10, 1, 1, true, 100}, {"B", 200, 20, 2, 2, true, 400}}},
        {"allowance larger than all units", 9, {{"A", 100, 10, 1, 0, false, 10}, {"B", 200, 20, 2, 0, false, 40}}},
        {"allowance used up before the dearer side",
         1,
         {{"B", 200, 20, 1, 1, true, 200}, {"A", 100, 10, 1, 0, false, 10}}},
        {"equal prices go by recipe id", 1, {{"Y", 100, 0, 1, 1, true, 100}, {"X", 100, 0, 1, 0, false, 0}}},
        // isChargable counts entries, not units: B's entry lies past the first one
        {"several units of one side", 2, {{"A", 100, 10, 3, 1, false, 100 + 20}, {"B", 200, 20, 1, 1, false, 200}}},
    };
    for (const auto& c : cases) {
        Selection parent;
        parent.setIncludedSides(c.included);
        std::vector<SelectionPtr> made;
        for (const auto& sc : c.sides) {
            auto s = side(sc.id, sc.id, sc.price, sc.addition, sc.quantity);
            made.push_back(parent.addSide(s));
        }
        int32_t extra = 0;
        for (size_t i = 0; i < made.size(); ++i) {
            const auto& sc = c.sides[i];
            EXPECT_EQ(parent.chargableCount(*made[i]), sc.chargeable) << c.what << " / " << sc.id;
            EXPECT_EQ(parent.isChargable(*made[i]), sc.chargableEntry) << c.what << " / " << sc.id;
            EXPECT_EQ(parent.getSideCharge(*made[i]), sc.charge) << c.what << " / " << sc.id;
            extra += sc.charge;
        }
        EXPECT_EQ(parent.getExtraCharges(), extra) << c.what;
    }
}

TEST(SelectionCharges, ASideWithoutRemoteIdIsCountedOnce) {
    Selection parent;
    parent.setIncludedSides(1);
    auto s = line(100, 2);
    s->setRecipeId(std::string("R"));
    parent.addSide(s);
    EXPECT_EQ(parent.chargableCount(*s), 1);
}

TEST(SelectionCharges, UnitChargeCountsPreparationsSidesAndTheirOwnExtras) {
    Selection s;
    s.setPrice(1000);
    s.setIncludedSides(1);
    s.addPreparation(Preparation(std::string("p1"), 50));
    auto fries = side("s1", "fries", 300, 0, 2);
    fries->addPreparation(Preparation(std::string("salt"), 25));
    s.addSide(fries);
    // fries: one unit inside the allowance (0), one at 300, and the salt on both units
    EXPECT_EQ(s.getExtraCharges(), 50 + 300 + 0 + 2 * 25);
    EXPECT_EQ(s.getUnitCharge(), 1400);
    s.setMultiplier(50);
    EXPECT_EQ(s.getUnitCharge(), 700);
}

TEST(SelectionSides, SameRecipeRaisesTheQuantity) {
    Selection s;
    auto a = side("a1", "R1", 100, 0);
    auto b = side("a2", "R1", 100, 0);
    EXPECT_EQ(s.addSide(a), a);
    EXPECT_EQ(s.addSide(b), a);
    EXPECT_EQ(s.getSides().size(), 1u);
    EXPECT_EQ(s.getQuantity(*b), 2);
    EXPECT_EQ(s.getSideCount(), 2);
    EXPECT_TRUE(s.modified());
}

TEST(SelectionSides, ClearSidesMarksModifiedOnlyWithSides) {
    Selection s;
    s.clearSides();
    EXPECT_FALSE(s.modified());
    s.addSide(side("a", "R", 1, 0));
    s.setModified(false);
    s.clearSides();
    EXPECT_TRUE(s.modified());
    EXPECT_EQ(s.getSideCount(), 0);
}

TEST(SelectionPreparations, KeptOncePerIdWithTheirCharge) {
    Selection s;
    s.addPreparation(Preparation(std::string("p"), 40));
    s.addPreparation(Preparation(std::string("p"), 99));
    EXPECT_EQ(s.getPreparationCount(), 1);
    EXPECT_TRUE(s.isSelected("p"));
    EXPECT_FALSE(s.isSelected("q"));
    EXPECT_EQ(s.getCharge("p"), 40);
    EXPECT_EQ(s.getCharge("q"), 0);
    EXPECT_FALSE(s.modified());
}

TEST(SelectionComp, CompAmountTable) {
    struct Case {
        const char* what;
        bool comped;
        int32_t percent, quantity, amount, want;
    };
    const Case cases[] = {
        {"no comp", false, 5000, 3, 3003, 0},
        {"half of three at 1001", true, 5000, 3, 3003, 1500},
        {"full", true, 10000, 2, 900, 900},
        {"floor per unit", true, 3333, 1, 100, 33},
        {"remainder of the division dropped", true, 10000, 3, 100, 99},
        {"quantity 0", true, 5000, 0, 100, 0},
        {"large amount", true, 10000, 1, 5'000'000, 5'000'000},
    };
    for (const auto& c : cases) {
        Selection s;
        s.setQuantity(c.quantity);
        s.setCompPercent(c.percent);
        if (c.comped) s.setCompBy(std::string("u1"));
        EXPECT_EQ(s.compAmount(c.amount), c.want) << c.what;
    }
    Selection s;
    s.setPrice(1001);
    s.setCompBy(std::string("u1"));
    s.setCompPercent(5000);
    EXPECT_EQ(s.compAmount(), 500);
}

TEST(SelectionEquality, Table) {
    auto make = [](std::optional<std::string> remote, std::optional<std::string> recipe,
                   std::optional<std::string> menu) {
        auto s = std::make_shared<Selection>();
        s->setRemoteId(remote);
        s->setRecipeId(recipe);
        s->setMenuId(menu);
        return s;
    };
    using O = std::optional<std::string>;
    struct Case {
        const char* what;
        SelectionPtr a, b;
        bool equal;
    };
    const Case cases[] = {
        {"same remote id", make("1", "r", "m"), make("1", "x", "y"), true},
        {"different remote ids", make("1", "r", "m"), make("2", "r", "m"), false},
        {"one without remote id", make("1", "r", "m"), make(O(), "r", "m"), false},
        {"no ids, same recipe and menu", make(O(), "r", "m"), make(O(), "r", "m"), true},
        {"no ids, same recipe, no menus", make(O(), "r", O()), make(O(), "r", O()), true},
        {"no ids, different menus", make(O(), "r", "m"), make(O(), "r", "n"), false},
        {"no ids, one menu", make(O(), "r", "m"), make(O(), "r", O()), false},
        {"nothing at all", make(O(), O(), O()), make(O(), O(), O()), false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.a->isEqual(c.b.get()), c.equal) << c.what;
    auto self = make(O(), O(), O());
    EXPECT_TRUE(self->isEqual(self.get()));
    EXPECT_FALSE(self->isEqual(nullptr));
}

TEST(SelectionFlags, NewLineAndSettersThatModify) {
    Selection s;
    EXPECT_TRUE(s.new_());
    EXPECT_FALSE(s.modified());
    EXPECT_EQ(s.quantity(), 1);
    EXPECT_EQ(s.multiplier(), 100);
    EXPECT_EQ(s.newQuantity(), 0);
    ASSERT_TRUE(s.created().has_value());
    s.setName(std::string("Soup"));
    s.setTaxIncluded(true);
    s.setDefaultSideCount(2);
    EXPECT_FALSE(s.modified());
    s.setSeat(-1);
    EXPECT_TRUE(s.modified());
    EXPECT_EQ(s.seat(), -1);
}

TEST(SelectionLog, EntriesReachTheObserver) {
    Selection s;
    ActivityLog entry;
    entry.setAction(std::string("priceChange"));
    s.addLog(entry); // no observer: dropped
    std::vector<ActivityLog> got;
    s.setObserver([&](const ActivityLog& e) { got.push_back(e); });
    s.addLog(entry);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].action(), "priceChange");
}

// ---- Combos

TEST(ComboSelectionCharges, UnitChargeOfAComboWithAGroupComponent) {
    ComboSelection combo;
    combo.setPrice(899);
    auto burger = side("k1", "burger", 650, 0);
    combo.addSelection(burger);
    auto drink = side("g1", "cola", 250, 150);
    combo.addSelection(drink, "drinks");
    EXPECT_EQ(combo.getUnitCharge(), 1049);
    EXPECT_EQ(drink->referenceId(), "drinks");
    // a component's own preparations count on each of its units
    burger->addPreparation(Preparation(std::string("cheese"), 75));
    burger->setQuantity(2);
    EXPECT_EQ(combo.getUnitCharge(), 899 + 2 * 75 + 150);
}

TEST(ComboSelectionGroups, AddRemoveAndCount) {
    ComboSelection combo;
    auto a = side("g1", "cola", 0, 150);
    auto b = side("g2", "cola", 0, 150);
    EXPECT_EQ(combo.addSelection(a, "drinks"), a);
    EXPECT_EQ(combo.addSelection(b, "drinks"), a);
    ASSERT_NE(combo.getSelections("drinks"), nullptr);
    EXPECT_EQ(combo.getSelections("drinks")->size(), 1u);
    EXPECT_EQ(combo.getSelectionCount("drinks"), 2);
    EXPECT_EQ(combo.getQuantity(*b, "drinks"), 2);
    EXPECT_EQ(combo.getSelections("sauces"), nullptr);
    EXPECT_EQ(combo.getSelectionCount("sauces"), 0);

    combo.setModified(false);
    auto tea = side("g3", "tea", 0, 0);
    EXPECT_EQ(combo.removeSelection(tea, "drinks"), tea); // not there: nothing but the flag
    EXPECT_TRUE(combo.modified());
    EXPECT_EQ(combo.getSelectionCount("drinks"), 2);
    combo.removeSelection(b, "drinks");
    combo.removeSelection(b, "drinks");
    ASSERT_NE(combo.getSelections("drinks"), nullptr); // an emptied group keeps its list
    EXPECT_TRUE(combo.getSelections("drinks")->empty());
    EXPECT_EQ(combo.getGroups(), std::vector<std::string>{"drinks"});
}

TEST(ComboSelectionGroups, RemovingTheGroupsOwnElementAnswersIt) {
    // Callers hand over the group's own pointer, which the removal erases from the list.
    ComboSelection combo;
    auto cola = side("g1", "cola", 0, 150);
    auto tea = side("g2", "tea", 0, 120);
    combo.addSelection(cola, "drinks");
    combo.addSelection(tea, "drinks");
    std::weak_ptr<Selection> watch = cola;
    cola.reset();
    SelectionPtr removed = combo.removeSelection(combo.getSelections("drinks")->front(), "drinks");
    EXPECT_EQ(removed, watch.lock());
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed->recipeId(), "cola");
    EXPECT_EQ(*combo.getSelections("drinks"), std::vector<SelectionPtr>{tea});

    removed = combo.removeSelection(combo.getSelections("drinks")->front(), "drinks"); // the last one
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed, tea);
    EXPECT_TRUE(combo.getSelections("drinks")->empty());
}

TEST(ComboSelectionGroups, RemovingAUnitAnswersTheGroupsComponentNotTheArgument) {
    // The combo group screen counts the answer's units to send down with it: that must be the
    // group's own component, which keeps its remaining unit.
    ComboSelection combo;
    combo.addSelection(side("g1", "cola", 0, 150), "drinks");
    SelectionPtr kept = combo.addSelection(side("g2", "cola", 0, 150), "drinks");
    auto asked = side("g3", "cola", 0, 150);
    SelectionPtr removed = combo.removeSelection(asked, "drinks");
    EXPECT_EQ(removed, kept);
    EXPECT_NE(removed, asked);
    EXPECT_EQ(removed->quantity(), 1);
    EXPECT_EQ(combo.getSelectionCount("drinks"), 1);
    auto unknown = side("g4", "tea", 0, 0);
    EXPECT_EQ(combo.removeSelection(unknown, "sauces"), unknown); // no such group: the argument
}

TEST(ComboSelectionGroups, FixedComponentsAndAllSelections) {
    ComboSelection combo;
    auto burger = side("k1", "burger", 0, 0);
    combo.addSelection(burger);
    combo.addSelection(side("k2", "burger", 0, 0));
    combo.addSelection(side("k3", "fries", 0, 0));
    combo.addSelection(side("g1", "cola", 0, 0), "drinks");
    EXPECT_EQ(burger->quantity(), 2);
    auto all = combo.getAllSelections();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[2]->recipeId(), "cola");
    combo.removeSelection(*burger);
    EXPECT_EQ(burger->quantity(), 1);
    combo.removeSelection(*burger);
    EXPECT_EQ(combo.getSelections().size(), 1u);
}

} // namespace
} // namespace tavlo
