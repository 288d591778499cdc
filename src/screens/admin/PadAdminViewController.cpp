#include "screens/admin/PadAdminViewController.h"

#include "core/session/Session.h"
#include "screens/common/PadPanes.h"

namespace tavlo::screens {

void PadAdminViewController::loadView(std::shared_ptr<ui::ViewController> controller) {
    if (PadPanes* panes = PadPanes::current()) panes->pushDetailsView(std::move(controller), animated());
}

} // namespace tavlo::screens
