#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tavlo {

// One swipe of a magnetic-stripe card: the text a reader delivered, its tracks and the card
// fields, plus the card-number checks the payment code uses. Parsing logs what it could not
// read, but only the shape of the text (sentinels and separators), never the card's data.
class CreditCardSwipe {
public:
    using Text = std::optional<std::string>;

    CreditCardSwipe() = default;
    // Parses `data` at once; the pay screen passes ':' as the separator.
    CreditCardSwipe(Text data, char trackSeparator, bool debug = false);

    // Clears everything and parses a new swipe.
    void setData(Text data);
    void clear();
    void parse();
    bool parseTrack1(const Text& track);
    bool parseTrack2(const Text& track);
    static std::string cleanAccountNumber(std::string_view text);
    // XOR of `length` bytes from `offset`; 0 when the range is empty or outside `bytes`.
    static int8_t getLRC(std::span<const uint8_t> bytes, int offset, int length);

    const Text& rawData() const { return rawData_; }
    const Text& track1() const { return track1_; }
    const Text& track2() const { return track2_; }
    const Text& track3() const { return track3_; }
    const Text& accountNumber() const { return accountNumber_; }
    const Text& accountName() const { return accountName_; }
    const Text& expDate() const { return expDate_; }
    const Text& serviceCode() const { return serviceCode_; }
    const Text& trailingData() const { return trailingData_; }
    char trackSeparator() const { return trackSeparator_; }
    void setTrackSeparator(char separator) { trackSeparator_ = separator; }
    bool hadError() const { return hadError_; }
    bool debug() const { return debug_; }
    void setDebug(bool debug) { debug_ = debug; }
    bool hasTrack1() const { return track1_.has_value(); }
    bool hasTrack2() const { return track2_.has_value(); }
    bool hasTrack3() const { return track3_.has_value(); }

    // Card checks on a number given as digits.
    static bool isVISA(const Text& number);
    static bool isMasterCard(const Text& number);
    static bool isAMEX(const Text& number);
    static bool isDiscover(const Text& number);
    static bool isDiners(const Text& number);
    static bool isCarteBlanche(const Text& number);
    static bool isJCB(const Text& number);
    static bool isMOD10(const Text& number);
    static bool isValid(const Text& number);
    // `expiry` is "MMyy"; a card is good through the end of its expiry month.
    static bool isExpired(const Text& expiry);
    // "visa", "mc", "amex", "discover", "diners", "carteBlanche", "jcb" or "other".
    static std::string getCardLabel(const Text& number);

private:
    // Reads track `number`, starting at the sentinel at `pos`, into `track`; answers the index
    // after it.
    size_t readTrack(size_t pos, Text& track, int number);

    Text rawData_;
    Text track1_;
    Text track2_;
    Text track3_;
    Text accountNumber_;
    Text accountName_;
    Text expDate_;
    Text serviceCode_;
    Text trailingData_;
    char trackSeparator_ = ':';
    bool hadError_ = false;
    bool debug_ = false;
};

} // namespace tavlo
