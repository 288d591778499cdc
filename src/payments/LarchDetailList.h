#pragma once

#include "payments/LarchTransaction.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/TimeZone.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {

// The Larch gateway's transaction detail list: the second XML document its detail reply carries
// as text. Each TrxDetailCard element is one transaction, its child elements its fields
// (Void_Flag_CH "1" marks it voided); the texts of Error elements (any case) are collected.
class LarchDetailList {
public:
    // The time zone the detail query's dates are written in.
    struct Zone {
        TimeZone zone;
        std::string name;
    };
    // HOST_LARCH_SETTLE_TZ_ABBREV, else HOST_LARCH_SETTLE_TIME_ZONE, else "CST": an abbreviation
    // of the North American zones, UTC/GMT, or an offset ("-0600"). Unknown: nullopt with `error`.
    static std::optional<Zone> settleZone(const HostConfig& config, Error* error);

    // Reads the document; a document that is not well-formed adds an error text.
    void read(const std::string& document);

    const std::vector<std::shared_ptr<LarchTransaction>>& transactions() const { return transactions_; }
    // The Error texts, "; " between them; empty when there were none.
    const std::string& errors() const { return errors_; }

private:
    class Reader;
    void addError(const std::string& text);

    std::vector<std::shared_ptr<LarchTransaction>> transactions_;
    std::string errors_;
};

} // namespace tavlo
