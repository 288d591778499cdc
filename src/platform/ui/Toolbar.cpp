#include "platform/ui/Toolbar.h"

namespace tavlo::ui {

namespace {

constexpr double kMargin = 12;

double itemWidth(const BarButtonItem& item) {
    if (item.customView()) return item.customView()->frame().width();
    if (item.systemItem() == SystemItem::FixedSpace) return item.width();
    if (item.isSpace()) return 0;
    if (auto title = item.displayTitle()) return Toolbar::titleFont().measure(*title).width + 2 * kMargin;
    return 44;
}

} // namespace

void Toolbar::setItems(Items items, bool) {
    for (auto& item : items_)
        if (item->customView() && item->customView()->superview() == this) item->customView()->removeFromSuperview();
    items_ = std::move(items);
    for (auto& item : items_)
        if (item->customView()) addSubview(item->customView());
    setNeedsLayout();
}

std::vector<Rect> Toolbar::itemFrames() const {
    double used = kMargin, flexible = 0;
    for (auto& item : items_) {
        used += itemWidth(*item);
        if (item->systemItem() == SystemItem::FlexibleSpace) ++flexible;
    }
    double share = flexible > 0 ? std::max(0.0, bounds().width() - used - kMargin) / flexible : 0;
    double x = kMargin;
    std::vector<Rect> frames;
    for (auto& item : items_) {
        double w = item->systemItem() == SystemItem::FlexibleSpace ? share : itemWidth(*item);
        frames.push_back({x, 0, w, bounds().height()});
        x += w;
    }
    return frames;
}

void Toolbar::layoutSubviews() {
    std::vector<Rect> frames = itemFrames();
    for (size_t i = 0; i < items_.size(); ++i) {
        if (auto& view = items_[i]->customView()) {
            Rect f = view->frame();
            view->setFrame({frames[i].x(), (bounds().height() - f.height()) / 2, f.width(), f.height()});
        }
    }
}

} // namespace tavlo::ui
