#include "screens/attendance/AttendanceViewController.h"

#include "core/ports/PrinterStream.h"
#include "core/records/Attendance.h"
#include "core/session/DBHelper.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/NavigationItem.h"
#include "printing/ReceiptHelper.h"
#include "screens/common/ScreenKit.h"
#include "sync/handlers/OrderHandler.h"

namespace tavlo::screens {

using namespace ui;

namespace {

Label* labelWithTag(TableViewCell& cell, int tag) { return dynamic_cast<Label*>(cell.contentView().viewWithTag(tag)); }

} // namespace

AttendanceViewController::AttendanceViewController() : SignedInController(kInterfaceName) {}

void AttendanceViewController::viewDidLoad() {
    setTitle(localized("Employees Clocked In"));
    std::weak_ptr<ViewController> weak = weak_from_this();
    navigationItem().setLeftBarButtonItem(
        BarButtonItem::titled(localized("Back"), BarButtonStyle::Done, [weak](BarButtonItem&) {
            if (auto self = weak.lock()) static_cast<AttendanceViewController&>(*self).close();
        }));
    if (session_ && session_->isGranted(Right::ForceClockIn)) navigationItem().setRightBarButtonItem(editButtonItem());
    tableView().setAllowsMultipleSelectionDuringEditing(true);
    if (Error error; !fetch(&error)) TAVLO_LOG_MAIL("Unable to read Attendance: %@", error.localizedDescription());
}

void AttendanceViewController::close() { dismiss(animated()); }

// ---- the list

bool AttendanceViewController::fetch(Error* error) {
    if (!context()) {
        Error::set(error, Error("Tavlo", -1, "no store to read from"));
        return false;
    }
    if (!results_) {
        FetchRequest request("Attendance", Predicate::format("end == nil && endReconciled == nil"),
                             {{"start"}, {"end"}});
        results_ = std::make_unique<FetchedResultsController>(*context(), std::move(request));
    }
    return results_->performFetch(error);
}

void AttendanceViewController::reload() {
    if (fetch(nullptr)) tableView().reloadData();
}

int AttendanceViewController::numberOfRows(TableView&, int section) {
    if (!results_ || results_->sections().empty() || section != 0) return 0;
    return static_cast<int>(results_->sections().front().numberOfObjects());
}

std::shared_ptr<TableViewCell> AttendanceViewController::cellForRow(TableView& table, IndexPath path) {
    std::shared_ptr<TableViewCell> cell = table.dequeueReusableCell(kCellIdentifier);
    if (!cell) {
        const double width = table.bounds().width();
        cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, kCellIdentifier,
                                               Rect(0, 0, width, table.rowHeight()));
        View& content = cell->contentView();
        kit::addPlainLabel(content, Rect(10, 2, width - 20, 20), {.font = Font::boldSystem(16), .tag = kNameTag})
            ->setAutoresizingMask(Autoresizing::FlexibleWidth);
        auto in = kit::addPlainLabel(content, Rect(10, 23, 30, 18), {.font = Font::system(13), .tag = kInTag});
        in->setTextColor(Color::gray());
        in->setText(format("%@:", localized("In")));
        kit::addPlainLabel(content, Rect(40, 23, width - 50, 18), {.font = Font::system(13), .tag = kStartTag})
            ->setTextColor(Color::blue());
    }
    ManagedObjectPtr record =
        results_ ? results_->objectAt(static_cast<size_t>(path.section), static_cast<size_t>(path.row)) : nullptr;
    if (!record) return cell;
    ManagedObjectPtr user = DBHelper::getObject("User", "userId == %@", record->text("user.userId"), context());
    if (Label* name = labelWithTag(*cell, kNameTag)) name->setText(user ? user->text("name") : std::nullopt);
    if (Label* start = labelWithTag(*cell, kStartTag))
        start->setText(Utils::naturalStringForDate(record->date("start")));
    return cell;
}

// ---- clocking out

bool AttendanceViewController::clockOut(const ManagedObjectPtr& record, Error* error) {
    ObjectContext* store = context();
    ManagedObjectPtr employee = DBHelper::getObject("User", "userId == %@", record->text("user.userId"), store);
    const std::optional<std::string> employeeId = employee ? employee->text("userId") : record->text("user.userId");
    if (!session_ || (!session_->isGranted(Right::ForceClockIn) && employeeId != session_->userId())) {
        Error::set(error,
                   Utils::getError(localized("You do not have access to clock out other employees"), "Tavlo", -1));
        return false;
    }
    Attendance attendance(record);
    const Date now = Date::now();
    attendance.setEnd(now);
    if (!OrderHandler::getInstance()->sendAttendance(attendance, employeeId, store, error)) return false;
    printTickets(employee ? employee->text("name") : std::nullopt, *record, now, error);
    return true;
}

void AttendanceViewController::printTickets(const std::optional<std::string>& employee, const ManagedObject& record,
                                            Date end, Error* error) {
    ObjectContext* store = context();
    const std::shared_ptr<PrinterStream>& printer = session_->printerStream();
    const int copies = ReceiptHelper::clockOutCopies(store);
    if (!printer || copies == 0) return;
    if (!printer->open(nullptr)) {
        Error::set(error, Utils::getError(localized("Unable to print receipt, verify your printer is on and connected"),
                                          "Tavlo", -1));
        return;
    }
    const int trailLines = ReceiptHelper::trailingLines(store);
    for (int copy = 0; copy < copies; ++copy)
        ReceiptHelper::printClockOut(employee, session_->storeName(), record.date("start"), end, trailLines, nullptr,
                                     store, *printer);
    printer->close();
}

std::optional<std::string> AttendanceViewController::titleForDeleteConfirmation(TableView&, IndexPath) {
    return localized("Clock Out");
}

EditingStyle AttendanceViewController::editingStyleForRow(TableView&, IndexPath) {
    return isEditing() ? EditingStyle::None : EditingStyle::Delete;
}

void AttendanceViewController::commitEditing(TableView&, EditingStyle style, IndexPath path) {
    if (style != EditingStyle::Delete || !results_) return;
    ManagedObjectPtr record = results_->objectAt(static_cast<size_t>(path.section), static_cast<size_t>(path.row));
    if (!record) return;
    // A ticket that did not print is not worth an alert here: the employee is clocked out.
    if (Error error; !clockOut(record, &error)) alert("Tavlo", error.localizedDescription(), {"Ok"});
    else reload();
}

// ---- several at once

void AttendanceViewController::setEditing(bool editing, bool animated) {
    TableViewController::setEditing(editing, animated);
    if (editing) {
        setTitle(localized("Select employees to clock out"));
        records_.emplace();
        return;
    }
    setTitle(localized("Employees Clocked In"));
    clockOutRecords();
}

void AttendanceViewController::clockOutRecords() {
    std::vector<ManagedObjectPtr> chosen = records_.value_or(std::vector<ManagedObjectPtr>{});
    records_.reset();
    Error printFailure;
    for (const ManagedObjectPtr& record : chosen) {
        Error error;
        if (!clockOut(record, &error)) {
            alert("Tavlo", error.localizedDescription(), {"Ok"});
            if (printFailure.isSet()) alert("Error", printFailure.localizedDescription(), {"Ok"});
            return;
        }
        if (error.isSet() && !printFailure.isSet()) printFailure = error;
    }
    reload();
    if (printFailure.isSet()) alert("Error", printFailure.localizedDescription(), {"Ok"});
}

void AttendanceViewController::didSelectRow(TableView&, IndexPath path) {
    if (!isEditing() || !records_ || !results_) return;
    if (ManagedObjectPtr record = results_->objectAt(static_cast<size_t>(path.section), static_cast<size_t>(path.row)))
        records_->push_back(record);
}

void AttendanceViewController::didDeselectRow(TableView&, IndexPath path) {
    if (!isEditing() || !records_ || !results_) return;
    ManagedObjectPtr record = results_->objectAt(static_cast<size_t>(path.section), static_cast<size_t>(path.row));
    std::erase(*records_, record);
}

void registerAttendanceView() {
    InterfaceRegistry& registry = InterfaceRegistry::shared();
    registry.add(AttendanceViewController::kInterfaceName, [](ViewController&) {
        auto table = std::make_shared<TableView>(Rect(0, 0, 540, 576), TableViewStyle::Plain);
        table->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
        return std::static_pointer_cast<View>(table);
    });
    registry.addController(AttendanceViewController::kInterfaceName,
                           [] { return std::make_shared<AttendanceViewController>(); });
}

} // namespace tavlo::screens
