#include "screens/shell/StartupScreens.h"

#include "screens/shell/SettingsViewController.h"
#include "screens/shell/TavloMobileAppDelegate.h"
#include "screens/shell/TerminalReadyViewController.h"

namespace tavlo::screens {

void registerStartupScreens() {
    registerSettingsView();
    TavloMobileAppDelegate::registerSettingsController<SettingsViewController>();
    registerTerminalReadyView();
}

} // namespace tavlo::screens
