#pragma once

#include "payments/PaymentTransaction.h"
#include "platform/foundation/Error.h"
#include "platform/store/ManagedObject.h"

#include <optional>
#include <string>
#include <vector>

namespace tavlo {

// The card requests of one host (name, merchant, terminal) whose answer is not known. A request
// (sale, return, void or adjustment) is written down and saved before it is sent; the save that
// stores its answer removes it. A row left over is a charge whose answer never came (a time-out,
// a lost reply, a process that died meanwhile): "unknown", never declined, until the gateway was
// asked about it.
class CardAttempts {
public:
    static constexpr const char* kEntity = "CardAttempt";
    // The transaction field that names the order a charge pays (the order's id).
    static constexpr const char* kOrderField = "TAVLO_ORDER_ID";

    CardAttempts(ObjectContext* context, std::string hostName, std::string merchant, std::string terminal);

    // Writes down the request `kind` ("Sale", "Return", "Void", "Adjustment") of the transaction
    // (its number is the invoice) in `batchId`, and saves; null with `error` when it cannot be
    // saved, and then nothing may be sent.
    ManagedObjectPtr record(const PaymentTransaction& transaction, const std::string& kind, int32_t batchId,
                            Error* error);
    // The answer is known: the request leaves the list with the caller's next save.
    void settle(const ManagedObjectPtr& attempt);
    // The requests without an answer, oldest first; of one order when `orderId` is given.
    std::vector<ManagedObjectPtr> unknown(const std::optional<std::string>& orderId = std::nullopt);

private:
    ObjectContext* context_;
    std::string hostName_, merchant_, terminal_;
};

} // namespace tavlo
