#include "screens/common/ReadFailure.h"

#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/NavigationController.h"

namespace tavlo::screens {

using namespace ui;

void leaveAfterReadFailure(ViewController& screen, const std::string& message, bool animated) {
    AlertView::make(localized("Error"), message, localized("Ok"))->show();
    RunLoop::main().perform([self = screen.shared_from_this(), animated] {
        if (NavigationController* navigation = self->navigationController()) navigation->pop(animated);
    });
}

} // namespace tavlo::screens
