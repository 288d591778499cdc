#pragma once

#include <cstdint>
#include <string>

namespace tavlo::screens {

// How a tip or gratuity stands against the amount it is added to. A payment's total is kept in 32
// bits of cents: an extra that takes it beyond is refused. One larger than the amount is asked
// about first (a slip of the keys, "9999" for "99", would charge the card for it).
enum class TipVerdict { Fine, AskFirst, Refused };

// `extra` on `amount`, with the payment's other extras `others` (a tip beside a gratuity).
TipVerdict judgeTip(int64_t amount, int64_t extra, int64_t others = 0);

// "Alert" texts of the two answers that are not Fine.
std::string largeTipQuestion(int64_t extra, int64_t amount);
std::string tipTooLarge();

} // namespace tavlo::screens
