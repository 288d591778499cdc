#include "platform/security/Keychain.h"

#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

using namespace tavlo;

namespace {

using Status = Keychain::Status;

mode_t fileMode(const std::filesystem::path& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_mode & 0777;
}

std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(Keychain, AddFindDeleteByTag) {
    test::TempHome home;
    const Keychain::Bytes key{0x30, 0x00, '\n', ' ', 0xFF};
    const std::string binaryTag("tag\0with\nbreaks", 15);
    Keychain::Bytes found;

    EXPECT_EQ(Keychain::findItem("key", &found), Status::ItemNotFound);
    EXPECT_EQ(Keychain::deleteItem("key"), Status::ItemNotFound);
    EXPECT_EQ(Keychain::addItem("key", key), Status::Success);
    EXPECT_EQ(Keychain::addItem(binaryTag, {1, 2, 3}), Status::Success);
    EXPECT_EQ(Keychain::addItem("key", {9}), Status::DuplicateItem);

    EXPECT_EQ(Keychain::findItem("key", &found), Status::Success);
    EXPECT_EQ(found, key);
    EXPECT_EQ(Keychain::findItem(binaryTag, &found), Status::Success);
    EXPECT_EQ(found, (Keychain::Bytes{1, 2, 3}));
    EXPECT_EQ(Keychain::findItem("ke", &found), Status::ItemNotFound);

    EXPECT_EQ(Keychain::deleteItem("key"), Status::Success);
    EXPECT_EQ(Keychain::findItem("key", &found), Status::ItemNotFound);
    EXPECT_EQ(Keychain::findItem(binaryTag, nullptr), Status::Success);
    EXPECT_EQ(Keychain::addItem("key", {}), Status::Success);
    EXPECT_EQ(Keychain::findItem("key", &found), Status::Success);
    EXPECT_TRUE(found.empty());
}

TEST(Keychain, FileIsOwnerOnlyWhateverWasThereBefore) {
    test::TempHome home;
    mode_t previous = ::umask(0);
    ASSERT_EQ(Keychain::addItem("a", {1}), Status::Success);
    EXPECT_EQ(fileMode(Keychain::path()), 0600u);

    ASSERT_EQ(::chmod(Keychain::path().c_str(), 0644), 0);
    ASSERT_EQ(Keychain::addItem("b", {2}), Status::Success);
    EXPECT_EQ(fileMode(Keychain::path()), 0600u);
    ::umask(previous);
    EXPECT_EQ(Keychain::findItem("a", nullptr), Status::Success);
}

TEST(Keychain, ADamagedFileIsSetAsideKeptAndAFreshKeychainStarted) {
    test::TempHome home;
    const std::string junk[] = {"not a keychain\n", "tavlo-keychain 1\n6b6579\n", "tavlo-keychain 1\n6b 0g\n",
                                "tavlo-keychain 1\n6b6 00\n", std::string("\x89PNG\r\n\x1a\n\0\0\xff", 11)};
    const std::filesystem::path folder = Keychain::path().parent_path();
    EXPECT_TRUE(Keychain::takeSetAside().empty());
    int n = 0;
    for (const std::string& text : junk) {
        SCOPED_TRACE(text);
        std::ofstream(Keychain::path(), std::ios::binary | std::ios::trunc) << text;
        // The damaged file counts as an empty keychain, which takes a key again.
        EXPECT_EQ(Keychain::findItem("k", nullptr), Status::ItemNotFound);
        const std::filesystem::path aside =
            folder / (n == 0 ? "keychain.damaged" : "keychain.damaged." + std::to_string(n));
        EXPECT_EQ(Keychain::takeSetAside(), aside);
        EXPECT_TRUE(Keychain::takeSetAside().empty()); // told once
        EXPECT_EQ(fileText(aside), text);              // kept as it was
        EXPECT_EQ(Keychain::addItem("k", {1}), Status::Success);
        Keychain::Bytes found;
        EXPECT_EQ(Keychain::findItem("k", &found), Status::Success);
        EXPECT_EQ(found, Keychain::Bytes{1});
        EXPECT_TRUE(Keychain::takeSetAside().empty());
        ++n;
    }
    // Each write of a damaged file is set aside on its own: the first changes too.
    std::ofstream(Keychain::path(), std::ios::binary | std::ios::trunc) << "junk";
    EXPECT_EQ(Keychain::deleteItem("k"), Status::ItemNotFound);
    EXPECT_EQ(fileText(folder / ("keychain.damaged." + std::to_string(n))), "junk");
}
