#pragma once

#include <string>

namespace tavlo {

// The progress display of long loads. Loads hand it their (localised) progress texts while they
// run as a full reload; it shows nothing and changes nothing.
class ActivityIndicator {
public:
    static void refresh(const std::string& text);
};

} // namespace tavlo
