// The sign-in screen's time clock: clocking in under a role and out with the cash tips and the
// tip out, each sent as an attendance record, with the ticket printed in lite mode.
#include "screens/shell/LoginViewController.h"

#include "core/records/Attendance.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "printing/ReceiptHelper.h"
#include "screens/common/prompts/AmountViewController.h"
#include "sync/handlers/OrderHandler.h"


namespace tavlo::screens {

using namespace ui;

namespace {

// The user's shift that is still open.
ManagedObjectPtr openAttendance(ObjectContext& context, const std::optional<std::string>& userId) {
    return context.fetchFirst("Attendance", "user.userId == %@ && end == nil && endReconciled == nil", userId);
}

// The gateway took the shift: the store's attendance follows it at once (a queueing terminal wrote
// it with the queue row), so the next clock in or out is checked against it.
void keepAttendance(Session& session, Attendance& record, ObjectContext& context) {
    if (session.isLite()) return;
    record.write(context);
    if (Error error; !context.save(&error))
        TAVLO_LOG_MAIL("Unable to save clock in/out (%@)", error.localizedDescription());
}

// The user's roles that are job titles, in the store's order.
std::vector<ManagedObjectPtr> jobTitles(const ManagedObjectPtr& user) {
    std::vector<ManagedObjectPtr> roles;
    if (!user) return roles;
    for (const ManagedObjectPtr& role : user->toMany("roles"))
        if (role->boolean("jobTitle")) roles.push_back(role);
    return roles;
}

} // namespace

// ---- clock in

void LoginViewController::askForSwipe(int tag) {
    swipeAlert_ = AlertView::make(localized("Swipe"), localized("Please swipe card"), localized("Cancel"));
    swipeAlert_->setTag(tag);
    swipeAlert_->setDelegate(sharedAs<AlertViewDelegate>());
    swipeAlert_->show();
}

void LoginViewController::clockIn() {
    const std::string number = textNumber()->text();
    if (number.empty()) {
        askForSwipe(clockInSwipeTag);
        return;
    }
    std::vector<ManagedObjectPtr> roles = jobTitles(userFromNumberOrTrackData(number));
    if (roles.size() < 2) {
        clockIn(number, roles.empty() ? std::nullopt : roles.back()->text("roleId"));
        return;
    }
    auto alert = AlertView::make(localized("Role"), localized("Select the role you are working under"),
                                 localized("Cancel"));
    for (const ManagedObjectPtr& role : roles) alert->addButton(role->text("name").value_or(""));
    alert->setTag(roleAlertTag);
    alert->setDelegate(sharedAs<AlertViewDelegate>());
    alert->show();
}

void LoginViewController::roleChosen(AlertView& alert, int buttonIndex) {
    if (buttonIndex == 0) return;
    const std::string name = alert.buttonTitle(buttonIndex);
    const std::string number = textNumber()->text();
    std::optional<std::string> roleId;
    for (const ManagedObjectPtr& role : jobTitles(userFromNumberOrTrackData(number)))
        if (role->text("name") == name) roleId = role->text("roleId");
    clockIn(number, roleId);
}

void LoginViewController::clockIn(const std::string& numberOrCard, const std::optional<std::string>& roleId) {
    ManagedObjectPtr user = userFromNumberOrTrackData(numberOrCard);
    std::shared_ptr<ObjectContext> context = managedObjectContext();
    if (!user) {
        showAlert("Error", localized("Unable to clock in, retry"));
    } else {
        Session session(context.get());
        std::optional<std::string> userId = user->text("userId");
        if (openAttendance(*context, userId)) {
            showAlert("Error", localized("User already clocked in"));
        } else {
            Attendance record;
            record.setRemoteId(IDBroker::getInstance().generateRemoteIdAttendance());
            record.setUserId(userId);
            record.setStart(Date::now());
            record.setHourlyWage(0);
            record.setRoleId(roleId);
            Error error;
            if (!OrderHandler::getInstance()->sendAttendance(record, userId, context.get(), &error)) {
                showAlert("Error", error.localizedDescription());
            } else {
                keepAttendance(session, record, *context);
                showAlert("Confirmation", localized("User clocked in"));
                if (session.isLite() && Parameters::flag(Parameter::PrintClockInReceipt, context.get()))
                    printClockTicket(session, user, *record.start(), std::nullopt);
            }
        }
    }
    clearNumberField();
}

// ---- clock out

void LoginViewController::clockOut() {
    const std::string number = textNumber()->text();
    if (number.empty()) {
        askForSwipe(clockOutSwipeTag);
        return;
    }
    bool reportsTips = false;
    if (ManagedObjectPtr user = userFromNumberOrTrackData(number))
        for (const ManagedObjectPtr& role : user->toMany("roles"))
            for (const ManagedObjectPtr& permission : role->toMany("permissions"))
                reportsTips = reportsTips || permission->text("name") == Rights::name(Right::ReportTips);
    if (!reportsTips) {
        clockOut(number, 0, 0);
        return;
    }
    askForTips(localized("Enter your cash tips"), cashTipsAlertTag);
    loginByEnter_ = false;
}

void LoginViewController::askForTips(const std::string& message, int tag) {
    auto alert = AlertView::make(localized("Tips"), message, localized("Cancel"), {localized("Ok")});
    alert->setStyle(AlertViewStyle::PlainTextInput);
    TextField* field = alert->textField(0);
    field->setTag(amountFieldTag);
    field->setKeyboardType(KeyboardType::NumberPad);
    field->setDelegate(this);
    alert->setTag(tag);
    alert->setDelegate(sharedAs<AlertViewDelegate>());
    alert->show();
}

void LoginViewController::clockOut(const std::string& numberOrCard, int32_t cashTips, int32_t tipOut) {
    ManagedObjectPtr user = userFromNumberOrTrackData(numberOrCard);
    std::shared_ptr<ObjectContext> context = managedObjectContext();
    if (!user) {
        showAlert("Alert", localized("Unable to clock out, retry"));
    } else {
        Session session(context.get());
        std::optional<std::string> userId = user->text("userId");
        ManagedObjectPtr open = openAttendance(*context, userId);
        if (!open) {
            showAlert("Tavlo", localized("User is not clocked in"));
        } else {
            Attendance record(open);
            Date now = Date::now();
            record.setUserId(userId);
            record.setEnd(now);
            record.setTipsCash(cashTips);
            record.setTipOut(tipOut);
            Error error;
            if (!OrderHandler::getInstance()->sendAttendance(record, userId, context.get(), &error)) {
                showAlert("Error", error.localizedDescription());
            } else {
                keepAttendance(session, record, *context);
                showAlert("Confirmation", localized("User clocked out"));
                if (session.isLite()) printClockTicket(session, user, record.start().value_or(now), now);
            }
        }
    }
    clearNumberField();
}

// ---- the ticket

void LoginViewController::printClockTicket(Session& session, const ManagedObjectPtr& user, Date in,
                                           std::optional<Date> out) {
    ObjectContext* moc = session.managedObjectContext();
    const int copies = out ? ReceiptHelper::clockOutCopies(moc) : 1;
    if (!printerStream_ || copies == 0) return;
    Error error;
    if (!printerStream_->open(&error)) {
        showAlert("Error", localized("Unable to print receipt, verify your printer is on and connected"));
        return;
    }
    const int trailLines = ReceiptHelper::trailingLines(moc);
    std::optional<std::string> name = user->text("name");
    for (int copy = 0; copy < copies; ++copy) {
        if (out)
            ReceiptHelper::printClockOut(name, session.storeName(), in, *out, trailLines, &error, moc, *printerStream_);
        else
            ReceiptHelper::printClockIn(name, session.storeName(), in, trailLines, &error, moc, *printerStream_);
    }
    printerStream_->close();
}

// ---- the money fields of the tips prompts

bool LoginViewController::textFieldShouldChangeCharacters(TextField& field, TextRange range,
                                                          const std::string& replacement) {
    if (field.tag() != amountFieldTag) return true;
    // Cents entry as the amount prompt does it: an edit it refuses leaves the field as it was.
    if (std::optional<std::string> shown = AmountViewController::centsAfterEdit(field.text(), range, replacement))
        field.setText(*shown);
    return false;
}

} // namespace tavlo::screens
