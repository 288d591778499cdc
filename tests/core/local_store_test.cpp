#include "core/session/DBHelper.h"
#include "core/session/LocalStoreModel.h"
#include "support/LocalStoreScope.h"

#include <gtest/gtest.h>

namespace tavlo {
namespace {

using test::LocalStoreScope;

TEST(LocalStoreModel, OpensAndDeletingAnOrderTakesItsRowsButOnlyUnlinksTheRest) {
    LocalStoreScope store;
    ObjectContext& c = *store.context();
    ManagedObjectPtr user = c.insert("User");
    ManagedObjectPtr batch = c.insert("StoreBatch");
    ManagedObjectPtr prep = c.insert("Preparation");
    ManagedObjectPtr order = c.insert("Order");
    order->setToOne("user", user);
    order->setToOne("storeBatch", batch);
    ManagedObjectPtr line = c.insert("Selection");
    order->addTo("selections", line);
    ManagedObjectPtr linePrep = c.insert("SelectionPreparation");
    linePrep->setToOne("preparation", prep);
    line->addTo("preparations", linePrep);
    ManagedObjectPtr prepTax = c.insert("SelectionPreparationTax");
    prepTax->setToOne("selectionPreparation", linePrep);
    ManagedObjectPtr side = c.insert("Selection"); // the side's own row, linked from the line only
    ManagedObjectPtr sideLink = c.insert("SelectionSide");
    sideLink->setToOne("mainSelection", line);
    sideLink->setToOne("sideSelection", side);
    for (auto [rows, entity] : {std::pair{"taxExemptions", "SelectionTaxExemption"},
                                {"defaultTaxExemptions", "SelectionDefaultTaxExemption"},
                                {"taxes", "SelectionTax"}})
        line->addTo(rows, c.insert(entity));
    ManagedObjectPtr payment = c.insert("Payment");
    payment->setToOne("order", order);
    payment->setToOne("createdBy", user);
    ManagedObjectPtr captured = c.insert("Captured");
    payment->setToOne("captured", captured);
    order->addTo("orderTaxes", c.insert("OrderTax"));
    order->addTo("discounts", c.insert("OrderDiscount"));
    store.save();
    ASSERT_EQ(c.count(FetchRequest("Selection")), 2u);

    c.deleteObject(order);
    store.save();
    store.reopen();
    for (const char* gone :
         {"Order", "Selection", "SelectionPreparation", "SelectionPreparationTax", "SelectionSide", "SelectionTax",
          "SelectionTaxExemption", "SelectionDefaultTaxExemption", "Payment", "Captured", "OrderTax", "OrderDiscount"})
        EXPECT_EQ(store->count(FetchRequest(gone)), 0u) << gone;
    for (const char* kept : {"User", "StoreBatch", "Preparation"})
        EXPECT_EQ(store->count(FetchRequest(kept)), 1u) << kept;
    EXPECT_TRUE(store->fetchAll("User").front()->toMany("orders").empty());
}

TEST(LocalStoreModel, DeletingAConfigurationRowClearsTheLinksToIt) {
    LocalStoreScope store;
    ObjectContext& c = *store.context();
    ManagedObjectPtr user = c.insert("User");
    ManagedObjectPtr order = c.insert("Order");
    order->setToOne("user", user);
    ManagedObjectPtr menu = c.insert("Menu");
    ManagedObjectPtr schedule = c.insert("Schedule");
    menu->addTo("schedules", schedule);
    store.save();
    c.deleteObject(user);
    c.deleteObject(schedule);
    store.save();
    store.reopen();
    ManagedObjectPtr stored = store->fetchAll("Order").front();
    EXPECT_EQ(stored->toOne("user"), nullptr);
    EXPECT_TRUE(store->fetchAll("Menu").front()->toMany("schedules").empty());
    // A new user must not inherit the deleted one's orders through a reused key.
    store->insert("User");
    store.save();
    EXPECT_EQ(store->fetchAll("Order").front()->toOne("user"), nullptr);
}

TEST(LocalStoreModel, RelationshipsTheReadersFollow) {
    LocalStoreScope store;
    ObjectContext& c = *store.context();
    ManagedObjectPtr menu = c.insert("Menu");
    ManagedObjectPtr section = c.insert("Section");
    section->setValue("sectionId", "S1");
    section->setToOne("menu", menu);
    ManagedObjectPtr item = c.insert("Item");
    section->addTo("items", item);
    item->setToOne("menu", menu);
    ManagedObjectPtr side = c.insert("Side");
    menu->addTo("sides", side);
    ManagedObjectPtr combo = c.insert("Item");
    combo->addTo("items", item);
    ManagedObjectPtr area = c.insert("Area");
    ManagedObjectPtr location = c.insert("AreaLocation");
    area->addTo("areaLocations", location);
    ManagedObjectPtr rule = c.insert("Rule");
    ManagedObjectPtr param = c.insert("RuleParam");
    param->setToOne("rule", rule);
    ManagedObjectPtr host = c.insert("Host");
    ManagedObjectPtr batch = c.insert("Batch");
    host->addTo("batches", batch);
    store.save();
    store.reopen();
    ObjectContext& r = *store.context();
    auto pk = [](const ManagedObjectPtr& o) { return o ? o->objectID().primaryKey() : 0; };
    EXPECT_EQ(pk(r.fetchFirst("Item", "section.sectionId == %@", "S1")), pk(item));
    EXPECT_EQ(pk(r.fetchAll("Side").front()->toOne("menu")), pk(menu));
    EXPECT_EQ(r.fetchFirst("Item", "section == nil")->toMany("items").size(), 1u);
    EXPECT_EQ(pk(r.fetchAll("AreaLocation").front()->toOne("area")), pk(area));
    EXPECT_EQ(r.fetchAll("Rule").front()->toMany("ruleParams").size(), 1u);
    EXPECT_EQ(pk(r.fetchAll("Batch").front()->toOne("host")), pk(host));
}

TEST(LocalStoreModel, EqualityMatchedDatesAreStoredInWholeSeconds) {
    LocalStoreScope store;
    ManagedObjectPtr cash = store->insert("CashInOut");
    ManagedObjectPtr order = store->insert("Order");
    LocalStoreModel::setDate(*cash, "inDate", Date(1700000000.75));
    LocalStoreModel::setDate(*order, "created", Date(1700000000.75));
    store.save();
    EXPECT_TRUE(store->exists("CashInOut", "inDate == %@", Date(1700000000)));
    EXPECT_EQ(order->date("created"), Date(1700000000.75));
}

// Every lookup the terminal's readers and screens make names attributes the model has.
TEST(LocalStoreModel, AnswersThePredicatesOfItsReaders) {
    struct Case {
        const char* entity;
        const char* format;
    };
    const Case cases[] = {
        {"Order", "closed==nil && areaLocation.areaLocationId== %@"},
        {"Order", "closed==nil && areaLocation==nil && user.userId==%@"},
        {"Order", "storeBatch.remoteId == %@"},
        {"Order", "storeBatch.closedOn == nil"},
        {"Order", "orderId == %@"},
        {"OrderTax", "name == %@ && order.remoteId == %@"},
        {"Payment", "(paymentId == %@)"},
        {"CashInOut", "outDate == nil && cashDrawer.cashDrawerId == %@"},
        {"CashInOut", "inBy.userId == %@ && storeBatch.remoteId == %@ && inDate == %@"},
        {"Attendance", "user.userId == %@ && end == nil && endReconciled == nil"},
        {"Attendance", "attendanceId == %@"},
        {"Customer", "disabled == nil && customerId == %@"},
        {"User", "trackData == %@ OR number == %@"},
        {"Terminal", "networkName != nil and disabled='NO'"},
        {"TerminalCashDrawer", "url== %@ && terminal.terminalId == %@ && cashDrawer.cashDrawerId == %@"},
        {"Printer", "type != nil && disabled='NO'"},
        {"Area", "disabled != nil"},
        {"OrderType", "(type == %@)"},
        {"PaymentType", "type == %@"},
        {"Rule", "type == %@"},
        {"RuleParam", "name == %@ && rule.ruleId == %@"},
        {"StoreBatch", "max(openedOn) == openedOn && closedOn == nil"},
        {"OrderQueue", "(type like 'noSale' || type like 'customer') && sentDate == nil && min(created) == created"},
        {"Menu", "disabled==%@ && max(sequence) == sequence"},
        {"Item", "section.menu.menuId == %@ && shortcut > -1"},
        {"Item", "recipe.recipeId == %@ AND menu.menuId == %@"},
        {"Section", "menu.menuId == %@ && sequence == %@"},
        {"Side", "menu.menuId == %@ && sideId==%@"},
        {"PreparationGroup", "storeWide == YES"},
        {"ItemPreparation", "preparation.preparationId == %@ && item.itemId == %@"},
        {"SectionPreparation", "section.sectionId == %@ && preparation.preparationId == %@"},
        {"MenuPreparation", "menu.menuId == %@ && preparation.preparationId == %@"},
        {"TaxItemPreparation", "itemPreparation.item.itemId == %@ && tax.taxId == %@"},
        {"TaxComboGroupItem", "comboGroupItem.comboGroup.comboGroupId == %@ && comboGroupItem.item.itemId == %@"},
        {"ItemComboGroup", "item.itemId == %@ && comboGroup.comboGroupId == %@"},
        {"RecipePreparationGroup", "preparationGroup.preparationGroupId == %@ && recipe.recipeId == %@"},
        {"PreparationGroupPreparation", "preparationGroup.preparationGroupId == %@"},
        {"TaxSide", "side.sideId == %@ && tax.taxId == %@"},
        {"Complimentary", "complimentaryId == %@"},
        {"Host", "name == %@ && merchantId == %@ && terminalId == %@"},
        {"Batch", "batchId == %d && host.name == %@ && host.merchantId == %@"},
        {"Transaction", "transactionId == %d && batch.host.merchantId == %@ && batch.batchId == %d"},
        {"TransactionField", "name == %@ && value == %@ && transaction.transactionId == %d"},
        {"Selection", "remoteId == %@ && recipe.recipeId == %@"},
        {"SelectionTaxExemption", "selection.remoteId == %@ && taxName == %@"},
    };
    LocalStoreScope store;
    for (const Case& k : cases) {
        std::vector<PredicateArgument> args(static_cast<size_t>(Predicate::argumentCount(k.format)),
                                            PredicateArgument(1));
        EXPECT_NO_THROW(store->fetch(FetchRequest(k.entity, Predicate::withArguments(k.format, args))))
            << k.entity << ": " << k.format;
    }
    // Flags are booleans; the readers test them against the text 'NO' and types against texts.
    ManagedObjectPtr terminal = store.addTerminal("1");
    terminal->setValue("networkName", "pos1");
    terminal->setValue("disabled", false);
    store->insert("PaymentType")->setValue("type", 12);
    store.save();
    EXPECT_EQ(store->count("Terminal", "networkName != nil and disabled='NO'"), 1u);
    EXPECT_EQ(store->count("PaymentType", "type == %@", "12"), 1u);
}

// getValue: this terminal's value first; a nil terminal value falls through to the store's.
TEST(DBHelper, GetValueTakesTheTerminalsValueBeforeTheStores) {
    struct Case {
        const char* label;
        bool terminalRow;
        std::optional<std::string> terminalValue, storeValue, expected;
    };
    const Case cases[] = {
        {"both", true, "T", "S", "T"},
        {"terminal nil", true, std::nullopt, "S", "S"},
        {"store only", false, std::nullopt, "S", "S"},
        {"terminal only", true, "T", std::nullopt, "T"},
        {"terminal empty text", true, "", "S", ""},
        {"neither", false, std::nullopt, std::nullopt, std::nullopt},
    };
    for (const Case& k : cases) {
        LocalStoreScope store;
        ManagedObjectPtr mine = store.addThisTerminal("7");
        ManagedObjectPtr other = store.addTerminal("8");
        store.addTerminalParam(other, "KEY", "other terminal");
        if (k.terminalRow) store.addTerminalParam(mine, "KEY", k.terminalValue);
        if (k.storeValue) store.addStoreParam("KEY", k.storeValue);
        store.save();
        ObjectContext* c = store.context().get();
        EXPECT_EQ(DBHelper::getValue("KEY", c), k.expected) << k.label;
        EXPECT_EQ(DBHelper::getStoreValue("KEY", c), k.storeValue) << k.label;
        EXPECT_EQ(DBHelper::getTerminalValue("KEY", "7", c), k.terminalRow ? k.terminalValue : std::nullopt) << k.label;
    }
}

TEST(DBHelper, ADeviceWithoutItsTsUidRowHasNoTerminal) {
    LocalStoreScope store;
    ManagedObjectPtr other = store.addTerminal("8", "2");
    store.addTerminalParam(other, "TS_UID", "another-device");
    store.addTerminalParam(other, "KEY", "other terminal");
    ManagedObjectPtr loose = store->insert("TerminalParam"); // belongs to no terminal
    loose->setValue("name", "KEY");
    loose->setValue("value", "loose");
    store.addStoreParam("KEY", "store");
    store.save();
    ObjectContext* c = store.context().get();
    EXPECT_EQ(DBHelper::getTerminal(LocalStoreScope::kDeviceId, c), nullptr);
    EXPECT_EQ(DBHelper::getTerminalId(LocalStoreScope::kDeviceId, c), std::nullopt);
    EXPECT_EQ(DBHelper::getTerminalValue("KEY", std::nullopt, c), std::nullopt);
    EXPECT_EQ(DBHelper::getValue("KEY", c), "store");
    EXPECT_EQ(DBHelper::getTerminalId("another-device", c), "8");
}

TEST(DBHelper, ADeviceMovedOffADeletedTerminalFindsItsNewOne) {
    LocalStoreScope store;
    ManagedObjectPtr old = store.addThisTerminal("3");
    store.save();
    store->deleteObject(old); // its TS_UID row stays behind, linked to nothing
    store.addThisTerminal("5");
    store.save();
    ASSERT_EQ(store->count("TerminalParam", "name == %@", "TS_UID"), 2u);
    EXPECT_EQ(DBHelper::getTerminalId(LocalStoreScope::kDeviceId, store.context().get()), "5");
}

TEST(DBHelper, SaveStoreParamInsertsOnceAndLeavesSavingToTheCaller) {
    LocalStoreScope store;
    ObjectContext* c = store.context().get();
    DBHelper::saveStoreParam("IPHONE_X", "1", c);
    DBHelper::saveStoreParam("IPHONE_X", "2", c);
    EXPECT_EQ(c->count(FetchRequest("StoreParam")), 1u);
    EXPECT_EQ(DBHelper::getStoreValue("IPHONE_X", c), "2");
    store.save();
    DBHelper::saveStoreParam("IPHONE_X", "3", c);
    c->rollback();
    EXPECT_EQ(DBHelper::getStoreValue("IPHONE_X", c), "2");
}

TEST(DBHelper, QueriesLimitsSortsAndMaxima) {
    LocalStoreScope store;
    for (int i = 1; i <= 3; ++i) {
        ManagedObjectPtr b = store->insert("StoreBatch");
        b->setValue("remoteId", std::to_string(i));
        b->setValue("openedOn", Date(1000.0 * i));
    }
    store.save();
    ObjectContext* c = store.context().get();
    struct Case {
        int64_t max;
        size_t count;
    };
    for (Case k : {Case{0, 3}, Case{-1, 3}, Case{1, 1}, Case{2, 2}})
        EXPECT_EQ(DBHelper::getObjects("StoreBatch", std::nullopt, {}, "openedOn", false, k.max, c).size(), k.count)
            << k.max;
    auto sorted = DBHelper::getObjects("StoreBatch", "remoteId != %@", "2", "openedOn", false, 0, c);
    ASSERT_EQ(sorted.size(), 2u);
    EXPECT_EQ(sorted.front()->text("remoteId"), "3");
    EXPECT_EQ(DBHelper::getObject(
                  "StoreBatch",
                  {Predicate::format("remoteId == %@", "2"), Predicate::format("openedOn == %@", Date(2000))}, c)
                  ->text("remoteId"),
              "2");
    EXPECT_EQ(DBHelper::getMaxValue("StoreBatch", "openedOn", AttributeType::Date, c).date(), Date(3000));
    EXPECT_TRUE(DBHelper::getMaxValue("Order", "created", AttributeType::Date, c).isNil());
    DBHelper::cleanObjects("StoreBatch", c);
    EXPECT_EQ(DBHelper::getObject("StoreBatch", std::nullopt, {}, c), nullptr);
}

TEST(DBHelper, ANilContextAnswersNil) {
    EXPECT_EQ(DBHelper::getObject("StoreParam", std::nullopt, {}, nullptr), nullptr);
    EXPECT_EQ(DBHelper::getObject("StoreParam", DBHelper::Predicates{}, nullptr), nullptr);
    EXPECT_TRUE(DBHelper::getObjects("StoreParam", std::nullopt, {}, "name", nullptr).empty());
    EXPECT_TRUE(DBHelper::getObjects("StoreParam", DBHelper::Predicates{}, "name", nullptr).empty());
    EXPECT_TRUE(DBHelper::getMaxValue("StoreParam", "name", AttributeType::Text, nullptr).isNil());
    EXPECT_EQ(DBHelper::getValue("KEY", nullptr), std::nullopt);
    EXPECT_EQ(DBHelper::getTerminal("device", nullptr), nullptr);
    DBHelper::saveStoreParam("KEY", "1", nullptr);
    DBHelper::cleanObjects("StoreParam", nullptr);
}

} // namespace
} // namespace tavlo
