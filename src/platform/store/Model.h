#pragma once

#include "platform/store/EntityDescription.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tavlo {

// The object model: every entity the store keeps, declared in one place.
//   Model m;
//   m.entity("Terminal").attribute("terminalId", AttributeType::Text, EntityDescription::Indexed::Yes)
//       .toMany("terminalParams", "TerminalParam", "terminal", DeleteRule::Cascade);
class Model {
public:
    Model() = default;
    Model(const Model& other);
    Model& operator=(const Model& other);
    Model(Model&&) noexcept = default;
    Model& operator=(Model&&) noexcept = default;

    // The entity of that name, created on first use.
    EntityDescription& entity(const std::string& name);

    const EntityDescription* entityNamed(std::string_view name) const;
    // As entityNamed, but an unknown name throws std::invalid_argument.
    const EntityDescription& requireEntity(std::string_view name) const;
    const std::vector<std::unique_ptr<EntityDescription>>& entities() const { return entities_; }

    // Resolves targets and inverses and checks the declarations; throws std::invalid_argument on
    // an unknown target, inverse or duplicate name. The store calls it when it opens.
    void finalize();
    bool isFinalized() const { return finalized_; }

private:
    std::vector<std::unique_ptr<EntityDescription>> entities_;
    // Entities by name, made when the model is finalised: a context looks its entities up by name
    // at every insert and fetch.
    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view name) const noexcept { return std::hash<std::string_view>()(name); }
    };
    std::unordered_map<std::string, const EntityDescription*, NameHash, std::equal_to<>> byName_;
    bool finalized_ = false;
};

} // namespace tavlo
