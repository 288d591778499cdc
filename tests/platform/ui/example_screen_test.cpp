// How a screen is tested: the screen is a controller built from a registered interface, and the
// test drives it only through the harness, as a person would (type, tap, click alerts) and reads
// back what is on screen. Later screen tests follow this shape.
#include "platform/foundation/Text.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "support/ui/Harness.h"

#include <gtest/gtest.h>

using namespace tavlo::ui;
using tavlo::format;
using tavlo::ui::test::Harness;

namespace {

// A small guest list: type a name and press Add; tap a guest to remove them after a question;
// the count shows below. Its layout lives in the interface "GuestListView".
class GuestListViewController : public ViewController,
                                public TableViewDataSource,
                                public TableViewDelegate,
                                public AlertViewDelegate {
public:
    static constexpr int removeAlertTag = 1;

    GuestListViewController() : ViewController("GuestListView") {}

    // Outlets, connected by the interface.
    TableView* table() const { return outlet<TableView>("table"); }
    Label* total() const { return outlet<Label>("total"); }
    TextField* name() const { return outlet<TextField>("name"); }

    void viewDidLoad() override {
        setTitle("Guests");
        navigationItem().setRightBarButtonItem(
            BarButtonItem::system(SystemItem::Trash, [this](BarButtonItem&) { clear(); }));
        table()->setDataSource(this);
        table()->setTableDelegate(this);
        refresh();
    }

    void add() {
        if (trim(name()->text()).empty()) {
            AlertView::make("Alert", "Please enter a name", "Ok")->show();
            return;
        }
        guests_.push_back(trim(name()->text()));
        name()->setText("");
        refresh();
    }

    int numberOfRows(TableView&, int) override { return static_cast<int>(guests_.size()); }
    std::shared_ptr<TableViewCell> cellForRow(TableView& table, IndexPath path) override {
        auto cell = table.dequeueReusableCell("Cell");
        if (!cell) cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, "Cell");
        cell->textLabel().setText(guests_[path.row]);
        return cell;
    }
    void didSelectRow(TableView&, IndexPath path) override {
        auto alert = AlertView::make("Confirmation", format("Remove %@?", guests_[path.row]), "No", {"Yes"});
        alert->setTag(removeAlertTag);
        alert->setDelegate(sharedAs<AlertViewDelegate>());
        alert->show();
    }

    void alertViewClicked(AlertView& alert, int index) override {
        auto row = table()->indexPathForSelectedRow();
        table()->deselectRow(row.value_or(IndexPath{}), true);
        if (alert.tag() != removeAlertTag || index != 1 || !row) return;
        guests_.erase(guests_.begin() + row->row);
        refresh();
    }

private:
    static std::string trim(const std::string& s) { return tavlo::trim(s); }
    void clear() {
        guests_.clear();
        refresh();
    }
    void refresh() {
        total()->setText(guests_.size() == 1 ? std::string("1 guest") : format("%lu guests", guests_.size()));
        table()->reloadData();
    }

    std::vector<std::string> guests_;
};

// The interface: the views, their layout, the outlets and the actions.
void registerGuestListView() {
    InterfaceRegistry::shared().add<GuestListViewController>(
        "GuestListView", [](GuestListViewController& owner) -> std::shared_ptr<View> {
            auto root = std::make_shared<View>(Rect(0, 0, 320, 480));
            auto name = std::make_shared<TextField>(Rect(10, 10, 220, 31));
            name->setPlaceholder("Name");
            name->setBorderStyle(BorderStyle::RoundedRect);
            auto add = Button::make(ButtonType::RoundedRect, Rect(240, 10, 70, 31));
            add->setTitle("Add");
            add->addTarget([&owner](Control&) { owner.add(); }, ControlEvent::TouchUpInside);
            auto table = std::make_shared<TableView>(Rect(0, 50, 320, 390));
            table->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
            auto total = std::make_shared<Label>(Rect(10, 445, 300, 25));
            total->setTextAlignment(TextAlignment::Center);
            for (std::shared_ptr<View> v : {std::shared_ptr<View>(name), std::shared_ptr<View>(add),
                                            std::shared_ptr<View>(table), std::shared_ptr<View>(total)})
                root->addSubview(v);
            owner.connect("name", name);
            owner.connect("table", table);
            owner.connect("total", total);
            return root;
        });
}

class GuestListScreen : public ::testing::Test {
protected:
    void SetUp() override {
        registerGuestListView();
        h.show(std::make_shared<NavigationController>(std::make_shared<GuestListViewController>()));
    }
    Harness h;
};

} // namespace

TEST_F(GuestListScreen, AddsTypedNamesAndCountsThem) {
    EXPECT_EQ(h.visible<GuestListViewController>().title(), "Guests");
    EXPECT_EQ(h.outlet<Label>("total").text(), "0 guests");

    h.type(h.outlet<TextField>("name"), "Ada");
    h.tap("Add");
    h.type(h.outlet<TextField>("name"), " Grace ");
    h.tap("Add");

    EXPECT_EQ(h.outlet<TextField>("name").text(), "");
    EXPECT_EQ(h.visibleLabelTexts(), (std::vector<std::string>{"Add", "Ada", "Grace", "2 guests"}));
}

TEST_F(GuestListScreen, AnEmptyNameIsRefusedWithAnAlert) {
    h.tap("Add");
    ASSERT_TRUE(h.hasAlert());
    EXPECT_EQ(h.frontAlert().message(), "Please enter a name");
    h.clickAlert("Ok");
    EXPECT_EQ(h.outlet<Label>("total").text(), "0 guests");
}

TEST_F(GuestListScreen, RemovesAGuestOnlyAfterYes) {
    for (const char* guest : {"Ada", "Grace", "Linus"}) {
        h.type(h.outlet<TextField>("name"), guest);
        h.tap("Add");
    }
    auto& table = h.outlet<TableView>("table");

    h.tapRow(table, {0, 1});
    EXPECT_EQ(h.frontAlert().message(), "Remove Grace?");
    h.clickAlert("No");
    EXPECT_EQ(h.outlet<Label>("total").text(), "3 guests");
    EXPECT_FALSE(table.indexPathForSelectedRow());

    h.tapRow(table, {0, 1});
    h.clickAlert("Yes");
    EXPECT_EQ(h.outlet<Label>("total").text(), "2 guests");
    EXPECT_EQ(h.viewWithText<Label>("Linus").text(), "Linus");

    h.tap(SystemItem::Trash);
    EXPECT_EQ(h.outlet<Label>("total").text(), "0 guests");
}
