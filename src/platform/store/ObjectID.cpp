#include "platform/store/ObjectID.h"

namespace tavlo {

const std::string& ObjectID::entityName() const {
    static const std::string none;
    return entity_ ? entity_->name() : none;
}

std::string ObjectID::uriRepresentation() const {
    if (!isValid()) return {};
    return "x-tavlo-object:///" + entity_->name() + "/p" + std::to_string(primaryKey_);
}

} // namespace tavlo
