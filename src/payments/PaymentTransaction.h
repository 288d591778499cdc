#pragma once

#include "platform/foundation/Clock.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo {

class ManagedObject;

// A card gateway's settings: the store parameters "HOST_<GATEWAY>_*", name -> value.
using HostConfig = std::map<std::string, std::string>;

// One card transaction as a gateway handler sees it. Callers use the generic field names
// (NUMBER, SUB_TOTAL, TIP, ...); each gateway maps them to its own.
class PaymentTransaction {
public:
    virtual ~PaymentTransaction() = default;

    const std::optional<std::string>& transactionId() const { return transactionId_; }
    void setTransactionId(std::optional<std::string> id) { transactionId_ = std::move(id); }
    // A set `voided` or `adjusted` date means the void or adjustment was done then.
    const std::optional<Date>& created() const { return created_; }
    void setCreated(std::optional<Date> date) { created_ = date; }
    const std::optional<Date>& updated() const { return updated_; }
    void setUpdated(std::optional<Date> date) { updated_ = date; }
    const std::optional<Date>& adjusted() const { return adjusted_; }
    void setAdjusted(std::optional<Date> date) { adjusted_ = date; }
    const std::optional<Date>& voided() const { return voided_; }
    void setVoided(std::optional<Date> date) { voided_ = date; }
    bool offline() const { return offline_; }
    void setOffline(bool offline) { offline_ = offline; }

    virtual bool wasApproved() const = 0;
    virtual int32_t approvedAmount() const = 0; // cents
    virtual std::optional<std::string> approvalCode() const = 0;
    virtual std::optional<std::string> responseMessage() const = 0;
    virtual std::optional<std::string> responseCardVerification() const = 0;
    // The gateway's own reference of the transaction.
    virtual std::optional<std::string> hostData() const = 0;
    virtual void setHostData(std::optional<std::string> data) = 0;

    virtual std::vector<std::string> getFields() const = 0;
    virtual bool contains(std::string_view field) const = 0;
    virtual std::optional<std::string> valueForField(std::string_view field) const = 0;
    // nil removes the field.
    virtual void setValue(std::optional<std::string> value, std::string_view field) = 0;
    virtual void removeField(std::string_view field) = 0;

    // Fills this transaction from a stored Transaction row: its number, dates and offline flag,
    // then every stored field through setValue. A credential the transaction holds already (from
    // the configuration) stays: one kept by a row of an older version is only a fallback.
    void read(const ManagedObject& row);

    // The fields that hold the gateway's credentials: the configuration supplies them to every
    // call, and no stored row keeps them.
    static const std::vector<std::string>& credentialFields();
    static bool isCredential(std::string_view field);

private:
    std::optional<std::string> transactionId_;
    std::optional<Date> created_;
    std::optional<Date> updated_;
    std::optional<Date> adjusted_;
    std::optional<Date> voided_;
    bool offline_ = false;
};

} // namespace tavlo
