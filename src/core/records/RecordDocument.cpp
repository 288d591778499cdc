#include "core/records/RecordDocument.h"

#include "core/util/TavloLog.h"

namespace tavlo {

std::optional<std::string> writeRecordDocument(const std::string& element,
                                               const std::function<void(TextWriterDocument&)>& body, Error* error) {
    TextWriterDocument doc("UTF-8", "storeData.dtd");
    doc.startElement(TextWriterDocument::kRequestRoot);
    doc.startElement(element);
    body(doc);
    Error failure;
    std::optional<std::string> text = doc.finish(&failure);
    if (!text) {
        TAVLO_LOG_MAIL("%@\n", failure.localizedDescription());
        Error::set(error, failure);
    }
    return text;
}

} // namespace tavlo
