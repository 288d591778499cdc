#include "core/records/Attendance.h"

#include "core/records/RecordDocument.h"
#include "core/records/StoreRows.h"
#include "xml/XmlFields.h"
#include "xml/XmlHelper.h"

namespace tavlo {

namespace {

using Text = std::optional<std::string>;

bool nonEmpty(const Text& text) { return text && !text->empty(); }

constexpr const char* kFormatElementFailed = "testXmlwriterMemory: Error at xmlTextWriterWriteFormatElement";

} // namespace

Attendance::Attendance() : created_(Date::now()) {}

Attendance::Attendance(const ManagedObjectPtr& stored) {
    if (stored) read(*stored);
}

ManagedObjectPtr Attendance::write(ObjectContext& context) {
    updated_ = Date::now();
    ManagedObjectPtr row;
    if (nonEmpty(attendanceId_)) row = findRow(context, "Attendance", "attendanceId", attendanceId_);
    // The server's copy of a shift made here carries its new id beside ours: the row made here
    // takes it, rather than the shift being stored twice.
    if (!row && nonEmpty(remoteId_)) {
        row = findRow(context, "Attendance", "remoteId", remoteId_);
        if (row && nonEmpty(attendanceId_)) row->setValue("attendanceId", attendanceId_);
    }
    if (!row) {
        row = context.insert("Attendance");
        if (nonEmpty(remoteId_)) row->setValue("remoteId", *remoteId_);
        row->setValue("attendanceId", attendanceId_);
        row->setToOne("user", findUser(context, userId_));
        row->setValue("created", created_);
        if (roleId_) row->setToOne("role", findRow(context, "Role", "roleId", roleId_));
        row->setValue("hourlyWage", hourlyWage_);
        row->setValue("start", start_);
        if (startForcedBy_) row->setToOne("startForcedBy", findUser(context, startForcedBy_));
    }
    row->setValue("startNote", startNote_);
    row->setValue("updated", updated_);
    if (startReconciledBy_) {
        row->setToOne("startReconciledBy", findUser(context, startReconciledBy_));
        row->setValue("startReconciled", startReconciled_);
    }
    if (end_) {
        row->setValue("end", *end_);
        row->setValue("endNote", endNote_);
        if (endReconciledBy_) {
            row->setToOne("endReconciledBy", findUser(context, endReconciledBy_));
            row->setValue("endReconciled", endReconciled_);
        }
        row->setValue("grossSales", grossSales_);
        row->setValue("tax", tax_);
        row->setValue("tipsCash", tipsCash_);
        row->setValue("tipsNonCash", tipsNonCash_);
        row->setValue("tipOut", tipOut_);
    }
    return row;
}

void Attendance::read(const ManagedObject& row) {
    attendanceId_ = row.text("attendanceId");
    remoteId_ = row.text("remoteId");
    userId_ = row.text("user.userId");
    hourlyWage_ = row.int32("hourlyWage");
    readLinked(row, "role", "roleId", roleId_);
    start_ = row.date("start");
    startNote_ = row.text("startNote");
    startReconciled_ = row.date("startReconciled");
    readLinked(row, "startForcedBy", "userId", startForcedBy_);
    readLinked(row, "startReconciledBy", "userId", startReconciledBy_);
    end_ = row.date("end");
    endNote_ = row.text("endNote");
    endReconciled_ = row.date("endReconciled");
    readLinked(row, "endReconciledBy", "userId", endReconciledBy_);
    grossSales_ = row.int32("grossSales");
    tax_ = row.int32("tax");
    tipsCash_ = row.int32("tipsCash");
    tipsNonCash_ = row.int32("tipsNonCash");
    tipOut_ = row.int32("tipOut");
    created_ = row.date("created");
    updated_ = row.date("updated");
}

void Attendance::read(xmlNodePtr node, xmlDocPtr doc) {
    XmlFields xml(node, doc);
    attendanceId_ = xml.attribute("id");
    remoteId_ = xml.attribute("remoteId");
    userId_ = xml.text("userId");
    start_ = xml.time("startTime");
    startNote_ = xml.text("startForcedReason");
    startForcedBy_ = xml.text("startForcedById");
    endNote_ = xml.text("endReconciledNote");
    endReconciledBy_ = xml.text("endReconciledById");
    roleId_ = xml.text("roleId");
    if (auto t = xml.time("endTime")) end_ = t;
    if (auto t = xml.time("endReconciledTime")) endReconciled_ = t;
    for (auto [name, field] : {std::pair{"cashTips", &tipsCash_},
                               {"nonCashTips", &tipsNonCash_},
                               {"tipOut", &tipOut_},
                               {"hourlyWages", &hourlyWage_},
                               {"grossSales", &grossSales_},
                               {"taxAmount", &tax_}})
        if (auto v = xml.integerIfPresent(name)) *field = *v;
}

std::optional<std::string> Attendance::toXml(const std::optional<std::string>& printerUrl, Error* error) const {
    return writeRecordDocument(
        "attendance",
        [&](TextWriterDocument& doc) {
            doc.writeAttribute("remoteId", remoteId_.value_or(""));
            doc.writeAttribute("id", attendanceId_.value_or("-1"));
            doc.writeElement("userId", userId_);
            if (start_) doc.writeElement("startTime", XmlHelper::wireDate(*start_));
            if (end_) doc.writeElement("endTime", XmlHelper::wireDate(*end_));
            if (startForcedBy_) doc.writeElement("startForcedById", startForcedBy_);
            if (startNote_) doc.writeElement("startForcedReason", startNote_);
            if (endReconciled_) doc.writeElement("endReconciledTime", XmlHelper::wireDate(*endReconciled_));
            if (endReconciledBy_) doc.writeElement("endReconciledById", endReconciledBy_);
            if (endNote_) doc.writeElement("endReconciledNote", endNote_);
            if (roleId_) doc.writeElement("roleId", roleId_);
            for (auto [name, value] : {std::pair{"cashTips", tipsCash_},
                                       {"nonCashTips", tipsNonCash_},
                                       {"tipOut", tipOut_},
                                       {"hourlyWages", hourlyWage_},
                                       {"grossSales", grossSales_},
                                       {"taxAmount", tax_}})
                doc.writeElement(name, std::to_string(value), kFormatElementFailed);
            if (printerUrl) {
                doc.writeElement("printerConnType", "TCP/IP");
                doc.writeElement("printerUrl", printerUrl);
            }
        },
        error);
}

} // namespace tavlo
