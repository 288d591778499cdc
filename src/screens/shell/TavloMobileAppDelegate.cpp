#include "screens/shell/TavloMobileAppDelegate.h"

#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "payments/CardRequest.h"
#include "payments/PaymentHandlerFactory.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/NavigationController.h"
#include "screens/shell/DetailViewController.h"
#include "screens/shell/LoginViewController.h"
#include "screens/shell/RootViewController.h"
#include "screens/shell/SettingsViewController.h"
#include "sync/exchange/CommHelper.h"
#include "sync/storeload/OperationSynchStore.h"

#include <cstdlib>

namespace tavlo::screens {

using namespace ui;

namespace {

// A user default's text; an empty one counts as none.
std::optional<std::string> defaultsText(const char* key) {
    std::optional<std::string> text = UserDefaults::standardUserDefaults().stringForKey(key);
    if (text && text->empty()) return std::nullopt;
    return text;
}

void showAlert(const std::string& title, const std::string& message) {
    AlertView::make(title, message, std::string("Ok"))->show();
}

} // namespace

TavloMobileAppDelegate::TavloMobileAppDelegate() : freeSpace_(&Session::freeDiskSpace) {}

TavloMobileAppDelegate::~TavloMobileAppDelegate() = default;

TavloMobileAppDelegate* TavloMobileAppDelegate::current() {
    Application* app = Application::current();
    return app ? dynamic_cast<TavloMobileAppDelegate*>(app->delegate()) : nullptr;
}

Window& TavloMobileAppDelegate::window() { return (app_ ? *app_ : Application::getInstance()).window(); }

std::shared_ptr<ObjectContext> TavloMobileAppDelegate::managedObjectContext() {
    if (context_ || storeOpenFailed_) return context_;
    Error error;
    context_ = DBHelper::mainContext(&error);
    if (!context_) {
        storeOpenFailed_ = true;
        TAVLO_LOG_MAIL("Unexpected error with persistent store coordinator: %@", error.localizedDescription());
    }
    return context_;
}

std::shared_ptr<ObjectStore> TavloMobileAppDelegate::persistentStoreCoordinator() {
    std::shared_ptr<ObjectContext> context = managedObjectContext();
    return context ? context->store() : nullptr;
}

void TavloMobileAppDelegate::applicationDidFinishLaunching(Application& app) {
    app_ = &app;
    if (app.idiom() == DeviceIdiom::Tablet) {
        rootViewController_ = std::make_shared<RootViewController>();
        detailViewController_ = std::make_shared<DetailViewController>();
        rootViewController_->setDetailViewController(detailViewController_);
        detailViewController_->setRootPane(rootViewController_);
        splitViewController_ = std::make_shared<SplitViewController>();
        splitViewController_->setViewControllers(std::make_shared<NavigationController>(rootViewController_),
                                                 std::make_shared<NavigationController>(detailViewController_));
        splitViewController_->setDelegate(detailViewController_.get());
        splitViewController_->setPresentsWithGesture(false);
    }
    uiLoaded_ = false;
    handlersSetupCompleted_ = false;
    // The first use of the main context opens the object store.
    std::shared_ptr<ObjectContext> context = managedObjectContext();
    PaymentHandlerFactory::initWithMOC(context.get());
    // Without its store the terminal can do nothing; the failure is logged above.
    if (!context) return;
    shell_ = std::make_unique<AppShell>(context);
    if (rootViewController_) {
        rootViewController_->setManagedObjectContext(context);
        rootViewController_->setPersistentStoreCoordinator(context->store());
    }
    home();
    warnOfUnsavedSettings();
}

void TavloMobileAppDelegate::warnOfUnsavedSettings() {
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    std::string reason;
    if (defaults.isWritable(&reason)) return;
    TAVLO_LOG("Unable to write the user defaults %@: %@", defaults.file().string(), reason);
    AlertView::make(localized("Settings not saved"),
                    format(localized("This terminal's settings cannot be written to %@ (%@): it will be set up "
                                     "again at every start until that file can be written."),
                           defaults.file().string(), reason),
                    localized("OK"))
        ->show();
}

void TavloMobileAppDelegate::home() {
    storeLoadError_.reset();
    std::shared_ptr<ObjectContext> context = managedObjectContext();
    std::optional<std::string> storeId = defaultsText("store_id");
    std::optional<std::string> password = defaultsText("password");
    std::optional<std::string> gateway = defaultsText("gateway");
    bool lite = Parameters::flag(Parameter::Lite, context.get());

    // A gateway is only looked for here, not tried.
    bool configured = storeId && password && (gateway || lite);
    std::string url;
    if (configured) {
        std::optional<std::string> loadedStoreId = Parameters::text(Parameter::StoreId, context.get());
        url = CommHelper::formatTavloURL(gateway).value_or("");
        if (loadedStoreId != storeId) configured = loadStore(url, *storeId, *password, loadedStoreId);
        // The store just loaded says how this terminal works, not what the folder held before.
        lite = Parameters::flag(Parameter::Lite, context.get());
    }

    if (splitViewController_ && !uiLoaded_) {
        window().setRootViewController(splitViewController_);
        uiLoaded_ = true;
    }
    window().makeKeyAndVisible();
    if (!configured) {
        settings();
        return;
    }
    TAVLO_LOG("*** STORE:%@", storeId);
    if (!handlersSetupCompleted_) {
        setupHandlers(lite, url);
        handlersSetupCompleted_ = true;
    }
    login(url);
}

bool TavloMobileAppDelegate::loadStore(const std::string& url, const std::string& storeId, const std::string& password,
                                       const std::optional<std::string>& loadedStoreId) {
    OperationSynchStore load(url, storeId, password, true, std::nullopt,
                             SettingsViewController::initialNetworkTimeout(), true, persistentStoreCoordinator());
    load.start();
    if (loadedStoreId) {
        TAVLO_LOG("*** STORE CHANGED!");
        TAVLO_LOG("*** OLD STORE:%@", loadedStoreId);
    }
    TAVLO_LOG("*** NEW STORE:%@", storeId);
    if (load.succeeded()) return true;
    const std::string unable = "Unable to synchronize, verify your store credentials";
    storeLoadError_ = load.error().value_or(Error(CommHelper::kStoreServerErrorDomain, 1, unable));
    showAlert("Error", unable);
    TAVLO_LOG("*** ERROR: Unable to synch, verify your credentials!");
    return false;
}

void TavloMobileAppDelegate::setupHandlers(bool lite, const std::string& gateway) {
    shell_->setupHandlers(lite, gateway);
}

void TavloMobileAppDelegate::login(const std::string& /*gateway*/) {
    std::shared_ptr<ObjectContext> context = managedObjectContext();
    TAVLO_LOG("Login from App Delegate");
    uint64_t freeBytes = freeSpace_();
    bool ignoreTerminalInfo = Parameters::flag(Parameter::IgnoreTerminalInfo, context.get());
    TAVLO_LOG("*** GATEWAY:%@", CommHelper::gateway());
    TAVLO_LOG("*** AVAILABLE: %@", Session::formatSpace(freeBytes));
    for (const char* line : {"***", "*** Ready for Login!", "***", "************************************", ""})
        TAVLO_LOG(line);

    shell_->login();
    verifySpace(freeBytes);
    if (!ignoreTerminalInfo) background_.addOperation([] { CommHelper::sendTerminalInfo(); });

    if (rootViewController_) {
        rootViewController_->displayLogin();
        return;
    }
    if (!navigationController_) {
        std::shared_ptr<ViewController> login = InterfaceRegistry::shared().instantiate(kLoginInterface);
        if (auto* screen = dynamic_cast<LoginViewController*>(login.get())) {
            screen->setManagedObjectContext(context);
            screen->setPersistentStoreCoordinator(context->store());
        }
        navigationController_ = std::make_shared<NavigationController>(login);
    }
    window().setRootViewController(navigationController_);
}

void TavloMobileAppDelegate::pushDetailsView(std::shared_ptr<ViewController> controller, bool animated) {
    NavigationController* detail = detailNavigation();
    if (!detail) return;
    if (controller) detail->push(std::move(controller), animated);
    else detail->pop(animated);
}

NavigationController* TavloMobileAppDelegate::detailNavigation() const {
    return detailViewController_ ? detailViewController_->navigationController() : nullptr;
}

bool TavloMobileAppDelegate::logoutFromRoot() {
    if (!rootViewController_) return false;
    rootViewController_->logout();
    return true;
}

bool TavloMobileAppDelegate::setRootMainController(std::shared_ptr<ViewController> main) {
    if (!rootViewController_) return false;
    rootViewController_->setMainController(std::move(main));
    return true;
}

void TavloMobileAppDelegate::verifySpace(uint64_t freeBytes) {
    if (freeBytes >= kLowSpaceLimit) return;
    std::string space = Session::formatSpace(freeBytes);
    TAVLO_LOG_MAIL("Running out of space (available: %@)", space);
    showAlert("Alert", format("%@ (%@)",
                              "You are running out of space on the device, free some space to avoid potentially "
                              "loosing information",
                              space));
}

void TavloMobileAppDelegate::settings() {
    TAVLO_LOG("*** NOTE: Terminal does not contain configuration!");
    std::shared_ptr<ViewController> setup = InterfaceRegistry::shared().instantiate(kSettingsInterface);
    if (splitViewController_) splitViewController_->present(setup, false);
    else window().setRootViewController(setup);
}

void TavloMobileAppDelegate::settingsSaved() {
    if (!splitViewController_ || !splitViewController_->presentedViewController()) {
        home();
        return;
    }
    std::weak_ptr<TavloMobileAppDelegate> self = weak_from_this();
    splitViewController_->dismiss(false, [self] {
        if (auto delegate = self.lock()) delegate->home();
    });
}

void TavloMobileAppDelegate::applicationWillTerminate(Application&) {
    TAVLO_LOG("Application will Terminate");
    // A card charge in flight may have been taken by the host: its answer is stored first.
    CardRequest::waitForAll();
    if (!context_ || !context_->hasChanges()) return;
    Error error;
    if (!context_->save(&error)) {
        TAVLO_LOG_MAIL("Unresolved error, app will terminate:%@", error.localizedDescription());
        terminationStatus_ = -1;
    }
}

void TavloMobileAppDelegate::saveAction() {
    std::shared_ptr<ObjectContext> context = managedObjectContext();
    Error error;
    if (!context || context->save(&error)) return;
    TAVLO_LOG_MAIL("Unresolved error: %@", error.localizedDescription());
    std::exit(-1);
}

bool TavloMobileAppDelegate::collapseSecondaryViewController(ViewController& secondary, ViewController&) {
    auto* navigation = dynamic_cast<NavigationController*>(&secondary);
    return navigation && dynamic_cast<DetailViewController*>(navigation->topViewController()) != nullptr;
}

std::optional<uint32_t> TavloMobileAppDelegate::supportedInterfaceOrientations(Application& app, Window&) {
    return app.device().isTablet() ? OrientationMask::Landscape : OrientationMask::AllButUpsideDown;
}

} // namespace tavlo::screens
