#pragma once

#include "platform/ui/ViewController.h"

#include <functional>
#include <memory>
#include <vector>

namespace tavlo {
class Order;
class Selection;
class Session;
} // namespace tavlo

namespace tavlo::screens {

// An item flow: the screens a new order line steps through (seat and course, price, quantity,
// comment, preparations, sides and the sides' own preparations), one after another in one modal
// navigation controller, and the sub-flows it runs on the way. Every screen of a flow talks to
// the root flow, which passes on to its sub-flows; the screens share ownership of it, so the
// flow lives while any of them does and goes with the navigation that shows them.
//
// The contract every option screen keeps (moveOn, stepBack): when a choice is made the screen
// pushes the flow's next screen, or ends the flow with `done` when there is none; on back the
// screen steps the flow back and pops itself, or, on the flow's first screen, dismisses the whole
// navigation, which drops the line without calling `done`. nextView's screens are the ones shown;
// those of previousView and currentView only signal whether there is one.
class FlowControl : public std::enable_shared_from_this<FlowControl> {
public:
    // Receives the finished line in done().
    using Action = std::function<void(const std::shared_ptr<Selection>&)>;

    virtual ~FlowControl();
    FlowControl(const FlowControl&) = delete;
    FlowControl& operator=(const FlowControl&) = delete;

    // The steps. Each kind of flow answers them; the base raises InconsistencyError for one that
    // a flow does not answer.
    virtual bool hasNextView();
    // A new screen for the next step, owned by the caller; null at the end.
    virtual std::shared_ptr<ui::ViewController> nextView();
    virtual bool hasPreviousView();
    // Steps the flow back one screen; the screen made for the earlier step is only a signal.
    virtual std::shared_ptr<ui::ViewController> previousView();
    // A screen is at the flow's position (this flow's own or a sub-flow's).
    virtual bool hasCurrentView();
    // A new screen for the position; null when the flow has shown none.
    virtual std::shared_ptr<ui::ViewController> currentView();
    // The flow's end: hands the finished line to whoever started the flow.
    virtual void done();
    // Whether the seat and course screen is shown and which questions it asks; flows without
    // that screen ignore them.
    bool seats() const { return seats_; }
    void setSeats(bool seats) { seats_ = seats; }
    bool courses() const { return courses_; }
    void setCourses(bool courses) { courses_ = courses; }

    // The stack of sub-flows; its top is the last one pushed.
    void pushFlow(std::shared_ptr<FlowControl> flow);
    // Removes the top; nothing on an empty stack.
    void popFlow();
    // Removes sub-flows above `flow` (which stays) and answers how many went; when `flow` is not
    // on the stack, all of them go.
    int popFlowTo(const FlowControl& flow);
    void popAllFlows();
    const std::vector<std::shared_ptr<FlowControl>>& subFlows() const { return subFlows_; }

    // The order the line is for.
    const std::shared_ptr<Order>& order() const { return order_; }
    void setOrder(std::shared_ptr<Order> order) { order_ = std::move(order); }
    Session* session() const { return session_; }
    // Which prompt screens this flow shows; none at first.
    bool pricePrompt() const { return pricePrompt_; }
    void setPricePrompt(bool prompt) { pricePrompt_ = prompt; }
    bool quantityPrompt() const { return quantityPrompt_; }
    void setQuantityPrompt(bool prompt) { quantityPrompt_ = prompt; }
    bool commentPrompt() const { return commentPrompt_; }
    void setCommentPrompt(bool prompt) { commentPrompt_ = prompt; }

    // An option screen's choice is made: with a flow, its next screen is pushed over `screen`, or
    // the flow ends; without one the screen goes back to where it was opened from.
    static void moveOn(ui::ViewController& screen, FlowControl* flow, bool animated);
    // An option screen's back: with a flow that has nothing before the screen, the navigation is
    // dismissed and the line dropped; otherwise the flow (if any) steps back and the screen pops.
    static void stepBack(ui::ViewController& screen, FlowControl* flow, bool animated);

protected:
    explicit FlowControl(Session* session = nullptr, std::shared_ptr<Order> order = nullptr);

    // The position among the sub-flows, which every kind of flow keeps the same way: the topmost
    // sub-flow that has shown a screen is the position; sub-flows above it showed nothing.
    FlowControl* subFlowAtPosition() const;
    // A sub-flow below `position` has shown a screen.
    bool earlierSubFlowShown(const FlowControl* position) const;
    // One screen back among the sub-flows: within the sub-flow at the position, else to the last
    // screen of the nearest earlier one that showed a screen (the sub-flows above it go). Null when
    // no sub-flow is left to land on; `wasInSubFlows` then says whether the position had been in
    // one, so that the flow lands on its own screen before them.
    std::shared_ptr<ui::ViewController> stepBackInSubFlows(bool& wasInSubFlows);
    // The screen at the position among the sub-flows, dropping those that showed nothing; null
    // when none showed a screen.
    std::shared_ptr<ui::ViewController> currentInSubFlows();
    // Removes the top sub-flow while stepping back; flows that count their sub-flows keep the
    // count in step.
    virtual void dropTopSubFlow() { popFlow(); }

    bool wantsSeatCourse() const { return seats_ || courses_; }

    Session* session_;
    std::shared_ptr<Order> order_;
    bool seats_ = false, courses_ = false;
    bool pricePrompt_ = false, quantityPrompt_ = false, commentPrompt_ = false;
    bool showedPricePrompt_ = false, showedQuantityPrompt_ = false, showedCommentPrompt_ = false;

private:
    std::vector<std::shared_ptr<FlowControl>> subFlows_;
};

} // namespace tavlo::screens
