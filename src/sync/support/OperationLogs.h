#pragma once

#include <optional>
#include <string>

#include "core/session/Parameters.h"
#include "sync/handlers/OperationAdapter.h"

namespace tavlo {

// Answers the server's request for this terminal's logs (the Terminal row's sendLog and
// sendAllLogs flags), uploading them to the support service and clearing the request, and
// archives the log once a day. Runs on the store handler's queue after the terminal command.
class OperationLogs : public OperationAdapter {
public:
    // The stored name of the last archive's stamp (Parameter::LastLogArchive).
    static inline const std::string lastArchiveKey{Parameters::name(Parameter::LastLogArchive)};
    static constexpr const char* kArchiveStampFormat = "yyMMdd-HHmmss";

    using OperationAdapter::OperationAdapter;
    void main() override;

    // This terminal's request flags; NO when the device has no Terminal row.
    static bool wasCurrentLogRequested(ObjectContext* context);
    static bool wereAllLogsRequested(ObjectContext* context);
    // Uploads "system.log", or every log file, each under a fresh archive name; the outcome is
    // only logged.
    static void sendLog(const std::optional<std::string>& storeId, const std::optional<std::string>& password, bool all,
                        ObjectContext* context);
    // Clears sendLog (and sendAllLogs when `all`) and saves. Nothing without a Terminal row.
    static void clearLogRequest(bool all, ObjectContext* context);
    // Whether the calendar day changed since the last archive. The first time, notes now (saved)
    // and answers NO, so the first archive comes on a later day.
    static bool needToArchive(ObjectContext* context);
};

} // namespace tavlo
