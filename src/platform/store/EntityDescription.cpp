#include "platform/store/EntityDescription.h"

#include <stdexcept>

namespace tavlo {

namespace {
void checkNewName(const std::string& entity, const std::string& name, bool taken) {
    if (name.empty() || name.find('.') != std::string::npos || name.rfind("Z_", 0) == 0)
        throw std::invalid_argument("Bad property name \"" + name + "\" in entity " + entity);
    if (taken) throw std::invalid_argument("Duplicate property \"" + name + "\" in entity " + entity);
}
} // namespace

EntityDescription& EntityDescription::attribute(std::string name, AttributeType type, Indexed indexed) {
    checkNewName(name_, name, attributeNamed(name) || relationshipNamed(name));
    attributes_.push_back({std::move(name), type, indexed == Indexed::Yes, attributes_.size()});
    indexNames(attributeSlots_, attributes_);
    return *this;
}

EntityDescription& EntityDescription::toOne(std::string name, std::string target, std::string inverse,
                                            DeleteRule rule) {
    checkNewName(name_, name, attributeNamed(name) || relationshipNamed(name));
    RelationshipDescription r;
    r.name = std::move(name);
    r.targetName = std::move(target);
    r.inverseName = std::move(inverse);
    r.deleteRule = rule;
    r.index = relationships_.size();
    relationships_.push_back(std::move(r));
    indexNames(relationshipSlots_, relationships_);
    return *this;
}

EntityDescription& EntityDescription::toMany(std::string name, std::string target, std::string inverse,
                                             DeleteRule rule) {
    toOne(std::move(name), std::move(target), std::move(inverse), rule);
    relationships_.back().toMany = true;
    return *this;
}

EntityDescription& EntityDescription::compoundIndex(std::vector<std::string> columns) {
    if (columns.size() < 2) throw std::invalid_argument("A compound index of " + name_ + " needs two columns");
    compoundIndexes_.push_back(std::move(columns));
    return *this;
}

const AttributeDescription* EntityDescription::attributeNamed(std::string_view name) const {
    return named(attributeSlots_, attributes_, name);
}

const RelationshipDescription* EntityDescription::relationshipNamed(std::string_view name) const {
    return named(relationshipSlots_, relationships_, name);
}

} // namespace tavlo
