#include "core/order/CreditCardSwipe.h"

#include "platform/foundation/Clock.h"
#include "support/LogLines.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <sstream>

using namespace tavlo;

namespace {

using Text = CreditCardSwipe::Text;

// What the swipe parser reported of what it could not read.
std::vector<std::string> swipeLog() {
    return test::loggedStartingWith({"Track data error", "No data to parse", "<", "Error reading track data",
                                     "Unexpected parsed data", "Invalid track "});
}

const std::string kTrack1 = "%B4111111111111111^DOE/JOHN^2512101000000000?";
const std::string kTrack2 = ";4111111111111111=25121010000000000?";

struct Parsed {
    Text track1, track2, track3, account, name, exp, service, trailing;
    bool error = false;
};

void expectParsed(const std::string& label, const CreditCardSwipe& s, const Parsed& p) {
    SCOPED_TRACE(label);
    EXPECT_EQ(s.track1(), p.track1);
    EXPECT_EQ(s.track2(), p.track2);
    EXPECT_EQ(s.track3(), p.track3);
    EXPECT_EQ(s.accountNumber(), p.account);
    EXPECT_EQ(s.accountName(), p.name);
    EXPECT_EQ(s.expDate(), p.exp);
    EXPECT_EQ(s.serviceCode(), p.service);
    EXPECT_EQ(s.trailingData(), p.trailing);
    EXPECT_EQ(s.hadError(), p.error);
}

} // namespace

TEST(CreditCardSwipe, ParsesSwipesOfEveryShape) {
    test::TempHome home; // parsing logs what it could not read
    const Text t1 = "B4111111111111111^DOE/JOHN^2512101000000000";
    const Text t2 = "4111111111111111=25121010000000000";
    const Text acct = "4111111111111111";
    const Text none;
    struct Case {
        std::string label;
        std::string raw;
        Parsed expected;
    };
    const Case cases[] = {
        {"both tracks", kTrack1 + kTrack2, {t1, t2, none, acct, "DOE/JOHN", "2512", "101", none, false}},
        {"reader framing skipped",
         "\x02" + kTrack1 + "\r\n" + kTrack2 + "\x1b\x03",
         {t1, t2, none, acct, "DOE/JOHN", "2512", "101", none, false}},
        {"separator between tracks",
         kTrack1 + ":" + kTrack2 + ":",
         {t1, t2, none, acct, "DOE/JOHN", "2512", "101", none, false}},
        {"track 2 only",
         ";5555555555554444=2711201?",
         {none, "5555555555554444=2711201", none, "5555555555554444", none, "2711", "201", none, false}},
        {"track 3 kept", kTrack2 + "+0123456789?", {none, t2, "0123456789", acct, none, "2512", "101", none, false}},
        {"track 1 wins over track 2",
         "%B4111111111111111^DOE/JOHN^2612999?;5555555555554444=2711201?",
         {"B4111111111111111^DOE/JOHN^2612999", "5555555555554444=2711201", none, acct, "DOE/JOHN", "2612", "999", none,
          false}},
        {"track 2 without end sentinel",
         ";4111111111111111=2512101",
         {none, "4111111111111111=2512101", none, acct, none, "2512", "101", none, true}},
        {"track 1 holds only the format code", "%B?", {"B", none, none, none, none, none, none, none, false}},
        {"empty track 1", "%?" + kTrack2, {"", t2, none, acct, none, "2512", "101", none, false}},
        {"reader error mark in a track", ";E?", {none, "E", none, none, none, none, none, none, true}},
        {"reader error mark alone", "E", {none, none, none, none, none, none, none, none, true}},
        {"stray character stops the walk",
         kTrack1 + "x" + kTrack2,
         {t1, none, none, acct, "DOE/JOHN", "2512", "101", none, true}},
        {"start sentinel at the end", kTrack1 + ";", {t1, none, none, acct, "DOE/JOHN", "2512", "101", none, false}},
        {"encrypting reader",
         kTrack1 + kTrack2 + "|0600|A1B2|C3D4||61403000|FF|x|ks1",
         {t1, t2, none, acct, "DOE/JOHN", "2512", "101", "0600|A1B2|C3D4||61403000|FF|x|ks1", false}},
        {"trailing data dropped after an error",
         kTrack1 + "?" + kTrack2 + "|0600|A1B2",
         {t1, none, none, acct, "DOE/JOHN", "2512", "101", none, true}},
        {"bar with nothing after it", kTrack2 + "|", {none, t2, none, acct, none, "2512", "101", none, false}},
        {"short expiry after the separator",
         ";4111111111111111=25?",
         {none, "4111111111111111=25", none, none, none, none, none, none, false}},
        {"short service code",
         "%B4111111111111111^DOE/JOHN^25121?",
         {"B4111111111111111^DOE/JOHN^25121", none, none, none, none, none, none, none, false}},
        {"track 2 without separator",
         ";4111111111111111?",
         {none, "4111111111111111", none, none, none, none, none, none, false}},
        {"broken track 1 keeps track 2 fields",
         "%B4111111111111111^DOE/JOHN?;5555555555554444=2711201?",
         {"B4111111111111111^DOE/JOHN", "5555555555554444=2711201", none, "5555555555554444", none, "2711", "201", none,
          false}},
        {"empty text", "", {}},
    };
    for (const Case& c : cases) expectParsed(c.label, CreditCardSwipe(c.raw, ':'), c.expected);
    expectParsed("nil text", CreditCardSwipe(std::nullopt, ':'), {});
}

TEST(CreditCardSwipe, SetDataForgetsThePreviousCard) {
    test::TempHome home; // parsing logs what it could not read
    CreditCardSwipe swipe(kTrack1 + kTrack2 + "|0600|A1B2", ':');
    ASSERT_EQ(swipe.trailingData(), Text("0600|A1B2"));
    swipe.setData(";5555555555554444=2711201?");
    expectParsed("second swipe", swipe,
                 {std::nullopt, "5555555555554444=2711201", std::nullopt, "5555555555554444", std::nullopt, "2711",
                  "201", std::nullopt, false});
    swipe.setData("x");
    EXPECT_TRUE(swipe.hadError());
    EXPECT_FALSE(swipe.accountNumber());
}

// Every cut of real-looking swipes must parse without reading past the text.
TEST(CreditCardSwipe, EveryPrefixParsesCleanly) {
    test::TempHome home; // parsing logs what it could not read
    const std::string samples[] = {
        "\x02" + kTrack1 + ":" + kTrack2 + "+0123?|0600|A1B2|C3D4\x03",
        "%B^^?;=?",
        "%B4111^N^?;4111=?",
    };
    for (const std::string& sample : samples) {
        for (size_t n = 0; n <= sample.size(); ++n) {
            CreditCardSwipe swipe(sample.substr(0, n), ':');
            if (swipe.expDate()) { EXPECT_EQ(swipe.expDate()->size(), 4u); }
            if (swipe.serviceCode()) { EXPECT_EQ(swipe.serviceCode()->size(), 3u); }
        }
    }
}

TEST(CreditCardSwipe, LogsWhatItCouldNotReadButNeverTheCard) {
    test::TempHome home;
    const std::string stars17(17, '*'), stars16(16, '*');
    const std::string track1Shape = "%" + stars17 + "^********^" + stars16 + "?";
    const std::string track2Shape = ";" + stars16 + "=" + stars17 + "?";
    struct Case {
        std::string label;
        Text raw;
        bool debug;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"good swipe", kTrack1 + kTrack2, false, {}},
        {"nil text", std::nullopt, false, {"No data to parse"}},
        {"debug shows the shape only",
         kTrack1 + ":" + kTrack2 + "|0600|A1B2",
         true,
         {"<" + track1Shape + ":" + track2Shape + "|****|****>"}},
        {"no end sentinel",
         ";4111111111111111=2512101",
         false,
         {"Track data error or End sentinel missing while parsing track 2, found: " + stars16 + "=*******"}},
        {"reader error mark in a track",
         "+E?",
         false,
         {"Track data error or End sentinel missing while parsing track 3, found: *"}},
        {"reader error mark", "E", false, {"Error reading track data, received E"}},
        {"stray digit", kTrack1 + "4" + kTrack2, false, {"Unexpected parsed data, found: *"}},
        {"stray end sentinel", "?" + kTrack2, false, {"Unexpected parsed data, found: ?"}},
        {"track 2 without separator", ";4111111111111111?", false, {"Invalid track 2 format."}},
        {"track 2 too short", ";4111111111111111=2512?", false, {"Invalid track 2 format."}},
        {"track 1 without separators", "%B4111111111111111 DOE JOHN?", false, {"Invalid track 1 format."}},
        {"track 1 with one separator", "%B4111111111111111^DOE/JOHN?" + kTrack2, false, {"Invalid track 1 format."}},
        {"track 1 holds only the format code", "%B?", false, {}},
    };
    const char* cardData[] = {"4111", "1111", "DOE", "JOHN", "2512", "0600", "A1B2"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::filesystem::remove(TavloLog::logFilePath());
        CreditCardSwipe swipe(c.raw, ':', c.debug);
        EXPECT_EQ(swipeLog(), c.lines);
        // Every entry of the log, after its time stamp and process marks.
        std::istringstream log(test::logText());
        for (std::string line; std::getline(log, line);) {
            std::string entry = line.substr(line.find("] ") + 2);
            for (const char* data : cardData) EXPECT_EQ(entry.find(data), std::string::npos) << entry;
        }
    }
}

TEST(CreditCardSwipe, CleansAccountNumbers) {
    EXPECT_EQ(CreditCardSwipe::cleanAccountNumber(" 4111 1111-1111\n1111\r"), "4111111111111111");
    EXPECT_EQ(CreditCardSwipe::cleanAccountNumber("abc"), "");
}

TEST(CreditCardSwipe, LongitudinalRedundancyCheck) {
    const std::array<uint8_t, 5> bytes{0x02, 0x41, 0x42, 0x03, 0xF0};
    EXPECT_EQ(CreditCardSwipe::getLRC(bytes, 0, 4), 0x02 ^ 0x41 ^ 0x42 ^ 0x03);
    EXPECT_EQ(CreditCardSwipe::getLRC(bytes, 4, 1), static_cast<int8_t>(0xF0));
    EXPECT_EQ(CreditCardSwipe::getLRC(bytes, 0, 0), 0);
    EXPECT_EQ(CreditCardSwipe::getLRC(bytes, 3, 3), 0); // past the end
    EXPECT_EQ(CreditCardSwipe::getLRC(bytes, -1, 2), 0);
}

TEST(CreditCardSwipe, CardLabelsByPrefixAndLength) {
    struct Case {
        Text number;
        const char* label;
    };
    const Case cases[] = {
        {"4111111111111111", "visa"},
        {"4222222222222", "visa"},
        {"411111111111111", "other"},
        {"5105105105105100", "mc"},
        {"5555555555554444", "mc"},
        {"5655555555554444", "other"},
        {"5055555555554444", "other"},
        {"378282246310005", "amex"},
        {"341111111111111", "amex"},
        {"351111111111111", "other"},
        {"6011111111111117", "discover"},
        {"6200000000000005", "discover"},
        {"6411111111111111", "discover"},
        {"6511111111111111", "discover"},
        {"6311111111111111", "other"},
        {"30569309025904", "diners"},
        {"36000000000008", "diners"},
        {"38820000000000", "diners"},
        {"38900000000000", "carteBlanche"},
        {"37000000000000", "other"},
        {"3528000000000000", "jcb"},
        {"3530111333300000", "jcb"},
        {"3589980000000000", "jcb"},
        {"3589990000000000", "other"},
        {"3527990000000000", "other"},
        {"", "other"},
        {std::nullopt, "other"},
    };
    for (const Case& c : cases) EXPECT_EQ(CreditCardSwipe::getCardLabel(c.number), c.label) << c.number.value_or("nil");
}

TEST(CreditCardSwipe, LuhnAndValidity) {
    struct Case {
        Text number;
        bool mod10;
        bool valid;
    };
    const Case cases[] = {
        {"4111111111111111", true, true},  {"4111111111111112", false, false},    {"5555555555554444", true, true},
        {"378282246310005", true, true},   {"6011111111111117", true, true},      {"30569309025904", true, true},
        {"3530111333300000", true, true},  {"79927398713", true, false},          {"1234567812345670", true, false},
        {"4000000a00000002", true, false}, {"4111-1111-1111-1111", false, false}, {"", true, false},
        {std::nullopt, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CreditCardSwipe::isMOD10(c.number), c.mod10) << c.number.value_or("nil");
        EXPECT_EQ(CreditCardSwipe::isValid(c.number), c.valid) << c.number.value_or("nil");
    }
}

TEST(CreditCardSwipe, ExpiryIsGoodThroughItsMonth) {
    ScopedFakeClock clock(Date(1749988800.0)); // mid-June 2025 in every time zone
    struct Case {
        Text expiry;
        bool expired;
    };
    const Case cases[] = {
        {"0625", false}, {"0725", false}, {"0126", false}, {"1299", false}, {" 0625 ", false},
        {"0525", true},  {"1224", true},  {"0600", true},  {"1325", true},  {"0025", true},
        {"625", true},   {"06/25", true}, {"ab25", true},  {"", true},      {std::nullopt, true},
    };
    for (const Case& c : cases) EXPECT_EQ(CreditCardSwipe::isExpired(c.expiry), c.expired) << c.expiry.value_or("nil");
}
