#include "payments/PaymentTransaction.h"

#include "platform/foundation/Text.h"
#include "platform/store/ManagedObject.h"

#include <algorithm>

namespace tavlo {

void PaymentTransaction::read(const ManagedObject& row) {
    setTransactionId(format("%d", row.int32("transactionId")));
    setCreated(row.date("created"));
    setUpdated(row.date("updateDate"));
    setAdjusted(row.date("adjusted"));
    setVoided(row.date("voided"));
    setOffline(row.boolean("offline"));
    for (const ManagedObjectPtr& field : row.toMany("transactionFields")) {
        std::optional<std::string> name = field->text("name");
        if (!name || (isCredential(*name) && contains(*name))) continue;
        setValue(field->text("value"), *name);
    }
}

const std::vector<std::string>& PaymentTransaction::credentialFields() {
    static const std::vector<std::string> fields = {"Password"};
    return fields;
}

bool PaymentTransaction::isCredential(std::string_view field) {
    const std::vector<std::string>& fields = credentialFields();
    return std::find(fields.begin(), fields.end(), field) != fields.end();
}

} // namespace tavlo
