#include "sync/storeload/StoreLoadIndex.h"

#include "core/session/DBHelper.h"
#include "support/LocalStoreScope.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace tavlo {
namespace {

// Rows saved before the index reads them, then looked up by every kind of key it takes.
TEST(StoreLoadIndex, FindsEachRowByItsOwnKeyAmongManyWhateverItsPrimaryKey) {
    test::LocalStoreScope scope;
    std::vector<ManagedObjectPtr> items, taxes;
    {
        ObjectContext& c = *scope.context();
        for (int t = 0; t < 3; ++t) {
            taxes.push_back(c.insert("Tax"));
            taxes.back()->setValue("taxId", "TX" + std::to_string(t));
        }
        // Primary keys of one, two and three bytes in the index's coding.
        for (int i = 0; i < 10'000; ++i) {
            items.push_back(c.insert("Item"));
            items.back()->setValue("itemId", "I" + std::to_string(i));
        }
        for (int i = 0; i < 10'000; i += 64)
            for (const ManagedObjectPtr& tax : taxes) {
                ManagedObjectPtr amount = c.insert("TaxItem");
                amount->setToOne("item", items[i]);
                amount->setToOne("tax", tax);
                amount->setValue("amount", i);
            }
        ManagedObjectPtr till = scope.addTerminal("T1");
        scope.addTerminalParam(till, "COLOR", "blue");
        scope.addTerminalParam(till, "", "empty name");
        scope.addTerminalParam(till, "X", "nil name")->setValue("name", std::nullopt);
        scope.save();
    }

    ObjectContext load(DBHelper::sharedStore());
    StoreLoadIndex index(load);
    for (int i : {0, 1, 63, 64, 8'191, 8'192, 9'999})
        EXPECT_EQ(index.find("Item", "itemId", "I" + std::to_string(i))->objectID(), items[i]->objectID()) << i;
    EXPECT_EQ(index.find("Item", "itemId", "I10000"), nullptr);
    EXPECT_EQ(index.find("Item", "itemId", ""), nullptr);

    for (int i : {0, 64, 256, 8'256, 9'984}) {
        for (size_t t = 0; t < taxes.size(); ++t) {
            ManagedObjectPtr item = load.objectWithID(items[i]->objectID());
            ManagedObjectPtr tax = load.objectWithID(taxes[t]->objectID());
            ManagedObjectPtr amount = index.find("TaxItem", {"item", "tax"}, {item.get(), tax.get()});
            ASSERT_NE(amount, nullptr) << i << " " << t;
            EXPECT_EQ(amount->int32("amount"), i);
            EXPECT_EQ(amount->text("tax.taxId"), "TX" + std::to_string(t));
        }
    }
    ManagedObjectPtr unpriced = load.objectWithID(items[1]->objectID());
    EXPECT_EQ(index.find("TaxItem", {"item", "tax"}, {unpriced.get(), nullptr}), nullptr);

    ManagedObjectPtr till = index.find("Terminal", "terminalId", "T1");
    ASSERT_NE(till, nullptr);
    EXPECT_EQ(index.find("TerminalParam", {"name", "terminal"}, {std::string_view("COLOR"), till.get()})->text("value"),
              "blue");
    // An empty name is a name; a nil one is none that a look-up could give.
    EXPECT_EQ(index.find("TerminalParam", {"name", "terminal"}, {std::string_view(""), till.get()})->text("value"),
              "empty name");
    EXPECT_EQ(index.find("TerminalParam", {"name", "terminal"}, {std::string_view("COLOR"), nullptr}), nullptr);

    // A row inserted through the index is found at once; a deleted one no longer.
    bool inserted = false;
    ManagedObjectPtr added =
        index.findOrInsert("TerminalParam", {"name", "terminal"}, {std::string_view("SIZE"), till.get()}, &inserted);
    EXPECT_TRUE(inserted);
    EXPECT_EQ(
        index.findOrInsert("TerminalParam", {"name", "terminal"}, {std::string_view("SIZE"), till.get()}, &inserted),
        added);
    EXPECT_FALSE(inserted);
    load.deleteObject(index.find("Item", "itemId", "I128"));
    EXPECT_EQ(index.find("Item", "itemId", "I128"), nullptr);
}

// Entities looked up in turn, names alike in length and letters included, each find their own.
TEST(StoreLoadIndex, EntitiesNamedInTurnKeepTheirOwnRows) {
    test::LocalStoreScope scope;
    ObjectContext& c = *scope.context();
    StoreLoadIndex index(c);
    const std::vector<std::pair<std::string, std::string>> keys = {{"Recipe", "recipeId"},
                                                                   {"AreaLocation", "areaLocationId"},
                                                                   {"Preparation", "preparationId"},
                                                                   {"Attendance", "attendanceId"},
                                                                   {"Tax", "taxId"}};
    for (int round = 0; round < 3; ++round)
        for (const auto& [entity, id] : keys)
            index.insert(entity, {id}, {std::string_view(entity + std::to_string(round))});
    for (int round = 2; round >= 0; --round)
        for (const auto& [entity, id] : keys) {
            ManagedObjectPtr row = index.find(entity, id, entity + std::to_string(round));
            ASSERT_NE(row, nullptr) << entity << round;
            EXPECT_EQ(row->entityName(), entity);
            EXPECT_EQ(row->text(id), entity + std::to_string(round));
            EXPECT_EQ(index.find(entity, id, keys[0].first + std::to_string(round)) != nullptr,
                      entity == keys[0].first);
        }
    EXPECT_THROW(index.find("Tax", {"name"}, {std::string_view("Tax0")}), std::logic_error);
}

// Ids are placed by the number they end with: ids that share it, that spell it otherwise or that
// differ only before it, in runs or alone, each find their own row and no other.
TEST(StoreLoadIndex, IdsAlikeInTheirNumberAreToldApart) {
    test::LocalStoreScope scope;
    ObjectContext& c = *scope.context();
    StoreLoadIndex index(c);
    std::vector<std::string> ids = {"I007", "I07", "7", "07", "", "no digits", "no digitz", "x1y2", "x1y3",
                                    // The same last eighteen digits, and as many nines.
                                    "12345678901234567890", "22345678901234567890", "999999999999999999"};
    for (int i = 0; i < 3'000; ++i) ids.push_back("I" + std::to_string(i));
    for (int i = 0; i < 100; ++i) ids.push_back("CI" + std::to_string(i));
    for (int i = 0; i < 1'000; i += 8) ids.push_back("S" + std::to_string(i * 1'000));
    std::map<std::string, ObjectID> rows;
    for (const std::string& id : ids) rows[id] = index.insert("Item", {"itemId"}, {std::string_view(id)})->objectID();

    for (const auto& [id, row] : rows) EXPECT_EQ(index.findID("Item", "itemId", id), row) << id;
    for (std::string none :
         {"I3000", "CI100", "I0007", "I7 ", "2345678901234567890", "no digit", "x1y4", "S1000", "S8001", "0"})
        EXPECT_FALSE(index.findID("Item", "itemId", none).isValid()) << none;
}

// A row the context holds packed is named by its id and stays packed; others are found as ever.
TEST(StoreLoadIndex, NamesARowHeldPackedWithoutUnpackingIt) {
    test::LocalStoreScope scope;
    ObjectContext& c = *scope.context();
    c.insert("Recipe")->setValue("recipeId", "saved");
    scope.save();
    const EntityDescription& recipe = c.model().requireEntity("Recipe");
    StoreLoadIndex index(c);
    ASSERT_TRUE(c.beginWrite());
    c.holdInserts("Recipe");
    const ObjectID held = index.insert("Recipe", {"recipeId"}, {std::string_view("held")})->objectID();
    ASSERT_TRUE(c.flush());
    ASSERT_TRUE(c.isHeld(recipe, held.primaryKey()));

    EXPECT_EQ(index.findID("Recipe", "recipeId", "held"), held);
    EXPECT_TRUE(c.isHeld(recipe, held.primaryKey()));
    const ObjectID saved = index.findID("Recipe", "recipeId", "saved");
    ASSERT_TRUE(saved.isValid());
    EXPECT_EQ(c.objectWithID(saved)->text("recipeId"), "saved");
    EXPECT_FALSE(index.findID("Recipe", "recipeId", "none").isValid());
    c.deleteObject(c.objectWithID(saved));
    EXPECT_FALSE(index.findID("Recipe", "recipeId", "saved").isValid());
    c.rollback();
}

// A link row set by its key: found ones changed through their objects, new ones held packed
// inside a held write (and found from then on), objects outside one; the key names its rows by
// object or by id alike.
TEST(StoreLoadIndex, SetsALinkRowFoundOrNewAndFindsItByItsKey) {
    test::LocalStoreScope scope;
    ObjectContext& c = *scope.context();
    ManagedObjectPtr item = c.insert("Item"), tax = c.insert("Tax");
    item->setValue("itemId", "I0");
    tax->setValue("taxId", "TX0");
    scope.save();
    StoreLoadIndex index(c);
    // Outside a held write: an object, written by the save.
    const ObjectID first = index.setRow("TaxItem", {"item", "tax"}, {item.get(), tax.get()}, {{"amount", Value(5)}});
    ASSERT_TRUE(first.isValid());
    EXPECT_TRUE(c.objectWithID(first)->isInserted());
    scope.save();

    ASSERT_TRUE(c.beginWrite());
    ManagedObjectPtr other = c.insert("Tax");
    other->setValue("taxId", "TX1");
    // The row found, by object or by id: changed through its object.
    EXPECT_EQ(index.setRow("TaxItem", {"item", "tax"}, {item->objectID(), tax.get()}, {{"amount", Value(7)}}), first);
    EXPECT_TRUE(c.objectWithID(first)->isUpdated());
    // A new one: held, read as if written, found by its key, changed again through its object.
    const ObjectID added =
        index.setRow("TaxItem", {"item", "tax"}, {item.get(), other->objectID()}, {{"amount", Value(8)}});
    ASSERT_TRUE(added.isValid());
    EXPECT_NE(added, first);
    EXPECT_TRUE(c.isHeld(c.model().requireEntity("TaxItem"), added.primaryKey()));
    EXPECT_EQ(c.count(FetchRequest("TaxItem")), 2u);
    EXPECT_EQ(index.setRow("TaxItem", {"item", "tax"}, {item.get(), other.get()}, {{"amount", Value(9)}}), added);
    EXPECT_THROW(index.setRow("TaxItem", {"item", "tax"}, {item.get(), tax.get()}, {{"none", Value(1)}}),
                 std::invalid_argument);
    ASSERT_TRUE(c.save());

    item = tax = other = nullptr;
    scope.reopen();
    std::map<std::string, int64_t> amounts;
    for (const ManagedObjectPtr& row : scope->fetchAll("TaxItem"))
        amounts[*row->text("tax.taxId")] = row->int64("amount");
    EXPECT_EQ(amounts, (std::map<std::string, int64_t>{{"TX0", 7}, {"TX1", 9}}));
}

} // namespace
} // namespace tavlo
