#pragma once

#include "core/session/Parameters.h"
#include "platform/store/ObjectContext.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace tavlo {

// Makes the ids of the records this terminal creates, unique across the store's terminals without
// asking the server: the terminal's number, the seconds since 1970 and a per-kind counter kept in
// a StoreParam row (saved at once, so no id repeats after a restart). Also the quick-sale
// numbers, the business-day ids and the device identifier.
class IDBroker {
public:
    static constexpr const char* kClassName = "IDBroker";
    // Names the program in the device identifier.
    static constexpr const char* kProgramIdentifier = "tavlo.terminal";
    static constexpr const char* kDeviceIdKey = "device_id";

    // Creates the process's broker once on this context (later calls return it unchanged).
    static IDBroker& initWithMOC(std::shared_ptr<ObjectContext> context);
    // The process's broker; throws InconsistencyError before initWithMOC.
    static IDBroker& getInstance();
    // Forgets the process's broker (tests; the next initWithMOC makes a new one).
    static void releaseInstance();

    // A broker of its own on the context; reads this device's terminal number now.
    explicit IDBroker(std::shared_ptr<ObjectContext> context);

    // The next id of the kind kept in the counter row `name`: the terminal number, the seconds
    // when `useTime`, and the counter with at least `maxDigits` digits. The counter wraps to 1
    // after the largest number of that many digits.
    std::string getNextId(const std::string& name, int maxDigits, bool useTime);
    std::string getNextId(Parameter counter, int maxDigits, bool useTime) {
        return getNextId(std::string(Parameters::name(counter)), maxDigits, useTime);
    }
    std::string generateRemoteIdDiscount() { return getNextId(Parameter::DiscountSequence, 8, true); }
    std::string generateRemoteIdOrder() { return getNextId(Parameter::OrderSequence, 8, true); }
    std::string generateRemoteIdSelection() { return getNextId(Parameter::SelectionSequence, 8, true); }
    std::string generateRemoteIdPayment() { return getNextId(Parameter::PaymentSequence, 8, true); }
    std::string generateRemoteIdCustomer() { return getNextId(Parameter::CustomerSequence, 8, true); }
    std::string generateRemoteIdActivityLog() { return getNextId(Parameter::ActivityLogSequence, 8, true); }
    std::string generateRemoteIdAttendance() { return getNextId(Parameter::AttendanceSequence, 8, true); }
    // The terminal number and the quick-sale counter of QUICK_SALE_MAX_DIGITS digits (1 when unset).
    std::string generateQSNum();

    // The open business day's id, else IPHONE_CURRENT_BATCH_ID; nil when neither exists.
    std::optional<std::string> currentBatchId();
    // The id of the latest opened business day, else IPHONE_CURRENT_BATCH_ID - 1; nil without both.
    std::optional<std::string> lastBatchId();
    // The next business day's id, stored as IPHONE_CURRENT_BATCH_ID (not saved).
    std::string generateRemoteIdBatch();

    // The user default "device_id"; on first use made from the MD5 of the primary interface's
    // hardware address and the program identifier, and kept there.
    static std::string deviceIdentifier();
    // MD5 of the hardware address followed by the program identifier; nil without an address.
    static std::optional<std::string> uniqueDeviceIdentifier();
    // MD5 of the hardware address alone, the same for every program on this device; nil without
    // an address.
    static std::optional<std::string> uniqueGlobalDeviceIdentifier();

    const std::string& terminalNumber() const { return terminalNumber_; }
    std::shared_ptr<ObjectContext> managedObjectContext() const;
    void setManagedObjectContext(std::shared_ptr<ObjectContext> context);

private:
    std::optional<std::string> batchIdParameter();

    mutable std::recursive_mutex mutex_;
    std::shared_ptr<ObjectContext> context_;
    std::string terminalNumber_;
};

} // namespace tavlo
