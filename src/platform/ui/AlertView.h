#pragma once

#include "platform/ui/TextField.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::ui {

class AlertView;

class AlertViewDelegate {
public:
    virtual ~AlertViewDelegate() = default;
    // A person pressed a button; 0 is the cancel button when there is one.
    virtual void alertViewClicked(AlertView& alert, int buttonIndex) = 0;
    virtual void alertViewDidDismiss(AlertView&, int /*buttonIndex*/) {}
};

enum class AlertViewStyle { Default, SecureTextInput, PlainTextInput };

// A message with buttons, shown over everything. The application keeps the shown alerts; the
// alert keeps its delegate alive until it is answered.
class AlertView : public std::enable_shared_from_this<AlertView> {
public:
    using ClickHandler = std::function<void(AlertView&, int buttonIndex)>;

    static std::shared_ptr<AlertView> make(std::optional<std::string> title, std::optional<std::string> message,
                                           std::optional<std::string> cancelButtonTitle,
                                           std::vector<std::string> otherButtonTitles = {});
    AlertView(std::optional<std::string> title, std::optional<std::string> message,
              std::optional<std::string> cancelButtonTitle, std::vector<std::string> otherButtonTitles);

    const std::optional<std::string>& title() const { return title_; }
    void setTitle(std::optional<std::string> title) { title_ = std::move(title); }
    const std::optional<std::string>& message() const { return message_; }
    void setMessage(std::optional<std::string> message) { message_ = std::move(message); }
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }

    // Returns the new button's index.
    int addButton(std::string title);
    int numberOfButtons() const { return static_cast<int>(buttons_.size()); }
    const std::vector<std::string>& buttonTitles() const { return buttons_; }
    std::string buttonTitle(int index) const;
    // -1 when there is none.
    int cancelButtonIndex() const { return hasCancel_ ? 0 : -1; }
    // The index of a title; -1 when no button has it.
    int buttonIndex(const std::string& title) const;

    void setDelegate(std::shared_ptr<AlertViewDelegate> delegate) { delegate_ = std::move(delegate); }
    AlertViewDelegate* delegate() const { return delegate_.get(); }
    // A delegate made of a function, for small answers.
    void setClickHandler(ClickHandler handler);

    AlertViewStyle style() const { return style_; }
    void setStyle(AlertViewStyle style);
    // The input fields of the text-input styles; null otherwise.
    TextField* textField(int index) const;

    void show();
    bool isVisible() const { return visible_; }
    // A person's press: the delegate hears it, then the alert goes.
    void click(int buttonIndex);
    // The program takes the alert down; the click is not reported.
    void dismiss(int buttonIndex, bool animated = false);

private:
    void takeDown(int buttonIndex);

    std::optional<std::string> title_;
    std::optional<std::string> message_;
    std::vector<std::string> buttons_;
    bool hasCancel_ = false;
    int tag_ = 0;
    std::shared_ptr<AlertViewDelegate> delegate_;
    AlertViewStyle style_ = AlertViewStyle::Default;
    std::vector<std::shared_ptr<TextField>> fields_;
    bool visible_ = false;
};

} // namespace tavlo::ui
