#include "core/LocalDateText.h"

namespace tavlo::detail {

std::tm localFields(Date date) {
    std::time_t seconds = static_cast<std::time_t>(date.wholeSeconds());
    std::tm fields{};
    localtime_r(&seconds, &fields);
    return fields;
}

std::string formatLocalDate(Date date, const char* strftimePattern) {
    std::tm fields = localFields(date);
    char buffer[128];
    size_t n = std::strftime(buffer, sizeof buffer, strftimePattern, &fields);
    return std::string(buffer, n);
}

} // namespace tavlo::detail
