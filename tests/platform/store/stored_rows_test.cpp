#include "StoreTestModel.h"

#include <map>
#include <string>
#include <vector>

namespace tavlo::test {
namespace {

// Terminals T0..T1199 with t % 4 parameters each, and two orders of batch "B1" (one at a table of
// an area, one at none) beside one of another batch.
class StoredRowsTest : public StoreTest {
protected:
    static constexpr int kTerminals = 1200;

    void SetUp() override {
        StoreTest::SetUp();
        auto c = newContext();
        addTerminals(*c, kTerminals);
        auto batch = c->insert("StoreBatch"), other = c->insert("StoreBatch");
        batch->setValue("remoteId", "B1");
        other->setValue("remoteId", "B2");
        auto area = c->insert("Area");
        area->setValue("areaId", "A1");
        auto table = c->insert("AreaLocation");
        table->setToOne("area", area);
        for (auto [name, total, b, atTable] :
             {std::tuple{"Table 1", 1200, batch, true}, std::tuple{"Bar 2", 800, batch, false},
              std::tuple{"Table 3", 500, other, true}}) {
            auto order = c->insert("Order");
            order->setValue("name", std::string(name));
            order->setValue("total", total);
            order->setToOne("storeBatch", b);
            if (atTable) order->setToOne("areaLocation", table);
        }
        ASSERT_TRUE(c->save());
    }
};

// The rows a request matches, in its order, with attributes, to-ones as their target's key and key
// paths along to-ones (nil along an empty one), as stored: changes not saved are not seen.
TEST_F(StoredRowsTest, ARequestsRowsAsTheirValues) {
    auto c = newContext();
    c->fetchFirst("Order", "name == %@", std::string("Bar 2"))->setValue("total", 1);
    const FetchRequest request("Order", Predicate::format("storeBatch.remoteId == %@", std::string("B1")),
                               std::vector<SortDescriptor>{{"name"}});
    const StoredRows rows = c->fetchRows(request, {"name", "total", "areaLocation", "areaLocation.area.areaId"});
    const std::vector<ManagedObjectPtr> objects = c->fetch(request);
    ASSERT_EQ(rows.size(), 2u);
    ASSERT_EQ(objects.size(), 2u);
    for (size_t row = 0; row < rows.size(); ++row) EXPECT_EQ(rows.key(row), objects[row]->objectID().primaryKey());
    EXPECT_EQ(rows.column("areaLocation.area.areaId"), 3u);
    EXPECT_EQ(rows.value(0, 0).text(), "Bar 2");
    EXPECT_EQ(rows.value(0, 1).integer(), 800) << "as stored";
    EXPECT_EQ(rows.value(0, 2).integer(), 0) << "no table";
    EXPECT_TRUE(rows.value(0, 3).isNil());
    EXPECT_EQ(rows.value(1, 0).text(), "Table 1");
    EXPECT_EQ(rows.value(1, 2).integer(), objects[1]->toOne("areaLocation")->objectID().primaryKey());
    EXPECT_EQ(rows.value(1, 3).text(), "A1");
    EXPECT_EQ(rows.owner(1), 0);

    EXPECT_THROW(rows.column("seats"), std::invalid_argument) << "not fetched";
    EXPECT_THROW(c->fetchRows(request, {"nothing"}), std::invalid_argument);
    EXPECT_THROW(c->fetchRows(request, {"selections"}), std::invalid_argument) << "a to-many";
}

// The members of many owners' lists: runs of owners read as ranges that also hold rows of owners
// not asked for, scattered owners in lists of a few hundred; each asked owner's members, by owner
// then key, as its own list gives them, and nothing of the others.
TEST_F(StoredRowsTest, ManyOwnersMembersComeByOwnerThenKey) {
    auto c = newContext();
    std::vector<ManagedObjectPtr> terminals = c->fetchAll("Terminal");
    std::sort(terminals.begin(), terminals.end(), [](const ManagedObjectPtr& a, const ManagedObjectPtr& b) {
        return a->objectID().primaryKey() < b->objectID().primaryKey();
    });
    std::vector<int64_t> owners;
    size_t scatteredOwners = 0;
    std::map<int64_t, std::vector<int64_t>> want;
    for (size_t t = 0; t < terminals.size(); ++t) {
        // Every terminal from 100 to 199 (a run), every fifth of the rest (scattered); not T150.
        const bool run = t >= 100 && t < 200 && t != 150, scattered = t % 5 == 1 && (t < 100 || t >= 200);
        if (!run && !scattered) continue;
        const int64_t key = terminals[t]->objectID().primaryKey();
        owners.push_back(key);
        if (scattered) ++scatteredOwners;
        for (const ManagedObjectPtr& param : terminals[t]->toMany("terminalParams"))
            want[key].push_back(param->objectID().primaryKey());
    }
    ASSERT_GT(scatteredOwners, 200u) << "more than one list";
    std::reverse(owners.begin(), owners.end()); // in any order, twice
    owners.push_back(owners.front());

    const StoredRows rows = c->fetchMembers("Terminal", "terminalParams", owners, {"name", "terminal.terminalId"});
    std::map<int64_t, std::vector<int64_t>> got;
    int64_t lastOwner = 0;
    for (size_t row = 0; row < rows.size(); ++row) {
        EXPECT_GE(rows.owner(row), lastOwner);
        lastOwner = rows.owner(row);
        got[rows.owner(row)].push_back(rows.key(row));
        EXPECT_EQ(
            rows.value(row, 1).text(),
            c->objectWithID(ObjectID(&c->model().requireEntity("Terminal"), rows.owner(row)))->text("terminalId"));
    }
    EXPECT_EQ(got, want);

    EXPECT_TRUE(c->fetchMembers("Terminal", "terminalParams", {}, {"name"}).empty());
    EXPECT_THROW(c->fetchMembers("Role", "users", owners, {"userId"}), std::invalid_argument) << "a table of pairs";
    EXPECT_THROW(c->fetchMembers("TerminalParam", "terminal", owners, {"name"}), std::invalid_argument);
}

// Rows by their keys: the keys asked for and no others, by key, whatever the order asked in.
TEST_F(StoredRowsTest, RowsByTheirKeys) {
    auto c = newContext();
    std::vector<int64_t> keys, all;
    for (const ManagedObjectPtr& param : c->fetchAll("TerminalParam")) all.push_back(param->objectID().primaryKey());
    std::sort(all.begin(), all.end());
    for (size_t i = 0; i < all.size(); ++i)
        if (i < 60 || i % 7 == 0) keys.push_back(all[i]);
    keys.push_back(keys.front());
    std::reverse(keys.begin(), keys.end());
    const StoredRows rows = c->fetchRows("TerminalParam", keys, {"name"});
    std::vector<int64_t> got;
    for (size_t row = 0; row < rows.size(); ++row) got.push_back(rows.key(row));
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    EXPECT_EQ(got, keys);
    EXPECT_EQ(rows.value(0, 0).text(),
              c->objectWithID(ObjectID(&c->model().requireEntity("TerminalParam"), keys[0]))->text("name"));
}

} // namespace
} // namespace tavlo::test
