#include "platform/store/Model.h"

#include <stdexcept>

namespace tavlo {

Model::Model(const Model& other) { *this = other; }

Model& Model::operator=(const Model& other) {
    if (this == &other) return *this;
    entities_.clear();
    byName_.clear();
    for (const auto& e : other.entities_) entities_.push_back(std::make_unique<EntityDescription>(*e));
    finalized_ = false;
    if (other.finalized_) finalize(); // pointers must refer to this copy
    return *this;
}

EntityDescription& Model::entity(const std::string& name) {
    if (finalized_) throw std::logic_error("The model is in use and can no longer change");
    for (auto& e : entities_)
        if (e->name() == name) return *e;
    if (name.empty()) throw std::invalid_argument("An entity needs a name");
    entities_.push_back(std::make_unique<EntityDescription>(name));
    entities_.back()->index_ = entities_.size() - 1;
    return *entities_.back();
}

const EntityDescription* Model::entityNamed(std::string_view name) const {
    if (finalized_) {
        auto found = byName_.find(name);
        return found == byName_.end() ? nullptr : found->second;
    }
    for (const auto& e : entities_)
        if (e->name() == name) return e.get();
    return nullptr;
}

const EntityDescription& Model::requireEntity(std::string_view name) const {
    if (auto e = entityNamed(name)) return *e;
    throw std::invalid_argument("No entity named \"" + std::string(name) + "\" in the model");
}

void Model::finalize() {
    for (auto& e : entities_) {
        for (const auto& columns : e->compoundIndexes_)
            for (const std::string& c : columns) {
                const RelationshipDescription* r = e->relationshipNamed(c);
                if (!e->attributeNamed(c) && !(r && !r->toMany))
                    throw std::invalid_argument("Index of " + e->name() + " names no column " + c);
            }
        for (auto& r : e->relationships_) {
            r.source = e.get();
            r.target = entityNamed(r.targetName);
            if (!r.target)
                throw std::invalid_argument("Relationship " + e->name() + "." + r.name + " names unknown entity " +
                                            r.targetName);
            r.inverse = nullptr;
            if (!r.inverseName.empty()) {
                r.inverse = r.target->relationshipNamed(r.inverseName);
                if (!r.inverse || r.inverse->targetName != e->name())
                    throw std::invalid_argument("Relationship " + e->name() + "." + r.name + " names a bad inverse " +
                                                r.inverseName);
            }
        }
    }
    for (auto& e : entities_) {
        for (auto& r : e->relationships_) {
            r.storedByInverse = false;
            r.joinTable.clear();
            r.joinSourceFirst = true;
            if (!r.toMany) continue;
            if (r.inverse && !r.inverse->toMany && r.inverse->inverse == &r) {
                r.storedByInverse = true;
            } else if (r.inverse && r.inverse->toMany && r.inverse->inverse == &r) {
                std::string mine = e->name() + "_" + r.name;
                std::string theirs = r.target->name() + "_" + r.inverse->name;
                r.joinSourceFirst = mine <= theirs;
                r.joinTable = "Z_" + (r.joinSourceFirst ? mine : theirs);
            } else {
                r.joinTable = "Z_" + e->name() + "_" + r.name;
            }
        }
    }
    byName_.clear();
    for (const auto& e : entities_) byName_.emplace(e->name(), e.get());
    finalized_ = true;
}

} // namespace tavlo
