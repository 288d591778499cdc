#pragma once

#include <optional>
#include <string>

namespace tavlo {

class ManagedObject;

// A terminal of the store, read from a `Terminal` row.
class Terminal {
public:
    void read(const ManagedObject& row);

    const std::optional<std::string>& terminalId() const { return terminalId_; }
    void setTerminalId(std::optional<std::string> v) { terminalId_ = std::move(v); }
    const std::optional<std::string>& name() const { return name_; }
    void setName(std::optional<std::string> v) { name_ = std::move(v); }
    // The terminal's host name on the store's network.
    const std::optional<std::string>& networkName() const { return networkName_; }
    void setNetworkName(std::optional<std::string> v) { networkName_ = std::move(v); }
    bool disabled() const { return disabled_; }
    void setDisabled(bool v) { disabled_ = v; }

private:
    std::optional<std::string> terminalId_, name_, networkName_;
    bool disabled_ = false;
};

} // namespace tavlo
