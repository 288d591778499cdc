#include "core/order/ComboSelection.h"

#include "PersistTestSupport.h"

#include <gtest/gtest.h>

namespace tavlo {
namespace {

using test::LocalStoreScope;

class PersistSelection : public ::testing::Test {
protected:
    void SetUp() override {
        test::addCatalogue(*store.context());
        store.save();
    }
    // Writes, saves and reads the line back in another context.
    SelectionPtr roundTrip(const SelectionPtr& line) {
        line->write(*store.context());
        store.save();
        auto other = test::otherContext(store);
        ManagedObjectPtr row = other->fetchFirst("Selection", "remoteId == %@", *line->remoteId());
        EXPECT_TRUE(row);
        return row ? Selection::fromRow(*row) : nullptr;
    }
    size_t count(const char* entity) { return store->fetchAll(entity).size(); }
    static ManagedObjectPtr row(LocalStoreScope& store, const char* remoteId) {
        return store->fetchFirst("Selection", "remoteId == %@", remoteId);
    }

    LocalStoreScope store;
};

TEST_F(PersistSelection, LineWithSidesAndPreparationsComesBackWhole) {
    SelectionPtr line = test::makeBurger();
    line->setDeleted(Date(1700000500));
    SelectionPtr got = roundTrip(line);
    ASSERT_TRUE(got);
    EXPECT_EQ(line->newQuantity(), 0) << "stored units count as sent";
    EXPECT_FALSE(line->new_());
    EXPECT_FALSE(line->modified());
    test::expectSameStoredLine(*got, *line);
    EXPECT_EQ(got->getUnitCharge(), line->getUnitCharge());

    ManagedObjectPtr row = store->fetchFirst("Selection", "remoteId == %@", "sel-burger");
    std::vector<ManagedObjectPtr> links = row->toMany("sides");
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[0]->int32("charge"), line->getSideCharge(*line->selectedSides()[0]));
    EXPECT_EQ(links[1]->int32("charge"), line->getSideCharge(*line->selectedSides()[1]));
}

TEST_F(PersistSelection, ComboWithAGroupComesBackWhole) {
    auto combo = test::makeCombo();
    SelectionPtr got = roundTrip(combo);
    ASSERT_TRUE(got);
    test::expectSameStoredLine(*got, *combo);
    EXPECT_EQ(got->getUnitCharge(), 899 + 150 + 100) << "the group's drink and the wrap's side";
}

TEST_F(PersistSelection, SecondWriteUpdatesTheSameRowButNotItsNameOrCreation) {
    SelectionPtr line = test::makeLine("sel-1", "r-cake", 500);
    line->write(*store.context());
    store.save();
    ManagedObjectPtr row = store->fetchFirst("Selection", "remoteId == %@", "sel-1");
    const std::optional<Date> firstUpdate = row->date("updateDate");
    const std::optional<Date> created = row->date("created");

    ScopedFakeClock clock(Date(1800000000));
    line->setName("Renamed");
    line->setCreated(Date(1));
    line->setQuantity(3);
    line->write(*store.context());
    store.save();
    EXPECT_EQ(count("Selection"), 1u);
    EXPECT_EQ(row->text("name"), "Line r-cake");
    EXPECT_EQ(row->date("created"), created);
    EXPECT_EQ(row->int32("quantity"), 3);
    EXPECT_NE(row->date("updateDate"), firstUpdate);
}

TEST_F(PersistSelection, DroppedExemptionsTaxesAndPreparationsLoseTheirRows) {
    SelectionPtr line = test::makeBurger();
    line->write(*store.context());
    store.save();
    EXPECT_EQ(count("SelectionTaxExemption"), 1u);
    EXPECT_EQ(count("SelectionDefaultTaxExemption"), 1u);
    EXPECT_EQ(count("SelectionTax"), 2u) << "State and County";
    EXPECT_EQ(count("SelectionPreparation"), 3u) << "two on the line, one on a side";

    // The same line as the screens leave it: no exemption, one fixed tax at a new amount, one
    // preparation without taxes.
    auto edited = std::make_shared<Selection>();
    edited->setRemoteId("sel-burger");
    edited->setRecipeId("r-burger");
    edited->setName(line->name());
    edited->setCreated(row(store, "sel-burger")->date("created"));
    edited->setPredefinedTax(30, "State");
    edited->addPreparation(Preparation("p-extra", 175));
    for (const SelectionPtr& side : line->selectedSides()) edited->addSide(side);
    edited->write(*store.context());
    store.save();
    EXPECT_EQ(count("SelectionTaxExemption"), 0u);
    EXPECT_EQ(count("SelectionDefaultTaxExemption"), 0u);
    EXPECT_EQ(count("SelectionTax"), 1u);
    EXPECT_EQ(count("SelectionPreparation"), 2u);
    EXPECT_EQ(count("SelectionPreparationTax"), 0u) << "p-extra dropped its fixed tax";
    auto other = test::otherContext(store);
    SelectionPtr got = Selection::fromRow(*other->fetchFirst("Selection", "remoteId == %@", "sel-burger"));
    test::expectSameStoredLine(*got, *edited);
    EXPECT_EQ(got->predefinedTaxes().entry("State"), 30) << "a changed fixed amount is stored";
    EXPECT_EQ(got->getCharge("p-extra"), 175);
}

TEST_F(PersistSelection, SideChangesSurviveAndADroppedSideKeepsItsRow) {
    SelectionPtr line = test::makeBurger();
    line->write(*store.context());
    store.save();
    const size_t rows = count("Selection");

    // One more salad: the linked side's own row follows.
    line->selectedSides()[1]->setQuantity(3);
    SelectionPtr got = roundTrip(line);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->selectedSides()[1]->quantity(), 3);
    test::expectSameStoredLine(*got, *line);
    ManagedObjectPtr row = store->fetchFirst("Selection", "remoteId == %@", "sel-burger");
    EXPECT_EQ(row->toMany("sides")[1]->int32("charge"), line->getSideCharge(*line->selectedSides()[1]));

    // The fries dropped: their link goes, their row stays.
    SelectionPtr salad = line->selectedSides()[1];
    line->clearSides();
    line->addSide(salad);
    got = roundTrip(line);
    ASSERT_TRUE(got);
    ASSERT_EQ(got->selectedSides().size(), 1u);
    EXPECT_EQ(got->selectedSides()[0]->remoteId(), "sel-burger-salad");
    EXPECT_EQ(count("SelectionSide"), 1u);
    EXPECT_EQ(count("Selection"), rows);
    EXPECT_TRUE(store->fetchFirst("Selection", "remoteId == %@", "sel-burger-fries"));
}

TEST_F(PersistSelection, ComboChangesSurviveAndASwappedPartIsGone) {
    auto combo = test::makeCombo();
    combo->write(*store.context());
    store.save();

    // The drink swapped for tea, the fixed wrap's side changed.
    combo->removeSelection(combo->getSelections("g-drinks")->front(), "g-drinks");
    SelectionPtr tea = test::makeLine("sel-combo-tea", "r-tea", 0);
    tea->setAdditionPrice(120);
    combo->addSelection(tea, "g-drinks");
    combo->selections()[0]->selectedSides()[0]->setQuantity(2);
    combo->selections()[0]->setComment("Cut in half");
    SelectionPtr got = roundTrip(combo);
    ASSERT_TRUE(got);
    test::expectSameStoredLine(*got, *combo);
    EXPECT_EQ(got->getUnitCharge(), combo->getUnitCharge());
    EXPECT_FALSE(store->fetchFirst("Selection", "remoteId == %@", "sel-combo-soda")) << "the swapped-out part";
    EXPECT_EQ(count("SelectionComboSelection"), 2u);

    // A part that moves from one group to another keeps its row.
    auto moved = std::dynamic_pointer_cast<ComboSelection>(got);
    SelectionPtr part = moved->getSelections("g-drinks")->front();
    moved->removeSelection(part, "g-drinks");
    moved->addSelection(part, "g-sweets");
    moved->write(*store.context());
    store.save();
    auto other = test::otherContext(store);
    SelectionPtr again = Selection::fromRow(*other->fetchFirst("Selection", "remoteId == %@", "sel-combo"));
    test::expectSameStoredLine(*again, *moved);
}

TEST_F(PersistSelection, DroppingALineDeletesItsRows) {
    SelectionPtr line = test::makeBurger();
    ManagedObjectPtr row = line->write(*store.context());
    auto combo = test::makeCombo();
    ManagedObjectPtr comboRow = combo->write(*store.context());
    store.save();
    store->deleteObject(row);
    store->deleteObject(comboRow);
    store.save();
    for (const char* entity :
         {"Selection", "SelectionSide", "SelectionPreparation", "SelectionPreparationTax", "SelectionTax",
          "SelectionTaxExemption", "SelectionDefaultTaxExemption", "SelectionComboSelection"})
        EXPECT_EQ(count(entity), 0u) << entity;
}

TEST_F(PersistSelection, CloneIsANewEqualLineWithItsOwnParts) {
    auto combo = test::makeCombo();
    combo->setNewQuantity(1);
    SelectionPtr copy = combo->clone();
    EXPECT_TRUE(copy->isEqual(combo.get()));
    EXPECT_TRUE(copy->new_());
    EXPECT_TRUE(copy->modified());
    EXPECT_EQ(copy->newQuantity(), 1);
    EXPECT_EQ(copy->getUnitCharge(), combo->getUnitCharge());
    auto copyCombo = std::dynamic_pointer_cast<ComboSelection>(copy);
    ASSERT_TRUE(copyCombo);
    EXPECT_NE(copyCombo->selections()[0], combo->selections()[0]);
    copyCombo->selections()[0]->selectedSides()[0]->setQuantity(5);
    EXPECT_EQ(combo->selections()[0]->selectedSides()[0]->quantity(), 1) << "sides are copies";

    SelectionPtr burger = test::makeBurger();
    SelectionPtr burgerCopy = burger->clone();
    burgerCopy->setPredefinedTax(99, "State");
    EXPECT_EQ(burger->predefinedTaxes().entry("State"), 25);
    EXPECT_EQ(burgerCopy->getPreparationCount(), 2);
}

TEST(PersistSelectionXml, SidesMergeAndComboPartsChargeTheirAdditionPrice) {
    const char* text =
        "<selection remoteId=\"c1\" type=\"ComboSelection\" action=\"add\"><selectionName>Wrap combo</selectionName>"
        "<creationDate>1700000000000</creationDate><price>899</price><additionPrice>0</additionPrice>"
        "<sideCount>0</sideCount><seat>1</seat><course>0</course><quantity>1</quantity><multiplier>100</multiplier>"
        "<selection remoteId=\"c1-wrap\" type=\"MainSelection\"><selectionName>Wrap</selectionName>"
        "<recipeId>r-wrap</recipeId><price>0</price><quantity>1</quantity><multiplier>100</multiplier>"
        "<side><selection remoteId=\"s1\" type=\"SideSelection\"><recipeId>r-slaw</recipeId><price>100</price>"
        "<quantity>1</quantity><multiplier>100</multiplier></selection><sideDefaultCount>0</sideDefaultCount></side>"
        "<side><selection remoteId=\"s2\" type=\"SideSelection\"><recipeId>r-slaw</recipeId><price>100</price>"
        "<quantity>1</quantity><multiplier>100</multiplier></selection></side></selection>"
        "<selection remoteId=\"c1-soda\" type=\"MainSelection\"><selectionName>Soda</selectionName>"
        "<recipeId>r-soda</recipeId><refId>g-drinks</refId><price>250</price><quantity>1</quantity>"
        "<multiplier>100</multiplier><preparation><preparationId>p-ice</preparationId><charge>10</charge>"
        "<taxAmount><taxName>State</taxName><amount>1</amount></taxAmount></preparation>"
        "<exemptionTax>City</exemptionTax><exemptionTax>County</exemptionTax>"
        "<defaultExemptionTax>Liquor</defaultExemptionTax><taxAmount><taxName>State</taxName><amount>7</amount>"
        "</taxAmount><additionTaxAmount><taxName>State</taxName><amount>3</amount></additionTaxAmount>"
        "<comp><compName>Staff</compName><compBy>mgr</compBy><compPercentage>10000</compPercentage></comp>"
        "</selection></selection>";
    XmlDocPtr doc = XmlHelper::parse(text);
    ASSERT_TRUE(doc);
    SelectionPtr line = Selection::fromDocument(xmlDocGetRootElement(doc.get()), doc.get(), nullptr);
    auto combo = std::dynamic_pointer_cast<ComboSelection>(line);
    ASSERT_TRUE(combo);
    EXPECT_FALSE(combo->new_());
    EXPECT_FALSE(combo->modified());
    EXPECT_EQ(combo->created(), Date(1700000000));
    ASSERT_EQ(combo->selections().size(), 1u);
    SelectionPtr wrap = combo->selections()[0];
    ASSERT_EQ(wrap->selectedSides().size(), 1u) << "two sides of one recipe merge";
    EXPECT_EQ(wrap->selectedSides()[0]->quantity(), 2);
    ASSERT_TRUE(combo->getSelections("g-drinks"));
    SelectionPtr soda = combo->getSelections("g-drinks")->front();
    EXPECT_EQ(soda->price(), 0);
    EXPECT_EQ(soda->additionPrice(), 250) << "a part's price becomes its addition price";
    EXPECT_EQ(soda->taxExemptions(), (std::vector<std::string>{"City", "County"}));
    EXPECT_EQ(soda->defaultTaxExemptions(), std::vector<std::string>{"Liquor"});
    EXPECT_EQ(soda->predefinedTaxes().entry("State"), 7);
    EXPECT_EQ(soda->additionPredefinedTaxes().entry("State"), 3);
    ASSERT_EQ(soda->getPreparationCount(), 1);
    EXPECT_EQ(soda->getCharge("p-ice"), 10);
    EXPECT_EQ(soda->selectedPreparations()[0].predefinedTax("State"), 1);
    EXPECT_EQ(soda->compName(), "Staff");
    EXPECT_EQ(soda->compBy(), "mgr");
    EXPECT_EQ(soda->compPercent(), 10000);
    EXPECT_EQ(combo->getUnitCharge(), 899 + 100 * 2 + 250 + 10);
}

} // namespace
} // namespace tavlo
