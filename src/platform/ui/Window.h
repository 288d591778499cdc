#pragma once

#include "platform/ui/View.h"

#include <memory>

namespace tavlo::ui {

class ViewController;

// The root of a view tree on the screen: it shows its root controller's view and, above it, the
// views of controllers presented over it.
class Window : public View {
public:
    explicit Window(Rect frame = {});
    ~Window() override;

    ViewController* rootViewController() const { return root_.get(); }
    // The previous root disappears, the new one appears when the window is visible.
    void setRootViewController(std::shared_ptr<ViewController> root);
    void makeKeyAndVisible();
    bool isKeyWindow() const;

private:
    std::shared_ptr<ViewController> root_;
};

} // namespace tavlo::ui
