// The table layout's area picker: the wheel of areas behind the toolbar's area button.
#include "screens/layout/TableLayoutViewController.h"

namespace tavlo::screens {

using namespace ui;

void TableLayoutViewController::setupPicker() {
    picker_->setDataSource(this);
    picker_->setDelegate(this);
    picker_->reloadAllComponents();
    const std::optional<Area>& shown = planView_->area();
    for (size_t row = 0; shown && row < areas_.size(); ++row)
        if (areas_[row].areaId() == shown->areaId()) picker_->selectRow(static_cast<int>(row), 0, true);
}

void TableLayoutViewController::someButtonTouched() { pickerField_->becomeFirstResponder(); }

void TableLayoutViewController::closePicker() { pickerField_->resignFirstResponder(); }

int TableLayoutViewController::numberOfRows(PickerView&, int) { return static_cast<int>(areas_.size()); }

std::optional<std::string> TableLayoutViewController::titleForRow(PickerView&, int row, int) {
    if (row < 0 || row >= static_cast<int>(areas_.size())) return std::nullopt;
    return areas_[row].name();
}

void TableLayoutViewController::didSelectRow(PickerView&, int row, int) {
    if (row >= 0 && row < static_cast<int>(areas_.size())) showArea(areas_[row]);
    closePicker();
}

} // namespace tavlo::screens
