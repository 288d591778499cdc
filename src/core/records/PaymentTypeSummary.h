#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {

// The totals of one payment type over a cash drawer's session, in cents. The in-drawer and
// adjusted counters are carried and sent as they are set.
struct PaymentTypeSummary {
    std::optional<std::string> type;
    int32_t subTotal = 0;
    int32_t gratuity = 0;
    int32_t tip = 0;
    int32_t gratuityInDrawer = 0;
    int32_t tipInDrawer = 0;
    int32_t subTotalAdjusted = 0;
    int32_t gratuityAdjusted = 0;
    int32_t tipAdjusted = 0;
    int32_t gratuityInDrawerAdjusted = 0;
    int32_t tipInDrawerAdjusted = 0;

    // The type names a drawer record reports, in the order they are sent: "cash", "nonCash",
    // "credit", "extCredit", "onlineCredit".
    static const std::vector<std::string>& xmlTypes();
};

} // namespace tavlo
