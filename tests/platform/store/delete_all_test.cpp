#include "StoreTestModel.h"

#include "platform/foundation/NotificationCenter.h"

#include "platform/store/RowKeySet.h"

#include <algorithm>
#include <random>
#include <set>

namespace tavlo::test {
namespace {

// deleteAll deletes stored rows by key, without reading them into objects: these tests hold it to
// what deleteObject gives, in the context before the save, in the file after it, and in the
// did-save notification another context merges.
class DeleteAllTest : public StoreTest {
protected:
    // A batch with two orders (one with two selections and a memo), two terminals with params in
    // one area, a table in that area, a user with a role and a permission, two roles with memos.
    void SetUp() override {
        StoreTest::SetUp();
        auto c = newContext();
        auto batch = named(*c, "StoreBatch", "remoteId", "B");
        auto area = named(*c, "Area", "areaId", "A1");
        auto table = named(*c, "AreaLocation", "areaLocationId", "L1");
        table->setToOne("area", area);
        for (int i = 1; i <= 2; ++i) {
            auto order = named(*c, "Order", "remoteId", "O" + std::to_string(i));
            order->setToOne("storeBatch", batch);
            order->setValue("total", i * 10);
            auto terminal = named(*c, "Terminal", "terminalId", "T" + std::to_string(i));
            terminal->setToOne("area", area);
            auto param = named(*c, "TerminalParam", "name", "P" + std::to_string(i));
            param->setToOne("terminal", terminal);
        }
        auto first = c->fetchFirst("Order", "remoteId == %@", "O1");
        first->setToOne("areaLocation", table);
        first->setToOne("memo", named(*c, "Memo", "text", "order memo"));
        for (const char* name : {"S1", "S2"}) named(*c, "Selection", "name", name)->setToOne("order", first);
        auto user = named(*c, "User", "userId", "U1");
        for (const char* id : {"R1", "R2"}) {
            auto role = named(*c, "Role", "roleId", id);
            role->addTo("memos", named(*c, "Memo", "text", std::string(id) + " memo"));
        }
        user->addTo("roles", c->fetchFirst("Role", "roleId == %@", "R1"));
        user->addTo("permissions", named(*c, "Permission", "permissionId", "PM1"));
        Error error;
        ASSERT_TRUE(c->save(&error)) << error.localizedDescription();
    }

    static ManagedObjectPtr named(ObjectContext& c, const char* entity, const char* key, const std::string& value) {
        auto o = c.insert(entity);
        o->setValue(key, value);
        return o;
    }
    size_t stored(const char* entity) { return newContext()->count(FetchRequest(entity)); }
    std::vector<int64_t> keys(const char* entity) {
        std::vector<int64_t> out;
        for (const auto& o : newContext()->fetchAll(entity)) out.push_back(o->objectID().primaryKey());
        std::sort(out.begin(), out.end());
        return out;
    }
};

// What the did-save notifications of one context said.
struct SaveRecorder {
    explicit SaveRecorder(const ObjectContext& context)
        : observer(ObjectContext::kDidSaveNotification, nullptr, [this, &context](const Notification& n) {
              if (n.sender == &context) changes.push_back(std::any_cast<ObjectContextChanges>(n.object));
          }) {}
    static bool lists(const std::vector<ObjectID>& ids, const ObjectID& id) {
        return std::find(ids.begin(), ids.end(), id) != ids.end();
    }
    std::vector<ObjectContextChanges> changes;
    ScopedObserver observer;
};

TEST_F(DeleteAllTest, CascadesReachRowsThatWereNeverRead) {
    auto c = newContext();
    c->deleteAll("Order");
    // Seen before the save: the orders, their selections and the memo an order owns are gone;
    // the batch stays, without orders.
    EXPECT_EQ(c->count(FetchRequest("Order")), 0u);
    EXPECT_EQ(c->count(FetchRequest("Selection")), 0u);
    EXPECT_EQ(c->count(FetchRequest("Memo")), 2u);
    auto batch = c->fetchFirst("StoreBatch", "remoteId == %@", "B");
    ASSERT_TRUE(batch);
    EXPECT_TRUE(batch->toMany("orders").empty());
    ASSERT_TRUE(c->save());

    EXPECT_EQ(stored("Order"), 0u);
    EXPECT_EQ(stored("Selection"), 0u);
    EXPECT_EQ(stored("Memo"), 2u);
    EXPECT_EQ(stored("StoreBatch"), 1u);
    EXPECT_EQ(stored("AreaLocation"), 1u);

    // Rows owned through a table of pairs go too, and the pairs with them.
    auto d = newContext();
    d->deleteAll("Role");
    EXPECT_EQ(d->count(FetchRequest("Memo")), 0u);
    EXPECT_TRUE(d->fetchFirst("User", "userId == %@", "U1")->toMany("roles").empty());
    ASSERT_TRUE(d->save());
    EXPECT_EQ(stored("Memo"), 0u);
    EXPECT_TRUE(newContext()->fetchFirst("User", "userId == %@", "U1")->toMany("roles").empty());
    EXPECT_EQ(newContext()->fetchFirst("User", "userId == %@", "U1")->toMany("permissions").size(), 1u);
}

// Rows whose link to a deleted row no inverse keeps: read after the delete (set nil in memory,
// saved as changed objects) or never read (set nil by the save).
class DeleteAllLinksTest : public DeleteAllTest, public ::testing::WithParamInterface<bool> {};

TEST_P(DeleteAllLinksTest, LinksOfRowsLeftBecomeNilBeforeAndAfterTheSave) {
    const bool readFirst = GetParam();
    auto main = newContext();
    auto terminal = main->fetchFirst("Terminal", "terminalId == %@", "T1");
    ASSERT_TRUE(terminal->toOne("area"));
    ScopedObserver merge(ObjectContext::kDidSaveNotification, nullptr,
                         [&](const Notification& n) { main->mergeChanges(n); });

    auto c = newContext();
    SaveRecorder saves(*c);
    ObjectID area = c->fetchFirst("Area", "areaId == %@", "A1")->objectID();
    c->deleteAll("Area");
    if (readFirst) {
        EXPECT_EQ(c->count("Terminal", "area == nil"), 2u);
        EXPECT_EQ(c->count("AreaLocation", "area != nil"), 0u);
    }
    ASSERT_TRUE(c->save());

    ASSERT_EQ(saves.changes.size(), 1u);
    EXPECT_TRUE(SaveRecorder::lists(saves.changes[0].deleted, area));
    EXPECT_TRUE(SaveRecorder::lists(saves.changes[0].updated, terminal->objectID()));
    EXPECT_FALSE(terminal->toOne("area"));
    EXPECT_FALSE(terminal->toOneID("area").isValid());
    EXPECT_EQ(stored("Terminal"), 2u);
    EXPECT_EQ(newContext()->count("Terminal", "area == nil"), 2u);
    EXPECT_EQ(newContext()->count("AreaLocation", "area == nil"), 1u);
}

INSTANTIATE_TEST_SUITE_P(Reads, DeleteAllLinksTest, ::testing::Bool(),
                         [](const auto& instance) { return instance.param ? "ReadAfterTheDelete" : "NeverRead"; });

TEST_F(DeleteAllTest, ReadObjectsAreMarkedDeletedAndLeaveTheContextWithTheSave) {
    auto main = newContext();
    auto mainTerminal = main->fetchFirst("Terminal", "terminalId == %@", "T1");
    ScopedObserver merge(ObjectContext::kDidSaveNotification, nullptr,
                         [&](const Notification& n) { main->mergeChanges(n); });

    auto c = newContext();
    SaveRecorder saves(*c);
    auto terminal = c->fetchFirst("Terminal", "terminalId == %@", "T1");
    ObjectID param = c->fetchFirst("TerminalParam", "name == %@", "P1")->objectID();
    c->deleteAll("Terminal");
    EXPECT_TRUE(terminal->isDeleted());
    EXPECT_TRUE(c->hasChanges());
    EXPECT_EQ(c->objectWithID(terminal->objectID()), terminal);
    EXPECT_FALSE(c->objectWithID(param)) << "a parameter goes with its terminal";
    EXPECT_EQ(c->count("TerminalParam", "terminal.terminalId == %@", "T1"), 0u);
    ASSERT_TRUE(c->save());

    EXPECT_EQ(terminal->managedObjectContext(), nullptr);
    EXPECT_FALSE(c->hasChanges());
    EXPECT_FALSE(c->objectWithID(terminal->objectID()));
    ASSERT_EQ(saves.changes.size(), 1u);
    EXPECT_EQ(saves.changes[0].deleted.size(), 4u); // two terminals, two parameters
    EXPECT_TRUE(SaveRecorder::lists(saves.changes[0].deleted, param));
    EXPECT_TRUE(mainTerminal->isDeleted());
    EXPECT_EQ(main->count(FetchRequest("TerminalParam")), 0u);
}

TEST_F(DeleteAllTest, ChangedObjectsAreDeletedOneByOne) {
    auto c = newContext();
    auto changed = c->fetchFirst("Terminal", "terminalId == %@", "T1");
    changed->setValue("name", "Renamed");
    auto unsaved = named(*c, "Terminal", "terminalId", "T3");
    auto unsavedParam = named(*c, "TerminalParam", "name", "P3");
    unsavedParam->setToOne("terminal", unsaved);
    c->deleteAll("Terminal");
    EXPECT_TRUE(changed->isDeleted());
    EXPECT_EQ(unsaved->managedObjectContext(), nullptr);
    EXPECT_TRUE(unsavedParam->isDeleted() || !unsavedParam->managedObjectContext());
    EXPECT_EQ(c->count(FetchRequest("Terminal")), 0u);
    EXPECT_EQ(c->count(FetchRequest("TerminalParam")), 0u);
    ASSERT_TRUE(c->save());
    EXPECT_EQ(stored("Terminal"), 0u);
    EXPECT_EQ(stored("TerminalParam"), 0u);
}

TEST_F(DeleteAllTest, RollbackBringsEveryRowAndObjectBack) {
    auto c = newContext();
    auto terminal = c->fetchFirst("Terminal", "terminalId == %@", "T1");
    c->deleteAll("Terminal");
    c->deleteAll("Area");
    auto replacement = named(*c, "Terminal", "terminalId", "T9");
    EXPECT_EQ(replacement->objectID(), terminal->objectID()) << "the first freed key serves the first new row";
    c->rollback();

    EXPECT_FALSE(c->hasChanges());
    EXPECT_FALSE(terminal->isDeleted());
    EXPECT_EQ(replacement->managedObjectContext(), nullptr);
    EXPECT_EQ(c->objectWithID(terminal->objectID()), terminal);
    EXPECT_EQ(c->count(FetchRequest("Terminal")), 2u);
    EXPECT_EQ(c->count(FetchRequest("TerminalParam")), 2u);
    EXPECT_EQ(c->count("Terminal", "area != nil"), 2u);
    EXPECT_TRUE(terminal->toOne("area"));
    ASSERT_TRUE(c->save());
    EXPECT_EQ(stored("Terminal"), 2u);
    EXPECT_EQ(stored("Area"), 1u);
}

TEST_F(DeleteAllTest, NewRowsTakeTheFreedKeysWithoutAnyLinkOfTheOldRows) {
    {
        auto c = newContext();
        named(*c, "Permission", "permissionId", "PM2");
        ASSERT_TRUE(c->save());
    }
    std::vector<int64_t> roleKeys = keys("Role"), permissionKeys = keys("Permission");
    auto c = newContext();
    // A stored pair (the user and R1, the user and PM1) and an unsaved one (the user and PM2) with
    // rows about to go: none may reach the new row that takes the key.
    auto user = c->fetchFirst("User", "userId == %@", "U1");
    user->addTo("permissions", c->fetchFirst("Permission", "permissionId == %@", "PM2"));
    c->deleteAll("Role");
    c->deleteAll("Permission");
    EXPECT_TRUE(user->toMany("roles").empty());
    EXPECT_TRUE(user->toMany("permissions").empty());
    std::vector<ManagedObjectPtr> roles, permissions;
    for (const char* id : {"N1", "N2", "N3"}) roles.push_back(named(*c, "Role", "roleId", id));
    for (const char* id : {"N1", "N2"}) permissions.push_back(named(*c, "Permission", "permissionId", id));
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(roles[i]->objectID().primaryKey(), roleKeys[i]);
        EXPECT_EQ(permissions[i]->objectID().primaryKey(), permissionKeys[i]);
    }
    EXPECT_GT(roles[2]->objectID().primaryKey(), roleKeys[1]);
    EXPECT_TRUE(roles[0]->toMany("users").empty());
    EXPECT_TRUE(user->toMany("permissions").empty());
    EXPECT_EQ(c->count(FetchRequest("Role")), 3u);
    EXPECT_EQ(c->fetchFirst("Role", "roleId == %@", "N1"), roles[0]);
    roles[1]->addTo("users", user);
    ASSERT_TRUE(c->save());

    auto d = newContext();
    std::vector<std::string> ids;
    for (const auto& role : d->fetch(FetchRequest("Role", std::nullopt, {{"roleId"}})))
        ids.push_back(*role->text("roleId"));
    EXPECT_EQ(ids, (std::vector<std::string>{"N1", "N2", "N3"}));
    auto saved = d->fetchFirst("User", "userId == %@", "U1");
    auto userRoles = saved->toMany("roles");
    ASSERT_EQ(userRoles.size(), 1u);
    EXPECT_EQ(userRoles[0]->text("roleId"), "N2");
    EXPECT_TRUE(saved->toMany("permissions").empty());
    EXPECT_TRUE(d->fetchFirst("Role", "roleId == %@", "N1")->toMany("users").empty());
    EXPECT_TRUE(d->fetchFirst("Role", "roleId == %@", "N1")->toMany("memos").empty());
    EXPECT_EQ(keys("Permission"), permissionKeys);
}

TEST_F(DeleteAllTest, RowsAnotherContextSavesMeanwhileStay) {
    auto c = newContext();
    c->deleteAll("Terminal");
    auto other = newContext();
    named(*other, "Terminal", "terminalId", "T7");
    ASSERT_TRUE(other->save());
    ASSERT_TRUE(c->save());
    auto left = newContext()->fetchAll("Terminal");
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0]->text("terminalId"), "T7");
    EXPECT_EQ(stored("TerminalParam"), 0u);
}

TEST_F(DeleteAllTest, AggregatesPassOverDeletedRows) {
    auto c = newContext();
    c->deleteAll("Order");
    named(*c, "Order", "remoteId", "O9")->setValue("total", 5);
    auto top = c->fetch("Order", "max(total) == total");
    ASSERT_EQ(top.size(), 1u);
    EXPECT_EQ(top[0]->text("remoteId"), "O9");
}

// Tables emptied one after the other, as a store is cleaned before it is loaded again, with or
// without holding one write of the file: a table emptied whole is no longer read for links to the
// rows of the next, and the file ends the same either way.
class DeleteAllInOneWriteTest : public DeleteAllTest, public ::testing::WithParamInterface<bool> {};

TEST_P(DeleteAllInOneWriteTest, TablesEmptiedInTurnLeaveWhatTheyDoNotOwn) {
    const std::vector<int64_t> orderKeys = keys("Order");
    auto c = newContext();
    if (GetParam()) { ASSERT_TRUE(c->beginWrite()); }
    auto renamed = c->fetchFirst("Selection", "name == %@", "S2");
    renamed->setValue("name", "S2 renamed"); // a changed row: this table is not emptied whole
    renamed.reset();
    for (const char* entity : {"Selection", "Order", "Memo", "Role", "AreaLocation", "Area"}) c->deleteAll(entity);
    EXPECT_EQ(c->count(FetchRequest("Memo")), 0u);
    EXPECT_EQ(c->count("Terminal", "area == nil"), 2u);
    auto reused = named(*c, "Order", "remoteId", "O9");
    reused->setToOne("storeBatch", c->fetchFirst("StoreBatch", "remoteId == %@", "B"));
    ASSERT_TRUE(c->save());

    for (const char* entity : {"Selection", "Memo", "Role", "AreaLocation", "Area"}) {
        EXPECT_EQ(stored(entity), 0u) << entity;
    }
    // O1 changed with its selection and went one by one; the new order takes the key O2 freed.
    EXPECT_EQ(keys("Order"), std::vector<int64_t>{orderKeys.back()});
    EXPECT_EQ(stored("Terminal"), 2u);
    EXPECT_EQ(stored("TerminalParam"), 2u);
    auto d = newContext();
    EXPECT_EQ(d->count("Terminal", "area == nil"), 2u);
    EXPECT_EQ(d->fetchFirst("StoreBatch", "remoteId == %@", "B")->toMany("orders").size(), 1u);
    auto user = d->fetchFirst("User", "userId == %@", "U1");
    EXPECT_TRUE(user->toMany("roles").empty());
    EXPECT_EQ(user->toMany("permissions").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Writes, DeleteAllInOneWriteTest, ::testing::Bool(),
                         [](const auto& instance) { return instance.param ? "OneHeldWrite" : "PlainSave"; });

// The set of doomed keys as a std::set holds them: runs from 1 up, keys far past the others and
// below zero, keys put twice, and the set cleared and filled again.
TEST(RowKeySet, HoldsKeysAsASetWhateverTheirSpread) {
    RowKeySet keys;
    std::set<int64_t> expected;
    std::mt19937_64 random(11);
    for (int round = 0; round < 2; ++round) {
        for (int step = 0; step < 50'000; ++step) {
            int64_t key = step;
            switch (random() % 6) {
            case 0: key = static_cast<int64_t>(random() % 4'000'000'000'000); break; // far past the rest
            case 1: key = -static_cast<int64_t>(random() % 1'000) - 1; break;
            case 2: key = static_cast<int64_t>(random() % 70'000); break; // put again, mostly
            default: break;
            }
            ASSERT_EQ(keys.insert(key), expected.insert(key).second) << key;
            ASSERT_TRUE(keys.contains(key));
            ASSERT_EQ(keys.contains(key + 1), expected.count(key + 1) > 0) << key + 1;
        }
        EXPECT_EQ(keys.size(), expected.size());
        EXPECT_EQ(keys.sorted(), std::vector<int64_t>(expected.begin(), expected.end()));
        keys.clear();
        expected.clear();
        EXPECT_TRUE(keys.empty());
        EXPECT_FALSE(keys.contains(1));
    }
}

} // namespace
} // namespace tavlo::test
