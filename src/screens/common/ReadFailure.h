#pragma once

#include "platform/ui/ViewController.h"

#include <string>

namespace tavlo::screens {

// A list the screen needs could not be read: the person is told (`message`, "Ok") and the screen
// leaves once the push that is showing it is over.
void leaveAfterReadFailure(ui::ViewController& screen, const std::string& message, bool animated);

} // namespace tavlo::screens
