// The item flow's steps asked for directly, as the screens ask: which screen comes next, where
// the position goes on each step back, the side flows on the stack, and the prompts' answers.
#include "ItemFlowHost.h"
#include "platform/foundation/Error.h"
#include "screens/common/prompts/AmountViewController.h"
#include "screens/common/prompts/TextViewController.h"
#include "screens/entry/options/PreparationGroupViewController.h"
#include "screens/entry/options/SeatCourseViewController.h"
#include "screens/entry/options/SidesViewController.h"

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::ItemFlowHost;

// A screen as a short name: "seat", the prompt's title, the group's id, "sides"; "-" for none.
std::string describe(const std::shared_ptr<ViewController>& screen) {
    if (!screen) return "-";
    if (dynamic_cast<SeatCourseViewController*>(screen.get())) return "seat";
    if (auto* group = dynamic_cast<PreparationGroupViewController*>(screen.get())) return group->preparationGroupId();
    if (dynamic_cast<SidesViewController*>(screen.get())) return "sides";
    if (dynamic_cast<AmountViewController*>(screen.get()) || dynamic_cast<TextViewController*>(screen.get()))
        return screen->title().value_or("?");
    return "?";
}

class ItemFlowSteps : public ::testing::Test {
protected:
    std::shared_ptr<SelectionFlowControl> flow(const std::string& itemId) {
        return std::make_shared<SelectionFlowControl>(f.line(itemId), nullptr, &f.session, f.order,
                                                      [this](const SelectionPtr& line) { finished.push_back(line); });
    }
    // nextView until the end, each screen described.
    static std::vector<std::string> forward(SelectionFlowControl& flow) {
        std::vector<std::string> shown;
        while (flow.hasNextView()) shown.push_back(describe(flow.nextView()));
        EXPECT_EQ(describe(flow.nextView()), "-");
        return shown;
    }
    static void addSide(Selection& line, ObjectContext* context, const std::string& sideId) {
        line.addSide(Selection::initFromSide(sideId, context));
    }

    ItemFlowHost f;
    std::vector<SelectionPtr> finished;
};

TEST_F(ItemFlowSteps, TheScreensComeInTheirOrderAndBackRetracesThemOneByOne) {
    auto steak = flow("I-STEAK");
    steak->setSeats(true);
    for (auto set : {&FlowControl::setPricePrompt, &FlowControl::setQuantityPrompt, &FlowControl::setCommentPrompt})
        ((*steak).*set)(true);
    ObjectContext* context = f.store.context().get();
    std::vector<std::string> shown;
    for (int i = 0; i < 5; ++i) shown.push_back(describe(steak->nextView()));
    EXPECT_EQ(shown, (std::vector<std::string>{"seat", "Enter price", "Enter quantity", "Enter comment", "G-TEMP"}));
    // On the sides screen the person picks fries and the salad.
    EXPECT_EQ(describe(steak->nextView()), "sides");
    addSide(*steak->selection(), context, "S-FRIES");
    addSide(*steak->selection(), context, "S-SALAD");
    EXPECT_EQ(forward(*steak), std::vector<std::string>{"G-DRESS"});
    // The fries have no screen, yet their flow is on the stack before the salad's.
    EXPECT_EQ(steak->subFlows().size(), 2u);
    EXPECT_EQ(steak->currentSide(), 1);

    std::vector<std::string> back;
    while (steak->hasPreviousView()) back.push_back(describe(steak->previousView()));
    EXPECT_EQ(back,
              (std::vector<std::string>{"sides", "G-TEMP", "Enter comment", "Enter quantity", "Enter price", "seat"}));
    EXPECT_EQ(describe(steak->previousView()), "-"); // nothing earlier: nothing moves
    EXPECT_EQ(describe(steak->currentView()), "seat");
    // Every later screen comes again.
    EXPECT_EQ(forward(*steak), (std::vector<std::string>{"Enter price", "Enter quantity", "Enter comment", "G-TEMP",
                                                         "sides", "G-DRESS"}));
}

TEST_F(ItemFlowSteps, BackFromASideScreenGoesToTheEarlierSidesLastScreen) {
    auto steak = flow("I-STEAK");
    EXPECT_EQ(describe(steak->nextView()), "G-TEMP");
    EXPECT_EQ(describe(steak->nextView()), "sides");
    ObjectContext* context = f.store.context().get();
    addSide(*steak->selection(), context, "S-SALAD");
    addSide(*steak->selection(), context, "S-RICE");
    EXPECT_EQ(forward(*steak), (std::vector<std::string>{"G-DRESS", "G-RICE"}));
    EXPECT_EQ(steak->currentSide(), 1);

    EXPECT_EQ(describe(steak->previousView()), "G-DRESS");
    EXPECT_EQ(steak->currentSide(), 0);
    EXPECT_EQ(steak->subFlows().size(), 1u);
    EXPECT_EQ(forward(*steak), std::vector<std::string>{"G-RICE"}); // the rice's flow again
    EXPECT_EQ(describe(steak->previousView()), "G-DRESS");
    EXPECT_EQ(describe(steak->previousView()), "sides");
    EXPECT_EQ(steak->currentSide(), -1);
    EXPECT_TRUE(steak->subFlows().empty());
}

TEST_F(ItemFlowSteps, BackFromTheCommentToThePriceShowsTheCommentAgain) {
    auto soup = flow("I-SOUP");
    soup->setPricePrompt(true);
    soup->setCommentPrompt(true);
    EXPECT_EQ(forward(*soup), (std::vector<std::string>{"Enter price", "Enter comment"}));
    EXPECT_EQ(describe(soup->previousView()), "Enter price");
    EXPECT_FALSE(soup->hasPreviousView());
    EXPECT_EQ(forward(*soup), std::vector<std::string>{"Enter comment"});
}

TEST_F(ItemFlowSteps, DefaultSidesAsManyAsIncludedSkipTheSidesScreenButNotTheirFlows) {
    auto plate = flow("I-PLATE");
    ASSERT_EQ(plate->selection()->defaultSideCount(), 1);
    EXPECT_EQ(forward(*plate), std::vector<std::string>{"G-DRESS"});
    EXPECT_FALSE(plate->hasPreviousView()); // the salad's dressing is the first screen
    EXPECT_TRUE(plate->hasCurrentView());
    EXPECT_EQ(describe(plate->currentView()), "G-DRESS");
}

TEST_F(ItemFlowSteps, BackFromTheFirstSideScreenWithoutASidesScreenGoesToTheLastGroup) {
    // A steak whose two sides are already on the line: no sides screen.
    auto steak = flow("I-STEAK");
    ObjectContext* context = f.store.context().get();
    addSide(*steak->selection(), context, "S-SALAD");
    addSide(*steak->selection(), context, "S-SALAD");
    steak->selection()->setDefaultSideCount(2);
    EXPECT_EQ(forward(*steak), (std::vector<std::string>{"G-TEMP", "G-DRESS"})); // two salads, one line
    EXPECT_EQ(describe(steak->previousView()), "G-TEMP");
    EXPECT_EQ(steak->currentSide(), -1);
    EXPECT_TRUE(steak->subFlows().empty());
    EXPECT_EQ(forward(*steak), std::vector<std::string>{"G-DRESS"});
}

TEST_F(ItemFlowSteps, AnItemWithNothingToAskHasNoScreenAtAll) {
    auto soup = flow("I-SOUP");
    EXPECT_FALSE(soup->hasNextView());
    EXPECT_FALSE(soup->hasCurrentView());
    EXPECT_FALSE(soup->hasPreviousView());
    EXPECT_EQ(describe(soup->previousView()), "-");
    EXPECT_EQ(describe(soup->currentView()), "-");
    soup->done();
    ASSERT_EQ(finished.size(), 1u);
    // Without an action the end does nothing.
    SelectionFlowControl quiet(f.line("I-SOUP"), nullptr, &f.session, f.order, nullptr);
    EXPECT_NO_THROW(quiet.done());
}

TEST_F(ItemFlowSteps, IncludedSidesBelowOneEndTheFlowWhateverSidesTheLineHolds) {
    auto soup = flow("I-SOUP");
    soup->selection()->addSide(Selection::initFromSide(std::string("S-SALAD"), f.store.context().get()));
    EXPECT_FALSE(soup->hasNextView());
    EXPECT_FALSE(soup->hasNextSideView());
    EXPECT_EQ(describe(soup->nextView()), "-");
}

TEST_F(ItemFlowSteps, ThePromptsAnswersGoIntoTheLineAndNilChangesNothing) {
    auto soup = flow("I-SOUP");
    soup->savePrice(std::string("$7.25"));
    soup->saveQuantity(std::string("3"));
    soup->saveComment(std::string("no croutons"));
    for (auto answer :
         {&SelectionFlowControl::savePrice, &SelectionFlowControl::saveQuantity, &SelectionFlowControl::saveComment})
        ((*soup).*answer)(std::nullopt);
    const Selection& line = *soup->selection();
    EXPECT_EQ(line.price(), 725);
    EXPECT_EQ(line.quantity(), 3);
    EXPECT_EQ(line.newQuantity(), 3);
    EXPECT_EQ(line.comment(), "no croutons");
}

TEST_F(ItemFlowSteps, ThePromptScreensStartFromTheLineAndAnswerTheirFlow) {
    auto soup = flow("I-SOUP");
    soup->setPricePrompt(true);
    soup->setQuantityPrompt(true);
    soup->setCommentPrompt(true);
    auto price = std::dynamic_pointer_cast<AmountViewController>(soup->nextView());
    ASSERT_TRUE(price);
    EXPECT_EQ(price->amount(), "$6.50");
    EXPECT_EQ(price->decimals(), 2);
    EXPECT_EQ(price->flowControl(), soup);
    price->observer()(std::string("$5.00"), std::nullopt);
    EXPECT_EQ(soup->selection()->price(), 500);
    auto quantity = std::dynamic_pointer_cast<AmountViewController>(soup->nextView());
    ASSERT_TRUE(quantity);
    EXPECT_EQ(quantity->amount(), "1");
    EXPECT_EQ(quantity->decimals(), 0);
    auto comment = std::dynamic_pointer_cast<TextViewController>(soup->nextView());
    ASSERT_TRUE(comment);
    EXPECT_EQ(comment->maxLength(), 250);
    EXPECT_FALSE(comment->text());
}

// A flow that answers none of the steps.
class BareFlow : public FlowControl {};

TEST(FlowControlStack, SubFlowsArePushedAndPoppedFromTheTop) {
    auto root = std::make_shared<BareFlow>();
    auto a = std::make_shared<BareFlow>(), b = std::make_shared<BareFlow>(), c = std::make_shared<BareFlow>();
    root->popFlow(); // nothing on an empty stack
    for (const auto& flow : {a, b, c}) root->pushFlow(flow);
    EXPECT_EQ(root->popFlowTo(*a), 2);
    ASSERT_EQ(root->subFlows().size(), 1u);
    EXPECT_EQ(root->subFlows().back(), a);
    root->pushFlow(b);
    EXPECT_EQ(root->popFlowTo(*c), 2); // not on the stack: all go
    EXPECT_TRUE(root->subFlows().empty());
    root->pushFlow(a);
    root->popAllFlows();
    EXPECT_TRUE(root->subFlows().empty());
    // The base answers no step.
    EXPECT_THROW(root->hasNextView(), InconsistencyError);
    EXPECT_THROW(root->currentView(), InconsistencyError);
    EXPECT_THROW(root->done(), InconsistencyError);
    EXPECT_NO_THROW(root->setSeats(true));
}

} // namespace
} // namespace tavlo::screens
