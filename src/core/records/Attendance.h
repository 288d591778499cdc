#pragma once

#include "platform/foundation/Clock.h"
#include "platform/foundation/Error.h"
#include "platform/store/ManagedObject.h"
#include "platform/store/ObjectContext.h"

#include <libxml/tree.h>

#include <cstdint>
#include <optional>
#include <string>

namespace tavlo {

// One shift of a user on the time clock: clock-in and clock-out, the role worked and the wage,
// forced or corrected times with who approved them, and the shift's sales, tax and tips.
// Model record: used on the thread of the context it is written to.
class Attendance {
public:
    // A new shift: `created` is now, everything else empty.
    Attendance();
    // The stored shift's values (a new shift for null).
    explicit Attendance(const ManagedObjectPtr& stored);

    // Stores the shift in the context (not saved): the row with its server id, else the row with
    // its terminal-made id (which then takes the server id), else a new row. The user, role,
    // wage, start and forcing of an existing row stay as they are; the sales and tips are
    // written only once the shift has ended.
    ManagedObjectPtr write(ObjectContext& context);
    void read(const ManagedObject& stored);
    // Reads a shift of the server's XML; the end times and the sales and tips stay as they were
    // when the element lacks them.
    void read(xmlNodePtr node, xmlDocPtr doc);
    // The `attendance` request document, with the printer to print the clock ticket on when one
    // is given; nil (logged, with `error`) when writing fails.
    std::optional<std::string> toXml(const std::optional<std::string>& printerUrl, Error* error = nullptr) const;
    std::optional<std::string> toXml() const { return toXml(std::nullopt); }

    const std::optional<std::string>& attendanceId() const { return attendanceId_; }
    void setAttendanceId(std::optional<std::string> v) { attendanceId_ = std::move(v); }
    const std::optional<std::string>& remoteId() const { return remoteId_; }
    void setRemoteId(std::optional<std::string> v) { remoteId_ = std::move(v); }
    const std::optional<std::string>& userId() const { return userId_; }
    void setUserId(std::optional<std::string> v) { userId_ = std::move(v); }
    const std::optional<std::string>& roleId() const { return roleId_; }
    void setRoleId(std::optional<std::string> v) { roleId_ = std::move(v); }
    int32_t hourlyWage() const { return hourlyWage_; }
    void setHourlyWage(int32_t v) { hourlyWage_ = v; }
    const std::optional<Date>& start() const { return start_; }
    void setStart(std::optional<Date> v) { start_ = std::move(v); }
    const std::optional<std::string>& startNote() const { return startNote_; }
    void setStartNote(std::optional<std::string> v) { startNote_ = std::move(v); }
    const std::optional<std::string>& startForcedBy() const { return startForcedBy_; }
    void setStartForcedBy(std::optional<std::string> v) { startForcedBy_ = std::move(v); }
    const std::optional<Date>& startReconciled() const { return startReconciled_; }
    void setStartReconciled(std::optional<Date> v) { startReconciled_ = std::move(v); }
    const std::optional<std::string>& startReconciledBy() const { return startReconciledBy_; }
    void setStartReconciledBy(std::optional<std::string> v) { startReconciledBy_ = std::move(v); }
    const std::optional<Date>& end() const { return end_; }
    void setEnd(std::optional<Date> v) { end_ = std::move(v); }
    const std::optional<std::string>& endNote() const { return endNote_; }
    void setEndNote(std::optional<std::string> v) { endNote_ = std::move(v); }
    const std::optional<Date>& endReconciled() const { return endReconciled_; }
    void setEndReconciled(std::optional<Date> v) { endReconciled_ = std::move(v); }
    const std::optional<std::string>& endReconciledBy() const { return endReconciledBy_; }
    void setEndReconciledBy(std::optional<std::string> v) { endReconciledBy_ = std::move(v); }
    int32_t grossSales() const { return grossSales_; }
    void setGrossSales(int32_t v) { grossSales_ = v; }
    int32_t tax() const { return tax_; }
    void setTax(int32_t v) { tax_ = v; }
    int32_t tipsCash() const { return tipsCash_; }
    void setTipsCash(int32_t v) { tipsCash_ = v; }
    int32_t tipsNonCash() const { return tipsNonCash_; }
    void setTipsNonCash(int32_t v) { tipsNonCash_ = v; }
    int32_t tipOut() const { return tipOut_; }
    void setTipOut(int32_t v) { tipOut_ = v; }
    const std::optional<Date>& created() const { return created_; }
    void setCreated(std::optional<Date> v) { created_ = std::move(v); }
    const std::optional<Date>& updated() const { return updated_; }
    void setUpdated(std::optional<Date> v) { updated_ = std::move(v); }

private:
    std::optional<std::string> attendanceId_, remoteId_, userId_, roleId_, startNote_, startForcedBy_,
        startReconciledBy_, endNote_, endReconciledBy_;
    std::optional<Date> start_, startReconciled_, end_, endReconciled_, created_, updated_;
    int32_t hourlyWage_ = 0, grossSales_ = 0, tax_ = 0, tipsCash_ = 0, tipsNonCash_ = 0, tipOut_ = 0;
};

} // namespace tavlo
