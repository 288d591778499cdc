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

void LoginViewController::askForSwipe(bool clockOut) {
    swipeClocksOut_ = clockOut;
    swipeAlert_ =
        showAlert(this, "Swipe", localized("Please swipe card"), {"Cancel"}, [this](int) { swipeAlert_.reset(); });
}

void LoginViewController::clockIn() {
    const std::string number = textNumber()->text();
    if (number.empty()) {
        askForSwipe(false);
        return;
    }
    std::vector<ManagedObjectPtr> roles = jobTitles(userFromNumberOrTrackData(number));
    if (roles.size() < 2) {
        clockIn(number, roles.empty() ? std::nullopt : roles.back()->text("roleId"));
        return;
    }
    std::vector<std::string> names;
    for (const ManagedObjectPtr& role : roles) names.push_back(role->text("name").value_or(""));
    showAlert(this, "Role", localized("Select the role you are working under"), {"Cancel", names},
              [this, names](int button) {
                  if (button >= 1 && button <= static_cast<int>(names.size())) roleChosen(names[button - 1]);
              });
}

void LoginViewController::roleChosen(const std::string& name) {
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
        showAlert(this, "Error", localized("Unable to clock in, retry"), {"Ok"});
    } else {
        Session session(context.get());
        std::optional<std::string> userId = user->text("userId");
        if (openAttendance(*context, userId)) {
            showAlert(this, "Error", localized("User already clocked in"), {"Ok"});
        } else {
            Attendance record;
            record.setRemoteId(IDBroker::getInstance().generateRemoteIdAttendance());
            record.setUserId(userId);
            record.setStart(Date::now());
            record.setHourlyWage(0);
            record.setRoleId(roleId);
            Error error;
            if (!OrderHandler::getInstance()->sendAttendance(record, userId, context.get(), &error)) {
                showAlert(this, "Error", error.localizedDescription(), {"Ok"});
            } else {
                keepAttendance(session, record, *context);
                showAlert(this, "Confirmation", localized("User clocked in"), {"Ok"});
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
        askForSwipe(true);
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
    askForTips(localized("Enter your cash tips"), [this](std::optional<int32_t> cents) {
        if (cents) cashTipsEntered(*cents);
        else clearNumberField();
        loginByEnter_ = true;
    });
    loginByEnter_ = false;
}

void LoginViewController::cashTipsEntered(int32_t cents) {
    cashTipsForClockOut_ = cents;
    askForTips(localized("Enter any tip out"), [this](std::optional<int32_t> tipOut) {
        if (tipOut) clockOut(textNumber()->text(), cashTipsForClockOut_, *tipOut);
        else clearNumberField();
    });
}

void LoginViewController::askForTips(const std::string& message,
                                     std::function<void(std::optional<int32_t> cents)> entered) {
    auto setUp = [this](AlertView& alert) {
        alert.setStyle(AlertViewStyle::PlainTextInput);
        TextField* field = alert.textField(0);
        field->setTag(kAmountFieldTag);
        field->setKeyboardType(KeyboardType::NumberPad);
        field->setDelegate(this);
    };
    showAlert(
        this, "Tips", message, {"Cancel", {localized("Ok")}},
        [entered](int button, const std::string& typed) {
            entered(button == 0 ? std::nullopt : std::optional<int32_t>(Utils::parseCurrency(typed)));
        },
        setUp);
}

void LoginViewController::clockOut(const std::string& numberOrCard, int32_t cashTips, int32_t tipOut) {
    ManagedObjectPtr user = userFromNumberOrTrackData(numberOrCard);
    std::shared_ptr<ObjectContext> context = managedObjectContext();
    if (!user) {
        showAlert(this, "Alert", localized("Unable to clock out, retry"), {"Ok"});
    } else {
        Session session(context.get());
        std::optional<std::string> userId = user->text("userId");
        ManagedObjectPtr open = openAttendance(*context, userId);
        if (!open) {
            showAlert(this, "Tavlo", localized("User is not clocked in"), {"Ok"});
        } else {
            Attendance record(open);
            Date now = Date::now();
            record.setUserId(userId);
            record.setEnd(now);
            record.setTipsCash(cashTips);
            record.setTipOut(tipOut);
            Error error;
            if (!OrderHandler::getInstance()->sendAttendance(record, userId, context.get(), &error)) {
                showAlert(this, "Error", error.localizedDescription(), {"Ok"});
            } else {
                keepAttendance(session, record, *context);
                showAlert(this, "Confirmation", localized("User clocked out"), {"Ok"});
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
        showAlert(this, "Error", localized("Unable to print receipt, verify your printer is on and connected"), {"Ok"});
        return;
    }
    const int trailLines = ReceiptHelper::trailingLines(moc);
    std::optional<std::string> name = user->text("name");
    for (int copy = 0; copy < copies; ++copy) {
        if (out)
            ReceiptHelper::printClockOut(name, session.storeName(), in, *out, trailLines, &error, moc, *printerStream_);
        else ReceiptHelper::printClockIn(name, session.storeName(), in, trailLines, &error, moc, *printerStream_);
    }
    printerStream_->close();
}

// ---- the money fields of the tips prompts

bool LoginViewController::textFieldShouldChangeCharacters(TextField& field, TextRange range,
                                                          const std::string& replacement) {
    if (field.tag() != kAmountFieldTag) return true;
    // Cents entry as the amount prompt does it: an edit it refuses leaves the field as it was.
    if (std::optional<std::string> shown = AmountViewController::centsAfterEdit(field.text(), range, replacement))
        field.setText(*shown);
    return false;
}

} // namespace tavlo::screens
