#include "screens/shell/ReceiptPrinters.h"

#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/util/TavloLog.h"
#include "devices/OrvanPrinter.h"
#include "platform/foundation/Text.h"
#include "printing/EscPosPrinter.h"

#include <map>
#include <mutex>

namespace tavlo::screens {

namespace {

struct Makers {
    std::mutex lock;
    std::map<std::string, ReceiptPrinters::Maker> byType;
};

Makers& makers() {
    static Makers m;
    return m;
}

} // namespace

void ReceiptPrinters::registerMaker(const std::string& type, Maker maker) {
    std::lock_guard guard(makers().lock);
    makers().byType[toLower(type)] = std::move(maker);
}

void ReceiptPrinters::removeMaker(const std::string& type) {
    std::lock_guard guard(makers().lock);
    makers().byType.erase(toLower(type));
}

std::shared_ptr<PrinterStream> ReceiptPrinters::printerFor(const std::optional<std::string>& terminalId,
                                                           ObjectContext* context,
                                                           const std::shared_ptr<PrinterStream>& current) {
    auto value = [&](Parameter parameter) { return Parameters::terminalText(parameter, terminalId, context); };
    std::optional<std::string> type = value(Parameter::PrinterType);
    if (!type) return nullptr;
    TAVLO_LOG("*** Printer: %@", type);
    if (type->empty()) return nullptr;

    Settings settings;
    settings.type = toLower(*type);
    settings.url = value(Parameter::PrinterUrl);
    settings.connectionType = value(Parameter::PrinterConnectionType);
    settings.debug = Parameters::terminalFlag(Parameter::PrinterDebug, terminalId, context);
    if (std::optional<std::string> timeout = value(Parameter::PrinterTimeout)) settings.timeout = intValue(*timeout);
    if (settings.type == "escpos" && (!settings.url || settings.url->empty())) {
        TAVLO_LOG_MAIL("URL missing for ESC/POS printer");
        return nullptr;
    }

    Maker maker;
    {
        std::lock_guard guard(makers().lock);
        auto found = makers().byType.find(settings.type);
        if (found != makers().byType.end()) maker = found->second;
    }
    if (!maker) {
        TAVLO_LOG("No printer driver for the type %@", type);
        return nullptr;
    }
    return maker(settings, current);
}

void ReceiptPrinters::registerDrivers() {
    registerMaker("escpos", [](const Settings& settings, const std::shared_ptr<PrinterStream>& current) {
        if (current && current->type() == PrinterStream::kEscPosType) return current;
        return std::shared_ptr<PrinterStream>(std::make_shared<EscPosPrinter>(settings.url, settings.timeout));
    });
    registerMaker("orvan", [](const Settings& settings, const std::shared_ptr<PrinterStream>&) {
        std::shared_ptr<OrvanPrinter> printer = OrvanPrinter::getInstance();
        printer->setDebug(settings.debug);
        printer->setUrl(settings.url);
        printer->setConnectionType(settings.connectionType);
        return std::shared_ptr<PrinterStream>(printer);
    });
    OrvanPrinter::installCardReader();
}

} // namespace tavlo::screens
