// The attendance screen as a manager or an employee uses it: the open shifts listed by name and
// start, a swipe that clocks one out (only one's own without FORCE_CLOCK_IN), Edit and Done that
// clock several out in the order chosen and stop at the first refusal, and the clock-out tickets
// the store asks for on the session's receipt printer.
#include "SignedInTerminal.h"
#include "core/records/Attendance.h"
#include "platform/store/ObjectContext.h"
#include "screens/attendance/AttendanceViewController.h"
#include "support/ui/Golden.h"
#include "sync/handlers/OrderQueue.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::SignedInTerminal;

class AttendanceScreenTest : public ::testing::Test {
protected:
    AttendanceScreenTest() { registerAttendanceView(); }

    // Ann (on the clock since an hour ago in the small store) and Bob, Dan, Eve and Fay on it
    // since 50, 40, 30 and 20 minutes ago; each shift has the remote id "AT-<name>".
    void openShifts(SignedInTerminal& t) {
        t.store->fetchFirst("Attendance", "user.userId == %@", std::string("U-ANN"))
            ->setValue("remoteId", std::string("AT-Ann"));
        t.store.addUser("U-FAY", "Fay", {});
        int minutes = 50;
        for (const char* name : {"Bob", "Dan", "Eve", "Fay"}) {
            ManagedObjectPtr user = t.store->fetchFirst("User", "name == %@", std::string(name));
            ManagedObjectPtr shift = t.store.addAttendance(user, nullptr);
            shift->setValue("start", Date::now().addingSeconds(-60.0 * minutes));
            shift->setValue("remoteId", "AT-" + std::string(name));
            minutes -= 10;
        }
        t.store.save();
    }
    AttendanceViewController& open(SignedInTerminal& t) {
        screen = std::make_shared<AttendanceViewController>();
        screen->setSession(t.session);
        t.show(screen);
        return *screen;
    }
    // The names the rows show, top to bottom.
    std::vector<std::string> names() {
        std::vector<std::string> shown;
        TableView& table = screen->tableView();
        for (int row = 0; row < table.numberOfRows(0); ++row) {
            auto* cell = table.cellForRow({0, row});
            auto* name = dynamic_cast<Label*>(cell->contentView().viewWithTag(AttendanceViewController::kNameTag));
            shown.push_back(name->text().value_or(""));
        }
        return shown;
    }
    IndexPath rowOf(const std::string& name) {
        std::vector<std::string> shown = names();
        auto found = std::find(shown.begin(), shown.end(), name);
        if (found == shown.end()) throw ui::test::HarnessError("no row shows " + name);
        return {0, static_cast<int>(found - shown.begin())};
    }
    // The names on the clock-out tickets printed, one per ticket.
    static std::vector<std::string> tickets(const tavlo::test::RecordingPrinterStream& printer) {
        std::vector<std::string> printed;
        bool clockOut = false;
        for (const std::string& call : printer.calls) {
            if (call == "line Clock Out") clockOut = true;
            else if (clockOut && call.rfind("line ", 0) == 0 && call.size() > 5) {
                printed.push_back(call.substr(5));
                clockOut = false;
            }
        }
        return printed;
    }

    std::shared_ptr<AttendanceViewController> screen;
};

TEST_F(AttendanceScreenTest, WithoutForceClockInThereIsNoEditAndOnlyTheUsersOwnShiftClocksOut) {
    SignedInTerminal t(
        {DeviceIdiom::Tablet, true, {{"PRINT_CLOCK_OUT_RECEIPT", "YES"}, {"PRINT_CLOCK_OUT_RECEIPT_COPY", "YES"}}});
    openShifts(t);
    open(t);
    EXPECT_EQ(screen->title(), "Employees Clocked In");
    EXPECT_EQ(screen->navigationItem().leftBarButtonItem()->title(), "Back");
    EXPECT_EQ(screen->navigationItem().rightBarButtonItem(), nullptr);
    EXPECT_EQ(names(), (std::vector<std::string>{"Ann Marie Lee", "Bob", "Dan", "Eve", "Fay"}));
    EXPECT_TRUE(ui::test::matchesGolden(t.picture(), "attendance_pad"));

    EXPECT_EQ(t.h.swipeDelete(screen->tableView(), rowOf("Bob")), "Clock Out");
    EXPECT_EQ(t.alertText(), "Tavlo / You do not have access to clock out other employees");
    t.h.clickAlert("Ok");
    EXPECT_TRUE(t.printer->calls.empty());

    t.h.swipeDelete(screen->tableView(), rowOf("Ann Marie Lee"));
    EXPECT_FALSE(t.h.hasAlert());
    EXPECT_EQ(names(), (std::vector<std::string>{"Bob", "Dan", "Eve", "Fay"}));
    // Queued for the server with the end set and the start kept.
    Attendance ended(t.store->fetchFirst("Attendance", "remoteId == %@", std::string("AT-Ann")));
    ASSERT_TRUE(ended.end().has_value());
    EXPECT_NEAR(ended.start()->timeIntervalSince1970(), Date::now().addingSeconds(-3600).timeIntervalSince1970(), 5);
    EXPECT_EQ(t.store->fetch(FetchRequest("OrderQueue", Predicate::format("type == %@", "clockInOut"))).size(), 1u);
    // Both print keys: two tickets, on one opening of the printer.
    EXPECT_EQ(tickets(*t.printer), (std::vector<std::string>{"Ann Marie Lee", "Ann Marie Lee"}));
    EXPECT_EQ(std::count(t.printer->calls.begin(), t.printer->calls.end(), "open"), 1);
    EXPECT_EQ(t.printer->calls.back(), "close");
}

TEST_F(AttendanceScreenTest, EditAndDoneClockOutTheChosenShiftsInOrderAndStopAtTheFirstRefusal) {
    SignedInTerminal t({DeviceIdiom::Tablet, false, {}});
    t.grant("U-ANN", "FORCE_CLOCK_IN");
    openShifts(t);
    open(t);
    ASSERT_NE(screen->navigationItem().rightBarButtonItem(), nullptr);
    t.h.tap(SystemItem::Edit);
    EXPECT_EQ(screen->title(), "Select employees to clock out");
    for (const char* name : {"Eve", "Bob", "Fay", "Dan", "Ann Marie Lee"}) t.h.tapRow(screen->tableView(), rowOf(name));
    t.h.tapRow(screen->tableView(), rowOf("Dan")); // chosen again: no longer chosen
    EXPECT_EQ(screen->records()->size(), 4u);
    EXPECT_TRUE(ui::test::matchesGolden(t.picture(), "attendance_edit_pad"));

    // The server takes two shifts, then refuses one.
    t.server.setFault("attendance", storesim::Fault::None, 2);
    t.server.thenFault("attendance", storesim::Fault::ErrorElement, 1, std::string("Shift is locked"));
    t.h.tap(SystemItem::Done);
    EXPECT_EQ(screen->title(), "Employees Clocked In");
    ASSERT_TRUE(t.h.hasAlert());
    EXPECT_EQ(t.h.frontAlert().title(), "Tavlo");
    t.h.clickAlert("Ok");
    EXPECT_FALSE(t.h.hasAlert());
    std::vector<std::string> kept = t.server.records("attendance");
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_NE(kept[0].find("AT-Bob"), std::string::npos);
    EXPECT_NE(kept[1].find("AT-Eve"), std::string::npos);
    EXPECT_EQ(t.server.requestCount("attendance"), 3u); // Ann's was never sent
    EXPECT_FALSE(screen->records().has_value());
    EXPECT_EQ(names().size(), 5u); // left as it was, until it is next read
}

TEST_F(AttendanceScreenTest, WithBothPrintKeysEachEmployeeClockedOutGetsTwoTickets) {
    SignedInTerminal t(
        {DeviceIdiom::Tablet, true, {{"PRINT_CLOCK_OUT_RECEIPT", "YES"}, {"PRINT_CLOCK_OUT_RECEIPT_COPY", "YES"}}});
    t.grant("U-ANN", "FORCE_CLOCK_IN");
    openShifts(t);
    open(t);
    t.h.tap(SystemItem::Edit);
    t.h.tapRow(screen->tableView(), rowOf("Dan"));
    t.h.tapRow(screen->tableView(), rowOf("Bob"));
    t.h.tap(SystemItem::Done);
    EXPECT_FALSE(t.h.hasAlert());
    EXPECT_EQ(tickets(*t.printer), (std::vector<std::string>{"Dan", "Dan", "Bob", "Bob"}));
    EXPECT_EQ(names(), (std::vector<std::string>{"Ann Marie Lee", "Eve", "Fay"}));

    // A printer that does not open: every chosen shift still ends, then one alert says so.
    t.printer->openFailure = Error("Printer", -1, "no paper");
    t.h.tap(SystemItem::Edit);
    t.h.tapRow(screen->tableView(), rowOf("Eve"));
    t.h.tapRow(screen->tableView(), rowOf("Fay"));
    t.h.tap(SystemItem::Done);
    EXPECT_EQ(t.alertText(), "Error / Unable to print receipt, verify your printer is on and connected");
    t.h.clickAlert("Ok");
    EXPECT_FALSE(t.h.hasAlert());
    EXPECT_EQ(names(), (std::vector<std::string>{"Ann Marie Lee"}));

    // Done with nothing chosen clocks nobody out.
    t.h.tap(SystemItem::Edit);
    t.h.tap(SystemItem::Done);
    EXPECT_FALSE(t.h.hasAlert());
    EXPECT_EQ(names(), (std::vector<std::string>{"Ann Marie Lee"}));
}

TEST_F(AttendanceScreenTest, WithoutAPrinterOrPrintKeysNothingPrintsAndBackDismisses) {
    for (bool withPrinter : {false, true}) {
        SignedInTerminal t({DeviceIdiom::Phone, true, {{"PRINT_CLOCK_OUT_RECEIPT", withPrinter ? "NO" : "YES"}}});
        if (!withPrinter) t.session->setPrinterStream(nullptr);
        openShifts(t);
        auto opener = std::make_shared<ViewController>();
        t.h.show(opener);
        screen = std::make_shared<AttendanceViewController>();
        screen->setSession(t.session);
        auto navigation = std::make_shared<NavigationController>(screen);
        navigation->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
        opener->present(navigation, false);
        t.h.runUntilIdle();
        t.h.swipeDelete(screen->tableView(), rowOf("Ann Marie Lee"));
        EXPECT_FALSE(t.h.hasAlert()) << withPrinter;
        EXPECT_TRUE(t.printer->calls.empty()) << withPrinter;
        t.h.tap("Back");
        EXPECT_EQ(opener->presentedViewController(), nullptr) << withPrinter;
    }
}

} // namespace
} // namespace tavlo::screens
