#include "support/RecordingAnnouncer.h"

#include "core/order/Order.h"

namespace tavlo::test {

struct RecordingAnnouncer::State {
    std::mutex mutex;
    std::vector<Ticket> tickets;
    std::optional<Error> failure;
};

namespace {
class Recorder : public Announcer {
public:
    explicit Recorder(std::shared_ptr<RecordingAnnouncer::State> state) : state_(std::move(state)) {}
    void announce(const Order& order, Error* error) override;

private:
    std::shared_ptr<RecordingAnnouncer::State> state_;
};
} // namespace

RecordingAnnouncer::RecordingAnnouncer() : state_(std::make_shared<State>()) {
    std::weak_ptr<State> weak = state_;
    Announcer::setMaker([weak](Session&) -> std::unique_ptr<Announcer> {
        if (auto state = weak.lock()) return std::make_unique<Recorder>(state);
        return nullptr;
    });
}

RecordingAnnouncer::~RecordingAnnouncer() { Announcer::setMaker(nullptr); }

std::vector<RecordingAnnouncer::Ticket> RecordingAnnouncer::tickets() const {
    std::lock_guard lock(state_->mutex);
    return state_->tickets;
}

void RecordingAnnouncer::failWith(Error error) {
    std::lock_guard lock(state_->mutex);
    state_->failure = std::move(error);
}

void Recorder::announce(const Order& order, Error* error) {
    RecordingAnnouncer::Ticket ticket;
    ticket.remoteId = order.remoteId();
    ticket.isNew = order.new_();
    for (const SelectionPtr& line : order.activeSelections()) ticket.newUnits.push_back(line->newQuantity());
    std::lock_guard lock(state_->mutex);
    state_->tickets.push_back(std::move(ticket));
    if (state_->failure) Error::set(error, *state_->failure);
}

} // namespace tavlo::test
