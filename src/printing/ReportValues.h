#pragma once

#include "core/order/OrderType.h"

#include <cstdint>
#include <map>
#include <string>

namespace tavlo {

// The figures of one business day's orders that the close report's sections print, summed by
// ReportGenerator::generateValues. Money in cents. Amounts add for an ordinary order and subtract
// for a refund order, unless a field says otherwise.
struct ReportValues {
    // One kind of tender of one order type: "Credit:VISA", "Cash", ...
    struct PaymentEntry {
        std::string type;
        int64_t count = 0, subTotal = 0, total = 0, gratuity = 0, tip = 0; // always added
    };
    struct CountTotal {
        int64_t count = 0, total = 0;
    };
    // Name -> unit price (or charge) -> units.
    using UnitsByPrice = std::map<std::string, std::map<int64_t, int64_t>>;

    int64_t orderCount = 0; // orders of the day, refunds included
    int64_t seatCount = 0;
    int64_t subTotal = 0, taxTotal = 0, compTotal = 0, discountTotal = 0;
    // Dine-in orders only.
    int64_t subTotalDineIn = 0, taxTotalDineIn = 0, compTotalDineIn = 0, discountTotalDineIn = 0;
    // Order type -> orders of that type (always added).
    std::map<OrderType, int64_t> orderTotals;
    // Order type -> tender label -> card type ("none" without one) -> entry.
    std::map<OrderType, std::map<std::string, std::map<std::string, PaymentEntry>>> paymentTotals;
    // "State (8.25%):" -> the tax of that name.
    std::map<std::string, int64_t> taxTotals;
    // Recipe group -> item name / preparation id -> unit price / charge -> units.
    std::map<std::string, UnitsByPrice> itemsSoldGroups, itemsSoldPreparations;
    // Comp or discount name -> units (discounts: times given) and amount.
    std::map<std::string, CountTotal> compTotals, discountTotals;
    // Area id ("-1" without one) -> recipe group -> unit charge x units; and the area's sums.
    std::map<std::string, std::map<std::string, int64_t>> areaRecipeGroups;
    std::map<std::string, int64_t> areaNetTotals, areaCompTotals, areaDiscountTotals;
    // Payment entry type -> sums over every order type (counts always added).
    std::map<std::string, int64_t> subGrandTotals, gratuityGrandTotals, tipGrandTotals, totalGrandTotals,
        subGrandTotalCounts;
    int64_t payGrandTotal = 0, gratuityGrandTotal = 0, tipGrandTotal = 0;
    int64_t cashGrandTotal = 0; // the cash entries' totals
    int64_t cashBackTotal = 0;  // change given on tenders other than cash
};

} // namespace tavlo
