#pragma once

#include "core/records/AreaLocation.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {

class ManagedObject;

// A floor area with its tables, read from an `Area` row.
class Area {
public:
    void read(const ManagedObject& row);

    const std::optional<std::string>& areaId() const { return areaId_; }
    void setAreaId(std::optional<std::string> v) { areaId_ = std::move(v); }
    const std::optional<std::string>& name() const { return name_; }
    void setName(std::optional<std::string> v) { name_ = std::move(v); }
    // -1: none
    int32_t fillColor() const { return fillColor_; }
    void setFillColor(int32_t v) { fillColor_ = v; }
    bool disabled() const { return disabled_; }
    void setDisabled(bool v) { disabled_ = v; }
    // In the order the store gives them.
    const std::vector<AreaLocation>& locations() const { return locations_; }
    void setLocations(std::vector<AreaLocation> v) { locations_ = std::move(v); }

private:
    std::optional<std::string> areaId_, name_;
    int32_t fillColor_ = 0;
    bool disabled_ = false;
    std::vector<AreaLocation> locations_;
};

} // namespace tavlo
