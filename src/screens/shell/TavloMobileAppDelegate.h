#pragma once

#include "platform/foundation/Error.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/store/ObjectContext.h"
#include "platform/store/ObjectStore.h"
#include "platform/ui/Application.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/SplitViewController.h"
#include "screens/common/PadPanes.h"
#include "screens/common/ScreenInterfaces.h"
#include "sync/handlers/AppShell.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tavlo::screens {

class DetailViewController;
class RootViewController;

// The terminal's application delegate: the start-up.
//
// At launch it opens the object store (the main context every screen works in), makes the payment
// handler factory and the app shell (which merges every other context's save into the main context
// on the main thread), then runs the home step. A configured terminal loads its whole store when
// it changed stores, sets the background handlers up (once per process), starts them and shows the
// sign-in screen; one that is not shows the store set-up screen, whose success runs the home step
// again. Both screens are made by their interface names ("LoginView", "SettingsView") through the
// interface registry, so the start-up needs neither class. At the end it saves the main context.
//
// The phone shows the sign-in screen first in a navigation of its own. The pad shows a split view
// of the root pane beside the detail pane: the root pane presents the sign-in screen, and the
// set-up screen is presented over the split view.
class TavloMobileAppDelegate : public ui::ApplicationDelegate,
                               public PadPanes,
                               public std::enable_shared_from_this<TavloMobileAppDelegate> {
public:
    // Less free space than this (50 MiB) warns at sign-in.
    static constexpr uint64_t kLowSpaceLimit = 52428800;

    TavloMobileAppDelegate();
    // Waits for the terminal info still being sent.
    ~TavloMobileAppDelegate() override;

    // The installed application's delegate when it is this class; null otherwise.
    static TavloMobileAppDelegate* current();

    // Registers the set-up screen's controller class C under "SettingsView": each one made answers
    // settingsSaved() of the delegate installed at that time and works on its main context and
    // store. C has setObserver(std::function<void()>), setContext and setPersistentStoreCoordinator.
    template <typename C> static void registerSettingsController();

    // --- the application's delegate
    void applicationDidFinishLaunching(ui::Application& app) override;
    // Waits for the card charges in flight (their answers stored as they come), then saves the
    // main context when it has changes; a failed save is logged and mailed, and the program's
    // exit status becomes -1 (terminationStatus).
    void applicationWillTerminate(ui::Application& app) override;
    // Pad: both landscapes; phone: portrait and both landscapes.
    std::optional<uint32_t> supportedInterfaceOrientations(ui::Application& app, ui::Window& window) override;
    // Saves the main context now; a failed save is logged and mailed and ends the program with
    // status -1, as nothing the terminal holds could be kept any more.
    void saveAction();
    // Whether a split view folding into one pane drops its secondary pane: yes exactly when that
    // pane is a navigation showing the detail screen on top (nothing of an order in it). The
    // platform's split view never folds; the answer is the one it would be given.
    static bool collapseSecondaryViewController(ui::ViewController& secondary, ui::ViewController& primary);

    // --- the start-up's steps (main thread)
    // The configuration decision: the user defaults "store_id", "password" and "gateway" and the
    // configuration value TAVLO_LITE. A configured terminal of another store (or of none yet)
    // loads the whole store first; a failed load shows why and counts as not configured. The
    // handlers' mode (lite or gateway) is read after that load, from the store it loaded.
    void home();
    // A user defaults file that cannot be written loses the set-up at every start: says so.
    void warnOfUnsavedSettings();
    // Sets up the background services through the app shell: once per process.
    void setupHandlers(bool lite, const std::string& gateway);
    // Starts the handlers, warns of low space, sends the terminal's information in the
    // background (unless HH_IGNORE_TERMINAL_INFO) and shows the sign-in screen.
    void login(const std::string& gateway);
    // Shows the store set-up screen.
    void settings();
    // The set-up screen's answer once a store is set up: the home step again.
    void settingsSaved();
    // Below 50 MiB: logged, mailed and shown as an alert.
    void verifySpace(uint64_t freeBytes);

    // --- what other screens reach through the application
    // The main context, opened on first use; null when the object store cannot be opened (that is
    // logged and mailed once).
    std::shared_ptr<ObjectContext> managedObjectContext();
    std::shared_ptr<ObjectStore> persistentStoreCoordinator();
    // Phone: the sign-in screen's navigation; null before sign-in and on the pad.
    ui::NavigationController* navigationController() const { return navigationController_.get(); }
    // Pad: the split view and its panes, made at launch; null on the phone.
    ui::SplitViewController* splitViewController() const { return splitViewController_.get(); }
    const std::shared_ptr<RootViewController>& rootViewController() const { return rootViewController_; }
    const std::shared_ptr<DetailViewController>& detailViewController() const { return detailViewController_; }
    // Pad: pushes the controller on the detail pane's navigation, or pops its top one for null.
    void pushDetailsView(std::shared_ptr<ui::ViewController> controller, bool animated) override;
    // --- the pad's panes as other screens reach them
    ui::NavigationController* detailNavigation() const override;
    bool logoutFromRoot() override;
    bool setRootMainController(std::shared_ptr<ui::ViewController> main) override;

    // --- state
    bool handlersSetupCompleted() const { return handlersSetupCompleted_; }
    // Why the last home step's store load failed; none when it loaded the store or had none to load.
    const std::optional<Error>& storeLoadError() const { return storeLoadError_; }
    // 0, or -1 once the save at termination failed.
    int terminationStatus() const { return terminationStatus_; }
    // Where the free space at sign-in comes from (Session::freeDiskSpace unless set).
    void setFreeSpaceReader(std::function<uint64_t()> reader) { freeSpace_ = std::move(reader); }
    // Blocks until the terminal information sent in the background has gone.
    void waitForBackgroundWork() { background_.waitUntilAllOperationsAreFinished(); }

private:
    ui::Window& window();
    // Loads the store from the gateway in full, synchronously; false (with the alert shown) when
    // it failed.
    bool loadStore(const std::string& url, const std::string& storeId, const std::string& password,
                   const std::optional<std::string>& loadedStoreId);

    ui::Application* app_ = nullptr;
    std::shared_ptr<ObjectContext> context_;
    bool storeOpenFailed_ = false;
    std::unique_ptr<AppShell> shell_;
    bool handlersSetupCompleted_ = false;
    std::shared_ptr<ui::NavigationController> navigationController_;
    std::shared_ptr<ui::SplitViewController> splitViewController_;
    std::shared_ptr<RootViewController> rootViewController_;
    std::shared_ptr<DetailViewController> detailViewController_;
    bool uiLoaded_ = false;
    std::optional<Error> storeLoadError_;
    int terminationStatus_ = 0;
    std::function<uint64_t()> freeSpace_;
    OperationQueue background_{1};
};

template <typename C> void TavloMobileAppDelegate::registerSettingsController() {
    ui::InterfaceRegistry::shared().addController(kSettingsInterface, [] {
        auto controller = std::make_shared<C>();
        if (TavloMobileAppDelegate* delegate = current()) {
            std::weak_ptr<TavloMobileAppDelegate> answer = delegate->weak_from_this();
            controller->setObserver([answer] {
                if (auto d = answer.lock()) d->settingsSaved();
            });
            controller->setContext(delegate->managedObjectContext());
            controller->setPersistentStoreCoordinator(delegate->persistentStoreCoordinator());
        }
        return controller;
    });
}

} // namespace tavlo::screens
