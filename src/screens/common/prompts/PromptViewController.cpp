#include "screens/common/prompts/PromptViewController.h"

#include "platform/foundation/LocalizedStrings.h"
#include "platform/ui/Application.h"
#include "platform/ui/Toolbar.h"
#include "screens/common/ScreenKit.h"

namespace tavlo::screens {

using namespace ui;

namespace {

// The pad's second window (an outside display), when the application has one.
Window* secondWindow() {
    Application* app = Application::current();
    return app && app->windows().size() >= 2 ? app->windows()[1].get() : nullptr;
}

} // namespace

PromptViewController::PromptViewController(std::string interfaceName) : ViewController(std::move(interfaceName)) {}

void PromptViewController::viewDidAppear(bool) {
    if (!kit::onPad()) return;
    if (Window* second = secondWindow()) second->setHidden(false);
}

void PromptViewController::addBackButton() {
    std::string title = localized(flowControl_ ? "Back" : "Cancel");
    navigationItem().setLeftBarButtonItem(
        BarButtonItem::titled(title, BarButtonStyle::Done, [this](BarButtonItem&) { back(); }));
}

void PromptViewController::addDoneToolbar(const std::string& done, std::function<void()> save) {
    if (kit::onPad()) return;
    auto bar = std::make_shared<Toolbar>(Rect(0, 0, 320, 50));
    bar->setItems(
        {BarButtonItem::flexibleSpace(),
         BarButtonItem::titled(done, BarButtonStyle::Done, [save = std::move(save)](BarButtonItem&) { save(); })});
    input().setInputAccessoryView(bar);
}

void PromptViewController::endEditing() {
    if (!kit::onPad()) return;
    input().resignFirstResponder();
    if (Window* second = secondWindow()) second->setHidden(true);
}

void PromptViewController::answer(const std::optional<std::string>& value) {
    auto keep = shared_from_this(); // the observer may close this screen
    if (observer_) observer_(value, param_);
    if (flowControl_) FlowControl::moveOn(*this, flowControl_.get(), useAnimation_);
}

void PromptViewController::back() {
    auto keep = shared_from_this();
    endEditing();
    if (observer_) observer_(std::nullopt, param_);
    if (flowControl_) FlowControl::stepBack(*this, flowControl_.get(), useAnimation_);
}

} // namespace tavlo::screens
