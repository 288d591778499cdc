// The start-up through the harness, against the store server on loopback: which screen a terminal
// reaches, when the store is loaded, the handlers set up once, the low-space warning, the
// terminal information, the merge of background saves and the save at the end. The set-up and
// sign-in screens are small stand-ins registered under their interface names.
#include "RunUntil.h"
#include "StoreServer.h"
#include "core/records/CashInOut.h"
#include "core/session/DBHelper.h"
#include "core/session/Session.h"
#include "platform/foundation/Directories.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/net/NetworkProbe.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TextField.h"
#include "platform/ui/render/Snapshot.h"
#include "printing/ReportGenerator.h"
#include "screens/shell/BroadcastListener.h"
#include "screens/shell/DetailViewController.h"
#include "screens/shell/LoginViewController.h"
#include "screens/shell/RootViewController.h"
#include "screens/shell/SettingsViewController.h"
#include "screens/shell/StartupScreens.h"
#include "screens/shell/TavloMobileAppDelegate.h"
#include "support/LocalStoreScope.h"
#include "support/LogLines.h"
#include "support/ui/Golden.h"
#include "support/ui/Harness.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/AppShell.h"
#include "sync/handlers/OrderHandler.h"
#include "sync/handlers/StoreHandler.h"
#include "sync/storeload/StoreDataGenerator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

namespace tavlo::screens {
namespace {

using namespace ui;

constexpr uint64_t kPlentyOfSpace = uint64_t{8} << 30;

// The sign-in screen's stand-in.
class StandInLogin : public ViewController {
public:
    StandInLogin() : ViewController("LoginView") {}
    void loadView() override {
        auto label = std::make_shared<Label>(Rect(0, 0, 320, 40));
        label->setText(std::string("Sign in"));
        setView(label);
    }
};

// The set-up screen's stand-in: what the start-up hands it, and its answer once a store is set up.
class StandInSettings : public ViewController {
public:
    StandInSettings() : ViewController("SettingsView") {}
    void loadView() override {
        auto label = std::make_shared<Label>(Rect(0, 0, 320, 40));
        label->setText(std::string("Set up the store"));
        setView(label);
    }
    void setObserver(std::function<void()> observer) { observer_ = std::move(observer); }
    void setContext(std::shared_ptr<ObjectContext> context) { context_ = std::move(context); }
    void setPersistentStoreCoordinator(std::shared_ptr<ObjectStore> store) { store_ = std::move(store); }
    // The settings are stored: tells the observer, as the screen does on the main thread.
    void saved() { observer_(); }

    std::function<void()> observer_;
    std::shared_ptr<ObjectContext> context_;
    std::shared_ptr<ObjectStore> store_;
};

void setDefaults(const std::optional<std::string>& storeId, const std::optional<std::string>& password,
                 const std::optional<std::string>& gateway) {
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    auto set = [&](const std::optional<std::string>& value, const char* key) {
        if (value) defaults.setObject(*value, key);
        else defaults.removeObjectForKey(key);
    };
    set(storeId, "store_id");
    set(password, "password");
    set(gateway, "gateway");
    defaults.synchronize();
}

// A terminal of its own: a fresh data folder, the application and its delegate. Its handlers and
// its background work end with it.
struct Terminal {
    explicit Terminal(uint64_t freeSpace = kPlentyOfSpace) {
        delegate->setFreeSpaceReader([freeSpace] { return freeSpace; });
        h.app().setDelegate(delegate);
    }
    ~Terminal() {
        delegate->waitForBackgroundWork();
        AppShell::endHandlers();
        CommHelper::setGateway(std::nullopt);
    }
    // The store as a load of `storeId` left it (its id, and these values).
    void loaded(const std::string& storeId, const std::vector<std::pair<std::string, std::string>>& values = {}) {
        DBHelper::saveStoreParam("IPHONE_STORE_ID", storeId, store.context().get());
        for (const auto& [name, value] : values) DBHelper::saveStoreParam(name, value, store.context().get());
        store.save();
    }
    void launch() {
        h.app().launch();
        h.runUntilIdle();
    }
    std::string visibleInterface() { return h.visibleController().interfaceName(); }

    tavlo::test::LocalStoreScope store;
    ui::test::Harness h{DeviceIdiom::Tablet};
    std::shared_ptr<TavloMobileAppDelegate> delegate = std::make_shared<TavloMobileAppDelegate>();
};

class AppDelegateTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The handlers find no network: their runs send nothing, so every request the server
        // sees comes from the start-up itself.
        NetworkProbe::install(std::make_shared<FixedNetworkProbe>(false, "127.0.0.1"));
        InterfaceRegistry::shared().addController("LoginView", [] { return std::make_shared<StandInLogin>(); });
        TavloMobileAppDelegate::registerSettingsController<StandInSettings>();
        server.setStoreData([](const storesim::StoreDataRequest&) { return StoreDataGenerator::reply(20); });
        server.start();
    }
    void TearDown() override {
        NetworkProbe::install(nullptr);
        InterfaceRegistry::shared().remove("LoginView");
        InterfaceRegistry::shared().remove("SettingsView");
    }

    // The user defaults of a set-up terminal of this store on the server.
    void configure(const std::string& storeId = "S-7") { setDefaults(storeId, "pw", server.url()); }
    size_t loads() const { return server.requestCount("getStoreData"); }

    storesim::StoreServer server{{"S-7", "pw"}};
};

TEST_F(AppDelegateTest, AConfiguredTerminalOfTheSameStoreLoadsNothingAndShowsTheSignIn) {
    Terminal t;
    configure();
    t.loaded("S-7");
    t.launch();

    EXPECT_EQ(loads(), 0u);
    EXPECT_EQ(t.visibleInterface(), "LoginView");
    // The pad: the sign-in screen is presented by the root pane over the split view.
    ASSERT_NE(t.delegate->splitViewController(), nullptr);
    EXPECT_EQ(t.h.window().rootViewController(), t.delegate->splitViewController());
    EXPECT_NE(t.delegate->splitViewController()->presentedViewController(), nullptr);
    EXPECT_FALSE(t.h.hasAlert());
    EXPECT_TRUE(t.delegate->handlersSetupCompleted());
    EXPECT_TRUE(StoreHandler::getInstance()->isRunning());
    EXPECT_EQ(CommHelper::gateway(), server.url());
    std::vector<std::string> lines = tavlo::test::loggedMessages();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "*** STORE:S-7"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "*** NEW STORE:S-7"), 0);
    auto ready = std::find(lines.begin(), lines.end(), "*** Ready for Login!");
    ASSERT_LT(ready + 2, lines.end());
    EXPECT_EQ(*(ready + 2), std::string(36, '*'));
}

TEST_F(AppDelegateTest, AnotherStoreOrNoneLoadsTheWholeStoreFirst) {
    struct Case {
        std::optional<std::string> loadedBefore;
        std::vector<std::string> logged;
    };
    const Case cases[] = {
        {std::nullopt, {"*** NEW STORE:S-7"}},
        {"S-6", {"*** STORE CHANGED!", "*** OLD STORE:S-6", "*** NEW STORE:S-7"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.loadedBefore.value_or("none"));
        Terminal t;
        configure();
        if (c.loadedBefore) t.loaded(*c.loadedBefore);
        size_t before = loads();
        t.launch();

        EXPECT_EQ(loads(), before + 1);
        EXPECT_EQ(t.visibleInterface(), "LoginView");
        EXPECT_FALSE(t.delegate->storeLoadError());
        EXPECT_EQ(DBHelper::getStoreValue("IPHONE_STORE_ID", t.store.context().get()), "S-7");
        EXPECT_EQ(t.store->count(FetchRequest("Menu")), StoreDataGenerator::kMenus);
        std::vector<std::string> lines = tavlo::test::loggedMessages();
        for (const std::string& line : c.logged)
            EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
    }
}

TEST_F(AppDelegateTest, AnUnconfiguredTerminalShowsTheSetUpScreenWithoutALoad) {
    struct Case {
        const char* what;
        std::optional<std::string> storeId, password;
        bool gateway;
    };
    const Case cases[] = {
        {"nothing set", std::nullopt, std::nullopt, false},
        {"no gateway outside lite mode", "S-7", "pw", false},
        {"no password", "S-7", std::nullopt, true},
        {"an empty store id", "", "pw", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Terminal t;
        setDefaults(c.storeId, c.password, c.gateway ? std::optional(server.url()) : std::nullopt);
        t.launch();

        EXPECT_EQ(t.visibleInterface(), "SettingsView");
        EXPECT_EQ(loads(), 0u);
        EXPECT_FALSE(t.delegate->handlersSetupCompleted());
        EXPECT_EQ(StoreHandler::instance(), nullptr);
        EXPECT_TRUE(tavlo::test::logged("*** NOTE: Terminal does not contain configuration!"));
    }
}

TEST_F(AppDelegateTest, LiteModeNeedsNoGateway) {
    Terminal t;
    setDefaults("S-7", "pw", std::nullopt);
    t.loaded("S-7", {{"TAVLO_LITE", "YES"}});
    t.launch();
    EXPECT_EQ(t.visibleInterface(), "LoginView");
    EXPECT_TRUE(StoreHandler::getInstance()->isQueueing());
}

TEST_F(AppDelegateTest, AFreshTerminalOfALiteStoreWorksAsItsOwnTillFromItsFirstRun) {
    // An empty data folder: the mode is known only once the store is loaded.
    server.setStoreData([](const storesim::StoreDataRequest&) {
        return StoreDataGenerator::reply(20, {{"TAVLO_LITE", "YES"}});
    });
    Terminal t;
    configure();
    t.launch();
    ASSERT_EQ(t.visibleInterface(), "LoginView");
    ASSERT_TRUE(boolValue(DBHelper::getValue("TAVLO_LITE", t.store.context().get())));
    EXPECT_TRUE(StoreHandler::getInstance()->isQueueing());
    ASSERT_TRUE(OrderHandler::getInstance()->isQueueing());

    // Opening the day and cashing a drawer in are written here, to go out with the queue.
    ObjectContext* context = t.store.context().get();
    const std::optional<std::string> user = std::string("U-0");
    Error error;
    ASSERT_TRUE(OrderHandler::getInstance()->openStore(user, Date::now(), context, &error))
        << error.localizedDescription();
    ManagedObjectPtr day = context->fetchFirst("StoreBatch", "closedOn == nil");
    ASSERT_TRUE(day);
    CashInOut cashIn;
    cashIn.setCashInOutId(std::string("C-1"));
    cashIn.setBatchId(day->text("remoteId"));
    cashIn.setDrawerId(std::string("D0"));
    cashIn.setInBy(user);
    cashIn.setInAmount(10000);
    cashIn.setInDate(Date::now());
    ASSERT_TRUE(OrderHandler::getInstance()->sendCashInOut(cashIn, user, context, &error))
        << error.localizedDescription();
    EXPECT_EQ(t.store->count(FetchRequest("CashInOut", Predicate::format("cashDrawer.cashDrawerId == %@", "D0"))), 1u);
    EXPECT_EQ(t.store->count(FetchRequest("OrderQueue", Predicate::format("remoteId == %@", "D0"))), 1u);
    // The drawer's report is made here from that record.
    auto session = std::make_shared<Session>(context);
    ASSERT_TRUE(session->isLite());
    std::optional<ReportGenerator::Lines> report =
        ReportGenerator(session).reportCashDrawer(std::string("D0"), 40, true);
    ASSERT_TRUE(report);
    std::string text;
    for (const std::string& line : *report) text += line + "\n";
    EXPECT_NE(text.find("100.00"), std::string::npos) << text;
}

TEST_F(AppDelegateTest, ARefusedFirstLoadSaysSoAndShowsTheSetUpScreen) {
    server.setFault("getStoreData", storesim::Fault::ErrorElement, 0, "Store is closed for maintenance");
    Terminal t;
    configure();
    t.launch();

    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().title(), "Error");
    EXPECT_EQ(t.h.frontAlert().message(), "Unable to synchronize, verify your store credentials");
    EXPECT_EQ(t.h.frontAlert().buttonTitles(), std::vector<std::string>{"Ok"});
    ASSERT_TRUE(t.delegate->storeLoadError());
    EXPECT_EQ(t.delegate->storeLoadError()->localizedDescription(), "Store is closed for maintenance");
    EXPECT_TRUE(tavlo::test::logged("*** ERROR: Unable to synch, verify your credentials!"));
    t.h.clickAlert("Ok");
    EXPECT_EQ(t.visibleInterface(), "SettingsView");
    EXPECT_FALSE(t.delegate->handlersSetupCompleted());
    EXPECT_EQ(DBHelper::getStoreValue("IPHONE_STORE_ID", t.store.context().get()), std::nullopt);

    // The set-up screen then loads the store: the failure is over.
    t.loaded("S-7");
    t.h.visible<StandInSettings>().saved();
    t.h.runUntilIdle();
    EXPECT_EQ(t.visibleInterface(), "LoginView");
    EXPECT_FALSE(t.delegate->storeLoadError());
}

TEST_F(AppDelegateTest, AfterTheSetUpScreenTheHandlersAreSetUpOnce) {
    Terminal t;
    t.launch();
    ASSERT_EQ(t.visibleInterface(), "SettingsView");
    auto& settings = t.h.visible<StandInSettings>();
    EXPECT_EQ(settings.context_, t.store.context());
    EXPECT_EQ(settings.store_, t.store.context()->store());
    EXPECT_EQ(StoreHandler::instance(), nullptr);

    // The set-up screen stored the settings of a store it loaded, then answers.
    configure();
    t.loaded("S-7");
    settings.saved();
    t.h.runUntilIdle();
    EXPECT_EQ(t.visibleInterface(), "LoginView");
    EXPECT_TRUE(t.delegate->handlersSetupCompleted());
    std::shared_ptr<StoreHandler> handler = StoreHandler::getInstance();
    EXPECT_EQ(handler->url(), server.url());

    // The home step again, now with another gateway: the handlers keep the set-up they had.
    storesim::StoreServer other({"S-7", "pw"});
    other.start();
    setDefaults("S-7", "pw", other.url());
    t.delegate->settingsSaved();
    t.h.runUntilIdle();
    EXPECT_EQ(t.visibleInterface(), "LoginView");
    EXPECT_EQ(StoreHandler::getInstance(), handler);
    EXPECT_EQ(handler->url(), server.url());
    EXPECT_EQ(CommHelper::gateway(), server.url());
    EXPECT_EQ(loads() + other.requestCount("getStoreData"), 0u);
}

TEST_F(AppDelegateTest, LessThanFiftyMebibytesFreeWarns) {
    struct Case {
        uint64_t free;
        bool warns;
    };
    for (const Case& c : {Case{52428800, false}, Case{52428799, true}, Case{1024, true}}) {
        SCOPED_TRACE(c.free);
        Terminal t(c.free);
        configure();
        t.loaded("S-7");
        t.launch();

        EXPECT_EQ(t.visibleInterface(), "LoginView");
        std::string space = Session::formatSpace(c.free);
        EXPECT_TRUE(tavlo::test::logged("*** AVAILABLE: " + space));
        ASSERT_EQ(t.h.hasAlert(), c.warns);
        if (!c.warns) continue;
        EXPECT_EQ(t.h.frontAlert().title(), "Alert");
        EXPECT_EQ(t.h.frontAlert().message(), "You are running out of space on the device, free some space to "
                                              "avoid potentially loosing information (" +
                                                  space + ")");
        EXPECT_EQ(t.h.frontAlert().buttonTitles(), std::vector<std::string>{"Ok"});
        EXPECT_TRUE(tavlo::test::logged("Running out of space (available: " + space + ")"));
        t.h.clickAlert("Ok");
        EXPECT_EQ(t.visibleInterface(), "LoginView");
    }
    EXPECT_EQ(Session::formatSpace(52428799), "50.00 MB");
}

TEST_F(AppDelegateTest, SettingsThatCannotBeWrittenAreSaidOnScreen) {
    Terminal t;
    // The user defaults file's path is a folder: nothing set up here would last.
    const std::filesystem::path file = documentsDirectory() / UserDefaults::kFileName;
    std::filesystem::remove(file);
    std::filesystem::create_directories(file);
    t.launch();

    EXPECT_EQ(t.visibleInterface(), "SettingsView");
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().title(), "Settings not saved");
    EXPECT_EQ(t.h.frontAlert().message(), "This terminal's settings cannot be written to " + file.string() +
                                              " (Is a directory): it will be set up again at every start until "
                                              "that file can be written.");
    t.h.clickAlert("OK");
    EXPECT_EQ(t.visibleInterface(), "SettingsView");
}

TEST_F(AppDelegateTest, TheTerminalInformationGoesAfterSignInUnlessIgnored) {
    Terminal t;
    // This device is the generated store's first terminal.
    UserDefaults::standardUserDefaults().setObject(std::string("device-0"), "device_id");
    configure();
    t.launch();
    ASSERT_EQ(t.visibleInterface(), "LoginView");
    t.delegate->waitForBackgroundWork();
    ASSERT_EQ(server.requestCount("terminalInfo"), 1u);
    EXPECT_NE(server.requests().back().body.find("<terminalInfo id=\"T0\">"), std::string::npos)
        << server.requests().back().body;

    DBHelper::saveStoreParam("HH_IGNORE_TERMINAL_INFO", std::string("YES"), t.store.context().get());
    t.store.save();
    t.delegate->login(server.url());
    t.delegate->waitForBackgroundWork();
    EXPECT_EQ(server.requestCount("terminalInfo"), 1u);
}

TEST_F(AppDelegateTest, ABackgroundSaveReachesTheMainContextOnTheMainThread) {
    Terminal t;
    configure();
    t.loaded("S-7");
    t.launch();
    std::atomic<bool> saved = false;
    std::thread background([&] {
        ObjectContext context(t.store.context()->store());
        ManagedObjectPtr row = context.insert("StoreParam");
        row->setValue("name", std::string("HH_UDP_PORT"));
        row->setValue("value", std::string("4410"));
        context.save(); // returns once the main thread has merged it
        saved = true;
    });
    while (!saved) RunLoop::main().runUntilIdle();
    background.join();
    EXPECT_EQ(DBHelper::getStoreValue("HH_UDP_PORT", t.store.context().get()), "4410");
    EXPECT_FALSE(t.store->hasChanges());
}

TEST_F(AppDelegateTest, TheEndSavesWhatTheMainContextHolds) {
    Terminal t;
    configure();
    t.loaded("S-7");
    t.launch();
    DBHelper::saveStoreParam("HH_SEND_DATE_ON_OPEN", std::string("YES"), t.store.context().get());
    ASSERT_TRUE(t.store->hasChanges());
    t.h.app().terminate();
    EXPECT_FALSE(t.store->hasChanges());
    EXPECT_EQ(t.delegate->terminationStatus(), 0);
    ObjectContext reader(t.store.context()->store());
    EXPECT_EQ(DBHelper::getStoreValue("HH_SEND_DATE_ON_OPEN", &reader), "YES");
    EXPECT_TRUE(tavlo::test::logged("Application will Terminate"));
}

TEST_F(AppDelegateTest, SaveActionSavesTheMainContextAtOnce) {
    Terminal t;
    configure();
    t.loaded("S-7");
    t.launch();
    DBHelper::saveStoreParam("HH_SEND_DATE_ON_OPEN", std::string("YES"), t.store.context().get());
    ASSERT_TRUE(t.store->hasChanges());
    t.delegate->saveAction();
    EXPECT_FALSE(t.store->hasChanges());
    ObjectContext reader(t.store.context()->store());
    EXPECT_EQ(DBHelper::getStoreValue("HH_SEND_DATE_ON_OPEN", &reader), "YES");
}

TEST(AppDelegateSplitTest, AFoldingSplitViewDropsOnlyAPaneShowingTheDetailScreen) {
    ui::test::Harness h(DeviceIdiom::Tablet);
    auto primary = std::make_shared<ViewController>();
    auto detail = std::make_shared<NavigationController>(std::make_shared<DetailViewController>());
    EXPECT_TRUE(TavloMobileAppDelegate::collapseSecondaryViewController(*detail, *primary));
    detail->push(std::make_shared<ViewController>(), false);
    EXPECT_FALSE(TavloMobileAppDelegate::collapseSecondaryViewController(*detail, *primary)) << "an order is shown";
    auto plain = std::make_shared<DetailViewController>();
    EXPECT_FALSE(TavloMobileAppDelegate::collapseSecondaryViewController(*plain, *primary)) << "not in a navigation";
}

// The program's sign-in screen, reached as a configured terminal reaches it: presented by the pad's
// root pane, titled with the store and the terminal.
TEST_F(AppDelegateTest, TheSignInScreenNamesTheStoreAndTheTerminal) {
    registerLoginView();
    Terminal t;
    UserDefaults::standardUserDefaults().setObject(std::string("device-0"), "device_id");
    configure();
    t.launch();
    auto& login = t.h.visible<LoginViewController>();
    EXPECT_EQ(login.title(), "Generated Store (Till 0)");
    EXPECT_FALSE(t.h.hasAlert());
    EXPECT_TRUE(login.textNumber()->isFirstResponder());
    ASSERT_NE(login.broadcastListener(), nullptr);
    ui::test::writeTestPicture(render::snapshot(t.h.window(), {1024, 768}), "terminal_sign_in");
}

// The real set-up screen, shown by the start-up and answered as a person answers it.
TEST_F(AppDelegateTest, TheSetUpScreenLoadsTheStoreAndTheStartUpGoesOnToTheSignIn) {
    registerStartupScreens(); // the program's own screens, in place of the stand-ins
    InterfaceRegistry::shared().addController("LoginView", [] { return std::make_shared<StandInLogin>(); });
    Terminal t;
    t.launch();
    ASSERT_NE(dynamic_cast<SettingsViewController*>(&t.h.visibleController()), nullptr);
    t.h.type(t.h.outlet<TextField>("textStoreId"), "S-7");
    t.h.type(t.h.outlet<TextField>("textStorePassword"), "pw");
    t.h.type(t.h.outlet<TextField>("textStoreGateway"), server.url());
    t.h.tap("Save");
    ASSERT_TRUE(t.h.hasAlert());
    t.h.clickAlert("Ok"); // no association code
    ASSERT_TRUE(test::runUntil(t.h, [&] { return t.visibleInterface() == "LoginView"; }));

    EXPECT_EQ(loads(), 1u); // by the set-up screen; the home step after it finds the same store
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    EXPECT_EQ(defaults.stringForKey("store_id"), "S-7");
    EXPECT_EQ(defaults.stringForKey("password"), "pw");
    EXPECT_EQ(defaults.stringForKey("gateway"), server.url());
    EXPECT_TRUE(t.delegate->handlersSetupCompleted());
    EXPECT_TRUE(StoreHandler::getInstance()->isRunning());
    EXPECT_EQ(StoreHandler::getInstance()->url(), server.url());
    // The settings screen writes the same store line: the delegate's own are counted.
    std::vector<std::string> lines = tavlo::test::loggedBy("TavloMobileAppDelegate.cpp");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "*** NOTE: Terminal does not contain configuration!"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "*** STORE:S-7"), 1);
}

TEST(BroadcastListenerAlerts, AMessageForTheStaffIsShownWithItsSource) {
    tavlo::test::LocalStoreScope store;
    ui::test::Harness h(DeviceIdiom::Tablet);
    store.addStoreParam("HH_IGNORE_BROADCASTS", std::string("YES"));
    store.save();
    BroadcastListener listener(store.context().get());
    EXPECT_EQ(listener.udpDelegate(), nullptr);

    Notification message;
    message.name = "Message from: Kitchen";
    message.object = std::string("Table 4 is waiting");
    message.userInfo["source"] = std::string("Kitchen");
    message.userInfo["message"] = std::string("Table 4 is waiting");
    NotificationCenter::defaultCenter().post(UDPDelegate::kBroadcastMessageNotification, std::any(message));
    ASSERT_TRUE(h.hasAlert());
    EXPECT_EQ(h.frontAlert().title(), "Message from Kitchen");
    EXPECT_EQ(h.frontAlert().message(), "Table 4 is waiting");
    EXPECT_EQ(h.frontAlert().buttonTitles(), std::vector<std::string>{"Ok"});
}

TEST(AppDelegateOrientation, ThePadTurnsBetweenLandscapesAndThePhoneAlsoStandsUp) {
    for (auto [idiom, mask] : {std::pair{DeviceIdiom::Tablet, 24u}, std::pair{DeviceIdiom::Phone, 26u}}) {
        Application app(idiom);
        TavloMobileAppDelegate delegate;
        EXPECT_EQ(delegate.supportedInterfaceOrientations(app, app.window()), mask);
    }
}

} // namespace
} // namespace tavlo::screens
