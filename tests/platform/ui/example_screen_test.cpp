// How a screen is tested: the screen is a controller built from a registered interface (the
// example screen, support/ui/GuestListScreen), and the test drives it only through the harness, as
// a person would (type, tap, click alerts) and reads back what is on screen. Later screen tests
// follow this shape.
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "support/ui/GuestListScreen.h"
#include "support/ui/Harness.h"

#include <gtest/gtest.h>

using namespace tavlo::ui;
using tavlo::ui::test::GuestListViewController;
using tavlo::ui::test::Harness;
using tavlo::ui::test::registerGuestListView;

namespace {

class GuestListScreen : public ::testing::Test {
protected:
    void SetUp() override {
        registerGuestListView();
        h.show(std::make_shared<NavigationController>(std::make_shared<GuestListViewController>()));
    }
    Harness h;
};

} // namespace

TEST_F(GuestListScreen, AddsTypedNamesAndCountsThem) {
    EXPECT_EQ(h.visible<GuestListViewController>().title(), "Guests");
    EXPECT_EQ(h.outlet<Label>("total").text(), "0 guests");

    h.type(h.outlet<TextField>("name"), "Ada");
    h.tap("Add");
    h.type(h.outlet<TextField>("name"), " Grace ");
    h.tap("Add");

    EXPECT_EQ(h.outlet<TextField>("name").text(), "");
    EXPECT_EQ(h.visibleLabelTexts(), (std::vector<std::string>{"Add", "Ada", "Grace", "2 guests"}));
}

TEST_F(GuestListScreen, AnEmptyNameIsRefusedWithAnAlert) {
    h.tap("Add");
    ASSERT_TRUE(h.hasAlert());
    EXPECT_EQ(h.frontAlert().message(), "Please enter a name");
    h.clickAlert("Ok");
    EXPECT_EQ(h.outlet<Label>("total").text(), "0 guests");
}

TEST_F(GuestListScreen, RemovesAGuestOnlyAfterYes) {
    for (const char* guest : {"Ada", "Grace", "Linus"}) {
        h.type(h.outlet<TextField>("name"), guest);
        h.tap("Add");
    }
    auto& table = h.outlet<TableView>("table");

    h.tapRow(table, {0, 1});
    EXPECT_EQ(h.frontAlert().message(), "Remove Grace?");
    h.clickAlert("No");
    EXPECT_EQ(h.outlet<Label>("total").text(), "3 guests");
    EXPECT_FALSE(table.indexPathForSelectedRow());

    h.tapRow(table, {0, 1});
    h.clickAlert("Yes");
    EXPECT_EQ(h.outlet<Label>("total").text(), "2 guests");
    EXPECT_EQ(h.viewWithText<Label>("Linus").text(), "Linus");

    h.tap(SystemItem::Trash);
    EXPECT_EQ(h.outlet<Label>("total").text(), "0 guests");
}
