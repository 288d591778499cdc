#include "core/records/AreaShape.h"

#include "platform/store/ManagedObject.h"

namespace tavlo {

void AreaShape::read(const ManagedObject& row) {
    areaShapeId_ = row.text("areaShapeId");
    type_ = row.text("type");
    x_ = row.int32("x");
    y_ = row.int32("y");
    width_ = row.int32("width");
    height_ = row.int32("height");
    strokeColor_ = row.int32("strokeColor");
    fillColor_ = row.int32("fillColor");
    disabled_ = row.boolean("disabled");
}

} // namespace tavlo
