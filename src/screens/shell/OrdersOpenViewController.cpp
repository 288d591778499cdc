#include "screens/shell/OrdersOpenViewController.h"

#include "core/order/Order.h"
#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "screens/common/ActivityIndicator.h"
#include "screens/common/PadPanes.h"
#include "screens/common/ReadFailure.h"
#include "screens/common/ScreenKit.h"
#include "screens/shell/OrdersMainController.h"
#include "sync/exchange/CommHelper.h"
#include "sync/handlers/OrderHandler.h"

namespace tavlo::screens {

using namespace ui;

namespace {

constexpr const char* kCellIdentifier = "Cell";
// What the open list shows of its orders, read with its rows (the order type, its sections, too).
const std::vector<std::string> kShownKeyPaths = {"name", "user.name", "user.userId", "total", "created", "remoteId"};

Label* labelOf(TableViewCell& cell, int tag) { return dynamic_cast<Label*>(cell.viewWithTag(tag)); }

} // namespace

OrderValues orderValues(const ManagedObject& order) {
    return [&order](std::string_view keyPath) { return order.value(keyPath); };
}

void showOrderRow(TableViewCell& cell, const OrderValues& order, const Color& name, const Color& total) {
    if (Label* label = labelOf(cell, OrdersOpenViewController::kNameTag)) {
        label->setText(order("name").text());
        label->setTextColor(name);
    }
    if (Label* label = labelOf(cell, OrdersOpenViewController::kServerTag)) label->setText(order("user.name").text());
    if (Label* label = labelOf(cell, OrdersOpenViewController::kTotalTag)) {
        label->setText(Utils::formatCurrency(order("total").integer()));
        label->setTextColor(total);
    }
    if (Label* label = labelOf(cell, OrdersOpenViewController::kCreatedTag))
        label->setText(Utils::naturalStringForDate(order("created").date()));
}

std::optional<ObjectContext::ReadScope> localReads(const Session* session, ObjectContext* context) {
    if (!context || !session || !session->isLite()) return std::nullopt;
    return std::optional<ObjectContext::ReadScope>(std::in_place, *context);
}

OrdersOpenViewController::OrdersOpenViewController() : SignedInController(kInterfaceName) {}

OrdersOpenViewController::~OrdersOpenViewController() = default;

// ---- the query

bool OrdersOpenViewController::keepsQuery() const { return Parameters::flag(Parameter::OpenOrdersCached, context()); }

std::unique_ptr<FetchedResultsController> OrdersOpenViewController::makeFetchedResultsController() {
    std::vector<Predicate> filters{Predicate::format("closed == nil"), Predicate::format("storeBatch.closedOn == nil")};
    if (!session_->isGranted(Right::AllOrders) && !session_->isGranted(Right::AllAreaOrders))
        filters.push_back(Predicate::format("user.userId == %@", session_->userId().value_or("")));
    FetchRequest request("Order", Predicate::andPredicates(filters));
    std::optional<std::string> sections;
    if (Parameters::flag(Parameter::OpenOrdersGrouped, context())) {
        request.sortDescriptors = {{"type"}, {"name"}};
        sections = "type";
    } else {
        request.sortDescriptors = {{"name"}};
    }
    auto results = std::make_unique<FetchedResultsController>(*context(), std::move(request), sections);
    results->setValueKeyPaths(kShownKeyPaths);
    return results;
}

FetchedResultsController* OrdersOpenViewController::fetchedResultsController() {
    if (!context()) return nullptr;
    if (!results_ || !keepsQuery()) {
        std::unique_ptr<FetchedResultsController> made = makeFetchedResultsController();
        if (results_) made->takeRoom(*results_);
        results_ = std::move(made);
    }
    return results_.get();
}

bool OrdersOpenViewController::fetchRows(Error* error) {
    if (!context()) return true;
    ObjectContext::ReadScope read(*context());
    FetchedResultsController* results = fetchedResultsController();
    return !results || results->performFetch(error);
}

void OrdersOpenViewController::refreshData() {
    if (Error error; !fetchRows(&error))
        return readFailed(format("Unable to read %@: %@", recordsName(), error.localizedDescription()));
    tableView().reloadData();
    showWhenEmpty();
}

void OrdersOpenViewController::showWhenEmpty() {
    TableView& table = tableView();
    bool empty = true;
    for (int section = 0; empty && section < numberOfSections(table); ++section)
        empty = numberOfRows(table, section) == 0;
    if (!empty) {
        if (table.tableHeaderView()) table.setTableHeaderView(nullptr);
        return;
    }
    auto note = std::make_shared<Label>(Rect(0, 0, table.bounds().width(), 80));
    note->setAutoresizingMask(Autoresizing::FlexibleWidth);
    note->setText(localized(emptyText()));
    note->setFont(Font::boldSystem(17));
    note->setTextColor(Color::gray());
    note->setTextAlignment(TextAlignment::Center);
    note->setBackgroundColor(Color::clear());
    table.setTableHeaderView(note);
}

void OrdersOpenViewController::readFailed(const std::string& logText) {
    TAVLO_LOG_MAIL("%@", logText);
    ViewController& lists = main_ ? static_cast<ViewController&>(*main_) : *this;
    leaveAfterReadFailure(lists, format(localized("Unable to read %@, contact technical support"), recordsName()),
                          animated());
}

// ---- refreshing from the server

bool OrdersOpenViewController::signedOutOnDisabledTerminal() {
    if (!OrdersMainController::isTerminalDisabled(context())) return false;
    OrdersMainController::alertTerminalDisabled();
    if (main_) main_->logout();
    return true;
}

void OrdersOpenViewController::refresh() {
    auto read = localReads(session_.get(), context());
    if (session_ && OrdersMainController::isTerminalDisabled(context())) {
        TAVLO_LOG("%@", session_->terminalName().value_or(""));
        signedOutOnDisabledTerminal();
        return;
    }
    if (!session_ || !session_->isValid()) {
        NavigationController* navigation = main_ ? main_->navigationController() : navigationController();
        if (navigation) navigation->popToRoot(animated());
        return;
    }
    if (session_->isLite()) {
        refreshData();
        return;
    }
    ActivityIndicator::show(view());
    ActivityIndicator::refresh(localized("Refreshing orders"));
    completeRefresh();
    ActivityIndicator::hide();
}

void OrdersOpenViewController::completeRefresh() {
    Error error;
    std::shared_ptr<OrderHandler> handler = OrderHandler::instance();
    bool updated =
        handler && handler->updateOrderSummaries(session_->storeId(), session_->password(), session_->userId(),
                                                 CommHelper::gateway().value_or(""), openOrders_, context(), &error);
    if (!handler) error = Error("Tavlo", 1, "No order handler");
    if (updated) {
        refreshData();
    } else {
        alert("Alert", error.localizedDescription(), {"Ok"});
    }
}

// ---- life cycle

void OrdersOpenViewController::viewDidLoad() {
    tableView().setRowHeight(50);
    if (Error error; !fetchRows(&error)) readFailed(format("Unable to read orders: %@", error.localizedDescription()));
    showWhenEmpty();
    if (isPad()) {
        warnOfPortraitPad();
    } else if (openOrders_ && !Parameters::flag(Parameter::LayoutNoAutoShow, context())) {
        std::weak_ptr<ViewController> self = shared_from_this();
        orientation_ = ScopedObserver(Device::kOrientationDidChangeNotification, nullptr, [self](const Notification&) {
            performOnMainThread([self] {
                if (auto list = std::static_pointer_cast<OrdersOpenViewController>(self.lock()))
                    list->orientationChanged();
            });
        });
    }
}

void OrdersOpenViewController::orientationChanged() {
    Application* app = Application::current();
    if (!app || !isLandscape(app->device().orientation())) return;
    if (session_ && session_->isStoreOpen() && main_) main_->showTableLayout(false);
}

void OrdersOpenViewController::viewWillAppear(bool animated) {
    TableViewController::viewWillAppear(animated);
    if (!session_ || !session_->isValid() || !context()) return;
    auto read = localReads(session_.get(), context());
    if (OrdersMainController::isTerminalDisabled(context())) {
        OrdersMainController::alertTerminalDisabled();
        TAVLO_LOG_MAIL("Login attempt on disabled terminal, user was not allowed");
        if (main_) main_->logout();
        return;
    }
    if (updateOnAppear_) refresh();
    updateOnAppear_ = true;
}

void OrdersOpenViewController::viewDidAppear(bool) {
    if (!session_ || session_->isLite() || !Parameters::flag(Parameter::SynchOrdersAuto, context())) return;
    // Posted by the handlers' background operations too: the re-read waits for the main thread.
    std::weak_ptr<ViewController> self = shared_from_this();
    ordersChange_ = ScopedObserver(OrderHandler::kOrdersChangeNotification, nullptr, [self](const Notification&) {
        performOnMainThread([self] {
            if (auto list = std::static_pointer_cast<OrdersOpenViewController>(self.lock())) list->refreshData();
        });
    });
}

void OrdersOpenViewController::viewWillDisappear(bool) { ordersChange_.reset(); }

uint32_t OrdersOpenViewController::supportedInterfaceOrientations() const { return idiomOrientations(); }

// ---- the table

int OrdersOpenViewController::numberOfSections(TableView&) {
    FetchedResultsController* results = results_.get();
    return results ? static_cast<int>(results->sections().size()) : 0;
}

int OrdersOpenViewController::numberOfRows(TableView&, int section) {
    if (!results_ || section < 0 || section >= static_cast<int>(results_->sections().size())) return 0;
    return static_cast<int>(results_->sections()[section].numberOfObjects());
}

std::optional<std::string> OrdersOpenViewController::titleForHeader(TableView&, int section) {
    if (!results_ || !results_->sectionNameKeyPath()) return std::string();
    if (section < 0 || section >= static_cast<int>(results_->sections().size())) return std::string();
    return Order::typeUILabel(Order::typeFromXMLLabel(results_->sections()[section].name));
}

std::vector<std::string> OrdersOpenViewController::sectionIndexTitles(TableView&) {
    if (!results_ || !results_->sectionNameKeyPath()) return {std::string()};
    std::vector<std::string> titles;
    for (const FetchedResultsController::Section& section : results_->sections())
        titles.push_back(Order::typeAbbreviation(Order::typeFromXMLLabel(section.name)));
    return titles;
}

std::shared_ptr<TableViewCell> OrdersOpenViewController::getCellContentView(const std::string& identifier) {
    const double width = tableView().bounds().width();
    auto cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, identifier, Rect(0, 0, width, 60));
    View& content = cell->contentView();
    kit::addPlainLabel(content, Rect(10, 3, 10, 25), {.font = Font::system(14), .tag = kMarkTag});
    kit::addPlainLabel(content, Rect(20, 3, 180, 25), {.font = Font::system(18), .tag = kNameTag});
    kit::addPlainLabel(content, Rect(20, 25, 180, 25), {.font = Font::boldSystem(10), .tag = kServerTag})
        ->setTextColor(Color::lightGray());
    auto total =
        kit::addPlainLabel(content, Rect(width - 128, 3, 100, 25), {.font = Font::boldSystem(12), .tag = kTotalTag});
    total->setTextAlignment(TextAlignment::Right);
    total->setTextColor(Color::blue());
    total->setAutoresizingMask(Autoresizing::FlexibleLeftMargin);
    auto created =
        kit::addPlainLabel(content, Rect(width - 138, 25, 110, 25), {.font = Font::boldSystem(10), .tag = kCreatedTag});
    created->setTextAlignment(TextAlignment::Right);
    created->setTextColor(Color::lightGray());
    created->setAutoresizingMask(Autoresizing::FlexibleLeftMargin);
    return cell;
}

void OrdersOpenViewController::showOrder(TableViewCell& cell, const OrderValues& order) {
    bool own = session_ && order("user.userId").text() == session_->userId();
    showOrderRow(cell, order, own ? Color::black() : Color::lightGray(), own ? Color::blue() : Color::lightGray());
}

bool OrdersOpenViewController::holdsRow(IndexPath path) const {
    if (!results_ || path.section < 0 || path.row < 0) return false;
    const auto& sections = results_->sections();
    const auto section = static_cast<size_t>(path.section);
    return section < sections.size() && static_cast<size_t>(path.row) < sections[section].numberOfObjects();
}

std::shared_ptr<TableViewCell> OrdersOpenViewController::cellForRow(TableView& table, IndexPath path) {
    std::shared_ptr<TableViewCell> cell = table.dequeueReusableCell(kCellIdentifier);
    if (!cell) cell = getCellContentView(kCellIdentifier);
    if (holdsRow(path)) {
        const auto section = static_cast<size_t>(path.section), row = static_cast<size_t>(path.row);
        showOrder(*cell, [&](std::string_view keyPath) { return results_->valueAt(section, row, keyPath); });
    }
    return cell;
}

void OrdersOpenViewController::didSelectRow(TableView& table, IndexPath path) {
    if (holdsRow(path) && main_)
        main_->loadOrder(
            results_->valueAt(static_cast<size_t>(path.section), static_cast<size_t>(path.row), "remoteId").text());
    table.deselectRow(path, animated());
}

} // namespace tavlo::screens
