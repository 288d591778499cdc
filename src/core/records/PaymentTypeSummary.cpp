#include "core/records/PaymentTypeSummary.h"

namespace tavlo {

const std::vector<std::string>& PaymentTypeSummary::xmlTypes() {
    static const std::vector<std::string> types = {"cash", "nonCash", "credit", "extCredit", "onlineCredit"};
    return types;
}

} // namespace tavlo
