#pragma once

#include "platform/ui/ViewController.h"
#include "screens/common/ScreenInterfaces.h"

#include <memory>
#include <string>

namespace tavlo::screens {

// Stands in, in the program, for the screens a sign-in opens until they exist: under
// "OrdersView" (the orders main screen) and "LiteAdminView" (the administration screen) it says
// who is signed in at which store and terminal, and "Sign Out" brings the sign-in screen back.
class SignedInViewController : public ui::ViewController, public OrdersMainScreen {
public:
    explicit SignedInViewController(const std::string& interfaceName);

    const std::shared_ptr<Session>& session() const { return session_; }
    void setSession(std::shared_ptr<Session> session) override { session_ = std::move(session); }
    bool isRoot() const { return root_; }
    void setRoot(bool root) override { root_ = root; }
    bool showLayout() const override { return showLayout_; }
    void setShowLayout(bool show) override { showLayout_ = show; }
    void showTableLayout(bool show) override { showLayout_ = show; }
    bool updateOnAppear() const override { return updateOnAppear_; }
    void setUpdateOnAppear(bool update) override { updateOnAppear_ = update; }
    void setUpdateOnExit(bool) override {}

    // Ends the session and goes back to the sign-in screen.
    void logout();

    void loadView() override;
    void viewWillAppear(bool animated) override;

private:
    std::shared_ptr<Session> session_;
    bool root_ = false;
    bool showLayout_ = false;
    bool updateOnAppear_ = false;
};

// Registers the stand-in under "OrdersView" and "LiteAdminView".
void registerSignedInStandIns();

} // namespace tavlo::screens
