#include "core/records/AreaLocation.h"

#include "platform/store/ManagedObject.h"

namespace tavlo {

void AreaLocation::read(const ManagedObject& row) {
    areaLocationId_ = row.text("areaLocationId");
    name_ = row.text("name");
    shortName_ = row.text("shortName");
    seats_ = row.int32("seats");
    x_ = row.int32("x");
    y_ = row.int32("y");
    disabled_ = row.boolean("disabled");
    shape_.reset();
    if (auto shapeRow = row.toOne("areaShape")) {
        shape_.emplace();
        shape_->read(*shapeRow);
    }
}

} // namespace tavlo
