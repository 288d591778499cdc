#include "screens/entry/items/ItemsViewController.h"

#include "core/order/Order.h"
#include "core/order/Selection.h"
#include "core/session/IDBroker.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/Application.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/SegmentedControl.h"
#include "screens/entry/ItemEntry.h"

namespace tavlo::screens {

using namespace ui;

ItemsViewController::ItemsViewController() : SignedInController(kInterfaceName) {}

FetchedResultsController* ItemsViewController::fetchedResultsController() {
    ObjectContext* context = contextOf(session_.get());
    if (!results_ && context)
        results_ = std::make_unique<FetchedResultsController>(
            *context, FetchRequest("Item", std::nullopt, {{"menu.sequence"}, {"menu.name"}}), std::string("menu.name"));
    return results_.get();
}

void ItemsViewController::fetch() {
    Error error;
    FetchedResultsController* results = fetchedResultsController();
    if (!results) error = Error("Tavlo", -1, "no store to read from");
    if (!results || !results->performFetch(&error))
        TAVLO_LOG_MAIL("reading items for ItemsViewController: %@", error.localizedDescription());
}

void ItemsViewController::viewDidLoad() {
    fetch();
    auto lists = std::make_shared<SegmentedControl>(
        std::vector<std::string>{localized("Menus"), localized("Items"), localized("Shortcuts")}, Rect(0, 0, 240, 30));
    lists->setStyle(SegmentedControlStyle::Bar);
    lists->setSelectedSegmentIndex(0);
    lists->setEnabled(false, 1);
    lists->setEnabled(false, 2);
    navigationItem().setTitleView(lists);
    Application* app = Application::current();
    if (app && app->idiom() == DeviceIdiom::Tablet)
        navigationItem().setBackBarButtonItem(BarButtonItem::titled(localized("Cancel"), BarButtonStyle::Bordered));
    loadToolbar();
}

void ItemsViewController::loadToolbar() {
    lblAction_ = std::make_shared<Label>(Rect(0, 0, 170, 25));
    lblAction_->setAdjustsFontSizeToFitWidth(true);
    lblAction_->setTextAlignment(TextAlignment::Center);
    lblAction_->setFont(Font::italicSystem(13));
    lblAction_->setTextColor(Color::green());
    lblAction_->setBackgroundColor(Color::clear());
    std::weak_ptr<ViewController> weak = weak_from_this();
    auto act = [weak](void (ItemsViewController::*action)()) {
        return [weak, action](BarButtonItem&) {
            if (auto self = weak.lock()) (static_cast<ItemsViewController&>(*self).*action)();
        };
    };
    undoButton_ = BarButtonItem::system(SystemItem::Undo, act(&ItemsViewController::undo));
    redoButton_ = BarButtonItem::system(SystemItem::Redo, act(&ItemsViewController::redo));
    setToolbarItems({undoButton_, BarButtonItem::flexibleSpace(), BarButtonItem::withCustomView(lblAction_),
                     BarButtonItem::flexibleSpace(), redoButton_});
}

void ItemsViewController::viewWillAppear(bool animated) {
    TableViewController::viewWillAppear(animated);
    if (NavigationController* navigation = navigationController()) {
        navigation->toolbar().setBarStyle(BarStyle::Black);
        navigation->setToolbarHidden(false, animated && this->animated());
    }
}

// ---- the list

int ItemsViewController::numberOfSections(TableView&) {
    return results_ ? static_cast<int>(results_->sections().size()) : 0;
}

int ItemsViewController::numberOfRows(TableView&, int section) {
    if (!results_ || section < 0 || section >= static_cast<int>(results_->sections().size())) return 0;
    return static_cast<int>(results_->sections()[static_cast<size_t>(section)].numberOfObjects());
}

std::shared_ptr<TableViewCell> ItemsViewController::cellForRow(TableView& table, IndexPath path) {
    std::shared_ptr<TableViewCell> cell = table.dequeueReusableCell("Cell");
    if (!cell) cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, "Cell");
    ManagedObjectPtr item =
        results_ ? results_->objectAt(static_cast<size_t>(path.section), static_cast<size_t>(path.row)) : nullptr;
    cell->textLabel().setText(item ? item->text("name") : std::nullopt);
    return cell;
}

std::optional<std::string> ItemsViewController::titleForHeader(TableView&, int section) {
    if (!results_ || section < 0 || section >= static_cast<int>(results_->sections().size())) return std::nullopt;
    return results_->sections()[static_cast<size_t>(section)].name;
}

std::vector<std::string> ItemsViewController::sectionIndexTitles(TableView&) {
    // The strip down the side has room for a few letters of each menu's name.
    std::vector<std::string> titles;
    if (results_)
        for (const FetchedResultsController::Section& section : results_->sections())
            titles.push_back(characterPrefix(section.name, kIndexTitleLength));
    return titles;
}

void ItemsViewController::didSelectRow(TableView& table, IndexPath path) {
    ManagedObjectPtr item =
        results_ ? results_->objectAt(static_cast<size_t>(path.section), static_cast<size_t>(path.row)) : nullptr;
    ItemEntry entry(session_.get(), order_, selectSeat_, selectCourse_);
    if (entry.start(*this, item, [this](const SelectionPtr& selection) { addSelection(selection); })) return;
    // Gone from the store or sold out: the list is read again.
    table.deselectRow(path, animated());
    fetch();
    table.reloadData();
}

// ---- lines added, undo and redo

void ItemsViewController::addSelection(const SelectionPtr& selection) {
    if (!selection->remoteId()) selection->setRemoteId(IDBroker::getInstance().generateRemoteIdSelection());
    additions_.add(selection);
    order_->addSelection(selection, session_.get());
    lblAction_->setText(SelectionAdditions::addedText(*selection));
    ItemEntry::dismissPresented(*this, animated());
    if (std::optional<IndexPath> selected = tableView().indexPathForSelectedRow())
        tableView().deselectRow(*selected, animated());
}

void ItemsViewController::undo() {
    if (!additions_.undo(*order_, session_.get(), userOf(session_.get()))) return;
    lblAction_->setText(additions_.empty() ? std::string() : SelectionAdditions::addedText(*additions_.last()));
}

void ItemsViewController::redo() {
    if (additions_.redo(*order_, session_.get()))
        lblAction_->setText(SelectionAdditions::addedText(*additions_.last()));
}

void registerItemsView() {
    InterfaceRegistry::shared().add(ItemsViewController::kInterfaceName, [](ViewController&) {
        auto table = std::make_shared<TableView>(Rect(0, 0, 320, 416), TableViewStyle::Plain);
        table->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
        return std::static_pointer_cast<View>(table);
    });
}

} // namespace tavlo::screens
