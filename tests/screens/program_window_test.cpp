// The terminal program in a window on Xvfb, used as a person uses it through xdotool: set up by
// clicking into the store set-up screen, typing the store's id, password and gateway, saving and
// answering the association prompt, with the store server on loopback serving the store; against
// the generated store (as storesim --demo --items 60 serves it), signed in and serving a table and
// a quick sale; and in the demo restaurant of ./run, whose manager opens the day and serves a
// table through its kitchen printers and a card. The user defaults the program wrote, its log,
// what the store server and the printers got and what its window shows afterwards show the
// result. Skipped, with the reason, where Xvfb or xdotool is missing or Xvfb cannot start, and
// while the program has no set-up screen.
#include "CardGateway.h"
#include "DemoStore.h"
#include "EscPosDecoder.h"
#include "StoreServer.h"
#include "TicketText.h"
#include "core/order/Order.h"
#include "core/order/Selection.h"
#include "core/session/DBHelper.h"
#include "core/session/Session.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TextField.h"
#include "platform/ui/render/FingerprintContext.h"
#include "platform/ui/render/Renderer.h"
#include "platform/ui/render/Snapshot.h"
#include "screens/pay/PayViewController.h"
#include "screens/shell/LoginViewController.h"
#include "screens/shell/StartupScreens.h"
#include "screens/shell/TavloMobileAppDelegate.h"
#include "support/LocalStoreScope.h"
#include "support/LoopbackPrinter.h"
#include "support/StoreFixture.h"
#include "support/ui/Golden.h"
#include "support/ui/Harness.h"
#include "support/ui/Xvfb.h"
#include "sync/storeload/StoreDataGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
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

// The generated store's menus by time of day: its first schedule runs all day and its second
// never, so that the program, which reads the machine's own clock, shows the same menu at any hour
// (the generated store changes menus at five).
std::string withOneMenuAllDay(std::string data) {
    data =
        replaceAll(std::move(data), "<endDailyTime>16:59:59</endDailyTime>", "<endDailyTime>23:59:59</endDailyTime>");
    return replaceAll(
        std::move(data),
        "<startDailyTime>17:00:00</startDailyTime><endDailyTime>23:59:59</endDailyTime><daysOfWeek>1111111</daysOfWeek>",
        "<startDailyTime>17:00:00</startDailyTime><endDailyTime>23:59:59</endDailyTime><daysOfWeek>0000000</daysOfWeek>");
}

// The generated store, in which the asking terminal is the first till; it asks its terminals not
// to listen to change announcements (a listener joins a multicast group on the machine's network).
std::string storeData(const std::string& deviceId) {
    return withOneMenuAllDay(StoreDataGenerator::reply(60, {{"HH_IGNORE_BROADCASTS", "YES"}}, deviceId));
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
    h.show(InterfaceRegistry::shared().instantiate(kSettingsInterface));
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
    h.show(std::make_shared<NavigationController>(InterfaceRegistry::shared().instantiate(kLoginInterface)));
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
                  const std::filesystem::path& data, std::vector<std::string> environment = {})
        : display_(display), folder_(folder),
          program_(std::move(args), withData(display, data, std::move(environment)), false, folder + "/tavlo.log") {
        if (!program_.started()) return;
        std::string found = xdo({"search", "--sync", "--onlyvisible", "--name", "^Tavlo$"});
        id = found.substr(0, found.find('\n'));
        if (!id.empty()) xdo({"windowfocus", "--sync", id});
    }
    // Why the window did not come: the program's output.
    std::string output() const { return ui::test::readFile(folder_ + "/tavlo.log"); }
    void click(Point at) {
        xdo({"mousemove", "--sync", "--window", id, std::to_string(int(at.x)), std::to_string(int(at.y)), "click",
             "1"});
    }
    void type(const std::string& text) { xdo({"type", "--delay", "40", text}); }
    std::optional<render::Bitmap> picture() const { return ui::test::windowPicture(display_, std::stoul(id)); }

    std::string id; // empty when the window did not come

private:
    static std::vector<std::string> withData(const XvfbDisplay& display, const std::filesystem::path& data,
                                             std::vector<std::string> environment) {
        environment.push_back(display.environment());
        environment.push_back("TAVLO_HOME=" + data.string());
        // As on a machine with X11 alone: no runtime folder for a Wayland library to complain of.
        environment.push_back("XDG_RUNTIME_DIR=");
        return environment;
    }
    std::string xdo(std::vector<std::string> args) {
        return ui::test::xdotool(display_, std::move(args), folder_ + "/xdotool.log");
    }

    const XvfbDisplay& display_;
    std::string folder_;
    Child program_;
};

TEST(TerminalWindowUnderXvfb, ThePersonSetsUpTheStoreAndTheSignInScreenComes) {
    registerStartupScreens();
    if (!InterfaceRegistry::shared().containsController(kSettingsInterface))
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
    // Without XDG_RUNTIME_DIR (a machine with X11 alone) the window system says nothing on the output.
    EXPECT_EQ(window.output().find("XDG_RUNTIME_DIR"), std::string::npos) << window.output();
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
    const std::filesystem::path defaults = data / UserDefaults::kFileName;
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
    auto login = InterfaceRegistry::shared().instantiate(kLoginInterface);
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

    // The generated store as storesim --demo --items 60 serves it (store "demo", password "demo",
    // the asking terminal its first till), without the change announcements.
    storesim::StoreServer server({"demo", "demo"});
    server.setStoreData([](const storesim::StoreDataRequest& asked) { return storeData(asked.deviceId); });
    server.start();
    const std::string url = server.url();

    const std::filesystem::path data = home.path() / "terminal";
    ProgramWindow window(display, folder, {kProgram.string(), "--demo-gateway", url}, data);
    ASSERT_FALSE(window.id.empty()) << window.output();
    // The sign-in screen comes once the demo store is loaded.
    const std::filesystem::path log = data / "system.log";
    ASSERT_TRUE(eventually(30, [&] {
        return ui::test::readFile(log.string()).find("*** Ready for Login!") != std::string::npos;
    })) << ui::test::readFile(folder + "/tavlo.log");
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the window draws the screen
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

namespace tavlo::screens {
namespace {

// Where a person clicks in the pad's window once signed in. The orders main screen and the order
// screen sit in the split view's root pane (320 points wide), the menu beside the order in the
// detail pane (from x 321); both panes are laid out in code with fixed sizes, so these points
// follow from that layout. The pay screen's come from the pay screen laid out here (below).
struct OrderPlaces {
    Point plus{290, 22};       // the orders main screen's "+" (a quick sale)
    Point areas{160, 22};      // its middle segment, "Areas": the tables by area
    Point firstOrder{140, 68}; // the first row of its open orders
    Point table1{140, 141};    // "Table 1", the second table under the first area's header
    // The menu's first row: Combo 0, Item 0, Combo 1, Item 1, Combo 2, Item 2.
    Point item0{472, 137}, item1{668, 137}, item2{864, 137};
    Point send{45, 746};                  // the order screen's toolbar
    Point pay{198, 695}, close{277, 695}; // under its totals
    Point twenty, hundred, process;       // the pay screen's "$20", "$100" and "Process"
    Point alertOk{512, 437};              // "Ok" of a one-button alert in the middle of the window
};

// The pay screen's places, from the pay screen of a gateway terminal as the order screen presents
// it on the pad (a form sheet in the middle of the window), laid out here. Without a card host of
// its own it needs no card gateway handler, so nothing process-wide is left behind.
OrderPlaces orderPlaces() {
    OrderPlaces places;
    tavlo::test::StoreFixture store;
    store.buildSmallStore();
    registerPayScreens();
    Session session(store.context().get());
    session.setUserId(std::string("U-ANN"));
    session.setTerminalId(std::string("T1"));
    auto order = std::make_shared<Order>(store.context().get());
    auto line = std::make_shared<Selection>();
    line->setName(std::string("Item 0"));
    line->setPrice(455);
    order->addSelection(line, nullptr);
    std::shared_ptr<ViewController> pay = InterfaceRegistry::shared().instantiate(PayViewController::kInterfaceName);
    auto& screen = dynamic_cast<PayViewController&>(*pay);
    screen.setSession(&session);
    screen.setOrder(order);
    ui::test::Harness h(DeviceIdiom::Tablet);
    auto host = std::make_shared<ViewController>();
    h.show(host);
    auto sheet = std::make_shared<NavigationController>(pay);
    sheet->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
    host->present(sheet, false);
    h.runUntilIdle();
    places.twenty = centreInWindow(h.viewWithText("$20"));
    places.hundred = centreInWindow(h.viewWithText("$100"));
    places.process = centreInWindow(h.viewWithText("Process"));
    return places;
}

// The program's window, used by a person who waits for what each click does: the window's
// picture changes and then holds still. What the click led to (an order at the store server, a
// line in the program's log) is waited for after each step.
class Person {
public:
    Person(ProgramWindow& window, std::string log) : window_(window), log_(std::move(log)) {}

    // Clicks and waits until the window shows the outcome; false when it never changed or never
    // held still.
    bool click(Point at) {
        std::optional<render::Bitmap> before = window_.picture();
        window_.click(at);
        return eventually(kPatience,
                          [&] {
                              std::optional<render::Bitmap> now = window_.picture();
                              return now && (!before || !(*now == *before));
                          }) &&
               settled();
    }
    // Waits until the window holds still: the same picture over half a second (a screen waiting
    // for the server shows its overlay until the answer comes, then what the answer led to).
    bool settled() {
        return eventually(kPatience, [&] {
            std::optional<render::Bitmap> first = window_.picture();
            for (int look = 0; first && look < 3; ++look) {
                std::this_thread::sleep_for(std::chrono::milliseconds(150));
                std::optional<render::Bitmap> again = window_.picture();
                if (!again || !(*again == *first)) return false;
            }
            return first.has_value();
        });
    }
    bool logged(const std::string& text) const { return ui::test::readFile(log_).find(text) != std::string::npos; }
    std::string log() const { return ui::test::readFile(log_); }
    // Writes what the window shows under test-output; its path.
    std::string picture(const std::string& name) {
        std::optional<render::Bitmap> shown = window_.picture();
        return shown ? ui::test::writeTestPicture(*shown, name) : "(the window could not be read)";
    }

    static constexpr double kPatience = 30; // seconds at most for any one step; the sanitizers' build is slow

private:
    ProgramWindow& window_;
    std::string log_;
};

// The generated store with the tables listed by area (the middle segment of the orders main screen).
std::string storeDataWithTables(const std::string& deviceId) {
    return withOneMenuAllDay(
        StoreDataGenerator::reply(60, {{"HH_IGNORE_BROADCASTS", "YES"}, {"MODULE_TABLE_LAYOUT", "YES"}}, deviceId));
}

// The order the store server holds now with a remote id other than those given; none when none.
std::optional<std::string> newOrder(const storesim::StoreServer& server, const std::vector<std::string>& known) {
    for (const std::string& id : server.orderRemoteIds())
        if (std::find(known.begin(), known.end(), id) == known.end()) return id;
    return std::nullopt;
}

bool holds(const std::optional<std::string>& xml, const std::string& part) {
    return xml && xml->find(part) != std::string::npos;
}

TEST(TerminalWindowUnderXvfb, ThePersonServesATableAndAQuickSaleAndTakesCashForBoth) {
    registerStartupScreens();
    tavlo::test::TempHome home;
    const std::string folder = home.path().string();
    XvfbDisplay display(folder + "/xvfb.log");
    if (std::string why = whyNoWindow(display); !why.empty()) GTEST_SKIP() << why;
    const SignInPlaces signIn = signInPlaces();
    const OrderPlaces at = orderPlaces();

    storesim::StoreServer server({"demo", "demo"});
    server.setStoreData([](const storesim::StoreDataRequest& asked) { return storeDataWithTables(asked.deviceId); });
    server.start();
    const std::filesystem::path data = home.path() / "terminal";
    ProgramWindow window(display, folder, {kProgram.string(), "--demo-gateway", server.url()}, data);
    ASSERT_FALSE(window.id.empty()) << window.output();
    Person person(window, (data / "system.log").string());
    ASSERT_TRUE(eventually(Person::kPatience, [&] { return person.logged("*** Ready for Login!"); }))
        << window.output();
    std::optional<render::Bitmap> signInScreen;
    ASSERT_TRUE(eventually(Person::kPatience, [&] {
        signInScreen = window.picture();
        return signInScreen && !(*signInScreen == render::Bitmap());
    }));

    // User 1 (1001) holds the demo store's role with the rights to take, send and pay orders.
    window.click(signIn.number);
    window.type(std::to_string(StoreDataGenerator::kFirstEmployeeNumber + 1));
    ASSERT_TRUE(person.click(signIn.login)) << person.picture("terminal_window_signing_in");
    ASSERT_TRUE(eventually(Person::kPatience, [&] { return person.logged("*** User: User 1"); })) << person.log();

    // A table: the new order opens with the menu beside it; two items, sent.
    ASSERT_TRUE(person.click(at.areas)) << person.picture("terminal_window_areas");
    ASSERT_TRUE(person.click(at.table1)) << person.picture("terminal_window_table");
    ASSERT_TRUE(person.click(at.item0)) << person.picture("terminal_window_table_item0");
    ASSERT_TRUE(person.click(at.item1)) << person.picture("terminal_window_table_item1");
    EXPECT_TRUE(person.logged("Item Selected: I0") && person.logged("Item Selected: I1")) << person.log();
    person.picture("terminal_window_table_order");
    ASSERT_TRUE(person.click(at.send)) << person.picture("terminal_window_table_sending");
    std::optional<std::string> tableOrder;
    ASSERT_TRUE(eventually(Person::kPatience, [&] { return (tableOrder = newOrder(server, {})).has_value(); }))
        << person.log();
    std::optional<std::string> held = server.order(*tableOrder);
    EXPECT_TRUE(holds(held, "<areaLocationId>L1</areaLocationId>")) << held.value_or("");
    EXPECT_TRUE(holds(held, "<selectionName>Item 0</selectionName>") &&
                holds(held, "<selectionName>Item 1</selectionName>"))
        << held.value_or("");

    // The table again: its order, read back from the server; paid by cash and closed.
    const size_t reads = server.requestCount("getOrder");
    ASSERT_TRUE(person.click(at.table1)) << person.picture("terminal_window_table_again");
    EXPECT_GT(server.requestCount("getOrder"), reads) << "the order comes from the server";
    person.picture("terminal_window_table_reopened");
    ASSERT_TRUE(person.click(at.pay)) << person.picture("terminal_window_table_pay");
    ASSERT_TRUE(person.click(at.twenty)) << person.picture("terminal_window_table_twenty");
    ASSERT_TRUE(person.click(at.process)) << person.picture("terminal_window_table_processing");
    EXPECT_TRUE(eventually(Person::kPatience, [&] {
        held = server.order(*tableOrder);
        return holds(held, "type=\"cash\"");
    })) << held.value_or("no order");
    EXPECT_TRUE(holds(held, "<subTotal>455</subTotal>") && holds(held, "<change>1545</change>"))
        << "$20.00 tendered on $4.55: " << held.value_or("no order");
    ASSERT_TRUE(person.settled());
    person.picture("terminal_window_table_change_due");
    ASSERT_TRUE(person.click(at.alertOk)) << person.picture("terminal_window_table_change_seen");
    person.picture("terminal_window_table_paid");
    ASSERT_TRUE(person.click(at.close)) << person.picture("terminal_window_table_closing");
    EXPECT_TRUE(eventually(Person::kPatience, [&] {
        return holds(server.order(*tableOrder), "<closed>true</closed>");
    })) << server.order(*tableOrder).value_or("");

    // A quick sale: one item, paid straight away by cash, closed.
    ASSERT_TRUE(person.click(at.plus)) << person.picture("terminal_window_quick_sale");
    ASSERT_TRUE(person.click(at.item2)) << person.picture("terminal_window_quick_sale_item");
    ASSERT_TRUE(person.click(at.pay)) << person.picture("terminal_window_quick_sale_pay");
    std::optional<std::string> quickSale;
    ASSERT_TRUE(eventually(Person::kPatience, [&] { return (quickSale = newOrder(server, {*tableOrder})).has_value(); }))
        << "paying sends the order first; " << person.log();
    ASSERT_TRUE(person.click(at.twenty)) << person.picture("terminal_window_quick_sale_twenty");
    ASSERT_TRUE(person.click(at.process)) << person.picture("terminal_window_quick_sale_processing");
    EXPECT_TRUE(eventually(Person::kPatience, [&] { return holds(server.order(*quickSale), "type=\"cash\""); }));
    ASSERT_TRUE(person.settled());
    ASSERT_TRUE(person.click(at.alertOk)) << person.picture("terminal_window_quick_sale_change_seen");
    ASSERT_TRUE(person.click(at.close)) << person.picture("terminal_window_quick_sale_closing");
    EXPECT_TRUE(eventually(Person::kPatience, [&] {
        held = server.order(*quickSale);
        return holds(held, "<closed>true</closed>");
    })) << held.value_or("no order");
    EXPECT_TRUE(holds(held, "<quickSale>true</quickSale>") && holds(held, "<selectionName>Item 2</selectionName>"))
        << held.value_or("no order");
    ASSERT_TRUE(person.settled());
    person.picture("terminal_window_orders_served");
}

// Where a person clicks in the demo restaurant (storesim --demo), on the pad: the administration
// screen's Open Store and its two alerts, its Orders button; the lunch menu's Harbour burger, its
// doneness and its side (fries) in the prompts over the menu, the Drinks menu and its Draught
// lager.
struct DemoPlaces {
    Point openStore{160, 110}, confirmYes{584, 427}, openedOk{512, 418}, orders{52, 746};
    Point tableAreas{160, 22}, table1{120, 90};
    Point burger{570, 137}, mediumRare{400, 228}, moreFries{738, 184};
    Point drinks{450, 74}, lager{373, 137};
    Point credit{664, 96}, cardNumber{580, 467}, cardExpiry{472, 513}; // on the pay screen
};

// The program's environment in a time zone where it is about noon now: the demo offers its lunch
// menu (before four in the afternoon) beside the drinks, whatever the time of the test.
std::string lunchTimeZone() {
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    int east = 12 - utc.tm_hour; // hours ahead of UTC
    if (east > 14) east -= 24;
    if (east < -12) east += 24;
    return "TZ=LUNCH" + std::to_string(-east); // POSIX counts the hours behind UTC
}

// What a printer printed, as the paper reads: its jobs one after the other.
std::string paper(tavlo::test::LoopbackPrinter& printer, size_t jobs) {
    std::string text;
    for (const std::string& job : printer.jobs(jobs)) {
        printersim::TicketText ticket;
        printersim::decodeEscPos(job, ticket);
        text += ticket.text();
    }
    return text;
}

TEST(TerminalWindowUnderXvfb, TheManagerOpensTheDemoRestaurantsDayAndServesATable) {
    registerStartupScreens();
    tavlo::test::TempHome home;
    const std::string folder = home.path().string();
    XvfbDisplay display(folder + "/xvfb.log");
    if (std::string why = whyNoWindow(display); !why.empty()) GTEST_SKIP() << why;
    const SignInPlaces signIn = signInPlaces();
    const OrderPlaces at = orderPlaces();
    const DemoPlaces demoAt;

    // The demo restaurant as ./run serves it: its day closed, its printers and card gateway on
    // loopback.
    tavlo::test::LoopbackPrinter grill, bar, receipt;
    gatewaysim::CardGateway gateway({"demo", "demo", 5});
    gateway.start();
    storesim::StoreServer::Options options{"demo", "demo"};
    options.dayOpen = false;
    storesim::StoreServer server(options);
    storesim::DemoStore demo;
    demo.printers = {{"grill", grill.url()}, {"bar", bar.url()}, {"receipt", receipt.url()}};
    demo.params = {{"HH_IGNORE_BROADCASTS", "YES"}};
    server.setStoreData([demo](const storesim::StoreDataRequest& asked) { return demo.reply(asked.deviceId); });
    server.setCatalogue(storesim::StoreCatalogue::fromStoreData(demo.reply("")));
    server.setCardGateway(gateway.url(), "demo", "demo");
    server.start();
    const std::filesystem::path data = home.path() / "terminal";
    ProgramWindow window(display, folder, {kProgram.string(), "--demo-gateway", server.url()}, data, {lunchTimeZone()});
    ASSERT_FALSE(window.id.empty()) << window.output();
    Person person(window, (data / "system.log").string());
    ASSERT_TRUE(eventually(Person::kPatience, [&] { return person.logged("*** Ready for Login!"); }))
        << window.output();
    ASSERT_TRUE(person.settled());

    // The manager signs in; the day is closed, so the administration screen comes, where she
    // opens it, then goes to the orders.
    window.click(signIn.number);
    window.type(std::to_string(storesim::DemoStore::kManagerNumber));
    ASSERT_TRUE(person.click(signIn.login)) << person.picture("demo_window_signing_in");
    ASSERT_TRUE(eventually(Person::kPatience, [&] { return person.logged("*** User: Sam Rivera"); })) << person.log();
    person.picture("demo_window_admin");
    ASSERT_TRUE(person.click(demoAt.openStore)) << person.picture("demo_window_open_store");
    ASSERT_TRUE(person.click(demoAt.confirmYes)) << person.picture("demo_window_opening");
    EXPECT_TRUE(eventually(Person::kPatience, [&] { return server.dayOpen(); }));
    ASSERT_TRUE(person.click(demoAt.openedOk)) << person.picture("demo_window_opened");
    ASSERT_TRUE(person.click(demoAt.orders)) << person.picture("demo_window_orders");

    // Table 1: a burger cooked medium rare with fries, a lager, sent.
    ASSERT_TRUE(person.click(demoAt.tableAreas)) << person.picture("demo_window_areas");
    ASSERT_TRUE(person.click(demoAt.table1)) << person.picture("demo_window_table");
    ASSERT_TRUE(person.click(demoAt.burger)) << person.picture("demo_window_doneness");
    ASSERT_TRUE(person.click(demoAt.mediumRare)) << person.picture("demo_window_sides");
    // The burger's one side chosen, the line is whole.
    ASSERT_TRUE(person.click(demoAt.moreFries)) << person.picture("demo_window_burger");
    ASSERT_TRUE(person.click(demoAt.drinks)) << person.picture("demo_window_drinks");
    ASSERT_TRUE(person.click(demoAt.lager)) << person.picture("demo_window_lager");
    person.picture("demo_window_table_order");
    ASSERT_TRUE(person.click(at.send)) << person.picture("demo_window_sending");

    // The kitchen got it: the grill the burger as ordered, the bar the lager.
    const std::string grillTicket = paper(grill, 1);
    EXPECT_NE(grillTicket.find("Grill\nTable 1\n"), std::string::npos) << grillTicket;
    EXPECT_NE(grillTicket.find("Server: Sam Rivera\n"), std::string::npos) << grillTicket;
    EXPECT_NE(grillTicket.find("1 x Harbour burger\n    Medium rare\n    + Fries\n"), std::string::npos) << grillTicket;
    EXPECT_EQ(grillTicket.find("lager"), std::string::npos) << grillTicket;
    const std::string barTicket = paper(bar, 1);
    EXPECT_NE(barTicket.find("1 x Draught lager\n"), std::string::npos) << barTicket;

    // The table again, paid by a card typed in: the store server charges it at the card gateway,
    // the order closes and its receipt prints.
    ASSERT_TRUE(person.click(demoAt.table1)) << person.picture("demo_window_table_again");
    ASSERT_TRUE(person.click(at.pay)) << person.picture("demo_window_pay");
    ASSERT_TRUE(person.click(demoAt.credit)) << person.picture("demo_window_credit");
    window.click(demoAt.cardNumber);
    window.type("4111111111111111");
    window.click(demoAt.cardExpiry);
    window.type("1230");
    ASSERT_TRUE(person.settled());
    person.picture("demo_window_card_typed");
    ASSERT_TRUE(person.click(at.process)) << person.picture("demo_window_processing");
    std::optional<std::string> held;
    EXPECT_TRUE(eventually(Person::kPatience, [&] {
        std::vector<std::string> ids = server.orderRemoteIds();
        held = ids.empty() ? std::nullopt : server.order(ids[0]);
        return holds(held, "<closed>true</closed>");
    })) << held.value_or("no order");
    ASSERT_EQ(gateway.kept().size(), 1u);
    EXPECT_EQ(gateway.kept()[0].amountCents, 2555);
    EXPECT_TRUE(holds(held, "type=\"credit\"") && holds(held, "<refNumber>" + gateway.kept()[0].reference + "<"))
        << held.value_or("");
    const std::string receiptText = paper(receipt, 1);
    EXPECT_NE(receiptText.find("Harbour Street Kitchen\nTable 1\n"), std::string::npos) << receiptText;
    EXPECT_NE(receiptText.find("1 Harbour burger"), std::string::npos) << receiptText;
    EXPECT_NE(receiptText.find("Total                                25.55"), std::string::npos) << receiptText;
    ASSERT_TRUE(person.settled());
    person.picture("demo_window_paid");
}
} // namespace
} // namespace tavlo::screens
