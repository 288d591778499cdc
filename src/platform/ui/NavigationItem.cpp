#include "platform/ui/NavigationItem.h"

namespace tavlo::ui {

void NavigationItem::setLeftBarButtonItem(std::shared_ptr<BarButtonItem> item, bool) { left_ = std::move(item); }

void NavigationItem::setRightBarButtonItem(std::shared_ptr<BarButtonItem> item, bool) { right_ = std::move(item); }

void NavigationItem::setHidesBackButton(bool hides, bool) { hidesBack_ = hides; }

} // namespace tavlo::ui
