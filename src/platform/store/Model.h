#pragma once

#include "platform/store/EntityDescription.h"

#include <memory>
#include <string>
#include <string_view>
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
    bool finalized_ = false;
};

} // namespace tavlo
