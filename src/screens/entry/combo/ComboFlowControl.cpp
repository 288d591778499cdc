#include "screens/entry/combo/ComboFlowControl.h"

#include "core/order/ComboSelection.h"
#include "core/session/DBHelper.h"
#include "core/session/Session.h"
#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "screens/common/prompts/AmountViewController.h"
#include "screens/entry/SelectionFlowControl.h"
#include "screens/entry/combo/GroupFlowControl.h"
#include "screens/entry/options/SeatCourseViewController.h"

#include <algorithm>

namespace tavlo::screens {

using namespace ui;

ComboFlowControl::ComboFlowControl(std::shared_ptr<ComboSelection> selection, Session* session,
                                   std::shared_ptr<Order> order, Action action)
    : FlowControl(session, std::move(order)), selection_(std::move(selection)), action_(std::move(action)) {}

ComboFlowControl::~ComboFlowControl() = default;

// ---- going forward

std::vector<ManagedObjectPtr> ComboFlowControl::comboGroups() {
    ManagedObjectPtr item =
        DBHelper::getObject("Item", "itemId == %@", selection_->itemId().value_or(""), contextOf(session_));
    if (!item) return {};
    std::vector<ManagedObjectPtr> groups = item->toMany("itemComboGroups");
    std::stable_sort(groups.begin(), groups.end(), [](const ManagedObjectPtr& a, const ManagedObjectPtr& b) {
        return a->int32("sequence") < b->int32("sequence");
    });
    return groups;
}

bool ComboFlowControl::hasNextView() {
    if (!subFlows().empty() && subFlows().back()->hasNextView()) return true;
    if (wantsSeatCourse() && !showedSeatsCourses_) return true;
    if (pricePrompt_ && !showedPricePrompt_) return true;
    const std::vector<SelectionPtr> items = selection_->getSelections();
    for (size_t i = currentItem_ + 1; i < items.size(); ++i)
        if (itemFlow(items[i])->hasNextView()) return true;
    // A group whose screen has not been shown always has one.
    return currentGroup_ + 1 < static_cast<int>(comboGroups().size());
}

std::shared_ptr<ViewController> ComboFlowControl::nextView() {
    if (!subFlows().empty())
        if (auto screen = subFlows().back()->nextView()) return screen;
    if (wantsSeatCourse() && !showedSeatsCourses_) {
        showedSeatsCourses_ = true;
        return SeatCourseViewController::forFlow(*this, selection_, shared_from_this());
    }
    if (pricePrompt_ && !showedPricePrompt_) {
        showedPricePrompt_ = true;
        return priceScreen();
    }
    const std::vector<SelectionPtr> items = selection_->getSelections();
    while (currentItem_ + 1 < static_cast<int>(items.size())) {
        auto flow = itemFlow(items[++currentItem_]);
        pushFlow(flow); // on the stack also when it has no screen: the position counts it
        if (flow->hasNextView())
            if (auto screen = flow->nextView()) return screen;
    }
    const std::vector<ManagedObjectPtr> groups = comboGroups();
    while (currentGroup_ + 1 < static_cast<int>(groups.size())) {
        auto flow = groupFlow(groups[++currentGroup_]);
        pushFlow(flow);
        if (flow->hasNextView())
            if (auto screen = flow->nextView()) return screen;
    }
    return nullptr;
}

std::shared_ptr<FlowControl> ComboFlowControl::itemFlow(const SelectionPtr& item) {
    return std::make_shared<SelectionFlowControl>(item, shared_from_this(), session_, order_, nullptr);
}

std::shared_ptr<FlowControl> ComboFlowControl::groupFlow(const ManagedObjectPtr& comboGroup) {
    return std::make_shared<GroupFlowControl>(comboGroup->text("comboGroup.comboGroupId").value_or(""),
                                              shared_from_this(), selection_, order_, comboGroup->int32("count"),
                                              session_, nullptr);
}

void ComboFlowControl::done() {
    if (action_) action_(selection_);
}

void ComboFlowControl::savePrice(const std::optional<std::string>& text) {
    if (text) selection_->setPrice(Utils::parseCurrency(text));
}

// ---- the position and stepping back

ComboFlowControl::Stage ComboFlowControl::ownPlace() const {
    if (showedPricePrompt_) return Stage::Price;
    if (showedSeatsCourses_) return Stage::SeatCourse;
    return Stage::None;
}

ComboFlowControl::Stage ComboFlowControl::placeBefore(Stage place) const {
    if (place > Stage::Price && showedPricePrompt_) return Stage::Price;
    if (place > Stage::SeatCourse && showedSeatsCourses_) return Stage::SeatCourse;
    return Stage::None;
}

// Group flows lie above item flows on the stack: each removed flow counts against its own kind.
void ComboFlowControl::dropTopSubFlow() {
    if (subFlows().empty()) return;
    if (dynamic_cast<GroupFlowControl*>(subFlows().back().get())) currentGroup_ = std::max(-1, currentGroup_ - 1);
    else currentItem_ = std::max(-1, currentItem_ - 1);
    popFlow();
}

bool ComboFlowControl::hasCurrentView() { return subFlowAtPosition() || ownPlace() != Stage::None; }

bool ComboFlowControl::hasPreviousView() {
    if (FlowControl* position = subFlowAtPosition())
        return position->hasPreviousView() || earlierSubFlowShown(position) || ownPlace() != Stage::None;
    return placeBefore(ownPlace()) != Stage::None;
}

std::shared_ptr<ViewController> ComboFlowControl::previousView() {
    if (!hasPreviousView()) return nullptr;
    bool fromSubFlows = false;
    if (auto screen = stepBackInSubFlows(fromSubFlows)) return screen;
    return land(placeBefore(fromSubFlows ? Stage::SubFlows : ownPlace()));
}

std::shared_ptr<ViewController> ComboFlowControl::currentView() {
    if (!hasCurrentView()) return nullptr;
    if (auto screen = currentInSubFlows()) return screen;
    return land(ownPlace());
}

std::shared_ptr<ViewController> ComboFlowControl::land(Stage place) {
    popAllFlows();
    currentItem_ = -1;
    currentGroup_ = -1;
    if (place < Stage::Price) showedPricePrompt_ = false;
    if (place < Stage::SeatCourse) showedSeatsCourses_ = false;
    switch (place) {
    case Stage::SeatCourse: return SeatCourseViewController::forFlow(*this, selection_, shared_from_this());
    case Stage::Price: return priceScreen();
    default: return nullptr;
    }
}

// ---- the screens

// Unlike a plain item's, the combo's price screen opens empty.
std::shared_ptr<ViewController> ComboFlowControl::priceScreen() {
    auto screen = std::make_shared<AmountViewController>();
    screen->setTitle(localized("Enter price"));
    screen->setUseAnimation(session_ && session_->useAnimation());
    screen->setDecimals(2);
    screen->setFlowControl(shared_from_this());
    std::weak_ptr<FlowControl> observer = weak_from_this();
    screen->setObserver([observer](const std::optional<std::string>& value, const std::optional<std::string>&) {
        if (auto flow = observer.lock()) static_cast<ComboFlowControl&>(*flow).savePrice(value);
    });
    return screen;
}

} // namespace tavlo::screens
