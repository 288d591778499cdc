#pragma once

#include "core/records/PaymentTypeSummary.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Error.h"
#include "platform/store/ManagedObject.h"

#include <libxml/tree.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {

class ObjectContext;

// One cash drawer from one cash in to its cash out within a business day: the cash counted in,
// and once cashed out the counted and the expected cash, with totals per payment type and the
// payments taken meanwhile. Money in cents.
class CashInOut {
public:
    using Text = std::optional<std::string>;
    // Denomination text -> count.
    using BreakDown = std::map<std::string, int32_t>;

    CashInOut() = default;

    // Stores the record in the context (not saved). The row is the one of the same business day,
    // drawer and cash-in time; the cash-in fields are written only when the row is made, the
    // cash-out fields once the drawer is cashed out.
    ManagedObjectPtr write(ObjectContext& context);
    void read(const ManagedObject& row);
    // Reads a `cashInOut` element of the server's XML. The expected cash and the summaries are
    // not on the wire.
    void read(xmlNodePtr element, xmlDocPtr doc);
    // The `cashInOut` request document; nil (logged, with `error`) when writing fails.
    Text toXml(Error* error = nullptr) const;
    Text toXmlPreCashOut(Error* error = nullptr) const { return toXml(error); }

    const Text& cashInOutId() const { return cashInOutId_; }
    void setCashInOutId(Text v) { cashInOutId_ = std::move(v); }
    const Text& batchId() const { return batchId_; }
    void setBatchId(Text v) { batchId_ = std::move(v); }
    const Text& drawerId() const { return drawerId_; }
    void setDrawerId(Text v) { drawerId_ = std::move(v); }
    bool paymentsByOrderCreator() const { return paymentsByOrderCreator_; }
    void setPaymentsByOrderCreator(bool v) { paymentsByOrderCreator_ = v; }
    const Text& inBy() const { return inBy_; }
    void setInBy(Text v) { inBy_ = std::move(v); }
    const Text& inForcedBy() const { return inForcedBy_; }
    void setInForcedBy(Text v) { inForcedBy_ = std::move(v); }
    int32_t inAmount() const { return inAmount_; }
    void setInAmount(int32_t v) { inAmount_ = v; }
    const std::optional<Date>& inDate() const { return inDate_; }
    void setInDate(std::optional<Date> v) { inDate_ = v; }
    const Text& inTerminalId() const { return inTerminalId_; }
    void setInTerminalId(Text v) { inTerminalId_ = std::move(v); }
    BreakDown& inBreakDown() { return inBreakDown_; }
    const BreakDown& inBreakDown() const { return inBreakDown_; }
    const Text& outBy() const { return outBy_; }
    void setOutBy(Text v) { outBy_ = std::move(v); }
    const Text& outForcedBy() const { return outForcedBy_; }
    void setOutForcedBy(Text v) { outForcedBy_ = std::move(v); }
    int32_t outCount() const { return outCount_; }
    void setOutCount(int32_t v) { outCount_ = v; }
    int32_t outAmount() const { return outAmount_; }
    void setOutAmount(int32_t v) { outAmount_ = v; }
    int32_t outAmountCalculated() const { return outAmountCalculated_; }
    void setOutAmountCalculated(int32_t v) { outAmountCalculated_ = v; }
    const std::optional<Date>& outDate() const { return outDate_; }
    void setOutDate(std::optional<Date> v) { outDate_ = v; }
    const Text& outTerminalId() const { return outTerminalId_; }
    void setOutTerminalId(Text v) { outTerminalId_ = std::move(v); }
    BreakDown& outBreakDown() { return outBreakDown_; }
    const BreakDown& outBreakDown() const { return outBreakDown_; }
    // Type name -> totals.
    std::map<std::string, PaymentTypeSummary>& summaries() { return summaries_; }
    const std::map<std::string, PaymentTypeSummary>& summaries() const { return summaries_; }
    // Payment remote id -> its order's remote id.
    std::map<std::string, std::string>& payments() { return payments_; }
    const std::map<std::string, std::string>& payments() const { return payments_; }
    // Petty-cash amounts in cents, paid from the drawer meanwhile. Kept in memory only: neither
    // stored nor sent, and left alone by the readers.
    std::vector<int32_t>& pettyCash() { return pettyCash_; }
    const std::vector<int32_t>& pettyCash() const { return pettyCash_; }

private:
    Text cashInOutId_, batchId_, drawerId_;
    bool paymentsByOrderCreator_ = false;
    Text inBy_, inForcedBy_;
    int32_t inAmount_ = 0;
    std::optional<Date> inDate_;
    Text inTerminalId_;
    BreakDown inBreakDown_;
    Text outBy_, outForcedBy_;
    int32_t outCount_ = 0, outAmount_ = 0, outAmountCalculated_ = 0;
    std::optional<Date> outDate_;
    Text outTerminalId_;
    BreakDown outBreakDown_;
    std::map<std::string, PaymentTypeSummary> summaries_;
    std::map<std::string, std::string> payments_;
    std::vector<int32_t> pettyCash_;
};

} // namespace tavlo
