#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavlo {

// One change announcement datagram from the store server, read without trusting a byte of it.
// Layout: a 4-byte stream header, a block-data record (0x77, length, then the type as a signed
// big-endian 32-bit integer at bytes 6-9), and for a text message further records among which
// the string records (0x74, 16-bit big-endian length, text) are the source and the message.
struct StoreNotification {
    enum class Kind {
        TooShort,  // under 11 bytes
        Oversized, // longer than the receive buffer: its end was cut
        Heartbeat,
        StoreChange,
        MenuChange,
        OrderChange,
        TextMessage,      // source/message hold what the string records said
        ShortTextMessage, // a text message under 42 bytes: ignored
        Truncated,        // a text message with a record running past the end
        Unknown,
    };
    static constexpr int32_t kHeartbeatType = -1;
    static constexpr int32_t kStoreChangeType = 1;
    static constexpr int32_t kMenuChangeType = 2;
    static constexpr int32_t kOrderChangeType = 3;
    static constexpr int32_t kTextMessageType = 16;
    static constexpr size_t kMinimumLength = 11;
    static constexpr size_t kMinimumTextLength = 42;
    static constexpr uint8_t kStringRecord = 0x74;
    static constexpr uint8_t kBlockRecord = 0x77;

    Kind kind = Kind::TooShort;
    int32_t type = 0;
    // Text message: the first string record is the source, the following ones the message
    // (joined by single spaces). No source: the datagram held no string record. Bytes above
    // 0x7F read as "?".
    std::optional<std::string> source;
    std::optional<std::string> message;

    // truncated: the system cut the datagram to the receive buffer's size.
    static StoreNotification parse(std::string_view datagram, bool truncated = false);
};

} // namespace tavlo
