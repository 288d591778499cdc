#pragma once

#include "platform/ui/Toolbar.h"
#include "platform/ui/ViewController.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::ui {

// A stack of controllers of which the top one is shown, with a navigation bar (the top's
// navigation item and a back button) and a toolbar (the top's toolbar items).
class NavigationController : public ViewController {
public:
    using Stack = std::vector<std::shared_ptr<ViewController>>;

    explicit NavigationController(std::shared_ptr<ViewController> root = nullptr);
    ~NavigationController() override;

    const Stack& viewControllers() const { return stack_; }
    void setViewControllers(Stack controllers, bool animated = false);
    ViewController* topViewController() const { return stack_.empty() ? nullptr : stack_.back().get(); }

    void push(std::shared_ptr<ViewController> controller, bool animated);
    // The root is never popped; the answer is what left the stack.
    std::shared_ptr<ViewController> pop(bool animated);
    Stack popToRoot(bool animated);
    // Pops down to a controller on the stack; nothing when it is not there.
    Stack popTo(const ViewController& controller, bool animated);

    // The back button the top controller shows: the title of the controller below it (or that
    // one's back item's); none for the root or when the top hides it.
    std::optional<std::string> backButtonTitle() const;
    // A person's tap on the back button.
    void tapBackButton();

    static constexpr double kNavigationBarHeight = 44;
    bool isNavigationBarHidden() const { return barHidden_; }
    void setNavigationBarHidden(bool hidden, bool animated = false);
    // Where the top controller's view goes: below the navigation bar and above the toolbar.
    Rect contentFrame();
    bool isToolbarHidden() const { return toolbarHidden_; }
    void setToolbarHidden(bool hidden, bool animated = false);
    Toolbar& toolbar() { return *toolbar_; }
    // Takes the top controller's toolbar items again.
    void refreshToolbar();

    // Screens of this terminal let a form sheet's keyboard go when its field resigns.
    bool disablesAutomaticKeyboardDismissal() const { return false; }

    uint32_t supportedInterfaceOrientations() const override;
    bool shouldAutorotate() const override;
    std::vector<ViewController*> visibleChildren() const override;
    void loadView() override;

private:
    // Shows `incoming` in place of `outgoing`, running both appearance transitions.
    void transition(ViewController* outgoing, ViewController* incoming, bool animated);
    void layoutContent();

    Stack stack_;
    bool barHidden_ = false;
    bool toolbarHidden_ = true;
    std::shared_ptr<Toolbar> toolbar_;
};

} // namespace tavlo::ui
