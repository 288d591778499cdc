#include "core/order/ComboSelection.h"
#include "core/order/OrderTax.h"
#include "core/order/Selection.h"
#include "core/session/IDBroker.h"

#include <gtest/gtest.h>

#include "support/LocalStoreScope.h"
#include "support/MenuRows.h"

namespace tavlo {
namespace {

class SelectionStoreTest : public ::testing::Test {
protected:
    SelectionStoreTest() : rows(store.context().get()) {
        IDBroker::initWithMOC(store.context());
        state = rows.tax("t1", "State", 500);
        city = rows.tax("t2", "City", 300);
        dinner = rows.menu("m1", "Dinner");
        mains = rows.section("sec1", dinner);
    }
    ObjectContext* context() { return store.context().get(); }

    test::LocalStoreScope store;
    test::MenuRows rows;
    ManagedObjectPtr state, city, dinner, mains;
};

TEST_F(SelectionStoreTest, NewLineFromAnItemWithDefaultSides) {
    auto steakRecipe = rows.recipe("r-steak", "Steak", 500);
    auto steak = rows.item("i-steak", "Steak Frites", 2400, steakRecipe, dinner, 1);
    steak->setToOne("section", mains);
    rows.taxAmount("TaxItem", "item", steak, city, 40);
    rows.taxAmount("TaxItem", "item", steak, state, std::nullopt); // no amount: fixes nothing
    steak->addTo("taxExemptions", state);
    auto fries = rows.side("s-fries", rows.recipe("r-fries", "Fries"), dinner, 300, 0);
    rows.taxAmount("TaxSide", "side", fries, city, 5, 2);
    auto salad = rows.side("s-salad", rows.recipe("r-salad", "Salad"), dinner, 350, 100);
    steak->addTo("defaultSides", fries);
    steak->addTo("defaultSides", salad);
    store.save();

    SelectionPtr line = Selection::newFrom(steak, std::string("U-ANN"), context());
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(dynamic_cast<ComboSelection*>(line.get()), nullptr);
    EXPECT_EQ(line->name(), "Steak Frites");
    EXPECT_EQ(line->price(), 2400);
    EXPECT_EQ(line->quantity(), 1);
    EXPECT_EQ(line->newQuantity(), 1);
    EXPECT_EQ(line->includedSides(), 1);
    EXPECT_EQ(line->defaultSideCount(), 2);
    EXPECT_EQ(line->itemId(), "i-steak");
    EXPECT_EQ(line->menuId(), "m1");
    EXPECT_EQ(line->recipeId(), "r-steak");
    EXPECT_EQ(line->orderedBy(), "U-ANN");
    ASSERT_TRUE(line->remoteId().has_value());
    EXPECT_TRUE(line->new_());
    EXPECT_TRUE(line->modified());
    EXPECT_EQ(line->defaultTaxExemptions(), std::vector<std::string>{"State"});
    EXPECT_EQ(line->predefinedTaxes().entry("City"), 40);
    EXPECT_FALSE(line->predefinedTaxes().has("State"));

    auto sides = line->getSides();
    ASSERT_EQ(sides.size(), 2u);
    EXPECT_EQ(sides[0]->name(), "Fries");
    EXPECT_EQ(sides[0]->recipeId(), "r-fries");
    EXPECT_EQ(sides[0]->menuId(), "m1");
    EXPECT_EQ(sides[0]->itemId(), std::nullopt);
    EXPECT_EQ(sides[0]->newQuantity(), 0);
    EXPECT_EQ(sides[0]->orderedBy(), "U-ANN");
    EXPECT_EQ(sides[0]->predefinedTaxes().entry("City"), 5);
    EXPECT_EQ(sides[0]->additionPredefinedTaxes().entry("City"), 2);
    EXPECT_NE(sides[0]->remoteId(), sides[1]->remoteId());
    EXPECT_NE(sides[0]->remoteId(), line->remoteId());
    // the cheaper fries use the one included side; the salad pays its price
    EXPECT_EQ(line->getUnitCharge(), 2400 + 0 + 350);
}

TEST_F(SelectionStoreTest, SoldOutRecipeGivesNoLine) {
    struct Case {
        const char* what;
        std::optional<int32_t> available;
        bool line;
    };
    // `available` is in hundredths of a portion; sold out is below 1
    const Case cases[] = {
        {"none left", 0, false},    {"below one portion", 99, true},     {"negative", -100, false},
        {"one portion", 100, true}, {"not counted", std::nullopt, true},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string id = "r" + std::to_string(n++);
        auto item = rows.item("i" + id, "Soup", 500, rows.recipe(id, "Soup", c.available), dinner);
        EXPECT_EQ(Selection::newFrom(item, std::string("U"), context()) != nullptr, c.line) << c.what;
    }
}

TEST_F(SelectionStoreTest, ComboFromAnItemWithoutRecipe) {
    auto burger = rows.item("i-burger", "Burger", 900, rows.recipe("r-burger", "Burger"), dinner, 2);
    auto fries = rows.item("i-fries", "Fries", 300, rows.recipe("r-fries", "Fries"), dinner);
    auto meal = rows.item("i-meal", "Burger Meal", 1099, nullptr, dinner, 1);
    meal->addTo("items", burger);
    meal->addTo("items", fries);
    meal->addTo("taxExemptions", city);
    rows.taxAmount("TaxItem", "item", meal, state, 12);

    SelectionPtr line = Selection::newFrom(meal, std::string("U-BOB"), context());
    auto* combo = dynamic_cast<ComboSelection*>(line.get());
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->recipeId(), std::nullopt);
    EXPECT_EQ(combo->price(), 1099);
    EXPECT_EQ(combo->includedSides(), 1);
    EXPECT_EQ(combo->newQuantity(), 1);
    EXPECT_EQ(combo->defaultTaxExemptions(), std::vector<std::string>{"City"});
    EXPECT_EQ(combo->predefinedTaxes().entry("State"), 12);
    auto parts = combo->getSelections();
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0]->recipeId(), "r-burger");
    EXPECT_EQ(parts[0]->includedSides(), 2);
    EXPECT_EQ(parts[0]->newQuantity(), 1);
    EXPECT_EQ(parts[1]->name(), "Fries");
    EXPECT_TRUE(parts[1]->remoteId().has_value());
    // components count at their addition price (0 here)
    EXPECT_EQ(combo->getUnitCharge(), 1099);
}

// A combo's components, fixed or picked in a group, keep their own items' exemptions, as the store
// server's answers give them: a soda's up-charge inside a meal pays no tax its item is free of.
TEST_F(SelectionStoreTest, ComboComponentsKeepTheirItemsExemptions) {
    auto burger = rows.item("i-burger", "Burger", 900, rows.recipe("r-burger", "Burger"), dinner, 1);
    burger->addTo("taxExemptions", city);
    auto soda = rows.item("i-soda", "Soda", 300, rows.recipe("r-soda", "Soda"), dinner);
    soda->addTo("taxExemptions", city);
    auto meal = rows.item("i-meal", "Burger Meal", 1099, nullptr, dinner);
    meal->addTo("items", burger);
    rows.comboGroup("g-drink", "Drink", meal, 1, 1, {{soda, 150}});
    store.save();

    SelectionPtr line = Selection::newFrom(meal, std::string("U-BOB"), context());
    auto* combo = dynamic_cast<ComboSelection*>(line.get());
    ASSERT_NE(combo, nullptr);
    EXPECT_TRUE(combo->defaultTaxExemptions().empty());
    EXPECT_EQ(combo->getSelections()[0]->defaultTaxExemptions(), std::vector<std::string>{"City"});
    auto groupItem = context()->fetchFirst("ComboGroupItem", "item.itemId == %@", std::string("i-soda"));
    ASSERT_TRUE(groupItem);
    SelectionPtr part =
        combo->addSelection(ComboSelection::groupComponentFrom(*groupItem, std::string("U-BOB")), "g-drink");
    EXPECT_EQ(part->name(), "Soda");
    EXPECT_EQ(part->additionPrice(), 150);
    EXPECT_EQ(part->itemId(), "i-soda");
    EXPECT_EQ(part->orderedBy(), "U-BOB");
    EXPECT_EQ(part->defaultTaxExemptions(), std::vector<std::string>{"City"});

    EXPECT_EQ(combo->unitTaxableAmount(OrderTax(std::string("City"), 300), 0, false), 1099);
    EXPECT_EQ(combo->unitTaxableAmount(OrderTax(std::string("State"), 500), 0, false), 1099 + 150);
}

TEST_F(SelectionStoreTest, SideFromItsRow) {
    auto side = rows.side("s1", rows.recipe("r-slaw", "Slaw"), dinner, 250, 75);
    rows.taxAmount("TaxSide", "side", side, state, 3, 1);
    SelectionPtr s = Selection::initFromSide(std::string("s1"), context());
    EXPECT_EQ(s->name(), "Slaw");
    EXPECT_EQ(s->price(), 250);
    EXPECT_EQ(s->additionPrice(), 75);
    EXPECT_EQ(s->recipeId(), "r-slaw");
    EXPECT_EQ(s->menuId(), std::nullopt);
    EXPECT_EQ(s->newQuantity(), 1);
    EXPECT_TRUE(s->modified());
    EXPECT_EQ(s->predefinedTaxes().entry("State"), 3);
    EXPECT_EQ(s->additionPredefinedTaxes().entry("State"), 1);

    SelectionPtr missing = Selection::initFromSide(std::string("nope"), context());
    EXPECT_EQ(missing->name(), std::nullopt);
    EXPECT_FALSE(missing->modified());
}

// The charge of a preparation comes from the item, else the item's section, else the line's
// menu, else the preparation's own price; each with its own fixed tax amounts.
TEST_F(SelectionStoreTest, PreparationChargeChain) {
    auto recipe = rows.recipe("r-fish", "Fish");
    auto fish = rows.item("i-fish", "Fish", 1800, recipe, dinner);
    fish->setToOne("section", mains);
    auto other = rows.item("i-other", "Other", 100, rows.recipe("r-other", "Other"), dinner);
    auto grilled = rows.preparation("p-grill", "Grilled", 90);
    rows.taxAmount("TaxPreparation", "preparation", grilled, state, 1);

    struct Case {
        const char* what;
        std::function<void()> setUp;
        int32_t charge;
        std::optional<int32_t> stateTax;
    };
    const Case cases[] = {
        {"the preparation's price", [] {}, 90, 1},
        {"the menu's charge",
         [&] {
             auto row = rows.charge("MenuPreparation", "menu", dinner, grilled, 70);
             rows.taxAmount("TaxMenuPreparation", "menuPreparation", row, state, 2);
         },
         70, 2},
        {"the section's charge",
         [&] {
             auto row = rows.charge("SectionPreparation", "section", mains, grilled, 60);
             rows.taxAmount("TaxSectionPreparation", "sectionPreparation", row, state, 0);
         },
         60, 0},
        {"another item's charge changes nothing", [&] { rows.charge("ItemPreparation", "item", other, grilled, 5); },
         60, 0},
        {"the item's charge", [&] { rows.charge("ItemPreparation", "item", fish, grilled, 50); }, 50, std::nullopt},
    };
    for (const auto& c : cases) {
        c.setUp();
        Selection line;
        line.setRecipeId(std::string("r-fish"));
        line.setMenuId(std::string("m1")); // no item id: found from recipe and menu
        line.setModified(false);
        line.addPreparation(Preparation(std::string("p-grill")), context());
        EXPECT_EQ(line.itemId(), "i-fish") << c.what;
        ASSERT_EQ(line.getPreparationCount(), 1) << c.what;
        EXPECT_EQ(line.getCharge("p-grill"), c.charge) << c.what;
        EXPECT_EQ(line.getPreparations()[0].predefinedTaxes().entry("State"), c.stateTax) << c.what;
        EXPECT_TRUE(line.modified()) << c.what;

        line.setModified(false);
        line.addPreparation(Preparation(std::string("p-grill")), context());
        EXPECT_EQ(line.getPreparationCount(), 1) << c.what;
        EXPECT_TRUE(line.modified()) << c.what;
    }
}

TEST_F(SelectionStoreTest, PreparationFromItsRow) {
    auto row = rows.preparation("p1", "Rare", 25);
    rows.taxAmount("TaxPreparation", "preparation", row, state, 0);
    Preparation p = Preparation::initFromDB(*row);
    EXPECT_EQ(p.preparationId(), "p1");
    EXPECT_EQ(p.charge(), 25);
    EXPECT_TRUE(p.isExempt(OrderTax(std::string("State"), 500)));
}

TEST_F(SelectionStoreTest, ItemIdFromRecipeAndMenu) {
    auto recipe = rows.recipe("r1", "Soup");
    rows.item("i1", "Soup", 500, recipe, dinner);
    Selection line;
    EXPECT_EQ(line.itemId(context()), std::nullopt);
    line.setRecipeId(std::string("r1"));
    EXPECT_EQ(line.itemId(context()), std::nullopt);
    line.setMenuId(std::string("m1"));
    EXPECT_EQ(line.itemId(context()), "i1");
    line.setMenuId(std::string("m2"));
    EXPECT_EQ(line.itemId(context()), std::nullopt);
}

TEST_F(SelectionStoreTest, AvailabilityCounts) {
    rows.recipe("counted", "Pie", 300);
    rows.recipe("free", "Bread");
    store.save();
    EXPECT_EQ(Selection::available(std::string("counted"), context()), 300);
    EXPECT_EQ(Selection::available(std::string("free"), context()), -1);
    EXPECT_EQ(Selection::available(std::string("missing"), context()), -1);
    EXPECT_EQ(Selection::available(std::nullopt, context()), -1);

    Selection line;
    line.setRecipeId(std::string("counted"));
    EXPECT_TRUE(line.hasAvailability(context()));
    line.setRecipeId(std::string("free"));
    EXPECT_FALSE(line.hasAvailability(context()));

    Selection::updateAvailability(std::string("counted"), -100, context());
    Selection::updateAvailability(std::string("free"), -100, context());
    Selection::updateAvailability(std::string("missing"), -100, context());
    // Counted at once in the context, committed with its next save (the order's).
    EXPECT_EQ(Selection::available(std::string("counted"), context()), 200);
    EXPECT_TRUE(context()->hasChanges());
    ObjectContext other(context()->store());
    EXPECT_EQ(Selection::available(std::string("counted"), &other), 300);
    store.save();
    store.reopen();
    EXPECT_EQ(Selection::available(std::string("counted"), context()), 200);
    EXPECT_EQ(Selection::available(std::string("free"), context()), -1);
}

} // namespace
} // namespace tavlo
