#include "platform/foundation/UserDefaults.h"

#include "platform/foundation/Directories.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <thread>

using namespace tavlo;

TEST(UserDefaults, AbsentKeysReadAsNilZeroAndNo) {
    test::TempHome home;
    auto& defaults = UserDefaults::standardUserDefaults();
    EXPECT_EQ(defaults.stringForKey("store_id"), std::nullopt);
    EXPECT_EQ(defaults.integerForKey("initial_network_timeout"), 0);
    EXPECT_FALSE(defaults.boolForKey("animation"));
    EXPECT_EQ(defaults.doubleForKey("x"), 0.0);
    EXPECT_TRUE(defaults.synchronize());
}

TEST(UserDefaults, ValuesSurviveReopeningAndReadAcrossTypes) {
    test::TempHome home;
    const std::string awkward = "pa\\ss\tw=rd\nline two";
    {
        auto& defaults = UserDefaults::standardUserDefaults();
        defaults.setObject("1001", "store_id");
        defaults.setObject(awkward, "password");
        defaults.setInteger(-25, "initial_network_timeout");
        defaults.setBool(true, "animation");
        defaults.setDouble(0.1, "ratio");
        defaults.setObject("gone", "gateway");
        defaults.setObject(std::optional<std::string>(), "gateway"); // nil removes
        defaults.setObject("x", "device_id");
        defaults.removeObjectForKey("device_id");
        EXPECT_TRUE(defaults.synchronize());
    }
    auto file = documentsDirectory() / UserDefaults::kFileName;
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    UserDefaults reopened(file);
    EXPECT_EQ(reopened.stringForKey("store_id"), "1001");
    EXPECT_EQ(reopened.integerForKey("store_id"), 1001);
    EXPECT_EQ(reopened.stringForKey("password"), awkward);
    EXPECT_EQ(reopened.integerForKey("initial_network_timeout"), -25);
    EXPECT_EQ(reopened.stringForKey("initial_network_timeout"), "-25");
    EXPECT_TRUE(reopened.boolForKey("animation"));
    EXPECT_EQ(reopened.integerForKey("animation"), 1);
    EXPECT_EQ(reopened.doubleForKey("ratio"), 0.1);
    EXPECT_EQ(reopened.stringForKey("gateway"), std::nullopt);
    EXPECT_EQ(reopened.stringForKey("device_id"), std::nullopt);
    EXPECT_TRUE(std::holds_alternative<bool>(*reopened.objectForKey("animation")));
}

TEST(UserDefaults, TheStandardOneFollowsTheDataDirectoryAndSkipsDamagedLines) {
    {
        test::TempHome first;
        UserDefaults::standardUserDefaults().setObject("a", "store_id");
    }
    test::TempHome second;
    EXPECT_EQ(UserDefaults::standardUserDefaults().stringForKey("store_id"), std::nullopt);

    auto file = second.path() / "damaged";
    {
        std::ofstream out(file);
        out << "s\tstore_id\t42\ngarbage without tabs\nz\tunknown\t1\ni\tmsr\t3\n";
    }
    UserDefaults damaged(file);
    EXPECT_EQ(damaged.stringForKey("store_id"), "42");
    EXPECT_EQ(damaged.integerForKey("msr"), 3);
}

TEST(UserDefaults, ConcurrentWritersLoseNothing) {
    test::TempHome home;
    auto& defaults = UserDefaults::standardUserDefaults();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i) defaults.setInteger(i, "k" + std::to_string(t) + "_" + std::to_string(i));
        });
    for (auto& th : threads) th.join();
    UserDefaults reopened(defaults.file());
    for (int t = 0; t < 4; ++t)
        for (int i = 0; i < 25; ++i)
            EXPECT_EQ(reopened.integerForKey("k" + std::to_string(t) + "_" + std::to_string(i)), i);
}
