#include "sync/support/OperationLogs.h"

#include <set>

#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Parameters.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/Calendar.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/Directories.h"
#include "platform/foundation/UserDefaults.h"
#include "sync/support/UploadHelper.h"

namespace tavlo {

namespace {

ManagedObjectPtr thisTerminal(ObjectContext* context) {
    return DBHelper::getTerminal(IDBroker::deviceIdentifier(), context);
}

bool terminalFlag(const char* name, ObjectContext* context) {
    ManagedObjectPtr terminal = thisTerminal(context);
    return terminal && terminal->boolean(name);
}

std::string nowStamp() { return DateFormatter::format(Date::now(), OperationLogs::kArchiveStampFormat); }

// A name not yet used in this upload: several files stamped in the same second must not take
// each other's place on the service.
std::string freshName(std::string name, std::set<std::string>& used) {
    std::string base = name.substr(0, name.size() - 4); // without ".log"
    for (int n = 2; used.count(name); ++n) name = format("%@-%d.log", base, n);
    used.insert(name);
    return name;
}

} // namespace

bool OperationLogs::wasCurrentLogRequested(ObjectContext* context) { return terminalFlag("sendLog", context); }

bool OperationLogs::wereAllLogsRequested(ObjectContext* context) { return terminalFlag("sendAllLogs", context); }

void OperationLogs::sendLog(const std::optional<std::string>& storeId, const std::optional<std::string>& password,
                            bool all, ObjectContext* context) {
    std::optional<std::string> terminalId = DBHelper::getTerminalId(IDBroker::deviceIdentifier(), context);
    std::filesystem::path documents = documentsDirectory();
    if (all) {
        TAVLO_LOG("Sending all logs!");
        TavloLog::logFooter();
        std::set<std::string> used;
        for (const auto& file : TavloLog::logFiles()) {
            std::string name = freshName(TavloLog::nameForArchiving(terminalId, storeId), used);
            UploadHelper::sendFile(file.lexically_relative(documents).string(), documents, name, storeId, password,
                                   terminalId, nullptr);
        }
        return;
    }
    std::string name = TavloLog::nameForArchiving(terminalId, storeId);
    TAVLO_LOG("Sending current Log!");
    TavloLog::logFooter();
    if (UploadHelper::sendFile(TavloLog::logFilePath().filename().string(), documents, name, storeId, password,
                               terminalId, nullptr))
        TAVLO_LOG("Log Sent!");
    else TAVLO_LOG("Unable to send log");
}

void OperationLogs::clearLogRequest(bool all, ObjectContext* context) {
    ManagedObjectPtr terminal = thisTerminal(context);
    if (!terminal) return;
    if (all) terminal->setValue("sendAllLogs", false);
    terminal->setValue("sendLog", false);
    Error error;
    if (!context->save(&error)) TAVLO_LOG_MAIL("Unable to clear log request: %@", error.localizedDescription());
}

bool OperationLogs::needToArchive(ObjectContext* context) {
    std::optional<std::string> stamp = Parameters::text(Parameter::LastLogArchive, context);
    if (!stamp) {
        Parameters::save(Parameter::LastLogArchive, nowStamp(), context);
        Error error;
        if (!context->save(&error)) TAVLO_LOG_MAIL("Unable to save last log archive: %@", error.localizedDescription());
        return false;
    }
    std::optional<Date> last = DateFormatter(kArchiveStampFormat).dateFromString(*stamp);
    if (!last) return true; // unreadable: archive, and the new stamp mends it
    // The whole date: the same day of the year in another year is another day.
    Calendar calendar;
    return calendar.startOfDay(*last) != calendar.startOfDay(Date::now());
}

void OperationLogs::main() {
    std::unique_ptr<ObjectContext> owned = newContext();
    ObjectContext* context = owned.get();
    if (!context) return;
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    std::optional<std::string> storeId = defaults.stringForKey("store_id");
    std::optional<std::string> password = defaults.stringForKey("password");

    // A request for all logs covers the current one too.
    if (wereAllLogsRequested(context)) {
        TAVLO_LOG("All logs requested");
        sendLog(storeId, password, true, context);
        clearLogRequest(true, context);
    } else if (wasCurrentLogRequested(context)) {
        TAVLO_LOG("Current log requested");
        sendLog(storeId, password, false, context);
        clearLogRequest(false, context);
    }

    if (needToArchive(context)) {
        ManagedObjectPtr terminal = thisTerminal(context);
        std::optional<std::string> terminalId = terminal ? terminal->text("terminalId") : std::nullopt;
        std::optional<std::string> archived = TavloLog::archiveLogFile(terminalId, storeId);
        TAVLO_LOG("Archived to file: %@", archived);
        Parameters::save(Parameter::LastLogArchive, nowStamp(), context);
        Error error;
        if (!context->save(&error)) {
            setError(error);
            TAVLO_LOG_MAIL("Unable to save last archive: %@", error.localizedDescription());
        }
    }
}

} // namespace tavlo
