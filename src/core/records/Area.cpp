#include "core/records/Area.h"

#include "platform/store/ManagedObject.h"

namespace tavlo {

void Area::read(const ManagedObject& row) {
    areaId_ = row.text("areaId");
    name_ = row.text("name");
    fillColor_ = row.int32("fillColor");
    disabled_ = row.boolean("disabled");
    locations_.clear();
    for (const auto& locationRow : row.toMany("areaLocations")) { locations_.emplace_back().read(*locationRow); }
}

} // namespace tavlo
