#include "core/order/ComboSelection.h"
#include "core/order/Selection.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "support/LocalStoreScope.h"
#include "support/TempHome.h"
#include "sync/storeload/OperationSynchStore.h"

#include <gtest/gtest.h>

namespace tavlo {
namespace {

// Lines from the rows a store load wrote.
class LoadedStoreTest : public ::testing::Test {
protected:
    LoadedStoreTest() {
        OperationSynchStore load("http://127.0.0.1:1/", "STORE-1", "secret", true, std::nullopt, 20, false,
                                 DBHelper::sharedStore());
        const std::string reply = test::readFixture("storeload/store_full.xml");
        load.setDataSource([&](const StoreDataRequest&, Error*) { return reply; });
        load.start();
        EXPECT_TRUE(load.succeeded());
        view = std::make_shared<ObjectContext>(DBHelper::sharedStore());
        IDBroker::initWithMOC(view);
    }
    ManagedObjectPtr item(const std::string& id) { return view->fetchFirst("Item", "itemId == %@", id); }

    ScopedFakeClock clock{Date(1'700'050'000.0)};
    test::LocalStoreScope store;
    std::shared_ptr<ObjectContext> view;
};

TEST_F(LoadedStoreTest, LineWithItsDefaultSides) {
    SelectionPtr line = Selection::newFrom(item("I1"), std::string("U1"), view.get());
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->name(), "Burger");
    EXPECT_EQ(line->price(), 1095);
    EXPECT_EQ(line->itemId(), "I1");
    EXPECT_EQ(line->menuId(), "M1");
    EXPECT_EQ(line->recipeId(), "RC1");
    EXPECT_EQ(line->includedSides(), 2);
    EXPECT_EQ(line->defaultSideCount(), 2);
    EXPECT_EQ(line->defaultTaxExemptions(), std::vector<std::string>{"City"});
    EXPECT_EQ(line->predefinedTaxes().entry("State"), 79);
    EXPECT_EQ(line->predefinedTaxes().entry("City"), 16);
    auto sides = line->getSides();
    ASSERT_EQ(sides.size(), 2u);
    EXPECT_EQ(sides[0]->name(), "Fries");
    EXPECT_EQ(sides[0]->recipeId(), "RC3");
    EXPECT_EQ(sides[0]->price(), 150);
    EXPECT_EQ(sides[0]->additionPrice(), 100);
    EXPECT_EQ(sides[0]->predefinedTaxes().entry("State"), 11);
    EXPECT_EQ(sides[0]->additionPredefinedTaxes().entry("State"), 7);
    EXPECT_EQ(sides[1]->name(), "Lemonade");
    EXPECT_EQ(sides[1]->predefinedTaxes().entry("State"), 0);
    // both sides fall inside the two included: each pays its addition price
    EXPECT_EQ(line->getUnitCharge(), 1095 + 100 + 0);
}

TEST_F(LoadedStoreTest, SoldOutRecipeGivesNoLine) {
    ASSERT_NE(Selection::newFrom(item("I2"), std::string("U1"), view.get()), nullptr);
    auto burger = view->fetchFirst("Recipe", "recipeId == %@", std::string("RC1"));
    burger->setValue("available", 0);
    ASSERT_TRUE(view->save());
    EXPECT_EQ(Selection::newFrom(item("I1"), std::string("U1"), view.get()), nullptr);
    EXPECT_EQ(Selection::newFrom(item("I2"), std::string("U1"), view.get()), nullptr);
    EXPECT_NE(Selection::newFrom(item("I3"), std::string("U1"), view.get()), nullptr); // not counted
}

TEST_F(LoadedStoreTest, ComboWithItsParts) {
    SelectionPtr line = Selection::newFrom(item("CI1"), std::string("U1"), view.get());
    auto* combo = dynamic_cast<ComboSelection*>(line.get());
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->price(), 1395);
    EXPECT_EQ(combo->defaultTaxExemptions(), std::vector<std::string>{"City"});
    EXPECT_EQ(combo->predefinedTaxes().entry("State"), 101);
    std::vector<std::string> parts;
    for (const auto& part : combo->getSelections()) parts.push_back(part->recipeId().value_or("(nil)"));
    EXPECT_EQ(parts, (std::vector<std::string>{"RC1", "RC3"}));
}

TEST_F(LoadedStoreTest, PreparationChargesFromTheLoadedMenu) {
    struct Case {
        const char *item, *preparation;
        int32_t charge;
        std::optional<int32_t> stateTax;
    };
    const Case cases[] = {
        {"I1", "PR2", 75, 5},             // the item's own charge
        {"I3", "PR2", 60, 4},             // the menu's charge
        {"I1", "PR3", 125, std::nullopt}, // the preparation's price
        {"I1", "PR1", 0, std::nullopt},
    };
    for (const auto& c : cases) {
        SelectionPtr line = Selection::newFrom(item(c.item), std::string("U1"), view.get());
        line->addPreparation(Preparation(std::string(c.preparation)), view.get());
        EXPECT_EQ(line->getCharge(c.preparation), c.charge) << c.item << " " << c.preparation;
        EXPECT_EQ(line->getPreparations().at(0).predefinedTaxes().entry("State"), c.stateTax)
            << c.item << " " << c.preparation;
    }
}

} // namespace
} // namespace tavlo
