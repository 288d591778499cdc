#pragma once

#include "platform/ui/NavigationController.h"
#include "platform/ui/ViewController.h"

#include <memory>

namespace tavlo::screens {

// The pad's two panes as the screens of every room reach them. The application's delegate
// (`TavloMobileAppDelegate`) answers this, so a screen needs neither the delegate nor the panes'
// classes.
class PadPanes {
public:
    // The installed application's delegate when it answers this; null otherwise (no application,
    // or a program without the shell).
    static PadPanes* current();

    virtual ~PadPanes() = default;
    // The detail pane's navigation; null on the phone.
    virtual ui::NavigationController* detailNavigation() const = 0;
    // Pushes the controller on the detail pane's navigation, or pops its top one for null.
    virtual void pushDetailsView(std::shared_ptr<ui::ViewController> controller, bool animated) = 0;
    // The root pane signs the user out; false when there is no root pane (the phone).
    virtual bool logoutFromRoot() = 0;
    // The root pane shows `main` as its main screen; false when there is no root pane.
    virtual bool setRootMainController(std::shared_ptr<ui::ViewController> main) = 0;
};

// A pad held in portrait: the screens work in landscape only, which an alert says.
void warnOfPortraitPad();

} // namespace tavlo::screens
