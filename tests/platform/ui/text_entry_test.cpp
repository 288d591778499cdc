#include "platform/foundation/Text.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Toolbar.h"
#include "support/ui/Harness.h"

#include <gtest/gtest.h>

using namespace tavlo::ui;
using tavlo::ui::test::Harness;
using tavlo::ui::test::HarnessError;

namespace {

// Money typed from the right, as on a cash register: every key is refused and the field rewritten.
class CentsEntry : public TextFieldDelegate {
public:
    bool textFieldShouldChangeCharacters(TextField& field, TextRange range, const std::string& typed) override {
        std::string digits;
        for (char c : replacingCharacters(field.text(), range, typed))
            if (c >= '0' && c <= '9') digits += c;
        long cents = digits.empty() ? 0 : std::stol(digits);
        char text[32];
        std::snprintf(text, sizeof text, "%ld.%02ld", cents / 100, cents % 100);
        field.setText(text);
        return false;
    }
    bool textFieldShouldBeginEditing(TextField&) override { return allowed; }
    bool allowed = true;
};

// A screen with one field, one text view and a limit of 5 characters on the text view.
class Form : public ViewController, public TextViewDelegate {
public:
    std::shared_ptr<TextField> amount = std::make_shared<TextField>(Rect(10, 10, 200, 30));
    std::shared_ptr<TextView> comment = std::make_shared<TextView>(Rect(10, 50, 200, 100));
    void viewDidLoad() override {
        view()->addSubview(amount);
        view()->addSubview(comment);
        comment->setDelegate(this);
    }
    void textViewDidChange(TextView& v) override {
        if (tavlo::characterCount(v.text()) > 5) v.setText(v.text().substr(0, v.text().size() - 1));
    }
};

} // namespace

TEST(TextEntry, TypingThroughADelegateThatRewritesEndsWithTheRewrittenText) {
    Harness h;
    auto form = std::make_shared<Form>();
    CentsEntry cents;
    form->amount->setDelegate(&cents);
    h.show(form);

    struct Step {
        std::string keys;
        int backspaces;
        std::string shown;
    };
    for (Step s :
         {Step{"1", 0, "0.01"}, Step{"2", 0, "0.12"}, Step{"5", 0, "1.25"}, Step{"", 1, "0.12"}, Step{"", 3, "0.00"}}) {
        if (!s.keys.empty()) h.type(*form->amount, s.keys);
        if (s.backspaces) h.backspace(*form->amount, s.backspaces);
        EXPECT_EQ(form->amount->text(), s.shown) << s.keys << " / " << s.backspaces;
    }
}

TEST(TextEntry, SelectedTextIsReplacedByTheFirstKey) {
    Harness h;
    auto form = std::make_shared<Form>();
    h.show(form);
    form->amount->setText("12.34");
    form->amount->selectAll();
    h.type(*form->amount, "7");
    EXPECT_EQ(form->amount->text(), "7");
    h.type(*form->amount, "é8");
    h.backspace(*form->amount);
    EXPECT_EQ(form->amount->text(), "7é") << "backspace takes a whole character";
}

TEST(TextEntry, ATextViewDelegateCanCutTheTextAfterEachChange) {
    Harness h;
    auto form = std::make_shared<Form>();
    h.show(form);
    h.type(*form->comment, "abcdefg");
    EXPECT_EQ(form->comment->text(), "abcde");
}

TEST(TextEntry, FirstResponderEventsAndRefusals) {
    Harness h;
    auto form = std::make_shared<Form>();
    CentsEntry cents;
    form->amount->setDelegate(&cents);
    std::vector<std::string> events;
    form->amount->addTarget([&](Control&) { events.push_back("begin"); }, ControlEvent::EditingDidBegin);
    form->amount->addTarget([&](Control&) { events.push_back("end"); }, ControlEvent::EditingDidEnd);
    int shown = 0, hidden = 0;
    tavlo::ScopedObserver show(View::keyboardDidShowNotification, nullptr,
                               [&](const tavlo::Notification&) { ++shown; });
    tavlo::ScopedObserver hide(View::keyboardWillHideNotification, nullptr,
                               [&](const tavlo::Notification&) { ++hidden; });
    h.show(form);

    h.type(*form->amount, "1");
    h.type(*form->comment, "x"); // moving between inputs keeps the keyboard
    form->comment->resignFirstResponder();
    EXPECT_EQ(events, (std::vector<std::string>{"begin", "end"}));
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(hidden, 1);

    cents.allowed = false;
    EXPECT_THROW(h.type(*form->amount, "2"), HarnessError);
    EXPECT_EQ(form->amount->text(), "0.01");
}

TEST(TextEntry, AnInputAccessoryToolbarIsReachableWhileTheFieldIsEditing) {
    Harness h;
    auto form = std::make_shared<Form>();
    int done = 0;
    auto bar = std::make_shared<Toolbar>(Rect(0, 0, 320, 50));
    bar->setItems(
        {BarButtonItem::flexibleSpace(), BarButtonItem::titled("Done", BarButtonStyle::Done, [&](BarButtonItem&) {
             ++done;
             form->amount->resignFirstResponder();
         })});
    form->amount->setInputAccessoryView(bar);
    h.show(form);
    EXPECT_THROW(h.tap("Done"), HarnessError) << "no keyboard yet";
    h.type(*form->amount, "3");
    h.tap("Done");
    EXPECT_EQ(done, 1);
    EXPECT_FALSE(form->amount->isFirstResponder());
}
