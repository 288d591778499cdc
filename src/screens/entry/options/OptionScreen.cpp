#include "screens/entry/options/OptionScreen.h"

#include "platform/ui/InterfaceRegistry.h"
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

} // namespace tavlo::screens
