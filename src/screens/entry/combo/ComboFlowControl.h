#pragma once

#include "screens/common/FlowControl.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {
class ComboSelection;
class ManagedObject;
using ManagedObjectPtr = std::shared_ptr<ManagedObject>;
using SelectionPtr = std::shared_ptr<Selection>;
} // namespace tavlo

namespace tavlo::screens {

// The flow of a combo item: seat and course, the price (each when asked for), the screens each
// fixed item of the combo needs, then for each of the item's combo groups in `sequence` order the
// combo group screen and the screens of the items chosen there. Every screen talks to this flow,
// the root; its sub-flows are one item flow per fixed item, then one GroupFlowControl per combo
// group, pushed as the position reaches them (an item flow also when it has no screen).
//
// previousView moves the position back one screen: within the top sub-flow; to the last screen
// of the nearest earlier sub-flow that showed one; from the first screen of the fixed items and
// groups to the price, then to seat and course. Landing on an own screen drops every sub-flow, so
// going forward starts the fixed items and groups afresh (their earlier choices stay in the line).
class ComboFlowControl : public FlowControl {
public:
    ComboFlowControl(std::shared_ptr<ComboSelection> selection, Session* session, std::shared_ptr<Order> order,
                     Action action);
    ~ComboFlowControl() override;

    bool hasNextView() override;
    std::shared_ptr<ui::ViewController> nextView() override;
    bool hasPreviousView() override;
    std::shared_ptr<ui::ViewController> previousView() override;
    bool hasCurrentView() override;
    std::shared_ptr<ui::ViewController> currentView() override;
    void done() override;

    // The price screen's answer: the cents of the money text; nil (a back step) changes nothing.
    void savePrice(const std::optional<std::string>& text);

    const std::shared_ptr<ComboSelection>& selection() const { return selection_; }
    // The last fixed item and the last combo group whose flows were started; -1 before the first.
    int currentItem() const { return currentItem_; }
    int currentGroup() const { return currentGroup_; }

    // The combo item's ItemComboGroup rows by sequence; none when the store has no such item.
    std::vector<ManagedObjectPtr> comboGroups();

private:
    // This flow's own screens, in the order they come; SubFlows stands for everything after them.
    enum class Stage { None, SeatCourse, Price, SubFlows };

    void dropTopSubFlow() override;
    Stage ownPlace() const;
    Stage placeBefore(Stage place) const;
    // Moves the position to an own screen, dropping every sub-flow, and makes its screen.
    std::shared_ptr<ui::ViewController> land(Stage place);
    std::shared_ptr<FlowControl> itemFlow(const SelectionPtr& item);
    std::shared_ptr<FlowControl> groupFlow(const ManagedObjectPtr& comboGroup);
    std::shared_ptr<ui::ViewController> priceScreen();

    std::shared_ptr<ComboSelection> selection_;
    Action action_;
    bool showedSeatsCourses_ = false;
    int currentItem_ = -1;
    int currentGroup_ = -1;
};

} // namespace tavlo::screens
