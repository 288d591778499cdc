#pragma once

#include <cstdint>
#include <netinet/in.h>

namespace tavlo::printerlib {

// One datagram as its receiving thread hands it over: the pointers are that thread's own
// buffers and are valid only during the delegate call.
struct UDPPacket {
    const sockaddr_in* addr = nullptr; // the sender
    const uint8_t* data = nullptr;
    int32_t size = 0;
};

} // namespace tavlo::printerlib
