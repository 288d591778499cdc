// Combo lines in the local store and from the server's order document, and their copies.
#include "core/order/ComboSelection.h"
#include "core/records/StoreRows.h"
#include "platform/store/ObjectContext.h"
#include "xml/XmlFields.h"

#include <set>

namespace tavlo {

namespace {

bool sameGroup(const std::optional<std::string>& stored, const std::optional<std::string>& group) {
    const bool fixed = !stored || stored->empty();
    return group ? !fixed && *stored == *group : fixed;
}

} // namespace

// Every component is written each time, into its linked row when it has one; links of components
// no longer in the combo go with their rows, so a swapped-out component is not read back.
ManagedObjectPtr ComboSelection::write(ObjectContext& context) {
    ManagedObjectPtr row = Selection::write(context);
    row->setValue("isCombo", true);
    const std::vector<ManagedObjectPtr> links = row->toMany("comboSelections");
    std::set<const ManagedObject*> keptLinks;
    std::set<std::string> keptIds;
    auto place = [&](const SelectionPtr& component, const std::optional<std::string>& group) {
        ManagedObjectPtr link;
        for (const ManagedObjectPtr& l : links)
            if (component->remoteId() && sameGroup(l->text("groupId"), group) &&
                l->text("comboSelection.remoteId") == component->remoteId())
                link = l;
        if (link) {
            component->write(link->toOne("comboSelection"), context);
        } else {
            ManagedObjectPtr componentRow = component->write(context);
            link = context.insert("SelectionComboSelection");
            link->setValue("groupId", group);
            link->setToOne("comboSelection", componentRow);
            row->addTo("comboSelections", link);
        }
        keptLinks.insert(link.get());
        if (component->remoteId()) keptIds.insert(*component->remoteId());
    };
    for (const SelectionPtr& component : selections()) place(component, std::nullopt);
    for (const auto& [group, components] : groupSelections())
        for (const SelectionPtr& component : components) place(component, group);
    for (const ManagedObjectPtr& link : links) {
        if (keptLinks.count(link.get())) continue;
        std::optional<std::string> id = link->text("comboSelection.remoteId");
        dropLink(context, link, "comboSelection", !(id && keptIds.count(*id)));
    }
    setModified(false);
    return row;
}

void ComboSelection::read(const ManagedObject& row) {
    Selection::read(row);
    selections_.clear();
    groupSelections_.clear();
    for (const ManagedObjectPtr& link : row.toMany("comboSelections")) {
        ManagedObjectPtr componentRow = link->toOne("comboSelection");
        if (!componentRow) continue;
        auto component = std::make_shared<Selection>();
        component->read(*componentRow);
        std::optional<std::string> group = link->text("groupId");
        if (group && !group->empty()) addSelection(component, *group);
        else addSelection(component);
    }
    setNew(false);
    setModified(false);
}

void ComboSelection::read(xmlNodePtr element, xmlDocPtr doc, ObjectContext* context) {
    Selection::read(element, doc, context);
    selections_.clear();
    groupSelections_.clear();
    for (xmlNodePtr node : XmlFields(element, doc).run("selection")) {
        auto component = std::make_shared<Selection>();
        component->read(node, doc, context);
        // Inside a combo a component is charged its addition price.
        component->setAdditionPrice(component->price());
        component->setPrice(0);
        if (component->referenceId()) addSelection(component, *component->referenceId());
        else addSelection(component);
    }
    setNew(false);
    setModified(false);
}

SelectionPtr ComboSelection::clone() const {
    auto combo = std::make_shared<ComboSelection>();
    copy(*combo);
    for (const SelectionPtr& component : selections_) combo->addSelection(component->clone());
    for (const auto& [group, components] : groupSelections_)
        for (const SelectionPtr& component : components) combo->addSelection(component->clone(), group);
    combo->setModified(true);
    return combo;
}

} // namespace tavlo
