#pragma once

#include "platform/ui/ViewController.h"
#include "screens/common/FlowControl.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tavlo::screens {

// What the text and amount prompts share: how they answer their opener and step an item flow.
//
// The opener names an observer (a function standing for the observer object and its selector)
// and optionally a `param`. Save calls the observer with the text shown, back calls it with nil;
// the param comes along as the second argument when set (nil otherwise). The observer is called
// before the flow is asked anything, so that a flow's own answer method has the value when
// hasNextView is asked. Without a flow the screen does nothing more: the observer closes it.
// With a flow, a save pushes the flow's next screen or ends the flow; a back steps the flow back
// and pops this screen, or dismisses the whole stack when the flow has nothing before it.
class PromptViewController : public ui::ViewController {
public:
    using Observer =
        std::function<void(const std::optional<std::string>& value, const std::optional<std::string>& param)>;

    const Observer& observer() const { return observer_; }
    void setObserver(Observer observer) { observer_ = std::move(observer); }
    const std::optional<std::string>& param() const { return param_; }
    void setParam(std::optional<std::string> param) { param_ = std::move(param); }
    const std::shared_ptr<FlowControl>& flowControl() const { return flowControl_; }
    void setFlowControl(std::shared_ptr<FlowControl> flow) { flowControl_ = std::move(flow); }
    bool useAnimation() const { return useAnimation_; }
    void setUseAnimation(bool use) { useAnimation_ = use; }

    // The left bar button: back to the opener, with nil as the answer.
    void back();

    void viewDidAppear(bool animated) override;

protected:
    explicit PromptViewController(std::string interfaceName);

    // The input the person types into (the text view or the field).
    virtual ui::View& input() = 0;
    // The left bar button, "Back" in a flow and "Cancel" otherwise.
    void addBackButton();
    // On a phone, a bar above the keyboard whose one button (titled `done`) saves.
    void addDoneToolbar(const std::string& done, std::function<void()> save);
    // On a pad, editing ends and the second window goes before the screen answers.
    void endEditing();
    // Calls the observer with the value, then steps the flow on.
    void answer(const std::optional<std::string>& value);

private:
    Observer observer_;
    std::optional<std::string> param_;
    std::shared_ptr<FlowControl> flowControl_;
    bool useAnimation_ = false;
};

} // namespace tavlo::screens
