#pragma once

#include "core/session/Session.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/ui/Application.h"
#include "screens/common/FlowControl.h"
#include "screens/common/ReadFailure.h"

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

// What every option screen of an item flow holds (the session, the line it changes, the flow that
// drives it, null outside a flow) and how it keeps the flow's contract. `Base` is the kind of
// controller the screen is.
template <typename Base> class OptionScreen : public Base {
public:
    using Base::Base;

    Session* session() const { return session_; }
    void setSession(Session* session) { session_ = session; }
    const SelectionPtr& selection() const { return selection_; }
    void setSelection(SelectionPtr selection) { selection_ = std::move(selection); }
    const std::shared_ptr<FlowControl>& flowControl() const { return flowControl_; }
    void setFlowControl(std::shared_ptr<FlowControl> flow) { flowControl_ = std::move(flow); }

    // Back: one screen back in the flow, or the whole entry dropped from its first screen; outside
    // a flow, back to the opener.
    void back() { FlowControl::stepBack(*this, flowControl_.get(), animated()); }

    // The pad in landscape, the phone in portrait.
    uint32_t supportedInterfaceOrientations() const override {
        ui::Application* app = ui::Application::current();
        return app && app->idiom() == ui::DeviceIdiom::Tablet ? ui::OrientationMask::Landscape
                                                               : ui::OrientationMask::Portrait;
    }

protected:
    bool animated() const { return session_ && session_->useAnimation(); }
    // The choice is made: the flow's next screen or its end; outside a flow, back to the opener.
    void moveOn() { FlowControl::moveOn(*this, flowControl_.get(), animated()); }
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
    Session* session_ = nullptr;
    SelectionPtr selection_;
    std::shared_ptr<FlowControl> flowControl_;
};

} // namespace tavlo::screens
