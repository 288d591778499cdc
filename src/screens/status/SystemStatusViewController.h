#pragma once

#include "core/records/Printer.h"
#include "core/records/Terminal.h"
#include "platform/accessory/SerialAccessories.h"
#include "platform/ui/TableViewController.h"
#include "screens/common/ScreenInterfaces.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {
class ObjectContext;
class PrinterStream;
} // namespace tavlo

namespace tavlo::screens {

class ConnectionTests;

// The terminal's diagnostic screen ("SystemStatusView"): what the terminal knows of itself, its
// network, the outgoing queue (lite mode), its printers and the store's other terminals. Test
// tries to reach each of them in the background; a tap on a row prints a test page, opens a page
// in the browser, uploads the local store's file or mails a status report to support. The
// sign-in screen opens it without a session: then nothing can be printed.
class SystemStatusViewController : public ui::TableViewController, public SessionScreen {
public:
    static constexpr const char* kInterfaceName = kSystemStatusInterface;
    static constexpr const char* kFixedCell = "StatusFixedCell";
    static constexpr const char* kDynamicCell = "StatusDynamicCell";
    enum Section { kDevice, kNetwork, kHandlers, kPrinters, kTerminals, kAccessories };
    enum DynamicCellTag { kHostTag = 11, kSpinnerTag = 12, kStatusTag = 13 };

    SystemStatusViewController();
    ~SystemStatusViewController() override;

    const std::shared_ptr<Session>& session() const { return session_; }
    void setSession(std::shared_ptr<Session> session) override { session_ = std::move(session); }
    // The store read; the session's context, else the main context, when none is set.
    ObjectContext* managedObjectContext() const;
    void setManagedObjectContext(std::shared_ptr<ObjectContext> context) { context_ = std::move(context); }
    // Done calls it instead of dismissing the screen when set.
    void setObserver(std::function<void()> observer) { observer_ = std::move(observer); }

    // What the screen read when it loaded.
    bool lite() const { return lite_; }
    const std::vector<Section>& sections() const { return sections_; }
    const std::vector<Terminal>& terminals() const { return terminals_; }
    const std::vector<Printer>& printers() const { return printers_; }
    // The configured serial devices (card readers), each connected or with why it is not.
    const std::vector<SerialAccessoryStatus>& accessories() const { return accessories_; }
    const std::optional<std::string>& receiptURL() const { return receiptURL_; }
    ui::BarButtonItem* testButton() const { return testButton_.get(); }
    const std::shared_ptr<ConnectionTests>& connectionTests() const { return tests_; }

    void viewDidLoad() override;
    void done();
    void test();
    // Prints the test page on the stream under the name.
    void testPrinter(const std::string& name, const std::optional<std::string>& url, PrinterStream* stream);
    void testReceiptPrinter();
    void emailStatus();
    // The status report's subject and body.
    std::string statusSubject() const;
    std::string statusBody() const;

    int numberOfSections(ui::TableView&) override { return static_cast<int>(sections_.size()); }
    int numberOfRows(ui::TableView&, int section) override;
    std::optional<std::string> titleForHeader(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath path) override;
    bool canEditRow(ui::TableView&, ui::IndexPath) override { return false; }
    void didSelectRow(ui::TableView& table, ui::IndexPath path) override;

    // How a test row shows its state besides the spinner of "testing": a tick, a cross or "?".
    static std::string statusSymbol(const std::string& state);

private:
    void load();
    std::shared_ptr<ui::TableViewCell> fixedCell(ui::TableView& table, const std::string& label,
                                                 const std::optional<std::string>& value);
    std::shared_ptr<ui::TableViewCell> dynamicCell(ui::TableView& table, const std::optional<std::string>& name,
                                                   const std::string& host, const std::string& state);
    std::optional<std::string> deviceValue(int row) const;
    std::optional<std::string> networkValue(int row) const;
    std::string freeSpace() const;
    // The outgoing queue's rows not yet accepted (0 before the order handler runs).
    static long pendingCount();
    // Whether the store gives the kitchen printer an address to reach it at.
    static bool hasAddress(const Printer& printer) { return printer.url() && !printer.url()->empty(); }
    bool enabled() const;
    void testEnded(bool last);
    static void alert(const std::string& title, const std::string& message, const std::string& button);

    std::shared_ptr<Session> session_;
    std::shared_ptr<ObjectContext> context_;
    std::function<void()> observer_;
    bool lite_ = false;
    std::optional<Terminal> thisTerminal_;
    std::vector<Terminal> terminals_;
    std::vector<Printer> printers_;
    std::vector<SerialAccessoryStatus> accessories_;
    std::optional<std::string> receiptURL_, receiptType_;
    std::vector<Section> sections_;
    std::shared_ptr<ui::BarButtonItem> testButton_;
    std::shared_ptr<ConnectionTests> tests_;
};

// The interface: a grouped table. Registers the controller under the name too, as the sign-in,
// orders and administration screens open it by name.
void registerSystemStatusView();

} // namespace tavlo::screens
