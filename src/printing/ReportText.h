#pragma once

#include "core/order/OrderTax.h"
#include "core/util/Utils.h"
#include "platform/foundation/Text.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace tavlo::report {

// Fixed-width pieces of the text reports. Widths below 0 count as 0.

inline unsigned room(int width) { return static_cast<unsigned>(std::max(width, 0)); }
inline std::string money(int64_t cents) { return Utils::formatCurrency(cents); }
// The text at the left / right of a field of `width` characters, cut to it when longer.
inline std::string left(const std::string& text, int width) { return Utils::rpad(text, ' ', room(width)); }
inline std::string right(const std::string& text, int width) { return Utils::lpad(text, ' ', room(width)); }
// Money at the right of a field of `width` characters, never cut: wider amounts widen the field.
inline std::string rightWhole(const std::string& text, int width) {
    return text.size() >= room(width) ? text : right(text, width);
}
inline std::string centred(const std::string& text, int width) { return Utils::center(text, ' ', room(width)); }
inline std::string rule(char c, int width) { return std::string(room(width), c); }
// The key of a tax in the figures and its line: "State (8.25%):".
inline std::string taxKey(const OrderTax& tax) {
    return format("%@ (%@):", tax.name().value_or(""), Utils::formatPercent(tax.percentage()));
}

} // namespace tavlo::report
