#include "core/session/LocalStoreModel.h"

#include "platform/foundation/Text.h"
#include "platform/store/ManagedObject.h"

#include <initializer_list>

namespace tavlo {

namespace {

using T = AttributeType;
using Names = std::initializer_list<const char*>;

// Rows are found by name, by their server id ("...Id" texts) and by their terminal-made id.
bool isLookupKey(std::string_view name, AttributeType type) {
    return name == "name" || name == "remoteId" || (type == T::Text && endsWith(name, "Id"));
}

void attributes(EntityDescription& e, AttributeType type, Names names) {
    for (const char* n : names)
        e.attribute(n, type, isLookupKey(n, type) ? EntityDescription::Indexed::Yes : EntityDescription::Indexed::No);
}

// Further attributes that predicates look rows up by.
void indexed(EntityDescription& e, AttributeType type, Names names) {
    for (const char* n : names) e.attribute(n, type, EntityDescription::Indexed::Yes);
}

// A to-one `link` on `from` whose inverse is the to-many `back` on `to`; deleting either side
// clears the link.
void link(Model& m, const char* from, const char* link, const char* to, const char* back) {
    m.entity(from).toOne(link, to, back);
    m.entity(to).toMany(back, from, link);
}

// `owner` owns the rows of its to-many `rows`: deleting the owner deletes them.
void owns(Model& m, const char* owner, const char* rows, const char* owned, const char* back) {
    m.entity(owner).toMany(rows, owned, back, DeleteRule::Cascade);
    m.entity(owned).toOne(back, owner, rows);
}

void manyToMany(Model& m, const char* a, const char* aName, const char* b, const char* bName) {
    m.entity(a).toMany(aName, b, bName);
    m.entity(b).toMany(bName, a, aName);
}

// A tax amount row of a catalogue row: `Tax<Owner>` with an amount, linked to its owner's
// `taxes` and to the `Tax`.
void taxAmounts(Model& m, const char* entity, const char* owner, const char* ownerLink, const char* taxBack) {
    attributes(m.entity(entity), T::Int32, {"amount"});
    link(m, entity, ownerLink, owner, "taxes");
    link(m, entity, "tax", "Tax", taxBack);
}

void configuration(Model& m) {
    attributes(m.entity("StoreParam"), T::Text, {"name", "value"});
    indexed(m.entity("OrderType"), T::Int32, {"type"});
    indexed(m.entity("PaymentType"), T::Int32, {"type"});

    EntityDescription& batch = m.entity("StoreBatch");
    attributes(batch, T::Text, {"remoteId"});
    indexed(batch, T::Date, {"openedOn", "closedOn"});
    attributes(batch, T::Date, {"synchedOn"});
    attributes(batch, T::Int32, {"salesNet", "salesGross"});
    link(m, "StoreBatch", "openedBy", "User", "storeBatchesOpened");
    link(m, "StoreBatch", "openedFrom", "Terminal", "storeBatchesOpened");
    link(m, "StoreBatch", "closedBy", "User", "storeBatchesClosed");
    link(m, "StoreBatch", "closedFrom", "Terminal", "storeBatchesClosed");

    EntityDescription& shape = m.entity("AreaShape");
    attributes(shape, T::Text, {"areaShapeId", "type"});
    attributes(shape, T::Int32, {"x", "y", "width", "height", "strokeColor", "fillColor"});
    attributes(shape, T::Boolean, {"disabled"});

    EntityDescription& location = m.entity("AreaLocation");
    attributes(location, T::Text, {"areaLocationId", "name", "shortName", "sortType"});
    attributes(location, T::Int32, {"seats", "x", "y"});
    attributes(location, T::Boolean, {"disabled"});
    attributes(location, T::Double, {"sortNumber"});
    link(m, "AreaLocation", "areaShape", "AreaShape", "areaLocations");

    EntityDescription& area = m.entity("Area");
    attributes(area, T::Text, {"areaId", "name"});
    attributes(area, T::Int32, {"fillColor"});
    attributes(area, T::Boolean, {"disabled"});
    link(m, "AreaLocation", "area", "Area", "areaLocations");

    EntityDescription& comp = m.entity("Complimentary");
    attributes(comp, T::Text, {"complimentaryId", "name"});
    attributes(comp, T::Int32, {"percentage"});
    attributes(comp, T::Boolean, {"permissionNeeded", "disabled"});

    attributes(m.entity("CashDrawer"), T::Text, {"cashDrawerId", "name"});

    EntityDescription& terminal = m.entity("Terminal");
    attributes(terminal, T::Text, {"terminalId", "name", "number", "command", "networkName"});
    attributes(terminal, T::Boolean, {"sendLog", "sendAllLogs", "disabled"});
    link(m, "Terminal", "area", "Area", "terminals");
    link(m, "Terminal", "areaDisplayed", "Area", "terminalsDisplaying");

    // The device finds its terminal by the value of its TS_UID row; a terminal's value for a name
    // is found terminal first (no index on the name alone, so the planner never walks every
    // terminal's row of that name).
    EntityDescription& terminalParam = m.entity("TerminalParam");
    terminalParam.attribute("name", T::Text);
    indexed(terminalParam, T::Text, {"value"});
    link(m, "TerminalParam", "terminal", "Terminal", "terminalParams");
    terminalParam.compoundIndex({"terminal", "name"});

    indexed(m.entity("TerminalCashDrawer"), T::Text, {"url"});
    link(m, "TerminalCashDrawer", "terminal", "Terminal", "cashDrawers");
    link(m, "TerminalCashDrawer", "cashDrawer", "CashDrawer", "terminalCashDrawers");

    EntityDescription& printer = m.entity("Printer");
    attributes(printer, T::Text, {"printerId", "name", "type", "url"});
    attributes(printer, T::Int32, {"leadLines", "trailLines"});
    attributes(printer, T::Boolean, {"changesOnly", "handheldAccessible", "disabled"});
    manyToMany(m, "Printer", "recipes", "Recipe", "printers");

    attributes(m.entity("Permission"), T::Text, {"permissionId", "name"});

    EntityDescription& role = m.entity("Role");
    attributes(role, T::Text, {"roleId", "name"});
    attributes(role, T::Boolean, {"jobTitle"});
    manyToMany(m, "Role", "permissions", "Permission", "roles");
    manyToMany(m, "Role", "users", "User", "roles");

    // Sign-in finds the user by number or by card data.
    EntityDescription& user = m.entity("User");
    attributes(user, T::Text, {"userId", "name", "emailAddress"});
    indexed(user, T::Text, {"number", "trackData"});
    attributes(user, T::Boolean, {"disabled"});
    manyToMany(m, "User", "permissions", "Permission", "users");

    EntityDescription& tax = m.entity("Tax");
    attributes(tax, T::Text, {"taxId", "name", "roundingMethod"});
    attributes(tax, T::Int32, {"percentage"});
    attributes(tax, T::Boolean, {"beforeLoyalty", "disabled"});

    EntityDescription& rule = m.entity("Rule");
    attributes(rule, T::Text, {"ruleId", "name"});
    indexed(rule, T::Text, {"type"});
    attributes(rule, T::Boolean, {"disabled"});
    attributes(m.entity("RuleParam"), T::Text, {"name", "value"});
    link(m, "RuleParam", "rule", "Rule", "ruleParams");
}

void catalogue(Model& m) {
    EntityDescription& recipeGroup = m.entity("RecipeGroup");
    attributes(recipeGroup, T::Text, {"recipeGroupId", "name"});
    attributes(recipeGroup, T::Boolean, {"disabled"});

    EntityDescription& preparation = m.entity("Preparation");
    attributes(preparation, T::Text, {"preparationId", "name", "announce"});
    attributes(preparation, T::Int32, {"price"});
    attributes(preparation, T::Boolean, {"disabled"});
    taxAmounts(m, "TaxPreparation", "Preparation", "preparation", "taxPreparations");

    EntityDescription& group = m.entity("PreparationGroup");
    attributes(group, T::Text, {"preparationGroupId", "name"});
    attributes(group, T::Int32, {"minimum", "maximum"});
    attributes(group, T::Boolean, {"storeWide"});
    attributes(m.entity("PreparationGroupPreparation"), T::Int32, {"sequence"});
    link(m, "PreparationGroupPreparation", "preparation", "Preparation", "preparationGroupPreparations");
    link(m, "PreparationGroupPreparation", "preparationGroup", "PreparationGroup", "preparationGroupPreparations");

    // `available` stays nil for a recipe whose portions are not counted.
    EntityDescription& recipe = m.entity("Recipe");
    attributes(recipe, T::Text, {"recipeId", "name", "announce", "descript"});
    attributes(recipe, T::Int32, {"available"});
    attributes(recipe, T::Boolean, {"disabled"});
    link(m, "Recipe", "recipeGroup", "RecipeGroup", "recipes");
    EntityDescription& recipeGroupLink = m.entity("RecipePreparationGroup");
    attributes(recipeGroupLink, T::Int32, {"sequence"});
    attributes(recipeGroupLink, T::Boolean, {"required"});
    link(m, "RecipePreparationGroup", "recipe", "Recipe", "recipePreparationGroups");
    link(m, "RecipePreparationGroup", "preparationGroup", "PreparationGroup", "recipePreparationGroups");

    EntityDescription& item = m.entity("Item");
    attributes(item, T::Text, {"itemId", "name"});
    attributes(item, T::Int32, {"price", "sideCount", "sequence", "shortcut"});
    attributes(item, T::Boolean, {"isCombo", "promptForPrice", "promptForQuantity", "timeBased", "disabled"});
    link(m, "Item", "recipe", "Recipe", "items");
    link(m, "Item", "menu", "Menu", "items");
    link(m, "Item", "section", "Section", "items");
    manyToMany(m, "Item", "taxExemptions", "Tax", "exemptItems");
    manyToMany(m, "Item", "defaultSides", "Side", "defaultOfItems");
    manyToMany(m, "Item", "items", "Item", "combos"); // a combo item's parts
    taxAmounts(m, "TaxItem", "Item", "item", "taxItems");

    attributes(m.entity("ItemPreparation"), T::Int32, {"charge"});
    link(m, "ItemPreparation", "item", "Item", "itemPreparations");
    link(m, "ItemPreparation", "preparation", "Preparation", "itemPreparations");
    taxAmounts(m, "TaxItemPreparation", "ItemPreparation", "itemPreparation", "taxItemPreparations");

    EntityDescription& side = m.entity("Side");
    attributes(side, T::Text, {"sideId"});
    attributes(side, T::Int32, {"price", "additionPrice", "sequence"});
    link(m, "Side", "recipe", "Recipe", "sides");
    link(m, "Side", "menu", "Menu", "sides");
    taxAmounts(m, "TaxSide", "Side", "side", "taxSides");
    attributes(m.entity("TaxSide"), T::Int32, {"amountAddition"});

    attributes(m.entity("ComboGroup"), T::Text, {"comboGroupId", "name"});
    attributes(m.entity("ComboGroupItem"), T::Int32, {"sequence", "additionPrice"});
    link(m, "ComboGroupItem", "comboGroup", "ComboGroup", "comboGroupItems");
    link(m, "ComboGroupItem", "item", "Item", "comboGroupItems");
    taxAmounts(m, "TaxComboGroupItem", "ComboGroupItem", "comboGroupItem", "taxComboGroupItems");
    attributes(m.entity("ItemComboGroup"), T::Int32, {"count", "sequence"});
    link(m, "ItemComboGroup", "item", "Item", "itemComboGroups");
    link(m, "ItemComboGroup", "comboGroup", "ComboGroup", "itemComboGroups");

    attributes(m.entity("SectionPreparation"), T::Int32, {"charge"});
    link(m, "SectionPreparation", "section", "Section", "sectionPreparations");
    link(m, "SectionPreparation", "preparation", "Preparation", "sectionPreparations");
    taxAmounts(m, "TaxSectionPreparation", "SectionPreparation", "sectionPreparation", "taxSectionPreparations");

    attributes(m.entity("MenuPreparation"), T::Int32, {"charge"});
    link(m, "MenuPreparation", "menu", "Menu", "menuPreparations");
    link(m, "MenuPreparation", "preparation", "Preparation", "menuPreparations");
    taxAmounts(m, "TaxMenuPreparation", "MenuPreparation", "menuPreparation", "taxMenuPreparations");
}

void menus(Model& m) {
    EntityDescription& section = m.entity("Section");
    attributes(section, T::Text, {"sectionId", "name"});
    indexed(section, T::Int32, {"sequence"});
    link(m, "Section", "menu", "Menu", "sections");
    link(m, "Section", "parentSection", "Section", "sections"); // sub-sections

    // Daily times count by hour, minute and second only.
    EntityDescription& schedule = m.entity("Schedule");
    attributes(schedule, T::Text, {"scheduleId", "daysOfWeek"});
    attributes(schedule, T::Date, {"startDate", "endDate", "startDailyTime", "endDailyTime"});
    attributes(schedule, T::Boolean, {"disabled"});

    EntityDescription& menu = m.entity("Menu");
    attributes(menu, T::Text, {"menuId", "name"});
    attributes(menu, T::Boolean, {"disabled"});
    indexed(menu, T::Int32, {"sequence"});
    manyToMany(m, "Menu", "schedules", "Schedule", "menus");
    manyToMany(m, "Menu", "areas", "Area", "menus");
}

void orders(Model& m) {
    EntityDescription& order = m.entity("Order");
    attributes(order, T::Text, {"orderId", "remoteId", "name", "type"});
    attributes(order, T::Date, {"created", "updateDate"});
    indexed(order, T::Date, {"closed"});
    attributes(order, T::Int32, {"seats", "gratuityMinSeats", "gratuityPercent", "due", "paid", "total", "tax"});
    attributes(order, T::Boolean, {"taxOverride"});
    link(m, "Order", "storeBatch", "StoreBatch", "orders");
    link(m, "Order", "areaLocation", "AreaLocation", "orders");
    link(m, "Order", "customer", "Customer", "orders");
    link(m, "Order", "terminal", "Terminal", "orders");
    link(m, "Order", "user", "User", "orders");
    owns(m, "Order", "orderTaxes", "OrderTax", "order");
    owns(m, "Order", "selections", "Selection", "order");
    owns(m, "Order", "payments", "Payment", "order");
    owns(m, "Order", "discounts", "OrderDiscount", "order");

    EntityDescription& orderTax = m.entity("OrderTax");
    attributes(orderTax, T::Text, {"name", "taxId", "roundingMethod"});
    attributes(orderTax, T::Int32, {"percentage"});
    attributes(orderTax, T::Boolean, {"beforeLoyalty"});

    EntityDescription& discount = m.entity("OrderDiscount");
    attributes(discount, T::Text, {"remoteId", "name"});
    attributes(discount, T::Int32, {"amount"});
    link(m, "OrderDiscount", "discountBy", "User", "discountsGiven");
    link(m, "OrderDiscount", "authBy", "User", "discountsAuthorized");

    EntityDescription& payment = m.entity("Payment");
    attributes(
        payment, T::Text,
        {"remoteId", "paymentId", "name", "transactionId", "cardType", "number", "approval", "hostData", "message"});
    attributes(payment, T::Date, {"created", "updateDate", "voided"});
    attributes(payment, T::Int32, {"type", "subTotal", "tip", "gratuity", "change"});
    link(m, "Payment", "createdBy", "User", "paymentsCreated");
    link(m, "Payment", "voidBy", "User", "paymentsVoided");
    link(m, "Payment", "cashInOut", "CashInOut", "payments");
    // The signature image goes with its payment.
    m.entity("Payment").toOne("captured", "Captured", "payment", DeleteRule::Cascade);
    m.entity("Captured").toOne("payment", "Payment", "captured");
    attributes(m.entity("Captured"), T::Binary, {"image"});
    attributes(m.entity("Captured"), T::Text, {"mimeType"});
}

void selections(Model& m) {
    EntityDescription& s = m.entity("Selection");
    attributes(s, T::Text, {"remoteId", "name", "menuId", "comment", "complimentaryName", "complimentaryDescription"});
    attributes(s, T::Date, {"created", "updateDate", "deleteDate"});
    attributes(s, T::Int32,
               {"seat", "course", "multiplier", "price", "additionPrice", "quantity", "includedSides",
                "defaultSideCount", "complimentaryPercentage"});
    attributes(s, T::Boolean, {"taxIncluded", "isCombo"});
    link(m, "Selection", "recipe", "Recipe", "selections");
    link(m, "Selection", "orderedBy", "User", "selectionsOrdered");
    link(m, "Selection", "complimentaryBy", "User", "selectionsComped");
    owns(m, "Selection", "preparations", "SelectionPreparation", "selection");
    owns(m, "Selection", "taxExemptions", "SelectionTaxExemption", "selection");
    owns(m, "Selection", "defaultTaxExemptions", "SelectionDefaultTaxExemption", "selection");
    owns(m, "Selection", "sides", "SelectionSide", "mainSelection");
    owns(m, "Selection", "taxes", "SelectionTax", "selection");
    owns(m, "Selection", "comboSelections", "SelectionComboSelection", "mainSelection");

    // A side's and a combo part's own Selection rows belong to the line that links them: they go
    // with the link, so a deleted order leaves none of its rows behind.
    attributes(m.entity("SelectionSide"), T::Int32, {"charge"});
    m.entity("SelectionSide").toOne("sideSelection", "Selection", "sideLinks", DeleteRule::Cascade);
    m.entity("Selection").toMany("sideLinks", "SelectionSide", "sideSelection");
    attributes(m.entity("SelectionComboSelection"), T::Text, {"groupId"});
    m.entity("SelectionComboSelection").toOne("comboSelection", "Selection", "comboLinks", DeleteRule::Cascade);
    m.entity("Selection").toMany("comboLinks", "SelectionComboSelection", "comboSelection");

    attributes(m.entity("SelectionPreparation"), T::Int32, {"charge"});
    link(m, "SelectionPreparation", "preparation", "Preparation", "selectionPreparations");
    owns(m, "SelectionPreparation", "taxes", "SelectionPreparationTax", "selectionPreparation");
    attributes(m.entity("SelectionPreparationTax"), T::Text, {"taxName"});
    attributes(m.entity("SelectionPreparationTax"), T::Int32, {"amount"});
    attributes(m.entity("SelectionTax"), T::Text, {"taxName"});
    attributes(m.entity("SelectionTax"), T::Int32, {"amount", "amountAddition"});
    attributes(m.entity("SelectionTaxExemption"), T::Text, {"taxName"});
    attributes(m.entity("SelectionDefaultTaxExemption"), T::Text, {"taxName"});
}

void dayRecords(Model& m) {
    EntityDescription& attendance = m.entity("Attendance");
    attributes(attendance, T::Text, {"attendanceId", "remoteId", "startNote", "endNote"});
    attributes(attendance, T::Date, {"created", "updated", "start", "startReconciled"});
    indexed(attendance, T::Date, {"end", "endReconciled"});
    attributes(attendance, T::Int32, {"hourlyWage", "grossSales", "tax", "tipsCash", "tipsNonCash", "tipOut"});
    link(m, "Attendance", "user", "User", "attendances");
    link(m, "Attendance", "startForcedBy", "User", "attendancesStartForced");
    link(m, "Attendance", "startReconciledBy", "User", "attendancesStartReconciled");
    link(m, "Attendance", "endReconciledBy", "User", "attendancesEndReconciled");
    link(m, "Attendance", "role", "Role", "attendances");

    EntityDescription& customer = m.entity("Customer");
    attributes(customer, T::Text, {"remoteId", "customerId", "firstName",  "middleInitial", "lastName",   "company",
                                   "mobile",   "phone",      "email",      "note",          "message",    "cardNumber",
                                   "track1",   "track2",     "track3",     "facebookUser",  "facebookId", "street",
                                   "city",     "state",      "postalCode", "directions"});
    attributes(customer, T::Int32, {"paymentTerms"});
    attributes(customer, T::Date, {"dob", "disabled", "created", "localCreated", "localUpdated"});
    indexed(customer, T::Date, {"updateDate"});

    // The two counts of a drawer record are rows of one entity: a cash-in count links back through
    // `cashInOut`, a cash-out count through `cashOutOf`.
    EntityDescription& cash = m.entity("CashInOut");
    attributes(cash, T::Text, {"cashInOutId"});
    attributes(cash, T::Boolean, {"paymentsByOrderCreator"});
    indexed(cash, T::Date, {"inDate", "outDate"});
    attributes(cash, T::Int32, {"inAmount", "outCounts", "outAmount", "outAmountCalculated"});
    link(m, "CashInOut", "storeBatch", "StoreBatch", "cashInOuts");
    link(m, "CashInOut", "cashDrawer", "CashDrawer", "cashInOuts");
    link(m, "CashInOut", "inBy", "User", "cashInsBy");
    link(m, "CashInOut", "inForcedBy", "User", "cashInsForced");
    link(m, "CashInOut", "outBy", "User", "cashOutsBy");
    link(m, "CashInOut", "outForcedBy", "User", "cashOutsForced");
    link(m, "CashInOut", "inTerminal", "Terminal", "cashIns");
    link(m, "CashInOut", "outTerminal", "Terminal", "cashOuts");
    owns(m, "CashInOut", "inBreakDown", "CashAmount", "cashInOut");
    owns(m, "CashInOut", "outBreakDown", "CashAmount", "cashOutOf");
    attributes(m.entity("CashAmount"), T::Text, {"denomination"});
    attributes(m.entity("CashAmount"), T::Int32, {"amount"});

    EntityDescription& queue = m.entity("OrderQueue");
    attributes(queue, T::Text, {"userId", "remoteId", "request", "response"});
    indexed(queue, T::Text, {"type"});
    indexed(queue, T::Date, {"created", "sentDate"});
    attributes(queue, T::Int32, {"failures"});
    attributes(queue, T::Date, {"latestAttempt"});
}

void cardBatches(Model& m) {
    EntityDescription& host = m.entity("Host");
    attributes(host, T::Text, {"name", "merchantId", "terminalId"});
    attributes(host, T::Int32, {"lastBatchId", "lastTransactionId"});
    attributes(host, T::Date, {"created"});

    EntityDescription& batch = m.entity("Batch");
    indexed(batch, T::Int32, {"batchId"});
    attributes(batch, T::Date, {"created", "updateDate", "settled"});
    link(m, "Batch", "host", "Host", "batches");

    EntityDescription& transaction = m.entity("Transaction");
    indexed(transaction, T::Int32, {"transactionId"});
    attributes(transaction, T::Date, {"created", "updateDate", "adjusted", "voided"});
    attributes(transaction, T::Text, {"approval", "number"});
    attributes(transaction, T::Int32, {"subTotal", "tip", "tax"});
    attributes(transaction, T::Boolean, {"offline"});
    link(m, "Transaction", "batch", "Batch", "transactions");

    // A gateway reference is found by field name and value.
    attributes(m.entity("TransactionField"), T::Text, {"name"});
    indexed(m.entity("TransactionField"), T::Text, {"value"});
    link(m, "TransactionField", "transaction", "Transaction", "transactionFields");

    // A card request written down before it is sent and removed in the save that stores its
    // answer: a row left over is a charge whose answer never came.
    EntityDescription& attempt = m.entity("CardAttempt");
    indexed(attempt, T::Int32, {"invoice"});
    indexed(attempt, T::Text, {"orderId"});
    attributes(attempt, T::Text, {"kind", "hostName", "merchantId", "terminalId"});
    attributes(attempt, T::Int32, {"amount", "batchId"});
    attributes(attempt, T::Date, {"created"});
}

} // namespace

Model LocalStoreModel::build() {
    Model m;
    configuration(m);
    catalogue(m);
    menus(m);
    orders(m);
    selections(m);
    dayRecords(m);
    cardBatches(m);
    m.finalize();
    return m;
}

bool LocalStoreModel::storesWholeSeconds(std::string_view entity, std::string_view attribute) {
    return (entity == "CashInOut" && attribute == "inDate") || (entity == "StoreBatch" && attribute == "openedOn");
}

void LocalStoreModel::setDate(ManagedObject& row, std::string_view attribute, std::optional<Date> date) {
    if (date && storesWholeSeconds(row.entityName(), attribute)) date = date->wholeSecondsDate();
    row.setValue(attribute, date);
}

} // namespace tavlo
