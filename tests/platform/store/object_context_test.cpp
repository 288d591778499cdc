#include "StoreTestModel.h"

#include "platform/foundation/NotificationCenter.h"

#include <sqlite3.h>

namespace tavlo::test {
namespace {

using Policy = ObjectContext::MergePolicy;

ManagedObjectPtr terminal(ObjectContext& c, const std::string& id, const std::string& name = "T") {
    auto t = c.insert("Terminal");
    t->setValue("terminalId", id);
    t->setValue("name", name);
    return t;
}

TEST_F(StoreTest, ValuesOfEveryTypeSurviveSaveAndReopen) {
    auto c = newContext();
    auto o = c->insert("Order");
    ObjectID id = o->objectID();
    o->setValue("remoteId", "R1");
    o->setValue("type", -9);
    o->setValue("closed", Date(1'700'000'123.0));
    o->setValue("total", int64_t{5'000'000'000});
    o->setValue("rate", 0.125);
    o->setValue("storeWide", true);
    o->setValue("note", Bytes{0, 1, 255});
    o->setValue("name", nullptr);
    Error error;
    ASSERT_TRUE(c->save(&error)) << error.localizedDescription();
    EXPECT_EQ(o->objectID(), id); // ids are stable through the save
    c.reset();

    reopen();
    auto again = newContext()->fetchFirst("Order", "remoteId == %@", "R1");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->int16("type"), -9);
    EXPECT_EQ(again->date("closed"), Date(1'700'000'123.0));
    EXPECT_EQ(again->int64("total"), 5'000'000'000);
    EXPECT_EQ(again->real("rate"), 0.125);
    EXPECT_TRUE(again->boolean("storeWide"));
    EXPECT_EQ(again->binary("note"), (Bytes{0, 1, 255}));
    EXPECT_FALSE(again->text("name"));
    EXPECT_TRUE(again->isNil("sentDate"));
    EXPECT_EQ(again->objectID().primaryKey(), id.primaryKey());
}

TEST_F(StoreTest, TheFileIsPlainSqliteWithWalAndATablePerEntity) {
    auto c = newContext();
    terminal(*c, "7", "Bar");
    ASSERT_TRUE(c->save());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(ObjectStore::defaultPath().c_str(), &db), SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT name FROM \"Terminal\" WHERE terminalId = '7'", -1, &s, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)), "Bar");
    sqlite3_finalize(s);
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &s, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)), "wal");
    sqlite3_finalize(s);
    sqlite3_close(db);
}

TEST_F(StoreTest, BadNamesAndKindsThrow) {
    auto c = newContext();
    auto t = terminal(*c, "1");
    EXPECT_THROW(c->insert("Nothing"), std::invalid_argument);
    EXPECT_THROW(t->setValue("nothing", 1), std::invalid_argument);
    EXPECT_THROW(t->value("area.nothing"), std::invalid_argument);
    EXPECT_THROW(t->setValue("name", 3), std::invalid_argument);
    EXPECT_THROW(t->setToOne("area", terminal(*c, "2")), std::invalid_argument);
    EXPECT_THROW(c->fetch("Terminal", "name = = %@", "x"), std::invalid_argument);
    EXPECT_THROW(c->fetch("Terminal", "name == %@"), std::invalid_argument);

    // By description: one of the object's own entity and model, or a throw.
    const Model& model = c->model();
    const EntityDescription& area = model.requireEntity("Area");
    t->setValue(*model.requireEntity("Terminal").attributeNamed("name"), "by description");
    EXPECT_EQ(t->text("name"), "by description");
    EXPECT_THROW(t->setValue(*area.attributeNamed("name"), "x"), std::invalid_argument);
    EXPECT_THROW(t->setToOne(*model.requireEntity("AreaLocation").relationshipNamed("area"), nullptr),
                 std::invalid_argument);
    EXPECT_THROW(t->setToOne(*model.requireEntity("Terminal").relationshipNamed("terminalParams"), nullptr),
                 std::invalid_argument);
    Model copy = model;
    EXPECT_THROW(c->insert(copy.requireEntity("Terminal")), std::invalid_argument);
    EXPECT_EQ(c->insert(model.requireEntity("Area"))->entityName(), "Area");
}

// A copied model looks its entities up among its own, also once the original is gone.
TEST(Model, ACopyNamesItsOwnEntities) {
    auto original = std::make_unique<Model>(storeTestModel());
    original->finalize();
    Model copy = *original;
    Model moved = std::move(*original);
    original.reset();
    for (const Model* m : {&copy, &moved}) {
        const EntityDescription& terminal = m->requireEntity("Terminal");
        EXPECT_EQ(&terminal, m->entities()[terminal.index()].get());
        EXPECT_EQ(terminal.relationshipNamed("area")->target, &m->requireEntity("Area"));
        EXPECT_EQ(m->entityNamed("Nothing"), nullptr);
    }
}

TEST_F(StoreTest, InversesAreKeptFromEitherSideAndSettingBothIsIdempotent) {
    auto c = newContext();
    auto t = terminal(*c, "1");
    auto p = c->insert("TerminalParam");
    p->setToOne("terminal", t);
    t->addTo("terminalParams", p);
    p->setToOne("terminal", t);
    ASSERT_EQ(t->toMany("terminalParams").size(), 1u);
    auto q = c->insert("TerminalParam");
    t->addTo("terminalParams", q);
    EXPECT_EQ(q->toOne("terminal"), t);
    EXPECT_EQ(t->toMany("terminalParams").size(), 2u);

    // Moving a member to another owner leaves the first.
    auto u = terminal(*c, "2");
    q->setToOne("terminal", u);
    EXPECT_EQ(t->toMany("terminalParams").size(), 1u);
    EXPECT_EQ(u->toMany("terminalParams").size(), 1u);
    ASSERT_TRUE(c->save());

    auto other = newContext();
    auto t2 = other->fetchFirst("Terminal", "terminalId == %@", "1");
    ASSERT_TRUE(t2);
    auto params = t2->toMany("terminalParams");
    ASSERT_EQ(params.size(), 1u);
    EXPECT_EQ(params[0]->value("terminal.terminalId"), Value("1"));
    t2->removeFrom("terminalParams", params[0]);
    EXPECT_FALSE(params[0]->toOne("terminal"));
}

TEST_F(StoreTest, ManyToManyAndToManyWithoutInverseArePersisted) {
    auto c = newContext();
    auto user = c->insert("User");
    user->setValue("userId", "u1");
    auto role = c->insert("Role");
    auto permission = c->insert("Permission");
    user->addTo("roles", role);
    EXPECT_TRUE(role->containsIn("users", user));
    user->addTo("permissions", permission);
    ASSERT_TRUE(c->save());

    auto other = newContext();
    auto r = other->objectWithID(role->objectID());
    ASSERT_TRUE(r);
    auto users = r->toMany("users");
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0]->text("userId"), "u1");
    EXPECT_EQ(users[0]->toMany("permissions").size(), 1u);
    EXPECT_EQ(users[0]->toMany("roles").size(), 1u);

    // Deleting the permission drops the link that no inverse keeps.
    other->deleteObject(other->objectWithID(permission->objectID()));
    ASSERT_TRUE(other->save());
    auto third = newContext();
    EXPECT_TRUE(third->objectWithID(user->objectID())->toMany("permissions").empty());
}

// Either side of a pair of lists that are each other's inverse may change it; the table of pairs
// holds each pair once.
TEST_F(StoreTest, ManyToManyChangedFromEitherSideIsStoredOnce) {
    auto c = newContext();
    auto user = c->insert("User");
    auto role = c->insert("Role");
    auto other = c->insert("Role");
    user->addTo("roles", role);
    other->addTo("users", user);
    ASSERT_TRUE(c->save());
    auto pairs = [&] {
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open(ObjectStore::defaultPath().c_str(), &db), SQLITE_OK);
        sqlite3_stmt* s = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM \"Z_Role_users\"", -1, &s, nullptr), SQLITE_OK);
        sqlite3_step(s);
        int n = sqlite3_column_int(s, 0);
        sqlite3_finalize(s);
        sqlite3_close(db);
        return n;
    };
    EXPECT_EQ(pairs(), 2);

    role->removeFrom("users", user);
    user->removeFrom("roles", other);
    user->addTo("roles", role); // back again before the save: nothing to write for it
    ASSERT_TRUE(c->save());
    EXPECT_EQ(pairs(), 1);
    auto fresh = newContext();
    auto roles = fresh->objectWithID(user->objectID())->toMany("roles");
    ASSERT_EQ(roles.size(), 1u);
    EXPECT_EQ(roles[0]->objectID(), role->objectID());
    EXPECT_TRUE(fresh->objectWithID(other->objectID())->toMany("users").empty());
}

// Objects nobody holds leave the context; one read again is a new object, one held stays the same.
TEST_F(StoreTest, ObjectsLetGoAreReadAgainAndHeldOnesStayTheSame) {
    auto c = newContext();
    for (int i = 0; i < 3000; ++i) terminal(*c, std::to_string(i));
    ASSERT_TRUE(c->save());
    auto reader = newContext();
    ManagedObjectPtr held = reader->fetchFirst("Terminal", "terminalId == %@", "7");
    ASSERT_TRUE(held);
    for (int round = 0; round < 3; ++round) {
        std::vector<ManagedObjectPtr> all = reader->fetchAll("Terminal");
        ASSERT_EQ(all.size(), 3000u);
        size_t same = 0;
        for (const ManagedObjectPtr& t : all) same += t == held;
        EXPECT_EQ(same, 1u);
    }
    held->setValue("name", "Changed");
    held.reset();
    auto again = reader->fetchFirst("Terminal", "terminalId == %@", "7");
    EXPECT_EQ(again->text("name"), "Changed"); // kept by its change until the save
}

TEST_F(StoreTest, TwoToManysShareOneBackLink) {
    auto c = newContext();
    auto order = c->insert("Order");
    auto s = c->insert("Selection");
    order->addTo("newSelections", s);
    EXPECT_EQ(s->toOne("order"), order);
    EXPECT_TRUE(order->containsIn("selections", s));
    ASSERT_TRUE(c->save());
    auto other = newContext();
    auto o = other->objectWithID(order->objectID());
    EXPECT_EQ(o->toMany("newSelections").size(), 1u);
    EXPECT_EQ(o->toMany("selections").size(), 1u);
}

TEST_F(StoreTest, CascadeDeletesOwnedRowsAndNullifyClearsTheOtherSide) {
    auto c = newContext();
    auto batch = c->insert("StoreBatch");
    auto order = c->insert("Order");
    order->setToOne("storeBatch", batch);
    for (int i = 0; i < 3; ++i) {
        auto s = c->insert("Selection");
        s->setToOne("order", order);
    }
    auto keep = c->insert("Order");
    keep->setToOne("storeBatch", batch);
    ASSERT_TRUE(c->save());

    auto d = newContext();
    d->deleteObject(d->objectWithID(order->objectID()));
    EXPECT_EQ(d->count("Selection", "order != nil"), 0u); // seen before the save too
    ASSERT_TRUE(d->save());
    EXPECT_EQ(newContext()->count(FetchRequest("Selection")), 0u);
    auto e = newContext();
    e->deleteObject(e->objectWithID(batch->objectID()));
    ASSERT_TRUE(e->save());
    auto kept = newContext()->objectWithID(keep->objectID());
    ASSERT_TRUE(kept);
    EXPECT_FALSE(kept->toOne("storeBatch"));
    EXPECT_TRUE(kept->toOneID("storeBatch").isValid() == false);
}

TEST_F(StoreTest, UriRepresentationFindsTheObjectInAnotherContext) {
    auto c = newContext();
    auto t = terminal(*c, "42");
    std::string uri = t->objectID().uriRepresentation();
    ASSERT_TRUE(c->save());
    auto other = newContext();
    auto id = other->objectIDForURIRepresentation(uri);
    ASSERT_TRUE(id);
    auto found = other->objectWithID(*id);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->text("terminalId"), "42");
    for (const char* bad : {"", "x-tavlo-object:///Nothing/p1", "x-tavlo-object:///Terminal/pX",
                            "x-tavlo-object:///Terminal/p0", "http://x/Terminal/p1"})
        EXPECT_FALSE(other->objectIDForURIRepresentation(bad)) << bad;
    EXPECT_FALSE(other->objectWithID(ObjectID(id->entity(), 999)));
}

TEST_F(StoreTest, RollbackRestoresStoredValuesAndDropsInserts) {
    auto c = newContext();
    auto t = terminal(*c, "1", "Bar");
    auto p = c->insert("TerminalParam");
    p->setToOne("terminal", t);
    ASSERT_TRUE(c->save());

    t->setValue("name", "Patio");
    auto extra = terminal(*c, "2");
    c->deleteObject(p);
    EXPECT_TRUE(c->hasChanges());
    EXPECT_EQ(c->fetch("Terminal", "name == %@", "Patio").size(), 1u);
    c->rollback();
    EXPECT_FALSE(c->hasChanges());
    EXPECT_EQ(t->text("name"), "Bar");
    EXPECT_FALSE(p->isDeleted());
    EXPECT_EQ(t->toMany("terminalParams").size(), 1u);
    EXPECT_EQ(extra->managedObjectContext(), nullptr);
    EXPECT_EQ(c->count(FetchRequest("Terminal")), 1u);
}

TEST_F(StoreTest, FetchesSeeUnsavedInsertsChangesAndDeletes) {
    auto c = newContext();
    terminal(*c, "1", "A");
    auto b = terminal(*c, "2", "B");
    auto gone = terminal(*c, "3", "C");
    ASSERT_TRUE(c->save());

    b->setValue("name", "Z");
    c->deleteObject(gone);
    terminal(*c, "4", "D");
    FetchRequest byName("Terminal", std::nullopt, {{"name"}});
    std::vector<std::string> names;
    for (auto& t : c->fetch(byName)) names.push_back(*t->text("name"));
    EXPECT_EQ(names, (std::vector<std::string>{"A", "D", "Z"}));
    EXPECT_EQ(c->count(FetchRequest("Terminal")), 3u);
    EXPECT_FALSE(c->exists("Terminal", "name == %@", "B"));
    EXPECT_TRUE(c->exists("Terminal", "name == %@", "Z"));
    FetchRequest firstTwo("Terminal", std::nullopt, {{"name", false}}, 2);
    auto top = c->fetch(firstTwo);
    ASSERT_EQ(top.size(), 2u);
    EXPECT_EQ(top[0]->text("name"), "Z");
    EXPECT_EQ(top[1]->text("name"), "D");
}

TEST_F(StoreTest, SortLimitMaxAndDeleteAll) {
    auto c = newContext();
    const char* names[] = {"b", "C", "a", "D"};
    for (int i = 0; i < 4; ++i) {
        auto o = c->insert("Order");
        o->setValue("name", names[i]);
        o->setValue("total", i * 10);
        o->setValue("closed", Date(1000.0 + i));
    }
    ASSERT_TRUE(c->save());
    auto d = newContext();
    auto sorted = d->fetch(FetchRequest("Order", std::nullopt, {{"name", true, true}}));
    std::string order;
    for (auto& o : sorted) order += *o->text("name");
    EXPECT_EQ(order, "abCD");
    for (int64_t limit : {0, -1}) EXPECT_EQ(d->fetch(FetchRequest("Order", std::nullopt, {}, limit)).size(), 4u);
    EXPECT_EQ(d->fetch(FetchRequest("Order", std::nullopt, {}, 1)).size(), 1u);
    EXPECT_EQ(d->max("Order", "closed").date(), Date(1003.0));
    EXPECT_EQ(d->max("Order", "total").integer(), 30);
    EXPECT_TRUE(d->max("StoreBatch", "openedOn").isNil());
    d->deleteAll("Order");
    EXPECT_EQ(d->count(FetchRequest("Order")), 0u);
    ASSERT_TRUE(d->save());
    EXPECT_EQ(newContext()->count(FetchRequest("Order")), 0u);
}

TEST_F(StoreTest, BackgroundSaveMergedIntoTheMainContextIsVisible) {
    auto main = newContext();
    auto t = terminal(*main, "1", "Old");
    auto doomed = terminal(*main, "2");
    ASSERT_TRUE(main->save());
    EXPECT_TRUE(t->toMany("terminalParams").empty());

    ScopedObserver observer(ObjectContext::kDidSaveNotification, nullptr, [&](const Notification& n) {
        if (n.sender != main.get()) main->mergeChanges(n);
    });
    std::thread worker([&] {
        auto background = newContext();
        auto bt = background->fetchFirst("Terminal", "terminalId == %@", "1");
        bt->setValue("name", "New");
        auto p = background->insert("TerminalParam");
        p->setToOne("terminal", bt);
        background->deleteObject(background->fetchFirst("Terminal", "terminalId == %@", "2"));
        ASSERT_TRUE(background->save());
    });
    worker.join();
    EXPECT_EQ(t->text("name"), "New");
    EXPECT_EQ(t->toMany("terminalParams").size(), 1u);
    EXPECT_TRUE(doomed->isDeleted());
    EXPECT_EQ(main->count(FetchRequest("Terminal")), 1u);
}

TEST_F(StoreTest, MergeKeepsThisContextsUnsavedChangesOnTop) {
    auto main = newContext();
    auto t = terminal(*main, "1", "Old");
    ASSERT_TRUE(main->save());
    t->setValue("networkName", "mine");

    ScopedObserver observer(ObjectContext::kDidSaveNotification, nullptr,
                            [&](const Notification& n) { main->mergeChanges(n); });
    auto other = newContext();
    auto o = other->objectWithID(t->objectID());
    o->setValue("name", "Theirs");
    o->setValue("networkName", "theirs");
    ASSERT_TRUE(other->save());
    EXPECT_EQ(t->text("name"), "Theirs");
    EXPECT_EQ(t->text("networkName"), "mine");
    ASSERT_TRUE(main->save());
    auto check = newContext()->objectWithID(t->objectID());
    EXPECT_EQ(check->text("name"), "Theirs");
    EXPECT_EQ(check->text("networkName"), "mine");
}

TEST_F(StoreTest, MergePolicyErrorRefusesAStaleSaveAndOverwriteWinsByAttribute) {
    auto a = newContext(Policy::Error);
    auto t = terminal(*a, "1", "A");
    t->setValue("networkName", "net");
    ASSERT_TRUE(a->save());
    auto b = newContext();
    auto tb = b->objectWithID(t->objectID());
    tb->setValue("name", "B");
    ASSERT_TRUE(b->save());

    t->setValue("name", "A2");
    Error error;
    EXPECT_FALSE(a->save(&error));
    EXPECT_EQ(error.code(), kStoreConflict);
    EXPECT_TRUE(a->hasChanges());

    a->setMergePolicy(Policy::Overwrite);
    t->setValue("networkName", "net2");
    ASSERT_TRUE(a->save(&error)) << error.localizedDescription();
    auto check = newContext()->objectWithID(t->objectID());
    EXPECT_EQ(check->text("name"), "A2");
    EXPECT_EQ(check->text("networkName"), "net2");
}

TEST_F(StoreTest, AnOlderFileOpensAfterTheModelGainsAnAttributeAndAnEntity) {
    Model old;
    old.entity("Terminal").attribute("terminalId", AttributeType::Text);
    reopen(old);
    auto c = newContext();
    auto t = c->insert("Terminal");
    t->setValue("terminalId", "9");
    ASSERT_TRUE(c->save());
    c.reset();

    reopen(); // the full test model: more attributes, relationships and entities
    auto d = newContext();
    auto again = d->fetchFirst("Terminal", "terminalId == %@", "9");
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->isNil("name"));
    again->setValue("name", "After");
    auto p = d->insert("TerminalParam");
    p->setToOne("terminal", again);
    ASSERT_TRUE(d->save());
    // The key counter continues after the old rows.
    EXPECT_GT(terminal(*d, "10")->objectID().primaryKey(), again->objectID().primaryKey());
}

// A context that ends leaves its connection, with the statements prepared on it, to the next one
// made: the next reads without preparing again, and holds every statement the first prepared. One
// that ends in the middle of a held write leaves its write undone: the next sees none of it and
// writes on its own.
TEST_F(StoreTest, AContextThatEndsLeavesItsConnectionAndStatementsToTheNext) {
    {
        auto c = newContext();
        addTerminals(*c, 3);
        ASSERT_TRUE(c->save());
    }
    size_t prepared = 0;
    {
        auto first = newContext();
        EXPECT_EQ(first->fetch("Terminal", "terminalId == %@", std::string("T1")).size(), 1u);
        EXPECT_EQ(first->count("TerminalParam", "name == %@", std::string("P0")), 2u);
        prepared = first->preparedStatements();
        ASSERT_GE(prepared, 2u);
    }
    {
        auto next = newContext();
        EXPECT_EQ(next->fetch("Terminal", "terminalId == %@", std::string("T2")).size(), 1u);
        EXPECT_EQ(next->preparedStatements(), prepared) << "the first one's connection, its count statement too";
    }
    {
        auto writer = newContext();
        ASSERT_TRUE(writer->beginWrite());
        writer->insert("Terminal")->setValue("terminalId", std::string("T-undone"));
        ASSERT_TRUE(writer->flush());
    }
    auto after = newContext();
    EXPECT_EQ(after->count("Terminal", "TRUEPREDICATE"), 3u);
    after->insert("Terminal")->setValue("terminalId", std::string("T-saved"));
    EXPECT_TRUE(after->save());
    EXPECT_EQ(newContext()->count("Terminal", "TRUEPREDICATE"), 4u);
}

} // namespace
} // namespace tavlo::test
