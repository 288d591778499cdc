#pragma once

#include "platform/ui/ViewController.h"

#include <memory>

namespace tavlo::screens {

// An item flow: the steps a new order line goes through (price, quantity, comment, options), one
// screen each, inside one navigation controller. The screens of a flow drive it through these
// operations: after a screen's answer, the next screen is pushed or the flow is done; after a
// back, the flow steps back or the whole stack is dismissed.
class FlowControl {
public:
    virtual ~FlowControl() = default;

    virtual bool hasNextView() = 0;
    // A new screen for the next step, owned by the caller; null at the end.
    virtual std::shared_ptr<ui::ViewController> nextView() = 0;
    virtual bool hasPreviousView() = 0;
    // Steps the flow back; the screen made for the earlier step is only a signal (null or not).
    virtual std::shared_ptr<ui::ViewController> previousView() = 0;
    // The flow's end: hands the finished line to whoever started the flow.
    virtual void done() = 0;
};

} // namespace tavlo::screens
