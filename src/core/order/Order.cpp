#include "core/order/Order.h"

#include "core/order/ComboSelection.h"
#include "core/order/Tender.h"
#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"

#include <algorithm>
#include <array>

namespace tavlo {

namespace {

struct OrderTypeLabels {
    OrderType type;
    const char* xml;
    const char* ui;
    const char* abbreviation;
};

// In the order the labels are matched.
constexpr std::array<OrderTypeLabels, 11> kOrderTypes{{
    {OrderType::PickUp, "pickUp", "Pick Up", "PU"},
    {OrderType::Catering, "catering", "Catering", "CT"},
    {OrderType::DriveThru, "driveThru", "Drive Thru", "DT"},
    {OrderType::Refund, "refund", "Refund", "RF"},
    {OrderType::Tournament, "tournament", "Tournament", "TA"},
    {OrderType::BeverageCart, "beverageCart", "Beverage Cart", "BC"},
    {OrderType::RoomService, "roomService", "Room Service", "RS"},
    {OrderType::Banquet, "banquet", "Banquet", "BQ"},
    {OrderType::DineIn, "dineIn", "Dine In", "DI"},
    {OrderType::TakeOut, "takeOut", "Take Out", "TO"},
    {OrderType::Delivery, "delivery", "Delivery", "DE"},
}};

const OrderTypeLabels* labelsOf(OrderType type) {
    for (const auto& t : kOrderTypes)
        if (t.type == type) return &t;
    return nullptr;
}

OrderType typeMatching(const std::optional<std::string>& label, std::string (*labelOf)(OrderType)) {
    if (!label) return OrderType::TakeOut;
    const std::string wanted = toLower(*label);
    for (const auto& t : kOrderTypes)
        if (toLower(labelOf(t.type)) == wanted) return t.type;
    return OrderType::TakeOut;
}

} // namespace

// ---- Creation

Order::Order() = default;

Order::Order(ObjectContext* context) {
    tipGratuityAfterTax_ = Parameters::flag(Parameter::TipGratuityAfterTax, context);
    tipGratuityBeforeCompDisc_ = Parameters::flag(Parameter::TipGratuityBeforeCompDisc, context);
}

// The lines may outlive the order (a screen may still hold one): they must not report to it then.
Order::~Order() {
    for (const auto& s : selections_) s->setObserver(nullptr);
}

// ---- Flags and header

bool Order::modified() const {
    if (modified_) return true;
    for (const auto& s : selections_)
        if (s->new_() || s->modified()) return true;
    for (const auto& p : payments_)
        if (p->isNew() || p->modified()) return true;
    return false;
}

void Order::setName(const Text& v) {
    if (v == name_) return;
    name_ = v;
    if (!isNew_) modified_ = true;
}

void Order::setCustomerId(const Text& v) {
    if (v == customerId_) return;
    customerId_ = v;
    if (!isNew_) modified_ = true;
}

void Order::setCustomerRemoteId(const Text& v) {
    if (v == customerRemoteId_) return;
    customerRemoteId_ = v;
    if (!isNew_) modified_ = true;
}

void Order::setServerId(const Text& v) {
    if (!v || v == serverId_) return;
    serverId_ = v;
    if (!isNew_) modified_ = true;
}

void Order::setOrderType(OrderType v) {
    if (v == orderType_) return;
    orderType_ = v;
    if (!isNew_) modified_ = true;
}

void Order::setSeats(int32_t v) {
    if (v == seats_) return;
    seats_ = v;
    modified_ = true;
}

void Order::setGratuitySeats(int32_t v) {
    if (v == gratuityMinSeats_) return;
    gratuityMinSeats_ = v;
    modified_ = true;
}

void Order::setGratuityPercentage(int32_t v) {
    if (v == gratuityPercentage_) return;
    gratuityPercentage_ = v;
    modified_ = true;
}

// ---- Lines

bool Order::holds(const SelectionPtr& selection) const {
    return selection && std::find(selections_.begin(), selections_.end(), selection) != selections_.end();
}

void Order::logNotPartOf(const char* verb, const Selection& selection) const {
    TAVLO_LOG_MAIL(std::string("Attempt to ") + verb + " selection %@ which is not part of order %@ (%@)",
                   selection.name(), name_, remoteId_);
}

// Ordering takes stock, voiding gives it back; a refund order turns every sign round.
void Order::changeAvailability(const Selection& selection, int32_t units, Session* session) const {
    const int32_t change = 100 * units * (orderType_ == OrderType::Refund ? -1 : 1);
    Selection::updateAvailability(selection.recipeId(), change, contextOf(session));
}

void Order::logVoid(const Selection& selection, const std::string& description, const std::string& oldValue,
                    const std::string& newValue, const Text& forcedBy, Session* session) {
    const bool combo = dynamic_cast<const ComboSelection*>(&selection) != nullptr;
    addLog(std::string(combo ? "removeComboMainSelection" : "removeMainSelection"), selection.name(), description,
           userOf(session), forcedBy, terminalOf(session), oldValue, newValue, session);
}

void Order::addSelection(const SelectionPtr& selection, Session* session) {
    if (!selection) return;
    selections_.push_back(selection);
    observe(selection);
    changeAvailability(*selection, -selection->newQuantity(), session);
    modified_ = true;
}

void Order::removeSelection(const SelectionPtr& selection, const Text& forcedBy, Session* session) {
    voidSelection(selection, forcedBy, session, true);
}

void Order::removeMovedSelection(const SelectionPtr& selection, const Text& forcedBy, Session* session) {
    voidSelection(selection, forcedBy, session, false);
}

void Order::voidSelection(const SelectionPtr& selection, const Text& forcedBy, Session* session, bool giveStockBack) {
    if (!holds(selection)) {
        if (selection) logNotPartOf("remove", *selection);
        return;
    }
    // A voided line gave its stock back already.
    if (selection->deleted()) return;
    const int32_t q = selection->quantity();
    if (q > selection->newQuantity()) {
        logVoid(*selection, "Voided", std::to_string(q), "0", forcedBy, session);
        selection->setVoidedQuantity(selection->voidedQuantity() + q - std::max(selection->newQuantity(), 0));
    }
    if (giveStockBack) changeAvailability(*selection, q, session);
    selection->setDeleted(Date::now());
    modified_ = true;
}

void Order::decrement(const SelectionPtr& selection, const Text& forcedBy, Session* session) {
    if (!holds(selection)) {
        if (selection) logNotPartOf("decrement", *selection);
        return;
    }
    if (selection->deleted()) return;
    const int32_t q = selection->quantity();
    if (selection->newQuantity() == 0) {
        logVoid(*selection, format("Quantity changed from %ld to %ld", static_cast<long>(q), static_cast<long>(q - 1)),
                std::to_string(q), std::to_string(q - 1), forcedBy, session);
        selection->setVoidedQuantity(selection->voidedQuantity() + 1);
    } else selection->setNewQuantity(selection->newQuantity() - 1);
    if (q == 1) selection->setDeleted(Date::now());
    selection->setQuantity(q - 1);
    changeAvailability(*selection, 1, session);
    modified_ = true;
}

void Order::increment(const SelectionPtr& selection, Session* session) {
    if (!holds(selection)) {
        if (selection) logNotPartOf("increment", *selection);
        return;
    }
    selection->setQuantity(selection->quantity() + 1);
    selection->setNewQuantity(selection->newQuantity() + 1);
    changeAvailability(*selection, -1, session);
    modified_ = true;
}

void Order::rollbackAvailability(ObjectContext* context) {
    for (const auto& s : activeSelections()) {
        if (!s->recipeId() || s->newQuantity() < 1) continue;
        auto recipe = DBHelper::getObject("Recipe", "recipeId == %@", *s->recipeId(), context);
        if (!recipe || recipe->isNil("available") || recipe->int32("available") < 0) continue;
        const int32_t change = 100 * s->newQuantity() * (orderType_ == OrderType::Refund ? -1 : 1);
        Selection::updateAvailability(s->recipeId(), change, context);
    }
}

std::vector<SelectionPtr> Order::activeSelections() const {
    std::vector<SelectionPtr> active;
    for (const auto& s : selections_)
        if (!s->deleted()) active.push_back(s);
    return active;
}

std::vector<SelectionPtr> Order::deletedSelections() const {
    std::vector<SelectionPtr> deleted;
    for (const auto& s : selections_)
        if (s->deleted()) deleted.push_back(s);
    return deleted;
}

bool Order::isEmpty() const {
    return std::all_of(selections_.begin(), selections_.end(), [](const SelectionPtr& s) { return s->deleted(); });
}

// ---- Tenders

void Order::addPayment(const PaymentPtr& payment) {
    if (!payment) return;
    payments_.push_back(payment);
    modified_ = true;
}

void Order::removePayment(const PaymentPtr& payment) {
    std::erase(payments_, payment);
    modified_ = true;
}

bool Order::hasNewPayments() const {
    return std::any_of(payments_.begin(), payments_.end(), [](const PaymentPtr& p) { return p->isNew(); });
}

bool Order::hasOpenTab() const {
    return std::any_of(payments_.begin(), payments_.end(),
                       [](const PaymentPtr& p) { return p->tender().authorisesOnly && !p->isVoided(); });
}

Order::PaymentPtr Order::lastPayment() const {
    PaymentPtr last;
    for (const auto& p : payments_)
        if (!last || p->created() > last->created()) last = p;
    return last;
}

// ---- Discounts

void Order::addDiscount(const DiscountPtr& discount) {
    if (!discount) return;
    discounts_.push_back(discount);
    if (!isNew_) modified_ = true;
}

void Order::removeDiscount(const DiscountPtr& discount) {
    if (!discount) return;
    discount->setRemoved(true);
    if (!isNew_) modified_ = true;
}

void Order::removeDiscounts() {
    if (discounts_.empty()) return;
    for (const auto& d : discounts_) d->setRemoved(true);
    modified_ = true;
}

std::vector<Order::DiscountPtr> Order::activeDiscounts() const {
    std::vector<DiscountPtr> active;
    for (const auto& d : discounts_)
        if (!d->removed()) active.push_back(d);
    return active;
}

// ---- Activity log

void Order::addLog(const ActivityLog& entry) {
    logs_.push_back(entry);
    modified_ = true;
}

void Order::addLog(const Text& action, const Text& name, const Text& description, const Text& byUser,
                   const Text& forcedBy, const Text& onTerminal, const Text& oldValue, const Text& newValue, Session*) {
    addLog(ActivityLog::make(action, name, description, byUser, forcedBy, onTerminal, oldValue, newValue));
}

void Order::reOpen(const Text& forcedBy, Session* session) {
    if (isOpen()) return;
    const std::string total = std::to_string(getTotal());
    addLog(std::string("reOpenOrder"), name_, std::string(), userOf(session), forcedBy, terminalOf(session), total,
           total, session);
    closed_.reset();
    modified_ = true;
}

// ---- Close rules

bool Order::needsOrderCloseReceipt(Session& session) const {
    return Parameters::flag(Parameter::PrintOrderCloseReceipt, session.managedObjectContext());
}

bool Order::needsAutoClose(Session& session) const {
    return Parameters::flag(isQuickSale() ? Parameter::QuickSaleAutoClose : Parameter::OrderAutoClose,
                            session.managedObjectContext());
}

bool Order::needsCashAutoClose(Session& session) const {
    ObjectContext* context = session.managedObjectContext();
    Text general, cash;
    if (isQuickSale()) {
        general = Parameters::text(Parameter::QuickSaleAutoClose, context);
        cash = Parameters::text(Parameter::QuickSaleCashAutoClose, context);
    } else {
        general = Parameters::text(Parameter::OrderAutoClose, context);
        cash = Parameters::text(Parameter::OrderCashAutoClose, context);
    }
    if (cash) return boolValue(cash);
    return boolValue(general);
}

// ---- Order types

std::string Order::typeLabel(OrderType type) {
    const OrderTypeLabels* t = labelsOf(type);
    return t ? t->xml : "";
}

std::string Order::typeUILabel(OrderType type) {
    const OrderTypeLabels* t = labelsOf(type);
    return t ? localized(t->ui) : "";
}

std::string Order::typeAbbreviation(OrderType type) {
    const OrderTypeLabels* t = labelsOf(type);
    return t ? localized(t->abbreviation) : "";
}

OrderType Order::typeFromXMLLabel(const Text& label) { return typeMatching(label, &Order::typeLabel); }

OrderType Order::typeFromUILabel(const Text& label) { return typeMatching(label, &Order::typeUILabel); }

} // namespace tavlo
