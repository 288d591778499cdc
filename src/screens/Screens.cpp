#include "screens/Screens.h"

#include "screens/entry/menu/MenuScreens.h"
#include "screens/entry/options/OptionScreen.h"
#include "screens/entry/order/OrderViewController.h"
#include "screens/layout/TableLayoutViewController.h"
#include "screens/pay/PayViewController.h"
#include "screens/prompts/PromptScreens.h"
#include "screens/reports/ReportViewController.h"
#include "screens/shell/OrdersMainController.h"
#include "screens/shell/StartupScreens.h"

namespace tavlo::screens {

void registerScreens() {
    // The start-up registers stand-ins for the screens after sign-in; the real ones below take
    // their names where they exist.
    registerStartupScreens();
    registerPromptScreens();
    registerOptionScreens();
    registerMenuScreens();
    registerOrderListScreens();
    registerTableLayoutScreen();
    registerOrderView();
    registerPayScreens();
    // The administration screen shows the report viewer by its name.
    registerReportView();
}

} // namespace tavlo::screens
