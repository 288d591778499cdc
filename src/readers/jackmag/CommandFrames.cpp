#include "readers/jackmag/CommandFrames.h"

namespace tavlo::jackmag {

uint8_t lrc(const Bytes& bytes) {
    uint8_t x = 0;
    for (uint8_t b : bytes) x ^= b;
    return x;
}

Bytes commandFrame(const Bytes& command) {
    Bytes frame;
    frame.reserve(command.size() + 3);
    frame.push_back(0x02);
    frame.insert(frame.end(), command.begin(), command.end());
    frame.push_back(0x03);
    frame.push_back(lrc(frame));
    return frame;
}

Bytes setPrePANFrame(int n) { return commandFrame({0x53, 0x49, 0x01, static_cast<uint8_t>(n)}); }

} // namespace tavlo::jackmag
