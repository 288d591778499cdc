#pragma once

#include "core/records/AreaShape.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tavlo {

class ManagedObject;

// A table (or seat location) of a floor area, read from an `AreaLocation` row.
class AreaLocation {
public:
    void read(const ManagedObject& row);

    const std::optional<std::string>& areaLocationId() const { return areaLocationId_; }
    void setAreaLocationId(std::optional<std::string> v) { areaLocationId_ = std::move(v); }
    const std::optional<std::string>& name() const { return name_; }
    void setName(std::optional<std::string> v) { name_ = std::move(v); }
    const std::optional<std::string>& shortName() const { return shortName_; }
    void setShortName(std::optional<std::string> v) { shortName_ = std::move(v); }
    int32_t seats() const { return seats_; }
    void setSeats(int32_t v) { seats_ = v; }
    int32_t x() const { return x_; }
    void setX(int32_t v) { x_ = v; }
    int32_t y() const { return y_; }
    void setY(int32_t v) { y_ = v; }
    bool disabled() const { return disabled_; }
    void setDisabled(bool v) { disabled_ = v; }
    // nil when the row has no shape.
    const std::optional<AreaShape>& shape() const { return shape_; }
    void setShape(std::optional<AreaShape> v) { shape_ = std::move(v); }

private:
    std::optional<std::string> areaLocationId_, name_, shortName_;
    int32_t seats_ = 0, x_ = 0, y_ = 0;
    bool disabled_ = false;
    std::optional<AreaShape> shape_;
};

} // namespace tavlo
