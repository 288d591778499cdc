#include "core/records/Rule.h"

#include "platform/foundation/Text.h"
#include "platform/store/ManagedObject.h"

namespace tavlo {

void Rule::read(const ManagedObject& row) {
    ruleId_ = row.text("ruleId");
    name_ = row.text("name");
    type_ = row.text("type");
    disabled_ = row.boolean("disabled");
    for (const auto& param : row.toMany("ruleParams")) {
        auto name = param->text("name");
        if (!name) continue;
        // A parameter without a value is as good as absent.
        if (auto value = param->text("value")) params_[*name] = std::move(*value);
        else params_.erase(*name);
    }
}

std::vector<std::string> Rule::valuesWithPrefix(const std::string& prefix) const {
    std::vector<std::string> values;
    for (int n = 1;; ++n) {
        auto it = params_.find(format("%@%d", prefix, n));
        if (it == params_.end()) return values;
        values.push_back(it->second);
    }
}

} // namespace tavlo
