#include "screens/shell/StartupScreens.h"

#include "screens/shell/LoginViewController.h"
#include "screens/shell/ReceiptPrinters.h"
#include "screens/shell/SettingsViewController.h"
#include "screens/shell/SignedInViewController.h"
#include "screens/shell/TavloMobileAppDelegate.h"

namespace tavlo::screens {

void registerStartupScreens() {
    registerSettingsView();
    TavloMobileAppDelegate::registerSettingsController<SettingsViewController>();
    registerLoginView();
    ReceiptPrinters::registerDrivers();
    registerSignedInStandIns();
}

} // namespace tavlo::screens
