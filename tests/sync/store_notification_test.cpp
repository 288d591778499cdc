#include "sync/announce/StoreNotification.h"

#include <gtest/gtest.h>

using namespace tavlo;
using Kind = StoreNotification::Kind;

namespace {

// Builds datagrams as the server writes them: stream header, the type's block, then records.
struct Datagram {
    std::string bytes = std::string("\xAC\xED\x00\x05", 4);

    explicit Datagram(int32_t type) {
        bytes += "\x77\x04";
        uint32_t t = static_cast<uint32_t>(type);
        for (int shift = 24; shift >= 0; shift -= 8) bytes += static_cast<char>((t >> shift) & 0xFF);
    }
    Datagram& string(const std::string& text) {
        bytes += '\x74';
        bytes += static_cast<char>(text.size() >> 8);
        bytes += static_cast<char>(text.size() & 0xFF);
        bytes += text;
        return *this;
    }
    Datagram& raw(const std::string& more) {
        bytes += more;
        return *this;
    }
    Datagram& padTo(size_t size) {
        if (bytes.size() < size) bytes.append(size - bytes.size(), '\0');
        return *this;
    }
    Datagram& cutTo(size_t size) {
        bytes.resize(size);
        return *this;
    }
};

using Text = std::optional<std::string>;

} // namespace

TEST(StoreNotification, TypesAndLengths) {
    struct Case {
        const char* what;
        std::string datagram;
        Kind kind;
        int32_t type;
    };
    const Case cases[] = {
        {"10 bytes", Datagram(1).cutTo(10).bytes, Kind::TooShort, 0},
        {"empty", "", Kind::TooShort, 0},
        {"11 bytes, store change", Datagram(1).padTo(11).bytes, Kind::StoreChange, 1},
        {"menu change", Datagram(2).padTo(11).bytes, Kind::MenuChange, 2},
        {"order change", Datagram(3).padTo(11).bytes, Kind::OrderChange, 3},
        {"heartbeat", Datagram(-1).padTo(20).bytes, Kind::Heartbeat, -1},
        {"type 0", Datagram(0).padTo(11).bytes, Kind::Unknown, 0},
        {"type 4", Datagram(4).padTo(11).bytes, Kind::Unknown, 4},
        {"type -2", Datagram(-2).padTo(11).bytes, Kind::Unknown, -2},
        {"big-endian type", Datagram(0x01020304).padTo(11).bytes, Kind::Unknown, 0x01020304},
        {"41-byte text message", Datagram(16).string("A").string("B").padTo(41).bytes, Kind::ShortTextMessage, 16},
        {"42-byte text message", Datagram(16).string("A").string("B").padTo(42).bytes, Kind::TextMessage, 16},
        // The type is read without checking the block marker in front of it.
        {"no block marker", std::string("\0\0\0\0\0\0\0\0\0\x03\0", 11), Kind::OrderChange, 3},
    };
    for (const Case& c : cases) {
        StoreNotification n = StoreNotification::parse(c.datagram);
        EXPECT_EQ(n.kind, c.kind) << c.what;
        EXPECT_EQ(n.type, c.type) << c.what;
    }
}

TEST(StoreNotification, TextMessageRecords) {
    struct Case {
        const char* what;
        std::string datagram;
        Kind kind;
        Text source;
        Text message;
    };
    const Case cases[] = {
        {"source and message", Datagram(16).string("Office").string("Close at ten").padTo(42).bytes, Kind::TextMessage,
         "Office", "Close at ten"},
        {"three strings", Datagram(16).string("A").string("B").string("C").padTo(42).bytes, Kind::TextMessage, "A",
         "B C"},
        {"source only", Datagram(16).string("Office").padTo(42).bytes, Kind::TextMessage, "Office", std::nullopt},
        {"no string record", Datagram(16).padTo(42).bytes, Kind::TextMessage, std::nullopt, std::nullopt},
        // A 0x74 inside a block-data record is stepped over with the block.
        {"string marker inside a block",
         Datagram(16).raw(std::string("\x77\x05\x74\x00\x01Z\x00", 7)).string("S").string("M").padTo(42).bytes,
         Kind::TextMessage, "S", "M"},
        // Other bytes between records are stepped one at a time; a 0x74 there starts a record.
        {"records among other bytes",
         Datagram(16).raw("\x72\x01\x02").string("S").raw("\x78\x70").string("M").padTo(42).bytes, Kind::TextMessage,
         "S", "M"},
        {"empty strings", Datagram(16).string("").string("").string("x").padTo(42).bytes, Kind::TextMessage, "", " x"},
        {"bytes above 0x7F", Datagram(16).string("Caf\xE9").string("ok\x80").padTo(42).bytes, Kind::TextMessage, "Caf?",
         "ok?"},
        {"long text", Datagram(16).string("S").string(std::string(300, 'm')).bytes, Kind::TextMessage, "S",
         std::string(300, 'm')},
    };
    for (const Case& c : cases) {
        StoreNotification n = StoreNotification::parse(c.datagram);
        EXPECT_EQ(n.kind, c.kind) << c.what;
        EXPECT_EQ(n.source, c.source) << c.what;
        EXPECT_EQ(n.message, c.message) << c.what;
    }
}

TEST(StoreNotification, RecordsRunningPastTheEndDropTheMessage) {
    const std::string full = Datagram(16).string("Office").padTo(40).string("Close at ten").bytes;
    const std::string cases[] = {
        // The text is cut.
        full.substr(0, full.size() - 1),
        // The length field is cut (the marker is the last byte, then one byte of length).
        Datagram(16).string("Office").padTo(41).raw("\x74").bytes,
        Datagram(16).string("Office").padTo(40).raw(std::string("\x74\x00", 2)).bytes,
        // A length far past the end.
        Datagram(16)
            .string("Office")
            .padTo(42)
            .raw("\x74\xFF\xFF"
                 "abc")
            .bytes,
        // A block whose length runs past the end, and a block marker as the last byte.
        Datagram(16)
            .string("Office")
            .padTo(42)
            .raw("\x77\x10"
                 "abc")
            .bytes,
        Datagram(16).string("Office").padTo(42).raw("\x77").bytes,
    };
    for (const std::string& d : cases) {
        StoreNotification n = StoreNotification::parse(d);
        EXPECT_EQ(n.kind, Kind::Truncated) << d.size();
        EXPECT_FALSE(n.source.has_value());
        EXPECT_FALSE(n.message.has_value());
    }
    EXPECT_EQ(StoreNotification::parse(full).kind, Kind::TextMessage);
}

TEST(StoreNotification, ADatagramTheSystemCutIsOversizedWhateverItsLength) {
    std::string d = Datagram(1).padTo(9216).bytes;
    EXPECT_EQ(StoreNotification::parse(d, true).kind, Kind::Oversized);
    EXPECT_EQ(StoreNotification::parse(d, false).kind, Kind::StoreChange) << "a full buffer may hold a whole datagram";
    EXPECT_EQ(StoreNotification::parse(d.substr(0, 64), true).kind, Kind::Oversized);
    EXPECT_EQ(StoreNotification::parse(d.substr(0, 10), true).kind, Kind::TooShort);
}
