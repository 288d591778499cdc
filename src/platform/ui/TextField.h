#pragma once

#include "platform/ui/Control.h"
#include "platform/ui/TextInput.h"

#include <optional>
#include <string>

namespace tavlo::ui {

enum class BorderStyle { None, Line, Bezel, RoundedRect };
enum class ClearButtonMode { Never, WhileEditing, UnlessEditing, Always };

class TextField;

// Every answer defaults to yes and every notice to nothing.
class TextFieldDelegate {
public:
    virtual ~TextFieldDelegate() = default;
    virtual bool textFieldShouldBeginEditing(TextField&) { return true; }
    virtual void textFieldDidBeginEditing(TextField&) {}
    virtual bool textFieldShouldEndEditing(TextField&) { return true; }
    virtual void textFieldDidEndEditing(TextField&) {}
    virtual bool textFieldShouldChangeCharacters(TextField&, TextRange, const std::string&) { return true; }
    virtual bool textFieldShouldClear(TextField&) { return true; }
    virtual bool textFieldShouldReturn(TextField&) { return true; }
};

// A one-line text entry. Its delegate is not owned.
class TextField : public Control, public TextInput {
public:
    using Control::Control;

    void setText(std::string text) {
        assignText(std::move(text));
        setNeedsDisplay();
    }
    const std::optional<std::string>& placeholder() const { return placeholder_; }
    void setPlaceholder(std::optional<std::string> p) { placeholder_ = std::move(p); }
    bool isSecureTextEntry() const { return secure_; }
    void setSecureTextEntry(bool secure) { secure_ = secure; }
    BorderStyle borderStyle() const { return border_; }
    void setBorderStyle(BorderStyle b) { border_ = b; }
    ClearButtonMode clearButtonMode() const { return clearMode_; }
    void setClearButtonMode(ClearButtonMode m) { clearMode_ = m; }
    TextFieldDelegate* delegate() const { return delegate_; }
    void setDelegate(TextFieldDelegate* delegate) { delegate_ = delegate; }

    bool isEditing() const { return isFirstResponder(); }
    // The clear button: empties the field when the delegate agrees.
    void clearText();
    // The return key: asks the delegate, then sends EditingDidEndOnExit.
    void pressReturn();

    bool canBecomeFirstResponder() const override { return isEnabled(); }
    std::optional<std::string> displayedText() const override { return text(); }

protected:
    bool shouldChangeText(TextRange range, const std::string& replacement) override;
    void textDidChange() override;
    bool shouldBecomeFirstResponder() override;
    void didBecomeFirstResponder() override;
    bool shouldResignFirstResponder() override;
    void didResignFirstResponder() override;

private:
    std::optional<std::string> placeholder_;
    bool secure_ = false;
    BorderStyle border_ = BorderStyle::None;
    ClearButtonMode clearMode_ = ClearButtonMode::Never;
    TextFieldDelegate* delegate_ = nullptr;
};

} // namespace tavlo::ui
