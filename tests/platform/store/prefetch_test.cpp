#include "StoreTestModel.h"

#include <string>
#include <vector>

namespace tavlo::test {
namespace {

using PrefetchTest = StoreTest;

// The members of an owner's to-many as it gives them: the key of a stored one, the text of a new
// one (two contexts give their new rows keys of their own).
std::vector<std::string> membersOf(const ManagedObjectPtr& owner, const std::string& relationship,
                                   const char* text) {
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
        for (int t = 0; t < kTerminals; ++t) {
            auto terminal = c->insert("Terminal");
            terminal->setValue("terminalId", "T" + std::to_string(t));
            for (int p = 0; p < t % 4; ++p) {
                auto param = c->insert("TerminalParam");
                param->setValue("name", "P" + std::to_string(p));
                param->setToOne("terminal", terminal);
            }
        }
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
        auto paramOf = [&](int t) { return c.fetchFirst("TerminalParam", "terminal.terminalId == %@", "T" + std::to_string(t)); };
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
    size_t paramCount = 0, userCount = 0;
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
        userCount += members.size();
    }
    EXPECT_EQ(params.size(), paramCount);
    EXPECT_EQ(users.size(), userCount);
    // The changes themselves, as a check on both.
    auto terminal = [&](const char* id) { return prefetched->fetchFirst("Terminal", "terminalId == %@", std::string(id)); };
    EXPECT_EQ(terminal("T3")->toMany("terminalParams").size(), 2u);
    EXPECT_EQ(terminal("T4")->toMany("terminalParams").size(), 1u);
    EXPECT_EQ(terminal("T7")->toMany("terminalParams").size(), 2u);
    EXPECT_EQ(membersOf(terminal("T8"), "terminalParams", "name"), std::vector<std::string>{"added"});
    EXPECT_EQ(membersOf(terminal("T-new"), "terminalParams", "name"), std::vector<std::string>{"first"});
    EXPECT_TRUE(prefetched->fetchFirst("Role", "roleId == %@", "R2")->toMany("users").empty());

    EXPECT_THROW(prefetched->prefetch(terminals, "area"), std::invalid_argument);  // a to-one
    EXPECT_TRUE(prefetched->prefetch({}, "terminalParams").empty());
}

} // namespace
} // namespace tavlo::test
