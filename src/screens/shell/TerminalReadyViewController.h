#pragma once

#include "platform/ui/Label.h"
#include "platform/ui/ViewController.h"
#include "screens/shell/BroadcastListener.h"

#include <memory>

namespace tavlo::screens {

// Stands in for the sign-in screen under its interface name "LoginView" until sign-in exists:
// says that the terminal is ready and which store it holds and, as the sign-in screen does,
// listens to the store server's announcements while it is loaded.
class TerminalReadyViewController : public ui::ViewController {
public:
    static constexpr const char* readyText = "The terminal is ready";

    TerminalReadyViewController();
    ~TerminalReadyViewController() override;

    ui::Label* storeName() const { return outlet<ui::Label>("storeName"); }
    BroadcastListener* broadcastListener() const { return listener_.get(); }

    void viewDidLoad() override;

private:
    std::unique_ptr<BroadcastListener> listener_;
};

// Registers the layout and the controller under "LoginView".
void registerTerminalReadyView();

} // namespace tavlo::screens
