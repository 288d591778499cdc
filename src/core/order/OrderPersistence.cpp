// Orders in the local store and from the server's order document; copies of an order.
#include "core/order/ComboSelection.h"
#include "core/order/Order.h"
#include "core/records/StoreRows.h"
#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "xml/XmlFields.h"

#include <algorithm>
#include <set>

namespace tavlo {

namespace {

using Text = std::optional<std::string>;

// Sorted by creation, oldest first; lines without a time come first.
std::vector<ManagedObjectPtr> byCreation(std::vector<ManagedObjectPtr> rows) {
    std::stable_sort(rows.begin(), rows.end(), [](const ManagedObjectPtr& a, const ManagedObjectPtr& b) {
        return a->date("created") < b->date("created");
    });
    return rows;
}

// Appends a record read from each source: a stored row or a document element.
template <typename Record, typename Sources, typename Read>
void appendRead(std::vector<std::shared_ptr<Record>>& into, const Sources& sources, Read read) {
    for (const auto& source : sources) {
        auto record = std::make_shared<Record>();
        read(*record, source);
        into.push_back(record);
    }
}

} // namespace

Order::Order(const ManagedObject& stored, ObjectContext* context) : Order(context) { read(stored); }

void Order::observe(const SelectionPtr& selection) {
    selection->setObserver([this](const ActivityLog& entry) { addLog(entry); });
}

// ---- Local store

ManagedObjectPtr Order::getOrderTax(const Text& taxName, ObjectContext& context) const {
    if (!taxName) return nullptr;
    if (orderId_) return context.fetchFirst("OrderTax", "name == %@ && order.orderId == %@", *taxName, *orderId_);
    if (remoteId_) return context.fetchFirst("OrderTax", "name == %@ && order.remoteId == %@", *taxName, *remoteId_);
    return nullptr;
}

ManagedObjectPtr Order::write(ObjectContext& context) {
    ManagedObjectPtr user = findUser(context, serverId_);
    const bool lite = Parameters::flag(Parameter::Lite, &context);

    ManagedObjectPtr row = findRow(context, "Order", "orderId", orderId_);
    // The server's id arrives after the order was first stored under ours: the same row takes it.
    if (!row) row = findRow(context, "Order", "remoteId", remoteId_);
    if (!row) {
        row = context.insert("Order");
        row->setValue("created", created_);
    }
    if (!name_ || name_->empty()) setName(std::string("_"));
    if (remoteId_) row->setValue("remoteId", *remoteId_);
    if (orderId_) row->setValue("orderId", *orderId_);
    if (!updated_) updated_ = Date::now();
    row->setValue("updateDate", *updated_);
    row->setValue("closed", closed_);

    if (!batchId_)
        if (ManagedObjectPtr open = context.fetchFirst("StoreBatch", "closedOn == nil"))
            batchId_ = open->text("remoteId");
    if (ManagedObjectPtr batch = findRow(context, "StoreBatch", "remoteId", batchId_))
        row->setToOne("storeBatch", batch);
    if (ManagedObjectPtr table = findRow(context, "AreaLocation", "areaLocationId", areaLocationId_))
        row->setToOne("areaLocation", table);
    ManagedObjectPtr customer = customerId_ ? findRow(context, "Customer", "customerId", customerId_)
                                            : findRow(context, "Customer", "remoteId", customerRemoteId_);
    if (customer) row->setToOne("customer", customer);
    if (ManagedObjectPtr terminal = findRow(context, "Terminal", "terminalId", terminalId_))
        row->setToOne("terminal", terminal);
    if (!user) TAVLO_LOG_MAIL("Unable to find user %@ for order %@", serverId_, name_);
    row->setToOne("user", user);

    row->setValue("name", name_);
    row->setValue("type", typeLabel(orderType_));
    row->setValue("seats", seats_);
    row->setValue("gratuityMinSeats", gratuityMinSeats_);
    row->setValue("gratuityPercent", gratuityPercentage_);
    row->setValue("taxOverride", taxOverride_);
    row->setValue("due", lite ? getDue() : summaryDue_);
    row->setValue("paid", lite ? getPaid() : summaryPaid_);
    row->setValue("total", lite ? getTotal() : summaryTotal_);
    row->setValue("tax", lite ? getTaxTotal() : summaryTax_);

    writeTaxes(row, context);
    writeSelections(row, context);
    for (const PaymentPtr& payment : payments_) payment->write(context)->setToOne("order", row);
    for (const DiscountPtr& discount : discounts_) {
        if (!discount->removed()) discount->write(context)->setToOne("order", row);
        else if (!discount->new_())
            if (ManagedObjectPtr stored = findRow(context, "OrderDiscount", "remoteId", discount->remoteId()))
                context.deleteObject(stored);
    }
    isNew_ = false;
    modified_ = false;
    return row;
}

// A tax line taken off the order loses its row too: read back, it would tax the order again.
void Order::writeTaxes(const ManagedObjectPtr& row, ObjectContext& context) const {
    const std::vector<ManagedObjectPtr> stored = row->toMany("orderTaxes");
    std::set<const ManagedObject*> kept;
    for (const OrderTax& tax : taxes_) {
        ManagedObjectPtr taxRow = memberWith(stored, "name", tax.name());
        if (!taxRow) {
            taxRow = context.insert("OrderTax");
            taxRow->setValue("name", tax.name());
            taxRow->setValue("taxId", tax.taxId());
        }
        taxRow->setValue("roundingMethod", tax.rounding());
        taxRow->setValue("percentage", tax.percentage());
        taxRow->setValue("beforeLoyalty", tax.beforeLoyalty());
        taxRow->setToOne("order", row);
        kept.insert(taxRow.get());
    }
    for (const ManagedObjectPtr& taxRow : stored)
        if (!kept.count(taxRow.get())) context.deleteObject(taxRow);
}

void Order::writeSelections(const ManagedObjectPtr& row, ObjectContext& context) const {
    for (const ManagedObjectPtr& stored : row->toMany("selections")) {
        Text id = stored->text("remoteId");
        const bool held = id && std::any_of(selections_.begin(), selections_.end(),
                                            [&](const SelectionPtr& s) { return s->remoteId() == id; });
        if (!held) {
            row->removeFrom("selections", stored);
            context.deleteObject(stored);
        }
    }
    // A combo's parts are written with it, also into a row already stored.
    for (const SelectionPtr& selection : selections_) selection->write(context)->setToOne("order", row);
}

void Order::read(const ManagedObject& row) {
    logs_.clear();
    batchId_ = row.text("storeBatch.remoteId");
    orderId_ = row.text("orderId");
    remoteId_ = row.text("remoteId");
    created_ = row.date("created");
    updated_ = row.date("updateDate");
    closed_ = row.date("closed");
    taxOverride_ = row.boolean("taxOverride");
    summaryTotal_ = row.int32("total");
    if (ManagedObjectPtr table = row.toOne("areaLocation")) {
        areaLocationId_ = table->text("areaLocationId");
        readLinked(*table, "area", "areaId", areaId_);
    } else if (ManagedObjectPtr area = row.toOne("terminal.area")) {
        areaId_ = area->text("areaId");
    }
    if (ManagedObjectPtr customer = row.toOne("customer")) {
        customerId_ = customer->text("customerId");
        if (!customerId_) customerRemoteId_ = customer->text("remoteId");
    }
    name_ = row.text("name");
    orderType_ = typeFromXMLLabel(row.text("type"));
    serverId_ = row.text("user.userId");
    terminalId_ = row.text("terminal.terminalId");
    seats_ = row.int32("seats");
    gratuityMinSeats_ = row.int32("gratuityMinSeats");
    gratuityPercentage_ = row.int32("gratuityPercent");

    taxes_.clear();
    for (const ManagedObjectPtr& taxRow : row.toMany("orderTaxes")) {
        OrderTax tax;
        tax.read(*taxRow);
        taxes_.push_back(std::move(tax));
    }
    for (const SelectionPtr& s : selections_) s->setObserver(nullptr);
    selections_.clear();
    for (const ManagedObjectPtr& lineRow : byCreation(row.toMany("selections"))) {
        SelectionPtr line = Selection::fromRow(*lineRow);
        observe(line);
        selections_.push_back(line);
    }
    auto fromRow = [](auto& record, const ManagedObjectPtr& source) { record.read(*source); };
    payments_.clear();
    appendRead(payments_, row.toMany("payments"), fromRow);
    discounts_.clear();
    appendRead(discounts_, row.toMany("discounts"), fromRow);
    isNew_ = false;
    modified_ = false;
}

void Order::prefetch(ObjectContext& context, const std::vector<ManagedObjectPtr>& rows) {
    // Each list read once, then what its members name.
    auto prefetch = [&](const std::vector<ManagedObjectPtr>& owners, std::initializer_list<const char*> paths) {
        for (const char* path : paths) context.prefetch(owners, path);
    };
    prefetch(rows, {"storeBatch", "areaLocation.area", "terminal.area", "customer", "user", "orderTaxes"});
    prefetch(context.prefetch(rows, "payments"), {"createdBy", "captured", "cashInOut.cashDrawer", "voidBy"});
    prefetch(context.prefetch(rows, "discounts"), {"discountBy", "authBy"});
    // Lines, with their sides and combo parts, read as lines too.
    std::vector<ManagedObjectPtr> lines = context.prefetch(rows, "selections");
    for (size_t from = 0; from < lines.size();) {
        const std::vector<ManagedObjectPtr> owners(lines.begin() + static_cast<std::ptrdiff_t>(from), lines.end());
        from = lines.size();
        for (const char* path : {"sides.sideSelection", "comboSelections.comboSelection"})
            for (ManagedObjectPtr& part : context.prefetch(owners, path)) lines.push_back(std::move(part));
        prefetch(owners, {"orderedBy", "recipe", "complimentaryBy", "taxExemptions", "defaultTaxExemptions", "taxes"});
        prefetch(context.prefetch(owners, "preparations"), {"preparation", "taxes"});
    }
}

// ---- Server XML

void Order::read(xmlNodePtr element, xmlDocPtr doc, ObjectContext* context) {
    XmlFields xml(element, doc);
    orderId_ = xml.text("orderId");
    remoteId_ = xml.attribute("remoteId");
    orderType_ = typeFromXMLLabel(xml.attribute("type"));
    name_ = xml.text("orderName");
    seats_ = xml.integer("seats");
    terminalId_ = xml.text("terminalId");
    serverId_ = xml.text("serverId");
    gratuityPercentage_ = xml.integer("gratuityPercentage");
    gratuityMinSeats_ = xml.integer("gratuityMinSeats");
    areaLocationId_ = xml.text("areaLocationId");
    areaId_ = xml.text("areaId");
    customerId_ = xml.child("customer").attribute("id");
    taxOverride_ = xml.flag("taxOverride");
    if (xml.has("closeDate")) closed_ = xml.time("closeDate");
    else closed_ = xml.flag("closed") ? std::optional<Date>(Date::now()) : std::nullopt;
    if (areaLocationId_ && context)
        if (ManagedObjectPtr table = findRow(*context, "AreaLocation", "areaLocationId", areaLocationId_))
            areaId_ = table->text("area.areaId");
    if (std::optional<Date> created = xml.positiveTime("creationDate")) created_ = created;

    for (xmlNodePtr node : xml.run("customerOrderTax")) {
        OrderTax tax;
        tax.read(node, doc, context);
        taxes_.push_back(std::move(tax));
    }
    auto fromElement = [doc](auto& record, xmlNodePtr source) { record.read(source, doc); };
    appendRead(discounts_, xml.run("discount"), fromElement);
    for (xmlNodePtr node : xml.run("selection")) {
        SelectionPtr line = Selection::fromDocument(node, doc, context);
        observe(line);
        selections_.push_back(line);
    }
    appendRead(payments_, xml.run("payment"), fromElement);
    summaryTotal_ = xml.integer("total");
    summaryPaid_ = xml.integer("paid");
    summaryDue_ = xml.integer("due");
    summaryTax_ = xml.integer("tax");
    isNew_ = false;
    modified_ = false;
}

// ---- Copies

void Order::copy(const Order& other) {
    orderId_ = other.orderId_;
    remoteId_ = other.remoteId_;
    setOrderType(other.orderType_);
    setName(other.name_);
    setSeats(other.seats_);
    terminalId_ = other.terminalId_;
    setServerId(other.serverId_);
    setGratuityPercentage(other.gratuityPercentage_);
    gratuityMinSeats_ = other.gratuityMinSeats_;
    areaLocationId_ = other.areaLocationId_;
    setCustomerId(other.customerId_);
    taxOverride_ = other.taxOverride_;
    closed_ = other.closed_;
    areaId_ = other.areaId_;
    created_ = other.created_;
    taxes_ = other.taxes_;
    discounts_ = other.activeDiscounts();
    selections_ = other.selections_;
    payments_ = other.payments_;
    isNew_ = false;
    modified_ = false;
    split_ = false;
}

std::shared_ptr<Order> Order::shallowClone() const {
    auto order = std::make_shared<Order>();
    order->areaId_ = areaId_;
    order->areaLocationId_ = areaLocationId_;
    order->batchId_ = batchId_;
    order->created_ = created_;
    order->customerId_ = customerId_;
    order->customerRemoteId_ = customerRemoteId_;
    order->gratuityMinSeats_ = gratuityMinSeats_;
    order->gratuityPercentage_ = gratuityPercentage_;
    order->name_ = name_;
    order->orderType_ = orderType_;
    order->seats_ = seats_;
    order->serverId_ = serverId_;
    order->taxOverride_ = taxOverride_;
    order->terminalId_ = terminalId_;
    for (const OrderTax& tax : taxes_) order->taxes_.push_back(tax.clone());
    order->updated_ = Date::now();
    return order;
}

std::shared_ptr<Order> Order::clone() const {
    std::shared_ptr<Order> order = shallowClone();
    order->remoteId_ = remoteId_;
    for (const DiscountPtr& discount : discounts_) order->discounts_.push_back(discount->clone());
    // The copies report to the copy: it may outlive this order.
    for (const SelectionPtr& selection : selections_) {
        SelectionPtr line = selection->clone();
        order->observe(line);
        order->selections_.push_back(line);
    }
    return order;
}

void Order::clearTempData() {
    logs_.clear();
    std::erase_if(discounts_, [](const DiscountPtr& d) { return d->removed(); });
}

} // namespace tavlo
