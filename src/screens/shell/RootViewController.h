#pragma once

#include "platform/store/ObjectContext.h"
#include "platform/store/ObjectStore.h"
#include "platform/ui/ViewController.h"
#include "screens/common/SignedInController.h"

#include <memory>
#include <optional>
#include <string>

namespace tavlo {
class Session;
}

namespace tavlo::screens {

class DetailViewController;

// The pad's master pane, first of its navigation stack beside the detail pane. Signed out, it
// presents the sign-in screen over the split view; signed in, the screen a sign-in opens is
// pushed on its stack. It opens orders for the order lists (the pad's twins of the orders main
// screen's loaders) and signs out.
class RootViewController : public SignedInController<ui::ViewController> {
public:
    RootViewController();
    ~RootViewController() override;

    DetailViewController* detailViewController() const { return detail_.lock().get(); }
    void setDetailViewController(std::weak_ptr<DetailViewController> detail) { detail_ = std::move(detail); }
    bool loginOnAppear() const { return loginOnAppear_; }
    // The orders main screen of the current sign-in (an OrdersMainScreen); none for the
    // administration screen.
    const std::shared_ptr<ui::ViewController>& mainController() const { return mainController_; }
    // The main screen both panes act on (the detail pane's "Layout" too).
    void setMainController(std::shared_ptr<ui::ViewController> main);
    // What the sign-in screen works on; DBHelper's shared ones by default.
    void setManagedObjectContext(std::shared_ptr<ObjectContext> context) { context_ = std::move(context); }
    void setPersistentStoreCoordinator(std::shared_ptr<ObjectStore> store) { coordinator_ = std::move(store); }

    // Presents the sign-in screen ("LoginView") in a navigation of its own over the split view.
    void displayLogin();
    // Signs the user out: the sign-in screen comes back when this pane next appears, which the
    // pop to the first screen brings about.
    void logout();
    // Signs out as logout() does once what covers the split view (the table layout) is
    // dismissed, without animation.
    void dismissAndLogout();
    // The sign-in screen's hand-over: the session and the main controller for both panes, and
    // its title for the detail pane.
    void signedIn(const std::shared_ptr<Session>& session, const std::optional<std::string>& title,
                  std::shared_ptr<ui::ViewController> mainController);

    // The order of the remote id (none: a new one); an order of somebody else only with access.
    void loadOrder(const std::optional<std::string>& remoteId);
    // The table's open order, the picker among several, or a new order at the table.
    void loadOrderAt(const std::string& areaLocationId);
    // Pushes the order screen ("OrderView") for the order, keeping the main screen's
    // update-on-appear as it was; `updateOrders` is not consulted.
    void loadOrderView(const std::optional<std::string>& remoteId, const std::optional<std::string>& areaLocationId,
                       bool quickSale, bool updateOrders);

    void loadView() override;
    void viewWillAppear(bool animated) override;
    uint32_t supportedInterfaceOrientations() const override;

private:
    void setLoginOnAppear(bool login) { loginOnAppear_ = login; }
    // The session's context; signed out, the one the sign-in screen works on.
    ObjectContext* context() const;
    // Dismisses whatever the split view presents, without animation.
    void dismissPresented();

    std::weak_ptr<DetailViewController> detail_;
    bool loginOnAppear_ = false;
    std::shared_ptr<ui::ViewController> mainController_;
    std::shared_ptr<ObjectContext> context_;
    std::shared_ptr<ObjectStore> coordinator_;
};

} // namespace tavlo::screens
