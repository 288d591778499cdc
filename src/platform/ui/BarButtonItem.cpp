#include "platform/ui/BarButtonItem.h"

namespace tavlo::ui {

std::shared_ptr<BarButtonItem> BarButtonItem::titled(std::string title, BarButtonStyle style, Action action) {
    auto item = std::make_shared<BarButtonItem>();
    item->title_ = std::move(title);
    item->style_ = style;
    item->action_ = std::move(action);
    return item;
}

std::shared_ptr<BarButtonItem> BarButtonItem::system(SystemItem kind, Action action) {
    auto item = std::make_shared<BarButtonItem>();
    item->system_ = kind;
    item->action_ = std::move(action);
    if (kind == SystemItem::Done) item->style_ = BarButtonStyle::Done;
    return item;
}

std::shared_ptr<BarButtonItem> BarButtonItem::withCustomView(std::shared_ptr<View> view) {
    auto item = std::make_shared<BarButtonItem>();
    item->customView_ = std::move(view);
    return item;
}

std::shared_ptr<BarButtonItem> BarButtonItem::flexibleSpace() { return system(SystemItem::FlexibleSpace); }

std::shared_ptr<BarButtonItem> BarButtonItem::fixedSpace(double width) {
    auto item = system(SystemItem::FixedSpace);
    item->width_ = width;
    return item;
}

std::optional<std::string> BarButtonItem::displayTitle() const {
    if (title_) return title_;
    if (customView_) return customView_->displayedText();
    if (!system_) return std::nullopt;
    switch (*system_) {
    case SystemItem::Done: return "Done";
    case SystemItem::Cancel: return "Cancel";
    case SystemItem::Edit: return "Edit";
    case SystemItem::Save: return "Save";
    case SystemItem::Undo: return "Undo";
    case SystemItem::Redo: return "Redo";
    default: return std::nullopt;
    }
}

void BarButtonItem::tap() {
    if (enabled_ && action_) action_(*this);
}

} // namespace tavlo::ui
