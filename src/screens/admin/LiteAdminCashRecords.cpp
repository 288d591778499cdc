// The drawer records the administration screen makes: the cash in with its breakdown, and the
// cash out with the expected cash worked out from the drawer session's payments.
#include "screens/admin/LiteAdminViewController.h"

#include "core/order/Payment.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"

namespace tavlo::screens {

namespace {

bool counts(const ManagedObjectPtr& payment) { return !payment->date("voided"); }

} // namespace

CashInOut::BreakDown LiteAdminViewController::breakDown(int32_t cents) {
    CashInOut::BreakDown counted{{"100", cents / 100}};
    if (cents % 100 >= 1) counted["1"] = cents % 100;
    return counted;
}

CashInOut LiteAdminViewController::cashInObject(int32_t cents, const std::string& drawerId) {
    Date now = Date::now();
    CashInOut record;
    record.setCashInOutId(std::to_string(static_cast<unsigned long long>(now.timeIntervalSince1970())));
    record.setBatchId(IDBroker::getInstance().currentBatchId());
    record.setDrawerId(drawerId);
    record.setPaymentsByOrderCreator(Parameters::flag(Parameter::PaymentsByCreator, context()));
    record.setInBy(session_->userId());
    record.setInDate(now);
    record.setInTerminalId(session_->terminalId());
    record.setInAmount(cents);
    record.inBreakDown() = breakDown(cents);
    for (const std::string& label : PaymentTypeSummary::xmlTypes()) record.summaries()[label].type = label;
    return record;
}

CashInOut LiteAdminViewController::cashOutObject(int32_t cents, const std::string& drawerId) {
    CashInOut record;
    ManagedObjectPtr stored =
        context()->fetchFirst("CashInOut", "outDate == nil && cashDrawer.cashDrawerId == %@", drawerId);
    std::vector<ManagedObjectPtr> paid;
    if (stored) {
        record.read(*stored);
        paid = stored->toMany("payments");
    }
    record.setOutBy(session_->userId());
    record.setOutDate(Date::now());
    record.setOutTerminalId(session_->terminalId());
    record.setOutForcedBy(std::nullopt);
    record.setOutAmount(cents);
    record.setOutCount(record.outCount() + 1);
    record.setOutAmountCalculated(record.inAmount() + getSummaries(record, paid));
    record.outBreakDown().clear();
    if (cents != 0) record.outBreakDown() = breakDown(cents);
    return record;
}

int32_t LiteAdminViewController::getSummaries(CashInOut& record, const std::vector<ManagedObjectPtr>& payments) {
    for (const std::string& label : PaymentTypeSummary::xmlTypes()) {
        PaymentTypeSummary summary = label == "nonCash" ? nonCashSummary(payments) : typeSummary(label, payments);
        summary.type = label;
        record.summaries()[label] = summary;
    }
    const PaymentTypeSummary& cash = record.summaries()["cash"];
    return cash.subTotal + cash.tip + cash.gratuity;
}

PaymentTypeSummary LiteAdminViewController::typeSummary(const std::string& label,
                                                        const std::vector<ManagedObjectPtr>& payments) {
    PaymentTypeSummary summary;
    for (const ManagedObjectPtr& payment : payments) {
        if (!counts(payment) || Payment::xmlLabel(payment->int32("type")) != label) continue;
        summary.subTotal += payment->int32("subTotal");
        summary.tip += payment->int32("tip");
        summary.gratuity += payment->int32("gratuity");
    }
    return summary;
}

PaymentTypeSummary LiteAdminViewController::nonCashSummary(const std::vector<ManagedObjectPtr>& payments) {
    PaymentTypeSummary summary;
    for (const ManagedObjectPtr& payment : payments) {
        if (!counts(payment) || payment->int32("type") == 1) continue;
        summary.subTotal += payment->int32("subTotal");
        summary.gratuity += payment->int32("gratuity");
    }
    return summary;
}

} // namespace tavlo::screens
