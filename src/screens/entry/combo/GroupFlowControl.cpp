#include "screens/entry/combo/GroupFlowControl.h"

#include "core/order/ComboSelection.h"
#include "screens/entry/SelectionFlowControl.h"
#include "screens/entry/combo/ComboGroupViewController.h"

#include <algorithm>

namespace tavlo::screens {

using namespace ui;

GroupFlowControl::GroupFlowControl(std::string groupId, const std::shared_ptr<FlowControl>& master,
                                   std::shared_ptr<ComboSelection> comboSelection, std::shared_ptr<Order> order,
                                   int count, Session* session, Action action)
    : FlowControl(session, std::move(order)), groupId_(std::move(groupId)), master_(master),
      comboSelection_(std::move(comboSelection)), count_(count), action_(std::move(action)) {}

GroupFlowControl::~GroupFlowControl() = default;

std::vector<SelectionPtr> GroupFlowControl::chosen() const {
    const std::vector<SelectionPtr>* group = comboSelection_->getSelections(groupId_);
    return group ? *group : std::vector<SelectionPtr>{};
}

std::shared_ptr<FlowControl> GroupFlowControl::itemFlow(const SelectionPtr& item) {
    std::shared_ptr<FlowControl> root = master_.lock();
    return std::make_shared<SelectionFlowControl>(item, root ? root : shared_from_this(), session_, order_, nullptr);
}

// ---- going forward

bool GroupFlowControl::hasNextView() {
    if (!subFlows().empty() && subFlows().back()->hasNextView()) return true;
    if (!showedGroup_) return true;
    const std::vector<SelectionPtr> items = chosen();
    for (size_t i = currentSelection_ + 1; i < items.size(); ++i)
        if (itemFlow(items[i])->hasNextView()) return true;
    return false;
}

std::shared_ptr<ViewController> GroupFlowControl::nextView() {
    if (!subFlows().empty())
        if (auto screen = subFlows().back()->nextView()) return screen;
    if (!showedGroup_) {
        showedGroup_ = true;
        return groupScreen();
    }
    const std::vector<SelectionPtr> items = chosen();
    while (currentSelection_ + 1 < static_cast<int>(items.size())) {
        auto flow = itemFlow(items[++currentSelection_]);
        pushFlow(flow);
        if (flow->hasNextView()) return flow->nextView();
    }
    return nullptr;
}

void GroupFlowControl::done() {
    if (action_) action_(comboSelection_);
}

// ---- the position and stepping back

void GroupFlowControl::dropTopSubFlow() {
    popFlow();
    currentSelection_ = std::max(-1, currentSelection_ - 1);
}

bool GroupFlowControl::hasCurrentView() { return showedGroup_; }

// The group screen lies before every chosen item's screen.
bool GroupFlowControl::hasPreviousView() { return subFlowAtPosition() != nullptr; }

std::shared_ptr<ViewController> GroupFlowControl::previousView() {
    bool fromItems = false;
    if (auto screen = stepBackInSubFlows(fromItems)) return screen;
    return fromItems ? landOnGroup() : nullptr;
}

std::shared_ptr<ViewController> GroupFlowControl::currentView() {
    if (!showedGroup_) return nullptr;
    if (auto screen = currentInSubFlows()) return screen;
    return landOnGroup();
}

std::shared_ptr<ViewController> GroupFlowControl::landOnGroup() {
    popAllFlows();
    currentSelection_ = -1;
    return groupScreen();
}

std::shared_ptr<ViewController> GroupFlowControl::groupScreen() {
    auto screen = std::make_shared<ComboGroupViewController>();
    screen->setSession(session_);
    screen->setSelection(comboSelection_);
    screen->setComboGroupId(groupId_);
    screen->setCount(count_);
    std::shared_ptr<FlowControl> root = master_.lock();
    screen->setFlowControl(root ? root : shared_from_this());
    return screen;
}

} // namespace tavlo::screens
