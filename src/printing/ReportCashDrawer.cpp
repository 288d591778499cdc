// The cash in/out reports: a drawer's (worked out here in lite mode, from the server in gateway
// mode) and a user's (from the server).
#include "printing/ReportGenerator.h"

#include "core/order/Order.h"
#include "core/order/Payment.h"
#include "core/order/Tender.h"
#include "core/records/CashInOut.h"
#include "core/session/DBHelper.h"
#include "core/session/Session.h"
#include "platform/foundation/LocalizedStrings.h"
#include "printing/ReportText.h"
#include "sync/exchange/CommHelper.h"

#include <algorithm>
#include <map>

namespace tavlo {

using namespace report;
using Lines = ReportGenerator::Lines;

namespace {

// "Total: $120.00" and the like: the amount in 8 (or as wide as it is), the line at the right one
// blank before the end.
std::string totalLine(const std::string& label, int64_t amount, int width) {
    return right(format("%@: %@", localized(label), rightWhole(money(amount), 8)), width - 1);
}

// A count of notes and coins, smallest denomination first: "$20.00   x       3 =   $60.00".
void breakDownLines(Lines& lines, const CashInOut::BreakDown& breakDown) {
    std::vector<std::pair<int64_t, int32_t>> counts;
    for (const auto& [denomination, count] : breakDown) counts.emplace_back(longLongValue(denomination), count);
    std::sort(counts.begin(), counts.end());
    for (const auto& [cents, count] : counts)
        lines.push_back(format("%@   x%@ =%@", rightWhole(money(cents), 8), right(std::to_string(count), 8),
                               rightWhole(money(cents * count), 19)));
}

// The server's report of a cash in/out: by its id once the server has given it one.
std::optional<Lines> serverCashReport(const CashInOut& record, const std::optional<std::string>& user,
                                      std::optional<Date> inDate, const std::optional<std::string>& drawerId,
                                      const Session& session, Error* error) {
    const bool hasId = record.cashInOutId() && *record.cashInOutId() != "-1" && !record.cashInOutId()->empty();
    if (hasId)
        return CommHelper::getReportCashInOut(record.cashInOutId(), "", std::nullopt, std::nullopt, std::nullopt, true,
                                              session, error);
    return CommHelper::getReportCashInOut(std::nullopt, user.value_or(""), inDate, drawerId, record.outDate(), true,
                                          session, error);
}

// The drawer's payments as a table, one blank before the end of the line: the order, the tender
// and the three amounts. An amount column is as wide as its widest amount needs (at least its
// usual width), so no amount is ever cut; the tender and then the order give up the room.
class PaymentTable {
public:
    struct Row {
        std::string order, type;
        int64_t subTotal, gratuity, tip;
    };

    void add(Row row) { rows_.push_back(std::move(row)); }

    Lines lines(int width) const {
        int sub = 7, grat = 6, tip = 6;
        for (const Row& row : rows_) {
            sub = std::max(sub, wide(row.subTotal));
            grat = std::max(grat, wide(row.gratuity));
            tip = std::max(tip, wide(row.tip));
        }
        const int amounts = sub + grat + tip;
        int type = std::clamp(width - 2 - amounts - 11, 6, 10);
        const int order = std::max(1, width - 2 - amounts - type);
        Lines out{" " + left(localized("ORDER"), order) + left(localized("TYPE"), type - 1) +
                  right(localized("SUBTOTAL"), sub + 1) + right(localized("GRAT"), grat) +
                  right(localized("TIP"), tip)};
        for (const Row& row : rows_)
            out.push_back(" " + left(row.order, order) + left(row.type, type) + right(money(row.subTotal), sub) +
                          right(money(row.gratuity), grat) + right(money(row.tip), tip));
        return out;
    }

private:
    // An amount with the blank before it.
    static int wide(int64_t cents) { return static_cast<int>(money(cents).size()) + 1; }

    std::vector<Row> rows_;
};

// The cash in/out's payments not voided, by id (those without one left out), as the record lists
// them.
std::vector<ManagedObjectPtr> paymentsById(const ManagedObject& record) {
    std::map<std::string, ManagedObjectPtr> byId;
    for (const ManagedObjectPtr& payment : record.toMany("payments"))
        if (std::optional<std::string> id = payment->text("remoteId"); id && payment->isNil("voided"))
            byId.emplace(std::move(*id), payment);
    std::vector<ManagedObjectPtr> payments;
    payments.reserve(byId.size());
    for (auto& [id, payment] : byId) payments.push_back(std::move(payment));
    return payments;
}

} // namespace

ManagedObjectPtr ReportGenerator::cashRecord(const std::optional<std::string>& drawerId) {
    ObjectContext* context = session_->managedObjectContext();
    if (session_->isCashedIn(drawerId))
        return DBHelper::getObject("CashInOut", "outDate == nil && cashDrawer.cashDrawerId == %@", drawerId, context);
    std::vector<ManagedObjectPtr> latest =
        DBHelper::getObjects("CashInOut", "cashDrawer.cashDrawerId == %@", drawerId, "outDate", false, 1, context);
    return latest.empty() ? nullptr : latest.front();
}

std::optional<Lines> ReportGenerator::reportCashDrawer(const std::optional<std::string>& drawerId, int width,
                                                       bool payments) {
    if (session_->isLite()) {
        ObjectContext* context = session_->managedObjectContext();
        if (!context) return std::nullopt;
        // The drawer's cash in/out, its counts and its payments with their orders in one read of
        // the file, every row read once.
        ObjectContext::ReadScope read(*context, ObjectContext::ReadScope::Hold::Objects);
        ManagedObjectPtr row = cashRecord(drawerId);
        if (!row) return std::nullopt;
        return liteCashDrawer(row, width, payments);
    }
    ManagedObjectPtr row = cashRecord(drawerId);
    if (!row) return Lines{localized(kNoReport)};
    CashInOut record;
    record.read(*row);
    Error error;
    std::optional<Lines> lines = serverCashReport(record, record.outBy() ? record.outBy() : record.inBy(),
                                                  record.inDate(), record.drawerId(), *session_, &error);
    return serverLines(lines, error);
}

std::optional<Lines> ReportGenerator::reportUser(const std::optional<std::string>& userId, int, bool) {
    if (session_->isLite()) return std::nullopt;
    std::vector<ManagedObjectPtr> latest = DBHelper::getObjects("CashInOut", "outBy.userId == %@", userId, "outDate",
                                                                false, 1, session_->managedObjectContext());
    if (latest.empty()) return Lines{localized(kNoReport)};
    CashInOut record;
    record.read(*latest.front());
    Error error;
    std::optional<Lines> lines =
        serverCashReport(record, record.outBy(), std::nullopt, std::nullopt, *session_, &error);
    return serverLines(lines, error);
}

Lines ReportGenerator::liteCashDrawer(const ManagedObjectPtr& row, int width, bool listPayments) {
    ObjectContext* context = session_->managedObjectContext();
    // The payments and their orders read by relationship, for all of them at once.
    context->prefetch(context->prefetch({row}, "payments"), "order");
    CashInOut record;
    record.read(*row);
    Lines lines;
    lines.reserve(100);
    lines.push_back(localized("--- CASH IN/OUT REPORT ---"));
    lines.push_back(Utils::naturalStringForDate(record.inDate()));
    lines.emplace_back("");
    lines.push_back(left(
        format("%@: %@", localized("Cash Drawer"), Session::cashDrawerName(record.drawerId(), context).value_or("")),
        width));
    lines.push_back(rule('=', width));
    lines.emplace_back("");
    lines.push_back(left(localized("CASH IN BREAK DOWN:"), width));
    lines.emplace_back("");
    breakDownLines(lines, record.inBreakDown());
    lines.emplace_back("");
    lines.push_back(totalLine("Total", record.inAmount(), width));
    lines.emplace_back("");
    lines.push_back(rule('=', width));
    lines.emplace_back("");

    // The drawer's activity: the cash taken in meanwhile; a refund's cash went out. The payments
    // by id, the voided left out.
    int64_t activity = 0;
    PaymentTable table;
    for (const ManagedObjectPtr& payment : paymentsById(*row)) {
        ManagedObjectPtr order = payment->toOne("order");
        const int32_t type = payment->int32("type");
        const int64_t subTotal = payment->int32("subTotal");
        if (Tender::of(type).needsDrawer)
            activity +=
                order && Order::typeFromXMLLabel(order->text("type")) == OrderType::Refund ? -subTotal : subTotal;
        std::optional<std::string> name = order ? order->text("orderId") : std::nullopt;
        if (!name && order) name = order->text("name");
        table.add(
            {name.value_or(""), Payment::uiLabel(type), subTotal, payment->int32("gratuity"), payment->int32("tip")});
    }
    if (listPayments && !record.payments().empty()) {
        lines.push_back(left(localized("PAYMENTS:"), width));
        lines.emplace_back("");
        Lines rows = table.lines(width);
        lines.push_back(rows.front());
        lines.push_back(rule('-', width));
        lines.insert(lines.end(), rows.begin() + 1, rows.end());
        lines.emplace_back("");
        lines.push_back(rule('=', width));
        lines.emplace_back("");
    }
    lines.push_back(totalLine("Total Activity", activity, width));
    lines.emplace_back("");
    lines.push_back(rule('=', width));
    lines.emplace_back("");
    lines.push_back(left(localized("CASH OUT BREAK DOWN:"), width));
    lines.emplace_back("");
    if (!record.outBy() || record.outBy()->empty()) {
        lines.push_back(totalLine("Calculated Total", record.inAmount() + activity, width));
        lines.emplace_back("");
        lines.push_back(localized(kEndOfReport));
        return lines;
    }
    breakDownLines(lines, record.outBreakDown());
    lines.push_back(totalLine("Total", record.outAmount(), width));
    lines.push_back(totalLine("Calculated Total", record.outAmountCalculated(), width));
    const int64_t difference = int64_t(record.outAmount()) - record.outAmountCalculated();
    lines.push_back(difference > 0 ? totalLine("Overage", difference, width)
                                   : totalLine("Shortage", -difference, width));
    lines.insert(lines.end(), 3, "");
    lines.push_back(localized(kEndOfReport));
    return lines;
}

} // namespace tavlo
