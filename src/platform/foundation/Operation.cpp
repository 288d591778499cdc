#include "platform/foundation/Operation.h"

namespace tavlo {

void Operation::start() {
    State expected = State::Ready;
    if (!state_.compare_exchange_strong(expected, State::Executing)) return;
    struct Finish {
        std::atomic<State>& state;
        ~Finish() { state = State::Finished; }
    } finish{state_};
    if (!cancelled_) main();
}

} // namespace tavlo
