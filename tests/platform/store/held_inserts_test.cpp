#include "StoreTestModel.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/store/HeldRows.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <set>

namespace tavlo::test {
namespace {

// Inserts of an entity held back from a held write's flushes: packed in memory, unpacked when
// asked for, written once at the save (or first, when a read could see them).
class HeldInsertsTest : public StoreTest {
protected:
    // A saved batch "B" and role "cook"; the file counts the rows written to Order and User.
    void SetUp() override {
        StoreTest::SetUp();
        auto c = newContext();
        c->insert("StoreBatch")->setValue("remoteId", "B");
        c->insert("Role")->setValue("roleId", "cook");
        ASSERT_TRUE(c->save());
        exec("CREATE TABLE Writes (entity TEXT, kind TEXT)");
        for (const char* table : {"Order", "User"})
            for (const char* kind : {"INSERT", "UPDATE"})
                exec(std::string("CREATE TRIGGER count_") + kind + table + " AFTER " + kind + " ON \"" + table +
                     "\" BEGIN INSERT INTO Writes VALUES ('" + table + "', '" + kind + "'); END");
    }
    void exec(const std::string& sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(ObjectStore::defaultPath().c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }
    // The rows written to the entity's table (kind: "INSERT" or "UPDATE"), as the file holds them.
    int countWrites(const char* entity, const char* kind) {
        sqlite3* db = nullptr;
        sqlite3_open(ObjectStore::defaultPath().c_str(), &db);
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, "SELECT count(*) FROM Writes WHERE entity = ? AND kind = ?", -1, &s, nullptr);
        sqlite3_bind_text(s, 1, entity, -1, SQLITE_STATIC);
        sqlite3_bind_text(s, 2, kind, -1, SQLITE_STATIC);
        sqlite3_step(s);
        int n = sqlite3_column_int(s, 0);
        sqlite3_finalize(s);
        sqlite3_close(db);
        return n;
    }
    // Orders "O0".."O<n - 1>" in batch B, each with one line; inserted, not flushed.
    static void insertOrders(ObjectContext& c, int n) {
        auto batch = c.fetchFirst("StoreBatch", "remoteId == %@", "B");
        for (int i = 0; i < n; ++i) {
            auto order = c.insert("Order");
            order->setValue("remoteId", "O" + std::to_string(i));
            order->setToOne("storeBatch", batch);
            auto line = c.insert("Selection");
            line->setValue("name", "Line of O" + std::to_string(i));
            line->setToOne("order", order);
        }
    }
    static ManagedObjectPtr order(ObjectContext& c, int i) {
        return c.fetchFirst("Order", "remoteId == %@", "O" + std::to_string(i));
    }
};

TEST_F(HeldInsertsTest, EveryKindOfValueComesBackAsSetAndEachRowIsWrittenOnceAsItIsAtTheSave) {
    auto c = newContext();
    std::vector<ObjectContextChanges> saves;
    ScopedObserver saved(ObjectContext::kDidSaveNotification, nullptr, [&](const Notification& n) {
        saves.push_back(std::any_cast<ObjectContextChanges>(n.object));
    });
    ASSERT_TRUE(c->beginWrite());
    c->holdInserts("Order");
    insertOrders(*c, 300);
    auto first = c->fetchFirst("Order", "remoteId == %@", "O0");
    const ObjectID id = first->objectID();
    first->setValue("name", "Smörgås – ½ € \"table\" 7");
    first->setValue("type", -3);
    first->setValue("total", int64_t(-9'000'000'000));
    first->setValue("rate", 0.0825);
    first->setValue("storeWide", true);
    first->setValue("closed", Date(1'700'000'000.5));
    first->setValue("note", Bytes{0, 1, 0xFF});
    first->setValue("sentDate", Value()); // nil stays nil
    first.reset();
    ASSERT_TRUE(c->flush());
    EXPECT_EQ(c->changedCount(), 0u); // no one held them: packed, and let go
    EXPECT_EQ(countWrites("Order", "INSERT"), 0);

    // Unpacked when asked for by key, with every value as set and its lines from the file.
    auto back = c->objectWithID(id);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->text("name"), "Smörgås – ½ € \"table\" 7");
    EXPECT_EQ(back->value("type").integer(), -3);
    EXPECT_EQ(back->value("total").integer(), -9'000'000'000);
    EXPECT_DOUBLE_EQ(back->value("rate").real(), 0.0825);
    EXPECT_TRUE(back->value("storeWide").boolean());
    EXPECT_EQ(back->value("closed").date(), Date(1'700'000'000.5));
    EXPECT_EQ(back->value("note").binary(), (Bytes{0, 1, 0xFF}));
    EXPECT_TRUE(back->value("sentDate").isNil());
    EXPECT_EQ(back->toOne("storeBatch")->text("remoteId"), "B");
    ASSERT_EQ(back->toMany("selections").size(), 1u);
    EXPECT_EQ(back->toMany("selections")[0]->text("name"), "Line of O0");
    // Changed again, packed again at the next flush, written once at the save with its last values.
    back->setValue("name", "Final");
    back.reset();
    ASSERT_TRUE(c->flush());
    ASSERT_TRUE(c->save());

    EXPECT_EQ(countWrites("Order", "INSERT"), 300);
    EXPECT_EQ(countWrites("Order", "UPDATE"), 0);
    auto reader = newContext();
    EXPECT_EQ(reader->objectWithID(id)->text("name"), "Final");
    EXPECT_EQ(reader->objectWithID(id)->value("total").integer(), -9'000'000'000);
    EXPECT_EQ(reader->fetchFirst("StoreBatch", "remoteId == %@", "B")->toMany("orders").size(), 300u);
    ASSERT_EQ(saves.size(), 1u);
    std::set<int64_t> inserted;
    for (const ObjectID& o : saves[0].inserted)
        if (o.entityName() == "Order") inserted.insert(o.primaryKey());
    EXPECT_EQ(inserted.size(), 300u);
    EXPECT_EQ(std::count_if(saves[0].inserted.begin(), saves[0].inserted.end(),
                            [](const ObjectID& o) { return o.entityName() == "Order"; }),
              300);
}

// Every read of the file that could see held rows answers as if they were written.
TEST_F(HeldInsertsTest, AReadThatCouldSeeHeldRowsWritesThemFirst) {
    using Read = std::function<size_t(ObjectContext&)>;
    const std::pair<const char*, Read> reads[] = {
        {"a count", [](ObjectContext& c) { return c.count(FetchRequest("Order")); }},
        {"a fetch by value", [](ObjectContext& c) { return c.fetch("Order", "remoteId BEGINSWITH %@", "O").size(); }},
        {"a fetch over a key path",
         [](ObjectContext& c) { return c.fetch("Selection", "order.remoteId BEGINSWITH %@", "O").size(); }},
        {"ids", [](ObjectContext& c) { return c.fetchObjectIDs(FetchRequest("Order")).size(); }},
        {"a list kept by the held rows",
         [](ObjectContext& c) { return c.fetchFirst("StoreBatch", "remoteId == %@", "B")->toMany("orders").size(); }},
        {"a prefetch", [](ObjectContext& c) { return c.prefetch(c.fetchAll("StoreBatch"), "orders").size(); }},
        {"rows", [](ObjectContext& c) { return c.fetchRows(FetchRequest("Order"), {"remoteId"}).size(); }},
        {"a maximum", [](ObjectContext& c) { return static_cast<size_t>(c.max("Order", "total").integer()); }},
    };
    for (const auto& [name, read] : reads) {
        SCOPED_TRACE(name);
        store.reset();
        for (const char* suffix : {"", "-wal", "-shm"})
            std::filesystem::remove(ObjectStore::defaultPath().string() + suffix);
        SetUp();
        auto c = newContext();
        ASSERT_TRUE(c->beginWrite());
        c->holdInserts("Order");
        insertOrders(*c, 40);
        for (int i = 0; i < 40; ++i) order(*c, i)->setValue("total", 40);
        ASSERT_TRUE(c->flush());
        EXPECT_EQ(read(*c), 40u);
        ASSERT_TRUE(c->save());
        EXPECT_EQ(countWrites("Order", "INSERT"), 40);
    }
}

TEST_F(HeldInsertsTest, AnObjectSomeoneHoldsIsWrittenLaterAndItsChangesKept) {
    auto c = newContext();
    ASSERT_TRUE(c->beginWrite());
    c->holdInserts("Order");
    insertOrders(*c, 3);
    auto held = order(*c, 1);
    ASSERT_TRUE(c->flush());
    // Left unwritten and changed, but not counted as a change since the flush: a loader that
    // flushes by that count would otherwise flush at every row while it holds many.
    EXPECT_TRUE(held->isInserted());
    EXPECT_TRUE(held->hasChanges());
    EXPECT_EQ(c->changedCount(), 0u);
    held->setValue("name", "Kept");
    ASSERT_TRUE(c->flush());
    ASSERT_TRUE(c->save());
    EXPECT_FALSE(held->hasChanges());
    EXPECT_EQ(newContext()->fetchFirst("Order", "remoteId == %@", "O1")->text("name"), "Kept");
    EXPECT_EQ(countWrites("Order", "INSERT"), 3);
    EXPECT_EQ(countWrites("Order", "UPDATE"), 0);
}

// A held row's lists reach the file at its flush; deleted later, it takes them with it.
TEST_F(HeldInsertsTest, AHeldRowDeletedAfterItsListsWereWrittenLeavesNothingBehind) {
    auto c = newContext();
    ASSERT_TRUE(c->beginWrite());
    c->holdInserts("User");
    auto user = c->insert("User");
    user->setValue("userId", "U1");
    user->addTo("roles", c->fetchFirst("Role", "roleId == %@", "cook"));
    const ObjectID id = user->objectID();
    user.reset();
    ASSERT_TRUE(c->flush());
    auto back = c->objectWithID(id);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->toMany("roles").size(), 1u);
    c->deleteObject(back);
    back.reset();
    ASSERT_TRUE(c->save());
    auto reader = newContext();
    EXPECT_EQ(reader->count(FetchRequest("User")), 0u);
    EXPECT_TRUE(reader->fetchFirst("Role", "roleId == %@", "cook")->toMany("users").empty());
    EXPECT_EQ(countWrites("User", "INSERT"), 0);
}

// A held row changed in its packed bytes: its values made storable, its to-ones set, and the lists
// read that are their inverses told, as its setters would; a row not held is left to its object.
TEST_F(HeldInsertsTest, AHeldRowIsChangedInPlaceAsItsSettersWouldChangeIt) {
    auto c = newContext();
    ASSERT_TRUE(c->beginWrite());
    c->holdInserts("Selection");
    insertOrders(*c, 2);
    auto from = order(*c, 0), to = order(*c, 1);
    const ObjectID line = from->toMany("selections").at(0)->objectID();
    const ObjectID other = to->toMany("selections").at(0)->objectID(); // both lists read, and kept
    ASSERT_TRUE(c->flush());
    const EntityDescription& selection = c->model().requireEntity("Selection");
    const RelationshipDescription& owner = *selection.relationshipNamed("order");
    ASSERT_TRUE(c->isHeld(selection, line.primaryKey()));
    EXPECT_EQ(c->heldToOne(selection, line.primaryKey(), owner), from->objectID().primaryKey());
    // A value of the wrong kind is refused, and the row kept as it was.
    EXPECT_THROW(c->changeHeld(selection, other.primaryKey(), {{selection.attributeNamed("name"), Value(3)}}, {}),
                 std::invalid_argument);
    EXPECT_TRUE(c->isHeld(selection, other.primaryKey()));

    ASSERT_TRUE(c->changeHeld(
        selection, line.primaryKey(),
        {{selection.attributeNamed("sequence"), Value(7.0)}, {selection.attributeNamed("name"), Value("Moved")}},
        {{&owner, to->objectID().primaryKey()}}));
    EXPECT_EQ(c->heldToOne(selection, line.primaryKey(), owner), to->objectID().primaryKey());
    EXPECT_TRUE(from->toMany("selections").empty());
    ASSERT_EQ(to->toMany("selections").size(), 2u);
    auto moved = c->objectWithID(line);
    EXPECT_EQ(moved->value("sequence"), Value(7)); // an integer, as the attribute stores it
    EXPECT_EQ(moved->text("name"), "Moved");
    EXPECT_FALSE(c->isHeld(selection, line.primaryKey())); // its object unpacked it

    // Not held (now an object, or of an entity not held): nothing changes.
    EXPECT_FALSE(c->changeHeld(selection, line.primaryKey(), {}, {{&owner, 0}}));
    EXPECT_FALSE(c->heldToOne(selection, line.primaryKey(), owner));
    const EntityDescription& orders = c->model().requireEntity("Order");
    EXPECT_FALSE(c->changeHeld(orders, to->objectID().primaryKey(), {{orders.attributeNamed("name"), Value("X")}}, {}));
    // Parts of another entity, or a list, are refused.
    EXPECT_THROW(c->changeHeld(selection, 1, {{orders.attributeNamed("name"), Value("X")}}, {}), std::invalid_argument);
    EXPECT_THROW(c->changeHeld(orders, 1, {}, {{orders.relationshipNamed("selections"), 1}}), std::invalid_argument);

    // The object's own setter by id: back to the first order, told to both lists.
    moved->setToOne(owner, from->objectID());
    EXPECT_EQ(from->toMany("selections").size(), 1u);
    EXPECT_THROW(moved->setToOne(owner, other), std::invalid_argument);
    ASSERT_TRUE(c->save());
    auto reader = newContext();
    EXPECT_EQ(reader->fetchFirst("Selection", "name == %@", "Moved")->text("order.remoteId"), "O0");
}

// Rows held from the start, without objects: read back like rows held after a flush, told to the
// lists that are their to-ones' inverses (a new row's list then reads the held rows too, so a
// cascade from it reaches them), and written at the next flush when held until it.
TEST_F(HeldInsertsTest, ARowHeldWithoutAnObjectIsReadAsAnyHeldRow) {
    auto c = newContext();
    c->insert("Order")->setValue("remoteId", "S");
    ASSERT_TRUE(c->save());
    std::vector<ObjectContextChanges> saves;
    ScopedObserver saved(ObjectContext::kDidSaveNotification, nullptr, [&](const Notification& n) {
        saves.push_back(std::any_cast<ObjectContextChanges>(n.object));
    });
    const EntityDescription& selection = c->model().requireEntity("Selection");
    const AttributeDescription& name = *selection.attributeNamed("name");
    const RelationshipDescription& owner = *selection.relationshipNamed("order");
    const std::array<ObjectContext::HeldValue, 1> named{{{&name, Value("B")}}};
    ASSERT_TRUE(c->beginWrite());
    EXPECT_THROW(c->insertHeld(selection, named, {}), std::logic_error); // not held
    c->holdInserts("Selection", ObjectContext::Hold::UntilFlush);

    auto stored = c->fetchFirst("Order", "remoteId == %@", "S");
    ASSERT_TRUE(stored->toMany("selections").empty()); // read, and kept
    auto fresh = c->insert("Order");
    fresh->setValue("remoteId", "N");
    const std::array<ObjectContext::HeldValue, 2> values{
        {{&name, Value("A")}, {selection.attributeNamed("sequence"), Value(2.0)}}};
    const ObjectID a = c->insertHeld(
        selection, values, std::array<ObjectContext::HeldLink, 1>{{{&owner, fresh->objectID().primaryKey()}}});
    const ObjectID b = c->insertHeld(
        selection, named, std::array<ObjectContext::HeldLink, 1>{{{&owner, stored->objectID().primaryKey()}}});
    ASSERT_TRUE(a.isValid() && b.isValid());
    EXPECT_NE(a, b);
    EXPECT_TRUE(c->isHeld(selection, a.primaryKey()));
    const std::array<ObjectContext::HeldValue, 1> wrongKind{{{&name, Value(3)}}};
    EXPECT_THROW(c->insertHeld(selection, wrongKind, {}), std::invalid_argument);
    EXPECT_EQ(c->heldToOne(selection, b.primaryKey(), owner), stored->objectID().primaryKey());
    ASSERT_EQ(stored->toMany("selections").size(), 1u);
    EXPECT_EQ(stored->toMany("selections")[0]->text("name"), "B");

    // A new row's list finds the held rows that name it, and so does its cascade.
    ASSERT_EQ(fresh->toMany("selections").size(), 1u);
    auto dropped = c->insert("Order");
    dropped->setValue("remoteId", "D");
    c->insertHeld(selection, named,
                  std::array<ObjectContext::HeldLink, 1>{{{&owner, dropped->objectID().primaryKey()}}});
    c->deleteObject(dropped);

    // Held until the flush: written by it.
    const ObjectID late = c->insertHeld(
        selection, values, std::array<ObjectContext::HeldLink, 1>{{{&owner, fresh->objectID().primaryKey()}}});
    EXPECT_TRUE(c->isHeld(selection, late.primaryKey()));
    ASSERT_TRUE(c->flush());
    EXPECT_FALSE(c->isHeld(selection, late.primaryKey()));
    EXPECT_EQ(fresh->toMany("selections").size(), 2u);
    auto first = c->objectWithID(a);
    EXPECT_EQ(first->value("sequence"), Value(2)); // an integer, as the attribute stores it
    EXPECT_EQ(first->text("order.remoteId"), "N");
    first.reset();

    ASSERT_TRUE(c->save());
    auto reader = newContext();
    EXPECT_EQ(reader->count(FetchRequest("Order")), 2u);
    EXPECT_EQ(reader->count(FetchRequest("Selection")), 3u);
    EXPECT_EQ(reader->fetchFirst("Selection", "name == %@", "B")->text("order.remoteId"), "S");
    ASSERT_EQ(saves.size(), 1u);
    const auto& inserted = saves[0].inserted;
    EXPECT_NE(std::find(inserted.begin(), inserted.end(), b), inserted.end());
}

// A list kept in a table of pairs, filled for a row held without an object: the pairs are in the
// file at once, a loaded inverse list shows the row, the row unpacked reads them, and the save
// keeps them. A pair the file refuses ends the held write as a failed flush does.
TEST_F(HeldInsertsTest, AHeldRowWithoutAnObjectJoinsAListOfPairs) {
    auto c = newContext();
    const EntityDescription& users = c->model().requireEntity("User");
    const RelationshipDescription& roles = *users.relationshipNamed("roles");
    const std::array<ObjectContext::HeldValue, 1> named{{{users.attributeNamed("userId"), Value("U1")}}};
    ASSERT_TRUE(c->beginWrite());
    c->holdInserts("User");
    auto cook = c->fetchFirst("Role", "roleId == %@", "cook");
    ASSERT_TRUE(cook->toMany("users").empty()); // read, and kept
    auto host = c->insert("Role");
    host->setValue("roleId", "host");
    const ObjectID user = c->insertHeld(users, named, {});
    const int64_t both[] = {cook->objectID().primaryKey(), host->objectID().primaryKey(),
                            cook->objectID().primaryKey()};
    ASSERT_TRUE(c->addToHeld(roles, user.primaryKey(), both));
    EXPECT_TRUE(c->isHeld(users, user.primaryKey()));
    ASSERT_EQ(cook->toMany("users").size(), 1u);
    EXPECT_EQ(cook->toMany("users")[0]->objectID(), user);
    EXPECT_EQ(host->toMany("users").size(), 1u);

    // Only a held row's list of pairs: not an object's row, not a list a to-one keeps.
    EXPECT_FALSE(c->addToHeld(roles, host->objectID().primaryKey() + 100, both));
    const RelationshipDescription& lines = *c->model().requireEntity("Order").relationshipNamed("selections");
    EXPECT_THROW(c->addToHeld(lines, 1, {}), std::invalid_argument);

    ASSERT_TRUE(c->save());
    auto reader = newContext();
    std::set<std::string> names;
    for (const auto& role : reader->fetchFirst("User", "userId == %@", "U1")->toMany("roles"))
        names.insert(*role->text("roleId"));
    EXPECT_EQ(names, (std::set<std::string>{"cook", "host"}));

    // Refused by the file: the write is over, nothing of it is kept.
    exec("CREATE TRIGGER refuse BEFORE INSERT ON \"" + roles.joinTable + "\" BEGIN SELECT RAISE(ABORT, 'no'); END");
    auto refused = newContext();
    ASSERT_TRUE(refused->beginWrite());
    refused->holdInserts("User");
    const std::array<ObjectContext::HeldValue, 1> other{{{users.attributeNamed("userId"), Value("U2")}}};
    const ObjectID second = refused->insertHeld(users, other, {});
    EXPECT_FALSE(refused->addToHeld(roles, second.primaryKey(), std::span(both, 1)));
    EXPECT_FALSE(refused->isWriting());
    EXPECT_FALSE(refused->save());
    refused->rollback();
    EXPECT_EQ(newContext()->count(FetchRequest("User")), 1u);
}

// Rows held until each flush, then more than the file can take: the flush fails and ends the write.
TEST_F(HeldInsertsTest, RowsHeldUntilAFlushThatCannotWriteThemEndTheHeldWrite) {
    reopenSmall();
    auto c = newContext();
    ASSERT_TRUE(c->beginWrite());
    c->holdInserts("Selection", ObjectContext::Hold::UntilFlush);
    const EntityDescription& selection = c->model().requireEntity("Selection");
    const std::array<ObjectContext::HeldValue, 1> big{
        {{selection.attributeNamed("name"), Value(std::string(2000, 'x'))}}};
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(c->insertHeld(selection, big, {}).isValid());
    ASSERT_TRUE(c->flush());
    for (int i = 0; i < 400; ++i) ASSERT_TRUE(c->insertHeld(selection, big, {}).isValid());
    Error flushError;
    EXPECT_FALSE(c->flush(&flushError));
    EXPECT_EQ(flushError.code(), kStoreFull) << flushError.localizedDescription();
    EXPECT_FALSE(c->isWriting());
    EXPECT_FALSE(c->insertHeld(selection, big, {}).isValid());
    c->rollback();
    EXPECT_EQ(newContext()->count(FetchRequest("Selection")), 0u);
}

TEST_F(HeldInsertsTest, ARollbackForgetsTheHeldRows) {
    auto c = newContext();
    ASSERT_TRUE(c->beginWrite());
    c->holdInserts("Order");
    insertOrders(*c, 20);
    ASSERT_TRUE(c->flush());
    EXPECT_TRUE(c->hasChanges());
    c->rollback();
    EXPECT_FALSE(c->hasChanges());
    EXPECT_EQ(c->count(FetchRequest("Order")), 0u);
    EXPECT_EQ(newContext()->count(FetchRequest("Selection")), 0u);
    // Outside a held write nothing is held.
    EXPECT_THROW(c->holdInserts("Order"), std::logic_error);
}

// The packed rows under a mix of puts, puts over a held key and takes, in runs and scattered, as
// a map would hold them.
TEST(HeldRows, KeepsEveryRowThroughPutsAndTakesInAnyOrder) {
    HeldRows rows;
    std::map<int64_t, int64_t> expected; // key -> the value last put
    std::mt19937_64 random(7);
    std::vector<Value> values(2);
    std::vector<int64_t> toOnes(1);
    for (int step = 0; step < 20'000; ++step) {
        const int64_t key = step % 3 ? static_cast<int64_t>(random() % 5'000) : 1'000'000 + step; // runs and repeats
        if (random() % 3 == 0) {
            const bool held = expected.count(key) > 0;
            std::vector<int64_t> links(1);
            ASSERT_EQ(rows.readToOnes(key, values.size(), links), held) << key;
            if (held) { EXPECT_EQ(links[0], -key); }
            ASSERT_EQ(rows.take(key, values, toOnes), held) << key;
            if (held) {
                EXPECT_EQ(values[0].integer(), expected[key]);
                EXPECT_EQ(values[1].text(), "row " + std::to_string(key));
                EXPECT_EQ(toOnes[0], -key);
                expected.erase(key);
            }
        } else {
            const int64_t value = static_cast<int64_t>(random());
            rows.put(key, {Value(value), Value("row " + std::to_string(key))}, {-key});
            expected[key] = value;
        }
        ASSERT_EQ(rows.size(), expected.size());
    }
    std::vector<int64_t> drained;
    EXPECT_TRUE(rows.drain([&](int64_t key, HeldRows::Packed& row) {
        const HeldRows::Packed::Part value = row.value(), text = row.value();
        EXPECT_EQ(value.kind, Value::Kind::Integer);
        EXPECT_EQ(value.integer, expected[key]);
        EXPECT_EQ(text.bytes, "row " + std::to_string(key));
        EXPECT_EQ(row.key(), -key);
        drained.push_back(key);
        return true;
    }));
    std::vector<int64_t> keys;
    for (const auto& [key, value] : expected) keys.push_back(key);
    EXPECT_EQ(drained, keys); // in key order
    EXPECT_TRUE(rows.empty());
}

} // namespace
} // namespace tavlo::test
