#include "screens/entry/menu/MenuScreens.h"

#include "screens/entry/menu/MenuButtonsViewController.h"
#include "screens/entry/menu/SlideMenuViewController.h"

namespace tavlo::screens {

void registerMenuScreens() {
    registerMenuView();
    registerMenuButtonsView();
}

} // namespace tavlo::screens
