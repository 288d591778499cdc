#include "core/records/Terminal.h"

#include "platform/store/ManagedObject.h"

namespace tavlo {

void Terminal::read(const ManagedObject& row) {
    terminalId_ = row.text("terminalId");
    name_ = row.text("name");
    networkName_ = row.text("networkName");
    disabled_ = row.boolean("disabled");
}

} // namespace tavlo
