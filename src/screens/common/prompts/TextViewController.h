#pragma once

#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextView.h"
#include "screens/common/prompts/PromptViewController.h"

#include <optional>
#include <string>

namespace tavlo::screens {

// Asks for a text (an order name, a comment, an e-mail address) and hands it to the opener (see
// PromptViewController). With a `maxLength` the screen shows the limit and keeps the text to it.
class TextViewController : public PromptViewController, public ui::TextViewDelegate {
public:
    static constexpr const char* kInterfaceName = "TextView";

    TextViewController();
    ~TextViewController() override;

    // The starting text; after a save, the text handed back.
    const std::optional<std::string>& text() const { return text_; }
    void setText(std::optional<std::string> text) { text_ = std::move(text); }
    ui::KeyboardType keyboardType() const { return keyboardType_; }
    void setKeyboardType(ui::KeyboardType type) { keyboardType_ = type; }
    // Characters at most; 0 sets no limit and shows no counter.
    int maxLength() const { return maxLength_; }
    void setMaxLength(int length) { maxLength_ = length; }

    // Outlets, connected by the interface.
    ui::TextView* textView() const { return outlet<ui::TextView>("textView"); }
    ui::Label* maxLabel() const { return outlet<ui::Label>("maxLabel"); }
    ui::Button* btnDone() const { return outlet<ui::Button>("btnDone"); }
    // The save button's title (kept until the view is loaded).
    void setButtonText(const std::string& title);

    // Save: the text view's text goes to the observer.
    void saveText();
    // The Done button above the phone's keyboard: saves.
    void done() { saveText(); }

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void textViewDidChange(ui::TextView& view) override;

protected:
    ui::View& input() override { return *textView(); }

private:
    std::optional<std::string> text_;
    ui::KeyboardType keyboardType_ = ui::KeyboardType::Default;
    int maxLength_ = 0;
    std::optional<std::string> buttonText_;
};

} // namespace tavlo::screens
