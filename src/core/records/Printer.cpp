#include "core/records/Printer.h"

#include "platform/store/ManagedObject.h"

namespace tavlo {

void Printer::read(const ManagedObject& row) {
    printerId_ = row.text("printerId");
    name_ = row.text("name");
    url_ = row.text("url");
    disabled_ = row.boolean("disabled");
}

} // namespace tavlo
