// The administration screen's table: which row sits where, how it reads, what a tap on it does,
// and the checks a drawer row makes before it offers to cash in or out.
#include "screens/admin/LiteAdminViewController.h"

#include "core/session/Parameters.h"
#include "core/session/Session.h"
#include "core/util/Utils.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/Label.h"
#include "platform/ui/render/Theme.h"
#include "screens/common/NoSale.h"
#include "screens/common/ScreenKit.h"

#include <algorithm>

namespace tavlo::screens {

using namespace ui;
namespace theme = ui::render::theme;

namespace {

constexpr const char* kDynamicCell = "DynamicCell";
constexpr const char* kSimpleCell = "SimpleCell";

// The rows of the first two drawers: one row even without a drawer, which says so.
size_t drawerRows(size_t drawers) { return std::clamp<size_t>(drawers, 1, 2); }

Error refusal(const char* message) { return Utils::getError(localized(message), Utils::kStoreServerErrorDomain, -1); }

std::string nameOf(const ManagedObjectPtr& row, const char* user) {
    return row ? row->text(std::string(user) + ".name").value_or("") : std::string();
}

// "<what> <when> (<who>)", or without the name when there is none.
std::string stamped(const char* what, std::optional<Date> when, const std::string& who) {
    if (who.empty()) return format("%@ %@", localized(what), Utils::naturalStringForDate(when));
    return format("%@ %@ (%@)", localized(what), Utils::naturalStringForDate(when), who);
}

std::shared_ptr<TableViewCell> makeCell(TableView& table, const char* identifier) {
    if (auto reused = table.dequeueReusableCell(identifier)) return reused;
    auto cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, identifier,
                                                Rect(0, 0, table.bounds().size.width, table.rowHeight()));
    cell->setBackgroundColor(theme::red());
    cell->contentView().setBackgroundColor(theme::red());
    View& content = cell->contentView();
    if (std::string(identifier) == kDynamicCell) {
        double width = content.bounds().size.width;
        kit::addPlainLabel(content, {},
                           {.font = Font::boldSystem(18),
                            .colour = Color::white(),
                            .alignment = TextAlignment::Center,
                            .tag = LiteAdminViewController::kTitleTag,
                            .resizing = Autoresizing::FlexibleWidth,
                            .shrinksToFit = true})
            ->setFrame(Rect(8, 3, width - 16, 22));
        kit::addPlainLabel(content, {},
                           {.font = Font::system(12),
                            .colour = Color::white(),
                            .alignment = TextAlignment::Center,
                            .tag = LiteAdminViewController::kDetailTag,
                            .resizing = Autoresizing::FlexibleWidth,
                            .shrinksToFit = true})
            ->setFrame(Rect(8, 25, width - 16, 16));
    } else {
        cell->textLabel().setTextAlignment(TextAlignment::Center);
        cell->textLabel().setBackgroundColor(Color::clear());
        cell->textLabel().setFont(Font::boldSystem(18));
    }
    return cell;
}

void setLines(TableViewCell& cell, const std::string& title, const std::string& detail, bool available) {
    auto* titleLabel = dynamic_cast<Label*>(cell.viewWithTag(LiteAdminViewController::kTitleTag));
    auto* detailLabel = dynamic_cast<Label*>(cell.viewWithTag(LiteAdminViewController::kDetailTag));
    titleLabel->setText(title);
    titleLabel->setTextColor(available ? Color::white() : Color::lightGray());
    // Alone, the title sits in the middle of the row; with a detail, above it.
    Rect frame = titleLabel->frame();
    frame.origin.y = detail.empty() ? (cell.contentView().bounds().size.height - frame.size.height) / 2 : 3;
    titleLabel->setFrame(frame);
    detailLabel->setText(detail);
    detailLabel->setTextColor(Color::white());
}

} // namespace

std::optional<std::string> LiteAdminViewController::drawerAt(size_t index) {
    std::vector<std::string> drawers = session_->cashDrawerIds();
    if (index >= drawers.size()) return std::nullopt;
    return drawers[index];
}

// ---- where the rows sit

int LiteAdminViewController::numberOfSections(TableView&) { return session_ && session_->isLite() ? 4 : 3; }

std::optional<std::string> LiteAdminViewController::titleForHeader(TableView&, int section) {
    switch (section) {
    case 0: return localized("Store");
    case 1: return localized("Cash Management");
    case 2: return localized(session_->isLite() ? "Value Added Services" : "Reports");
    case 3: return localized("Reports");
    default: return std::nullopt;
    }
}

int LiteAdminViewController::numberOfRows(TableView&, int section) {
    bool lite = session_->isLite();
    switch (section) {
    case 0: return 2;
    case 1: {
        size_t rows = drawerRows(session_->cashDrawerIds().size());
        if (lite) rows += 2;                                                         // Payments, Petty Cash
        else if (!Parameters::flag(Parameter::NoUserCashOuts, context())) rows += 1; // Users
        return static_cast<int>(rows);
    }
    case 2: return lite ? 2 : 3;
    case 3: return 3;
    default: return 0;
    }
}

LiteAdminViewController::Row LiteAdminViewController::rowAt(IndexPath path) {
    bool lite = session_->isLite();
    static constexpr Row reports[] = {Row::SalesStatus, Row::TotalSales, Row::CashDrawerReport};
    static constexpr Row services[] = {Row::Customers, Row::ClockInOut};
    if (path.row < 0) return Row::None;
    const size_t row = static_cast<size_t>(path.row);
    switch (path.section) {
    case 0: return row == 0 ? Row::OpenStore : row == 1 ? Row::CloseStore : Row::None;
    case 1: {
        size_t drawers = session_->cashDrawerIds().size();
        size_t shown = drawerRows(drawers);
        if (row < shown) return drawers == 0 ? Row::NoDrawer : row == 0 ? Row::Drawer0 : Row::Drawer1;
        size_t extra = row - shown;
        if (lite) return extra == 0 ? Row::Payments : extra == 1 ? Row::PettyCash : Row::None;
        return extra == 0 && !Parameters::flag(Parameter::NoUserCashOuts, context()) ? Row::Users : Row::None;
    }
    case 2:
        if (lite) return row < 2 ? services[row] : Row::None;
        return row < 3 ? reports[row] : Row::None;
    case 3: return lite && row < 3 ? reports[row] : Row::None;
    default: return Row::None;
    }
}

// ---- how they read

std::shared_ptr<TableViewCell> LiteAdminViewController::cellForRow(TableView& table, IndexPath path) {
    Row row = rowAt(path);
    switch (row) {
    case Row::OpenStore:
    case Row::CloseStore: {
        auto cell = makeCell(table, kDynamicCell);
        showStoreRow(*cell, row == Row::OpenStore);
        return cell;
    }
    case Row::NoDrawer:
    case Row::Drawer0:
    case Row::Drawer1: {
        auto cell = makeCell(table, kDynamicCell);
        showDrawerRow(*cell, row == Row::NoDrawer ? std::nullopt : drawerAt(row == Row::Drawer0 ? 0 : 1));
        return cell;
    }
    default: break;
    }
    auto cell = makeCell(table, kSimpleCell);
    std::optional<std::string> text;
    Color colour = Color::white();
    switch (row) {
    case Row::Payments:
        text = localized("Payments");
        if (!session_->isStoreOpen()) colour = Color::lightGray();
        break;
    case Row::PettyCash: text = localized("Petty Cash"); break;
    case Row::Users: text = localized("Users"); break;
    case Row::Customers: text = localized("Customers"); break;
    case Row::ClockInOut: text = localized("Clock In/Out"); break;
    case Row::SalesStatus: text = localized("Sales Status"); break;
    case Row::TotalSales: text = localized("Total Sales"); break;
    case Row::CashDrawerReport: text = localized("Cash Drawer"); break;
    default: break;
    }
    cell->textLabel().setText(text);
    cell->textLabel().setTextColor(colour);
    return cell;
}

void LiteAdminViewController::showStoreRow(TableViewCell& cell, bool openRow) {
    bool open = session_->isStoreOpen();
    if (openRow) {
        ManagedObjectPtr day = open ? context()->fetchFirst("StoreBatch", "closedOn == nil") : nullptr;
        setLines(cell, localized("Open Store"),
                 day ? stamped("Opened", day->date("openedOn"), nameOf(day, "openedBy")) : std::string(), !open);
        return;
    }
    ManagedObjectPtr latest = open ? nullptr : context()->fetchFirst("StoreBatch", "max(openedOn) == openedOn");
    setLines(cell, localized("Close Store"),
             latest ? stamped("Closed", latest->date("closedOn"), nameOf(latest, "closedBy")) : std::string(), open);
}

void LiteAdminViewController::showDrawerRow(TableViewCell& cell, const std::optional<std::string>& drawerId) {
    if (!drawerId) {
        setLines(cell, localized("Cash Drawer"), localized("Not configured"), false);
        auto* detail = dynamic_cast<Label*>(cell.viewWithTag(kDetailTag));
        detail->setTextColor(Color::lightGray());
        return;
    }
    std::string name = Session::cashDrawerName(drawerId, context()).value_or("");
    if (!session_->isCashedIn(drawerId)) {
        setLines(cell, format("%@ %@", localized("Cash In"), name), localized("Cash drawer has not been cashed in"),
                 true);
        return;
    }
    ManagedObjectPtr open =
        context()->fetchFirst("CashInOut", "outDate == nil && cashDrawer.cashDrawerId == %@", *drawerId);
    setLines(cell, format("%@ %@", localized("Cash Out"), name),
             open ? format("%@ %@ (%@)", localized("Cashed in"), Utils::naturalStringForDate(open->date("inDate")),
                           nameOf(open, "inBy"))
                  : std::string(),
             true);
}

// ---- what a tap does

void LiteAdminViewController::didSelectRow(TableView& table, IndexPath path) {
    processSelect(path);
    table.deselectRow(path, animated());
}

void LiteAdminViewController::processSelect(IndexPath path) {
    std::vector<std::string> drawers = session_->cashDrawerIds();
    switch (rowAt(path)) {
    case Row::OpenStore:
        confirm(localized("Are you sure you want to open the store?"), [this]() {
            if (granted(Right::CloseStore)) openStore();
        });
        return;
    case Row::CloseStore:
        if (!session()->isStoreOpen()) return;
        confirm(localized("Are you sure you want to close the store?"), [this]() {
            if (granted(Right::CloseStore)) closeStore();
        });
        return;
    case Row::NoDrawer: return alert("Alert", localized("No cash drawer has been configured"), {"Ok"});
    case Row::Drawer0: return drawerAction(0);
    case Row::Drawer1: return drawerAction(1);
    case Row::Payments: return payments();
    case Row::Users: return cashOutUsers();
    case Row::Customers: return customers();
    case Row::ClockInOut: return attendance();
    case Row::SalesStatus: return reportSalesStatus();
    case Row::TotalSales: return reportTotalSales();
    case Row::CashDrawerReport: {
        if (drawers.empty()) return alert("Alert", localized("There are no drawers configured on this device"), {"Ok"});
        if (drawers.size() == 1) return reportCashDrawer(drawers.front());
        chooseDrawer(*this, "Select a drawer", drawers, context(),
                     [this](const std::string& drawer) { reportCashDrawer(drawer); });
        return;
    }
    case Row::PettyCash:
    case Row::None: return;
    }
}

void LiteAdminViewController::drawerAction(size_t index) {
    std::optional<std::string> drawer = drawerAt(index);
    if (!drawer) return;
    if (!session_->isStoreOpen())
        return alert(
            "Alert",
            localized("Store is currently closed. A manager must open the store in order to work on the drawer"),
            {"Ok"});
    Error error;
    // The drawer is read again when the answer comes.
    if (canCashIn(*drawer, &error)) {
        confirm(localized("Are you sure you want to cash in?"), [this, index]() {
            if (std::optional<std::string> now = drawerAt(index))
                amountPrompt(localized("Cash In"), &LiteAdminViewController::cashIn, *now);
        })->setTag(index == 0 ? kCashInDrawer0Tag : kCashInDrawer1Tag);
        return;
    }
    if (canCashOut(*drawer, &error)) {
        confirm(localized("Are you sure you want to cash out?"), [this, index]() {
            if (std::optional<std::string> now = drawerAt(index)) preCashOutCD(*now);
        })->setTag(index == 0 ? kCashOutDrawer0Tag : kCashOutDrawer1Tag);
        return;
    }
    alert("Alert", error.localizedDescription(), {"Ok"});
}

bool LiteAdminViewController::canCashIn(const std::string& drawerId, Error* error) {
    if (session_->isCashedIn(drawerId)) {
        Error::set(error, refusal("Cash drawer is already cashed in"));
        return false;
    }
    if (session_->isGranted(Right::CashInCashDrawer)) return true;
    Error::set(error, refusal("You do not have access to cash in the drawer, please have the manager do it"));
    return false;
}

bool LiteAdminViewController::canCashOut(const std::string& drawerId, Error* error) {
    if (!session_->isCashedIn(drawerId)) return false;
    if (!session_->isGranted(Right::CashOutCashDrawer)) {
        Error::set(error, refusal("You do not have access to cash out the drawer, please have the manager do it"));
        return false;
    }
    if (session_->isLite() && ordersOpen()) {
        Error::set(error, refusal("Please close all orders before cashing out drawer"));
        return false;
    }
    return true;
}

bool LiteAdminViewController::ordersOpen() { return context() && context()->exists("Order", "closed == nil"); }

} // namespace tavlo::screens
