#pragma once

namespace tavlo::screens {

// Registers the screens the start-up shows by their interface names: "LoginView" (until sign-in
// exists, the terminal-ready stand-in) and the store set-up screen "SettingsView". The program
// calls it once; so do tests that show the program's own screens.
void registerStartupScreens();

} // namespace tavlo::screens
