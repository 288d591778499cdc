#include "screens/common/PadPanes.h"

#include "platform/foundation/LocalizedStrings.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Orientation.h"

namespace tavlo::screens {

using namespace ui;

PadPanes* PadPanes::current() {
    Application* app = Application::current();
    return app ? dynamic_cast<PadPanes*>(app->delegate()) : nullptr;
}

void warnOfPortraitPad() {
    Application* app = Application::current();
    if (!app || !app->device().isTablet() || !isPortrait(app->device().orientation())) return;
    AlertView::make(localized("Alert"),
                    localized("Application cannot run on portrait mode, make sure your tablet's orientation is not "
                              "locked and restart Tavlo"),
                    localized("Ok"))
        ->show();
}

} // namespace tavlo::screens
