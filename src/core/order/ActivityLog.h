#pragma once

#include "platform/foundation/Clock.h"

#include <optional>
#include <string>

namespace tavlo {

// One audit entry of a change a manager may need to see (a void, a price change, a re-opened
// order). Kept on the order only until the order is sent; never stored.
class ActivityLog {
public:
    using Text = std::optional<std::string>;

    // An entry made now, with a new id from the terminal's id broker.
    static ActivityLog make(const Text& action, const Text& name, const Text& description, const Text& userId,
                            const Text& forcedBy, const Text& terminalId, const Text& valueOld, const Text& valueNew);

    const Text& remoteId() const { return remoteId_; }
    void setRemoteId(Text v) { remoteId_ = std::move(v); }
    const Text& terminalId() const { return terminalId_; }
    void setTerminalId(Text v) { terminalId_ = std::move(v); }
    const Text& userId() const { return userId_; }
    void setUserId(Text v) { userId_ = std::move(v); }
    const Text& forcedBy() const { return forcedBy_; }
    void setForcedBy(Text v) { forcedBy_ = std::move(v); }
    const Text& action() const { return action_; }
    void setAction(Text v) { action_ = std::move(v); }
    const Text& name() const { return name_; }
    void setName(Text v) { name_ = std::move(v); }
    const Text& description() const { return description_; }
    void setDescription(Text v) { description_ = std::move(v); }
    const Text& valueOld() const { return valueOld_; }
    void setValueOld(Text v) { valueOld_ = std::move(v); }
    const Text& valueNew() const { return valueNew_; }
    void setValueNew(Text v) { valueNew_ = std::move(v); }
    const std::optional<Date>& created() const { return created_; }
    void setCreated(std::optional<Date> v) { created_ = v; }

private:
    Text remoteId_, terminalId_, userId_, forcedBy_, action_, name_, description_, valueOld_, valueNew_;
    std::optional<Date> created_;
};

} // namespace tavlo
