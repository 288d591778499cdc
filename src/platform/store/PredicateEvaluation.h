#pragma once

#include "platform/store/EntityDescription.h"
#include "platform/store/Predicate.h"
#include "platform/store/Value.h"

#include <string>
#include <vector>

namespace tavlo {

class ManagedObject;

// The rules both the SQL form and the in-memory evaluation of a predicate follow.

// A comparison constant made into the attribute's type: 'NO' for a boolean is NO, "3" for a number
// is 3, a number for a text is its decimal text. Throws std::invalid_argument where no reading exists.
Value coerceForAttribute(const Value& value, AttributeType type);

// Orders two non-nil values of one attribute type; texts byte by byte (or ASCII case-folded).
int compareValues(const Value& a, const Value& b, bool caseInsensitive = false);

// The attribute or to-one at the end of a key path from an entity; throws std::invalid_argument
// for an unknown name or a step through a to-many.
struct KeyPathTarget {
    const AttributeDescription* attribute = nullptr;
    const RelationshipDescription* relationship = nullptr; // a to-one at the end of the path
};
KeyPathTarget resolveKeyPath(const EntityDescription& entity, const std::vector<std::string>& path);

bool evaluatePredicate(const Predicate& predicate, const ManagedObject& object, const std::vector<Value>& aggregates);

// The value at a key path of an object, for sorting and section names (nil along an empty to-one).
Value keyPathValue(const ManagedObject& object, const std::vector<std::string>& path);

} // namespace tavlo
