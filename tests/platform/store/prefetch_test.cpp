#include "StoreTestModel.h"

#include <set>
#include <string>
#include <vector>

namespace tavlo::test {
namespace {

using PrefetchTest = StoreTest;

// The members of an owner's to-many as it gives them: the key of a stored one, the text of a new
// one (two contexts give their new rows keys of their own).
std::vector<std::string> membersOf(const ManagedObjectPtr& owner, const std::string& relationship, const char* text) {
    std::vector<std::string> members;
    for (const ManagedObjectPtr& m : owner->toMany(relationship))
        members.push_back(m->isInserted() ? m->text(text).value_or("?") : std::to_string(m->objectID().primaryKey()));
    return members;
}

// Lists kept by the members' column (terminals' parameters) and kept in a table of pairs (roles'
// users), over more owners than one statement takes, with unsaved changes on top: a member moved,
// one deleted, one new, an owner new to the store, a pair added and one removed. Read at once for
// every owner, each list is what reading it alone gives.
TEST_F(PrefetchTest, EveryOwnersListIsWhatItsOwnReadGivesUnsavedChangesIncluded) {
    constexpr int kTerminals = 450, kRoles = 230;
    {
        auto c = newContext();
        std::vector<ManagedObjectPtr> users;
        for (int u = 0; u < 5; ++u) users.push_back(c->insert("User"));
        addTerminals(*c, kTerminals);
        for (int r = 0; r < kRoles; ++r) {
            auto role = c->insert("Role");
            role->setValue("roleId", "R" + std::to_string(r));
            for (int u = 0; u < r % 3; ++u) role->addTo("users", users[(r + u) % users.size()]);
        }
        ASSERT_TRUE(c->save());
    }
    // The same changes in two contexts, no list read yet in either (the rows found by key paths).
    auto change = [](ObjectContext& c) {
        auto terminal = [&](int t) { return c.fetchFirst("Terminal", "terminalId == %@", "T" + std::to_string(t)); };
        auto paramOf = [&](int t) {
            return c.fetchFirst("TerminalParam", "terminal.terminalId == %@", "T" + std::to_string(t));
        };
        paramOf(3)->setToOne("terminal", terminal(4));
        c.deleteObject(paramOf(7));
        auto added = c.insert("TerminalParam");
        added->setValue("name", "added");
        added->setToOne("terminal", terminal(8));
        auto fresh = c.insert("Terminal");
        fresh->setValue("terminalId", "T-new");
        auto first = c.insert("TerminalParam");
        first->setValue("name", "first");
        first->setToOne("terminal", fresh);
        auto user = c.fetchFirst("User", "TRUEPREDICATE");
        c.fetchFirst("Role", "roleId == %@", "R1")->addTo("users", user);
        auto roleTwo = c.fetchFirst("Role", "roleId == %@", "R2");
        roleTwo->setToMany("users", {});
    };
    auto prefetched = newContext(), alone = newContext();
    change(*prefetched);
    change(*alone);

    std::vector<ManagedObjectPtr> terminals = prefetched->fetchAll("Terminal");
    std::vector<ManagedObjectPtr> roles = prefetched->fetchAll("Role");
    ASSERT_EQ(terminals.size(), kTerminals + 1u);
    std::vector<ManagedObjectPtr> params = prefetched->prefetch(terminals, "terminalParams");
    std::vector<ManagedObjectPtr> users = prefetched->prefetch(roles, "users");
    size_t paramCount = 0;
    std::set<std::string> distinctUsers;
    for (const ManagedObjectPtr& t : terminals) {
        ManagedObjectPtr same = alone->fetchFirst("Terminal", "terminalId == %@", *t->text("terminalId"));
        ASSERT_TRUE(same) << *t->text("terminalId");
        std::vector<std::string> members = membersOf(t, "terminalParams", "name");
        EXPECT_EQ(members, membersOf(same, "terminalParams", "name")) << *t->text("terminalId");
        paramCount += members.size();
    }
    for (const ManagedObjectPtr& r : roles) {
        std::vector<std::string> members = membersOf(r, "users", "userId");
        EXPECT_EQ(members, membersOf(alone->objectWithID(r->objectID()), "users", "userId")) << *r->text("roleId");
        distinctUsers.insert(members.begin(), members.end());
    }
    EXPECT_EQ(params.size(), paramCount);
    EXPECT_EQ(users.size(), distinctUsers.size()); // a user of many roles answered once
    // The changes themselves, as a check on both.
    auto terminal = [&](const char* id) {
        return prefetched->fetchFirst("Terminal", "terminalId == %@", std::string(id));
    };
    EXPECT_EQ(terminal("T3")->toMany("terminalParams").size(), 2u);
    EXPECT_EQ(terminal("T4")->toMany("terminalParams").size(), 1u);
    EXPECT_EQ(terminal("T7")->toMany("terminalParams").size(), 2u);
    EXPECT_EQ(membersOf(terminal("T8"), "terminalParams", "name"), std::vector<std::string>{"added"});
    EXPECT_EQ(membersOf(terminal("T-new"), "terminalParams", "name"), std::vector<std::string>{"first"});
    EXPECT_TRUE(prefetched->fetchFirst("Role", "roleId == %@", "R2")->toMany("users").empty());

    EXPECT_THROW(prefetched->prefetch(terminals, "terminalId"), std::invalid_argument); // an attribute
    EXPECT_TRUE(prefetched->prefetch({}, "terminalParams").empty());
}

// Three days of orders (more per day than one statement takes), each order at one of a few
// tables of a few areas or none, by one of a few users or none, with 0-3 lines.
class PrefetchPathTest : public StoreTest {
protected:
    static constexpr int kOrders = 460;
    void SetUp() override {
        StoreTest::SetUp();
        auto c = newContext();
        std::vector<ManagedObjectPtr> batches, tables, users;
        for (int b = 0; b < 3; ++b) {
            batches.push_back(c->insert("StoreBatch"));
            batches.back()->setValue("remoteId", "B" + std::to_string(b));
        }
        for (int a = 0; a < 4; ++a) {
            auto area = c->insert("Area");
            area->setValue("areaId", "A" + std::to_string(a));
            for (int l = 0; l < 2; ++l) {
                tables.push_back(c->insert("AreaLocation"));
                tables.back()->setValue("areaLocationId", "L" + std::to_string(a) + std::to_string(l));
                tables.back()->setToOne("area", area);
            }
        }
        for (int u = 0; u < 3; ++u) {
            users.push_back(c->insert("User"));
            users.back()->setValue("userId", "U" + std::to_string(u));
        }
        for (int o = 0; o < kOrders; ++o) {
            auto order = c->insert("Order");
            order->setValue("name", "O" + std::to_string(o));
            order->setToOne("storeBatch", batches[static_cast<size_t>(o % 3)]);
            if (o % 5) order->setToOne("areaLocation", tables[static_cast<size_t>(o % 7) % tables.size()]);
            if (o % 4) order->setToOne("user", users[static_cast<size_t>(o % 3)]);
            for (int s = 0; s < o % 4; ++s) {
                auto line = c->insert("Selection");
                line->setValue("name", "S" + std::to_string(o) + "-" + std::to_string(s));
                line->setToOne("order", order);
            }
        }
        ASSERT_TRUE(c->save());
    }
    // What a path leads to from each batch, read one object at a time: "entity key name" texts.
    static std::set<std::string> faulted(const std::vector<ManagedObjectPtr>& batches, const std::string& toOnePath,
                                         const char* name) {
        std::set<std::string> out;
        for (const ManagedObjectPtr& batch : batches)
            for (const ManagedObjectPtr& order : batch->toMany("orders")) {
                if (toOnePath == "selections") {
                    for (const ManagedObjectPtr& line : order->toMany("selections")) out.insert(said(line, name));
                } else if (ManagedObjectPtr target = order->toOne(toOnePath)) {
                    out.insert(said(target, name));
                }
            }
        return out;
    }
    static std::string said(const ManagedObjectPtr& o, const char* name) {
        return o->entityName() + " " + std::to_string(o->objectID().primaryKey()) + " " + o->text(name).value_or("-");
    }
};

// Paths of to-ones and to-manys from the days, read at once, lead to the objects and values that
// reading one object at a time leads to; each object answered once.
TEST_F(PrefetchPathTest, APathGivesWhatReadingOneByOneGives) {
    const std::pair<const char*, const char*> paths[] = {{"areaLocation", "areaLocationId"},
                                                         {"areaLocation.area", "areaId"},
                                                         {"user", "userId"},
                                                         {"selections", "name"}};
    auto alone = newContext();
    for (const auto& [path, name] : paths) {
        auto prefetched = newContext();
        ObjectContext::ReadScope read(*prefetched, ObjectContext::ReadScope::Hold::Objects);
        std::vector<ManagedObjectPtr> reached =
            prefetched->prefetch(prefetched->fetchAll("StoreBatch"), std::string("orders.") + path);
        std::set<std::string> said;
        for (const ManagedObjectPtr& o : reached) said.insert(PrefetchPathTest::said(o, name));
        EXPECT_EQ(said.size(), reached.size()) << path;
        EXPECT_EQ(said, faulted(alone->fetchAll("StoreBatch"), path, name)) << path;
    }
    auto c = newContext();
    EXPECT_THROW(c->prefetch(c->fetchAll("StoreBatch"), "orders.nothing"), std::invalid_argument);
    std::vector<ManagedObjectPtr> mixed = {c->fetchAll("StoreBatch").front(), c->fetchAll("User").front()};
    EXPECT_THROW(c->prefetch(mixed, "orders"), std::invalid_argument);
    EXPECT_TRUE(c->prefetch(c->fetch("Order", "name == %@", std::string("O0")), "user.roles").empty()); // no user
}

// After a prefetch the lists and the rows they name are in the context: reading them reads
// nothing from the file, so another context's later save shows in none of them (a row read again
// would take the stored values).
TEST_F(PrefetchPathTest, WhatWasPrefetchedIsNotReadAgain) {
    auto reader = newContext();
    std::vector<ManagedObjectPtr> orders = reader->fetchAll("Order");
    std::vector<ManagedObjectPtr> lines = reader->prefetch(orders, "selections");
    std::vector<ManagedObjectPtr> tables = reader->prefetch(orders, "areaLocation");
    {
        auto writer = newContext();
        for (const ManagedObjectPtr& line : writer->fetchAll("Selection")) line->setValue("name", "renamed");
        for (const ManagedObjectPtr& table : writer->fetchAll("AreaLocation"))
            table->setValue("areaLocationId", "moved");
        ASSERT_TRUE(writer->save());
    }
    size_t seen = 0;
    for (const ManagedObjectPtr& order : orders) {
        for (const ManagedObjectPtr& line : order->toMany("selections")) {
            EXPECT_NE(line->text("name"), "renamed");
            ++seen;
        }
        if (ManagedObjectPtr table = order->toOne("areaLocation")) {
            EXPECT_NE(table->text("areaLocationId"), "moved");
        }
    }
    EXPECT_EQ(seen, lines.size());
    EXPECT_EQ(tables.size(), 7u); // the tables the orders name, each once
}

// A scope that holds objects keeps every row read inside alive until it ends, held or not.
TEST_F(PrefetchPathTest, AHoldingScopeKeepsWhatItReadUntilItEnds) {
    auto c = newContext();
    std::weak_ptr<ManagedObject> table, line;
    {
        ObjectContext::ReadScope read(*c, ObjectContext::ReadScope::Hold::Objects);
        {
            ObjectContext::ReadScope inner(*c); // a scope inside that holds nothing lets go of nothing
            ManagedObjectPtr order = c->fetchFirst("Order", "name == %@", std::string("O3"));
            table = order->toOne("areaLocation");
            line = order->toMany("selections").front();
        }
        EXPECT_FALSE(table.expired());
        EXPECT_FALSE(line.expired());
    }
    EXPECT_TRUE(table.expired());
    EXPECT_TRUE(line.expired());
    {
        ObjectContext::ReadScope read(*c);
        line = c->fetchFirst("Selection", "TRUEPREDICATE");
        EXPECT_TRUE(line.expired()); // a plain scope keeps nothing
    }
}

// Fetches of one shape, lists of one relationship and prefetches take a statement prepared once:
// the second of each prepares nothing new.
TEST_F(PrefetchPathTest, StatementsArePreparedOncePerShape) {
    auto c = newContext();
    auto byName = [&](const char* name) { return c->fetchFirst("Order", "name == %@", std::string(name)); };
    ManagedObjectPtr first = byName("O1");
    const size_t afterFirst = c->preparedStatements();
    EXPECT_GT(afterFirst, 0u);
    ManagedObjectPtr second = byName("O2");
    ASSERT_TRUE(first && second);
    EXPECT_NE(first, second);
    EXPECT_EQ(c->preparedStatements(), afterFirst);
    first->toMany("selections");
    const size_t afterList = c->preparedStatements();
    EXPECT_EQ(afterList, afterFirst + 1);
    second->toMany("selections");
    byName("O9")->toMany("selections");
    EXPECT_EQ(c->preparedStatements(), afterList);
    std::vector<ManagedObjectPtr> orders = c->fetch("Order", "storeBatch.remoteId == %@", std::string("B0"));
    const size_t afterFetch = c->preparedStatements();
    c->prefetch(orders, "areaLocation.area");
    const size_t afterPrefetch = c->preparedStatements();
    c->fetch("Order", "storeBatch.remoteId == %@", std::string("B1"));
    c->prefetch(c->fetch("Order", "storeBatch.remoteId == %@", std::string("B2")), "areaLocation.area");
    EXPECT_EQ(c->preparedStatements(), afterPrefetch);
    EXPECT_EQ(afterPrefetch, afterFetch + 2); // the tables by key, then their areas by key
    c->fetch("Order", "name == %@ OR name == %@", std::string("O1"), std::string("O2")); // another shape
    EXPECT_EQ(c->preparedStatements(), afterPrefetch + 1);
}

} // namespace
} // namespace tavlo::test
