#pragma once

#include "platform/ui/TableViewCell.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"

#include <memory>
#include <optional>
#include <string>

namespace tavlo::screens {

// A row of the customer form: a label on the left and a value on the right, a one-line field or
// a multi-line text, that can be changed only while the table shows its editing control.
class LabelValueCellView : public ui::TableViewCell, public ui::TextFieldDelegate, public ui::TextViewDelegate {
public:
    // Told when editing of the value ends (the length limit stays in force).
    class Delegate {
    public:
        virtual ~Delegate() = default;
        virtual void valueDidEndEditing(LabelValueCellView& cell) = 0;
    };

    LabelValueCellView(ui::TableViewCellStyle style, std::string reuseIdentifier, bool multiLine, ui::Rect bounds);

    ui::Label& label() { return *label_; }
    bool multiLine() const { return multiLine_; }
    // The value's text, whichever kind the value is.
    std::string valueText() const;
    void setValueText(const std::optional<std::string>& text);
    ui::TextField* field() const { return field_.get(); }
    ui::TextView* textView() const { return textView_.get(); }
    int maxLength() const { return maxLength_; }
    // -1: no limit.
    void setMaxLength(int length) { maxLength_ = length; }
    void setDelegate(Delegate* delegate) { delegate_ = delegate; }
    // Both ignored for a multi-line value.
    void setPlaceHolder(const std::string& placeholder);
    void setKeyboard(ui::KeyboardType type);

    // Whether a change of `text` (the range replaced by `typed`) is taken under the limit; a
    // refused insertion cuts `text` to the limit.
    static bool acceptsChange(std::string& text, int maxLength, ui::TextRange range, const std::string& typed);

    void willTransitionToState(uint32_t state) override;
    bool textFieldShouldChangeCharacters(ui::TextField& field, ui::TextRange range, const std::string& typed) override;
    void textFieldDidEndEditing(ui::TextField& field) override;
    void textViewDidEndEditing(ui::TextView& view) override;

private:
    bool multiLine_;
    std::shared_ptr<ui::Label> label_;
    std::shared_ptr<ui::TextField> field_;
    std::shared_ptr<ui::TextView> textView_;
    int maxLength_ = -1;
    Delegate* delegate_ = nullptr;
};

} // namespace tavlo::screens
