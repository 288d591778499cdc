#pragma once

#include "platform/ui/TextField.h"
#include "screens/common/prompts/PromptViewController.h"

#include <optional>
#include <string>
#include <string_view>

namespace tavlo::screens {

// Asks for an amount of money (cents entry: each digit typed moves in from the right, "1", "2",
// "3" show $0.01, $0.12, $1.23) or for a plain number (a quantity, a seat count, a percentage),
// and hands the text shown to the opener (see PromptViewController). A minimum, when given, must
// be exceeded; an empty field may be refused.
class AmountViewController : public PromptViewController, public ui::TextFieldDelegate {
public:
    static constexpr const char* kInterfaceName = "AmountView";

    AmountViewController();
    ~AmountViewController() override;

    // The starting text of the field; the answer is read from the field.
    const std::optional<std::string>& amount() const { return amount_; }
    void setAmount(std::optional<std::string> amount) { amount_ = std::move(amount); }
    // When set, the amount must be strictly greater (both read as money text).
    const std::optional<std::string>& minAmount() const { return minAmount_; }
    void setMinAmount(std::optional<std::string> amount) { minAmount_ = std::move(amount); }
    // 0: plain entry; 1 or more: cents entry, shown with two decimals whatever the number.
    int decimals() const { return decimals_; }
    void setDecimals(int decimals) { decimals_ = decimals; }
    // An empty field may be saved (yes unless the opener says otherwise).
    bool allowNothing() const { return allowNothing_; }
    void setAllowNothing(bool allow) { allowNothing_ = allow; }
    // The back button exists (yes unless the opener says otherwise): without it the user must save.
    bool allowCancel() const { return allowCancel_; }
    void setAllowCancel(bool allow) { allowCancel_ = allow; }

    // Outlet, connected by the interface.
    ui::TextField* amountView() const { return outlet<ui::TextField>("amountView"); }

    // Save: checks the field, then hands its text, as shown, to the observer.
    void saveAmount();
    // The Done button above the phone's keyboard: saves.
    void done() { saveAmount(); }

    // Cents entry: the money text that an edit of `text` (the range replaced by `typed`) leads
    // to; none when the edit must be refused, because what it leaves is not a number of cents or
    // no longer fits in 32 bits.
    static std::optional<std::string> centsAfterEdit(std::string_view text, ui::TextRange range,
                                                     std::string_view typed);

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    bool textFieldShouldChangeCharacters(ui::TextField& field, ui::TextRange range, const std::string& typed) override;
    bool textFieldShouldReturn(ui::TextField& field) override;

protected:
    ui::View& input() override { return *amountView(); }

private:
    std::optional<std::string> amount_;
    std::optional<std::string> minAmount_;
    int decimals_ = 0;
    bool allowNothing_ = true;
    bool allowCancel_ = true;
};

} // namespace tavlo::screens
