#include "screens/common/ReceiptJob.h"

#include "core/util/TavloLog.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/ui/AlertView.h"

namespace tavlo::screens {

using namespace ui;

std::optional<std::string> ReceiptJob::printOnce(PrinterStream& stream, const Write& write) {
    Error error;
    if (!stream.open(&error)) return error.localizedDescription();
    write(stream);
    stream.close();
    if (!stream.writeFailed()) return std::nullopt;
    return localized("The printer did not take the whole receipt, verify printer is on and has paper");
}

void ReceiptJob::print(std::shared_ptr<PrinterStream> stream, Write write, Done done) {
    if (!stream) {
        showFailure(localized("No printer configured"), nullptr, std::move(write), std::move(done));
        return;
    }
    if (std::optional<std::string> reason = printOnce(*stream, write)) {
        TAVLO_LOG("Unable to print receipt: %@", *reason);
        showFailure(*reason, std::move(stream), std::move(write), std::move(done));
        return;
    }
    if (done) done();
}

void ReceiptJob::showFailure(const std::string& reason, std::shared_ptr<PrinterStream> stream, Write write, Done done) {
    std::vector<std::string> answers;
    if (stream) answers.push_back(localized("Reprint"));
    auto shown = AlertView::make(localized("Unable to print receipt"), reason, localized("OK"), answers);
    shown->setClickHandler([stream, write, done](AlertView&, int index) {
        if (index == 1) print(stream, write, done);
        else if (done) done();
    });
    shown->show();
}

} // namespace tavlo::screens
