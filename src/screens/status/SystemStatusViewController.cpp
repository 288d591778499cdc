#include "screens/status/SystemStatusViewController.h"

#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/Utils.h"
#include "platform/accessory/AccessoryManager.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/ActivitySpinner.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/InterfaceRegistry.h"
#include "screens/common/ScreenKit.h"
#include "screens/status/ConnectionTests.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/OrderHandler.h"
#include "sync/support/SupportService.h"

namespace tavlo::screens {

using namespace ui;

namespace {

constexpr int kDeviceRows = 5;
constexpr int kNetworkRows = 4;
constexpr int kInternetRow = 3;

const char* const kDeviceLabels[kDeviceRows] = {"Terminal", "UID", "MSR", "Status", "Available"};
const char* const kNetworkLabels[kNetworkRows] = {"SSID", "IP", "Gateway", "Internet"};

template <typename Record>
std::vector<Record> readAll(ObjectContext* context, const char* entity, const char* filter, const char* sortKey) {
    std::vector<Record> records;
    if (!context) return records;
    for (const ManagedObjectPtr& row : context->fetch(FetchRequest(entity, Predicate::format(filter), {{sortKey}}))) {
        Record record;
        record.read(*row);
        records.push_back(std::move(record));
    }
    return records;
}

} // namespace

SystemStatusViewController::SystemStatusViewController()
    : SignedInController(kInterfaceName, TableViewStyle::Grouped) {}

SystemStatusViewController::~SystemStatusViewController() = default;

ObjectContext* SystemStatusViewController::managedObjectContext() const {
    if (context_) return context_.get();
    if (ObjectContext* own = contextOf(session_.get())) return own;
    return DBHelper::mainContext().get();
}

// ---- loading

void SystemStatusViewController::viewDidLoad() {
    setTitle(localized("System Status"));
    std::weak_ptr<ViewController> weak = weak_from_this();
    auto act = [weak](void (SystemStatusViewController::*action)()) {
        return [weak, action](BarButtonItem&) {
            if (auto self = weak.lock()) (static_cast<SystemStatusViewController&>(*self).*action)();
        };
    };
    navigationItem().setLeftBarButtonItem(
        BarButtonItem::titled(localized("Done"), BarButtonStyle::Done, act(&SystemStatusViewController::done)));
    testButton_ =
        BarButtonItem::titled(localized("Test"), BarButtonStyle::Done, act(&SystemStatusViewController::test));
    navigationItem().setRightBarButtonItem(testButton_);
    tests_ = std::make_shared<ConnectionTests>([weak](bool last) {
        if (auto self = weak.lock()) static_cast<SystemStatusViewController&>(*self).testEnded(last);
    });
    // Test again only once the tests of an earlier status screen have ended.
    testButton_->setEnabled(!tests_->waitForRunningTests());
    load();
}

void SystemStatusViewController::load() {
    ObjectContext* context = managedObjectContext();
    lite_ = Parameters::flag(Parameter::Lite, context);
    if (ManagedObjectPtr terminal = DBHelper::getTerminal(IDBroker::deviceIdentifier(), context)) {
        thisTerminal_.emplace();
        thisTerminal_->read(*terminal);
    }
    terminals_ = readAll<Terminal>(context, "Terminal", "networkName != nil && disabled == NO", "number");
    printers_ = readAll<Printer>(context, "Printer", "disabled == NO", "name");
    receiptURL_ = Parameters::text(Parameter::PrinterUrl, context);
    if (receiptURL_ && receiptURL_->empty()) receiptURL_.reset();
    receiptType_ = Parameters::text(Parameter::PrinterConnectionType, context);
    accessories_ = AccessoryManager::shared().serialAccessoryStatus();
    sections_ = {kDevice};
    if (!accessories_.empty()) sections_.push_back(kAccessories);
    sections_.push_back(kNetwork);
    if (lite_) sections_.push_back(kHandlers);
    sections_.push_back(kPrinters);
    if (!lite_) sections_.push_back(kTerminals);
}

void SystemStatusViewController::done() {
    if (observer_) observer_();
    else dismiss(true);
}

// ---- the table

int SystemStatusViewController::numberOfRows(TableView&, int section) {
    if (section < 0 || section >= static_cast<int>(sections_.size())) return 0;
    switch (sections_[static_cast<size_t>(section)]) {
    case kDevice: return kDeviceRows;
    case kNetwork: return kNetworkRows;
    case kHandlers: return 2;
    case kPrinters: return static_cast<int>(printers_.size()) + 1;
    case kTerminals: return static_cast<int>(terminals_.size());
    case kAccessories: return static_cast<int>(accessories_.size());
    }
    return 0;
}

std::optional<std::string> SystemStatusViewController::titleForHeader(TableView&, int section) {
    if (section < 0 || section >= static_cast<int>(sections_.size())) return std::nullopt;
    static const char* const titles[] = {"Device", "Network", "Handlers", "Printers", "Terminals", "Card readers"};
    return localized(titles[sections_[static_cast<size_t>(section)]]);
}

bool SystemStatusViewController::enabled() const { return thisTerminal_ && !thisTerminal_->disabled(); }

std::string SystemStatusViewController::freeSpace() const { return Session::formatSpace(Session::freeDiskSpace()); }

long SystemStatusViewController::pendingCount() {
    std::shared_ptr<OrderHandler> orders = OrderHandler::instance();
    return orders ? orders->pendingCount() : 0L;
}

std::optional<std::string> SystemStatusViewController::deviceValue(int row) const {
    switch (row) {
    case 0: return thisTerminal_ ? thisTerminal_->name() : std::nullopt;
    case 1: return IDBroker::deviceIdentifier();
    case 2: return UserDefaults::standardUserDefaults().stringForKey("msr").value_or(localized("none"));
    case 3: return localized(enabled() ? "Enabled" : "Disabled");
    default: return freeSpace();
    }
}

std::optional<std::string> SystemStatusViewController::networkValue(int row) const {
    switch (row) {
    case 0: return CommHelper::ssid();
    case 1: return CommHelper::localIPAddress();
    default: return Utils::unformatURL(CommHelper::gateway());
    }
}

std::shared_ptr<TableViewCell> SystemStatusViewController::fixedCell(TableView& table, const std::string& label,
                                                                     const std::optional<std::string>& value) {
    std::shared_ptr<TableViewCell> cell = table.dequeueReusableCell(kFixedCell);
    if (!cell) {
        cell = std::make_shared<TableViewCell>(TableViewCellStyle::Value1, kFixedCell);
        cell->textLabel().setFont(Font::boldSystem(15));
        cell->detailTextLabel()->setFont(Font::system(15));
        cell->detailTextLabel()->setAdjustsFontSizeToFitWidth(true);
    }
    cell->textLabel().setText(localized(label));
    cell->detailTextLabel()->setText(value);
    return cell;
}

std::shared_ptr<TableViewCell> SystemStatusViewController::dynamicCell(TableView& table,
                                                                       const std::optional<std::string>& name,
                                                                       const std::string& host,
                                                                       const std::string& state) {
    std::shared_ptr<TableViewCell> cell = table.dequeueReusableCell(kDynamicCell);
    if (!cell) {
        cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, kDynamicCell);
        cell->textLabel().setFont(Font::boldSystem(15));
        View& content = cell->contentView();
        const double width = content.bounds().width();
        auto hostLabel =
            kit::addPlainLabel(content, Rect(width * 0.4, 0, width * 0.6 - 44, 44),
                               {.font = Font::system(14),
                                .tag = kHostTag,
                                .resizing = Autoresizing::FlexibleLeftMargin | Autoresizing::FlexibleWidth});
        hostLabel->setTextAlignment(TextAlignment::Right);
        hostLabel->setTextColor(Color(0.22, 0.33, 0.53));
        hostLabel->setAdjustsFontSizeToFitWidth(true);
        auto spinner = std::make_shared<ActivitySpinner>(ActivitySpinnerStyle::Gray, Rect(width - 32, 12, 20, 20));
        spinner->setTag(kSpinnerTag);
        spinner->setAutoresizingMask(Autoresizing::FlexibleLeftMargin);
        content.addSubview(spinner);
        kit::addPlainLabel(
            content, Rect(width - 36, 0, 28, 44),
            {.font = Font::boldSystem(18), .tag = kStatusTag, .resizing = Autoresizing::FlexibleLeftMargin})
            ->setTextAlignment(TextAlignment::Center);
    }
    cell->textLabel().setText(name);
    View& content = cell->contentView();
    if (auto* hostLabel = dynamic_cast<Label*>(content.viewWithTag(kHostTag))) hostLabel->setText(host);
    auto* spinner = dynamic_cast<ActivitySpinner*>(content.viewWithTag(kSpinnerTag));
    auto* status = dynamic_cast<Label*>(content.viewWithTag(kStatusTag));
    const bool testing = state == ConnectionTests::kTesting;
    if (spinner) testing ? spinner->startAnimating() : spinner->stopAnimating();
    if (status) {
        status->setHidden(testing);
        status->setText(statusSymbol(state));
        status->setTextColor(state == ConnectionTests::kConnected ? Color(0.1, 0.55, 0.2)
                             : state == ConnectionTests::kFailed  ? Color(0.8, 0.15, 0.15)
                                                                  : Color::gray());
    }
    return cell;
}

std::string SystemStatusViewController::statusSymbol(const std::string& state) {
    if (state == ConnectionTests::kConnected) return "\u2713";
    if (state == ConnectionTests::kFailed) return "\u2717";
    // Not tested, or not testable: a plain question mark (the screen's fonts have no ornament
    // for it).
    return "?";
}

std::shared_ptr<TableViewCell> SystemStatusViewController::cellForRow(TableView& table, IndexPath path) {
    const int row = path.row;
    switch (sections_.at(static_cast<size_t>(path.section))) {
    case kDevice: return fixedCell(table, kDeviceLabels[row], deviceValue(row));
    case kNetwork:
        if (row != kInternetRow) return fixedCell(table, kNetworkLabels[row], networkValue(row));
        return dynamicCell(table, localized("Internet"), SupportService::host().value_or(localized("not configured")),
                           tests_->internet());
    case kHandlers:
        return fixedCell(table, row == 0 ? "Orders" : "Payments",
                         row == 0 ? format("%@ (%ld)", localized("pending"), pendingCount()) : "");
    case kPrinters:
        if (row == 0) {
            if (!receiptURL_) return dynamicCell(table, localized("Receipt"), localized("not configured"), "");
            return dynamicCell(table, localized("Receipt"), *receiptURL_,
                               tests_->printer(ConnectionTests::kReceiptKey));
        } else {
            const Printer& printer = printers_.at(static_cast<size_t>(row - 1));
            if (!hasAddress(printer)) return dynamicCell(table, printer.name(), localized("not configured"), "");
            return dynamicCell(table, printer.name(), *printer.url(),
                               tests_->printer(printer.printerId().value_or("")));
        }
    case kAccessories: {
        const SerialAccessoryStatus& accessory = accessories_.at(static_cast<size_t>(row));
        return fixedCell(table, accessory.name, accessory.problem.value_or(localized("connected")));
    }
    case kTerminals: {
        const Terminal& terminal = terminals_.at(static_cast<size_t>(row));
        return dynamicCell(table, terminal.name(), terminal.networkName().value_or(""),
                           tests_->terminal(terminal.terminalId().value_or("")));
    }
    }
    return nullptr;
}

void registerSystemStatusView() {
    InterfaceRegistry& registry = InterfaceRegistry::shared();
    registry.add(SystemStatusViewController::kInterfaceName, [](ViewController&) {
        auto table = std::make_shared<TableView>(Rect(0, 0, 540, 576), TableViewStyle::Grouped);
        table->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
        return std::static_pointer_cast<View>(table);
    });
    registry.addController(SystemStatusViewController::kInterfaceName,
                           [] { return std::make_shared<SystemStatusViewController>(); });
}

} // namespace tavlo::screens
