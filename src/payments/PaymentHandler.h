#pragma once

#include "core/util/Utils.h"
#include "payments/PaymentTransaction.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Error.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {

class ObjectContext;

// What a card gateway handler can do. `config` is always the gateway's settings (the store
// parameters "HOST_<GATEWAY>_*"); failures answer -1, false or null and fill `error`.
class PaymentHandler {
public:
    // Payments report failures in the terminal's one error domain, code -1.
    static constexpr const char* kErrorDomain = Utils::kStoreServerErrorDomain;
    static constexpr int kErrorCode = -1;

    virtual ~PaymentHandler() = default;

    // The open batch's number (the one already open, or a new one); -1 on failure.
    virtual int32_t openBatch(const HostConfig& config, std::optional<Date> openDate, Error* error) = 0;
    // Settles the batch; `transactionIds` are the references of the day's card payments the
    // server knows.
    virtual bool closeBatch(const HostConfig& config, const std::vector<std::string>& transactionIds, Error* error) = 0;
    virtual std::shared_ptr<PaymentTransaction> newTransaction(const HostConfig& config, Error* error) = 0;
    // The stored transaction, or null when unknown.
    virtual std::shared_ptr<PaymentTransaction> transaction(const std::optional<std::string>& transactionId,
                                                            const HostConfig& config) = 0;
    virtual bool sale(PaymentTransaction& transaction, const HostConfig& config, Error* error) = 0;
    virtual bool authorize(PaymentTransaction& transaction, const HostConfig& config, Error* error) = 0;
    virtual bool adjust(PaymentTransaction& transaction, const HostConfig& config, Error* error) = 0;
    virtual bool refund(PaymentTransaction& transaction, const HostConfig& config, Error* error) = 0;
    // Voids the transaction.
    virtual bool cancel(PaymentTransaction& transaction, const HostConfig& config, Error* error) = 0;

    virtual bool canAuthorize() const = 0;
    virtual bool canAdjust() const = 0;
    virtual bool canRefund() const = 0;
    virtual bool canCancel() const = 0;
    // A keyed (not swiped) card is accepted.
    virtual bool allowManual() const = 0;

    // Rebuilds the open business day's batch from its stored payments.
    virtual void restoreBatch(std::optional<Date> openDate, ObjectContext& context) = 0;
};

} // namespace tavlo
