#pragma once

#include "platform/foundation/Clock.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tavlo {

// What the terminal-info request tells the server about this device.
struct TerminalInfoValues {
    std::string terminalId;
    std::string terminalName; // the device's name
    std::string ip;           // local IPv4 address
    std::string architecture; // the device model
    uint64_t ram = 0;         // size in bytes of the volume holding the data directory
    std::string sdkVersion;   // the system version
    std::string appVersion;
};

// A stored card transaction, as its dump document needs it.
struct CardTransactionValues {
    int32_t transactionId = 0;
    std::optional<std::string> number;
    std::optional<std::string> approval;
    int32_t subTotal = 0;
    int32_t tax = 0;
    int32_t tip = 0;
    Date created;
    std::optional<Date> adjusted;
    std::optional<Date> voided;
    std::vector<std::pair<std::string, std::string>> fields; // name, value
};

// A stored card batch with its host and transactions.
struct CardBatchValues {
    std::optional<std::string> hostName;
    std::optional<std::string> merchantId;
    int32_t batchId = 0;
    Date created;
    std::vector<CardTransactionValues> transactions;
};

} // namespace tavlo
