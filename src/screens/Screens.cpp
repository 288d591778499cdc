#include "screens/Screens.h"

#include "screens/admin/LiteAdminViewController.h"
#include "screens/attendance/AttendanceViewController.h"
#include "screens/common/prompts/PromptScreens.h"
#include "screens/customers/CustomerScreens.h"
#include "screens/details/DetailsScreens.h"
#include "screens/entry/editor/EditorScreens.h"
#include "screens/entry/items/ItemsViewController.h"
#include "screens/entry/menu/MenuScreens.h"
#include "screens/entry/options/OptionScreen.h"
#include "screens/entry/order/OrderViewController.h"
#include "screens/layout/TableLayoutViewController.h"
#include "screens/pay/PayViewController.h"
#include "screens/payments/PaymentsViewController.h"
#include "screens/reports/ReportViewController.h"
#include "screens/shell/OrdersMainController.h"
#include "screens/shell/StartupScreens.h"
#include "screens/status/SystemStatusViewController.h"

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
    registerEditorScreens();
    registerPayScreens();
    registerDetailsScreens();
    registerCustomerScreens();
    // The order screen's and the administration screen's payment lists.
    registerPaymentsScreens();
    // The administration screen shows the report viewer by its name.
    registerReportView();
    // Opened by name from the sign-in, orders and administration screens.
    registerSystemStatusView();
    registerAttendanceView();
    registerItemsView();
    registerAdminScreens();
}

} // namespace tavlo::screens
