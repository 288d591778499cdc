#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {

class ManagedObject;

// A store rule: a named set of parameters of one rule type ("CustomerOrderDefaultItem",
// "NonCompableRecipeGroups", ...), read from a `Rule` row and its `ruleParams`.
class Rule {
public:
    void read(const ManagedObject& row);

    // The values of the parameters prefix1, prefix2, ... up to the first number that is missing.
    std::vector<std::string> valuesWithPrefix(const std::string& prefix) const;

    const std::optional<std::string>& ruleId() const { return ruleId_; }
    void setRuleId(std::optional<std::string> v) { ruleId_ = std::move(v); }
    const std::optional<std::string>& name() const { return name_; }
    void setName(std::optional<std::string> v) { name_ = std::move(v); }
    const std::optional<std::string>& type() const { return type_; }
    void setType(std::optional<std::string> v) { type_ = std::move(v); }
    bool disabled() const { return disabled_; }
    void setDisabled(bool v) { disabled_ = v; }
    const std::map<std::string, std::string>& params() const { return params_; }
    std::map<std::string, std::string>& params() { return params_; }
    void setParams(std::map<std::string, std::string> v) { params_ = std::move(v); }

private:
    std::optional<std::string> ruleId_, name_, type_;
    bool disabled_ = false;
    std::map<std::string, std::string> params_;
};

} // namespace tavlo
