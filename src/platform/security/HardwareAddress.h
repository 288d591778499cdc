#pragma once

#include <optional>
#include <string>

namespace tavlo {

// The network hardware (MAC) address that the device identifier is made from.
class HardwareAddress {
public:
    // The address of the primary interface as six upper-case hex pairs joined by colons
    // ("0A:1B:2C:3D:4E:5F"): the interface the terminal talks through when one is up, else the
    // first other interface by name that has an address. nil when none can be read.
    static std::optional<std::string> primary();
    // The address of one interface; nil when it has none (or only zeros) or cannot be read.
    static std::optional<std::string> ofInterface(const std::string& name);
};

} // namespace tavlo
