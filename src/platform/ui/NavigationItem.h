#pragma once

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/View.h"

#include <memory>
#include <optional>
#include <string>

namespace tavlo::ui {

// What a controller shows in the navigation bar while it is on top.
class NavigationItem {
public:
    const std::optional<std::string>& title() const { return title_; }
    void setTitle(std::optional<std::string> title) { title_ = std::move(title); }
    const std::shared_ptr<View>& titleView() const { return titleView_; }
    void setTitleView(std::shared_ptr<View> view) { titleView_ = std::move(view); }
    const std::shared_ptr<BarButtonItem>& leftBarButtonItem() const { return left_; }
    void setLeftBarButtonItem(std::shared_ptr<BarButtonItem> item, bool animated = false);
    const std::shared_ptr<BarButtonItem>& rightBarButtonItem() const { return right_; }
    void setRightBarButtonItem(std::shared_ptr<BarButtonItem> item, bool animated = false);
    bool hidesBackButton() const { return hidesBack_; }
    void setHidesBackButton(bool hides, bool animated = false);
    // The back button that controllers pushed above this one show.
    const std::shared_ptr<BarButtonItem>& backBarButtonItem() const { return back_; }
    void setBackBarButtonItem(std::shared_ptr<BarButtonItem> item) { back_ = std::move(item); }

private:
    std::optional<std::string> title_;
    std::shared_ptr<View> titleView_;
    std::shared_ptr<BarButtonItem> left_;
    std::shared_ptr<BarButtonItem> right_;
    std::shared_ptr<BarButtonItem> back_;
    bool hidesBack_ = false;
};

} // namespace tavlo::ui
