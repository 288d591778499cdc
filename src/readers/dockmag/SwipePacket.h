#pragma once

#include "platform/foundation/Timer.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace tavlo::dockmag {

// A serial card reader sends one swipe over tens of milliseconds, and the stream hands it over in
// whatever pieces the line delivered. The assembler gathers the pieces into the reader's packets
// and hands over each one whole:
//  - a framed packet: STX, the card data, ETX, and the XOR of every byte before it; its card data
//    is handed over, or the reader's error mark "E" when the check does not match;
//  - a plain track packet: from a track's start sentinel ('%' or ';') up to CR, LF or a zero byte
//    (the end byte is not part of it).
// A packet that stops coming in for `timeout` seconds ends there: a plain one is handed over as it
// stands (the track parser judges it), a framed one as "E". Bytes outside a packet are line noise
// and dropped. The time-out runs on the run loop of the thread that adds the bytes.
class SwipePacketAssembler {
public:
    using Deliver = std::function<void(const std::string& packet)>;
    static constexpr double kDefaultTimeout = 0.3;
    static inline const std::string kErrorMark = "E";

    explicit SwipePacketAssembler(Deliver deliver, double timeout = kDefaultTimeout);
    ~SwipePacketAssembler();
    SwipePacketAssembler(const SwipePacketAssembler&) = delete;
    SwipePacketAssembler& operator=(const SwipePacketAssembler&) = delete;

    // Takes the next bytes of the stream and hands over every packet they complete.
    void add(std::string_view bytes);
    // Ends the packet in progress as a time-out does.
    void expire();
    // Forgets a packet in progress (the reader went away).
    void reset();
    bool pending() const;

private:
    struct State;
    void armTimeout();

    std::shared_ptr<State> state_;
    double timeout_;
};

// The bytes of a swipe as the reader packs them (tests and the reader's simulators).
std::string framedSwipePacket(const std::string& cardData);

} // namespace tavlo::dockmag
