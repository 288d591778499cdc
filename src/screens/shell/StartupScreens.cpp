#include "screens/shell/StartupScreens.h"

#include "screens/shell/TerminalReadyViewController.h"

namespace tavlo::screens {

void registerStartupScreens() { registerTerminalReadyView(); }

} // namespace tavlo::screens
