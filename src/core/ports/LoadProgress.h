#pragma once

#include "core/ports/Port.h"

#include <string>

namespace tavlo {

// Where long loads show how far they are: the store load and the order and customer downloads
// hand over their (localised) progress texts while they run as a full reload. The wait overlay
// of the UI implements it; while none is installed the texts go nowhere. Any thread.
class LoadProgress : public Port<LoadProgress> {
public:
    static constexpr const char* kClassName = "LoadProgress";

    virtual ~LoadProgress() = default;
    virtual void showProgress(const std::string& text) = 0;

    // Hands the text to the installed display, if any.
    static void report(const std::string& text) {
        if (std::shared_ptr<LoadProgress> display = current()) display->showProgress(text);
    }
};

} // namespace tavlo
