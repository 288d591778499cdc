#include "screens/common/TipLimits.h"

#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"

#include <limits>

namespace tavlo::screens {

TipVerdict judgeTip(int64_t amount, int64_t extra, int64_t others) {
    const int64_t total = amount + extra + others;
    if (total > std::numeric_limits<int32_t>::max() || total < std::numeric_limits<int32_t>::min())
        return TipVerdict::Refused;
    return extra > amount ? TipVerdict::AskFirst : TipVerdict::Fine;
}

std::string largeTipQuestion(int64_t extra, int64_t amount) {
    return format(localized("The tip of %@ is larger than the amount of %@. Is it correct?"),
                  Utils::formatCurrency(extra), Utils::formatCurrency(amount));
}

std::string tipTooLarge() { return localized("The tip is too large to be taken"); }

} // namespace tavlo::screens
