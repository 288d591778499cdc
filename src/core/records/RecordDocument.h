#pragma once

#include "platform/foundation/Error.h"
#include "xml/TextWriterDocument.h"

#include <functional>
#include <optional>
#include <string>

namespace tavlo {

// The request document of one record (customer, shift, drawer record): UTF-8, DOCTYPE
// `tavloRequest` with "storeData.dtd", the request root and the record's element, whose
// attributes and children `body` writes. A failed writer step is logged and mailed; the result
// is then nil, with the step in `error`.
std::optional<std::string> writeRecordDocument(const std::string& element,
                                               const std::function<void(TextWriterDocument&)>& body,
                                               Error* error = nullptr);

} // namespace tavlo
