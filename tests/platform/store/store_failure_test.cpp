#include "StoreTestModel.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavlo::test {
namespace {

// A small tmpfs of its own (needs root); mounted() is false where that is not possible.
class TinyFileSystem {
public:
    TinyFileSystem(const std::filesystem::path& dir, const char* size) : dir_(dir) {
        std::filesystem::create_directories(dir_);
        std::string options = std::string("size=") + size;
        mounted_ = geteuid() == 0 && ::mount("tmpfs", dir_.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~TinyFileSystem() {
        if (mounted_) ::umount2(dir_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }

private:
    std::filesystem::path dir_;
    bool mounted_ = false;
};

// Makes one file read-only for connections opened from now on: a read-only bind mount over it
// for root (whom permissions do not stop), its permission bits otherwise.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(std::filesystem::path file) : file_(std::move(file)) {}
    ~ReadOnlyFile() { set(false); }
    bool set(bool on) {
        if (on == on_) return true;
        if (geteuid() != 0) {
            on_ = on;
            return chmod(file_.c_str(), on ? 0444 : 0644) == 0;
        }
        if (on) {
            if (::mount(file_.c_str(), file_.c_str(), nullptr, MS_BIND, nullptr) != 0) return false;
            if (::mount(nullptr, file_.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
                ::umount2(file_.c_str(), MNT_DETACH);
                return false;
            }
        } else if (::umount2(file_.c_str(), MNT_DETACH) != 0) {
            return false;
        }
        on_ = on;
        return true;
    }

private:
    std::filesystem::path file_;
    bool on_ = false;
};

std::string bulk(int n) { return std::string(static_cast<size_t>(n), 'x'); }

// Saves two rows, then (after `breakIt`) tries a save that must fail; checks that the failure is
// reported, the context keeps its changes, the file keeps the saved rows, and that the same
// context saves once `mendIt` ran.
void expectFailedSaveKeepsEverything(const std::shared_ptr<ObjectStore>& store, int rows, int rowBytes,
                                     const std::function<void()>& breakIt, const std::function<void()>& mendIt,
                                     int expectedCode) {
    {
        ObjectContext seed(store);
        for (const char* id : {"kept1", "kept2"}) seed.insert("Terminal")->setValue("terminalId", id);
        ASSERT_TRUE(seed.save());
    }
    breakIt();
    ObjectContext c(store);
    auto changed = c.fetchFirst("Terminal", "terminalId == %@", "kept1");
    ASSERT_TRUE(changed);
    changed->setValue("name", "changed");
    for (int i = 0; i < rows; ++i) {
        auto t = c.insert("Terminal");
        t->setValue("terminalId", "new" + std::to_string(i));
        t->setValue("networkName", bulk(rowBytes));
    }
    Error error;
    EXPECT_FALSE(c.save(&error));
    EXPECT_EQ(error.domain(), kObjectStoreErrorDomain);
    EXPECT_EQ(error.code(), expectedCode) << error.localizedDescription();
    EXPECT_FALSE(error.localizedDescription().empty());
    EXPECT_TRUE(c.hasChanges());
    EXPECT_EQ(c.insertedObjects().size(), static_cast<size_t>(rows));
    EXPECT_EQ(changed->text("name"), "changed");
    EXPECT_EQ(c.count(FetchRequest("Terminal")), static_cast<size_t>(rows + 2));

    ObjectContext reader(store);
    EXPECT_EQ(reader.count(FetchRequest("Terminal")), 2u);
    EXPECT_FALSE(reader.fetchFirst("Terminal", "terminalId == %@", "kept1")->text("name"));

    mendIt();
    for (const auto& o : c.insertedObjects())
        if (o->text("terminalId") != "new0") c.deleteObject(o);
    Error again;
    ASSERT_TRUE(c.save(&again)) << again.localizedDescription();
    ObjectContext after(store);
    EXPECT_EQ(after.count(FetchRequest("Terminal")), 3u);
    EXPECT_EQ(after.fetchFirst("Terminal", "terminalId == %@", "kept1")->text("name"), "changed");
}

TEST(StoreFailureTest, SaveBeyondTheStoreSizeLimitFailsAndKeepsChanges) {
    TempHome home;
    ObjectStore::Options options;
    options.maxFileBytes = 256 * 1024;
    Error error;
    auto store = ObjectStore::open(storeTestModel(), ObjectStore::defaultPath(), &error, options);
    ASSERT_TRUE(store) << error.localizedDescription();
    expectFailedSaveKeepsEverything(
        store, 400, 2000, [] {}, [] {}, kStoreFull);
}

TEST(StoreFailureTest, SaveOnAFullDiskFailsAndKeepsChanges) {
    TempHome home;
    TinyFileSystem disk(home.path() / "disk", "512k");
    if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a small file system";
    Error error;
    auto store = ObjectStore::open(storeTestModel(), home.path() / "disk" / "Tavlo.sqlite", &error);
    ASSERT_TRUE(store) << error.localizedDescription();
    expectFailedSaveKeepsEverything(
        store, 400, 2000, [] {}, [] {}, kStoreFull);
}

TEST(StoreFailureTest, SaveIntoAReadOnlyFileFailsAndKeepsChanges) {
    TempHome home;
    Error error;
    auto store = ObjectStore::open(storeTestModel(), ObjectStore::defaultPath(), &error);
    ASSERT_TRUE(store) << error.localizedDescription();
    ReadOnlyFile file(ObjectStore::defaultPath());
    bool made = true;
    expectFailedSaveKeepsEverything(
        store, 3, 10, [&] { made = file.set(true); }, [&] { file.set(false); }, kStoreReadOnly);
    if (!made) GTEST_SKIP() << "the file could not be made read-only here";
}

} // namespace
} // namespace tavlo::test
