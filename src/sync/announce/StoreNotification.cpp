#include "sync/announce/StoreNotification.h"

namespace tavlo {

namespace {

uint8_t byteAt(std::string_view d, size_t i) { return static_cast<uint8_t>(d[i]); }

std::string asciiText(std::string_view bytes) {
    std::string text(bytes);
    for (char& c : text) {
        if (static_cast<uint8_t>(c) > 0x7F) c = '?';
    }
    return text;
}

// Walks the records after the stream header; false when a record claims bytes the datagram
// does not have.
bool scanStrings(std::string_view d, StoreNotification& out) {
    size_t pos = 4;
    while (pos < d.size()) {
        uint8_t marker = byteAt(d, pos);
        if (marker == StoreNotification::kStringRecord) {
            if (d.size() - pos < 3) return false;
            size_t length = (size_t(byteAt(d, pos + 1)) << 8) | byteAt(d, pos + 2);
            if (d.size() - pos - 3 < length) return false;
            std::string text = asciiText(d.substr(pos + 3, length));
            pos += 3 + length;
            if (!out.source) out.source = std::move(text);
            else if (!out.message) out.message = std::move(text);
            else out.message = *out.message + " " + text;
        } else if (marker == StoreNotification::kBlockRecord) {
            if (d.size() - pos < 2) return false;
            size_t length = byteAt(d, pos + 1);
            if (d.size() - pos - 2 < length) return false;
            pos += 2 + length;
        } else {
            ++pos;
        }
    }
    return true;
}

} // namespace

StoreNotification StoreNotification::parse(std::string_view d, bool truncated) {
    StoreNotification out;
    if (d.size() < kMinimumLength) {
        out.kind = Kind::TooShort;
        return out;
    }
    if (truncated) {
        out.kind = Kind::Oversized;
        return out;
    }
    uint32_t raw =
        (uint32_t(byteAt(d, 6)) << 24) | (uint32_t(byteAt(d, 7)) << 16) | (uint32_t(byteAt(d, 8)) << 8) | byteAt(d, 9);
    out.type = static_cast<int32_t>(raw);
    switch (out.type) {
    case kHeartbeatType: out.kind = Kind::Heartbeat; break;
    case kStoreChangeType: out.kind = Kind::StoreChange; break;
    case kMenuChangeType: out.kind = Kind::MenuChange; break;
    case kOrderChangeType: out.kind = Kind::OrderChange; break;
    case kTextMessageType:
        if (d.size() < kMinimumTextLength) {
            out.kind = Kind::ShortTextMessage;
        } else if (scanStrings(d, out)) {
            out.kind = Kind::TextMessage;
        } else {
            out = StoreNotification{Kind::Truncated, out.type, std::nullopt, std::nullopt};
        }
        break;
    default: out.kind = Kind::Unknown; break;
    }
    return out;
}

} // namespace tavlo
