#include "platform/ui/Toolbar.h"

#include "platform/ui/Font.h"

namespace tavlo::ui {

namespace {

constexpr double margin = 12;

double itemWidth(const BarButtonItem& item) {
    if (item.customView()) return item.customView()->frame().width();
    if (item.systemItem() == SystemItem::FixedSpace) return item.width();
    if (item.isSpace()) return 0;
    if (auto title = item.displayTitle()) return Font::boldSystem(15).measure(*title).width + 2 * margin;
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

void Toolbar::layoutSubviews() {
    double used = margin, flexible = 0;
    for (auto& item : items_) {
        used += itemWidth(*item);
        if (item->systemItem() == SystemItem::FlexibleSpace) ++flexible;
    }
    double share = flexible > 0 ? std::max(0.0, bounds().width() - used - margin) / flexible : 0;
    double x = margin;
    for (auto& item : items_) {
        double w = item->systemItem() == SystemItem::FlexibleSpace ? share : itemWidth(*item);
        if (auto& view = item->customView()) {
            Rect f = view->frame();
            view->setFrame({x, (bounds().height() - f.height()) / 2, f.width(), f.height()});
        }
        x += w;
    }
}

} // namespace tavlo::ui
