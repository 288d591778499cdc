#include "StoreTestModel.h"
#include "platform/store/SqlConnection.h"

#include <sqlite3.h>

namespace tavlo::test {
namespace {

using ReadScopeTest = StoreTest;

TEST_F(ReadScopeTest, FetchesInsideSeeOneStateOfTheFileAndASaveEndsIt) {
    auto reader = newContext();
    auto writer = newContext();
    writer->insert("Area")->setValue("areaId", "A1");
    ASSERT_TRUE(writer->save());
    {
        ObjectContext::ReadScope scope(*reader);
        EXPECT_EQ(reader->count(FetchRequest("Area")), 1u);
        writer->insert("Area")->setValue("areaId", "A2");
        ASSERT_TRUE(writer->save());
        EXPECT_EQ(reader->count(FetchRequest("Area")), 1u); // the state the scope began with
        {
            ObjectContext::ReadScope inner(*reader);
            EXPECT_EQ(reader->count(FetchRequest("Area")), 1u);
        }
        EXPECT_EQ(reader->count(FetchRequest("Area")), 1u);
        reader->insert("Area")->setValue("areaId", "A3");
        Error error;
        ASSERT_TRUE(reader->save(&error)) << error.localizedDescription();
        EXPECT_EQ(reader->count(FetchRequest("Area")), 3u);
    }
    EXPECT_EQ(newContext()->count(FetchRequest("Area")), 3u);
}

TEST_F(ReadScopeTest, CompoundIndexesAreMadeAndChecked) {
    Model model = storeTestModel();
    model.entity("TerminalParam").compoundIndex({"terminal", "name"});
    reopen(std::move(model));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(ObjectStore::defaultPath().c_str(), &db), SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT sql FROM sqlite_master WHERE name = 'Z_TerminalParam_terminal_name'", -1,
                                 &s, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_NE(std::string(reinterpret_cast<const char*>(sqlite3_column_text(s, 0))).find("(\"terminal\", \"name\")"),
              std::string::npos);
    sqlite3_finalize(s);
    sqlite3_close(db);

    Model bad = storeTestModel();
    bad.entity("Terminal").compoundIndex({"name", "terminalParams"}); // a to-many is no column
    EXPECT_THROW(bad.finalize(), std::invalid_argument);
    EXPECT_THROW(Model().entity("Area").compoundIndex({"name"}), std::invalid_argument);
}

} // namespace
} // namespace tavlo::test
