#pragma once

#include "platform/ui/TextInput.h"
#include "platform/ui/View.h"

#include <optional>
#include <string>

namespace tavlo::ui {

class SearchBar;

class SearchBarDelegate {
public:
    virtual ~SearchBarDelegate() = default;
    virtual void searchBarTextDidChange(SearchBar&, const std::string&) {}
    virtual void searchBarSearchButtonClicked(SearchBar&) {}
};

// A search field; each typed change and the search key reach the delegate (not owned).
class SearchBar : public View, public TextInput {
public:
    using View::View;

    void setText(std::string text) { assignText(std::move(text)); }
    const std::optional<std::string>& placeholder() const { return placeholder_; }
    void setPlaceholder(std::optional<std::string> p) { placeholder_ = std::move(p); }
    SearchBarDelegate* delegate() const { return delegate_; }
    void setDelegate(SearchBarDelegate* delegate) { delegate_ = delegate; }
    void clickSearchButton();

    bool canBecomeFirstResponder() const override { return true; }
    std::optional<std::string> displayedText() const override { return text(); }

protected:
    void textDidChange() override;

private:
    std::optional<std::string> placeholder_;
    SearchBarDelegate* delegate_ = nullptr;
};

} // namespace tavlo::ui
