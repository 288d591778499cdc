#pragma once

#include "screens/admin/LiteAdminViewController.h"

namespace tavlo::screens {

// The administration screen in the pad's master pane: the screens it leads to go on the detail
// pane (none pops the detail pane's top screen).
class PadAdminViewController : public LiteAdminViewController {
public:
    using LiteAdminViewController::loadView;
    void loadView(std::shared_ptr<ui::ViewController> controller) override;
};

} // namespace tavlo::screens
