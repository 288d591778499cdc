#pragma once

#include "core/session/Session.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/ui/Application.h"
#include "screens/common/FlowControl.h"
#include "screens/common/ReadFailure.h"
#include "screens/common/SignedInController.h"

#include <memory>
#include <string>

namespace tavlo {
using SelectionPtr = std::shared_ptr<Selection>;
}

namespace tavlo::screens {

// The interface of a list option screen: a grouped table that fills the screen.
void registerOptionTable(const std::string& interfaceName);
// Registers the option screens' interfaces ("SeatCourseView", "PreparationGroupView",
// "SidesView", and the combo flow's "ComboGroupView"). The program calls it once, and so do
// tests that show them.
void registerOptionScreens();

// What every option screen of an item flow holds (the line it changes, the flow that drives it,
// null outside a flow) and how it keeps the flow's contract; the session is the signed-in base's.
// `Base` is the kind of controller the screen is.
template <typename Base> class OptionScreen : public SignedInController<Base> {
public:
    using SignedInController<Base>::SignedInController;
    const SelectionPtr& selection() const { return selection_; }
    void setSelection(SelectionPtr selection) { selection_ = std::move(selection); }
    const std::shared_ptr<FlowControl>& flowControl() const { return flowControl_; }
    void setFlowControl(std::shared_ptr<FlowControl> flow) { flowControl_ = std::move(flow); }

    // Back: one screen back in the flow, or the whole entry dropped from its first screen; outside
    // a flow, back to the opener.
    void back() { FlowControl::stepBack(*this, flowControl_.get(), this->animated()); }

    // The pad in landscape, the phone in portrait.
    uint32_t supportedInterfaceOrientations() const override { return SignedInBase::idiomOrientations(); }

protected:
    // The choice is made: the flow's next screen or its end; outside a flow, back to the opener.
    void moveOn() { FlowControl::moveOn(*this, flowControl_.get(), this->animated()); }
    // The left bar button, in place of the navigation's own back button: back().
    void showBackButton(const std::string& title) {
        this->navigationItem().setHidesBackButton(true);
        this->navigationItem().setLeftBarButtonItem(
            ui::BarButtonItem::titled(title, ui::BarButtonStyle::Bordered, [this](ui::BarButtonItem&) { back(); }));
    }
    // "Cancel" on the first screen of a flow, where going back drops the line; "Back" otherwise.
    std::string backTitle() const {
        return localized(flowControl_ && !flowControl_->hasPreviousView() ? "Cancel" : "Back");
    }

private:
    SelectionPtr selection_;
    std::shared_ptr<FlowControl> flowControl_;
};

} // namespace tavlo::screens
