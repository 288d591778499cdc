#include "core/ActivityIndicator.h"

namespace tavlo {

void ActivityIndicator::refresh(const std::string&) {}

} // namespace tavlo
