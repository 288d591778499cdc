#include "screens/entry/SelectionFlowControl.h"

#include "core/order/Selection.h"
#include "core/session/DBHelper.h"
#include "core/session/Session.h"
#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "screens/common/prompts/AmountViewController.h"
#include "screens/common/prompts/TextViewController.h"
#include "screens/entry/options/PreparationGroupViewController.h"
#include "screens/entry/options/SeatCourseViewController.h"
#include "screens/entry/options/SidesViewController.h"

#include <algorithm>

namespace tavlo::screens {

using namespace ui;

SelectionFlowControl::SelectionFlowControl(SelectionPtr selection, const std::shared_ptr<FlowControl>& master,
                                           Session* session, std::shared_ptr<Order> order, Action action)
    : FlowControl(session, std::move(order)), selection_(std::move(selection)), master_(master),
      action_(std::move(action)) {}

SelectionFlowControl::~SelectionFlowControl() = default;

std::shared_ptr<FlowControl> SelectionFlowControl::root() {
    if (auto master = master_.lock()) return master;
    return shared_from_this();
}

// ---- going forward

bool SelectionFlowControl::hasPreparationStage() const { return selection_->recipeId().has_value(); }

bool SelectionFlowControl::hasNextView() {
    if (!subFlows().empty() && subFlows().back()->hasNextView()) return true;
    if (wantsSeatCourse() && !showedSeatsCourses_) return true;
    if (pricePrompt_ && !showedPricePrompt_) return true;
    if (quantityPrompt_ && !showedQuantityPrompt_) return true;
    if (commentPrompt_ && !showedCommentPrompt_) return true;
    if (hasPreparationStage() && currentPreparation_ + 1 < static_cast<int>(requiredPreparationGroups().size()))
        return true;
    if (selection_->includedSides() < 1) return false;
    if (!showedSides_ && selection_->includedSides() > selection_->defaultSideCount()) return true;
    return hasNextSideView();
}

std::shared_ptr<ViewController> SelectionFlowControl::nextView() {
    if (!subFlows().empty())
        if (auto screen = subFlows().back()->nextView()) return screen;
    if (wantsSeatCourse() && !showedSeatsCourses_) {
        showedSeatsCourses_ = true;
        return SeatCourseViewController::forFlow(*this, selection_, root());
    }
    if (pricePrompt_ && !showedPricePrompt_) {
        showedPricePrompt_ = true;
        return priceScreen();
    }
    if (quantityPrompt_ && !showedQuantityPrompt_) {
        showedQuantityPrompt_ = true;
        return quantityScreen();
    }
    if (commentPrompt_ && !showedCommentPrompt_) {
        showedCommentPrompt_ = true;
        return commentScreen();
    }
    if (hasPreparationStage()) {
        std::vector<ManagedObjectPtr> groups = requiredPreparationGroups();
        if (currentPreparation_ + 1 < static_cast<int>(groups.size()))
            return preparationScreen(groups[++currentPreparation_]);
    }
    if (selection_->includedSides() < 1) return nullptr;
    if (!showedSides_ && selection_->includedSides() > selection_->defaultSideCount()) {
        showedSides_ = true;
        return sidesScreen();
    }
    return nextSideView();
}

bool SelectionFlowControl::hasNextSideView() {
    if (selection_->includedSides() < 1) return false;
    std::vector<SelectionPtr> sides = selection_->getSides();
    for (size_t i = currentSide_ + 1; i < sides.size(); ++i)
        if (sideFlow(sides[i])->hasNextView()) return true;
    return false;
}

std::shared_ptr<ViewController> SelectionFlowControl::nextSideView() {
    std::vector<SelectionPtr> sides = selection_->getSides();
    while (currentSide_ + 1 < static_cast<int>(sides.size())) {
        auto flow = sideFlow(sides[++currentSide_]);
        pushFlow(flow); // on the stack also when it has no screen: the position counts it
        if (flow->hasNextView())
            if (auto screen = flow->nextView()) return screen;
    }
    return nullptr;
}

std::shared_ptr<SelectionFlowControl> SelectionFlowControl::sideFlow(const SelectionPtr& side) {
    return std::make_shared<SelectionFlowControl>(side, root(), session_, order_, nullptr);
}

std::vector<ManagedObjectPtr> SelectionFlowControl::requiredPreparationGroups() {
    return DBHelper::getObjects("RecipePreparationGroup",
                                {Predicate::format("recipe.recipeId == %@", selection_->recipeId().value_or("")),
                                 Predicate::format("required == YES")},
                                "sequence", contextOf(session_));
}

void SelectionFlowControl::done() {
    if (action_) action_(selection_);
}

// ---- the prompts' answers

void SelectionFlowControl::savePrice(const std::optional<std::string>& text) {
    if (text) selection_->setPrice(Utils::parseCurrency(text));
}

void SelectionFlowControl::saveQuantity(const std::optional<std::string>& text) {
    if (!text) return;
    const auto quantity = static_cast<int32_t>(intValue(*text));
    selection_->setQuantity(quantity);
    selection_->setNewQuantity(quantity);
}

void SelectionFlowControl::saveComment(const std::optional<std::string>& text) {
    if (text) selection_->setComment(text);
}

// ---- the position and stepping back

SelectionFlowControl::Place SelectionFlowControl::ownPlace() const {
    if (showedSides_) return {Stage::Sides};
    if (currentPreparation_ >= 0) return {Stage::Preparation, currentPreparation_};
    if (showedCommentPrompt_) return {Stage::Comment};
    if (showedQuantityPrompt_) return {Stage::Quantity};
    if (showedPricePrompt_) return {Stage::Price};
    if (showedSeatsCourses_) return {Stage::SeatCourse};
    return {};
}

SelectionFlowControl::Place SelectionFlowControl::placeBefore(Place place) const {
    if (place.stage == Stage::Preparation && place.preparation > 0) return {Stage::Preparation, place.preparation - 1};
    const bool shown[] = {false,
                          showedSeatsCourses_,
                          showedPricePrompt_,
                          showedQuantityPrompt_,
                          showedCommentPrompt_,
                          currentPreparation_ >= 0,
                          showedSides_};
    for (int stage = static_cast<int>(place.stage) - 1; stage > 0; --stage)
        if (shown[stage])
            return {static_cast<Stage>(stage), stage == int(Stage::Preparation) ? currentPreparation_ : -1};
    return {};
}

void SelectionFlowControl::dropTopSubFlow() {
    popFlow();
    currentSide_ = std::max(-1, currentSide_ - 1);
}

bool SelectionFlowControl::hasCurrentView() { return subFlowAtPosition() || ownPlace().stage != Stage::None; }

bool SelectionFlowControl::hasPreviousView() {
    if (FlowControl* position = subFlowAtPosition())
        return position->hasPreviousView() || earlierSubFlowShown(position) || ownPlace().stage != Stage::None;
    return placeBefore(ownPlace()).stage != Stage::None;
}

std::shared_ptr<ViewController> SelectionFlowControl::previousView() {
    if (!hasPreviousView()) return nullptr;
    bool fromSideFlows = false;
    if (auto screen = stepBackInSubFlows(fromSideFlows)) return screen;
    return land(placeBefore(fromSideFlows ? Place{Stage::SideFlows} : ownPlace()));
}

std::shared_ptr<ViewController> SelectionFlowControl::currentView() {
    if (!hasCurrentView()) return nullptr;
    if (auto screen = currentInSubFlows()) return screen;
    return land(ownPlace());
}

std::shared_ptr<ViewController> SelectionFlowControl::land(Place place) {
    popAllFlows();
    currentSide_ = -1;
    const Stage stage = place.stage;
    if (stage < Stage::Sides) showedSides_ = false;
    currentPreparation_ = stage == Stage::Preparation  ? place.preparation
                          : stage < Stage::Preparation ? -1
                                                       : currentPreparation_;
    if (stage < Stage::Comment) showedCommentPrompt_ = false;
    if (stage < Stage::Quantity) showedQuantityPrompt_ = false;
    if (stage < Stage::Price) showedPricePrompt_ = false;
    if (stage < Stage::SeatCourse) showedSeatsCourses_ = false;
    return screenFor(place);
}

std::shared_ptr<ViewController> SelectionFlowControl::screenFor(Place place) {
    switch (place.stage) {
    case Stage::SeatCourse: return SeatCourseViewController::forFlow(*this, selection_, root());
    case Stage::Price: return priceScreen();
    case Stage::Quantity: return quantityScreen();
    case Stage::Comment: return commentScreen();
    case Stage::Preparation: {
        std::vector<ManagedObjectPtr> groups = requiredPreparationGroups();
        if (place.preparation < static_cast<int>(groups.size())) return preparationScreen(groups[place.preparation]);
        return nullptr; // the store lost the group while it was shown
    }
    case Stage::Sides: return sidesScreen();
    default: return nullptr;
    }
}

// ---- the screens

// A prompt of this flow: the root drives it, this flow (perhaps a side flow) takes its answer.
template <typename Prompt>
std::shared_ptr<Prompt> SelectionFlowControl::prompt(
    const std::string& title, void (SelectionFlowControl::*answer)(const std::optional<std::string>&)) {
    auto screen = std::make_shared<Prompt>();
    screen->setTitle(localized(title));
    screen->setUseAnimation(session_ && session_->useAnimation());
    screen->setFlowControl(root());
    std::weak_ptr<FlowControl> observer = weak_from_this();
    screen->setObserver([observer, answer](const std::optional<std::string>& value, const std::optional<std::string>&) {
        if (auto flow = observer.lock()) (static_cast<SelectionFlowControl&>(*flow).*answer)(value);
    });
    return screen;
}

std::shared_ptr<ViewController> SelectionFlowControl::priceScreen() {
    auto screen = prompt<AmountViewController>("Enter price", &SelectionFlowControl::savePrice);
    screen->setAmount(Utils::formatCurrency(selection_->price()));
    screen->setDecimals(2);
    return screen;
}

std::shared_ptr<ViewController> SelectionFlowControl::quantityScreen() {
    auto screen = prompt<AmountViewController>("Enter quantity", &SelectionFlowControl::saveQuantity);
    screen->setAmount(format("%ld", selection_->quantity()));
    screen->setDecimals(0);
    return screen;
}

std::shared_ptr<ViewController> SelectionFlowControl::commentScreen() {
    auto screen = prompt<TextViewController>("Enter comment", &SelectionFlowControl::saveComment);
    screen->setMaxLength(250);
    return screen;
}

std::shared_ptr<ViewController> SelectionFlowControl::preparationScreen(const ManagedObjectPtr& group) {
    auto screen = std::make_shared<PreparationGroupViewController>();
    screen->setSession(session_);
    screen->setSelection(selection_);
    screen->setPreparationGroupId(group->text("preparationGroup.preparationGroupId").value_or(""));
    screen->setFlowControl(root());
    return screen;
}

std::shared_ptr<ViewController> SelectionFlowControl::sidesScreen() {
    auto screen = std::make_shared<SidesViewController>();
    screen->setSession(session_);
    screen->setSelection(selection_);
    screen->setFlowControl(root());
    return screen;
}

} // namespace tavlo::screens
