#include "screens/common/FlowControl.h"

#include "platform/foundation/Error.h"
#include "platform/ui/NavigationController.h"

#include <algorithm>

namespace tavlo::screens {

using namespace ui;

FlowControl::FlowControl(Session* session, std::shared_ptr<Order> order) : session_(session), order_(std::move(order)) {
    subFlows_.reserve(3);
}

FlowControl::~FlowControl() = default;

namespace {

[[noreturn]] void notImplemented(const char* operation) {
    throw InconsistencyError(std::string("FlowControl::") + operation + " is not implemented by this flow");
}

} // namespace

bool FlowControl::hasNextView() { notImplemented("hasNextView"); }
std::shared_ptr<ViewController> FlowControl::nextView() { notImplemented("nextView"); }
bool FlowControl::hasPreviousView() { notImplemented("hasPreviousView"); }
std::shared_ptr<ViewController> FlowControl::previousView() { notImplemented("previousView"); }
bool FlowControl::hasCurrentView() { notImplemented("hasCurrentView"); }
std::shared_ptr<ViewController> FlowControl::currentView() { notImplemented("currentView"); }
void FlowControl::done() { notImplemented("done"); }

void FlowControl::pushFlow(std::shared_ptr<FlowControl> flow) { subFlows_.push_back(std::move(flow)); }

void FlowControl::popFlow() {
    if (!subFlows_.empty()) subFlows_.pop_back();
}

int FlowControl::popFlowTo(const FlowControl& flow) {
    int removed = 0;
    while (!subFlows_.empty() && subFlows_.back().get() != &flow) {
        subFlows_.pop_back();
        ++removed;
    }
    return removed;
}

void FlowControl::popAllFlows() { subFlows_.clear(); }

FlowControl* FlowControl::subFlowAtPosition() const {
    for (auto it = subFlows_.rbegin(); it != subFlows_.rend(); ++it)
        if ((*it)->hasCurrentView()) return it->get();
    return nullptr;
}

bool FlowControl::earlierSubFlowShown(const FlowControl* position) const {
    for (const auto& flow : subFlows_) {
        if (flow.get() == position) return false;
        if (flow->hasCurrentView()) return true;
    }
    return false;
}

std::shared_ptr<ViewController> FlowControl::stepBackInSubFlows(bool& wasInSubFlows) {
    wasInSubFlows = false;
    while (!subFlows_.empty()) {
        FlowControl& top = *subFlows_.back();
        if (top.hasCurrentView()) {
            if (wasInSubFlows) return top.currentView(); // an earlier sub-flow's screen
            wasInSubFlows = true;
            if (auto screen = top.previousView()) return screen;
        }
        dropTopSubFlow();
    }
    return nullptr;
}

std::shared_ptr<ViewController> FlowControl::currentInSubFlows() {
    while (!subFlows_.empty()) {
        if (auto screen = subFlows_.back()->currentView()) return screen;
        dropTopSubFlow();
    }
    return nullptr;
}

void FlowControl::moveOn(ViewController& screen, FlowControl* flow, bool animated) {
    NavigationController* navigation = screen.navigationController();
    if (!flow) {
        if (navigation) navigation->pop(animated);
        return;
    }
    auto keep = flow->shared_from_this(); // the end of the flow may close every screen of it
    if (flow->hasNextView()) {
        if (auto next = flow->nextView(); next && navigation) navigation->push(std::move(next), animated);
        return;
    }
    flow->done();
}

void FlowControl::stepBack(ViewController& screen, FlowControl* flow, bool animated) {
    if (flow && !flow->hasPreviousView()) {
        screen.dismiss(animated);
        return;
    }
    if (flow) flow->previousView();
    if (NavigationController* navigation = screen.navigationController()) navigation->pop(animated);
}

} // namespace tavlo::screens
