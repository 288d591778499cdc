#include "core/order/ActivityLog.h"

#include "core/session/IDBroker.h"

namespace tavlo {

ActivityLog ActivityLog::make(const Text& action, const Text& name, const Text& description, const Text& userId,
                              const Text& forcedBy, const Text& terminalId, const Text& valueOld,
                              const Text& valueNew) {
    ActivityLog entry;
    entry.remoteId_ = IDBroker::getInstance().generateRemoteIdActivityLog();
    entry.action_ = action;
    entry.name_ = name;
    entry.description_ = description;
    entry.userId_ = userId;
    entry.forcedBy_ = forcedBy;
    entry.terminalId_ = terminalId;
    entry.valueOld_ = valueOld;
    entry.valueNew_ = valueNew;
    entry.created_ = Date::now();
    return entry;
}

} // namespace tavlo
