#pragma once

#include "screens/common/FlowControl.h"

#include <functional>
#include <memory>
#include <string>

namespace tavlo {
class ComboSelection;
using SelectionPtr = std::shared_ptr<Selection>;
} // namespace tavlo

namespace tavlo::screens {

// The flow of one combo group inside a combo's flow: the combo group screen, where the guest's
// choices are made, then the screens each chosen item needs (one item flow per chosen item, pushed
// as the position reaches it). The combo flow is the root every screen talks to.
//
// previousView: within the top item flow; to the last screen of an earlier item flow that showed
// one; from the first chosen item's screens back to the group screen, dropping the item flows so
// that going forward reads the group's choices anew; from the group screen nil, for the combo
// flow steps back past it.
class GroupFlowControl : public FlowControl {
public:
    // The combo flow gives no action (done() hands the combo to none).
    GroupFlowControl(std::string groupId, const std::shared_ptr<FlowControl>& master,
                     std::shared_ptr<ComboSelection> comboSelection, std::shared_ptr<Order> order, int count,
                     Session* session, Action action);
    ~GroupFlowControl() override;

    bool hasNextView() override;
    std::shared_ptr<ui::ViewController> nextView() override;
    bool hasPreviousView() override;
    std::shared_ptr<ui::ViewController> previousView() override;
    bool hasCurrentView() override;
    std::shared_ptr<ui::ViewController> currentView() override;
    void done() override;

    const std::string& groupId() const { return groupId_; }
    int count() const { return count_; }
    // The last chosen item whose flow was started; -1 before the first.
    int currentSelection() const { return currentSelection_; }
    bool showedGroup() const { return showedGroup_; }

private:
    void dropTopSubFlow() override;
    // The chosen items of the group, in order; a copy, so flows may change the group.
    std::vector<SelectionPtr> chosen() const;
    std::shared_ptr<FlowControl> itemFlow(const SelectionPtr& item);
    std::shared_ptr<ui::ViewController> groupScreen();
    // Back to the group screen: the chosen items are read anew going forward.
    std::shared_ptr<ui::ViewController> landOnGroup();

    std::string groupId_;
    std::weak_ptr<FlowControl> master_;
    std::shared_ptr<ComboSelection> comboSelection_;
    int count_;
    Action action_;
    int currentSelection_ = -1;
    bool showedGroup_ = false;
};

} // namespace tavlo::screens
