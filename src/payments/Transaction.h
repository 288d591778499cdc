#pragma once

#include "platform/foundation/Clock.h"
#include "xml/RequestValues.h"

#include <libxml/tree.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace tavlo {

class ManagedObject;

// A plain copy of one stored card transaction, as the server's remote terminal commands read and
// write it. Money in cents.
class Transaction {
public:
    // Created and updated now, no fields.
    Transaction();

    const std::optional<std::string>& batchId() const { return batchId_; }
    void setBatchId(std::optional<std::string> id) { batchId_ = std::move(id); }
    const std::optional<std::string>& transactionId() const { return transactionId_; }
    void setTransactionId(std::optional<std::string> id) { transactionId_ = std::move(id); }
    const std::optional<std::string>& approval() const { return approval_; }
    void setApproval(std::optional<std::string> approval) { approval_ = std::move(approval); }
    const std::optional<std::string>& number() const { return number_; }
    void setNumber(std::optional<std::string> number) { number_ = std::move(number); }
    int32_t subTotal() const { return subTotal_; }
    void setSubTotal(int32_t cents) { subTotal_ = cents; }
    int32_t tip() const { return tip_; }
    void setTip(int32_t cents) { tip_ = cents; }
    int32_t tax() const { return tax_; }
    void setTax(int32_t cents) { tax_ = cents; }
    bool offline() const { return offline_; }
    void setOffline(bool offline) { offline_ = offline; }
    const std::map<std::string, std::string>& fields() const { return fields_; }
    std::map<std::string, std::string>& fields() { return fields_; }
    const std::optional<Date>& created() const { return created_; }
    void setCreated(std::optional<Date> date) { created_ = date; }
    const std::optional<Date>& updated() const { return updated_; }
    void setUpdated(std::optional<Date> date) { updated_ = date; }
    const std::optional<Date>& adjusted() const { return adjusted_; }
    void setAdjusted(std::optional<Date> date) { adjusted_ = date; }
    const std::optional<Date>& voided() const { return voided_; }
    void setVoided(std::optional<Date> date) { voided_ = date; }

    // From a stored Transaction row, with its batch's number and every stored field.
    void read(const ManagedObject& row);
    // From a `transaction` element of a server document: what the element carries replaces what
    // is held. Dates are milliseconds since 1970 on the wire.
    void read(xmlNodePtr element, xmlDocPtr doc);

    // The stored rows as the transaction and batch dump documents take them.
    static CardTransactionValues cardTransactionValues(const ManagedObject& row);
    static CardBatchValues cardBatchValues(const ManagedObject& batch);

private:
    std::optional<std::string> batchId_;
    std::optional<std::string> transactionId_;
    std::optional<std::string> approval_;
    std::optional<std::string> number_;
    int32_t subTotal_ = 0;
    int32_t tip_ = 0;
    int32_t tax_ = 0;
    bool offline_ = false;
    std::map<std::string, std::string> fields_;
    std::optional<Date> created_;
    std::optional<Date> updated_;
    std::optional<Date> adjusted_;
    std::optional<Date> voided_;
};

} // namespace tavlo
