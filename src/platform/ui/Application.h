#pragma once

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Device.h"
#include "platform/ui/Orientation.h"
#include "platform/ui/Window.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::ui {

class AlertView;
class Application;
class PopoverController;

class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
    virtual void applicationDidFinishLaunching(Application&) {}
    virtual void applicationWillTerminate(Application&) {}
    // The orientations the application allows for a window; none: whatever the controllers allow.
    virtual std::optional<uint32_t> supportedInterfaceOrientations(Application&, Window&) { return std::nullopt; }
};

// The running application: its windows, the device and the interface orientation, the stack of
// shown alerts, and the few system switches the terminal uses. One is installed per process (or
// per test).
class Application {
public:
    explicit Application(DeviceIdiom idiom);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Throws InconsistencyError when none is installed.
    static Application& getInstance();
    static Application* current();
    // Makes this the application (null uninstalls).
    static void install(std::shared_ptr<Application> application);

    Device& device() { return device_; }
    const Device& device() const { return device_; }
    DeviceIdiom idiom() const { return device_.idiom(); }

    // The main window, made with the application; more may be added.
    Window& window() { return *windows_.front(); }
    const std::vector<std::shared_ptr<Window>>& windows() const { return windows_; }
    std::shared_ptr<Window> addWindow();
    Window* keyWindow() const { return keyWindow_; }
    void setKeyWindow(Window* window) { keyWindow_ = window; }

    void setDelegate(std::shared_ptr<ApplicationDelegate> delegate) { delegate_ = std::move(delegate); }
    ApplicationDelegate* delegate() const { return delegate_.get(); }
    void launch();
    void terminate();

    // The interface follows the device when the front controller allows it.
    InterfaceOrientation interfaceOrientation() const { return orientation_; }
    void updateInterfaceOrientation();

    // Alerts on screen, the front one last.
    const std::vector<std::shared_ptr<AlertView>>& alerts() const { return alerts_; }
    AlertView* frontAlert() const { return alerts_.empty() ? nullptr : alerts_.back().get(); }
    void addAlert(std::shared_ptr<AlertView> alert);
    void removeAlert(const AlertView& alert);

    // Popovers on screen, the front one last; each adds itself when presented and goes when dismissed.
    const std::vector<PopoverController*>& popovers() const { return popovers_; }
    void addPopover(PopoverController* popover);
    void removePopover(const PopoverController* popover);

    bool isIdleTimerDisabled() const { return idleTimerDisabled_; }
    void setIdleTimerDisabled(bool disabled) { idleTimerDisabled_ = disabled; }
    // The person's answer to the microphone question (yes unless a test says otherwise).
    void setMicrophonePermission(bool granted) { microphone_ = granted; }
    void requestMicrophonePermission(const std::function<void(bool)>& answer) const;
    // Pages handed to the system browser or map.
    void openURL(std::string url) { openedURLs_.push_back(std::move(url)); }
    const std::vector<std::string>& openedURLs() const { return openedURLs_; }

    // Runs the pending layout of every window.
    void layoutIfNeeded();

    // Keeps an object (a controller that just left the screen) until releaseDeferred, which the
    // main loop runs when it goes idle.
    void releaseLater(std::shared_ptr<void> object);
    void releaseDeferred();

private:
    uint32_t allowedOrientations(Window& window) const;

    Device device_;
    std::vector<std::shared_ptr<Window>> windows_;
    Window* keyWindow_ = nullptr;
    std::shared_ptr<ApplicationDelegate> delegate_;
    InterfaceOrientation orientation_;
    std::vector<std::shared_ptr<AlertView>> alerts_;
    std::vector<PopoverController*> popovers_;
    bool idleTimerDisabled_ = false;
    bool microphone_ = true;
    std::vector<std::string> openedURLs_;
    std::vector<std::shared_ptr<void>> deferred_;
    ScopedObserver orientationObserver_;
};

} // namespace tavlo::ui
