// The sign-in screen's time clock as a person uses it: clocking in under a role, out with the
// cash tips and the tip out typed as money, by number or by a card swiped into the prompt; the
// attendance queued (lite) or sent to the gateway, and the ticket on the receipt printer.
#include "LoginScreen.h"
#include "core/records/Attendance.h"
#include "devices/MSRMediator.h"
#include "platform/ui/render/Snapshot.h"
#include "support/ui/Golden.h"

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::LoginScreen;

// A lite terminal keeping attendance and printing the tickets; the roles are job titles with
// readable names, Ann (1001, on the clock) reports tips.
LoginScreen::Options clockOptions(DeviceIdiom idiom = DeviceIdiom::Phone, bool lite = true) {
    return {idiom,
            lite,
            {{"MODULE_TIME_ATTENDANCE", "YES"},
             {"PRINT_CLOCK_IN_RECEIPT", "YES"},
             {"PRINT_CLOCK_OUT_RECEIPT", "YES"},
             {"TS_RECEIPT_PRINTER_TRAILING_BLANK_LINES", "3"}}};
}

void prepare(LoginScreen& s) {
    for (auto [id, name] : {std::pair{"R-SERVER", "Server"}, std::pair{"R-MANAGER", "Manager"}}) {
        ManagedObjectPtr role = s.row("Role", "roleId", id);
        role->setValue("name", std::string(name));
        role->setValue("jobTitle", true);
    }
    s.row("User", "userId", "U-ANN")->addTo("roles", s.store.addRole("R-TIPS", {"REPORT_TIPS"}));
    s.store.save();
}

std::vector<ManagedObjectPtr> queued(LoginScreen& s) {
    return s.store->fetch(FetchRequest("OrderQueue", Predicate::format("type == %@", "clockInOut")));
}

// What the ticket printed, in short: the printer opened and closed, the title and name lines
// (the store's header, times and styles left out) and the feed.
std::vector<std::string> ticket(LoginScreen& s) {
    std::vector<std::string> kept;
    for (const std::string& call : s.printer->calls)
        if (call == "open" || call == "close" || call.rfind("feed", 0) == 0 || call == "line Clock In" ||
            call == "line Clock Out" || call == "line Bob" || call == "line Ann Marie Lee")
            kept.push_back(call);
    return kept;
}

Attendance attendance(LoginScreen& s, const ManagedObjectPtr& row) {
    return Attendance(s.store->fetchFirst("Attendance", "remoteId == %@", row->text("remoteId")));
}

TEST(LoginClockTest, ClockingInWithTwoJobTitlesAsksForTheRoleQueuesTheShiftAndPrintsTheTicket) {
    LoginScreen s(clockOptions(DeviceIdiom::Tablet));
    prepare(s);
    s.show();
    ASSERT_TRUE(s.login->btnClockIn()->isShown());
    s.h.type(*s.login->textNumber(), "1002");
    EXPECT_TRUE(ui::test::matchesGolden(render::snapshot(s.h.window(), s.h.window().bounds().size), "login_pad"));
    s.h.tap("Clock In");

    ASSERT_TRUE(s.h.hasAlert());
    EXPECT_EQ(s.alertText(), "Role / Select the role you are working under");
    EXPECT_EQ(s.h.frontAlert().buttonTitles(), (std::vector<std::string>{"Cancel", "Server", "Manager"}));
    EXPECT_TRUE(ui::test::matchesGolden(render::snapshot(s.h.window(), s.h.window().bounds().size), "login_role_pad"));
    s.h.clickAlert("Manager");

    EXPECT_EQ(s.alertText(), "Confirmation / User clocked in");
    std::vector<ManagedObjectPtr> rows = queued(s);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]->text("userId"), "U-BOB");
    Attendance shift = attendance(s, rows[0]);
    EXPECT_EQ(shift.userId(), "U-BOB");
    EXPECT_EQ(shift.roleId(), "R-MANAGER");
    EXPECT_TRUE(shift.start());
    EXPECT_FALSE(shift.end());
    EXPECT_EQ(ticket(s), (std::vector<std::string>{"open", "line Clock In", "line Bob", "feed 6 cut", "close"}));
    EXPECT_EQ(s.login->textNumber()->text(), "");
    EXPECT_TRUE(s.login->textNumber()->isFirstResponder());
}

TEST(LoginClockTest, WithOneJobTitleOrNoneTheClockInGoesStraightThrough) {
    struct Case {
        const char* what;
        std::vector<const char*> roles;
        std::optional<std::string> roleId;
    };
    const Case cases[] = {{"one job title", {"R-SERVER"}, "R-SERVER"}, {"no role", {}, std::nullopt}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LoginScreen s(clockOptions());
        prepare(s);
        ManagedObjectPtr eve = s.row("User", "userId", "U-EVE");
        eve->setValue("number", "1005");
        for (const char* role : c.roles) eve->addTo("roles", s.row("Role", "roleId", role));
        s.store.save();
        s.show();
        s.h.type(*s.login->textNumber(), "1005");
        s.h.tap("Clock In");
        EXPECT_EQ(s.alertText(), "Confirmation / User clocked in");
        ASSERT_EQ(queued(s).size(), 1u);
        EXPECT_EQ(attendance(s, queued(s)[0]).roleId(), c.roleId);
    }
}

TEST(LoginClockTest, WhatCannotClockInOrOutIsToldInBothModes) {
    for (bool lite : {true, false}) {
        SCOPED_TRACE(lite ? "lite" : "gateway");
        LoginScreen s(clockOptions(DeviceIdiom::Phone, lite));
        prepare(s);
        s.show();
        struct Case {
            const char* what;
            const char* number;
            const char* button;
            std::string alert;
            const char* role = nullptr; // the answer to the role question
        };
        const Case cases[] = {
            {"an unknown number in", "4242", "Clock In", "Error / Unable to clock in, retry"},
            {"an unknown number out", "4242", "Clock Out", "Alert / Unable to clock out, retry"},
            {"on the clock already", "1001", "Clock In", "Error / User already clocked in", "Server"},
            {"not on the clock", "1002", "Clock Out", "Tavlo / User is not clocked in"},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            s.h.type(*s.login->textNumber(), c.number);
            s.h.tap(c.button);
            if (c.role) s.h.clickAlert(c.role);
            EXPECT_EQ(s.alertText(), c.alert);
            s.h.clickAlert("Ok");
            EXPECT_EQ(s.login->textNumber()->text(), "");
        }
        EXPECT_TRUE(queued(s).empty());
        EXPECT_TRUE(s.server.records("attendance").empty());
        EXPECT_TRUE(s.printer->calls.empty());
    }
}

// The gateway took Bob's shift: the terminal knows he is on the clock until he clocks out.
TEST(LoginClockTest, AShiftTheGatewayTookIsCheckedByTheNextClockInAndOut) {
    LoginScreen s(clockOptions(DeviceIdiom::Phone, false));
    prepare(s);
    s.show();
    for (const char* button : {"Clock In", "Clock In", "Clock Out", "Clock Out"}) {
        s.h.type(*s.login->textNumber(), "1002");
        s.h.tap(button);
        if (s.h.hasAlert() && s.h.frontAlert().title() == "Role") s.h.clickAlert("Server");
        s.h.clickAlert("Ok");
    }
    EXPECT_EQ(s.server.requestCount("attendance"), 2u) << "the second clock in and out were refused";
    EXPECT_EQ(s.store->fetchFirst("Attendance", "user.userId == %@ && end == nil", std::string("U-BOB")), nullptr);
}

TEST(LoginClockTest, ClockingOutWithTipsAsksForTheCashTipsAndTheTipOutAsMoney) {
    LoginScreen s(clockOptions());
    prepare(s);
    s.show();
    s.h.type(*s.login->textNumber(), "1001");
    s.h.tap("Clock Out");

    ASSERT_EQ(s.alertText(), "Tips / Enter your cash tips");
    EXPECT_FALSE(s.login->loginByEnter());
    TextField* tips = s.h.frontAlert().textField(0);
    ASSERT_NE(tips, nullptr);
    EXPECT_EQ(tips->tag(), LoginViewController::kAmountFieldTag);
    std::vector<std::string> shown;
    for (char key : std::string("125")) {
        s.h.type(*tips, std::string(1, key));
        shown.push_back(tips->text());
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"$0.01", "$0.12", "$1.25"}));
    EXPECT_TRUE(
        ui::test::matchesGolden(render::snapshot(s.h.window(), s.h.window().bounds().size), "login_cash_tips_phone"));
    s.h.clickAlert("Ok");

    ASSERT_EQ(s.alertText(), "Tips / Enter any tip out");
    EXPECT_TRUE(s.login->loginByEnter());
    s.h.type(*s.h.frontAlert().textField(0), "50");
    EXPECT_EQ(s.h.frontAlert().textField(0)->text(), "$0.50");
    s.h.clickAlert("Ok");

    EXPECT_EQ(s.alertText(), "Confirmation / User clocked out");
    ASSERT_EQ(queued(s).size(), 1u);
    Attendance shift(s.store->fetchFirst("Attendance", "user.userId == %@ && end != nil", "U-ANN"));
    EXPECT_EQ(shift.tipsCash(), 125);
    EXPECT_EQ(shift.tipOut(), 50);
    ASSERT_TRUE(shift.start() && shift.end());
    EXPECT_LE(*shift.start(), *shift.end()); // the shift's own start, kept
    EXPECT_EQ(ticket(s),
              (std::vector<std::string>{"open", "line Clock Out", "line Ann Marie Lee", "feed 6 cut", "close"}));
}

TEST(LoginClockTest, TheMoneyFieldRefusesDigitsPastWhatAnAmountHolds) {
    LoginScreen s(clockOptions());
    prepare(s);
    s.show();
    s.h.type(*s.login->textNumber(), "1001");
    s.h.tap("Clock Out");
    TextField* tips = s.h.frontAlert().textField(0);
    s.h.type(*tips, "2147483647");
    const std::string most = tips->text();
    EXPECT_EQ(most, Utils::formatCurrency(2147483647));
    s.h.type(*tips, "0");
    EXPECT_EQ(tips->text(), most);
    s.h.backspace(*tips);
    EXPECT_EQ(tips->text(), Utils::formatCurrency(214748364));
    s.h.type(*tips, "x");
    EXPECT_EQ(tips->text(), Utils::formatCurrency(214748364));
}

TEST(LoginClockTest, WithoutTheTipsRightTheClockOutGoesStraightToTheGateway) {
    LoginScreen s(clockOptions(DeviceIdiom::Phone, false));
    s.show();
    s.h.type(*s.login->textNumber(), "1001");
    s.h.tap("Clock Out");
    EXPECT_EQ(s.alertText(), "Confirmation / User clocked out");
    ASSERT_EQ(s.server.records("attendance").size(), 1u);
    EXPECT_NE(s.server.records("attendance")[0].find("U-ANN"), std::string::npos);
    EXPECT_TRUE(queued(s).empty());
    EXPECT_TRUE(s.printer->calls.empty()); // the gateway prints in its own mode
}

TEST(LoginClockTest, AnEmptyNumberAsksForASwipeAndTheCardGoesOn) {
    LoginScreen s(clockOptions());
    prepare(s);
    s.show();
    s.h.tap("Clock Out");
    EXPECT_EQ(s.alertText(), "Swipe / Please swipe card");
    NotificationCenter::defaultCenter().post(kMsrReceivedDataNotification, std::any(std::string("ANNCARD")));
    EXPECT_EQ(s.alertText(), "Tips / Enter your cash tips");
    s.h.clickAlert("Cancel");
    EXPECT_EQ(s.login->textNumber()->text(), "");

    // A swipe prompt answered with Cancel is forgotten: the next swipe signs in.
    s.h.tap("Clock In");
    s.h.clickAlert("Cancel");
    NotificationCenter::defaultCenter().post(kMsrReceivedDataNotification, std::any(std::string("ANNCARD")));
    ASSERT_NE(s.openedScreen(), nullptr);
    EXPECT_EQ(s.openedScreen()->session->userId(), "U-ANN");
}

TEST(LoginClockTest, WithoutAttendanceTheClockButtonsAreHidden) {
    LoginScreen s({});
    s.show();
    EXPECT_FALSE(s.login->btnClockIn()->isShown());
    EXPECT_FALSE(s.login->btnClockOut()->isEnabled());
    EXPECT_TRUE(ui::test::matchesGolden(render::snapshot(s.h.window(), s.h.window().bounds().size), "login_phone"));
}

} // namespace
} // namespace tavlo::screens
