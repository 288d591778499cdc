// The store checked at start: a store with damaged pages or a damaged header, and one that
// cannot be written, are set aside (never deleted) and a fresh store keeps the unsent queue rows
// SQLite can still read; a sound store and a missing one are left alone.
#include "core/session/LocalStoreModel.h"
#include "core/session/StoreCheck.h"
#include "platform/store/ObjectContext.h"
#include "platform/store/ObjectStore.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace tavlo {
namespace {

namespace fs = std::filesystem;

class StoreCheckTest : public ::testing::Test {
protected:
    // A store with three queue rows (one sent) and, after them, enough recipes to fill pages of
    // their own at the end of the file. Closed, so that its log is in the file.
    void makeStore() {
        Error error;
        std::shared_ptr<ObjectStore> store = ObjectStore::open(LocalStoreModel::build(), path, &error);
        ASSERT_TRUE(store) << error.localizedDescription();
        ObjectContext context(store);
        for (const char* id : {"O-1", "O-2", "O-3"}) {
            ManagedObjectPtr row = context.insert("OrderQueue");
            row->setValue("remoteId", std::string(id));
            row->setValue("type", std::string("order"));
            row->setValue("request", std::string("<customerOrder id=\"") + id + "\"/>");
            row->setValue("created", Date(1'700'000'000.0));
            if (std::string(id) == "O-3") row->setValue("sentDate", Date(1'700'000'100.0));
        }
        ASSERT_TRUE(context.save(&error)) << error.localizedDescription();
        for (int i = 0; i < 2000; ++i) {
            ManagedObjectPtr recipe = context.insert("Recipe");
            recipe->setValue("recipeId", "R-" + std::to_string(i) + std::string(80, 'r'));
        }
        ASSERT_TRUE(context.save(&error)) << error.localizedDescription();
    }
    // Writes `bytes` of garbage at `offset` (from the end when negative).
    void damage(std::streamoff offset, size_t bytes) {
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(offset, offset < 0 ? std::ios::end : std::ios::beg);
        file << std::string(bytes, '\x5A');
    }
    fs::path setAsideFile() const {
        for (const auto& entry : fs::directory_iterator(home.path()))
            if (const std::string name = entry.path().filename().string();
                name.starts_with("TavloMobile.sqlite.broken-") && !name.ends_with("-wal") && !name.ends_with("-shm"))
                return entry.path();
        return {};
    }
    // The unsent queue rows of the store now at `path`, by remote id and request.
    std::vector<std::string> queue() {
        std::shared_ptr<ObjectStore> store = ObjectStore::open(LocalStoreModel::build(), path, nullptr);
        if (!store) return {"no store"};
        ObjectContext context(store);
        std::vector<std::string> rows;
        for (const ManagedObjectPtr& row : context.fetch(FetchRequest("OrderQueue", std::nullopt, {{"remoteId"}})))
            rows.push_back(row->text("remoteId").value_or("") + " " + row->text("request").value_or(""));
        return rows;
    }

    test::TempHome home;
    fs::path path = home.path() / "TavloMobile.sqlite";
};

TEST_F(StoreCheckTest, ASoundStoreAndAMissingOneAreLeftAlone) {
    StoreCheck::Result missing = StoreCheck::run(path, LocalStoreModel::build());
    EXPECT_TRUE(missing.healthy);
    EXPECT_FALSE(fs::exists(path));

    makeStore();
    StoreCheck::Result sound = StoreCheck::run(path, LocalStoreModel::build());
    EXPECT_TRUE(sound.healthy) << sound.problem;
    EXPECT_EQ(StoreCheck::message(sound), "");
    EXPECT_EQ(queue().size(), 3u);
}

TEST_F(StoreCheckTest, DamagedPagesAreSetAsideAndTheUnsentQueueRowsTakenBack) {
    makeStore();
    const auto size = fs::file_size(path);
    damage(-8192, 4096); // a page of recipes near the end

    StoreCheck::Result result = StoreCheck::run(path, LocalStoreModel::build());
    EXPECT_FALSE(result.healthy);
    EXPECT_FALSE(result.problem.empty());
    ASSERT_TRUE(result.setAside);
    EXPECT_EQ(*result.setAside, setAsideFile());
    EXPECT_EQ(fs::file_size(*result.setAside), size) << "set aside whole, not mended";
    EXPECT_EQ(result.ordersTakenBack, 2);
    EXPECT_EQ(queue(),
              (std::vector<std::string>{"O-1 <customerOrder id=\"O-1\"/>", "O-2 <customerOrder id=\"O-2\"/>"}));
    const std::string message = StoreCheck::message(result);
    EXPECT_NE(message.find("It was set aside as " + result.setAside->string()), std::string::npos) << message;
    EXPECT_NE(message.find("Unsent orders taken back: 2."), std::string::npos) << message;
    EXPECT_NE(message.find("loaded afresh from the store server"), std::string::npos) << message;

    // The fresh store passes at the next start.
    EXPECT_TRUE(StoreCheck::run(path, LocalStoreModel::build()).healthy);
}

TEST_F(StoreCheckTest, ADamagedHeaderIsSetAsideAndSaysNothingCouldBeRead) {
    makeStore();
    damage(0, 16);
    StoreCheck::Result result = StoreCheck::run(path, LocalStoreModel::build());
    EXPECT_FALSE(result.healthy);
    EXPECT_EQ(result.problem, "file is not a database");
    ASSERT_TRUE(result.setAside);
    EXPECT_TRUE(fs::exists(*result.setAside));
    EXPECT_EQ(result.ordersTakenBack, 0);
    EXPECT_FALSE(result.takeBackFailure.empty());
    EXPECT_NE(StoreCheck::message(result).find("Not all could be read"), std::string::npos);
}

TEST_F(StoreCheckTest, AStoreThatCannotBeWrittenIsSetAsideWithItsRows) {
    makeStore();
    if (geteuid() == 0) {
        // The owner of every file writes even a read-only one: its log cannot be made instead.
        fs::create_directory(fs::path(path.string() + "-wal"));
    } else {
        fs::permissions(path, fs::perms::owner_read);
    }
    StoreCheck::Result result = StoreCheck::run(path, LocalStoreModel::build());
    EXPECT_FALSE(result.healthy);
    EXPECT_FALSE(result.problem.empty());
    ASSERT_TRUE(result.setAside);
    EXPECT_TRUE(fs::exists(*result.setAside));
    EXPECT_EQ(queue().size(), static_cast<size_t>(result.ordersTakenBack));
}

} // namespace
} // namespace tavlo
