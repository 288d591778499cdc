#pragma once

namespace tavlo::screens {

// Registers every screen of the terminal under its interface name, once, before the application
// starts: the start-up screens first, then the screens that replace their stand-ins.
void registerScreens();

} // namespace tavlo::screens
