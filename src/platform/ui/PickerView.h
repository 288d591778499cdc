#pragma once

#include "platform/ui/View.h"

#include <optional>
#include <string>
#include <vector>

namespace tavlo::ui {

class PickerView;

class PickerViewDataSource {
public:
    virtual ~PickerViewDataSource() = default;
    virtual int numberOfComponents(PickerView&) = 0;
    virtual int numberOfRows(PickerView&, int component) = 0;
};

class PickerViewDelegate {
public:
    virtual ~PickerViewDelegate() = default;
    virtual std::optional<std::string> titleForRow(PickerView&, int /*row*/, int /*component*/) { return std::nullopt; }
    virtual void didSelectRow(PickerView&, int /*row*/, int /*component*/) {}
};

// Spinning wheels of rows. Data source and delegate are not owned.
class PickerView : public View {
public:
    using View::View;

    void setDataSource(PickerViewDataSource* dataSource) { dataSource_ = dataSource; }
    PickerViewDataSource* dataSource() const { return dataSource_; }
    void setDelegate(PickerViewDelegate* delegate) { delegate_ = delegate; }
    PickerViewDelegate* delegate() const { return delegate_; }
    bool showsSelectionIndicator() const { return indicator_; }
    void setShowsSelectionIndicator(bool shows) { indicator_ = shows; }

    int numberOfComponents();
    int numberOfRows(int component);
    std::optional<std::string> titleForRow(int row, int component);
    // -1 when the wheel has no rows.
    int selectedRow(int component);
    // Set by the program: the delegate is not told.
    void selectRow(int row, int component, bool animated = false);
    void reloadAllComponents();

    // A person turns a wheel to a row: selected, then the delegate is told.
    void pickRow(int row, int component);

private:
    PickerViewDataSource* dataSource_ = nullptr;
    PickerViewDelegate* delegate_ = nullptr;
    bool indicator_ = false;
    std::vector<int> selected_;
};

} // namespace tavlo::ui
