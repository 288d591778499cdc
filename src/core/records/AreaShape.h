#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tavlo {

class ManagedObject;

// The drawn shape of a table on the floor plan, read from an `AreaShape` row.
class AreaShape {
public:
    void read(const ManagedObject& row);

    const std::optional<std::string>& areaShapeId() const { return areaShapeId_; }
    void setAreaShapeId(std::optional<std::string> v) { areaShapeId_ = std::move(v); }
    // The shape's kind and colours mean what the server and the floor-plan screen agree on.
    const std::optional<std::string>& type() const { return type_; }
    void setType(std::optional<std::string> v) { type_ = std::move(v); }
    int32_t x() const { return x_; }
    void setX(int32_t v) { x_ = v; }
    int32_t y() const { return y_; }
    void setY(int32_t v) { y_ = v; }
    int32_t width() const { return width_; }
    void setWidth(int32_t v) { width_ = v; }
    int32_t height() const { return height_; }
    void setHeight(int32_t v) { height_ = v; }
    int32_t strokeColor() const { return strokeColor_; }
    void setStrokeColor(int32_t v) { strokeColor_ = v; }
    int32_t fillColor() const { return fillColor_; }
    void setFillColor(int32_t v) { fillColor_ = v; }
    bool disabled() const { return disabled_; }
    void setDisabled(bool v) { disabled_ = v; }

private:
    std::optional<std::string> areaShapeId_, type_;
    int32_t x_ = 0, y_ = 0, width_ = 0, height_ = 0, strokeColor_ = 0, fillColor_ = 0;
    bool disabled_ = false;
};

} // namespace tavlo
