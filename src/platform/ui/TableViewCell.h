#pragma once

#include "platform/ui/Label.h"
#include "platform/ui/View.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tavlo::ui {

class TableView;

enum class TableViewCellStyle { Default, Value1, Value2, Subtitle };
enum class AccessoryType { None, DisclosureIndicator, DetailDisclosureButton, Checkmark };
enum class SelectionStyle { None, Blue, Gray };

namespace CellState {
constexpr uint32_t ShowingEditControl = 1 << 0;
constexpr uint32_t ShowingDeleteConfirmation = 1 << 1;
} // namespace CellState

// One row of a table: a content view with a text label (and a detail label for the value
// styles), an accessory, and selected, highlighted and editing states.
class TableViewCell : public View {
public:
    TableViewCell(TableViewCellStyle style, std::string reuseIdentifier, Rect frame = {0, 0, 320, 44});

    // How far the content moves right while the cell shows its editing control.
    static constexpr double kEditingIndent = 38;
    // The room a standard accessory takes at the cell's right edge.
    static double accessoryWidth(AccessoryType type);

    TableViewCellStyle style() const { return style_; }
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    View& contentView() { return *content_; }
    Label& textLabel() { return *textLabel_; }
    // Null for the default style.
    Label* detailTextLabel() { return detailLabel_.get(); }

    AccessoryType accessoryType() const { return accessory_; }
    void setAccessoryType(AccessoryType type);
    const std::shared_ptr<View>& accessoryView() const { return accessoryView_; }
    void setAccessoryView(std::shared_ptr<View> view);
    SelectionStyle selectionStyle() const { return selectionStyle_; }
    void setSelectionStyle(SelectionStyle style) { selectionStyle_ = style; }

    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected, bool animated);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted, bool animated);
    bool isEditing() const { return editing_; }
    virtual void setEditing(bool editing, bool animated);
    // Called before the editing control (or the delete confirmation) comes or goes.
    virtual void willTransitionToState(uint32_t /*state*/) {}
    uint32_t cellState() const { return state_; }
    void setDeleteConfirmationShown(bool shown);

    // Called when the table hands the cell out again for another row.
    virtual void prepareForReuse() {}
    // The table the cell is a row of.
    TableView* tableView() const;

    void layoutSubviews() override;

private:
    void transitionTo(uint32_t state);

    TableViewCellStyle style_;
    std::string reuseIdentifier_;
    std::shared_ptr<View> content_;
    std::shared_ptr<Label> textLabel_;
    std::shared_ptr<Label> detailLabel_;
    AccessoryType accessory_ = AccessoryType::None;
    std::shared_ptr<View> accessoryView_;
    SelectionStyle selectionStyle_ = SelectionStyle::Blue;
    bool selected_ = false;
    bool highlighted_ = false;
    bool editing_ = false;
    uint32_t state_ = 0;
};

} // namespace tavlo::ui
