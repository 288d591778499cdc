#pragma once

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/TextField.h"
#include "platform/ui/ViewController.h"
#include "screens/common/SignedInController.h"

#include <any>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {
class Session;
}

namespace tavlo::screens {

// The manager override: when the signed-in user lacks a right, another employee types a staff
// number or swipes a card here, and when that employee holds any one of the permissions asked for,
// the prompt hands that employee's user id to the opener, which then acts as authorised by them.
// The prompt decides nothing about the action. It listens to the card reader while it is shown.
class AuthenticateViewController : public SignedInController<ui::ViewController> {
public:
    static constexpr const char* kInterfaceName = "AuthenticateView";

    AuthenticateViewController();
    ~AuthenticateViewController() override;

    // Accepted when the user holds any one of them, tested in this order.
    const std::vector<std::string>& permissions() const { return permissions_; }
    void setPermissions(std::vector<std::string> permissions) { permissions_ = std::move(permissions); }
    // The answer: the opener's param (empty when none was given) and the authorising user's id.
    using Observer = std::function<void(const std::any& param, const std::string& userId)>;
    void setObserver(Observer observer) { observer_ = std::move(observer); }
    const std::any& param() const { return param_; }
    void setParam(std::any param) { param_ = std::move(param); }
    // Yes: the prompt was pushed and pops itself once granted (and on cancel); no: it was
    // presented, and closing it after the answer is the opener's job.
    bool popWhenDone() const { return popWhenDone_; }
    void setPopWhenDone(bool pop) { popWhenDone_ = pop; }

    // Outlet, connected by the interface: the staff number.
    ui::TextField* textNumber() const { return outlet<ui::TextField>("textNumber"); }

    // The interface's buttons. Done: the staff number's user.
    void done();
    void remoteAuth();

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    uint32_t supportedInterfaceOrientations() const override;
    bool shouldAutorotate() const override;

private:
    // Answers the opener when the user holds one of the permissions; else says so and stays.
    void authenticate(const std::optional<std::string>& userId);
    // The left bar button: closes the prompt; the opener hears nothing.
    void cancel();
    // The card reader: a swipe authenticates its card's user; connects and disconnects are shown.
    void handleMSRNotification(const Notification& notification);
    void inform(const std::string& message);

    std::vector<std::string> permissions_;
    Observer observer_;
    std::any param_;
    bool popWhenDone_ = false;
    bool listening_ = false; // registered with the card reader's mediator
};

} // namespace tavlo::screens
