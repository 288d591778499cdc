#include "platform/ui/Application.h"

#include "platform/foundation/Error.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/ViewController.h"

#include <algorithm>
#include <mutex>

namespace tavlo::ui {

namespace {

std::mutex installedMutex;
std::shared_ptr<Application> installed;

} // namespace

Application::Application(DeviceIdiom idiom)
    : device_(idiom), orientation_(static_cast<InterfaceOrientation>(static_cast<int>(device_.orientation()))),
      orientationObserver_(Device::kOrientationDidChangeNotification, &device_,
                           [this](const Notification&) { updateInterfaceOrientation(); }) {
    windows_.push_back(std::make_shared<Window>(device_.screenBounds(orientation_)));
}

Application::~Application() = default;

Application& Application::getInstance() {
    Application* app = current();
    if (!app) throw InconsistencyError::notInitialised("Application", "getInstance");
    return *app;
}

Application* Application::current() {
    std::lock_guard lock(installedMutex);
    return installed.get();
}

void Application::install(std::shared_ptr<Application> application) {
    std::shared_ptr<Application> previous;
    std::lock_guard lock(installedMutex);
    previous = std::move(installed); // released after the lock, outside any callback of ours
    installed = std::move(application);
}

std::shared_ptr<Window> Application::addWindow() {
    auto window = std::make_shared<Window>(device_.screenBounds(orientation_));
    windows_.push_back(window);
    return window;
}

void Application::launch() {
    if (delegate_) delegate_->applicationDidFinishLaunching(*this);
}

void Application::terminate() {
    if (delegate_) delegate_->applicationWillTerminate(*this);
}

uint32_t Application::allowedOrientations(Window& window) const {
    std::optional<uint32_t> fromDelegate =
        delegate_ ? delegate_->supportedInterfaceOrientations(const_cast<Application&>(*this), window) : std::nullopt;
    return fromDelegate.value_or(OrientationMask::All);
}

void Application::updateInterfaceOrientation() {
    Window& window = keyWindow_ ? *keyWindow_ : this->window();
    ViewController* front = window.rootViewController();
    while (front && front->presentedViewController()) front = front->presentedViewController();
    uint32_t allowed =
        allowedOrientations(window) & (front ? front->supportedInterfaceOrientations() : OrientationMask::All);
    if (allowed == 0) return;

    InterfaceOrientation target = orientation_;
    int held = static_cast<int>(device_.orientation());
    bool canTurn = !front || front->shouldAutorotate();
    if (canTurn && held >= 1 && held <= 4 && (allowed & OrientationMask::of(static_cast<InterfaceOrientation>(held))))
        target = static_cast<InterfaceOrientation>(held);
    if (!(allowed & OrientationMask::of(target))) {
        for (InterfaceOrientation o : {InterfaceOrientation::Portrait, InterfaceOrientation::LandscapeRight,
                                       InterfaceOrientation::LandscapeLeft, InterfaceOrientation::PortraitUpsideDown})
            if (allowed & OrientationMask::of(o)) {
                target = o;
                break;
            }
    }
    if (target == orientation_) return;
    InterfaceOrientation from = orientation_;
    orientation_ = target;
    for (auto& w : windows_) w->setFrame(device_.screenBounds(target));
    if (ViewController* root = window.rootViewController()) root->didRotate(from);
}

void Application::addAlert(std::shared_ptr<AlertView> alert) {
    if (!alert || std::find(alerts_.begin(), alerts_.end(), alert) != alerts_.end()) return;
    alerts_.push_back(std::move(alert));
}

void Application::removeAlert(const AlertView& alert) {
    std::erase_if(alerts_, [&](const auto& a) { return a.get() == &alert; });
}

void Application::addPopover(PopoverController* popover) {
    if (popover && std::find(popovers_.begin(), popovers_.end(), popover) == popovers_.end())
        popovers_.push_back(popover);
}

void Application::removePopover(const PopoverController* popover) { std::erase(popovers_, popover); }

void Application::requestMicrophonePermission(const std::function<void(bool)>& answer) const {
    if (answer) answer(microphone_);
}

void Application::releaseLater(std::shared_ptr<void> object) {
    if (!object) return;
    if (deferred_.empty()) {
        RunLoop::main().perform([] {
            if (Application* app = current()) app->releaseDeferred();
        });
    }
    deferred_.push_back(std::move(object));
}

void Application::releaseDeferred() {
    // Destructors may defer more; take the list first.
    while (!deferred_.empty()) {
        std::vector<std::shared_ptr<void>> batch = std::move(deferred_);
        deferred_.clear();
    }
}

void Application::layoutIfNeeded() {
    for (auto& w : windows_) w->layoutIfNeeded();
}

} // namespace tavlo::ui
