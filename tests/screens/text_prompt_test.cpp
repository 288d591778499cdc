// The text prompt: what it hands back on save and on back, the length limit (a paste is cut to
// it), the keyboard's Done bar on the phone, and how it steps an item flow.
#include "PromptHost.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/render/Snapshot.h"
#include "screens/common/prompts/TextViewController.h"
#include "support/ui/Golden.h"

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::PromptHost;
using test::RecordingFlow;
using Answer = PromptHost::Answer;

class TextPromptTest : public ::testing::Test {
protected:
    explicit TextPromptTest(DeviceIdiom idiom = DeviceIdiom::Phone) : host(idiom) {}

    // A prompt as the order screen's name prompt makes it.
    std::shared_ptr<TextViewController> make(const std::string& title, int maxLength,
                                             std::optional<std::string> text = std::nullopt) {
        auto prompt = std::make_shared<TextViewController>();
        prompt->setTitle(title);
        prompt->setMaxLength(maxLength);
        prompt->setText(std::move(text));
        prompt->setObserver([this](const auto& value, const auto& param) { host.note(value, param); });
        return prompt;
    }
    TextView& textView() { return host.h.outlet<TextView>("textView"); }

    PromptHost host;
};

TEST_F(TextPromptTest, SaveHandsBackTheTextAsShownAndBackHandsBackNil) {
    struct Case {
        std::optional<std::string> param;
        bool save;
        Answer expected;
    };
    for (const Case& c : {Case{std::nullopt, true, {"Table four", std::nullopt}},
                          Case{std::string("U-BOB"), true, {"Table four", "U-BOB"}},
                          Case{std::nullopt, false, {std::nullopt, std::nullopt}},
                          Case{std::string("U-BOB"), false, {std::nullopt, "U-BOB"}}}) {
        host.answers.clear();
        auto prompt = make("Order Name", 128, std::string("Table "));
        prompt->setParam(c.param);
        host.open(prompt);
        host.h.type(textView(), "four");
        host.h.tap(c.save ? "Save" : "Cancel");
        EXPECT_EQ(host.answers, (std::vector<Answer>{c.expected})) << (c.save ? "save" : "back");
        EXPECT_FALSE(host.isOpen()) << "the observer closes the prompt";
        EXPECT_EQ(prompt->text(), c.save ? std::optional<std::string>("Table four") : std::string("Table "));
    }
}

TEST_F(TextPromptTest, AnEmptyTextIsAnAnswerToo) {
    host.open(make("Enter comment", 250));
    host.h.tap("Save");
    EXPECT_EQ(host.answers, (std::vector<Answer>{{std::string(), std::nullopt}}));
}

TEST_F(TextPromptTest, TheLimitShowsAndAKeyPastItIsDropped) {
    host.open(make("Comments", 250, std::string(249, 'a')));
    EXPECT_EQ(host.h.outlet<Label>("maxLabel").text(), "(max 250)");
    EXPECT_TRUE(host.h.outlet<Label>("maxLabel").isShown());
    host.h.type(textView(), "bc");
    EXPECT_EQ(textView().text(), std::string(249, 'a') + "b");
}

TEST_F(TextPromptTest, APasteIsCutToTheLimit) {
    host.open(make("Order Name", 128, std::string("Table ")));
    TextView& view = textView();
    view.insertText(std::string(300, 'x')); // one edit of many characters, as a paste makes
    EXPECT_EQ(view.text(), "Table " + std::string(122, 'x'));
    host.h.tap("Save");
    ASSERT_EQ(host.answers.size(), 1u);
    EXPECT_EQ(host.answers[0].value->size(), 128u);
}

TEST_F(TextPromptTest, TheLimitCountsCharactersNotBytes) {
    host.open(make("Enter comment", 5));
    textView().insertText("crème brûlée");
    EXPECT_EQ(textView().text(), "crème");
}

TEST_F(TextPromptTest, NoLimitShowsNoCounter) {
    host.open(make("Enter email address to send receipt to:", 0));
    EXPECT_FALSE(host.h.outlet<Label>("maxLabel").isShown());
    textView().insertText(std::string(1000, 'm'));
    EXPECT_EQ(textView().text().size(), 1000u);
}

TEST_F(TextPromptTest, ThePhoneKeyboardCarriesADoneBarThatSaves) {
    auto prompt = make("Enter comment", 250);
    prompt->setKeyboardType(KeyboardType::EmailAddress);
    host.open(prompt);
    EXPECT_TRUE(textView().isFirstResponder());
    EXPECT_EQ(textView().keyboardType(), KeyboardType::EmailAddress);
    auto* bar = dynamic_cast<Toolbar*>(textView().inputAccessoryView().get());
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->frame().size, (Size{320, 50}));
    host.h.type(textView(), "no onions");
    host.h.tap("Done");
    EXPECT_EQ(host.answers, (std::vector<Answer>{{"no onions", std::nullopt}}));
}

TEST_F(TextPromptTest, TheSaveButtonTakesTheOpenersTitleBeforeOrAfterItShows) {
    for (bool before : {true, false}) {
        host.answers.clear();
        auto prompt = make("Enter comment", 250);
        if (before) prompt->setButtonText("Send");
        host.open(prompt);
        if (!before) prompt->setButtonText("Send");
        host.h.tap("Send");
        EXPECT_EQ(host.answers.size(), 1u) << (before ? "set before" : "set after");
    }
}

// In an item flow: the answer comes first, then the flow is asked for the next step.
TEST_F(TextPromptTest, InAFlowSavePushesTheNextScreenAfterTheAnswer) {
    auto flow = std::make_shared<RecordingFlow>(host);
    flow->next = std::make_shared<ViewController>();
    host.closesOnAnswer = false;
    auto prompt = make("Enter comment", 250);
    prompt->setFlowControl(flow);
    host.open(prompt);
    EXPECT_EQ(host.h.visibleController().navigationItem().leftBarButtonItem()->title(), "Back");

    host.h.type(textView(), "extra hot");
    host.h.tap("Save");
    EXPECT_EQ(flow->calls, (std::vector<std::string>{"hasNextView@1", "nextView@1"}));
    EXPECT_EQ(host.nav->topViewController(), flow->next.get());
}

TEST_F(TextPromptTest, InAFlowTheLastSaveEndsTheFlow) {
    auto flow = std::make_shared<RecordingFlow>(host);
    host.closesOnAnswer = false;
    auto prompt = make("Enter comment", 250);
    prompt->setFlowControl(flow);
    host.open(prompt);
    host.h.tap("Save");
    EXPECT_EQ(flow->calls, (std::vector<std::string>{"hasNextView@1", "done@1"}));
}

TEST_F(TextPromptTest, InAFlowBackStepsBackOrDropsTheWholeStack) {
    for (bool hasPrevious : {true, false}) {
        host.answers.clear();
        auto flow = std::make_shared<RecordingFlow>(host);
        flow->hasPrevious = hasPrevious;
        host.closesOnAnswer = false;
        auto earlier = std::make_shared<ViewController>();
        auto prompt = make("Enter comment", 250);
        prompt->setFlowControl(flow);
        host.open(earlier);
        host.nav->push(prompt, false);
        host.h.runUntilIdle();

        host.h.type(textView(), "typed");
        host.h.tap("Back");
        EXPECT_EQ(host.answers, (std::vector<Answer>{{std::nullopt, std::nullopt}}));
        if (hasPrevious) {
            EXPECT_EQ(flow->calls, (std::vector<std::string>{"hasPreviousView@1", "previousView@1"}));
            EXPECT_EQ(host.nav->topViewController(), earlier.get());
            host.opener->dismiss(false);
            host.h.runUntilIdle();
        } else {
            EXPECT_EQ(flow->calls, (std::vector<std::string>{"hasPreviousView@1"}));
            EXPECT_FALSE(host.isOpen());
        }
    }
}

class TextPromptOnPad : public TextPromptTest {
protected:
    TextPromptOnPad() : TextPromptTest(DeviceIdiom::Tablet) {}
};

TEST_F(TextPromptOnPad, NoKeyboardBarAndTheSecondWindowShowsWhileOpen) {
    std::shared_ptr<Window> second = host.h.app().addWindow();
    second->setHidden(true);
    host.open(make("Enter comment", 250));
    TextView& view = textView();
    EXPECT_EQ(view.inputAccessoryView(), nullptr);
    EXPECT_FALSE(second->isHidden());
    host.h.type(view, "no salt");
    host.h.tap("Save");
    EXPECT_TRUE(second->isHidden());
    EXPECT_FALSE(view.isFirstResponder());
    EXPECT_EQ(host.answers, (std::vector<Answer>{{"no salt", std::nullopt}}));
}

// Pictures: the comment prompt with its counter, on the phone and on the pad.
TEST_F(TextPromptTest, PictureOnThePhone) {
    host.open(make("Enter comment", 250));
    host.h.type(textView(), "No onions, dressing on the side");
    EXPECT_TRUE(ui::test::matchesGolden(render::snapshot(host.h.window(), {320, 480}), "text_prompt_phone"));
}

TEST_F(TextPromptOnPad, PictureOnThePad) {
    host.open(make("Enter comment", 250));
    host.h.type(textView(), "No onions, dressing on the side");
    EXPECT_TRUE(ui::test::matchesGolden(render::snapshot(host.h.window(), {1024, 768}), "text_prompt_pad"));
}

} // namespace
} // namespace tavlo::screens
