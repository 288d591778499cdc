#include "screens/customers/LabelValueCellView.h"

#include "platform/foundation/Text.h"
#include "platform/ui/Label.h"

namespace tavlo::screens {

using namespace ui;

namespace {

constexpr double kLabelWidth = 100;

} // namespace

LabelValueCellView::LabelValueCellView(TableViewCellStyle style, std::string reuseIdentifier, bool multiLine,
                                       Rect bounds)
    : TableViewCell(style, std::move(reuseIdentifier), bounds), multiLine_(multiLine) {
    setSelectionStyle(SelectionStyle::None);
    const double height = bounds.height();
    label_ = std::make_shared<Label>(Rect(8, 10, kLabelWidth - 12, 20));
    label_->setFont(Font::boldSystem(14));
    label_->setTextColor(Color(0.2, 0.3, 0.6));
    label_->setTextAlignment(TextAlignment::Right);
    label_->setBackgroundColor(Color::clear());
    label_->setAdjustsFontSizeToFitWidth(true);
    contentView().addSubview(label_);
    const Rect valueFrame(kLabelWidth + 4, multiLine ? 6 : 9, bounds.width() - kLabelWidth - 14,
                          multiLine ? height - 12 : 24);
    if (multiLine) {
        textView_ = std::make_shared<TextView>(valueFrame);
        textView_->setFont(Font::system(16));
        textView_->setEditable(false);
        textView_->setDelegate(this);
        textView_->setAutoresizingMask(Autoresizing::FlexibleWidth);
        contentView().addSubview(textView_);
    } else {
        field_ = std::make_shared<TextField>(valueFrame);
        field_->setFont(Font::system(16));
        field_->setEnabled(false);
        field_->setDelegate(this);
        field_->setAutoresizingMask(Autoresizing::FlexibleWidth);
        contentView().addSubview(field_);
    }
}

std::string LabelValueCellView::valueText() const { return field_ ? field_->text() : textView_->text(); }

void LabelValueCellView::setValueText(const std::optional<std::string>& text) {
    if (field_) field_->setText(text.value_or(""));
    else textView_->setText(text.value_or(""));
}

void LabelValueCellView::setPlaceHolder(const std::string& placeholder) {
    if (field_) field_->setPlaceholder(placeholder);
}

void LabelValueCellView::setKeyboard(KeyboardType type) {
    if (field_) field_->setKeyboardType(type);
}

void LabelValueCellView::willTransitionToState(uint32_t state) {
    const bool editable = (state & CellState::ShowingEditControl) != 0;
    if (field_) field_->setEnabled(editable);
    else textView_->setEditable(editable);
}

bool LabelValueCellView::acceptsChange(std::string& text, int maxLength, TextRange range, const std::string&) {
    // No limit below 1; replacing or deleting is always taken.
    if (maxLength <= 0 || range.length > 0) return true;
    // The limit counts characters, as a person does: an accented letter is one.
    const size_t limit = static_cast<size_t>(maxLength);
    if (characterCount(text) < limit) return true;
    text = characterPrefix(text, limit);
    return false;
}

bool LabelValueCellView::textFieldShouldChangeCharacters(TextField& field, TextRange range, const std::string& typed) {
    std::string text = field.text();
    if (acceptsChange(text, maxLength_, range, typed)) return true;
    field.setText(text);
    return false;
}

void LabelValueCellView::textFieldDidEndEditing(TextField&) {
    if (delegate_) delegate_->valueDidEndEditing(*this);
}

void LabelValueCellView::textViewDidEndEditing(TextView&) {
    if (delegate_) delegate_->valueDidEndEditing(*this);
}

} // namespace tavlo::screens
