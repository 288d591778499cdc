#include "screens/entry/options/OptionScreen.h"

#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "screens/entry/combo/ComboGroupViewController.h"
#include "screens/entry/options/PreparationGroupViewController.h"
#include "screens/entry/options/SeatCourseViewController.h"
#include "screens/entry/options/SidesViewController.h"

namespace tavlo::screens {

using namespace ui;

void registerOptionTable(const std::string& interfaceName) {
    InterfaceRegistry::shared().add(interfaceName, [](ViewController&) {
        auto table = std::make_shared<TableView>(Rect(0, 0, 320, 416), TableViewStyle::Grouped);
        table->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
        return std::static_pointer_cast<View>(table);
    });
}

void registerOptionScreens() {
    registerSeatCourseView();
    registerPreparationGroupView();
    registerSidesView();
    registerComboGroupView();
}

void leaveAfterReadFailure(ViewController& screen, const std::string& message, bool animated) {
    AlertView::make(localized("Error"), message, localized("Ok"))->show();
    RunLoop::main().perform([self = screen.shared_from_this(), animated] {
        if (NavigationController* navigation = self->navigationController()) navigation->pop(animated);
    });
}

} // namespace tavlo::screens
