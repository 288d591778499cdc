#include "StoreTestModel.h"

#include "platform/store/FetchedResultsController.h"

#include <functional>

namespace tavlo::test {
namespace {

// Batches "1" and "2" (not saved), and `add`, which makes an order of the name in a batch (or none).
struct TwoBatches {
    ManagedObjectPtr batch1, batch2;
    std::function<ManagedObjectPtr(const char* name, const ManagedObjectPtr& batch)> add;
};
TwoBatches twoBatches(ObjectContext& c) {
    auto newBatch = [&](const char* id) {
        auto b = c.insert("StoreBatch");
        b->setValue("remoteId", id);
        return b;
    };
    auto add = [&c](const char* name, const ManagedObjectPtr& batch) {
        auto o = c.insert("Order");
        o->setValue("name", name);
        if (batch) o->setToOne("storeBatch", batch);
        return o;
    };
    ManagedObjectPtr first = newBatch("1");
    return {first, newBatch("2"), add};
}

TEST_F(StoreTest, SectionsFollowTheKeyPathAndReReadOnDemand) {
    auto c = newContext();
    auto [batch1, batch2, add] = twoBatches(*c);
    add("b", batch2);
    add("a", batch2);
    add("c", batch1);
    auto loose = add("z", nullptr);
    ASSERT_TRUE(c->save());

    FetchedResultsController list(*c, FetchRequest("Order", std::nullopt, {{"storeBatch.remoteId"}, {"name"}}),
                                  "storeBatch.remoteId");
    ASSERT_TRUE(list.performFetch());
    ASSERT_EQ(list.sections().size(), 3u);
    EXPECT_EQ(list.sections()[0].name, "");
    EXPECT_EQ(list.sections()[1].name, "1");
    EXPECT_EQ(list.sections()[2].name, "2");
    EXPECT_EQ(list.sections()[2].numberOfObjects(), 2u);
    EXPECT_EQ(list.objectAt(2, 0)->text("name"), "a");
    EXPECT_EQ(list.objectAt(2, 2), nullptr);
    EXPECT_EQ(list.objectAt(3, 0), nullptr);
    EXPECT_EQ(list.indexPathForObject(loose), std::make_pair(size_t{0}, size_t{0}));

    add("d", batch1);
    EXPECT_EQ(list.sections()[1].numberOfObjects(), 1u); // no change tracking
    ASSERT_TRUE(list.performFetch());
    EXPECT_EQ(list.sections()[1].numberOfObjects(), 2u);

    list.fetchRequest().predicate = Predicate::format("storeBatch.remoteId == %@", "2");
    ASSERT_TRUE(list.performFetch());
    ASSERT_EQ(list.sections().size(), 1u);
    EXPECT_EQ(list.fetchedObjects().size(), 2u);

    FetchedResultsController flat(*c, FetchRequest("Order", std::nullopt, {{"name", false}}));
    ASSERT_TRUE(flat.performFetch());
    ASSERT_EQ(flat.sections().size(), 1u);
    EXPECT_EQ(flat.sections()[0].name, "");
    EXPECT_EQ(flat.objectAt(0, 0)->text("name"), "z");
}

// A long list reads the rows' ids at the fetch and each row's object only when a batch holding it
// is asked for: a row another context renames after the fetch shows its new name, one renamed
// after its batch was read keeps the old one until the next fetch.
TEST_F(StoreTest, ABatchedListReadsItsRowsWhenTheyAreAskedFor) {
    auto c = newContext();
    for (int i = 0; i < 50; ++i)
        c->insert("Order")->setValue("name", (i < 10 ? "order 0" : "order ") + std::to_string(i));
    ASSERT_TRUE(c->save());
    FetchRequest request("Order", Predicate::format("name != %@", "order 07"), {{"name", false}});
    request.fetchBatchSize = 10;
    FetchedResultsController list(*c, request);
    ASSERT_TRUE(list.performFetch());
    ASSERT_EQ(list.numberOfObjects(), 49u);

    auto other = newContext();
    auto rename = [&](const char* from, const char* to) {
        auto o = other->fetchFirst("Order", "name == %@", from);
        ASSERT_TRUE(o);
        o->setValue("name", to);
        ASSERT_TRUE(other->save());
    };
    EXPECT_EQ(list.objectAt(0, 0)->text("name"), "order 49"); // reads rows 0-9
    rename("order 45", "renamed 45");                         // row 4: read already
    rename("order 20", "renamed 20");                         // row 29: not read yet
    EXPECT_EQ(list.objectAt(0, 4)->text("name"), "order 45");
    EXPECT_EQ(list.objectAt(0, 29)->text("name"), "renamed 20");
    EXPECT_EQ(list.objectAt(0, 49), nullptr);
    EXPECT_EQ(list.objectAt(1, 0), nullptr);
    EXPECT_EQ(list.indexPathForObject(list.objectAt(0, 29)), std::make_pair(size_t{0}, size_t{29}));

    // The same rows in the same order as a list that reads every object at once, unsaved ones too.
    c->insert("Order")->setValue("name", "order 99");
    request.fetchBatchSize = 0;
    FetchedResultsController whole(*c, request);
    ASSERT_TRUE(whole.performFetch());
    ASSERT_TRUE(list.performFetch());
    ASSERT_EQ(list.numberOfObjects(), 50u);
    EXPECT_EQ(list.fetchedObjects(), whole.fetchedObjects());
    ASSERT_EQ(list.sections().size(), 1u);
    EXPECT_EQ(list.sections()[0].numberOfObjects(), 50u);
    EXPECT_EQ(list.objectAt(0, 2)->text("name"), "order 99"); // after the two renamed
}

// A list that names the values it shows reads them with its rows as stored, without objects; a
// row's object is read when asked for (null once deleted). With unsaved changes in the context the
// values come from its objects, so the list shows those changes.
TEST_F(StoreTest, AListOfValuesReadsThemAsStoredOrThroughTheObjectsOfUnsavedChanges) {
    auto c = newContext();
    auto [batch1, batch2, add] = twoBatches(*c);
    add("b", batch2);
    add("a", batch2);
    const ObjectID renamed = add("c", batch1)->objectID();
    add("z", nullptr);
    ASSERT_TRUE(c->save());

    FetchedResultsController list(*c, FetchRequest("Order", std::nullopt, {{"storeBatch.remoteId"}, {"name"}}),
                                  "storeBatch.remoteId");
    list.setValueKeyPaths({"name"});
    auto names = [&] {
        std::vector<std::string> all;
        for (size_t s = 0; s < list.sections().size(); ++s)
            for (size_t r = 0; r < list.sections()[s].numberOfObjects(); ++r)
                all.push_back(list.sections()[s].name + ":" + list.valueAt(s, r, "name").text().value_or("nil"));
        return all;
    };
    ASSERT_TRUE(list.performFetch());
    EXPECT_EQ(names(), (std::vector<std::string>{":z", "1:c", "2:a", "2:b"}));
    EXPECT_EQ(list.valueAt(2, 1, "storeBatch.remoteId").text(), "2"); // the section's key path is read too
    EXPECT_TRUE(list.valueAt(2, 2, "name").isNil());

    auto other = newContext();
    other->deleteObject(other->fetchFirst("Order", "name == %@", "a"));
    ASSERT_TRUE(other->save());
    EXPECT_EQ(list.valueAt(2, 0, "name").text(), "a"); // as of the fetch
    EXPECT_EQ(list.objectAt(2, 0), nullptr);
    ManagedObjectPtr b = list.objectAt(2, 1);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->text("name"), "b");
    EXPECT_EQ(list.indexPathForObject(b), std::make_pair(size_t{2}, size_t{1}));

    c->objectWithID(renamed)->setValue("name", "y");
    add("d", batch1);
    ASSERT_TRUE(list.performFetch());
    EXPECT_EQ(names(), (std::vector<std::string>{":z", "1:d", "1:y", "2:b"}));
    ASSERT_TRUE(c->save());
    ASSERT_TRUE(list.performFetch());
    EXPECT_EQ(names(), (std::vector<std::string>{":z", "1:d", "1:y", "2:b"}));
}

TEST_F(StoreTest, TheDidSaveNotificationCarriesWhatChanged) {
    auto c = newContext();
    auto keep = c->insert("Terminal");
    auto drop = c->insert("Terminal");
    ASSERT_TRUE(c->save());
    std::vector<ObjectContextChanges> seen;
    ScopedObserver observer(ObjectContext::kDidSaveNotification, c.get(), [&](const Notification& n) {
        seen.push_back(std::any_cast<ObjectContextChanges>(n.object));
    });
    keep->setValue("name", "x");
    c->deleteObject(drop);
    auto fresh = c->insert("Terminal");
    ASSERT_TRUE(c->save());
    ASSERT_TRUE(c->save()); // nothing to save: no notification
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].context, c.get());
    EXPECT_EQ(seen[0].store, store.get());
    EXPECT_EQ(seen[0].inserted, std::vector<ObjectID>{fresh->objectID()});
    EXPECT_EQ(seen[0].updated, std::vector<ObjectID>{keep->objectID()});
    EXPECT_EQ(seen[0].deleted, std::vector<ObjectID>{drop->objectID()});
    EXPECT_TRUE(drop->isDeleted());
    EXPECT_EQ(drop->managedObjectContext(), nullptr);
}

} // namespace
} // namespace tavlo::test
