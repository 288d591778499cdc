// The administration screen as the pad shows it after sign-in: in the master pane beside the
// detail pane, signing out through the root pane.
#include "LoginScreen.h"
#include "core/session/DBHelper.h"
#include "platform/ui/render/Snapshot.h"
#include "screens/admin/PadAdminViewController.h"
#include "screens/shell/DetailViewController.h"
#include "screens/shell/RootViewController.h"
#include "screens/shell/TavloMobileAppDelegate.h"
#include "support/TimeZoneScope.h"
#include "support/ui/Golden.h"

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::LoginScreen;

TEST(AdminPadTest, TheAdministrationPaneSitsInTheMasterPaneAndSignsOutThroughTheRootPane) {
    tavlo::test::TimeZoneScope zone("UTC");
    LoginScreen s({DeviceIdiom::Tablet, true, {{"HH_IGNORE_TERMINAL_INFO", "YES"}}});
    DBHelper::saveStoreParam("IPHONE_STORE_ID", std::string("1"), s.store.context().get());
    s.store.save();
    // The real administration screen, not the sign-in tests' stand-in.
    registerAdminScreens();
    auto delegate = std::make_shared<TavloMobileAppDelegate>();
    delegate->setFreeSpaceReader([] { return uint64_t{8} << 30; });
    s.h.app().setDelegate(delegate);
    s.h.app().launch();
    s.h.runUntilIdle();

    auto* login = dynamic_cast<LoginViewController*>(&s.h.visibleController());
    ASSERT_NE(login, nullptr);
    s.h.type(*login->textNumber(), "1001");
    s.h.tap("Login");
    ASSERT_FALSE(s.h.hasAlert()) << s.alertText();

    RootViewController& root = *delegate->rootViewController();
    auto* admin = dynamic_cast<PadAdminViewController*>(root.navigationController()->topViewController());
    ASSERT_NE(admin, nullptr);
    EXPECT_TRUE(admin->isRoot());
    EXPECT_EQ(admin->session(), root.session());
    EXPECT_TRUE(ui::test::matchesGolden(render::snapshot(s.h.window(), {1024, 768}), "admin_pad_pane"));

    std::shared_ptr<Session> session = admin->session();
    s.h.tap("Logout");
    s.h.runUntilIdle();
    EXPECT_FALSE(session->isValid());
    EXPECT_NE(dynamic_cast<LoginViewController*>(&s.h.visibleController()), nullptr);
    delegate->waitForBackgroundWork();
}

// The store opened from the administration pane, Orders puts the orders main screen in the root
// pane, and the detail pane's "Layout" asks that screen for the floor plan.
TEST(AdminPadTest, AfterOrdersTheDetailPanesLayoutButtonReachesTheOrdersMainScreen) {
    LoginScreen s({DeviceIdiom::Tablet, true, {{"HH_IGNORE_TERMINAL_INFO", "YES"}, {"MODULE_TABLE_LAYOUT", "YES"}}});
    DBHelper::saveStoreParam("IPHONE_STORE_ID", std::string("1"), s.store.context().get());
    s.store.save();
    registerAdminScreens();
    auto delegate = std::make_shared<TavloMobileAppDelegate>();
    delegate->setFreeSpaceReader([] { return uint64_t{8} << 30; });
    s.h.app().setDelegate(delegate);
    s.h.app().launch();
    s.h.runUntilIdle();
    s.h.type(*dynamic_cast<LoginViewController&>(s.h.visibleController()).textNumber(), "1001");
    s.h.tap("Login");
    ASSERT_FALSE(s.h.hasAlert()) << s.alertText();
    ASSERT_NE(dynamic_cast<PadAdminViewController*>(
                  delegate->rootViewController()->navigationController()->topViewController()),
              nullptr);

    s.store.addStoreBatch("B-1", Date::now().addingSeconds(-60), std::nullopt); // the store opened
    s.store.save();
    s.h.tap("Orders");
    s.h.runUntilIdle();
    ASSERT_FALSE(s.h.hasAlert()) << s.alertText();
    test::SignedInStandIn* main = s.openedScreen();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(delegate->rootViewController()->mainController().get(), main);
    ASSERT_TRUE(delegate->detailViewController()->btnLayout()->isEnabled());
    s.h.tap("Layout");
    EXPECT_TRUE(main->layoutRequested);
    delegate->waitForBackgroundWork();
}

} // namespace
} // namespace tavlo::screens
