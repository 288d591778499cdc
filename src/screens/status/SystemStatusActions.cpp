// What the status screen does: the connection tests, the taps on its rows (test prints, pages
// in the browser, the store file sent to support) and the status report mailed to support.
#include "screens/status/SystemStatusViewController.h"

#include "core/ports/PrinterStream.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/LogInfoProvider.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Application.h"
#include "printing/EscPosPrinter.h"
#include "printing/ReceiptHelper.h"
#include "screens/status/ConnectionTests.h"
#include "sync/exchange/CommHelper.h"
#include "sync/support/MailRelay.h"
#include "sync/support/SupportService.h"
#include "sync/support/UploadHelper.h"

#include <algorithm>

namespace tavlo::screens {

using namespace ui;

namespace {

// Seconds a test print may wait for its printer.
constexpr int kPrintTimeout = 10;
constexpr const char* kNotLoggedIn = "You must be logged in in order to test a printer";

bool startsWithTCP(const std::optional<std::string>& type) { return type && type->rfind("TCP", 0) == 0; }

void openPage(const std::optional<std::string>& url) {
    if (url && !url->empty())
        if (Application* app = Application::current()) app->openURL(*url);
}

} // namespace

// ---- the connection tests

void SystemStatusViewController::test() {
    testButton_->setEnabled(false);
    const std::optional<std::string> support = SupportService::host();
    const bool receipt = receiptURL_ && startsWithTCP(receiptType_);
    // A printer the store gives no address is not configured: there is nothing to try.
    const auto configured = static_cast<int>(
        std::count_if(printers_.begin(), printers_.end(), [](const Printer& p) { return hasAddress(p); }));
    int count = (support ? 1 : 0) + (receipt ? 1 : 0) + configured + (lite_ ? 0 : static_cast<int>(terminals_.size()));
    if (count == 0) {
        testButton_->setEnabled(true);
        return;
    }
    tests_->expect(count);
    if (support) tests_->testInternet(*support);
    if (receipt) tests_->testPrinter(ConnectionTests::kReceiptKey, *receiptURL_);
    for (const Printer& printer : printers_)
        if (hasAddress(printer)) tests_->testPrinter(printer.printerId().value_or(""), *printer.url());
    if (!lite_)
        for (const Terminal& terminal : terminals_)
            tests_->testTerminal(terminal.terminalId().value_or(""), terminal.networkName().value_or(""));
    tableView().reloadData();
}

void SystemStatusViewController::testEnded(bool last) {
    if (last && testButton_) testButton_->setEnabled(true);
    tableView().reloadData();
}

// ---- taps

void SystemStatusViewController::didSelectRow(TableView& table, IndexPath path) {
    const int row = path.row;
    switch (sections_.at(static_cast<size_t>(path.section))) {
    case kDevice: {
        UserDefaults& defaults = UserDefaults::standardUserDefaults();
        if (row == 0)
            UploadHelper::uploadDatabase(defaults.stringForKey("store_id"), defaults.stringForKey("password"),
                                         thisTerminal_ ? thisTerminal_->terminalId() : std::nullopt, nullptr);
        else if (row == 3) emailStatus();
        break;
    }
    case kNetwork:
        if (row == 2) openPage(CommHelper::gateway());
        else if (row == 3 && SupportService::host()) openPage("http://" + *SupportService::host() + "/");
        break;
    case kHandlers:
    case kAccessories: break;
    case kPrinters:
        if (row == 0) {
            testReceiptPrinter();
        } else {
            const Printer& printer = printers_.at(static_cast<size_t>(row - 1));
            EscPosPrinter stream(printer.url(), kPrintTimeout);
            testPrinter(printer.name().value_or(""), printer.url(), &stream);
        }
        break;
    case kTerminals: openPage(CommHelper::formatTavloURL(terminals_.at(static_cast<size_t>(row)).networkName())); break;
    }
    table.deselectRow(path, true);
}

void SystemStatusViewController::testReceiptPrinter() {
    if (!session_) return alert("Alert", localized(kNotLoggedIn), {"Ok"});
    if (!startsWithTCP(receiptType_))
        return alert("Alert",
                     format("%@ (%@)", localized("Unable to test printer. Connection type not supported"),
                            receiptType_.value_or("")),
                     {"Ok"});
    if (!receiptURL_) return alert("Alert", localized("No printer configured"), {"Ok"});
    if (session_->isLite()) return testPrinter(localized("Receipt"), receiptURL_, session_->printerStream().get());
    EscPosPrinter stream(receiptURL_, kPrintTimeout);
    testPrinter(localized("Receipt"), receiptURL_, &stream);
}

void SystemStatusViewController::testPrinter(const std::string& name, const std::optional<std::string>& url,
                                             PrinterStream* stream) {
    if (!session_) return alert("Alert", localized(kNotLoggedIn), {"Ok"});
    if (!stream) return alert("Alert", localized("No printer configured"), {"OK"});
    if (Error error; !stream->open(&error)) return alert("Error", error.localizedDescription(), {"OK"});
    ReceiptHelper::printTest(name, url, ReceiptHelper::trailingLines(managedObjectContext()), nullptr, *stream);
    stream->close();
}

// ---- the status report

std::string SystemStatusViewController::statusSubject() const {
    return format("System Status: %@ (version %@)",
                  Parameters::text(Parameter::StoreName, managedObjectContext()).value_or(""),
                  TavloLog::infoProvider()->appVersion());
}

std::string SystemStatusViewController::statusBody() const {
    const std::string notConfigured = localized("not configured");
    std::string body;
    body += format("Terminal: %@\n", thisTerminal_ ? thisTerminal_->name().value_or("") : std::string());
    body += format("UID: %@\n", IDBroker::deviceIdentifier());
    body += format("Available: %@\n\n", freeSpace());
    body += format("Version: %@\n", TavloLog::infoProvider()->appVersion());
    body += format("Status: %@\n", localized(enabled() ? "Enabled" : "Disabled"));
    body += format("Receipt: %@\n", receiptURL_.value_or(notConfigured));
    body += format("MSR: %@\n", UserDefaults::standardUserDefaults().stringForKey("msr").value_or(notConfigured));
    for (const SerialAccessoryStatus& accessory : accessories_)
        body += format("Reader %@ (%@): %@\n", accessory.name, accessory.device,
                       accessory.problem.value_or(localized("connected")));
    body += format("Orders: %ld %@\n", pendingCount(), localized("pending"));
    body += "Payments: TBD\n\n";
    body += format("SSID: %@\n", CommHelper::ssid());
    body += format("IP: %@\n", CommHelper::localIPAddress());
    body += format("Gateway: %@\n", CommHelper::gateway().value_or(""));
    return body;
}

void SystemStatusViewController::emailStatus() {
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    MailRelay::delegateEmail(defaults.stringForKey("store_id"), defaults.stringForKey("password"), std::nullopt,
                             std::string(SupportService::kDefaultSender), SupportService::kSupportMailbox,
                             statusSubject(), statusBody(), nullptr);
}

} // namespace tavlo::screens
