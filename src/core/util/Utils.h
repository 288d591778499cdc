#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Clock.h"
#include "platform/foundation/Error.h"
#include "platform/graphics/PixelImage.h"

namespace tavlo {

// Small stateless helpers: money text, fixed-width padding for receipts and tickets, dates in
// words, bit and BCD helpers. Texts are UTF-8; lengths count characters, not bytes.
class Utils {
public:
    // The currency symbol money texts carry.
    static constexpr const char* kCurrencySymbol = "$";

    // Cents as text with `decimals` digits after the point ("123.45", "0.05"), the symbol when
    // asked, a leading "-" for a negative amount. No thousands separator.
    static std::string formatAmount(int64_t cents, bool currency, int decimals);
    static std::string formatCurrency(int64_t cents) { return formatAmount(cents, true, 2); }
    static std::string formatAmount(int64_t cents, int decimals) { return formatAmount(cents, false, decimals); }
    static std::string formatAmount(int64_t cents) { return formatAmount(cents, false, 0); }
    // A rate in hundredths of a percent as a percentage: 825 gives "8.25%".
    static std::string formatPercent(int64_t hundredths) { return formatAmount(hundredths, false, 2) + "%"; }
    // Money text to cents. The text is expected to carry two decimals, as formatCurrency writes
    // them: "$1,234.50" gives 123450, "12.345" 1234, but "12.5" gives 125 and "12" gives 12.
    static int32_t parseCurrency(const std::optional<std::string>& text);

    // The text cut to `length` characters, or padded up to it in front (lpad) or behind (rpad).
    static std::string lpad(std::string_view text, char pad, unsigned length);
    static std::string rpad(std::string_view text, char pad, unsigned length);
    // Centred in `length`; an odd pad character goes on the right.
    static std::string center(std::string_view text, char pad, unsigned length);
    // The text, or its first (length - 3) characters and "..." when longer than `length`.
    static std::string trunc(std::string_view text, unsigned length);

    // 1-366 in the device's time zone.
    static int dayOfYear(Date date);
    // "Today at 3:05 PM", "Yesterday at ...", "Tomorrow at ...", else "Mar 4 at 3:05 PM"; "" for nil.
    static std::string naturalStringForDate(std::optional<Date> date);
    // "Mar 4 at 3:05 PM"; "" for nil.
    static std::string stringForDate(std::optional<Date> date);

    // The terminal's one error domain: the store server's, the card gateways' and the model's own
    // failures.
    static constexpr const char* kStoreServerErrorDomain = "StoreServerErrorDomain";
    static Error getError(std::string text, std::string domain, int code);

    // A server address in its short form, for display and comparison: no scheme, no ":4444", no
    // ".local" (each first occurrence only); nil gives nil.
    static std::optional<std::string> unformatURL(const std::optional<std::string>& url);

    static int bcd(int n) { return (n / 10) * 16 + n % 10; }
    static int unbcd(int n) { return n % 16 + (n / 16) * 10; }
    // 8 characters, most significant bit first: "." for 1, " " for 0.
    static std::string byteToBinary(uint8_t byte);
    // 32 characters "0"/"1", most significant bit first.
    static std::string intToBinary(int32_t value);

    // Pictures for receipts (UtilsImages.cpp).
    // The picture scaled by one factor for both sides so that it fits width x height, drawn at
    // the top-left corner of a transparent canvas of exactly that size; a null picture gives the
    // empty canvas.
    static PixelImage imageWithImage(const PixelImage& image, int width, int height);
    // One byte per pixel, row by row: 0xFF where the pixel, printed on white paper, is dark (red
    // + green + blue below 631), else 0. Transparent parts are paper. Empty for a null picture.
    static std::vector<uint8_t> escposBitmapFromImage(const PixelImage& image);
};

// Each element's answer to `answer`, with "?" where it answers nil.
template <typename T, typename F>
std::vector<std::string> arrayByPerformingSelector(const std::vector<T>& items, F answer) {
    std::vector<std::string> out;
    out.reserve(items.size());
    for (const auto& item : items) {
        std::optional<std::string> value = answer(item);
        out.push_back(value ? std::move(*value) : std::string("?"));
    }
    return out;
}

} // namespace tavlo
