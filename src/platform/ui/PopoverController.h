#pragma once

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/ViewController.h"

#include <memory>

namespace tavlo::ui {

// A controller shown in a small panel above the screen, pointing at a bar item.
class PopoverController {
public:
    explicit PopoverController(std::shared_ptr<ViewController> content) : content_(std::move(content)) {}
    ~PopoverController();

    const std::shared_ptr<ViewController>& contentViewController() const { return content_; }
    bool isPopoverVisible() const { return visible_; }
    void presentFromBarButtonItem(const BarButtonItem& item, bool animated);
    void dismiss(bool animated);
    // The item the popover points at while shown (compared, never followed).
    const BarButtonItem* anchor() const { return anchor_; }

private:
    std::shared_ptr<ViewController> content_;
    const BarButtonItem* anchor_ = nullptr;
    bool visible_ = false;
};

} // namespace tavlo::ui
