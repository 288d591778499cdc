#pragma once

#include "platform/ui/TextInput.h"
#include "platform/ui/View.h"

namespace tavlo::ui {

class TextView;

class TextViewDelegate {
public:
    virtual ~TextViewDelegate() = default;
    virtual bool textViewShouldBeginEditing(TextView&) { return true; }
    virtual void textViewDidBeginEditing(TextView&) {}
    virtual bool textViewShouldChangeText(TextView&, TextRange, const std::string&) { return true; }
    virtual void textViewDidChange(TextView&) {}
    virtual void textViewDidEndEditing(TextView&) {}
};

// A multi-line text, editable or read-only. Its delegate is not owned.
class TextView : public View, public TextInput {
public:
    using View::View;

    void setText(std::string text) {
        assignText(std::move(text));
        setNeedsDisplay();
    }
    bool isEditable() const { return editable_; }
    void setEditable(bool editable) { editable_ = editable; }
    TextViewDelegate* delegate() const { return delegate_; }
    void setDelegate(TextViewDelegate* delegate) { delegate_ = delegate; }

    bool canBecomeFirstResponder() const override { return editable_; }
    std::optional<std::string> displayedText() const override { return text(); }

protected:
    bool shouldChangeText(TextRange range, const std::string& replacement) override;
    void textDidChange() override;
    bool shouldBecomeFirstResponder() override;
    void didBecomeFirstResponder() override;
    void didResignFirstResponder() override;

private:
    bool editable_ = true;
    TextViewDelegate* delegate_ = nullptr;
};

} // namespace tavlo::ui
