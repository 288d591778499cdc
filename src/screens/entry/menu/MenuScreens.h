#pragma once

namespace tavlo::screens {

// Registers the menu screens' interfaces ("MenuView", "MenuButtonsView"). The program calls it
// once, and so do tests that show them.
void registerMenuScreens();

} // namespace tavlo::screens
