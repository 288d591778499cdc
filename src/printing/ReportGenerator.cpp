// The reports as a whole: the period, the day's figures, the close and sales status reports, and
// the server's reports in gateway mode. The close report's sections are in ReportSections.cpp,
// the cash drawer's in ReportCashDrawer.cpp.
#include "printing/ReportGenerator.h"

#include "core/order/ComboSelection.h"
#include "core/order/Order.h"
#include "core/order/StoredOrders.h"
#include "core/order/Tender.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "printing/ReportText.h"
#include "sync/exchange/CommHelper.h"

namespace tavlo {

using report::money;

namespace {

bool isVoided(const Payment& payment) { return payment.isVoided() || payment.voided().has_value(); }

bool isCardWithType(const Payment& payment) {
    return payment.tender().slipCard == SlipCard::Always && payment.cardType() && !payment.cardType()->empty();
}

// The grand sums by entry type, from the entries of every order type; refunds subtract.
void sumGrandTotals(ReportValues& v) {
    const std::string cash = Payment::uiLabel(Payment::kCash);
    for (const auto& [orderType, byLabel] : v.paymentTotals) {
        const int64_t sign = orderType == OrderType::Refund ? -1 : 1;
        for (const auto& [label, byCard] : byLabel)
            for (const auto& [card, entry] : byCard) {
                v.subGrandTotals[entry.type] += sign * entry.subTotal;
                v.gratuityGrandTotals[entry.type] += sign * entry.gratuity;
                v.tipGrandTotals[entry.type] += sign * entry.tip;
                v.totalGrandTotals[entry.type] += sign * entry.total;
                v.subGrandTotalCounts[entry.type] += entry.count;
                v.payGrandTotal += sign * entry.total;
                v.gratuityGrandTotal += sign * entry.gratuity;
                v.tipGrandTotal += sign * entry.tip;
                if (label == cash) v.cashGrandTotal += sign * entry.total;
            }
    }
}

} // namespace

ReportGenerator::Period ReportGenerator::period() {
    IDBroker& ids = IDBroker::getInstance();
    if (session_->isStoreOpen()) return {session_->storeOpenDate(), Date::now(), ids.currentBatchId()};
    return {session_->lastOpenDate(), session_->storeCloseDate(), ids.lastBatchId()};
}

ReportGenerator::Lines ReportGenerator::reportHeader(const std::string& title, std::optional<Date> from,
                                                     std::optional<Date> to) {
    return {title, "", format("%@ %@", localized("FROM:"), Utils::naturalStringForDate(from)),
            format("%@ %@", localized("TO:"), Utils::naturalStringForDate(to)), ""};
}

std::string ReportGenerator::recipeGroup(const Selection& selection) {
    ObjectContext* context = session_->managedObjectContext();
    if (ManagedObjectPtr recipe = DBHelper::getObject("Recipe", "recipeId == %@", selection.recipeId(), context))
        if (std::optional<std::string> group = recipe->text("recipeGroup.name")) return *group;
    if (dynamic_cast<const ComboSelection*>(&selection)) return localized("Combo");
    return localized("Non grouped");
}

void ReportGenerator::addOrder(const Order& order, ReportValues& v) {
    const bool refund = order.orderType() == OrderType::Refund;
    const int64_t sign = refund ? -1 : 1;
    const int64_t subTotal = order.getSubTotal(), tax = order.getTaxTotal(), comp = order.getCompTotal(),
                  discount = order.getDiscountTotal();
    v.orderCount += 1;
    v.seatCount += sign * order.seats();
    v.subTotal += sign * subTotal;
    v.taxTotal += sign * tax;
    v.compTotal += sign * comp;
    v.discountTotal += sign * discount;
    if (order.orderType() == OrderType::DineIn) {
        v.subTotalDineIn += subTotal;
        v.taxTotalDineIn += tax;
        v.compTotalDineIn += comp;
        v.discountTotalDineIn += discount;
    }
    v.orderTotals[order.orderType()] += 1;

    for (const auto& payment : order.payments()) {
        if (isVoided(*payment)) continue;
        const std::string label = Payment::uiLabel(payment->type());
        const std::string card = payment->cardType() && !payment->cardType()->empty() ? *payment->cardType() : "none";
        ReportValues::PaymentEntry& entry = v.paymentTotals[order.orderType()][label][card];
        if (entry.count == 0) // the same for every payment of that label and card
            entry.type = isCardWithType(*payment) ? format("%@:%@", label, card) : label;
        entry.count += 1;
        entry.subTotal += payment->subTotal();
        entry.total += payment->getTotal();
        entry.gratuity += payment->gratuity();
        entry.tip += payment->tip();
        // Change on a tender that gives none is cash handed back over the card.
        if (!payment->tender().givesChange) v.cashBackTotal += sign * payment->change();
    }

    // A refund lowers its tax lines as it lowers the tax total, so that the lines add up to it.
    // An order's only tax line is its whole tax.
    for (const OrderTax& t : order.taxes())
        v.taxTotals[taxKeyCached(t)] += sign * (order.taxes().size() == 1 ? tax : order.getTax(t.name()));

    const std::string area = order.areaId().value_or("-1");
    // The area's sums, looked up at the order's first active line.
    std::map<std::string, int64_t>* areaGroups = nullptr;
    int64_t* areaNet = nullptr;
    for (const SelectionPtr& s : order.selections()) {
        if (s->deleted()) continue; // a voided line sold nothing
        const std::string& group = recipeGroupCached(*s);
        const int64_t units = s->quantity();
        static const std::string unnamed;
        v.itemsSoldGroups[group][s->name() ? *s->name() : unnamed][s->price()] += sign * units;
        for (const Preparation& p : s->selectedPreparations()) {
            const std::string id = p.preparationId().value_or("");
            v.itemsSoldPreparations[group][id][s->getCharge(id)] += sign * units;
        }
        if (s->compBy()) {
            ReportValues::CountTotal& c = v.compTotals[s->compName().value_or("")];
            c.count += sign * units;
            c.total += sign * order.compPerUnit(*s) * units;
        }
        const int64_t charge = sign * int64_t(s->getUnitCharge()) * units;
        if (!areaGroups) {
            areaGroups = &v.areaRecipeGroups[area];
            areaNet = &v.areaNetTotals[area];
        }
        (*areaGroups)[group] += charge;
        *areaNet += charge;
    }
    for (const auto& d : order.activeDiscounts()) {
        ReportValues::CountTotal& c = v.discountTotals[d->name().value_or("")];
        c.count += sign;
        c.total += sign * d->amount();
    }
    v.areaCompTotals[area] += sign * comp;
    v.areaDiscountTotals[area] += sign * discount;
}

const std::string& ReportGenerator::taxKeyCached(const OrderTax& tax) {
    auto key = std::pair(tax.name().value_or(""), tax.percentage());
    auto it = taxKeys_.find(key);
    if (it == taxKeys_.end()) it = taxKeys_.emplace(std::move(key), report::taxKey(tax)).first;
    return it->second;
}

const std::string& ReportGenerator::recipeGroupCached(const Selection& selection) {
    // A combo without a recipe has a group of its own.
    const bool combo = dynamic_cast<const ComboSelection*>(&selection) != nullptr;
    std::map<std::string, std::string, std::less<>>& groups = groupNames_[combo ? 1 : 0];
    const std::string_view recipeId = selection.recipeId() ? std::string_view(*selection.recipeId()) : "";
    auto it = groups.find(recipeId);
    if (it == groups.end()) it = groups.emplace(recipeId, recipeGroup(selection)).first;
    return it->second;
}

void ReportGenerator::forEachOrder(const std::optional<std::string>& batchId,
                                   const std::function<void(const Order&)>& visit) {
    ObjectContext* context = session_->managedObjectContext();
    // The gratuity rules are the store's, the same for every order: read once, not per order.
    const Order rules(context);
    auto withRules = [&](Order& order) {
        order.setTipGratuityAfterTax(rules.tipGratuityAfterTax());
        order.setTipGratuityBeforeCompDisc(rules.tipGratuityBeforeCompDisc());
    };
    // In no order: the figures are sums, the same whatever order the orders come in.
    const FetchRequest request("Order", Predicate::format("storeBatch.remoteId == %@", batchId));
    if (!context->hasChanges()) {
        // The orders as stored, read by column for their figures: the whole day in a few
        // statements of one read transaction, no objects made.
        ObjectContext::ReadScope read(*context);
        for (const std::unique_ptr<Order>& order : StoredOrders::read(*context, request)) {
            withRules(*order);
            visit(*order);
        }
        return;
    }
    // Changes not yet saved are seen through the context's objects: the walk in one read of the
    // file, every row read staying until it ends, read once.
    ObjectContext::ReadScope read(*context, ObjectContext::ReadScope::Hold::Objects);
    const std::vector<ManagedObjectPtr> rows = context->fetch(request);
    // What the orders hold, read by relationship for all of them at once instead of one list of
    // one order at a time.
    Order::prefetch(*context, rows);
    for (const ManagedObjectPtr& row : rows) {
        Order order;
        withRules(order);
        order.read(*row);
        visit(order);
    }
}

ReportValues ReportGenerator::generateValues(const std::optional<std::string>& batchId) {
    ReportValues values;
    for (auto& groups : groupNames_) groups.clear();
    forEachOrder(batchId, [&](const Order& order) { addOrder(order, values); });
    sumGrandTotals(values);
    return values;
}

ReportGenerator::Lines ReportGenerator::serverLines(const std::optional<Lines>& lines, const Error& error) {
    if (lines) return *lines;
    std::string why = error.localizedDescription();
    return {why.empty() ? localized("Unable to get report, verify your connection") : why};
}

ReportGenerator::Lines ReportGenerator::reportTotalSales(bool preview, int width) {
    if (!session_->isLite()) {
        Error error;
        return serverLines(CommHelper::getReport("getTotalSalesReport", std::nullopt, *session_, &error), error);
    }
    const Period p = period();
    const ReportValues values = generateValues(p.batchId);
    ObjectContext* context = session_->managedObjectContext();

    Lines lines = reportHeader(localized("--- CLOSE REPORT ---"), p.from, p.to);
    if (preview) {
        lines.emplace_back("");
        lines.push_back(localized("**** PREVIEW ONLY ****"));
    }
    using Section = Lines (ReportGenerator::*)(const ReportValues&, int);
    static const std::pair<Parameter, Section> sections[] = {
        {Parameter::ReportOrdersSection, &ReportGenerator::sectionOrders},
        {Parameter::ReportPaymentsSummarySection, &ReportGenerator::sectionPaymentsSummary},
        {Parameter::ReportTaxesSection, &ReportGenerator::sectionTaxes},
        {Parameter::ReportSalesSection, &ReportGenerator::sectionSales},
        {Parameter::ReportStatsSection, &ReportGenerator::sectionStats},
        {Parameter::ReportDiscountsSection, &ReportGenerator::sectionDiscounts},
        {Parameter::ReportCompSection, &ReportGenerator::sectionComps},
        {Parameter::ReportGroupSalesByAreaSection, &ReportGenerator::sectionGroupSalesByArea},
        {Parameter::ReportItemsSoldSection, &ReportGenerator::sectionItemsSold},
        {Parameter::ReportMiscSection, &ReportGenerator::sectionMiscellaneous},
    };
    for (const auto& [parameter, section] : sections)
        if (Parameters::flag(parameter, context)) {
            Lines part = (this->*section)(values, width);
            lines.insert(lines.end(), part.begin(), part.end());
        }
    lines.emplace_back("");
    lines.push_back(localized(kEndOfReport));
    return lines;
}

ReportGenerator::Lines ReportGenerator::reportSalesStatus(int width) {
    if (!session_->isLite()) {
        Error error;
        return serverLines(CommHelper::getReport("getSalesStatus", std::nullopt, *session_, &error), error);
    }
    const Period p = period();
    int64_t gross = 0;
    std::map<std::string, int64_t> taxes;
    forEachOrder(p.batchId, [&](const Order& order) {
        const int64_t sign = order.orderType() == OrderType::Refund ? -1 : 1;
        gross += sign * order.getTotal();
        for (const OrderTax& t : order.taxes()) taxes[t.name().value_or("")] += sign * order.getTax(t.name());
    });
    int64_t net = gross;
    for (const auto& [name, amount] : taxes) net -= amount;

    const unsigned labelWidth = static_cast<unsigned>(std::max(width - 13, 0));
    Lines lines = reportHeader(localized("--- SALES STATUS REPORT ---"), p.from, p.to);
    lines.push_back(format("%@ %@", Utils::rpad(localized("GROSS SALES TOTAL"), ' ', labelWidth),
                           Utils::lpad(money(gross), ' ', 12)));
    for (const auto& [name, amount] : taxes)
        lines.push_back(format("%@ %@", Utils::lpad(name, ' ', labelWidth), Utils::lpad(money(amount), ' ', 12)));
    if (gross != net) lines.push_back(Utils::lpad("--------------", ' ', width));
    lines.push_back(
        format("%@ %@", Utils::rpad(localized("NET SALES TOTAL"), ' ', labelWidth), Utils::lpad(money(net), ' ', 12)));
    lines.emplace_back("");
    lines.push_back(localized(kEndOfReport));
    return lines;
}

} // namespace tavlo
