#pragma once

#include "screens/common/FlowControl.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {
class ManagedObject;
using ManagedObjectPtr = std::shared_ptr<ManagedObject>;
using SelectionPtr = std::shared_ptr<Selection>;
} // namespace tavlo

namespace tavlo::screens {

// The flow of one plain item, and of each side of it. Its screens come in this order: seat and
// course, price, quantity, comment (each when asked for), one screen per required preparation
// group of the item's recipe, the sides screen when the item includes more sides than it has by
// default, then the screens of each side in turn (a side flow per side, pushed as it is reached:
// a side shows its own required preparation groups).
//
// The position is the last screen shown, kept in the marks below, `currentPreparation`,
// `currentSide` and the stack of side flows. previousView moves it back by exactly one screen:
// within the top side flow; to the screen of an earlier side flow; from the side flows to the
// sides screen (going forward again reads the sides anew); from the sides or the first side screen
// to the last preparation group; from group k to k-1; from the preparations to the last prompt
// shown, then price, then seat and course. Landing on a screen restarts every stage after it, so
// going forward shows those screens again (their earlier answers stay in the line).
class SelectionFlowControl : public FlowControl {
public:
    // `master` is the root flow when this is a side flow, null for a root. A null action: done()
    // does nothing.
    SelectionFlowControl(SelectionPtr selection, const std::shared_ptr<FlowControl>& master, Session* session,
                         std::shared_ptr<Order> order, Action action);
    ~SelectionFlowControl() override;

    bool hasNextView() override;
    std::shared_ptr<ui::ViewController> nextView() override;
    bool hasPreviousView() override;
    std::shared_ptr<ui::ViewController> previousView() override;
    bool hasCurrentView() override;
    std::shared_ptr<ui::ViewController> currentView() override;
    void done() override;

    // The answers of the prompt screens; nil (a back step) changes nothing.
    // The price: the cents of the money text.
    void savePrice(const std::optional<std::string>& text);
    // Quantity and units not yet sent both become the text's number.
    void saveQuantity(const std::optional<std::string>& text);
    void saveComment(const std::optional<std::string>& text);

    // The recipe's required RecipePreparationGroup rows by sequence, read anew at every call.
    std::vector<ManagedObjectPtr> requiredPreparationGroups();
    // The side stage of hasNextView and nextView: the side flows after `currentSide`.
    bool hasNextSideView();
    std::shared_ptr<ui::ViewController> nextSideView();

    const SelectionPtr& selection() const { return selection_; }
    int currentPreparation() const { return currentPreparation_; }
    int currentSide() const { return currentSide_; }

private:
    // This flow's own screens, in the order they come.
    enum class Stage { None, SeatCourse, Price, Quantity, Comment, Preparation, Sides, SideFlows };
    struct Place {
        Stage stage = Stage::None;
        int preparation = -1; // the group's index, for Stage::Preparation
    };

    // The flow the screens talk to: the root.
    std::shared_ptr<FlowControl> root();
    bool hasPreparationStage() const;
    // The last own screen shown; None when none was.
    Place ownPlace() const;
    // The own screen shown before `place`; None when there is none.
    Place placeBefore(Place place) const;
    // Drops side flows from the top, keeping `currentSide` in step.
    void dropTopSubFlow() override;
    // Moves the position to an own screen, restarting every stage after it, and makes its screen.
    std::shared_ptr<ui::ViewController> land(Place place);
    std::shared_ptr<ui::ViewController> screenFor(Place place);
    std::shared_ptr<SelectionFlowControl> sideFlow(const SelectionPtr& side);

    template <typename Prompt>
    std::shared_ptr<Prompt> prompt(const std::string& title,
                                   void (SelectionFlowControl::*answer)(const std::optional<std::string>&));
    // The screens, each given the root flow.
    std::shared_ptr<ui::ViewController> priceScreen();
    std::shared_ptr<ui::ViewController> quantityScreen();
    std::shared_ptr<ui::ViewController> commentScreen();
    std::shared_ptr<ui::ViewController> preparationScreen(const ManagedObjectPtr& group);
    std::shared_ptr<ui::ViewController> sidesScreen();

    SelectionPtr selection_;
    std::weak_ptr<FlowControl> master_;
    Action action_;
    bool showedSeatsCourses_ = false, showedSides_ = false;
    int currentPreparation_ = -1;
    int currentSide_ = -1;
};

} // namespace tavlo::screens
