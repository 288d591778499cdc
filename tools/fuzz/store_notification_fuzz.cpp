// Feeds arbitrary datagrams to the change announcement parser: it must never read outside the
// datagram, and what it answers must hang together.
#include "sync/announce/StoreNotification.h"

#include <cstdlib>

using tavlo::StoreNotification;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly `size` bytes, so that AddressSanitizer sees any read past the end.
    char* copy = static_cast<char*>(std::malloc(size ? size : 1));
    for (size_t i = 0; i < size; ++i) copy[i] = static_cast<char>(data[i]);
    StoreNotification n = StoreNotification::parse(std::string_view(copy, size));

    bool text = n.kind == StoreNotification::Kind::TextMessage;
    if (!text && (n.source || n.message)) std::abort();
    if (n.message && !n.source) std::abort();
    size_t textBytes = (n.source ? n.source->size() : 0) + (n.message ? n.message->size() : 0);
    if (textBytes > size) std::abort();
    std::free(copy);
    return 0;
}
