#pragma once

#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TextField.h"
#include "platform/ui/ViewController.h"

#include <functional>
#include <memory>
#include <string>

namespace tavlo::ui::test {

// A text field and a Save button, for the window test: a program under Xvfb shows it in a real
// window, and the test draws the same screen in-process to compare with what the window showed.
// Save shows what the field holds and tells onSave.
class FieldAndButtonController : public ViewController {
public:
    // Where the field and the button are drawn in a pad's landscape window.
    static constexpr Rect kFieldInWindow{40, 84, 500, 48};
    static constexpr Rect kButtonInWindow{560, 84, 160, 48};

    std::function<void(const std::string& text)> onSave;

    TextField& field() { return *field_; }
    Label& result() { return *result_; }
    void loadView() override;

private:
    std::shared_ptr<TextField> field_;
    std::shared_ptr<Label> result_;
};

// The screen in a navigation controller, as the window test shows it.
std::shared_ptr<NavigationController> makeFieldAndButtonScreen(
    const std::shared_ptr<FieldAndButtonController>& controller);

} // namespace tavlo::ui::test
