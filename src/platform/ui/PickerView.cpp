#include "platform/ui/PickerView.h"

#include <algorithm>

namespace tavlo::ui {

int PickerView::numberOfComponents() { return dataSource_ ? std::max(0, dataSource_->numberOfComponents(*this)) : 0; }

int PickerView::numberOfRows(int component) {
    if (!dataSource_ || component < 0 || component >= numberOfComponents()) return 0;
    return std::max(0, dataSource_->numberOfRows(*this, component));
}

std::optional<std::string> PickerView::titleForRow(int row, int component) {
    if (!delegate_ || row < 0 || row >= numberOfRows(component)) return std::nullopt;
    return delegate_->titleForRow(*this, row, component);
}

int PickerView::selectedRow(int component) {
    int rows = numberOfRows(component);
    if (rows == 0) return -1;
    int row = component < static_cast<int>(selected_.size()) ? selected_[component] : 0;
    return std::clamp(row, 0, rows - 1);
}

void PickerView::selectRow(int row, int component, bool) {
    if (row < 0 || row >= numberOfRows(component)) return;
    if (component >= static_cast<int>(selected_.size())) selected_.resize(component + 1, 0);
    selected_[component] = row;
    setNeedsDisplay();
}

void PickerView::reloadAllComponents() { setNeedsDisplay(); }

void PickerView::pickRow(int row, int component) {
    if (row < 0 || row >= numberOfRows(component)) return;
    selectRow(row, component);
    if (delegate_) delegate_->didSelectRow(*this, row, component);
}

} // namespace tavlo::ui
