// The terminal program in a window on Xvfb, used as a person uses it through xdotool: set up by
// clicking into the store set-up screen, typing the store's id, password and gateway, saving and
// answering the association prompt, with the store server on loopback serving the store; and,
// against the demo store (as storesim --demo serves it), signed in with the demo store's first
// user. The user defaults the program wrote, its log and what its window
// shows afterwards show the result. Skipped, with the reason, where Xvfb or xdotool is missing or
// Xvfb cannot start, and while the program has no set-up screen.
#include "StoreServer.h"
#include "core/session/DBHelper.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TextField.h"
#include "platform/ui/render/FingerprintContext.h"
#include "platform/ui/render/Renderer.h"
#include "platform/ui/render/Snapshot.h"
#include "platform/foundation/RunLoop.h"
#include "screens/shell/LoginViewController.h"
#include "screens/shell/StartupScreens.h"
#include "screens/shell/TavloMobileAppDelegate.h"
#include "support/LocalStoreScope.h"
#include "support/ui/Golden.h"
#include "support/ui/Harness.h"
#include "support/ui/Xvfb.h"
#include "sync/storeload/StoreDataGenerator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace tavlo::screens {
namespace {

using namespace ui;
using ui::test::Child;
using ui::test::XvfbDisplay;

const std::filesystem::path kProgram = std::filesystem::path(TAVLO_BINARY_DIR) / "src/app/tavlo";
const Size kPad{1024, 768};

// The generated store, in which the asking terminal is the first till; it asks its terminals not
// to listen to change announcements (a listener joins a multicast group on the machine's network).
std::string storeData(const std::string& deviceId) {
    return StoreDataGenerator::reply(60, {{"HH_IGNORE_BROADCASTS", "YES"}}, deviceId);
}

// Where a person clicks on the set-up screen in the pad's window, found by drawing the same
// screen here: the three fields, Save, and the association prompt's Ok.
struct SetUpScreenPlaces {
    Point storeId, password, gateway, save, promptOk;
};

Point centreInWindow(View& view) { return view.convertRect(view.bounds(), nullptr).center(); }

SetUpScreenPlaces setUpScreenPlaces() {
    tavlo::test::LocalStoreScope store;
    ui::test::Harness h(DeviceIdiom::Tablet);
    h.show(InterfaceRegistry::shared().instantiate(TavloMobileAppDelegate::settingsInterface));
    SetUpScreenPlaces places;
    auto& storeId = h.outlet<TextField>("textStoreId");
    auto& password = h.outlet<TextField>("textStorePassword");
    places.storeId = centreInWindow(storeId);
    places.password = centreInWindow(password);
    places.gateway = centreInWindow(h.outlet<TextField>("textStoreGateway"));
    places.save = centreInWindow(h.viewWithText("Save"));
    h.type(storeId, "S-7");
    h.type(password, "pw");
    h.tap("Save");
    render::FingerprintContext context;
    render::Renderer renderer(context);
    renderer.drawScreen(h.app());
    for (const render::HitRegion& region : renderer.hitRegions())
        if (region.name == "Ok") places.promptOk = region.rect.center();
    return places;
}

// What the program's window shows once the terminal is set up: the sign-in screen of the store on
// its first till.
render::Bitmap readyScreen() {
    tavlo::test::LocalStoreScope store;
    for (auto [name, value] : {std::pair{"IPHONE_STORE_ID", "S-7"}, std::pair{"IPHONE_STORE_NAME", "Generated Store"},
                               std::pair{"HH_IGNORE_BROADCASTS", "YES"}})
        store.addStoreParam(name, std::string(value));
    store.addThisTerminal("T0")->setValue("name", "Till 0");
    store.save();
    ui::test::Harness h(DeviceIdiom::Tablet);
    h.show(std::make_shared<NavigationController>(
        InterfaceRegistry::shared().instantiate(TavloMobileAppDelegate::loginInterface)));
    return render::snapshot(h.window(), kPad);
}

// Asks again and again, at most `seconds`, until the answer is true.
bool eventually(double seconds, const std::function<bool()>& check) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!check()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

// Why a person's use of the program cannot be played here; empty when it can.
std::string whyNoWindow(const XvfbDisplay& display) {
    if (!display.unavailable().empty()) return display.unavailable();
    if (ui::test::findProgram("xdotool").empty())
        return "xdotool is not installed (scripts/setup installs the package xdotool)";
    return "";
}

// The terminal program in a window of the display (its data in `data`), found by its title and
// given the keyboard (no window manager does); a person's clicks and typing go to it through
// xdotool.
class ProgramWindow {
public:
    ProgramWindow(const XvfbDisplay& display, const std::string& folder, std::vector<std::string> args,
                  const std::filesystem::path& data)
        : display_(display), folder_(folder),
          program_(std::move(args), {display.environment(), "TAVLO_HOME=" + data.string()}, false,
                   folder + "/tavlo.log") {
        if (!program_.started()) return;
        std::string found = xdo({"search", "--sync", "--onlyvisible", "--name", "^Tavlo$"});
        id = found.substr(0, found.find('\n'));
        if (!id.empty()) xdo({"windowfocus", "--sync", id});
    }
    // Why the window did not come: the program's output.
    std::string output() const { return ui::test::readFile(folder_ + "/tavlo.log"); }
    void click(Point at) {
        xdo({"mousemove", "--sync", "--window", id, std::to_string(int(at.x)), std::to_string(int(at.y)), "click", "1"});
    }
    void type(const std::string& text) { xdo({"type", "--delay", "40", text}); }
    std::optional<render::Bitmap> picture() const { return ui::test::windowPicture(display_, std::stoul(id)); }

    std::string id;  // empty when the window did not come

private:
    std::string xdo(std::vector<std::string> args) {
        return ui::test::xdotool(display_, std::move(args), folder_ + "/xdotool.log");
    }

    const XvfbDisplay& display_;
    std::string folder_;
    Child program_;
};

TEST(TerminalWindowUnderXvfb, ThePersonSetsUpTheStoreAndTheSignInScreenComes) {
    registerStartupScreens();
    if (!InterfaceRegistry::shared().containsController(TavloMobileAppDelegate::settingsInterface))
        GTEST_SKIP() << "the program has no store set-up screen yet (\"SettingsView\" is not registered)";
    tavlo::test::TempHome home;
    const std::string folder = home.path().string();
    XvfbDisplay display(folder + "/xvfb.log");
    if (std::string why = whyNoWindow(display); !why.empty()) GTEST_SKIP() << why;

    storesim::StoreServer server({"S-7", "pw"});
    server.setStoreData([](const storesim::StoreDataRequest& asked) { return storeData(asked.deviceId); });
    server.start();
    const SetUpScreenPlaces places = setUpScreenPlaces();
    const render::Bitmap ready = readyScreen();

    const std::filesystem::path data = home.path() / "terminal";
    ProgramWindow window(display, folder, {kProgram.string()}, data);
    ASSERT_FALSE(window.id.empty()) << window.output();
    auto click = [&](Point at) { window.click(at); };
    auto type = [&](const std::string& text) { window.type(text); };
    click(places.storeId);
    type("S-7");
    click(places.password);
    type("pw");
    click(places.gateway);
    type(format("127.0.0.1:%d", server.port()));
    click(places.save);
    click(places.promptOk);

    // The store loads in the background, the settings are kept, and the start-up goes on to the
    // sign-in screen.
    const std::filesystem::path defaults = data / UserDefaults::fileName;
    // The settings are written one after the other: wait for the last of them.
    EXPECT_TRUE(eventually(30, [&] {
        UserDefaults written(defaults);
        return written.stringForKey("store_id") == "S-7" && written.stringForKey("gateway") == server.url();
    })) << ui::test::readFile(folder + "/tavlo.log");
    EXPECT_EQ(UserDefaults(defaults).stringForKey("password"), "pw");
    std::optional<render::Bitmap> shown;
    bool matched = eventually(20, [&] {
        shown = window.picture();
        return shown && ui::test::picturesMatch(*shown, ready, "terminal_window_ready");
    });
    ASSERT_TRUE(shown) << "the window could not be read";
    std::string picture = ui::test::writeTestPicture(*shown, "terminal_window_under_xvfb");
    EXPECT_TRUE(matched) << "the window shows " << picture;
}

} // namespace
} // namespace tavlo::screens

namespace tavlo::screens {
namespace {

// Where a person clicks on the sign-in screen in the pad's window: the number field and Login.
struct SignInPlaces {
    Point number, login;
};

SignInPlaces signInPlaces() {
    tavlo::test::LocalStoreScope store;
    store.addStoreParam("HH_IGNORE_BROADCASTS", std::string("YES"));
    store.addThisTerminal("T0");
    store.save();
    ui::test::Harness h(DeviceIdiom::Tablet);
    auto login = InterfaceRegistry::shared().instantiate(TavloMobileAppDelegate::loginInterface);
    h.show(std::make_shared<NavigationController>(login));
    auto& screen = dynamic_cast<LoginViewController&>(*login);
    return {centreInWindow(*screen.textNumber()), centreInWindow(*screen.btnLogin())};
}

TEST(TerminalWindowUnderXvfb, ThePersonSignsInWithTheDemoStoresFirstUser) {
    registerStartupScreens();
    tavlo::test::TempHome home;
    const std::string folder = home.path().string();
    XvfbDisplay display(folder + "/xvfb.log");
    if (std::string why = whyNoWindow(display); !why.empty()) GTEST_SKIP() << why;
    const SignInPlaces places = signInPlaces();

    // The demo store as storesim --demo serves it (store "demo", password "demo", the asking
    // terminal its first till), without the change announcements.
    storesim::StoreServer server({"demo", "demo"});
    server.setStoreData([](const storesim::StoreDataRequest& asked) { return storeData(asked.deviceId); });
    server.start();
    const std::string url = server.url();

    const std::filesystem::path data = home.path() / "terminal";
    ProgramWindow window(display, folder, {kProgram.string(), "--demo-gateway", url}, data);
    ASSERT_FALSE(window.id.empty()) << window.output();
    // The sign-in screen comes once the demo store is loaded.
    const std::filesystem::path log = data / "system.log";
    ASSERT_TRUE(eventually(30, [&] { return ui::test::readFile(log.string()).find("*** Ready for Login!") != std::string::npos; }))
        << ui::test::readFile(folder + "/tavlo.log");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the window draws the screen
    std::optional<render::Bitmap> signIn = window.picture();
    ASSERT_TRUE(signIn) << "the window could not be read";

    window.click(places.number);
    window.type(std::to_string(StoreDataGenerator::kFirstEmployeeNumber));
    window.click(places.login);

    EXPECT_TRUE(eventually(20, [&] {
        std::string text = ui::test::readFile(log.string());
        return text.find("*** User: User 0") != std::string::npos && text.find("*** Succeeded!!!") != std::string::npos;
    })) << ui::test::readFile(log.string());
    // The next screen: the window no longer shows the sign-in screen.
    std::optional<render::Bitmap> shown;
    bool changed = eventually(20, [&] {
        shown = window.picture();
        return shown && !ui::test::picturesMatch(*shown, *signIn, "terminal_window_still_signing_in");
    });
    ASSERT_TRUE(shown) << "the window could not be read";
    std::string picture = ui::test::writeTestPicture(*shown, "terminal_window_signed_in");
    EXPECT_TRUE(changed) << "the window still shows the sign-in screen: " << picture;
}

} // namespace
} // namespace tavlo::screens
