#pragma once

namespace tavlo::screens {

// Registers the screens the start-up shows by their interface names: the store set-up screen
// "SettingsView", the sign-in screen "LoginView" and, until the screens a sign-in opens exist,
// their stand-in under "OrdersView" and "LiteAdminView"; and the receipt printer drivers by type.
// The program calls it once; so do tests that show the program's own screens.
void registerStartupScreens();

} // namespace tavlo::screens
