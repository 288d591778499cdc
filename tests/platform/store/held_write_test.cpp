#include "StoreTestModel.h"

#include "platform/foundation/NotificationCenter.h"

#include <set>

namespace tavlo::test {
namespace {

// A context holding one write of the file: what it flushes is in the file for itself, for no one
// else until the save, and all of it or nothing stays.
class HeldWriteTest : public StoreTest {
protected:
    // Terminals "kept0" and "kept1", the second with a parameter, saved before each test.
    void SetUp() override {
        StoreTest::SetUp();
        auto c = newContext();
        for (const char* id : {"kept0", "kept1"}) c->insert("Terminal")->setValue("terminalId", id);
        auto param = c->insert("TerminalParam");
        param->setValue("name", "TS_UID");
        param->setToOne("terminal", c->fetchFirst("Terminal", "terminalId == %@", "kept1"));
        ASSERT_TRUE(c->save());
    }
    // The terminal ids another context reads from the file.
    std::set<std::string> storedIds() {
        std::set<std::string> ids;
        for (const auto& t : newContext()->fetchAll("Terminal")) ids.insert(t->text("terminalId").value_or("(nil)"));
        return ids;
    }
    static void insertTerminals(ObjectContext& c, const std::string& prefix, int n) {
        for (int i = 0; i < n; ++i) {
            auto t = c.insert("Terminal");
            t->setValue("terminalId", prefix + std::to_string(i));
            t->setValue("name", "Till " + std::to_string(i));
        }
    }
};

TEST_F(HeldWriteTest, FlushedRowsAreReadBackInsideTheWriteAndShownToOthersOnlyByTheCommit) {
    auto c = newContext();
    std::vector<ObjectContextChanges> saves;
    ScopedObserver saved(ObjectContext::kDidSaveNotification, nullptr, [&](const Notification& n) {
        saves.push_back(std::any_cast<ObjectContextChanges>(n.object));
    });
    ASSERT_TRUE(c->beginWrite());
    insertTerminals(*c, "new", 500);
    auto kept1 = c->fetchFirst("Terminal", "terminalId == %@", "kept1");
    kept1->setValue("name", "Renamed");
    c->deleteObject(c->fetchFirst("Terminal", "terminalId == %@", "kept0"));
    const ObjectID renamed = kept1->objectID();
    kept1.reset();

    ASSERT_TRUE(c->flush());
    EXPECT_EQ(c->changedCount(), 0u);
    EXPECT_TRUE(saves.empty());
    // The flushed rows are let go: read again from the write, as flushed.
    auto again = c->objectWithID(renamed);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->text("name"), "Renamed");
    EXPECT_FALSE(again->hasChanges());
    EXPECT_EQ(again->toMany("terminalParams").size(), 1u); // the cascade's rows are untouched
    EXPECT_EQ(c->count(FetchRequest("Terminal")), 501u);
    EXPECT_EQ(c->fetchFirst("Terminal", "terminalId == %@", "new7")->text("name"), "Till 7");
    // A flushed row changed again is written again.
    again->setValue("name", "Renamed twice");
    EXPECT_EQ(storedIds(), (std::set<std::string>{"kept0", "kept1"}));

    insertTerminals(*c, "late", 3);
    ASSERT_TRUE(c->save());
    EXPECT_FALSE(c->isWriting());
    std::set<std::string> expected{"kept1", "late0", "late1", "late2"};
    for (int i = 0; i < 500; ++i) expected.insert("new" + std::to_string(i));
    EXPECT_EQ(storedIds(), expected);
    EXPECT_EQ(newContext()->objectWithID(renamed)->text("name"), "Renamed twice");
    // One notification for the whole write, listing the rows of every flush.
    ASSERT_EQ(saves.size(), 1u);
    EXPECT_EQ(saves[0].inserted.size(), 503u);
    EXPECT_EQ(saves[0].deleted.size(), 1u);
}

TEST_F(HeldWriteTest, RollbackAfterFlushesLeavesTheFileAsItWasAndTheContextEmpty) {
    auto c = newContext();
    ASSERT_TRUE(c->beginWrite());
    insertTerminals(*c, "new", 200);
    auto kept0 = c->fetchFirst("Terminal", "terminalId == %@", "kept0");
    c->deleteAll("TerminalParam");
    ASSERT_TRUE(c->flush());
    insertTerminals(*c, "more", 10);
    ASSERT_TRUE(c->flush());
    c->rollback();
    EXPECT_FALSE(c->isWriting());
    EXPECT_FALSE(kept0->managedObjectContext()); // let go: its stored state may have been the write's
    EXPECT_EQ(storedIds(), (std::set<std::string>{"kept0", "kept1"}));
    EXPECT_EQ(newContext()->count(FetchRequest("TerminalParam")), 1u);
    // The context serves again.
    EXPECT_EQ(c->count(FetchRequest("Terminal")), 2u);
    insertTerminals(*c, "after", 1);
    ASSERT_TRUE(c->save());
    EXPECT_EQ(storedIds(), (std::set<std::string>{"after0", "kept0", "kept1"}));
}

TEST_F(HeldWriteTest, AContextThatGoesInsideAWriteUndoesIt) {
    {
        auto c = newContext();
        ASSERT_TRUE(c->beginWrite());
        insertTerminals(*c, "new", 50);
        ASSERT_TRUE(c->flush());
    }
    EXPECT_EQ(storedIds(), (std::set<std::string>{"kept0", "kept1"}));
    auto other = newContext();
    insertTerminals(*other, "other", 1);
    EXPECT_TRUE(other->save()); // the file is free again
}

// Keys freed by deleteAll serve the inserts after a flush as before it: a store emptied and filled
// again in one write keeps its keys.
TEST_F(HeldWriteTest, KeysFreedByDeleteAllServeInsertsAfterAFlush) {
    auto c = newContext();
    insertTerminals(*c, "t", 20);
    ASSERT_TRUE(c->save());
    std::set<int64_t> before;
    for (const auto& t : newContext()->fetchAll("Terminal")) before.insert(t->objectID().primaryKey());

    auto reload = newContext();
    ASSERT_TRUE(reload->beginWrite());
    reload->deleteAll("Terminal");
    reload->insert("Terminal")->setValue("terminalId", "first");
    ASSERT_TRUE(reload->flush());
    insertTerminals(*reload, "t", 21);
    ASSERT_TRUE(reload->save());
    std::set<int64_t> after;
    for (const auto& t : newContext()->fetchAll("Terminal")) after.insert(t->objectID().primaryKey());
    EXPECT_EQ(after, before);
}

TEST_F(HeldWriteTest, AFailedFlushUndoesTheWriteAndEverySaveFailsUntilRollback) {
    reopenSmall();

    auto c = newContext();
    int saves = 0;
    ScopedObserver saved(ObjectContext::kDidSaveNotification, nullptr, [&](const Notification&) { ++saves; });
    ASSERT_TRUE(c->beginWrite());
    insertTerminals(*c, "small", 10);
    ASSERT_TRUE(c->flush());
    for (int i = 0; i < 400; ++i) {
        auto t = c->insert("Terminal");
        t->setValue("terminalId", "big" + std::to_string(i));
        t->setValue("networkName", std::string(2000, 'x'));
    }
    Error flushError;
    EXPECT_FALSE(c->flush(&flushError));
    EXPECT_EQ(flushError.code(), kStoreFull) << flushError.localizedDescription();
    EXPECT_FALSE(c->isWriting());
    // The rows read on after the failure are refused with it: nothing of the write is kept.
    insertTerminals(*c, "after", 2);
    Error saveError;
    EXPECT_FALSE(c->save(&saveError));
    EXPECT_EQ(saveError.code(), kStoreFull);
    EXPECT_EQ(saves, 0);
    EXPECT_EQ(storedIds(), (std::set<std::string>{"kept0", "kept1"}));

    c->rollback();
    insertTerminals(*c, "mended", 1);
    ASSERT_TRUE(c->save());
    EXPECT_EQ(storedIds(), (std::set<std::string>{"kept0", "kept1", "mended0"}));
}

} // namespace
} // namespace tavlo::test
