#pragma once

#include "payments/PaymentTransaction.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo {

// A transaction of the Larch card gateway: its fields under the gateway's own names, the
// form-encoded request body of each web service and the reading of the gateway's XML reply.
// Money fields (Amount, TipAmt, TaxAmt) hold two-decimal text; SUB_TOTAL is whole cents and
// derived from Amount less tip and tax, so the amount always equals its parts.
class LarchTransaction : public PaymentTransaction {
public:
    // With a configuration, the gateway credentials are filled in.
    explicit LarchTransaction(const HostConfig* config = nullptr);

    // The gateway's name for a generic field name; any other name is its own.
    static std::string synonym(std::string_view name);

    bool wasApproved() const override;
    int32_t approvedAmount() const override;
    std::optional<std::string> approvalCode() const override;
    std::optional<std::string> responseMessage() const override;
    std::optional<std::string> responseCardVerification() const override;
    std::optional<std::string> hostData() const override;
    void setHostData(std::optional<std::string> data) override;

    std::vector<std::string> getFields() const override;
    bool contains(std::string_view field) const override;
    std::optional<std::string> valueForField(std::string_view field) const override;
    void setValue(std::optional<std::string> value, std::string_view field) override;
    void removeField(std::string_view field) override;

    const std::map<std::string, std::string, std::less<>>& fields() const { return fields_; }

    // The ExtData text: "<Name>value</Name>" for each extension field held.
    std::string extData() const;
    // The request body for a transaction type (Sale, Void, CaptureAll, TrxDetail, ...): every
    // field of this transaction's web service once, in wire order, values percent-encoded.
    // nil when the transaction names no web service.
    std::optional<std::string> toFieldValue(std::string_view type) const;
    // Reads a reply into the fields (nil does nothing): each element's text replaces the field
    // of its name, other fields stay, except a previous Result. False when the reply is not
    // well-formed XML; the fields read before the fault are kept.
    bool fromXml(const std::optional<std::string>& reply);

private:
    std::optional<std::string> held(std::string_view gatewayName) const;
    int64_t heldCents(std::string_view gatewayName) const;
    // Sets the tip or tax part of the amount, replacing the previous part.
    void setAmountPart(std::string_view part, const std::optional<std::string>& value);

    std::map<std::string, std::string, std::less<>> fields_;
};

} // namespace tavlo
