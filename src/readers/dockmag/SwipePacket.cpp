#include "readers/dockmag/SwipePacket.h"

#include "platform/foundation/RunLoop.h"
#include "readers/dockmag/DockMag.h"

#include <optional>
#include <utility>
#include <vector>

namespace tavlo::dockmag {

namespace {

constexpr char kSTX = 0x02;
constexpr char kETX = 0x03;

bool startsTrack(char byte) { return byte == '%' || byte == ';'; }
bool endsTrack(char byte) { return byte == '\r' || byte == '\n' || byte == '\0'; }

} // namespace

struct SwipePacketAssembler::State {
    enum class Kind { None, Framed, Plain };

    mutable std::mutex mutex;
    Deliver deliver;
    Kind kind = Kind::None;
    std::string buffer;         // the packet so far, its first byte included
    bool awaitingCheck = false; // a framed packet's ETX came; its check byte is next
    std::shared_ptr<Timer> timer;

    // Feeds the bytes; the packets they complete land in `done`.
    void add(std::string_view bytes, std::vector<std::string>& done) {
        for (char byte : bytes) {
            switch (kind) {
            case Kind::None:
                if (byte == kSTX) {
                    kind = Kind::Framed;
                    buffer.assign(1, byte);
                } else if (startsTrack(byte)) {
                    kind = Kind::Plain;
                    buffer.assign(1, byte);
                }
                break;
            case Kind::Framed:
                buffer += byte;
                if (awaitingCheck) {
                    done.push_back(framedCardData());
                    clear();
                } else if (byte == kETX) {
                    awaitingCheck = true;
                }
                break;
            case Kind::Plain:
                if (endsTrack(byte)) {
                    done.push_back(buffer);
                    clear();
                } else {
                    buffer += byte;
                }
                break;
            }
        }
    }

    // The card data of a complete framed packet, or the error mark when its check fails.
    std::string framedCardData() const {
        const std::string checked = buffer.substr(0, buffer.size() - 1);
        if (DockMag::computeLRC(checked) != static_cast<uint8_t>(buffer.back())) return kErrorMark;
        return checked.substr(1, checked.size() - 2);
    }

    // Ends the packet in progress and hands it over (outside the lock).
    void expire() {
        std::optional<std::string> packet;
        Deliver handOver;
        {
            std::lock_guard lock(mutex);
            if (kind == Kind::Plain) packet = buffer;
            if (kind == Kind::Framed) packet = kErrorMark;
            clear();
            handOver = deliver;
        }
        if (packet) handOver(*packet);
    }

    void clear() {
        kind = Kind::None;
        buffer.clear();
        awaitingCheck = false;
    }
};

SwipePacketAssembler::SwipePacketAssembler(Deliver deliver, double timeout)
    : state_(std::make_shared<State>()), timeout_(timeout) {
    state_->deliver = std::move(deliver);
}

SwipePacketAssembler::~SwipePacketAssembler() { reset(); }

void SwipePacketAssembler::add(std::string_view bytes) {
    std::vector<std::string> done;
    Deliver deliver;
    {
        std::lock_guard lock(state_->mutex);
        state_->add(bytes, done);
        deliver = state_->deliver;
    }
    for (const std::string& packet : done) deliver(packet);
    armTimeout();
}

void SwipePacketAssembler::expire() { state_->expire(); }

void SwipePacketAssembler::reset() {
    std::shared_ptr<Timer> timer;
    {
        std::lock_guard lock(state_->mutex);
        state_->clear();
        timer = std::move(state_->timer);
    }
    if (timer) timer->invalidate();
}

bool SwipePacketAssembler::pending() const {
    std::lock_guard lock(state_->mutex);
    return state_->kind != State::Kind::None;
}

void SwipePacketAssembler::armTimeout() {
    std::shared_ptr<Timer> previous;
    std::shared_ptr<Timer> next;
    if (pending()) {
        // The timer holds the state weakly: an assembler gone before it fires leaves it idle.
        std::weak_ptr<State> weak = state_;
        next = RunLoop::current().performAfterDelay(timeout_, [weak] {
            if (auto state = weak.lock()) state->expire();
        });
    }
    {
        std::lock_guard lock(state_->mutex);
        previous = std::exchange(state_->timer, next);
    }
    if (previous) previous->invalidate();
}

std::string framedSwipePacket(const std::string& cardData) { return DockMag::preparePacket(cardData); }

} // namespace tavlo::dockmag
