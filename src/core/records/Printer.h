#pragma once

#include <optional>
#include <string>

namespace tavlo {

class ManagedObject;

// A kitchen or receipt printer of the store, read from a `Printer` row.
class Printer {
public:
    void read(const ManagedObject& row);

    const std::optional<std::string>& printerId() const { return printerId_; }
    void setPrinterId(std::optional<std::string> v) { printerId_ = std::move(v); }
    const std::optional<std::string>& name() const { return name_; }
    void setName(std::optional<std::string> v) { name_ = std::move(v); }
    // The printer's address.
    const std::optional<std::string>& url() const { return url_; }
    void setUrl(std::optional<std::string> v) { url_ = std::move(v); }
    bool disabled() const { return disabled_; }
    void setDisabled(bool v) { disabled_ = v; }

private:
    std::optional<std::string> printerId_, name_, url_;
    bool disabled_ = false;
};

} // namespace tavlo
