#include "platform/ui/AlertView.h"

#include "platform/ui/Application.h"

#include <algorithm>

namespace tavlo::ui {

namespace {

class FunctionAlertDelegate : public AlertViewDelegate {
public:
    explicit FunctionAlertDelegate(AlertView::ClickHandler handler) : handler_(std::move(handler)) {}
    void alertViewClicked(AlertView& alert, int index) override {
        if (handler_) handler_(alert, index);
    }

private:
    AlertView::ClickHandler handler_;
};

} // namespace

std::shared_ptr<AlertView> AlertView::make(std::optional<std::string> title, std::optional<std::string> message,
                                           std::optional<std::string> cancelButtonTitle,
                                           std::vector<std::string> otherButtonTitles) {
    return std::make_shared<AlertView>(std::move(title), std::move(message), std::move(cancelButtonTitle),
                                       std::move(otherButtonTitles));
}

AlertView::AlertView(std::optional<std::string> title, std::optional<std::string> message,
                     std::optional<std::string> cancelButtonTitle, std::vector<std::string> otherButtonTitles)
    : title_(std::move(title)), message_(std::move(message)) {
    if (cancelButtonTitle) {
        buttons_.push_back(std::move(*cancelButtonTitle));
        hasCancel_ = true;
    }
    for (auto& t : otherButtonTitles) buttons_.push_back(std::move(t));
}

int AlertView::addButton(std::string title) {
    buttons_.push_back(std::move(title));
    return numberOfButtons() - 1;
}

std::string AlertView::buttonTitle(int index) const {
    return index >= 0 && index < numberOfButtons() ? buttons_[index] : std::string();
}

int AlertView::buttonIndex(const std::string& title) const {
    auto it = std::find(buttons_.begin(), buttons_.end(), title);
    return it == buttons_.end() ? -1 : static_cast<int>(it - buttons_.begin());
}

void AlertView::setClickHandler(ClickHandler handler) {
    delegate_ = std::make_shared<FunctionAlertDelegate>(std::move(handler));
}

void AlertView::setStyle(AlertViewStyle style) {
    style_ = style;
    fields_.clear();
    if (style == AlertViewStyle::Default) return;
    auto field = std::make_shared<TextField>(Rect(0, 0, 260, 30));
    field->setBorderStyle(BorderStyle::RoundedRect);
    field->setSecureTextEntry(style == AlertViewStyle::SecureTextInput);
    fields_.push_back(field);
}

TextField* AlertView::textField(int index) const {
    return index >= 0 && index < static_cast<int>(fields_.size()) ? fields_[index].get() : nullptr;
}

void AlertView::show() {
    Application::getInstance().addAlert(shared_from_this());
    visible_ = true;
    if (!fields_.empty()) fields_.front()->becomeFirstResponder();
}

void AlertView::click(int buttonIndex) {
    if (!visible_ || buttonIndex < 0 || buttonIndex >= numberOfButtons()) return;
    std::shared_ptr<AlertView> keep = shared_from_this();
    std::shared_ptr<AlertViewDelegate> delegate = delegate_;
    if (delegate) delegate->alertViewClicked(*this, buttonIndex);
    takeDown(buttonIndex);
}

void AlertView::dismiss(int buttonIndex, bool) {
    if (!visible_) return;
    std::shared_ptr<AlertView> keep = shared_from_this();
    takeDown(buttonIndex);
}

void AlertView::takeDown(int buttonIndex) {
    visible_ = false;
    for (auto& field : fields_) field->resignFirstResponder();
    if (Application* app = Application::current()) app->removeAlert(*this);
    // The answered alert lets go of its delegate, which may own it in turn.
    std::shared_ptr<AlertViewDelegate> delegate = std::move(delegate_);
    if (delegate) delegate->alertViewDidDismiss(*this, buttonIndex);
}

} // namespace tavlo::ui
