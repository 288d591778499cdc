#include "platform/ui/TableViewCell.h"

#include "platform/ui/TableView.h"

namespace tavlo::ui {

namespace {

constexpr double kInset = 15;

} // namespace

double TableViewCell::accessoryWidth(AccessoryType type) {
    switch (type) {
    case AccessoryType::None: return 0;
    case AccessoryType::DetailDisclosureButton: return 44;
    default: return 33;
    }
}

TableViewCell::TableViewCell(TableViewCellStyle style, std::string reuseIdentifier, Rect frame)
    : View(frame), style_(style), reuseIdentifier_(std::move(reuseIdentifier)), content_(std::make_shared<View>()),
      textLabel_(std::make_shared<Label>()) {
    setBackgroundColor(Color::white());
    addSubview(content_);
    content_->addSubview(textLabel_);
    textLabel_->setFont(Font::boldSystem(17));
    if (style != TableViewCellStyle::Default) {
        detailLabel_ = std::make_shared<Label>();
        detailLabel_->setFont(Font::system(style == TableViewCellStyle::Subtitle ? 14 : 17));
        if (style == TableViewCellStyle::Value1) {
            detailLabel_->setTextAlignment(TextAlignment::Right);
            detailLabel_->setTextColor(Color(0.22, 0.33, 0.53));
        }
        content_->addSubview(detailLabel_);
    }
    layoutSubviews();
}

void TableViewCell::setAccessoryType(AccessoryType type) {
    accessory_ = type;
    setNeedsLayout();
}

void TableViewCell::setAccessoryView(std::shared_ptr<View> view) {
    if (accessoryView_) accessoryView_->removeFromSuperview();
    accessoryView_ = std::move(view);
    if (accessoryView_) addSubview(accessoryView_);
    setNeedsLayout();
}

void TableViewCell::setSelected(bool selected, bool) {
    selected_ = selected;
    setNeedsDisplay();
}

void TableViewCell::setHighlighted(bool highlighted, bool) {
    highlighted_ = highlighted;
    setNeedsDisplay();
}

void TableViewCell::setEditing(bool editing, bool) {
    if (editing == editing_) return;
    uint32_t next = editing ? (state_ | CellState::ShowingEditControl) : (state_ & ~CellState::ShowingEditControl);
    transitionTo(next);
    editing_ = editing;
    setNeedsLayout();
}

void TableViewCell::setDeleteConfirmationShown(bool shown) {
    transitionTo(shown ? (state_ | CellState::ShowingDeleteConfirmation)
                       : (state_ & ~CellState::ShowingDeleteConfirmation));
}

void TableViewCell::transitionTo(uint32_t state) {
    if (state == state_) return;
    willTransitionToState(state);
    state_ = state;
}

TableView* TableViewCell::tableView() const {
    for (View* v = superview(); v; v = v->superview())
        if (auto* table = dynamic_cast<TableView*>(v)) return table;
    return nullptr;
}

void TableViewCell::layoutSubviews() {
    Rect b = bounds();
    double right = accessoryView_ ? accessoryView_->frame().width() : accessoryWidth(accessory_);
    double left = editing_ ? kEditingIndent : 0;
    content_->setFrame({left, 0, std::max(0.0, b.width() - right - left), b.height()});
    if (accessoryView_) {
        Rect f = accessoryView_->frame();
        accessoryView_->setFrame({b.width() - f.width(), (b.height() - f.height()) / 2, f.width(), f.height()});
    }
    Rect c = content_->bounds();
    double width = std::max(0.0, c.width() - 2 * kInset);
    switch (style_) {
    case TableViewCellStyle::Default: textLabel_->setFrame({kInset, 0, width, c.height()}); break;
    case TableViewCellStyle::Subtitle:
        textLabel_->setFrame({kInset, 0, width, c.height() * 0.6});
        detailLabel_->setFrame({kInset, c.height() * 0.6, width, c.height() * 0.4});
        break;
    case TableViewCellStyle::Value1:
    case TableViewCellStyle::Value2:
        textLabel_->setFrame({kInset, 0, width / 2, c.height()});
        detailLabel_->setFrame({kInset + width / 2, 0, width / 2, c.height()});
        break;
    }
}

} // namespace tavlo::ui
