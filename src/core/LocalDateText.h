#pragma once

#include <ctime>
#include <string>

#include "platform/foundation/Clock.h"

namespace tavlo::detail {

// The fields of a moment in the device's time zone.
std::tm localFields(Date date);
// strftime over the device's time zone (C locale names: "Jan", "AM").
std::string formatLocalDate(Date date, const char* strftimePattern);

} // namespace tavlo::detail
