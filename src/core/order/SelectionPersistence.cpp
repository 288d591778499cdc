// Order lines in the local store and from the server's order document, and their copies.
#include "core/order/ComboSelection.h"
#include "core/records/StoreRows.h"
#include "core/util/TavloLog.h"
#include "platform/store/ObjectContext.h"
#include "xml/XmlFields.h"
#include "xml/XmlHelper.h"

#include <algorithm>
#include <set>

namespace tavlo {

namespace {

using Text = std::optional<std::string>;

bool listed(const std::vector<std::string>& names, const Text& name) {
    return name && std::find(names.begin(), names.end(), *name) != names.end();
}

// The line's preparations as link rows to the store's preparations, each with its charge and
// fixed taxes; links of preparations no longer chosen go.
void writePreparations(const Selection& line, const ManagedObjectPtr& row, ObjectContext& context) {
    const std::vector<ManagedObjectPtr> links = row->toMany("preparations");
    std::vector<std::string> kept;
    for (const Preparation& p : line.selectedPreparations()) {
        ManagedObjectPtr link = memberWith(links, "preparation.preparationId", p.preparationId());
        if (!link) {
            ManagedObjectPtr preparation = findRow(context, "Preparation", "preparationId", p.preparationId());
            if (!preparation) {
                TAVLO_LOG_MAIL("Unable to find preparation %@ for selection %@. Preparation may not be part of a "
                               "group any more.",
                               p.preparationId(), line.name());
                continue;
            }
            link = context.insert("SelectionPreparation");
            link->setToOne("preparation", preparation);
            row->addTo("preparations", link);
        }
        kept.push_back(*p.preparationId());
        link->setValue("charge", p.charge());
        const std::vector<ManagedObjectPtr> taxes = link->toMany("taxes");
        for (const auto& [name, amount] : p.predefinedTaxes()) {
            ManagedObjectPtr tax = memberWith(taxes, "taxName", name);
            if (!tax) {
                tax = context.insert("SelectionPreparationTax");
                tax->setValue("taxName", name);
                link->addTo("taxes", tax);
            }
            tax->setValue("amount", amount);
        }
        for (const ManagedObjectPtr& tax : taxes) {
            Text name = tax->text("taxName");
            if (!name || !p.predefinedTaxes().has(*name)) {
                link->removeFrom("taxes", tax);
                context.deleteObject(tax);
            }
        }
    }
    for (const ManagedObjectPtr& link : links)
        if (!listed(kept, link->text("preparation.preparationId"))) {
            row->removeFrom("preparations", link);
            context.deleteObject(link);
        }
}

// One row of `entity` per exemption name; rows of names no longer listed go.
void writeTaxExemptions(const std::vector<std::string>& names, const char* relation, const char* entity,
                        const ManagedObjectPtr& row, ObjectContext& context) {
    std::vector<ManagedObjectPtr> members = row->toMany(relation);
    for (const std::string& name : names) {
        if (memberWith(members, "taxName", name)) continue;
        ManagedObjectPtr exemption = context.insert(entity);
        exemption->setValue("taxName", name);
        row->addTo(relation, exemption);
        members.push_back(exemption);
    }
    for (const ManagedObjectPtr& m : members)
        if (!listed(names, m->text("taxName"))) {
            row->removeFrom(relation, m);
            context.deleteObject(m);
        }
}

// Each side in its own row, linked with the charge it adds to the line. A linked side's row is
// written again each time: its quantity and charge change while the line is open. A dropped
// side loses its link; its own row stays.
void writeSides(const Selection& line, const ManagedObjectPtr& row, ObjectContext& context) {
    const std::vector<ManagedObjectPtr> links = row->toMany("sides");
    std::set<const ManagedObject*> kept;
    for (const SelectionPtr& side : line.selectedSides()) {
        ManagedObjectPtr link = memberWith(links, "sideSelection.remoteId", side->remoteId());
        if (link) {
            side->write(link->toOne("sideSelection"), context);
        } else {
            ManagedObjectPtr sideRow = side->write(context);
            link = context.insert("SelectionSide");
            link->setToOne("sideSelection", sideRow);
            row->addTo("sides", link);
        }
        link->setValue("charge", line.getSideCharge(*side));
        kept.insert(link.get());
    }
    for (const ManagedObjectPtr& link : links)
        if (!kept.count(link.get())) dropLink(context, link, "sideSelection", false);
}

// One `SelectionTax` row per tax name of either map, with the amounts of both (nil where a map
// has none); rows of names in neither go.
void writePredefinedTaxes(const Selection& line, const ManagedObjectPtr& row, ObjectContext& context) {
    std::vector<ManagedObjectPtr> members = row->toMany("taxes");
    std::vector<std::string> names;
    for (const TaxAmounts* map : {&line.predefinedTaxes(), &line.additionPredefinedTaxes()})
        for (const auto& entry : *map)
            if (!listed(names, entry.first)) names.push_back(entry.first);
    for (const std::string& name : names) {
        ManagedObjectPtr tax = memberWith(members, "taxName", name);
        if (!tax) {
            tax = context.insert("SelectionTax");
            tax->setValue("taxName", name);
            row->addTo("taxes", tax);
            members.push_back(tax);
        }
        // Amounts follow the line: a row that kept an old amount would tax the line wrongly
        // once read back.
        tax->setValue("amount", line.predefinedTaxes().entry(name));
        tax->setValue("amountAddition", line.additionPredefinedTaxes().entry(name));
    }
    for (const ManagedObjectPtr& m : members)
        if (!listed(names, m->text("taxName"))) {
            row->removeFrom("taxes", m);
            context.deleteObject(m);
        }
}

} // namespace

// ---- Selection

ManagedObjectPtr Selection::write(ObjectContext& context) {
    // A line without an id is new to the store: it never takes over another line's row.
    ManagedObjectPtr row = findRow(context, "Selection", "remoteId", remoteId_);
    if (!row) {
        row = context.insert("Selection");
        row->setValue("remoteId", remoteId_);
        row->setValue("name", name_);
        row->setValue("created", created_);
        if (ManagedObjectPtr recipe = findRow(context, "Recipe", "recipeId", recipeId_))
            row->setToOne("recipe", recipe);
    }
    return write(row, context);
}

ManagedObjectPtr Selection::write(const ManagedObjectPtr& row, ObjectContext& context) {
    row->setValue("updateDate", Date::now());
    if (deleted_) row->setValue("deleteDate", *deleted_);
    row->setToOne("orderedBy", findUser(context, orderedBy_));
    row->setValue("menuId", menuId_);
    row->setValue("seat", seat_);
    row->setValue("course", course_);
    row->setValue("multiplier", multiplier_);
    row->setValue("price", price_);
    row->setValue("additionPrice", additionPrice_);
    row->setValue("quantity", quantity_);
    row->setValue("includedSides", includedSides_);
    row->setValue("defaultSideCount", defaultSideCount_);
    row->setValue("comment", comment_);
    row->setValue("taxIncluded", taxIncluded_);
    const bool comped = compBy_.has_value();
    row->setValue("complimentaryName", comped ? compName_ : std::nullopt);
    row->setValue("complimentaryDescription", comped ? compDescription_ : std::nullopt);
    row->setValue("complimentaryPercentage", comped ? Value(compPercent_) : Value());
    row->setToOne("complimentaryBy", comped ? findUser(context, compBy_) : nullptr);
    writePreparations(*this, row, context);
    writeTaxExemptions(taxExemptions_, "taxExemptions", "SelectionTaxExemption", row, context);
    writeTaxExemptions(defaultTaxExemptions_, "defaultTaxExemptions", "SelectionDefaultTaxExemption", row, context);
    writeSides(*this, row, context);
    writePredefinedTaxes(*this, row, context);
    newQuantity_ = 0;
    voidedQuantity_ = 0;
    modified_ = false;
    isNew_ = false;
    return row;
}

void Selection::read(const ManagedObject& row) {
    remoteId_ = row.text("remoteId");
    name_ = row.text("name");
    menuId_ = row.text("menuId");
    seat_ = row.int32("seat");
    course_ = row.int32("course");
    multiplier_ = row.int32("multiplier");
    price_ = row.int32("price");
    additionPrice_ = row.int32("additionPrice");
    quantity_ = row.int32("quantity");
    includedSides_ = row.int32("includedSides");
    defaultSideCount_ = row.int32("defaultSideCount");
    orderedBy_ = row.text("orderedBy.userId");
    created_ = row.date("created");
    deleted_ = row.date("deleteDate");
    taxIncluded_ = row.boolean("taxIncluded");
    if (Text comment = row.text("comment")) comment_ = comment;
    readLinked(row, "recipe", "recipeId", recipeId_);
    if (ManagedObjectPtr by = row.toOne("complimentaryBy")) {
        compName_ = row.text("complimentaryName");
        compDescription_ = row.text("complimentaryDescription");
        compBy_ = by->text("userId");
        compPercent_ = row.int32("complimentaryPercentage");
    }
    for (const ManagedObjectPtr& link : row.toMany("preparations")) {
        Preparation p;
        p.read(*link);
        selectedPreparations_.push_back(std::move(p));
    }
    for (const ManagedObjectPtr& m : row.toMany("taxExemptions"))
        if (Text name = m->text("taxName")) taxExemptions_.push_back(*name);
    for (const ManagedObjectPtr& m : row.toMany("defaultTaxExemptions"))
        if (Text name = m->text("taxName")) defaultTaxExemptions_.push_back(*name);
    for (const ManagedObjectPtr& tax : row.toMany("taxes")) {
        Text name = tax->text("taxName");
        if (!name) continue;
        if (!tax->isNil("amount")) predefinedTaxes_.set(*name, tax->int32("amount"));
        if (!tax->isNil("amountAddition")) additionPredefinedTaxes_.set(*name, tax->int32("amountAddition"));
    }
    for (const ManagedObjectPtr& link : row.toMany("sides"))
        if (ManagedObjectPtr sideRow = link->toOne("sideSelection")) {
            auto side = std::make_shared<Selection>();
            side->read(*sideRow);
            selectedSides_.push_back(side);
        }
    isNew_ = false;
    modified_ = false;
}

void Selection::read(xmlNodePtr element, xmlDocPtr doc, ObjectContext* context) {
    XmlFields xml(element, doc);
    remoteId_ = xml.attribute("remoteId");
    if (std::optional<Date> created = xml.positiveTime("creationDate")) created_ = created;
    name_ = xml.text("selectionName");
    comment_ = xml.text("comment");
    menuId_ = xml.text("menuId");
    recipeId_ = xml.text("recipeId");
    referenceId_ = xml.text("refId");
    orderedBy_ = xml.text("orderedBy");
    seat_ = xml.integer("seat");
    course_ = xml.integer("course");
    price_ = xml.integer("price");
    additionPrice_ = xml.integer("additionPrice");
    includedSides_ = xml.integer("sideCount");
    quantity_ = xml.integer("quantity");
    multiplier_ = xml.integer("multiplier");
    taxIncluded_ = xml.flag("taxIncluded");
    if (xml.has("comp")) {
        XmlFields comp = xml.child("comp");
        compName_ = comp.text("compName");
        compBy_ = comp.text("compBy");
        compPercent_ = comp.integer("compPercentage");
    }
    selectedPreparations_.clear();
    selectedSides_.clear();
    taxExemptions_.clear();
    defaultTaxExemptions_.clear();
    predefinedTaxes_.clear();
    additionPredefinedTaxes_.clear();
    for (xmlNodePtr node : xml.run("preparation")) {
        Preparation p;
        p.read(node, doc);
        addPreparation(p);
    }
    defaultSideCount_ = static_cast<int32_t>(xml.run("defaultSideRecipeId").size());
    for (xmlNodePtr node : xml.run("side"))
        if (xmlNodePtr sideElement = XmlHelper::getFirstChildNode(node, "selection")) {
            auto side = std::make_shared<Selection>();
            side->read(sideElement, doc, context);
            addSide(side);
        }
    taxExemptions_ = xml.runTexts("exemptionTax");
    defaultTaxExemptions_ = xml.runTexts("defaultExemptionTax");
    predefinedTaxes_.read(xml, "taxAmount");
    additionPredefinedTaxes_.read(xml, "additionTaxAmount");
    isNew_ = false;
    modified_ = false;
}

SelectionPtr Selection::fromRow(const ManagedObject& row) {
    SelectionPtr line = row.boolean("isCombo") ? std::make_shared<ComboSelection>() : std::make_shared<Selection>();
    line->read(row);
    return line;
}

SelectionPtr Selection::fromDocument(xmlNodePtr element, xmlDocPtr doc, ObjectContext* context) {
    SelectionPtr line = XmlHelper::getAttributeValue(element, "type") == "ComboSelection"
                            ? std::make_shared<ComboSelection>()
                            : std::make_shared<Selection>();
    line->read(element, doc, context);
    return line;
}

void Selection::copy(Selection& t) const {
    t.remoteId_ = remoteId_;
    t.additionPrice_ = additionPrice_;
    t.compBy_ = compBy_;
    t.compDescription_ = compDescription_;
    t.compName_ = compName_;
    t.compPercent_ = compPercent_;
    t.comment_ = comment_;
    t.course_ = course_;
    t.created_ = created_;
    t.deleted_ = deleted_;
    t.defaultSideCount_ = defaultSideCount_;
    t.defaultTaxExemptions_.insert(t.defaultTaxExemptions_.end(), defaultTaxExemptions_.begin(),
                                   defaultTaxExemptions_.end());
    t.includedSides_ = includedSides_;
    t.itemId_ = itemId_;
    t.multiplier_ = multiplier_;
    t.menuId_ = menuId_;
    t.name_ = name_;
    t.newQuantity_ = newQuantity_;
    t.voidedQuantity_ = voidedQuantity_;
    t.orderedBy_ = orderedBy_;
    t.price_ = price_;
    t.quantity_ = quantity_;
    t.referenceId_ = referenceId_;
    t.recipeId_ = recipeId_;
    t.seat_ = seat_;
    for (const Preparation& p : selectedPreparations_) t.addPreparation(p.clone());
    for (const SelectionPtr& side : selectedSides_) t.addSide(side->clone());
    t.taxExemptions_.insert(t.taxExemptions_.end(), taxExemptions_.begin(), taxExemptions_.end());
    for (const auto& [name, amount] : predefinedTaxes_) t.predefinedTaxes_.set(name, amount);
    for (const auto& [name, amount] : additionPredefinedTaxes_) t.additionPredefinedTaxes_.set(name, amount);
    t.taxIncluded_ = taxIncluded_;
}

SelectionPtr Selection::clone() const {
    auto line = std::make_shared<Selection>();
    copy(*line);
    line->modified_ = true;
    return line;
}

} // namespace tavlo
