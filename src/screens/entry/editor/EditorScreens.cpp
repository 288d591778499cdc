#include "screens/entry/editor/EditorScreens.h"

#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/TableView.h"
#include "screens/entry/editor/CompListViewController.h"
#include "screens/entry/editor/SelectionViewController.h"
#include "screens/entry/options/OptionScreen.h"

namespace tavlo::screens {

using namespace ui;

void registerEditorScreens() {
    InterfaceRegistry& registry = InterfaceRegistry::shared();
    // The editor's sections in a grouped table, like the option screens it opens.
    registerOptionTable(SelectionViewController::kInterfaceName);
    registry.addController(SelectionViewController::kInterfaceName,
                           [] { return std::make_shared<SelectionViewController>(); });
    registry.add(CompListViewController::kInterfaceName, [](ViewController&) {
        auto table = std::make_shared<TableView>(Rect(0, 0, 320, 416), TableViewStyle::Plain);
        table->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
        return std::static_pointer_cast<View>(table);
    });
    registry.addController(CompListViewController::kInterfaceName,
                           [] { return std::make_shared<CompListViewController>(); });
}

} // namespace tavlo::screens
