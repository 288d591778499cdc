#pragma once

#include "platform/ui/ViewController.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/common/SignedInController.h"

#include <memory>
#include <string>

namespace tavlo::screens {

// Stands in, in the program, for the screens a sign-in opens until they exist: under
// "OrdersView" (the orders main screen) and "LiteAdminView" (the administration screen) it says
// who is signed in at which store and terminal, and "Sign Out" brings the sign-in screen back.
class SignedInViewController : public SignedInController<ui::ViewController, OrdersMainScreen> {
public:
    explicit SignedInViewController(const std::string& interfaceName);

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
    bool root_ = false;
    bool showLayout_ = false;
    bool updateOnAppear_ = false;
};

// Registers the stand-in under "OrdersView" and "LiteAdminView".
void registerSignedInStandIns();

} // namespace tavlo::screens
