// The sections of the close report. Each begins with a rule of "=", an empty line and its title;
// columns are laid out for the width asked for, so that no line is wider and no label is cut.
#include "printing/ReportGenerator.h"

#include "core/order/Order.h"
#include "core/order/Payment.h"
#include "core/session/DBHelper.h"
#include "core/session/Session.h"
#include "platform/foundation/LocalizedStrings.h"
#include "printing/ReportText.h"

#include <cmath>

namespace tavlo {

using namespace report;
using Lines = ReportGenerator::Lines;

namespace {

// The rule of "=", an empty line, the title and, unless the caller draws its own, a dash rule.
Lines head(const std::string& title, int width, bool dashRule = true) {
    Lines lines{rule('=', width), "", title};
    if (dashRule) lines.push_back(rule('-', width));
    return lines;
}

// "  Sub Total:" with the amount at the right end of the line.
std::string amountLine(const std::string& label, int64_t amount, int width) {
    const std::string text = "  " + localized(label) + ": ";
    return text + right(money(amount), width - static_cast<int>(text.size()));
}

// A label at the left and a text at the right end of the line, one blank before the end.
std::string labelled(const std::string& label, const std::string& value, int width) {
    return left(label, width - 13) + right(value, 12);
}

// The discount and comp tables: name, units and amount, with a totals row.
void countTotalTable(Lines& lines, const std::string& nameHead,
                     const std::map<std::string, ReportValues::CountTotal>& rows, int64_t total, int width) {
    const int nameWidth = width - 16;
    auto row = [&](const std::string& name, const std::string& count, const std::string& amount) {
        return left(name, nameWidth) + right(count, 4) + right(amount, 12);
    };
    lines.push_back(row(localized(nameHead), localized("Qty"), localized("Total")));
    lines.push_back(rule('-', width));
    int64_t count = 0;
    for (const auto& [name, entry] : rows) {
        lines.push_back(row(name, std::to_string(entry.count), money(entry.total)));
        count += entry.count;
    }
    lines.push_back(rule('-', width));
    lines.push_back(row(localized("Total"), std::to_string(count), money(total)));
    lines.emplace_back("");
}

} // namespace

Lines ReportGenerator::sectionOrders(const ReportValues& v, int width) {
    Lines lines = head(centred(localized("ORDERS"), width), width);
    const std::string cash = Payment::uiLabel(Payment::kCash);
    for (const auto& [orderType, byLabel] : v.paymentTotals) {
        auto count = v.orderTotals.find(orderType);
        lines.emplace_back("");
        lines.push_back(centred(format("----- %@:%@ %@ -----", Order::typeUILabel(orderType),
                                       count == v.orderTotals.end() ? 0 : count->second, localized("Orders")),
                                width));
        lines.emplace_back("");
        const int64_t sign = orderType == OrderType::Refund ? -1 : 1;
        ReportValues::PaymentEntry sums;
        int64_t nonCashGratuity = 0;
        for (const auto& [label, byCard] : byLabel)
            for (const auto& [card, entry] : byCard) {
                // Full width, as every line under it: the report is shown and printed centred.
                lines.push_back(left(format("%@:%d", entry.type, entry.count), width));
                lines.push_back(amountLine("Sub Total", entry.subTotal, width));
                if (entry.gratuity >= 1) lines.push_back(amountLine("Gratuity", entry.gratuity, width));
                lines.push_back(amountLine("Tip", entry.tip, width));
                lines.push_back(amountLine("Total", entry.total, width));
                sums.subTotal += sign * entry.subTotal;
                sums.gratuity += sign * entry.gratuity;
                sums.tip += sign * entry.tip;
                sums.total += sign * entry.total;
                if (label != cash) nonCashGratuity += sign * entry.gratuity;
            }
        lines.push_back(left(localized("TOTALS:"), width));
        lines.push_back(amountLine("Sub Total", sums.subTotal, width));
        if (sums.gratuity >= 1) {
            lines.push_back(amountLine("Gratuity", sums.gratuity, width));
            lines.push_back(format("    %@: %@", localized("Non Cash"), money(nonCashGratuity)));
        }
        lines.push_back(amountLine("Tip", sums.tip, width));
        lines.push_back(amountLine("Total", sums.total, width));
    }
    return lines;
}

Lines ReportGenerator::sectionPaymentsSummary(const ReportValues& v, int width) {
    Lines lines = head(localized("PAYMENTS SUMMARY"), width);
    auto row = [&](const std::string& count, const std::string& type, int64_t total, int64_t extra) {
        return right(count, 4) + " " + left(type, width - 26) + right(money(total), 10) + right(money(extra), 10);
    };
    lines.push_back(right(localized("Qty"), 4) + " " + left(localized("Payment Type"), width - 26) +
                    right(localized("Total"), 10) + right(localized("Grat+Tip"), 10));
    lines.push_back(rule('-', width));
    int64_t count = 0;
    for (const auto& [type, sub] : v.subGrandTotals) {
        auto value = [&](const std::map<std::string, int64_t>& m) {
            auto it = m.find(type);
            return it == m.end() ? int64_t(0) : it->second;
        };
        lines.push_back(row(std::to_string(value(v.subGrandTotalCounts)), type, value(v.totalGrandTotals),
                            value(v.gratuityGrandTotals) + value(v.tipGrandTotals)));
        count += value(v.subGrandTotalCounts);
    }
    lines.emplace_back("");
    if (v.cashBackTotal >= 1)
        lines.push_back(right("", 4) + " " + left(localized("CASH BACK"), width - 26) +
                        right("(" + money(v.cashBackTotal) + ")", 10));
    lines.push_back(rule('-', width));
    lines.push_back(right(std::to_string(count), 4) + " " +
                    right(money(v.payGrandTotal - v.cashBackTotal), width - 16) +
                    right(money(v.gratuityGrandTotal + v.tipGrandTotal), 10));
    return lines;
}

Lines ReportGenerator::sectionTaxes(const ReportValues& v, int width) {
    Lines lines = head(localized("TAXES"), width);
    auto line = [&](const std::string& key, int64_t amount) {
        return " " + key + right(money(amount), width - 2 - static_cast<int>(key.size())) + " ";
    };
    for (const auto& [key, amount] : v.taxTotals) lines.push_back(line(key, amount));
    lines.push_back(line(localized("Total:"), v.taxTotal));
    return lines;
}

Lines ReportGenerator::sectionSales(const ReportValues& v, int width) {
    Lines lines = head(localized("SALES"), width);
    const int64_t net = v.subTotal - v.compTotal - v.discountTotal;
    auto line = [&](const std::string& label, const std::string& value, int end) {
        const std::string text = " " + localized(label) + ": ";
        return text + right(value, end - static_cast<int>(text.size()));
    };
    lines.push_back(left(format(" %@: %ld", localized("Total Seats"), v.seatCount), width - 1));
    lines.emplace_back("");
    lines.push_back(line("Gross Sales", money(net + v.taxTotal), width - 1));
    lines.push_back(line("Taxes", "(" + money(v.taxTotal) + ")", width));
    lines.push_back(line("Net Sales", money(net), width - 1));
    return lines;
}

Lines ReportGenerator::sectionStats(const ReportValues& v, int width) {
    Lines lines = head(localized("STATISTICS"), width);
    auto average = [](int64_t amount, int64_t divisor) -> int64_t {
        if (divisor == 0) return 0;
        return static_cast<int64_t>(std::llround(static_cast<double>(amount) / static_cast<double>(divisor)));
    };
    const int64_t net = v.subTotal - v.compTotal - v.discountTotal;
    const int64_t dineInNet = v.subTotalDineIn - v.compTotalDineIn - v.discountTotalDineIn;
    auto row = [&](const char* label, const std::string& value) {
        lines.push_back(left(" " + localized(label), width - 13) + " " + right(value, 12));
    };
    row("Orders", std::to_string(v.orderCount));
    row("Avg/Order (Net)", money(average(net, v.orderCount)));
    row("Avg/Order (Gross)", money(average(net + v.taxTotal, v.orderCount)));
    row("Seats", std::to_string(v.seatCount));
    row("Avg/Seat (Net)", money(average(dineInNet, v.seatCount)));
    row("Avg/Seat (Gross)", money(average(dineInNet + v.taxTotalDineIn, v.seatCount)));
    lines.emplace_back("");
    return lines;
}

Lines ReportGenerator::sectionDiscounts(const ReportValues& v, int width) {
    if (v.discountTotals.empty()) return {};
    Lines lines = head(centred(localized("DISCOUNT SUMMARY"), width), width);
    countTotalTable(lines, "Discount", v.discountTotals, -v.discountTotal, width);
    return lines;
}

Lines ReportGenerator::sectionComps(const ReportValues& v, int width) {
    if (v.compTotals.empty()) return {};
    Lines lines = head(localized("COMPLIMENTARY SUMMARY"), width);
    countTotalTable(lines, "Complimentary", v.compTotals, v.compTotal, width);
    return lines;
}

Lines ReportGenerator::sectionGroupSalesByArea(const ReportValues& v, int width) {
    Lines lines = head(localized("GROUP SALES BY AREA"), width);
    ObjectContext* context = session_->managedObjectContext();
    auto sum = [](const std::map<std::string, int64_t>& m, const std::string& key) {
        auto it = m.find(key);
        return it == m.end() ? int64_t(0) : it->second;
    };
    for (const auto& [areaId, groups] : v.areaRecipeGroups) {
        ManagedObjectPtr area = DBHelper::getObject("Area", "areaId == %@", areaId, context);
        std::optional<std::string> name = area ? area->text("name") : std::nullopt;
        lines.push_back(left(" " + name.value_or(localized("No area")), width - 1));
        int64_t subTotal = 0;
        for (const auto& [group, amount] : groups) {
            lines.push_back("  " + left(group, width - 15) + right(money(amount), 12) + " ");
            subTotal += amount;
        }
        const int64_t comps = sum(v.areaCompTotals, areaId), discounts = sum(v.areaDiscountTotals, areaId);
        lines.push_back(right("--------------", width));
        lines.push_back(labelled("  " + localized("Sub Total:"), money(subTotal), width));
        lines.push_back(labelled("  " + localized("Comp Total:"), money(-comps), width));
        lines.push_back(labelled("  " + localized("Discount Total:"), money(-discounts), width));
        lines.push_back(right("--------------", width));
        lines.push_back(
            labelled("  " + localized("Net Sales:"), money(sum(v.areaNetTotals, areaId) - comps - discounts), width));
        lines.emplace_back("");
    }
    return lines;
}

Lines ReportGenerator::sectionItemsSold(const ReportValues& v, int width) {
    Lines lines = head(localized("ITEMS SOLD"), width);
    const int nameWidth = width - 24;
    auto row = [&](const std::string& name, const std::string& price, const std::string& count,
                   const std::string& amount) {
        return left(name, nameWidth) + right(price, 9) + right(count, 5) + right(amount, 10);
    };
    auto table = [&](const std::map<std::string, ReportValues::UnitsByPrice>& groups, auto nameOf) {
        for (const auto& [group, items] : groups) {
            lines.push_back(left(group, width));
            lines.emplace_back("");
            lines.push_back(row(localized("ITEM"), localized("PRICE"), "#", localized("AMOUNT")));
            lines.push_back(rule('-', width));
            for (const auto& [item, byPrice] : items)
                for (const auto& [price, units] : byPrice)
                    lines.push_back(row(nameOf(item), money(price), std::to_string(units), money(price * units)));
            lines.emplace_back("");
        }
    };
    table(v.itemsSoldGroups, [](const std::string& name) { return name; });
    if (!v.itemsSoldPreparations.empty()) {
        ObjectContext* context = session_->managedObjectContext();
        lines.emplace_back("");
        lines.push_back(localized("PREPARATIONS"));
        lines.emplace_back("");
        table(v.itemsSoldPreparations, [context](const std::string& id) {
            ManagedObjectPtr preparation = DBHelper::getObject("Preparation", "preparationId==%@", id, context);
            return preparation ? preparation->text("name").value_or("") : std::string();
        });
        lines.emplace_back("");
    }
    return lines;
}

Lines ReportGenerator::sectionMiscellaneous(const ReportValues& v, int width) {
    Lines lines = head(localized("MISCELLANEOUS"), width);
    const std::string label = " " + localized("Cash - Non Cash Tips") + ": ";
    lines.push_back(label + right(money(v.cashGrandTotal - v.gratuityGrandTotal - v.tipGrandTotal),
                                  width - 1 - static_cast<int>(label.size())));
    lines.emplace_back("");
    return lines;
}

} // namespace tavlo
