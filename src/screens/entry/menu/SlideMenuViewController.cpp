#include "screens/entry/menu/SlideMenuViewController.h"

#include "core/records/Menu.h"
#include "core/session/DBHelper.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/InterfaceRegistry.h"
#include "screens/common/BadgedCell.h"
#include "screens/entry/menu/MenuFetchedResultsController.h"

namespace tavlo::screens {

using namespace ui;

namespace {

const Color kSoldOut(0.792, 0.197, 0.219, 1);
const Color kInStock(0.197, 0.592, 0.219, 1);
constexpr double kBadgeRadius = 9;

bool onPhone() {
    Application* app = Application::current();
    return !app || app->idiom() != DeviceIdiom::Tablet;
}

} // namespace

SlideMenuViewController::SlideMenuViewController() : MenuViewController(kInterfaceName) {}

SlideMenuViewController::~SlideMenuViewController() {
    if (auto* table = outlet<TableView>("tableView")) {
        table->setDataSource(nullptr);
        table->setTableDelegate(nullptr);
    }
}

TableView& SlideMenuViewController::tableView() { return *outlet<TableView>("tableView"); }

void SlideMenuViewController::viewDidLoad() {
    MenuViewController::viewDidLoad();
    TableView& table = tableView();
    const Rect b = view()->bounds();
    table.setFrame(Rect(0, menuBarHeight(), b.width(), b.height() - menuBarHeight()));
    table.setDataSource(this);
    table.setTableDelegate(this);
    if (Error error; !fetchItems(error)) {
        TAVLO_LOG_MAIL("Unable to read items for SlideMenuViewController: %@", error.localizedDescription());
        leaveUnreadable();
    }
}

void SlideMenuViewController::refresh() {
    MenuViewController::refresh();
    tableView().reloadData();
}

void SlideMenuViewController::completeSelection(const SelectionPtr& selection) {
    MenuViewController::completeSelection(selection);
    if (std::optional<IndexPath> selected = tableView().indexPathForSelectedRow())
        tableView().deselectRow(*selected, animated());
}

void SlideMenuViewController::displayAvailability(BadgedCell& cell, const ManagedObjectPtr& recipe) {
    cell.badge().setRadius(kBadgeRadius);
    if (!recipe || recipe->isNil("available")) {
        cell.textLabel().setTextColor(Color::black());
        cell.setBadgeString(std::nullopt);
        return;
    }
    int32_t available = recipe->int32("available");
    if (available < 0) {
        TAVLO_LOG("Availability lower than expected for recipe %@, available %d", recipe->text("recipeId").value_or(""),
                  0);
        available = 0;
    }
    cell.setBadgeString(format("%d", available / 100));
    // The colour follows the hundredths: half a portion left still shows "0" in green.
    const bool soldOut = available < 1;
    cell.setBadgeColor(soldOut ? kSoldOut : kInStock);
    cell.textLabel().setTextColor(soldOut ? Color::gray() : Color::black());
}

int SlideMenuViewController::numberOfSections(TableView&) {
    return static_cast<int>(fetchedResultsController().sections().size());
}

int SlideMenuViewController::numberOfRows(TableView&, int section) {
    const auto& sections = fetchedResultsController().sections();
    return section < static_cast<int>(sections.size())
               ? static_cast<int>(sections[static_cast<size_t>(section)].numberOfObjects())
               : 0;
}

std::shared_ptr<TableViewCell> SlideMenuViewController::cellForRow(TableView& table, IndexPath path) {
    std::shared_ptr<TableViewCell> reused = table.dequeueReusableCell("Cell");
    auto cell = std::dynamic_pointer_cast<BadgedCell>(reused);
    if (!cell) cell = std::make_shared<BadgedCell>(TableViewCellStyle::Default, "Cell");
    ManagedObjectPtr item =
        fetchedResultsController().objectAt(static_cast<size_t>(path.section), static_cast<size_t>(path.row));
    cell->textLabel().setText(item ? item->text("name") : std::nullopt);
    displayAvailability(*cell, item ? item->toOne("recipe") : nullptr);
    return cell;
}

std::optional<std::string> SlideMenuViewController::sectionTitle(int section) {
    const auto& sections = fetchedResultsController().sections();
    if (section < 0 || section >= static_cast<int>(sections.size())) return std::nullopt;
    std::optional<std::string> title =
        fetchedResultsController().sectionIndexTitleForSectionName(sections[static_cast<size_t>(section)].name);
    if (!title || title->empty()) return std::nullopt;
    if (onPhone() && characterCount(*title) > kLongestSectionTitle)
        return format("%@...", characterPrefix(*title, kLongestSectionTitle));
    return title;
}

std::optional<std::string> SlideMenuViewController::titleForHeader(TableView&, int section) {
    if (fetchedResultsController().sections().size() < 2) return std::nullopt;
    return sectionTitle(section);
}

std::vector<std::string> SlideMenuViewController::sectionIndexTitles(TableView&) {
    std::vector<std::string> titles;
    MenuFetchedResultsController& items = fetchedResultsController();
    if (!currentMenuId() || items.listsShortcuts() || items.sections().size() < 2) return titles;
    for (size_t section = 0; section < items.sections().size(); ++section)
        if (std::optional<std::string> title = sectionTitle(static_cast<int>(section))) titles.push_back(*title);
    return titles;
}

void SlideMenuViewController::didSelectRow(TableView& table, IndexPath path) {
    MenuFetchedResultsController& items = fetchedResultsController();
    if (currentMenuId() && !items.listsShortcuts()) {
        ManagedObjectPtr menu =
            DBHelper::getObject("Menu", "menuId == %@", *currentMenuId(), contextOf(session_.get()));
        if (!menu || !Menu::isActive(*menu)) {
            alert("Alert", localized("Menu is no longer available"), {"Ok"});
            table.deselectRow(path, animated());
            refresh();
            return;
        }
    }
    ManagedObjectPtr item = items.objectAt(static_cast<size_t>(path.section), static_cast<size_t>(path.row));
    if (!prepareSelection(item, [this](const SelectionPtr& selection) { completeSelection(selection); }))
        table.deselectRow(path, animated());
}

void registerMenuView() {
    InterfaceRegistry::shared().add(SlideMenuViewController::kInterfaceName, [](ViewController& owner) {
        auto root = std::make_shared<View>(Rect(0, 0, 320, 416));
        root->setBackgroundColor(Color::white());
        auto table = std::make_shared<TableView>(root->bounds(), TableViewStyle::Plain);
        table->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
        root->addSubview(table);
        owner.connect("tableView", table);
        return root;
    });
}

} // namespace tavlo::screens
