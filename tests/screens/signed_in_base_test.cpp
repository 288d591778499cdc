// The base of the signed-in screens: the session an opener shares or lends, the animation it
// asks for, and alerts whose answer is the closure given where the question is asked, heard only
// while the screen lives.
#include "core/session/Session.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/common/SignedInController.h"
#include "support/ui/Harness.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tavlo::screens {
namespace {

using namespace ui;

// A screen reached through a by-name interface, as the openers reach them.
class QuestionScreen : public SignedInController<ViewController, SessionScreen> {
public:
    QuestionScreen() : SignedInController("QuestionView") {}
    void loadView() override { setView(std::make_shared<View>(Rect(0, 0, 320, 480))); }

    std::vector<std::string> heard;

    void askToVoid(const std::string& item) {
        alert("Void Item", item + " was sent. Void it?", {"Cancel", {"Void", "Void All"}},
              [this, item](int button) { heard.push_back(item + ":" + std::to_string(button)); });
    }
    void askForCode() {
        ask(
            "Code", std::nullopt, {std::nullopt, {"Ok"}},
            [this](int button, const std::string& typed) { heard.push_back(std::to_string(button) + ":" + typed); },
            [](AlertView& prompt) { prompt.setStyle(AlertViewStyle::PlainTextInput); });
    }
    void tellOnly() { alert("Alert", std::string("Nothing to answer"), {"Ok"}); }
    bool isAnimated() const { return animated(); }
};

TEST(SignedInBase, KeepsTheSessionAnOpenerSharesOrLends) {
    auto shared = std::make_shared<Session>(nullptr);
    shared->setUseAnimation(true);
    auto screen = std::make_shared<QuestionScreen>();
    EXPECT_FALSE(screen->isAnimated());

    // Through the interface, as the sign-in screen hands it over: the screen keeps it alive.
    std::weak_ptr<Session> watched = shared;
    static_cast<SessionScreen&>(*screen).setSession(shared);
    shared.reset();
    ASSERT_FALSE(watched.expired());
    EXPECT_TRUE(screen->isAnimated());

    // Lent, as the order screen hands its own on: the screen reads it, the lender owns it.
    Session lentSession(nullptr);
    screen->setSession(&lentSession);
    EXPECT_EQ(screen->session().get(), &lentSession);
    EXPECT_FALSE(screen->isAnimated());
    EXPECT_TRUE(watched.expired());
}

TEST(SignedInBase, AnAnswerReachesTheClosureOfItsOwnQuestion) {
    test::Harness h;
    auto screen = std::make_shared<QuestionScreen>();
    h.show(screen);

    screen->askToVoid("Burger");
    EXPECT_EQ(h.frontAlert().title(), "Void Item");
    EXPECT_EQ(h.frontAlert().buttonTitles(), (std::vector<std::string>{"Cancel", "Void", "Void All"}));
    h.clickAlert("Void All");
    screen->askToVoid("Fries");
    h.clickAlert("Cancel");
    screen->tellOnly();
    h.clickAlert("Ok");
    screen->askForCode();
    EXPECT_EQ(h.frontAlert().cancelButtonIndex(), -1);
    h.type(*h.frontAlert().textField(0), "A-7");
    h.clickAlert("Ok");

    EXPECT_EQ(screen->heard, (std::vector<std::string>{"Burger:2", "Fries:0", "0:A-7"}));
    EXPECT_FALSE(h.hasAlert());
}

TEST(SignedInBase, AnAnswerComingAfterTheScreenWentIsNotHeard) {
    test::Harness h;
    h.show(std::make_shared<QuestionScreen>());
    bool answered = false;
    {
        auto screen = std::make_shared<QuestionScreen>();
        showAlert(screen.get(), "Confirmation", std::nullopt, {"No", {"Yes"}}, [&answered](int) { answered = true; });
    }
    ASSERT_TRUE(h.hasAlert());
    h.clickAlert("Yes");
    EXPECT_FALSE(answered);
    EXPECT_FALSE(h.hasAlert());

    // Without an owner the answer is always heard.
    showAlert(nullptr, "Confirmation", std::nullopt, {"No", {"Yes"}}, [&answered](int) { answered = true; });
    h.clickAlert("Yes");
    EXPECT_TRUE(answered);
}

} // namespace
} // namespace tavlo::screens
