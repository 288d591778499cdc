#include "support/ui/GuestListScreen.h"

#include "platform/foundation/Text.h"
#include "platform/ui/Button.h"
#include "platform/ui/InterfaceRegistry.h"

namespace tavlo::ui::test {

void GuestListViewController::viewDidLoad() {
    setTitle("Guests");
    navigationItem().setRightBarButtonItem(
        BarButtonItem::system(SystemItem::Trash, [this](BarButtonItem&) { clear(); }));
    table()->setDataSource(this);
    table()->setTableDelegate(this);
    refresh();
}

void GuestListViewController::add() {
    std::string guest = tavlo::trim(name()->text());
    if (guest.empty()) {
        AlertView::make("Alert", "Please enter a name", "Ok")->show();
        return;
    }
    guests_.push_back(guest);
    name()->setText("");
    refresh();
}

std::shared_ptr<TableViewCell> GuestListViewController::cellForRow(TableView& table, IndexPath path) {
    auto cell = table.dequeueReusableCell("Cell");
    if (!cell) cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, "Cell");
    cell->textLabel().setText(guests_[path.row]);
    return cell;
}

void GuestListViewController::didSelectRow(TableView&, IndexPath path) {
    auto alert = AlertView::make("Confirmation", tavlo::format("Remove %@?", guests_[path.row]), "No", {"Yes"});
    alert->setTag(kRemoveAlertTag);
    alert->setDelegate(sharedAs<AlertViewDelegate>());
    alert->show();
}

void GuestListViewController::commitEditing(TableView&, EditingStyle style, IndexPath path) {
    if (style != EditingStyle::Delete || path.row >= static_cast<int>(guests_.size())) return;
    guests_.erase(guests_.begin() + path.row);
    refresh();
}

void GuestListViewController::alertViewClicked(AlertView& alert, int index) {
    auto row = table()->indexPathForSelectedRow();
    table()->deselectRow(row.value_or(IndexPath{}), true);
    if (alert.tag() != kRemoveAlertTag || index != 1 || !row) return;
    guests_.erase(guests_.begin() + row->row);
    refresh();
}

void GuestListViewController::clear() {
    guests_.clear();
    refresh();
}

void GuestListViewController::refresh() {
    total()->setText(guests_.size() == 1 ? std::string("1 guest") : tavlo::format("%lu guests", guests_.size()));
    table()->reloadData();
}

void registerGuestListView() {
    InterfaceRegistry::shared().add<GuestListViewController>(
        "GuestListView", [](GuestListViewController& owner) -> std::shared_ptr<View> {
            auto root = std::make_shared<View>(Rect(0, 0, 320, 480));
            root->setBackgroundColor(Color::white());
            auto name = std::make_shared<TextField>(Rect(10, 10, 220, 31));
            name->setPlaceholder("Name");
            name->setBorderStyle(BorderStyle::RoundedRect);
            name->setAutoresizingMask(Autoresizing::FlexibleWidth);
            auto add = Button::make(ButtonType::RoundedRect, Rect(240, 10, 70, 31));
            add->setTitle("Add");
            add->setAutoresizingMask(Autoresizing::FlexibleLeftMargin);
            add->addTarget([&owner](Control&) { owner.add(); }, ControlEvent::TouchUpInside);
            auto table = std::make_shared<TableView>(Rect(0, 50, 320, 390));
            table->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
            auto total = std::make_shared<Label>(Rect(10, 445, 300, 25));
            total->setTextAlignment(TextAlignment::Center);
            total->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleTopMargin);
            for (std::shared_ptr<View> v : {std::shared_ptr<View>(name), std::shared_ptr<View>(add),
                                            std::shared_ptr<View>(table), std::shared_ptr<View>(total)})
                root->addSubview(v);
            owner.connect("name", name);
            owner.connect("table", table);
            owner.connect("total", total);
            return root;
        });
}

} // namespace tavlo::ui::test
