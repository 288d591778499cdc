#include "DemoStore.h"
#include "core/ports/LoadProgress.h"
#include "core/session/DBHelper.h"
#include "core/session/LocalStoreModel.h"
#include "core/util/TavloLog.h"
#include "platform/audio/AudioServices.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "support/LocalStoreScope.h"
#include "support/LogLines.h"
#include "support/TempHome.h"
#include "sync/exchange/CommHelper.h"
#include "sync/storeload/OperationSynchStore.h"
#include "sync/storeload/StoreDataGenerator.h"
#include "sync/storeload/StoreLoadMenus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

namespace tavlo {
namespace {

using test::LocalStoreScope;
using test::readFixture;

constexpr const char* kStore = "STORE-1";

// The reply of a load's exchange, and what the load did.
struct LoadRun {
    std::unique_ptr<OperationSynchStore> operation;
    StoreDataRequest request;
    int saves = 0;
    int storeChanges = 0;
};

class StoreLoadTest : public ::testing::Test {
protected:
    LoadRun load(const std::string& reply, bool fullReload, const std::string& storeId = kStore,
                 const Error& exchangeError = {}) {
        view_.reset();
        LoadRun run;
        run.operation = std::make_unique<OperationSynchStore>("http://127.0.0.1:1/", storeId, "secret", fullReload,
                                                              std::nullopt, 20, false, DBHelper::sharedStore());
        run.operation->setDataSource([&](const StoreDataRequest& request, Error* error) {
            run.request = request;
            if (exchangeError.isSet()) Error::set(error, exchangeError);
            return reply;
        });
        ScopedObserver saves(ObjectContext::kDidSaveNotification, nullptr, [&](const Notification&) { ++run.saves; });
        ScopedObserver changes(OperationSynchStore::kStoreChangeNotification, nullptr,
                               [&](const Notification&) { ++run.storeChanges; });
        run.operation->start();
        return run;
    }

    // A context that sees what the loads saved (a new one after each load).
    ObjectContext& view() {
        if (!view_) view_ = std::make_unique<ObjectContext>(DBHelper::sharedStore());
        return *view_;
    }
    ManagedObjectPtr row(std::string_view entity, std::string_view idAttribute, const std::string& id) {
        return view().fetchFirst(entity, std::string(idAttribute) + " == %@", id);
    }
    std::optional<std::string> param(const std::string& name) { return DBHelper::getStoreValue(name, &view()); }
    size_t count(std::string_view entity) { return view().count(FetchRequest(std::string(entity))); }
    static std::set<std::string> ids(const std::vector<ManagedObjectPtr>& rows, std::string_view idAttribute) {
        std::set<std::string> out;
        for (const auto& r : rows) out.insert(r->text(idAttribute).value_or("(nil)"));
        return out;
    }

    // What the loaders report of a reply: links to rows it lacks, sections below themselves,
    // batches closed and parameters dropped.
    static std::vector<std::string> loadReports() {
        return test::loggedStartingWith({"Unable to find ", "Section ", "Closing orphan store batch ", "Deleting "});
    }

    ScopedFakeClock clock_{Date(1'700'050'000.25)};
    LocalStoreScope scope_;
    std::unique_ptr<ObjectContext> view_;
};

TEST_F(StoreLoadTest, FullReplyLoadsEveryElementKindWithOneSave) {
    scope_.addStoreParam("IPHONE_SEQUENCE_NUMBER_ORDER", "42");
    scope_.addStoreParam("OLD_SETTING", "x");
    scope_.save();

    LoadRun run = load(readFixture("storeload/store_full.xml"), true);
    ASSERT_TRUE(run.operation->succeeded()) << run.operation->error().value_or(Error()).localizedDescription();
    EXPECT_FALSE(run.operation->error());
    EXPECT_EQ(run.saves, 1);
    EXPECT_EQ(run.storeChanges, 1);
    EXPECT_EQ(run.request.storeUpdate, "0");
    EXPECT_EQ(run.request.menuUpdate, "0");

    const std::map<std::string, size_t> expected = {
        {"StoreParam", 15},
        {"OrderType", 3},
        {"PaymentType", 2},
        {"StoreBatch", 1},
        {"AreaShape", 2},
        {"AreaLocation", 5},
        {"Area", 2},
        {"Complimentary", 2},
        {"CashDrawer", 2},
        {"Terminal", 2},
        {"TerminalParam", 3},
        {"TerminalCashDrawer", 2},
        {"Printer", 2},
        {"Permission", 3},
        {"Role", 2},
        {"User", 4},
        {"Attendance", 2},
        {"Tax", 2},
        {"Rule", 2},
        {"RuleParam", 2},
        {"RecipeGroup", 2},
        {"Preparation", 4},
        {"TaxPreparation", 1},
        {"PreparationGroup", 2},
        {"PreparationGroupPreparation", 4},
        {"Recipe", 3},
        {"RecipePreparationGroup", 4},
        {"Item", 9},
        {"TaxItem", 4},
        {"ItemPreparation", 1},
        {"TaxItemPreparation", 1},
        {"Side", 3},
        {"TaxSide", 2},
        {"ComboGroup", 2},
        {"ComboGroupItem", 3},
        {"TaxComboGroupItem", 3},
        {"ItemComboGroup", 2},
        {"Section", 9},
        {"SectionPreparation", 2},
        {"TaxSectionPreparation", 1},
        {"Schedule", 2},
        {"Menu", 3},
        {"MenuPreparation", 1},
        {"TaxMenuPreparation", 1},
    };
    for (const auto& [entity, n] : expected) EXPECT_EQ(count(entity), n) << entity;

    // Bookkeeping rows survive the clean of a full reload; the server's own go.
    EXPECT_EQ(param("IPHONE_SEQUENCE_NUMBER_ORDER"), "42");
    EXPECT_EQ(param("OLD_SETTING"), std::nullopt);
    EXPECT_EQ(param("IPHONE_STORE_ID"), kStore);
    EXPECT_EQ(param("IPHONE_LAST_UPDATE_STORE"), "1700000100000");
    EXPECT_EQ(param("IPHONE_LAST_UPDATE_MENU"), "1700000200000");
    EXPECT_EQ(param("IPHONE_STORE_NAME"), "Harbour Grill");
    EXPECT_EQ(param("IPHONE_STORE_FAX"), std::nullopt);
    EXPECT_EQ(param("K_EMPTY"), "");

    // Users: names from the parts given, card data decoded up to its zero byte.
    const std::map<std::string, std::string> names = {
        {"U1", "Ada Quill"}, {"U2", "Okafor"}, {"U3", "_"}, {"U4", "Mina"}};
    for (const auto& [id, name] : names) EXPECT_EQ(row("User", "userId", id)->text("name"), name) << id;
    ManagedObjectPtr ada = row("User", "userId", "U1");
    EXPECT_EQ(ada->text("trackData"), ";6012345678=2512?");
    EXPECT_EQ(ids(ada->toMany("roles"), "roleId"), (std::set<std::string>{"R1", "R2"}));
    EXPECT_EQ(ids(row("Role", "roleId", "R2")->toMany("users"), "userId"), (std::set<std::string>{"U1", "U2", "U4"}));
    EXPECT_EQ(row("User", "userId", "U3")->text("number"), std::nullopt);

    // Short names: cut at 33 characters or more, whole at 32, a blank for none; combo names whole.
    EXPECT_EQ(row("Item", "itemId", "I2")->text("name"), "Triple Smoked Brisket Platter W");
    EXPECT_EQ(row("Preparation", "preparationId", "PR2")->text("name"), "Extra crispy onions on the side");
    EXPECT_EQ(row("Preparation", "preparationId", "PR3")->text("name"), "Double Cheese With Jalapeno Bits");
    EXPECT_EQ(row("Preparation", "preparationId", "PR4")->text("name"), " ");
    EXPECT_EQ(row("Item", "itemId", "CI1")->text("name"), "Burger Meal Deal With Fries And A Drink");

    // Area locations: sort fields from the name.
    struct Sort {
        const char* id;
        std::optional<std::string> type;
        std::optional<double> number;
    };
    for (const Sort& s : {Sort{"L1", "Table", 12}, Sort{"L2", "", 7}, Sort{"L3", "Bar", {}},
                          Sort{"L4", "Patio Corner Left", {}}, Sort{"L5", "Booth", 3}}) {
        ManagedObjectPtr location = row("AreaLocation", "areaLocationId", s.id);
        EXPECT_EQ(location->text("sortType"), s.type) << s.id;
        EXPECT_EQ(location->isNil("sortNumber") ? std::nullopt : std::optional<double>(location->real("sortNumber")),
                  s.number)
            << s.id;
    }
    EXPECT_EQ(row("AreaLocation", "areaLocationId", "L1")->text("areaShape.areaShapeId"), "S1");
    EXPECT_EQ(row("AreaLocation", "areaLocationId", "L3")->toOne("areaShape"), nullptr);
    EXPECT_EQ(ids(row("Area", "areaId", "A1")->toMany("areaLocations"), "areaLocationId"),
              (std::set<std::string>{"L1", "L2", "L5"}));
    EXPECT_EQ(row("Area", "areaId", "A2")->int32("fillColor"), -1);

    // Menus: sections in one running order per menu, sub-sections right after their parent.
    const std::map<std::string, int> sequences = {{"SA", 1}, {"SA1", 2}, {"SA2", 3}, {"SA3", 4}, {"SA4", 5},
                                                  {"SB", 6}, {"SB1", 7}, {"SB2", 8}, {"SC", 1}};
    for (const auto& [id, sequence] : sequences) {
        ManagedObjectPtr section = row("Section", "sectionId", id);
        EXPECT_EQ(section->int32("sequence"), sequence) << id;
        EXPECT_EQ(section->text("menu.menuId"), id == "SC" ? "M2" : "M1") << id;
    }
    const std::map<std::string, int> menuSequences = {{"M1", 1}, {"M2", 7}, {"M3", 2}};
    for (const auto& [id, sequence] : menuSequences) EXPECT_EQ(row("Menu", "menuId", id)->int32("sequence"), sequence);
    EXPECT_EQ(row("Menu", "menuId", "M3")->text("name"), "_");
    ManagedObjectPtr brisket = row("Item", "itemId", "I2");
    EXPECT_EQ(brisket->int32("sequence"), 2); // the second item found in its section
    EXPECT_EQ(brisket->text("menu.menuId"), "M1");
    EXPECT_EQ(row("Item", "itemId", "CI2")->text("menu.menuId"), "M2");
    ManagedObjectPtr bar = row("Menu", "menuId", "M2");
    EXPECT_EQ(ids(bar->toMany("schedules"), "scheduleId"), (std::set<std::string>{"SC2"}));
    EXPECT_EQ(ids(bar->toMany("areas"), "areaId"), (std::set<std::string>{"A2"}));
    EXPECT_EQ(row("Side", "sideId", "SD2")->int32("sequence"), 2); // third listed, after a missing side
    EXPECT_TRUE(bar->containsIn("sides", row("Side", "sideId", "SD3")));

    // A combo linked to a group that the reply defines after it: made by the second pass.
    ManagedObjectPtr deal = row("Item", "itemId", "CI1");
    EXPECT_TRUE(deal->boolean("isCombo"));
    EXPECT_EQ(ids(deal->toMany("items"), "itemId"), (std::set<std::string>{"I1", "I3"}));
    std::map<std::string, std::pair<int, int>> groups;
    for (const auto& link : deal->toMany("itemComboGroups"))
        groups[*link->text("comboGroup.comboGroupId")] = {link->int32("sequence"), link->int32("count")};
    EXPECT_EQ(groups, (std::map<std::string, std::pair<int, int>>{{"CG1", {0, 1}}, {"CG2", {1, 2}}}));

    // Terminals, business day, attendance, schedules, recipes.
    ManagedObjectPtr till = row("Terminal", "terminalId", "T1");
    EXPECT_EQ(till->text("area.areaId"), "A1");
    EXPECT_EQ(till->text("areaDisplayed.areaId"), "A2");
    EXPECT_EQ(ids(till->toMany("cashDrawers"), "url"), (std::set<std::string>{"10.0.0.5:9100", "10.0.0.6:9100"}));
    EXPECT_EQ(row("Terminal", "terminalId", "T2")->toOne("area"), nullptr);
    ManagedObjectPtr day = row("StoreBatch", "remoteId", "B-100");
    EXPECT_EQ(day->date("openedOn"), Date(1'700'000'000));
    EXPECT_EQ(day->text("openedBy.userId"), "U1");
    EXPECT_EQ(day->text("openedFrom.terminalId"), "T1");
    EXPECT_EQ(day->date("synchedOn"), Date::now());
    EXPECT_TRUE(day->isNil("closedOn"));
    ManagedObjectPtr shift = row("Attendance", "attendanceId", "AT1");
    EXPECT_EQ(shift->date("start"), Date(1'700'000'000));
    EXPECT_EQ(shift->text("user.userId"), "U1");
    EXPECT_EQ(shift->text("startForcedBy.userId"), "U2");
    EXPECT_EQ(shift->int32("tipsNonCash"), 1200);
    EXPECT_EQ(row("Attendance", "attendanceId", "AT2")->int32("grossSales"), 0);
    ManagedObjectPtr lunchHours = row("Schedule", "scheduleId", "SC1");
    EXPECT_EQ(lunchHours->date("endDate"), Date(1'800'000'000));
    EXPECT_EQ(DateFormatter("HH:mm:ss").stringFromDate(*lunchHours->date("startDailyTime")), "11:00:00");
    EXPECT_TRUE(row("Schedule", "scheduleId", "SC2")->isNil("startDailyTime"));
    EXPECT_EQ(row("Recipe", "recipeId", "RC1")->int32("available"), 12);
    EXPECT_TRUE(row("Recipe", "recipeId", "RC2")->isNil("available"));
    ManagedObjectPtr burgerRecipe = row("Recipe", "recipeId", "RC1");
    EXPECT_EQ(burgerRecipe->text("name"), "Burger");
    EXPECT_EQ(burgerRecipe->text("announce"), "burger");
    EXPECT_EQ(burgerRecipe->text("recipeGroup.recipeGroupId"), "RG1");
    EXPECT_EQ(row("Recipe", "recipeId", "RC3")->toOne("recipeGroup"), nullptr); // "-1": none
    std::map<std::string, int> groupOrder;
    for (const auto& link : burgerRecipe->toMany("recipePreparationGroups"))
        groupOrder[*link->text("preparationGroup.preparationGroupId")] = link->int32("sequence");
    EXPECT_EQ(groupOrder, (std::map<std::string, int>{{"PG1", 0}, {"PG2", 1}}));

    // Items: their values, lists, charges and tax amounts, both ends of each list alike; a link to
    // a row the reply lacks is reported and left out.
    ManagedObjectPtr burger = row("Item", "itemId", "I1");
    EXPECT_EQ(burger->int32("price"), 1095);
    EXPECT_EQ(burger->int32("sideCount"), 2);
    EXPECT_FALSE(burger->boolean("isCombo"));
    EXPECT_EQ(burger->text("recipe.recipeId"), "RC1");
    EXPECT_EQ(ids(burger->toMany("defaultSides"), "sideId"), (std::set<std::string>{"SD1", "SD2"}));
    EXPECT_EQ(ids(burger->toMany("taxExemptions"), "taxId"), (std::set<std::string>{"TX2"}));
    EXPECT_EQ(ids(row("Side", "sideId", "SD2")->toMany("defaultOfItems"), "itemId"), (std::set<std::string>{"I1"}));
    EXPECT_EQ(ids(row("Tax", "taxId", "TX2")->toMany("exemptItems"), "itemId"), (std::set<std::string>{"I1", "CI1"}));
    ASSERT_EQ(burger->toMany("itemPreparations").size(), 1u);
    ManagedObjectPtr charge = burger->toMany("itemPreparations")[0];
    EXPECT_EQ(charge->text("preparation.preparationId"), "PR2");
    EXPECT_EQ(charge->int32("charge"), 75);
    ASSERT_EQ(charge->toMany("taxes").size(), 1u);
    EXPECT_EQ(charge->toMany("taxes")[0]->int32("amount"), 5);
    std::map<std::string, int> amounts;
    for (const auto& tax : burger->toMany("taxes")) amounts[*tax->text("tax.taxId")] = tax->int32("amount");
    EXPECT_EQ(amounts, (std::map<std::string, int>{{"TX1", 79}, {"TX2", 16}}));
    ManagedObjectPtr fish = row("Item", "itemId", "I6");
    EXPECT_TRUE(fish->boolean("promptForPrice") && fish->boolean("timeBased"));
    EXPECT_FALSE(fish->boolean("promptForQuantity"));
    EXPECT_EQ(row("Item", "itemId", "I5")->toOne("recipe"), nullptr);
    EXPECT_EQ(row("Item", "itemId", "I7")->text("name"), " ");
    const std::vector<std::string> reports = loadReports();
    for (const char* report : {"Unable to find recipe RC7 for item I5", "Unable to find preparation PR9 for item I1",
                               "Unable to find preparationGroup PG7 which is part of recipe RC3"})
        EXPECT_NE(std::find(reports.begin(), reports.end(), report), reports.end()) << report;
}

TEST_F(StoreLoadTest, PartialReplyUpdatesAndDeletesWhatTheServerNoLongerLists) {
    ASSERT_TRUE(load(readFixture("storeload/store_full.xml"), true).operation->succeeded());
    LoadRun run = load(readFixture("storeload/store_partial.xml"), false);
    ASSERT_TRUE(run.operation->succeeded());
    EXPECT_EQ(run.saves, 1);
    EXPECT_EQ(run.request.storeUpdate, "1700000100000");
    EXPECT_EQ(run.request.menuUpdate, "1700000200000");
    EXPECT_EQ(run.request.terminalId, "T1");

    // Server parameters are replaced as a whole; the terminal's own stay.
    EXPECT_EQ(param("K1"), "uno");
    EXPECT_EQ(param("K2"), "two");
    for (const char* gone : {"K3", "K_EMPTY", "HH_LOG_XML"}) EXPECT_EQ(param(gone), std::nullopt) << gone;
    EXPECT_EQ(param("IPHONE_LAST_UPDATE_STORE"), "1700090000000");
    EXPECT_EQ(param("IPHONE_LAST_UPDATE_MENU"), "1700000200000");
    EXPECT_EQ(param("IPHONE_STORE_NAME"), "Harbour Grill and Bar");
    EXPECT_EQ(param("IPHONE_STORE_ADDRESS"), "1 Quay Street"); // an empty child changes nothing

    // Rows the store element no longer lists.
    struct Listed {
        const char* entity;
        const char* id;
        std::set<std::string> left;
    };
    for (const Listed& l : {Listed{"Menu", "menuId", {"M1", "M2", "M4"}}, Listed{"Tax", "taxId", {"TX1"}},
                            Listed{"Terminal", "terminalId", {"T1"}}, Listed{"User", "userId", {"U1", "U2"}},
                            Listed{"Printer", "printerId", {"P1"}}, Listed{"Area", "areaId", {"A1"}},
                            Listed{"Role", "roleId", {"R1", "R2", "R7"}}})
        EXPECT_EQ(ids(view().fetchAll(l.entity), l.id), l.left) << l.entity;
    EXPECT_EQ(count("OrderType"), 1u);
    EXPECT_EQ(count("PaymentType"), 2u);

    // An area's dropped location goes; a terminal's dropped parameter and drawer link go.
    EXPECT_EQ(row("AreaLocation", "areaLocationId", "L5"), nullptr);
    EXPECT_EQ(count("AreaLocation"), 4u);
    ManagedObjectPtr till = row("Terminal", "terminalId", "T1");
    EXPECT_EQ(ids(till->toMany("terminalParams"), "name"), (std::set<std::string>{"TS_UID", "TS_PRINTER_URL"}));
    EXPECT_EQ(ids(till->toMany("cashDrawers"), "url"), (std::set<std::string>{"10.0.0.15:9100"}));
    EXPECT_EQ(till->toOne("area"), nullptr);
    EXPECT_EQ(till->text("areaDisplayed.areaId"), "A1");
    EXPECT_EQ(ids(row("Rule", "ruleId", "RU1")->toMany("ruleParams"), "value"), (std::set<std::string>{"15:00"}));

    // A role the user listed before it existed is linked now; the dropped one is not.
    ManagedObjectPtr okafor = row("User", "userId", "U2");
    EXPECT_EQ(okafor->text("name"), "Ngozi Okafor");
    EXPECT_EQ(ids(okafor->toMany("roles"), "roleId"), (std::set<std::string>{"R7"}));

    // A section's dropped item and sub-section leave the store.
    EXPECT_EQ(row("Item", "itemId", "I2"), nullptr);
    EXPECT_EQ(count("Item"), 8u);
    EXPECT_EQ(row("Section", "sectionId", "SA4"), nullptr);
    ManagedObjectPtr lunch = row("Menu", "menuId", "M1");
    EXPECT_EQ(ids(lunch->toMany("sections"), "sectionId"),
              (std::set<std::string>{"SA", "SA1", "SA2", "SA3", "SB", "SB1", "SB2"}));
    // The menu without schedule ids loses its schedules; without side ids it keeps its sides.
    EXPECT_TRUE(lunch->toMany("schedules").empty());
    EXPECT_TRUE(lunch->containsIn("sides", row("Side", "sideId", "SD1")));
    EXPECT_EQ(lunch->int32("sequence"), 0); // first of the store's list, no seq of its own

    // A new menu without seq follows the highest stored sequence.
    EXPECT_EQ(row("Menu", "menuId", "M4")->int32("sequence"), 8);
    EXPECT_EQ(row("Section", "sectionId", "SC")->text("menu.menuId"), "M4");

    ManagedObjectPtr day = row("StoreBatch", "remoteId", "B-100");
    EXPECT_EQ(day->date("closedOn"), Date(1'700'080'000));
    EXPECT_EQ(day->text("closedBy.userId"), "U2");
    EXPECT_EQ(count("StoreBatch"), 1u);
}

TEST_F(StoreLoadTest, RepliesThatCarryNothingToReadSaveNothing) {
    ASSERT_TRUE(load(readFixture("storeload/store_full.xml"), true).operation->succeeded());
    const std::string full = readFixture("storeload/store_full.xml");
    struct Case {
        const char* name;
        std::string reply;
        std::string storeId;
        std::optional<int> errorCode;
        std::optional<std::string> errorText;
    };
    const Case cases[] = {
        {"refusal of another store", "<tavloReply><error>Store is closed</error></tavloReply>", "STORE-2", -1,
         "Store is closed"},
        {"success alone", "<tavloReply><success>true</success></tavloReply>", "STORE-2", {}, {}},
        {"cut short", full.substr(0, full.size() / 2), kStore, -1, "Unable to read the store data received"},
        {"cut short, another store", full.substr(0, full.size() / 3), "STORE-2", -1,
         "Unable to read the store data received"},
        {"empty", "", kStore, -1, "No data received to synch store with"},
    };
    for (const Case& c : cases) {
        LoadRun run = load(c.reply, false, c.storeId);
        EXPECT_FALSE(run.operation->succeeded()) << c.name;
        EXPECT_EQ(run.saves, 0) << c.name;
        EXPECT_EQ(run.storeChanges, 0) << c.name;
        std::optional<Error> error = run.operation->error();
        EXPECT_EQ(error ? std::optional<int>(error->code()) : std::nullopt, c.errorCode) << c.name;
        EXPECT_EQ(error ? std::optional<std::string>(error->localizedDescription()) : std::nullopt, c.errorText)
            << c.name;
        EXPECT_EQ(param("IPHONE_STORE_ID"), kStore) << c.name;
        EXPECT_EQ(count("Item"), 9u) << c.name;
    }

    LoadRun failed = load(full, true, kStore, Error(CommHelper::kStoreServerErrorDomain, 1, "HTTP status code:503"));
    EXPECT_FALSE(failed.operation->succeeded());
    EXPECT_EQ(failed.operation->error(), Error(CommHelper::kStoreServerErrorDomain, 1, "HTTP status code:503"));
    EXPECT_EQ(failed.saves, 0);
}

TEST_F(StoreLoadTest, DatesAloneAreEnoughToSucceed) {
    LoadRun run = load("<tavloReply><success/><storeDateUpdated>1700000300000</storeDateUpdated>"
                       "<menuDateUpdated></menuDateUpdated></tavloReply>",
                       false);
    EXPECT_TRUE(run.operation->succeeded());
    EXPECT_EQ(param("IPHONE_LAST_UPDATE_STORE"), "1700000300000");
    EXPECT_EQ(param("IPHONE_LAST_UPDATE_MENU"), std::nullopt);
}

TEST_F(StoreLoadTest, AReplyOfAnotherStoreCleansTheStoreFirst) {
    ASSERT_TRUE(load(readFixture("storeload/store_full.xml"), true).operation->succeeded());
    {
        ObjectContext& c = view();
        ManagedObjectPtr order = c.insert("Order");
        order->addTo("selections", c.insert("Selection"));
        c.insert("CashInOut");
        ASSERT_TRUE(c.save());
    }
    LoadRun run = load("<tavloReply><store><storeName>Other</storeName><taxId>TX1</taxId></store>"
                       "<tax id=\"TX1\"><taxName>Other tax</taxName></tax></tavloReply>",
                       false, "STORE-2");
    ASSERT_TRUE(run.operation->succeeded());
    EXPECT_EQ(param("IPHONE_STORE_ID"), "STORE-2");
    EXPECT_EQ(param("IPHONE_LAST_UPDATE_MENU"), "1700000200000"); // bookkeeping stays
    for (const char* entity : {"Order", "Selection", "CashInOut", "Item", "TaxItem", "Menu", "User", "Section",
                               "TerminalParam", "TerminalCashDrawer", "TaxSide", "AreaShape", "Permission"})
        EXPECT_EQ(count(entity), 0u) << entity;
    EXPECT_EQ(row("Tax", "taxId", "TX1")->text("name"), "Other tax");
    EXPECT_EQ(count("Tax"), 1u);
    EXPECT_EQ(param("K1"), std::nullopt);
}

// What is read from the reply's stream and what is read again from kept copies after it (the
// store element, the combo runs and groups) reads the same, entities included; two runs of combo
// items stay two runs.
TEST_F(StoreLoadTest, KeptElementsReadAgainAsTheReplyGaveThem) {
    LoadRun run = load("<!DOCTYPE tavloReply [<!ENTITY house \"Harbour &amp; Co\">]><tavloReply>"
                       "<store><storeName>&house;</storeName><batchId>&house; day</batchId></store>"
                       "<item id=\"I1\"><itemName>&house; fish</itemName></item>"
                       "<comboItem id=\"&house;\"><comboItemName>&house; deal</comboItemName><itemId>I1</itemId>"
                       "<comboItemComboGroup><comboGroupId>CG1</comboGroupId><itemCount>1</itemCount>"
                       "</comboItemComboGroup></comboItem>"
                       "<success>true</success>"
                       "<comboItem id=\"CI2\"><comboItemName>Second</comboItemName><comboItemComboGroup>"
                       "<comboGroupId>CG1</comboGroupId><itemCount>2</itemCount></comboItemComboGroup></comboItem>"
                       "<comboGroup id=\"CG1\"><comboGroupName>&house; choice</comboGroupName><comboGroupItem>"
                       "<itemId>&house;</itemId><additionPrice>5</additionPrice></comboGroupItem></comboGroup>"
                       "</tavloReply>",
                       true);
    ASSERT_TRUE(run.operation->succeeded());
    EXPECT_EQ(param("IPHONE_STORE_NAME"), "Harbour & Co");
    EXPECT_EQ(param("IPHONE_CURRENT_BATCH_ID"), "Harbour & Co day");
    EXPECT_EQ(row("Item", "itemId", "I1")->text("name"), "Harbour & Co fish");
    ManagedObjectPtr deal = row("Item", "itemId", "Harbour & Co");
    ASSERT_NE(deal, nullptr);
    EXPECT_EQ(deal->text("name"), "Harbour & Co deal");
    EXPECT_EQ(ids(deal->toMany("items"), "itemId"), (std::set<std::string>{"I1"}));
    for (const char* combo : {"Harbour & Co", "CI2"}) {
        ManagedObjectPtr item = row("Item", "itemId", combo);
        EXPECT_EQ(item->int32("sequence"), 0) << combo; // first of its own run
        std::vector<ManagedObjectPtr> links = item->toMany("itemComboGroups");
        ASSERT_EQ(links.size(), 1u) << combo; // made by the second pass
        EXPECT_EQ(links[0]->text("comboGroup.comboGroupId"), "CG1") << combo;
    }
    ManagedObjectPtr choice = row("ComboGroup", "comboGroupId", "CG1");
    EXPECT_EQ(choice->text("name"), "Harbour & Co choice");
    std::vector<ManagedObjectPtr> members = choice->toMany("comboGroupItems");
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0]->text("item.itemId"), "Harbour & Co"); // the combo, read before the group
}

// The business day the server names when this terminal knows it by another id.
TEST_F(StoreLoadTest, ServerDayMatchesALocalDayByItsOpeningSecondAndClosesOnlyTheOthers) {
    {
        ObjectContext& c = view();
        for (auto [id, opened] : {std::pair{"LOCAL-7", 1'699'990'000.0}, {"LOCAL-8", 1'700'000'000.4}}) {
            ManagedObjectPtr day = c.insert("StoreBatch");
            day->setValue("remoteId", id);
            day->setValue("openedOn", Date(opened));
        }
        ASSERT_TRUE(c.save());
    }
    const std::string reply = "<tavloReply><store><batchId>B-9</batchId><openedBy>U1</openedBy>"
                              "<openedOn>1700000000000</openedOn></store></tavloReply>";
    ASSERT_TRUE(load(reply, false).operation->succeeded());

    ManagedObjectPtr matched = row("StoreBatch", "remoteId", "LOCAL-8");
    EXPECT_TRUE(matched->isNil("closedOn")); // the server says this day is open
    EXPECT_EQ(matched->date("openedOn"), Date(1'700'000'000));
    EXPECT_EQ(row("StoreBatch", "remoteId", "LOCAL-7")->date("closedOn"), Date(1'699'999'999));
    EXPECT_EQ(row("StoreBatch", "remoteId", "B-9"), nullptr);

    // A day that matches none: every open day closes and the server's day is opened here.
    ASSERT_TRUE(load("<tavloReply><store><batchId>B-10</batchId><openedBy>U1</openedBy>"
                     "<openedOn>1700086400000</openedOn></store></tavloReply>",
                     false)
                    .operation->succeeded());
    EXPECT_EQ(row("StoreBatch", "remoteId", "LOCAL-8")->date("closedOn"), Date(1'700'086'399));
    ManagedObjectPtr opened = row("StoreBatch", "remoteId", "B-10");
    ASSERT_TRUE(opened);
    EXPECT_TRUE(opened->isNil("closedOn"));
    EXPECT_EQ(opened->date("synchedOn"), Date::now());

    // Without an opener only the current day id is noted, once.
    ASSERT_TRUE(load("<tavloReply><store><batchId>B-11</batchId></store></tavloReply>", false).operation->succeeded());
    ASSERT_TRUE(load("<tavloReply><store><batchId>B-12</batchId></store></tavloReply>", false).operation->succeeded());
    EXPECT_EQ(param("IPHONE_CURRENT_BATCH_ID"), "B-11");
    EXPECT_EQ(count("StoreBatch"), 3u);
}

TEST_F(StoreLoadTest, SectionsListingEachOtherInARingArePlacedOnce) {
    const std::string reply = "<tavloReply><section id=\"A\"><sectionName>A</sectionName></section>"
                              "<section id=\"B\"><sectionId>A</sectionId></section>"
                              "<section id=\"A\"><sectionId>B</sectionId></section>"
                              "<section id=\"C\"><sectionId>C</sectionId></section>"
                              "<menu id=\"M\"><sectionId>A</sectionId><sectionId>C</sectionId></menu></tavloReply>";
    ASSERT_TRUE(load(reply, false).operation->succeeded());
    EXPECT_EQ(row("Section", "sectionId", "A")->int32("sequence"), 1);
    EXPECT_EQ(row("Section", "sectionId", "B")->int32("sequence"), 3);
    EXPECT_EQ(row("Section", "sectionId", "C")->int32("sequence"), 4);
    EXPECT_TRUE(row("Section", "sectionId", "C")->toMany("sections").empty());
}

TEST_F(StoreLoadTest, SubSectionIdsAndRemovingTheSectionsNoLongerListed) {
    const std::string reply =
        "<tavloReply><section id=\"T1\"/><section id=\"T2\"/><section id=\"S1\"/>"
        "<section id=\"S2\"><sectionId>T1</sectionId><sectionId>T2</sectionId></section>"
        "<section id=\"S\"><sectionId>S1</sectionId><sectionId>S2</sectionId></section>"
        "<section id=\"R\"/><section id=\"B\"/><section id=\"A\"><sectionId>B</sectionId></section>"
        "<section id=\"B\"><sectionId>A</sectionId></section>"
        "<menu id=\"M\"><sectionId>S</sectionId><sectionId>R</sectionId></menu></tavloReply>";
    ASSERT_TRUE(load(reply, false).operation->succeeded());
    ObjectContext context(DBHelper::sharedStore());
    StoreLoadReader reader(nullptr, context);
    StoreLoadCatalogue catalogue(reader);
    StoreLoadMenus menus(reader, catalogue);
    auto section = [&](const char* id) { return context.fetchFirst("Section", "sectionId == %@", std::string(id)); };
    using Ids = std::vector<std::string>;
    EXPECT_EQ(menus.subSectionIds(section("S")), (Ids{"S1", "S2", "T1", "T2"}));
    EXPECT_EQ(menus.subSectionIds(section("S2")), (Ids{"T1", "T2"}));
    EXPECT_EQ(menus.subSectionIds(section("R")), Ids());
    EXPECT_EQ(menus.subSectionIds(section("A")), Ids{"B"}) << "a ring is followed once";

    // The menu holds its sections and all below them; what it lists now is S and its tree.
    ManagedObjectPtr menu = context.fetchFirst("Menu", "menuId == %@", std::string("M"));
    Ids latest = menus.subSectionIds(section("S"));
    latest.push_back("S");
    menus.removeOldSections(menu, latest);
    menus.removeOldSections(section("S2"), {"T2"});
    ASSERT_TRUE(context.save());
    EXPECT_EQ(ids(view().fetchAll("Section"), "sectionId"), (std::set<std::string>{"S", "S1", "S2", "T2", "A", "B"}));
    EXPECT_EQ(ids(row("Menu", "menuId", "M")->toMany("sections"), "sectionId"),
              (std::set<std::string>{"S", "S1", "S2", "T2"}));
    EXPECT_EQ(ids(row("Section", "sectionId", "S2")->toMany("sections"), "sectionId"), (std::set<std::string>{"T2"}));
}

TEST_F(StoreLoadTest, AnItemListedByTwoSectionsFollowsTheLaterOneIntoItsMenu) {
    const std::string reply = "<tavloReply><item id=\"I1\"><itemName>Soup</itemName></item>"
                              "<section id=\"S1\"><itemId>I1</itemId></section>"
                              "<section id=\"S2\"><itemId>I1</itemId></section>"
                              "<menu id=\"MA\"><sectionId>S2</sectionId></menu>"
                              "<menu id=\"MB\"><sectionId>S1</sectionId></menu></tavloReply>";
    ASSERT_TRUE(load(reply, false).operation->succeeded());
    ManagedObjectPtr soup = row("Item", "itemId", "I1");
    EXPECT_EQ(soup->text("section.sectionId"), "S2");
    EXPECT_EQ(soup->text("menu.menuId"), "MA");
}

TEST_F(StoreLoadTest, ComboLinksToLaterElementsAreMadeAndOnlyTheMissingOnesLogged) {
    const std::string reply =
        "<tavloReply><comboItem id=\"CI1\"><comboItemName>Meal</comboItemName>"
        "<itemId>I1</itemId><itemId>CI2</itemId><itemId>I9</itemId>"
        "<comboItemComboGroup><comboGroupId>CG1</comboGroupId><itemCount>1</itemCount></comboItemComboGroup>"
        "<comboItemComboGroup><comboGroupId>CG9</comboGroupId><itemCount>1</itemCount></comboItemComboGroup></comboItem>"
        "<comboItem id=\"CI2\"><comboItemName>Box</comboItemName></comboItem>"
        "<item id=\"I1\"><itemName>Fries</itemName></item>"
        "<comboGroup id=\"CG1\"><comboGroupName>Drinks</comboGroupName>"
        "<comboGroupItem><itemId>I1</itemId></comboGroupItem></comboGroup></tavloReply>";
    ASSERT_TRUE(load(reply, true).operation->succeeded());
    ManagedObjectPtr meal = row("Item", "itemId", "CI1");
    EXPECT_EQ(ids(meal->toMany("items"), "itemId"), (std::set<std::string>{"I1", "CI2"}));
    ASSERT_EQ(meal->toMany("itemComboGroups").size(), 1u);
    EXPECT_EQ(meal->toMany("itemComboGroups")[0]->text("comboGroup.comboGroupId"), "CG1");
    EXPECT_EQ(loadReports(),
              (std::vector<std::string>{"Unable to find item I9 which is part of combo item Meal",
                                        "Unable to find combo group CG9 which is part of combo item Meal"}));
}

TEST_F(StoreLoadTest, ACombosItemsThatComeLaterTakeTheirPlacesOnceRead) {
    // The group lists an item that comes later between two that came before: read again after
    // the walk, it takes the second place; the combo item that found everything keeps its links.
    const std::string reply =
        "<tavloReply><item id=\"I1\"><itemName>Tea</itemName></item><item id=\"I3\"><itemName>Soda</itemName></item>"
        "<comboGroup id=\"CG1\"><comboGroupName>Drinks</comboGroupName>"
        "<comboGroupItem><itemId>I1</itemId></comboGroupItem><comboGroupItem><itemId>I2</itemId></comboGroupItem>"
        "<comboGroupItem><itemId>I3</itemId></comboGroupItem></comboGroup>"
        "<comboItem id=\"CI1\"><comboItemName>Meal</comboItemName><itemId>I1</itemId>"
        "<comboItemComboGroup><comboGroupId>CG1</comboGroupId><itemCount>1</itemCount></comboItemComboGroup>"
        "</comboItem><item id=\"I2\"><itemName>Juice</itemName></item></tavloReply>";
    ASSERT_TRUE(load(reply, true).operation->succeeded());
    std::map<int64_t, std::string> places;
    for (const ManagedObjectPtr& link : row("ComboGroup", "comboGroupId", "CG1")->toMany("comboGroupItems"))
        places[link->int64("sequence")] = link->text("item.itemId").value_or("");
    EXPECT_EQ(places, (std::map<int64_t, std::string>{{0, "I1"}, {1, "I2"}, {2, "I3"}}));
    ManagedObjectPtr meal = row("Item", "itemId", "CI1");
    EXPECT_EQ(ids(meal->toMany("items"), "itemId"), (std::set<std::string>{"I1"}));
    EXPECT_EQ(meal->toMany("itemComboGroups").size(), 1u);
    EXPECT_TRUE(loadReports().empty());
}

TEST_F(StoreLoadTest, ACombosSequenceIsItsPlaceAmongTheCombosThoughASectionListsIt) {
    const std::string reply = "<tavloReply><item id=\"I1\"><itemName>Tea</itemName></item>"
                              "<comboItem id=\"CI1\"><comboItemName>Meal</comboItemName></comboItem>"
                              "<comboItem id=\"CI2\"><comboItemName>Box</comboItemName></comboItem>"
                              "<section id=\"S1\"><itemId>I1</itemId><itemId>CI2</itemId><itemId>CI1</itemId></section>"
                              "</tavloReply>";
    ASSERT_TRUE(load(reply, true).operation->succeeded());
    EXPECT_EQ(row("Item", "itemId", "CI1")->int32("sequence"), 0);
    EXPECT_EQ(row("Item", "itemId", "CI2")->int32("sequence"), 1);
    EXPECT_EQ(row("Item", "itemId", "I1")->int32("sequence"), 1);
    EXPECT_EQ(row("Item", "itemId", "CI1")->text("section.sectionId"), "S1");
}

TEST_F(StoreLoadTest, SuccessfulLoadAsksForTheVibrateAlertWhenTheUserWantsIt) {
    const std::string reply = "<tavloReply><storeDateUpdated>1</storeDateUpdated></tavloReply>";
    uint64_t before = AudioServices::alertSoundsRequested();
    ASSERT_TRUE(load(reply, false).operation->succeeded());
    EXPECT_EQ(AudioServices::alertSoundsRequested(), before);
    UserDefaults::standardUserDefaults().setBool(true, "synch_alert");
    ASSERT_TRUE(load(reply, false).operation->succeeded());
    EXPECT_EQ(AudioServices::alertSoundsRequested(), before + 1);
}

// The wait overlay's part: the texts a load shows.
class RecordingProgress : public LoadProgress {
public:
    void showProgress(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

TEST_F(StoreLoadTest, OnlyAFullReloadReportsItsProgress) {
    auto progress = std::make_shared<RecordingProgress>();
    LoadProgress::install(progress);
    ASSERT_TRUE(load(readFixture("storeload/store_partial.xml"), false).operation->succeeded());
    EXPECT_TRUE(progress->texts.empty());
    ASSERT_TRUE(load(readFixture("storeload/store_full.xml"), true).operation->succeeded());
    LoadProgress::install(nullptr);
    ASSERT_FALSE(progress->texts.empty());
    EXPECT_EQ(progress->texts.front(), "Synching Store");
    EXPECT_EQ(progress->texts.back(), "Saving Store");
    for (const char* text : {"Synching Menus", "Completing Store Synch"})
        EXPECT_NE(std::find(progress->texts.begin(), progress->texts.end(), text), progress->texts.end()) << text;
}

TEST_F(StoreLoadTest, TimeOutsOfZeroOrLessBecomeThirtySeconds) {
    for (auto [given, used] : {std::pair{0, 30}, {-5, 30}, {1, 1}, {45, 45}}) {
        OperationSynchStore operation("u", kStore, "p", false, std::nullopt, given, false, DBHelper::sharedStore());
        EXPECT_EQ(operation.timeout(), used) << given;
    }
}

TEST_F(StoreLoadTest, GeneratedReplyLoadsWithTheShapeItDescribes) {
    const size_t items = 300;
    LoadRun run = load(StoreDataGenerator::reply(items), true);
    ASSERT_TRUE(run.operation->succeeded());
    EXPECT_EQ(count("Item"), items + StoreDataGenerator::comboCount(items));
    EXPECT_EQ(count("TaxItem"), items + StoreDataGenerator::comboCount(items));
    EXPECT_EQ(count("TaxItemPreparation"), items);
    EXPECT_EQ(count("Recipe"), StoreDataGenerator::recipeCount(items));
    EXPECT_EQ(count("Side"), StoreDataGenerator::sideCount(items));
    EXPECT_EQ(count("ComboGroupItem"), 4 * StoreDataGenerator::comboGroupCount(items));
    EXPECT_EQ(count("ItemComboGroup"), StoreDataGenerator::comboCount(items));
    EXPECT_EQ(count("Section"), StoreDataGenerator::sectionCount(items));
    EXPECT_EQ(count("Menu"), StoreDataGenerator::kMenus);
    // Every item sits in a section of a menu.
    EXPECT_EQ(view().count("Item", "menu == nil AND isCombo == NO"), 0u);
    // Every link the reply names is made, so none is reported missing.
    EXPECT_EQ(loadReports(), std::vector<std::string>());
}

TEST_F(StoreLoadTest, GeneratedReplyCarriesTheStoreParametersItIsGiven) {
    LoadRun run = load(StoreDataGenerator::reply(20, {{"PAYMENT_CREDIT_HOST", "LARCH"},
                                                      {"HOST_LARCH_CAPTURE_URL", "http://127.0.0.1:9/capture"}}),
                       true);
    ASSERT_TRUE(run.operation->succeeded());
    EXPECT_EQ(param("PAYMENT_CREDIT_HOST"), "LARCH");
    EXPECT_EQ(param("HOST_LARCH_CAPTURE_URL"), "http://127.0.0.1:9/capture");
    EXPECT_EQ(param("HH_PARAM_3"), "3"); // beside the generated ones
}

TEST_F(StoreLoadTest, AFullReloadOfTheSameReplyStoresTheSameRowsUnderTheSameKeys) {
    const std::string reply = StoreDataGenerator::reply(300);
    ASSERT_TRUE(load(reply, true).operation->succeeded());
    auto keysOf = [&](const char* entity) {
        std::set<int64_t> keys;
        for (const auto& o : view().fetchAll(entity)) keys.insert(o->objectID().primaryKey());
        return keys;
    };
    const char* entities[] = {"Item", "TaxItem", "ItemPreparation", "Recipe", "Side", "Section", "Menu", "User"};
    std::map<std::string, std::set<int64_t>> before;
    for (const char* entity : entities) before[entity] = keysOf(entity);
    // A context that read the rows before and merges the reload's save, as the main one does.
    ObjectContext reader(DBHelper::sharedStore());
    ManagedObjectPtr item = reader.fetchFirst("Item", "itemId == %@", "I7");
    ASSERT_TRUE(item);
    ScopedObserver merge(ObjectContext::kDidSaveNotification, nullptr,
                         [&](const Notification& n) { reader.mergeChanges(n); });

    LoadRun again = load(reply, true);
    ASSERT_TRUE(again.operation->succeeded());
    EXPECT_EQ(again.saves, 1);
    for (const char* entity : entities) EXPECT_EQ(keysOf(entity), before[entity]) << entity;
    EXPECT_EQ(view().count("Item", "menu == nil AND isCombo == NO"), 0u);
    EXPECT_EQ(row("Item", "itemId", "I7")->text("recipe.recipeId"), "RC3");
    EXPECT_TRUE(item->isDeleted());
    ManagedObjectPtr fresh = reader.fetchFirst("Item", "itemId == %@", "I7");
    ASSERT_TRUE(fresh);
    EXPECT_NE(fresh, item);
    EXPECT_EQ(fresh->toMany("taxes").size(), 1u);
}

// Every row of a store as text, entity by entity in key order: its columns, its to-ones' keys and
// the keys its tables of pairs list. Two stores that read the same hold the same rows, values and
// links under the same keys. Store parameters are listed by their text alone: a clean deletes them
// one by one, and the load's rows take new keys.
std::string contentsOf(const std::shared_ptr<ObjectStore>& store) {
    ObjectContext c(store);
    std::string out;
    for (const auto& e : store->model().entities()) {
        std::vector<ManagedObjectPtr> rows = c.fetchAll(e->name());
        std::sort(rows.begin(), rows.end(),
                  [](const auto& a, const auto& b) { return a->objectID().primaryKey() < b->objectID().primaryKey(); });
        const bool byText = e->name() == "StoreParam";
        std::vector<std::string> lines;
        for (const ManagedObjectPtr& row : rows) {
            std::string line = e->name() + " " + (byText ? "" : std::to_string(row->objectID().primaryKey()));
            for (const auto& a : e->attributes()) line += " " + row->value(a.name).description();
            for (const auto& r : e->relationships()) {
                if (!r.toMany) {
                    line += " " + std::to_string(row->toOneID(r.name).primaryKey());
                } else if (!r.storedByInverse) {
                    std::set<int64_t> members;
                    for (const auto& m : row->toMany(r.name)) members.insert(m->objectID().primaryKey());
                    for (int64_t m : members) line += " " + r.name + ":" + std::to_string(m);
                }
            }
            lines.push_back(std::move(line));
        }
        if (byText) std::sort(lines.begin(), lines.end());
        for (const std::string& line : lines) out += line + "\n";
    }
    return out;
}

// A reply too large for one piece is written as it is read, its rows let go once written: the
// store then holds exactly what a load kept whole until one save makes of the same reply.
TEST_F(StoreLoadTest, ALargeReplyWrittenAsItIsReadStoresWhatOneSaveOfItWould) {
    const std::string reply = StoreDataGenerator::reply(1500);
    {
        // Whole: read into a context of its own (no held write, so nothing flushed), saved once.
        OperationSynchStore whole("http://127.0.0.1:1/", kStore, "secret", true, std::nullopt, 20, false,
                                  DBHelper::sharedStore());
        ObjectContext context(DBHelper::sharedStore());
        context.setMergePolicy(ObjectContext::MergePolicy::Overwrite);
        ASSERT_TRUE(whole.synchStore(kStore, reply, context));
        EXPECT_GT(context.changedCount(), 8'000u); // a load written as read flushes it in several pieces
        ASSERT_TRUE(context.save());
    }
    const std::string saved = contentsOf(DBHelper::sharedStore());

    // Written as read, over it: the clean, then the rows in pieces, under the same keys.
    LoadRun run = load(reply, true);
    ASSERT_TRUE(run.operation->succeeded());
    EXPECT_EQ(run.saves, 1);
    EXPECT_EQ(run.storeChanges, 1);
    EXPECT_EQ(contentsOf(DBHelper::sharedStore()), saved);
    EXPECT_EQ(loadReports(), std::vector<std::string>());
}

// A load that fails after some of its rows were written (a reply cut short, a store that is full)
// leaves the store as the last load left it.
TEST_F(StoreLoadTest, ALoadThatFailsHalfwayLeavesThePreviousStoreAsItWas) {
    ASSERT_TRUE(load(StoreDataGenerator::reply(600), true).operation->succeeded());
    const std::string before = contentsOf(DBHelper::sharedStore());
    const std::string larger = StoreDataGenerator::reply(1500);

    LoadRun cut = load(larger.substr(0, larger.size() * 3 / 4), true);
    EXPECT_FALSE(cut.operation->succeeded());
    EXPECT_EQ(cut.operation->error(),
              Error(CommHelper::kStoreServerErrorDomain, -1, "Unable to read the store data received"));
    EXPECT_EQ(cut.saves, 0);
    EXPECT_EQ(cut.storeChanges, 0);
    EXPECT_EQ(contentsOf(DBHelper::sharedStore()), before);

    // A store that holds the first load but not the second.
    const std::filesystem::path file = scope_.home().path() / "limited.sqlite";
    auto open = [&](int64_t maxBytes) {
        ObjectStore::Options options;
        options.maxFileBytes = maxBytes;
        Error error;
        std::shared_ptr<ObjectStore> store = ObjectStore::open(LocalStoreModel::build(), file, &error, options);
        EXPECT_TRUE(store) << error.localizedDescription();
        return store;
    };
    auto loadInto = [&](const std::shared_ptr<ObjectStore>& store, const std::string& reply) {
        auto op = std::make_unique<OperationSynchStore>("http://127.0.0.1:1/", kStore, "secret", true, std::nullopt, 20,
                                                        false, store);
        op->setDataSource([&](const StoreDataRequest&, Error*) { return reply; });
        op->start();
        return op;
    };
    std::shared_ptr<ObjectStore> limited = open(3 * 1024 * 1024);
    ASSERT_TRUE(limited);
    ASSERT_TRUE(loadInto(limited, StoreDataGenerator::reply(600))->succeeded());
    const std::string limitedBefore = contentsOf(limited);
    std::unique_ptr<OperationSynchStore> full = loadInto(limited, StoreDataGenerator::reply(8000));
    EXPECT_FALSE(full->succeeded());
    ASSERT_TRUE(full->error());
    EXPECT_EQ(full->error()->code(), kStoreFull) << full->error()->localizedDescription();
    EXPECT_EQ(contentsOf(limited), limitedBefore);
    // The store takes the next load that fits.
    EXPECT_TRUE(loadInto(limited, StoreDataGenerator::reply(700))->succeeded());
}

// The demo restaurant of ./run loads whole: every link it names is made, and it holds what a
// person trying the terminal meets.
TEST_F(StoreLoadTest, TheDemoRestaurantLoadsAsARestaurant) {
    storesim::DemoStore demo;
    demo.printers = {{"grill", "127.0.0.1:9101"}, {"receipt", "127.0.0.1:9103"}};
    demo.params = {{"TAVLO_LITE", "YES"}};
    LoadRun run = load(demo.reply("device-7"), true);
    ASSERT_TRUE(run.operation->succeeded());
    EXPECT_EQ(loadReports(), std::vector<std::string>());

    auto names = [&](std::string_view entity, const std::string& predicate = "TRUEPREDICATE") {
        std::set<std::string> out;
        for (const auto& r : view().fetch(FetchRequest(std::string(entity), Predicate::format(predicate))))
            out.insert(r->text("name").value_or(""));
        return out;
    };
    EXPECT_EQ(names("Menu"), (std::set<std::string>{"Lunch", "Dinner", "Drinks"}));
    EXPECT_EQ(view().count("Item", "menu == nil AND isCombo == NO"), 0u);
    ManagedObjectPtr ribeye = row("Item", "itemId", "I-D-RIBEYE");
    ASSERT_TRUE(ribeye);
    EXPECT_EQ(ribeye->text("name"), "Ribeye steak");
    EXPECT_EQ(ribeye->int32("price"), 3200);
    EXPECT_EQ(ribeye->text("menu.name"), "Dinner");
    // Steak doneness must be chosen; a burger's side too (none is given by default), a steak
    // comes with fries that may be changed.
    ManagedObjectPtr doneness = view().fetchFirst("RecipePreparationGroup", "recipe.recipeId == %@", "RC-RIBEYE");
    ASSERT_TRUE(doneness);
    EXPECT_TRUE(doneness->boolean("required"));
    EXPECT_EQ(doneness->toOne("preparationGroup")->toMany("preparationGroupPreparations").size(), 5u);
    EXPECT_EQ(row("Item", "itemId", "I-L-BURGER")->int32("sideCount"), 1);
    EXPECT_TRUE(row("Item", "itemId", "I-L-BURGER")->toMany("defaultSides").empty());
    EXPECT_EQ(ribeye->toMany("defaultSides").size(), 1u);
    // Two combos of distinct items; food is free of the liquor tax, beer is not.
    EXPECT_EQ(names("Item", "isCombo == YES"), (std::set<std::string>{"Burger lunch deal", "Steak night"}));
    EXPECT_EQ(row("Item", "itemId", "CI-STEAK")->toMany("items")[0]->text("name"), "Sirloin steak");
    EXPECT_EQ(ribeye->toMany("taxExemptions").size(), 1u);
    EXPECT_TRUE(row("Item", "itemId", "I-LAGER")->toMany("taxExemptions").empty());
    EXPECT_EQ(row("Tax", "taxId", "TX-SALES")->int32("percentage"), 825);
    EXPECT_EQ(row("Complimentary", "complimentaryId", "C-STAFF")->int32("percentage"), 5000);
    EXPECT_EQ(row("Complimentary", "complimentaryId", "C-MANAGER")->int32("percentage"), 10000);
    // Two areas of tables; kitchen printers for the grill and the bar, the receipt printer at
    // the till, which is the asking device; a printer given no address has none.
    EXPECT_EQ(row("Area", "areaId", "A-DINING")->toMany("areaLocations").size(), 7u);
    EXPECT_EQ(row("Area", "areaId", "A-PATIO")->toMany("areaLocations").size(), 4u);
    EXPECT_EQ(row("Printer", "printerId", "P-GRILL")->text("url"), "127.0.0.1:9101");
    EXPECT_EQ(row("Printer", "printerId", "P-BAR")->text("url").value_or(""), "");
    EXPECT_EQ(row("Printer", "printerId", "P-BAR")->toMany("recipes").size(), 7u);
    ManagedObjectPtr till = view().fetchFirst("TerminalParam", "name == %@ AND value == %@", "TS_UID", "device-7");
    ASSERT_TRUE(till);
    EXPECT_EQ(till->text("terminal.name"), "Till 1");
    EXPECT_EQ(DBHelper::getTerminalValue("TS_PRINTER_URL", std::string("T1"), &view()), "127.0.0.1:9103");
    EXPECT_EQ(DBHelper::getTerminalValue("TS_PRINTER_TYPE", std::string("T1"), &view()), "escpos");
    EXPECT_EQ(row("TerminalCashDrawer", "url", "1")->text("cashDrawer.name"), "Front drawer");
    // The manager may do all the screens ask; the servers sell, split, discount and pay.
    std::set<std::string> manager, server;
    for (const auto& p : row("Role", "roleId", "R-MANAGER")->toMany("permissions")) manager.insert(*p->text("name"));
    for (const auto& p : row("Role", "roleId", "R-SERVER")->toMany("permissions")) server.insert(*p->text("name"));
    EXPECT_EQ(manager.size(), count("Permission"));
    for (const char* right : {"SPLIT", "ADD_DISCOUNT", "PAY_CREDIT", "QUICK_SALE", "RENAME_ORDER"})
        EXPECT_TRUE(server.contains(right)) << right;
    EXPECT_FALSE(server.contains("CLOSE_STORE"));
    // The close report prints every section; the extra parameters are there.
    EXPECT_EQ(param("REPORT_SUMMARY_ITEMS_SOLD_SECTION"), "YES");
    EXPECT_EQ(param("TAVLO_LITE"), "YES");
    // No day is open: the first manager to sign in opens it.
    EXPECT_EQ(count("StoreBatch"), 0u);
}

} // namespace
} // namespace tavlo
