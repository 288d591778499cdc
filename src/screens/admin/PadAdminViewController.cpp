#include "screens/admin/PadAdminViewController.h"

#include "core/session/Session.h"
#include "screens/shell/TavloMobileAppDelegate.h"

namespace tavlo::screens {

void PadAdminViewController::loadView(std::shared_ptr<ui::ViewController> controller) {
    if (TavloMobileAppDelegate* delegate = TavloMobileAppDelegate::current())
        delegate->pushDetailsView(std::move(controller), animated());
}

} // namespace tavlo::screens
