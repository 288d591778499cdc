#include "platform/foundation/AlertSink.h"
#include "platform/ui/AlertView.h"
#include "support/ui/Harness.h"

#include <gtest/gtest.h>

#include <thread>

using namespace tavlo::ui;
using tavlo::ui::test::Harness;
using tavlo::ui::test::HarnessError;

namespace {

struct Answer {
    int tag = -1;
    int index = -1;
    std::string typed;
};

class Listener : public AlertViewDelegate {
public:
    explicit Listener(std::vector<Answer>& answers) : answers_(answers) {}
    void alertViewClicked(AlertView& alert, int index) override {
        answers_.push_back({alert.tag(), index, alert.textField(0) ? alert.textField(0)->text() : ""});
    }

private:
    std::vector<Answer>& answers_;
};

} // namespace

TEST(Alerts, AClickReachesTheDelegateWithTagAndIndexAndTheAlertGoes) {
    Harness h;
    std::vector<Answer> answers;
    auto alert = AlertView::make("Confirmation", "Are you sure you want to close the store?", "No", {"Yes"});
    alert->setTag(98);
    alert->setDelegate(std::make_shared<Listener>(answers));
    alert->show();

    ASSERT_TRUE(h.hasAlert());
    EXPECT_EQ(h.frontAlert().title(), "Confirmation");
    EXPECT_EQ(h.frontAlert().message(), "Are you sure you want to close the store?");
    EXPECT_EQ(h.frontAlert().buttonTitles(), (std::vector<std::string>{"No", "Yes"}));
    EXPECT_EQ(h.frontAlert().cancelButtonIndex(), 0);
    EXPECT_THROW(h.tap("Yes"), HarnessError) << "screen buttons are out of reach under an alert";

    h.clickAlert("Yes");
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].tag, 98);
    EXPECT_EQ(answers[0].index, 1);
    EXPECT_FALSE(h.hasAlert());
}

TEST(Alerts, WithoutCancelTheFirstOtherButtonIsIndexZero) {
    Harness h;
    int clicked = -1;
    auto alert = AlertView::make("Order Type", std::nullopt, std::nullopt, {"Dine In", "Take Out"});
    alert->setClickHandler([&](AlertView&, int index) { clicked = index; });
    alert->show();
    EXPECT_EQ(h.frontAlert().cancelButtonIndex(), -1);
    h.clickAlert("Dine In");
    EXPECT_EQ(clicked, 0);
}

TEST(Alerts, ATextInputAlertExposesItsFieldAndTheAnswerReadsIt) {
    Harness h;
    std::vector<Answer> answers;
    auto alert = AlertView::make("Association Code", "If you have an association code, enter it here", "Ok");
    alert->setStyle(AlertViewStyle::PlainTextInput);
    alert->textField(0)->setKeyboardType(KeyboardType::NumberPad);
    alert->setTag(97);
    alert->setDelegate(std::make_shared<Listener>(answers));
    alert->show();

    TextField* field = h.frontAlert().textField(0);
    ASSERT_NE(field, nullptr);
    EXPECT_TRUE(field->isFirstResponder());
    EXPECT_EQ(h.frontAlert().textField(1), nullptr);
    h.type(*field, "4711");
    h.clickAlert(0);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].typed, "4711");
    EXPECT_FALSE(field->isFirstResponder()) << "the field lets the keyboard go with its alert";
}

TEST(Alerts, AnAlertShownFromTheAnswerOfAnotherBecomesTheFront) {
    Harness h;
    auto first = AlertView::make("Select a drawer", std::nullopt, "Cancel", {"Front", "Back"});
    first->setClickHandler([](AlertView&, int) { AlertView::make("Alert", "Unable to open drawer", "Ok")->show(); });
    first->show();
    h.clickAlert("Back");
    ASSERT_TRUE(h.hasAlert());
    EXPECT_EQ(h.frontAlert().message(), "Unable to open drawer");
    EXPECT_EQ(h.app().alerts().size(), 1u);
}

TEST(Alerts, ProgrammaticDismissDoesNotReportAClick) {
    Harness h;
    std::vector<Answer> answers;
    auto swipe = AlertView::make("Swipe", "Please swipe card", "Cancel");
    swipe->setDelegate(std::make_shared<Listener>(answers));
    swipe->show();
    swipe->dismiss(0, false);
    EXPECT_FALSE(h.hasAlert());
    EXPECT_TRUE(answers.empty());
}

TEST(Alerts, TheSinkShowsAMessageFromAnotherThreadOnTheMainLoop) {
    Harness h;
    std::thread worker([] { tavlo::AlertSink::show("Error", "Unable to save new remote ID", "Ok"); });
    worker.join();
    EXPECT_FALSE(h.hasAlert()) << "not before the main loop runs";
    h.runUntilIdle();
    ASSERT_TRUE(h.hasAlert());
    EXPECT_EQ(h.frontAlert().title(), "Error");
    EXPECT_EQ(h.frontAlert().buttonTitles(), (std::vector<std::string>{"Ok"}));
}
