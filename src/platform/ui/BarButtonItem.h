#pragma once

#include "platform/ui/View.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tavlo::ui {

enum class BarButtonStyle { Plain, Bordered, Done };

// The platform's stock bar items, numbered as the screens refer to them.
enum class SystemItem {
    Done = 0,
    Cancel = 1,
    Edit = 2,
    Save = 3,
    Add = 4,
    FlexibleSpace = 5,
    FixedSpace = 6,
    Compose = 7,
    Reply = 8,
    Action = 9,
    Organize = 10,
    Bookmarks = 11,
    Search = 12,
    Refresh = 13,
    Stop = 14,
    Camera = 15,
    Trash = 16,
    Play = 17,
    Pause = 18,
    Rewind = 19,
    FastForward = 20,
    Undo = 21,
    Redo = 22
};

// A button of a navigation bar or toolbar: a title, a stock item, a space or a custom view.
class BarButtonItem {
public:
    using Action = std::function<void(BarButtonItem&)>;

    static std::shared_ptr<BarButtonItem> titled(std::string title, BarButtonStyle style, Action action = {});
    static std::shared_ptr<BarButtonItem> system(SystemItem item, Action action = {});
    static std::shared_ptr<BarButtonItem> withCustomView(std::shared_ptr<View> view);
    static std::shared_ptr<BarButtonItem> flexibleSpace();
    static std::shared_ptr<BarButtonItem> fixedSpace(double width);

    const std::optional<std::string>& title() const { return title_; }
    void setTitle(std::optional<std::string> title) { title_ = std::move(title); }
    // The words a person reads: the title, or the stock item's own word (none for icons).
    std::optional<std::string> displayTitle() const;
    BarButtonStyle style() const { return style_; }
    void setStyle(BarButtonStyle style) { style_ = style; }
    const std::optional<SystemItem>& systemItem() const { return system_; }
    void setSystemItem(std::optional<SystemItem> item) { system_ = item; }
    bool isSpace() const { return system_ == SystemItem::FlexibleSpace || system_ == SystemItem::FixedSpace; }
    const std::shared_ptr<View>& customView() const { return customView_; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    double width() const { return width_; }
    void setWidth(double width) { width_ = width; }
    void setAction(Action action) { action_ = std::move(action); }
    bool hasAction() const { return static_cast<bool>(action_); }

    // A person's tap: runs the action when the item is enabled.
    void tap();

private:
    std::optional<std::string> title_;
    BarButtonStyle style_ = BarButtonStyle::Plain;
    std::optional<SystemItem> system_;
    std::shared_ptr<View> customView_;
    bool enabled_ = true;
    int tag_ = 0;
    double width_ = 0;
    Action action_;
};

} // namespace tavlo::ui
