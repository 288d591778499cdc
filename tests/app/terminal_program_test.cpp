// The terminal program as a real process without a display, as on a machine with none: it draws
// its first screen into a PNG and ends. Each run has a fresh data directory and a store server on
// loopback.
#include "StoreServer.h"
#include "core/session/DBHelper.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/net/NetworkProbe.h"
#include "support/ChildProcess.h"
#include "support/LoopbackListener.h"
#include "support/TempHome.h"
#include "sync/storeload/StoreDataGenerator.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace tavlo {
namespace {

const std::filesystem::path kBuild = TAVLO_BINARY_DIR;

// The demo store as storesim --demo serves it, in-process. The store asks its terminals not to
// listen to change announcements: a listener joins a multicast group on the machine's network.
std::string demoStoreData() {
    return replaceAll(StoreDataGenerator::reply(60), "<param><key>HH_PARAM_0</key>",
                      "<param><key>HH_IGNORE_BROADCASTS</key><value>YES</value></param><param><key>HH_PARAM_0</key>");
}

class DemoServer {
public:
    DemoServer() {
        server_.setStoreData([data = demoStoreData()](const storesim::StoreDataRequest&) { return data; });
        server_.start();
    }
    std::string url() const { return server_.url(); }
    // Loads of the whole store (the handler's later loads ask only for what changed).
    size_t storeLoads() const {
        size_t loads = 0;
        for (const storesim::ReceivedRequest& request : server_.requests())
            loads += request.kind == "getStoreData" &&
                     request.body.find("<storeDateUpdated>0</storeDateUpdated>") != std::string::npos;
        return loads;
    }

private:
    storesim::StoreServer server_{{"demo", "demo"}};
};

// The terminal program with this data folder and no display, its standard output and error
// together.
test::CommandRun terminal(const std::filesystem::path& dataFolder, const std::string& arguments) {
    return test::runCommand("env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER TAVLO_HOME='" + dataFolder.string() +
                            "' '" + (kBuild / "src/app/tavlo").string() + "' " + arguments + " 2>&1");
}

// Width and height of a PNG file; {0, 0} when it is none.
std::pair<int, int> pngSize(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    unsigned char head[24] = {};
    if (!in.read(reinterpret_cast<char*>(head), sizeof head) ||
        std::string(reinterpret_cast<char*>(head) + 1, 3) != "PNG")
        return {0, 0};
    auto number = [&](int at) { return (head[at] << 24) | (head[at + 1] << 16) | (head[at + 2] << 8) | head[at + 3]; };
    return {number(16), number(20)};
}

TEST(TerminalProgram, LoadsTheDemoStoreAndKeepsFollowingIt) {
    test::TempHome home;
    const std::filesystem::path firstScreen = home.path() / "first-screen.png";
    {
        DemoServer server;
        test::CommandRun first = terminal(home.path(), "--demo-gateway " + server.url());
        EXPECT_EQ(first.status, 0) << first.output;
        EXPECT_NE(first.output.find("Terminal set up for the demo store"), std::string::npos) << first.output;
        EXPECT_NE(first.output.find("the first screen is in " + firstScreen.string() + "\n"), std::string::npos)
            << first.output;
        EXPECT_EQ(server.storeLoads(), 1u);
        EXPECT_EQ(pngSize(firstScreen), std::make_pair(1024, 768)); // the pad in landscape
        {
            ObjectContext store(DBHelper::sharedStore()); // the program's, now that it has ended
            EXPECT_EQ(DBHelper::getStoreValue("IPHONE_STORE_NAME", &store), "Generated Store");
            EXPECT_EQ(store.count(FetchRequest("Menu")), StoreDataGenerator::kMenus);
        }
        DBHelper::closeSharedStore();
    }
    // A new start of the demo server has a new port; the demo terminal follows it, and the store
    // it holds is the same: nothing is loaded again.
    DemoServer again;
    std::filesystem::remove(firstScreen);
    test::CommandRun second = terminal(home.path(), "--phone --demo-gateway " + again.url());
    EXPECT_EQ(second.status, 0) << second.output;
    EXPECT_EQ(second.output.find("Terminal set up"), std::string::npos) << second.output;
    EXPECT_EQ(again.storeLoads(), 0u);
    EXPECT_EQ(UserDefaults(home.path() / UserDefaults::kFileName).stringForKey("gateway"), again.url());
    EXPECT_EQ(pngSize(firstScreen), std::make_pair(320, 480)); // the phone upright
}

TEST(TerminalProgram, ADamagedStoreIsSetAsideSaidOnScreenAndLoadedAfresh) {
    test::TempHome home;
    DemoServer server;
    test::CommandRun first = terminal(home.path(), "--demo-gateway " + server.url());
    ASSERT_EQ(first.status, 0) << first.output;
    const std::filesystem::path store = home.path() / "TavloMobile.sqlite";
    {
        std::fstream file(store, std::ios::in | std::ios::out | std::ios::binary);
        file << std::string(16, 'Z'); // its header
    }
    test::CommandRun second = terminal(home.path(), "--demo-gateway " + server.url());
    EXPECT_EQ(second.status, 0) << second.output;
    EXPECT_NE(second.output.find("it shows \"Store set aside\": This terminal's store cannot be used (file is not a "
                                 "database)."),
              std::string::npos)
        << second.output;
    EXPECT_EQ(server.storeLoads(), 2u) << "loaded afresh";
    bool setAside = false;
    for (const auto& entry : std::filesystem::directory_iterator(home.path()))
        setAside |= entry.path().filename().string().starts_with("TavloMobile.sqlite.broken-");
    EXPECT_TRUE(setAside) << "kept beside the new store";
}

TEST(TerminalProgram, TheLogHeaderShowsThisTerminal) {
    test::TempHome home;
    DemoServer server;
    test::CommandRun run = terminal(home.path(), "--demo-gateway " + server.url());
    ASSERT_EQ(run.status, 0) << run.output;

    std::optional<std::string> deviceId = UserDefaults(home.path() / UserDefaults::kFileName).stringForKey("device_id");
    ASSERT_TRUE(deviceId && !deviceId->empty());
    std::ifstream log(home.path() / "system.log");
    std::vector<std::string> header;
    for (std::string line; std::getline(log, line);)
        if (size_t at = line.find(" ***"); at != std::string::npos) header.push_back(line.substr(at + 1));
    EXPECT_THAT(header, ::testing::IsSupersetOf(
                            {"***     UDID: " + *deviceId, "***       IP: " + SystemNetworkProbe().localIPAddress()}));
}

// "700", "644", ...
std::string mode(const std::filesystem::path& path) {
    return format("%o", static_cast<unsigned>(std::filesystem::symlink_status(path).permissions()));
}

// The folder and what it holds that the group or others may reach, with their modes.
std::vector<std::string> openToOthers(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    constexpr fs::perms groupAndOthers = fs::perms::group_all | fs::perms::others_all;
    std::vector<std::string> open;
    auto check = [&](const fs::path& path) {
        if ((fs::symlink_status(path).permissions() & groupAndOthers) != fs::perms::none)
            open.push_back(path.lexically_relative(folder).string() + " " + mode(path));
    };
    check(folder);
    for (const auto& entry : fs::recursive_directory_iterator(folder)) check(entry.path());
    return open;
}

// Gives the group and others every right to the folder and what it holds, as an earlier version
// of the program left it.
void openToEveryone(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    fs::permissions(folder, fs::perms::all);
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        fs::permissions(entry.path(), entry.is_directory() ? fs::perms::all : fs::perms(0666));
}

TEST(TerminalProgram, TheDataFolderIsTheOwnersAlone) {
    test::TempHome home;
    const std::filesystem::path data = home.path() / "data"; // made by the program
    DemoServer server;
    test::CommandRun first = terminal(data, "--demo-gateway " + server.url());
    ASSERT_EQ(first.status, 0) << first.output;
    for (const char* file : {"TavloMobile.sqlite", "system.log", "userdefaults", "first-screen.png"})
        EXPECT_TRUE(std::filesystem::exists(data / file)) << file;
    EXPECT_THAT(openToOthers(data), ::testing::IsEmpty());
    EXPECT_EQ(mode(data), "700");

    // What an earlier version left open, an archived log in a sub-folder too, is closed at start.
    std::filesystem::create_directory(data / "archive");
    std::ofstream(data / "archive" / "S-7-T1-system240301-090000.log") << "old\n";
    openToEveryone(data);
    ASSERT_THAT(openToOthers(data), ::testing::SizeIs(::testing::Gt(4u)));
    test::CommandRun second = terminal(data, "--demo-gateway " + server.url());
    ASSERT_EQ(second.status, 0) << second.output;
    EXPECT_THAT(openToOthers(data), ::testing::IsEmpty());
    EXPECT_EQ(mode(data), "700");
    EXPECT_EQ(mode(data / "archive"), "700");
    EXPECT_EQ(mode(data / "system.log"), "600");
}

TEST(TerminalProgram, ASharedFolderGivenAsDataFolderIsNotTakenOver) {
    // A data folder pointed by mistake at a sticky folder shared by every user (as /tmp is):
    // neither it nor what others keep there changes.
    test::TempHome home;
    const std::filesystem::path shared = home.path() / "shared";
    std::filesystem::create_directory(shared);
    std::ofstream(shared / "notes.txt") << "someone else's\n";
    std::filesystem::permissions(shared / "notes.txt", std::filesystem::perms(0644));
    std::filesystem::permissions(shared, std::filesystem::perms(01777));
    test::CommandRun run = terminal(shared, "");
    EXPECT_NE(run.output.find("tavlo: "), std::string::npos) << run.output; // it ran
    EXPECT_EQ(mode(shared), "1777");
    EXPECT_EQ(mode(shared / "notes.txt"), "644");
}

// A terminal of store "S-7" whose gateway is `url`.
bool configureStore(const std::string& url) {
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.setObject(std::string("S-7"), "store_id");
    defaults.setObject(std::string("pw"), "password");
    defaults.setObject(url, "gateway");
    return defaults.synchronize();
}

TEST(TerminalProgram, AConfiguredTerminalKeepsItsOwnStore) {
    test::TempHome home;
    std::string ownGateway = "http://127.0.0.1:" + std::to_string(test::LoopbackListener::closedPort());
    ASSERT_TRUE(configureStore(ownGateway));

    DemoServer server;
    test::CommandRun run = terminal(home.path(), "--demo-gateway " + server.url());
    // Its own gateway is not listening: the load fails with the exchange's text.
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_EQ(server.storeLoads(), 0u);
    EXPECT_NE(run.output.find("tavlo: Unable to connect to Tavlo terminal, make sure your gateway is running"),
              std::string::npos)
        << run.output;
    UserDefaults after(UserDefaults::standardUserDefaults().file());
    EXPECT_EQ(after.stringForKey("store_id"), "S-7");
    EXPECT_EQ(after.stringForKey("gateway"), ownGateway);
}

TEST(TerminalProgram, AFailedLoadEndsWithItsMessageEveryTime) {
    // The logger mails the failure from its own worker while the program ends: a worker still
    // reading the user defaults as they go away crashed the program in most runs.
    struct Case {
        const char* name;
        std::function<void(storesim::StoreServer&)> serve;
        std::string message;
    };
    const Case cases[] = {
        {"an error reply",
         [](storesim::StoreServer& server) {
             server.setFault("getStoreData", storesim::Fault::ErrorElement, 0, "Store is closed for maintenance");
         },
         "tavlo: Store is closed for maintenance\n"},
        {"a reply cut in half",
         [](storesim::StoreServer& server) {
             std::string reply = StoreDataGenerator::reply(20);
             server.setStoreData(
                 [half = reply.substr(0, reply.size() / 2)](const storesim::StoreDataRequest&) { return half; });
         },
         "tavlo: Unable to read the store data received\n"},
    };
    constexpr int kRuns = 25;
    for (const Case& c : cases) {
        storesim::StoreServer server({"S-7", "pw"});
        c.serve(server);
        server.start();
        for (int run = 0; run < kRuns; ++run) {
            test::TempHome home;
            ASSERT_TRUE(configureStore(server.url()));
            test::CommandRun ran = terminal(home.path(), "");
            ASSERT_EQ(ran.status, 1) << c.name << ", run " << run << ":\n" << ran.output;
            EXPECT_NE(ran.output.find(c.message), std::string::npos) << c.name << ":\n" << ran.output;
        }
    }
}

TEST(TerminalProgram, AMailStuckInTheRelayDoesNotSpoilTheEnd) {
    // The support service takes the connection and never answers: the mail of the failure is
    // still waiting when the program has given its worker the time it allows.
    test::LoopbackListener silentRelay;
    storesim::StoreServer server({"S-7", "pw"});
    server.setFault("getStoreData", storesim::Fault::ErrorElement, 0, "Store is closed for maintenance");
    server.start();
    test::TempHome home;
    ASSERT_TRUE(configureStore(server.url()));
    UserDefaults::standardUserDefaults().setObject("127.0.0.1:" + std::to_string(silentRelay.port()), "support_host");
    test::CommandRun run = terminal(home.path(), "");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("tavlo: Store is closed for maintenance\n"), std::string::npos) << run.output;
}

// The program's own message when it has no set-up screen to show.
constexpr const char* kNoSetUpScreen = "No controller is registered under the name SettingsView";

TEST(TerminalProgram, WithoutAStoreTheSetUpScreenIsShown) {
    test::TempHome home;
    test::CommandRun none = terminal(home.path(), "");
    if (none.output.find(kNoSetUpScreen) != std::string::npos)
        GTEST_SKIP() << "the program has no set-up screen yet (\"SettingsView\" is not registered)";
    EXPECT_EQ(none.status, 0) << none.output;
    EXPECT_NE(none.output.find("the first screen is in " + (home.path() / "first-screen.png").string()),
              std::string::npos)
        << none.output;
    EXPECT_EQ(pngSize(home.path() / "first-screen.png"), std::make_pair(1024, 768));
    // No window system was asked, so none complained (of a missing XDG_RUNTIME_DIR, say).
    EXPECT_EQ(none.output.find("XDG_RUNTIME_DIR"), std::string::npos) << none.output;
    std::ifstream log(home.path() / "system.log");
    std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("*** NOTE: Terminal does not contain configuration!"), std::string::npos);
}

} // namespace
} // namespace tavlo
