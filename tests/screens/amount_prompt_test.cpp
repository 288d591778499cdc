// The amount prompt: cents entry key by key (refusing what no longer fits 32 bits), plain entry,
// the minimum, an empty field, the opener's param, and its pictures.
#include "PromptHost.h"
#include "platform/ui/render/Snapshot.h"
#include "screens/common/prompts/AmountViewController.h"
#include "support/ui/Golden.h"

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::PromptHost;
using Answer = PromptHost::Answer;

class AmountPromptTest : public ::testing::Test {
protected:
    explicit AmountPromptTest(DeviceIdiom idiom = DeviceIdiom::Phone) : host(idiom) {}

    std::shared_ptr<AmountViewController> make(const std::string& title, int decimals,
                                               std::optional<std::string> amount = std::nullopt) {
        auto prompt = std::make_shared<AmountViewController>();
        prompt->setTitle(title);
        prompt->setDecimals(decimals);
        prompt->setAmount(std::move(amount));
        prompt->setObserver([this](const auto& value, const auto& param) { host.note(value, param); });
        return prompt;
    }
    void open(std::shared_ptr<AmountViewController> prompt) { host.open(std::move(prompt)); }
    TextField& field() { return host.h.outlet<TextField>("amountView"); }
    // What the field shows after each key.
    std::vector<std::string> typeKeys(const std::string& keys) {
        std::vector<std::string> shown;
        for (char key : keys) {
            host.h.type(field(), std::string(1, key));
            shown.push_back(field().text());
        }
        return shown;
    }
    std::optional<std::string> alertMessage() {
        return host.h.hasAlert() ? host.h.frontAlert().message() : std::nullopt;
    }

    PromptHost host;
};

TEST_F(AmountPromptTest, EachDigitMovesInFromTheRight) {
    open(make("Enter price", 2));
    EXPECT_EQ(typeKeys("123"), (std::vector<std::string>{"$0.01", "$0.12", "$1.23"}));
    host.h.backspace(field());
    EXPECT_EQ(field().text(), "$0.12");
    host.h.backspace(field(), 5);
    EXPECT_EQ(field().text(), "$0.00") << "the field never empties once edited";
}

TEST_F(AmountPromptTest, TheFirstKeyReplacesTheStartingAmount) {
    open(make("Price Modification", 2, std::string("$12.50")));
    EXPECT_TRUE(field().isFirstResponder());
    EXPECT_EQ(field().selectedRange(), (TextRange{0, 6}));
    EXPECT_EQ(typeKeys("7"), std::vector<std::string>{"$0.07"});
}

TEST_F(AmountPromptTest, AnEditThatNoLongerFitsThirtyTwoBitsIsRefused) {
    struct Case {
        std::string keys;
        std::string shown;
    };
    for (const Case& c : {Case{"2147483647", "$21474836.47"},      // the most that fits
                          Case{"2147483648", "$2147483.64"},       // one more: the last key is refused
                          Case{"123456789012", "$12345678.90"}}) { // the eleventh and twelfth refused
        open(make("Enter price", 2));
        typeKeys(c.keys);
        EXPECT_EQ(field().text(), c.shown) << c.keys;
        host.h.tap("Save");
        ASSERT_FALSE(host.answers.empty());
        EXPECT_EQ(host.answers.back().value, c.shown);
    }
}

TEST_F(AmountPromptTest, WhatIsNotADigitIsRefusedInCentsEntry) {
    open(make("Tip", 2));
    typeKeys("12");
    for (const char* keys : {"a", "-", " ", ".", "$"}) {
        host.h.type(field(), keys);
        EXPECT_EQ(field().text(), "$0.12") << keys;
    }
    // A pasted amount over the whole field reads as its cents.
    field().selectAll();
    field().insertText("5.00");
    EXPECT_EQ(field().text(), "$5.00");
}

TEST_F(AmountPromptTest, PlainEntryTakesTheKeysAsTyped) {
    open(make("Enter quantity", 0, std::string("1")));
    typeKeys("12");
    EXPECT_EQ(field().text(), "12");
    host.h.tap("Save");
    EXPECT_EQ(host.answers, (std::vector<Answer>{{"12", std::nullopt}}));
}

TEST_F(AmountPromptTest, AnAmountMustExceedTheMinimum) {
    struct Case {
        std::string keys;
        bool accepted;
    };
    for (const Case& c : {Case{"499", false}, Case{"500", false}, Case{"501", true}}) {
        host.answers.clear();
        auto prompt = make("Enter price", 2);
        prompt->setMinAmount(std::string("$5.00"));
        open(prompt);
        typeKeys(c.keys);
        host.h.tap("Save");
        if (c.accepted) {
            EXPECT_EQ(host.answers, (std::vector<Answer>{{"$5.01", std::nullopt}}));
            EXPECT_FALSE(host.h.hasAlert());
            continue;
        }
        EXPECT_TRUE(host.answers.empty()) << c.keys;
        ASSERT_TRUE(host.h.hasAlert());
        EXPECT_EQ(host.h.frontAlert().title(), "Alert!");
        EXPECT_EQ(alertMessage(), "The amount entered is too low, please reenter");
        host.h.clickAlert("Ok");
        EXPECT_TRUE(host.isOpen());
        host.opener->dismiss(false);
        host.h.runUntilIdle();
    }
}

TEST_F(AmountPromptTest, AnEmptyFieldIsRefusedOnlyWhenNothingIsNotAllowed) {
    for (bool allowNothing : {true, false}) {
        host.answers.clear();
        auto prompt = make("Enter seats", 0);
        prompt->setAllowNothing(allowNothing);
        open(prompt);
        host.h.tap("Save");
        if (allowNothing) {
            EXPECT_EQ(host.answers, (std::vector<Answer>{{std::string(), std::nullopt}}));
            continue;
        }
        EXPECT_TRUE(host.answers.empty());
        EXPECT_EQ(alertMessage(), "You must enter a value");
        host.h.clickAlert("Ok");
        typeKeys("4");
        host.h.tap("Save");
        EXPECT_EQ(host.answers, (std::vector<Answer>{{"4", std::nullopt}}));
    }
}

TEST_F(AmountPromptTest, WithoutCancelThereIsNoWayBack) {
    auto prompt = make("Enter percentage", 0, std::string("0"));
    prompt->setAllowCancel(false);
    open(prompt);
    EXPECT_EQ(host.h.visibleController().navigationItem().leftBarButtonItem(), nullptr);
}

TEST_F(AmountPromptTest, TheParamComesBackWithTheAmountAndWithCancel) {
    for (const char* button : {"Save", "Cancel"}) {
        host.answers.clear();
        auto prompt = make("Discount", 2);
        prompt->setParam(std::string("U-BOB"));
        open(prompt);
        typeKeys("250");
        host.h.tap(button);
        std::optional<std::string> expected;
        if (std::string(button) == "Save") expected = "$2.50";
        EXPECT_EQ(host.answers, (std::vector<Answer>{{expected, "U-BOB"}})) << button;
    }
}

TEST_F(AmountPromptTest, ThePhoneKeyboardsDoneSavesAndReturnOnlyEndsEditing) {
    open(make("Tip", 2));
    typeKeys("75");
    field().pressReturn();
    EXPECT_TRUE(host.answers.empty());
    EXPECT_FALSE(field().isFirstResponder());
    host.h.type(field(), "0");
    host.h.tap("Done");
    EXPECT_EQ(host.answers, (std::vector<Answer>{{"$7.50", std::nullopt}}));
}

class AmountPromptOnPad : public AmountPromptTest {
protected:
    AmountPromptOnPad() : AmountPromptTest(DeviceIdiom::Tablet) {}
};

TEST_F(AmountPromptOnPad, SaveIsTheOnlyWayToAnswer) {
    open(make("Enter price", 2));
    EXPECT_EQ(field().inputAccessoryView(), nullptr);
    typeKeys("995");
    host.h.tap("Save");
    EXPECT_EQ(host.answers, (std::vector<Answer>{{"$9.95", std::nullopt}}));
}

// Pictures: a price typed in, on the phone and on the pad; the minimum's alert on the phone.
TEST_F(AmountPromptTest, PictureOnThePhone) {
    open(make("Enter price", 2));
    typeKeys("123");
    EXPECT_TRUE(ui::test::matchesGolden(render::snapshot(host.h.window(), {320, 480}), "amount_prompt_phone"));
}

TEST_F(AmountPromptOnPad, PictureOnThePad) {
    open(make("Enter price", 2));
    typeKeys("123");
    EXPECT_TRUE(ui::test::matchesGolden(render::snapshot(host.h.window(), {1024, 768}), "amount_prompt_pad"));
}

TEST_F(AmountPromptTest, PictureOfTheMinimumsAlert) {
    auto prompt = make("Enter price", 2);
    prompt->setMinAmount(std::string("$5.00"));
    open(prompt);
    typeKeys("500");
    host.h.tap("Save");
    ASSERT_TRUE(host.h.hasAlert());
    ui::test::writeTestPicture(render::snapshot(host.h.window(), {320, 480}), "amount_prompt_minimum_alert");
}

} // namespace
} // namespace tavlo::screens
