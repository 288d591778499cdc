#include "payments/PaymentTransaction.h"

#include "platform/foundation/Text.h"
#include "platform/store/ManagedObject.h"

namespace tavlo {

void PaymentTransaction::read(const ManagedObject& row) {
    setTransactionId(format("%d", row.int32("transactionId")));
    setCreated(row.date("created"));
    setUpdated(row.date("updateDate"));
    setAdjusted(row.date("adjusted"));
    setVoided(row.date("voided"));
    setOffline(row.boolean("offline"));
    for (const ManagedObjectPtr& field : row.toMany("transactionFields")) {
        if (std::optional<std::string> name = field->text("name")) setValue(field->text("value"), *name);
    }
}

} // namespace tavlo
