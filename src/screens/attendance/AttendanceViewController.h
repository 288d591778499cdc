#pragma once

#include "platform/foundation/Error.h"
#include "platform/store/FetchedResultsController.h"
#include "platform/ui/TableViewController.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/common/SignedInController.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::screens {

// The employees on the store's time clock ("AttendanceView", opened by the administration
// screen): one row per open shift with the employee's name and when the shift began. A swipe
// clocks that shift out; with FORCE_CLOCK_IN the Edit button selects several shifts and Done
// clocks them out one after the other. Each clock-out prints the tickets the store asks for on
// the session's receipt printer.
class AttendanceViewController : public SignedInController<ui::TableViewController, SessionScreen> {
public:
    static constexpr const char* kInterfaceName = kAttendanceInterface;
    static constexpr const char* kCellIdentifier = "AttendanceCell";
    enum CellTag { kNameTag = 1, kInTag = 2, kStartTag = 3 };

    AttendanceViewController();

    // The open shifts shown; null until the screen has loaded.
    FetchedResultsController* fetchedResultsController() const { return results_.get(); }
    // The shifts chosen while editing; none outside editing.
    const std::optional<std::vector<ManagedObjectPtr>>& records() const { return records_; }

    // Ends the stored shift now and sends it; then prints its clock-out tickets. False with
    // `error` when the shift may not be clocked out by this user or the send failed; true with
    // `error` set when only the tickets could not be printed.
    bool clockOut(const ManagedObjectPtr& record, Error* error);
    // Back: the screen goes.
    void close();

    void viewDidLoad() override;
    void setEditing(bool editing, bool animated) override;

    int numberOfRows(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath path) override;
    void commitEditing(ui::TableView& table, ui::EditingStyle style, ui::IndexPath path) override;
    std::optional<std::string> titleForDeleteConfirmation(ui::TableView&, ui::IndexPath) override;
    // While editing, rows are chosen, not deleted: they show no delete control.
    ui::EditingStyle editingStyleForRow(ui::TableView&, ui::IndexPath) override;
    bool shouldIndentWhileEditing(ui::TableView&, ui::IndexPath) override { return false; }
    void didSelectRow(ui::TableView& table, ui::IndexPath path) override;
    void didDeselectRow(ui::TableView& table, ui::IndexPath path) override;

private:
    bool fetch(Error* error);
    // Reads the shifts again and shows them; a failed read leaves the list as it was.
    void reload();
    void printTickets(const std::optional<std::string>& employee, const ManagedObject& record, Date end, Error* error);
    // Done: the chosen shifts are clocked out in their order until one fails.
    void clockOutRecords();

    std::unique_ptr<FetchedResultsController> results_;
    std::optional<std::vector<ManagedObjectPtr>> records_;
};

// The interface: the table alone. Registers the controller under the name too, as the
// administration screen opens it by name.
void registerAttendanceView();

} // namespace tavlo::screens
