#include "screens/common/prompts/TextViewController.h"

#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/ui/Font.h"

namespace tavlo::screens {

using namespace ui;

TextViewController::TextViewController() : PromptViewController(kInterfaceName) {}

TextViewController::~TextViewController() = default;

void TextViewController::setButtonText(const std::string& title) {
    buttonText_ = title;
    if (isViewLoaded()) btnDone()->setTitle(title);
}

void TextViewController::viewDidLoad() {
    addBackButton();
    if (buttonText_) btnDone()->setTitle(*buttonText_);
    if (maxLength_ != 0) {
        maxLabel()->setText(format("(%@ %ld)", localized("max"), maxLength_));
        maxLabel()->setHidden(false);
    }
    TextView& view = *textView();
    view.setKeyboardType(keyboardType_);
    view.setCornerRadius(5);
    view.setClipsToBounds(true);
    view.setText(text_.value_or(""));
    // This one title is the same in every language.
    addDoneToolbar("Done", [this] { done(); });
}

void TextViewController::viewDidAppear(bool animated) {
    PromptViewController::viewDidAppear(animated);
    textView()->becomeFirstResponder();
    textView()->setDelegate(this);
}

void TextViewController::textViewDidChange(TextView& view) {
    // A paste may bring in many characters at once: the text is cut to the limit, not shortened
    // by one.
    if (maxLength_ >= 1 && characterCount(view.text()) > static_cast<size_t>(maxLength_))
        view.setText(Utils::rpad(view.text(), ' ', static_cast<unsigned>(maxLength_)));
}

void TextViewController::saveText() {
    endEditing();
    text_ = textView()->text();
    answer(text_);
}

} // namespace tavlo::screens
