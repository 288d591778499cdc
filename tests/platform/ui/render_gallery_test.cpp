// Every kind of view the UI layer has, drawn: the gallery screens are compared with golden files,
// so that a change to how anything is drawn shows up as a picture to look at.
#include "platform/ui/ActivitySpinner.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/PickerView.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/SearchBar.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Slider.h"
#include "platform/ui/SplitViewController.h"
#include "platform/ui/TableViewController.h"
#include "platform/ui/TextView.h"
#include "platform/ui/render/Snapshot.h"
#include "support/ui/Golden.h"
#include "support/ui/Harness.h"

#include <gtest/gtest.h>

using namespace tavlo::ui;
using namespace tavlo::ui::test;

namespace {

template <typename T, typename... Args> std::shared_ptr<T> add(View& parent, Args&&... args) {
    auto view = std::make_shared<T>(std::forward<Args>(args)...);
    parent.addSubview(view);
    return view;
}

std::shared_ptr<Label> label(View& parent, Rect frame, std::string text) {
    auto l = add<Label>(parent, frame);
    l->setText(std::move(text));
    return l;
}

// A 2x2 chequer, for pattern colours and pixel images.
Image chequer() {
    std::vector<uint8_t> rgba;
    for (int i = 0; i < 16; ++i) {
        bool dark = (i % 4 < 2) == (i / 8 == 0);
        for (uint8_t c :
             {uint8_t(dark ? 0x24 : 0xE5), uint8_t(dark ? 0x46 : 0x7E), uint8_t(dark ? 0x5C : 0x31), uint8_t(255)})
            rgba.push_back(c);
    }
    return Image::fromPixels({4, 4}, rgba);
}

class Wheels : public PickerViewDataSource, public PickerViewDelegate {
public:
    int numberOfComponents(PickerView&) override { return 2; }
    int numberOfRows(PickerView&, int component) override { return component == 0 ? 12 : 4; }
    std::optional<std::string> titleForRow(PickerView&, int row, int component) override {
        static const char* courses[] = {"Starter", "Main", "Dessert", "Drinks"};
        return component == 0 ? "Table " + std::to_string(row + 1) : courses[row];
    }
};

// Labels, buttons, text entry and the other controls on one screen in a navigation controller
// with a toolbar of stock items.
class ControlsController : public ViewController {
public:
    void loadView() override {
        auto root = std::make_shared<View>(Rect(0, 0, 1024, 768));
        root->setBackgroundColor(Color(0.96, 0.95, 0.92));
        View& r = *root;

        label(r, {20, 10, 300, 30}, "Left aligned, 17 points");
        auto centred = label(r, {20, 40, 300, 30}, "Centred in bold");
        centred->setFont(Font::boldSystem(17));
        centred->setTextAlignment(TextAlignment::Center);
        auto right = label(r, {20, 70, 300, 30}, "Right, italic");
        right->setFont(Font::italicSystem(17));
        right->setTextAlignment(TextAlignment::Right);
        auto wrapped = label(r, {20, 100, 300, 66},
                             "A long note wraps over as many lines as it needs and stops with an ellipsis when the "
                             "label has no more room for it");
        wrapped->setNumberOfLines(3);
        wrapped->setFont(Font::system(15));
        auto shrunk = label(r, {20, 170, 150, 30}, "Shrinks to fit its width");
        shrunk->setAdjustsFontSizeToFitWidth(true);
        shrunk->setMinimumScaleFactor(0.5);
        auto cut = label(r, {180, 170, 140, 30}, "Truncated at the tail");
        cut->setTextColor(Color(0.79, 0.23, 0.18));
        auto mono = label(r, {20, 200, 300, 30}, "Courier-Bold 12.50");
        mono->setFont(Font::named("Courier-Bold", 16));

        auto plain = add<Button>(r, ButtonType::RoundedRect, Rect(20, 240, 140, 44));
        plain->setTitle("Send");
        auto pressed = add<Button>(r, ButtonType::RoundedRect, Rect(170, 240, 140, 44));
        pressed->setTitle("Pressed");
        pressed->setHighlighted(true);
        auto disabled = add<Button>(r, ButtonType::RoundedRect, Rect(20, 294, 140, 44));
        disabled->setTitle("Disabled");
        disabled->setEnabled(false);
        auto custom = add<Button>(r, ButtonType::Custom, Rect(170, 294, 140, 44));
        custom->setTitle("Pay");
        custom->setBackgroundColor(Color(0.9, 0.49, 0.19));
        custom->setCornerRadius(8);
        auto imageButton = add<Button>(r, ButtonType::Custom, Rect(20, 348, 290, 44));
        imageButton->setBackgroundImage(Image::named("no-such-button.png"));
        imageButton->setTitle("Missing background image");
        imageButton->setTitleColor(Color::black());

        auto name = add<TextField>(r, Rect(350, 10, 300, 40));
        name_ = name.get();
        name->setBorderStyle(BorderStyle::RoundedRect);
        name->setPlaceholder("Placeholder");
        auto secret = add<TextField>(r, Rect(350, 60, 300, 40));
        secret->setBorderStyle(BorderStyle::Line);
        secret->setSecureTextEntry(true);
        secret->setText("1234");
        auto bezel = add<TextField>(r, Rect(350, 110, 300, 40));
        bezel->setBorderStyle(BorderStyle::Bezel);
        bezel->setText("Clear me");
        bezel->setClearButtonMode(ClearButtonMode::Always);
        bezel->setTextAlignment(TextAlignment::Center);
        auto notes = add<TextView>(r, Rect(350, 160, 300, 90));
        notes->setBackgroundColor(Color::white());
        notes->setFont(Font::system(15));
        notes->setText("No onions.\nThe sauce on the side, please, and the bread warm.");
        auto search = add<SearchBar>(r, Rect(350, 260, 300, 44));
        search->setPlaceholder("Search items");
        auto slider = add<Slider>(r, Rect(350, 314, 300, 40));
        slider->setValue(0.35);
        auto segments = add<SegmentedControl>(r, std::vector<std::string>{"Dine in", "Take out", "Delivery"},
                                              Rect(350, 364, 300, 40));
        segments->setSelectedSegmentIndex(1);
        segments->setEnabled(false, 2);

        auto picker = add<PickerView>(r, Rect(680, 10, 320, 216));
        picker->setDataSource(&wheels_);
        picker->setDelegate(&wheels_);
        picker->selectRow(4, 0);
        picker->selectRow(1, 1);

        auto dark = add<View>(r, Rect(680, 240, 320, 80));
        dark->setBackgroundColor(Color(0.14, 0.27, 0.36));
        dark->setCornerRadius(12);
        auto white = add<ActivitySpinner>(*dark, ActivitySpinnerStyle::WhiteLarge, Rect(20, 20, 40, 40));
        white->startAnimating();
        auto grey = add<ActivitySpinner>(r, ActivitySpinnerStyle::Gray, Rect(690, 530, 20, 20));
        grey->startAnimating();
        auto waiting = label(*dark, {80, 25, 220, 30}, "Loading the store");
        waiting->setTextColor(Color::white());

        auto shadowed = add<View>(r, Rect(680, 340, 150, 60));
        shadowed->setBackgroundColor(Color::white());
        shadowed->setCornerRadius(10);
        shadowed->setShadow({{0, 3}, 6, 0.5});
        auto faded = add<View>(r, Rect(850, 340, 150, 60));
        faded->setBackgroundColor(Color(0.79, 0.23, 0.18));
        faded->setAlpha(0.4);
        auto pattern = add<View>(r, Rect(680, 420, 150, 60));
        pattern->setBackgroundColor(Color::pattern(chequer()));
        add<ImageView>(r, std::optional<Image>(Image::named("no-such-logo.png")), Rect(850, 420, 150, 60));
        add<View>(r, Rect(850, 490, 150, 20))->setHidden(true);

        // Scrolled and zoomed content.
        auto scroll = add<ScrollView>(r, Rect(20, 420, 300, 200));
        scroll->setBackgroundColor(Color::white());
        auto content = add<View>(*scroll, Rect(0, 0, 600, 400));
        for (int i = 0; i < 6; ++i)
            label(*content, {10, 10 + 50.0 * i, 580, 40}, "Row " + std::to_string(i + 1) + " of the scrolled content");
        scroll->setContentSize({600, 400});
        scroll->setContentOffset({40, 60});
        content->setTransformScale(1.25);

        setView(root);
        setTitle("Controls");
        navigationItem().setRightBarButtonItem(BarButtonItem::system(SystemItem::Done));
        std::vector<std::shared_ptr<BarButtonItem>> items;
        for (SystemItem kind :
             {SystemItem::Add, SystemItem::Compose, SystemItem::Reply, SystemItem::Action, SystemItem::Organize,
              SystemItem::Bookmarks, SystemItem::Search, SystemItem::Refresh, SystemItem::Stop, SystemItem::Camera,
              SystemItem::Trash, SystemItem::Play, SystemItem::Pause, SystemItem::Rewind, SystemItem::FastForward})
            items.push_back(BarButtonItem::system(kind));
        items.push_back(BarButtonItem::flexibleSpace());
        items.push_back(BarButtonItem::titled("Print", BarButtonStyle::Bordered));
        auto off = BarButtonItem::titled("Void", BarButtonStyle::Bordered);
        off->setEnabled(false);
        items.push_back(off);
        items.push_back(BarButtonItem::system(SystemItem::Save));
        setToolbarItems(items);
    }

    TextField& name() const { return *name_; }

private:
    Wheels wheels_;
    TextField* name_ = nullptr;
};

// A table of rows with every accessory, headers and an index; grouped or plain.
class MenuTable : public TableViewController {
public:
    explicit MenuTable(TableViewStyle style) : TableViewController({}, style) {}
    int numberOfSections(TableView&) override { return 3; }
    int numberOfRows(TableView&, int section) override { return section == 1 ? 4 : 3; }
    std::optional<std::string> titleForHeader(TableView&, int section) override {
        static const char* titles[] = {"Starters", "Mains", "Desserts"};
        return titles[section];
    }
    std::vector<std::string> sectionIndexTitles(TableView& table) override {
        if (table.style() == TableViewStyle::Grouped) return {};
        return {"S", "M", "D"};
    }
    std::shared_ptr<TableViewCell> cellForRow(TableView& table, IndexPath path) override {
        bool grouped = table.style() == TableViewStyle::Grouped;
        auto cell =
            std::make_shared<TableViewCell>(grouped ? TableViewCellStyle::Value1 : TableViewCellStyle::Subtitle, "");
        static const char* names[3][4] = {{"Soup of the day", "Bruschetta", "Olives"},
                                          {"Steak frites", "Risotto", "Fish of the day", "Burger"},
                                          {"Tiramisu", "Sorbet", "Cheese board"}};
        cell->textLabel().setText(names[path.section][path.row]);
        if (auto* detail = cell->detailTextLabel()) detail->setText(grouped ? "12.50" : "With bread and butter");
        static const AccessoryType accessories[] = {AccessoryType::DisclosureIndicator, AccessoryType::Checkmark,
                                                    AccessoryType::DetailDisclosureButton, AccessoryType::None};
        cell->setAccessoryType(accessories[(path.section + path.row) % 4]);
        return cell;
    }
};

} // namespace

TEST(RenderGallery, EveryControlInANavigationControllerWithAToolbar) {
    Harness h(DeviceIdiom::Tablet);
    auto controls = std::make_shared<ControlsController>();
    auto first = std::make_shared<ViewController>();
    first->setTitle("Tables");
    auto nav = std::make_shared<NavigationController>(first);
    h.show(nav);
    nav->push(controls, false);
    nav->setToolbarHidden(false);
    h.runUntilIdle();
    h.type(controls->name(), "Table 12");

    auto picture = render::snapshot(h.window(), h.window().bounds().size);
    EXPECT_TRUE(matchesGolden(picture, "controls_pad"));
}

TEST(RenderGallery, GroupedAndPlainTablesInASplitView) {
    Harness h(DeviceIdiom::Tablet);
    auto master = std::make_shared<MenuTable>(TableViewStyle::Grouped);
    master->setTitle("Menu");
    auto detail = std::make_shared<MenuTable>(TableViewStyle::Plain);
    detail->setTitle("Items");
    auto detailNav = std::make_shared<NavigationController>(detail);
    auto split = std::make_shared<SplitViewController>();
    split->setViewControllers(std::make_shared<NavigationController>(master), detailNav);
    h.show(split);
    detail->navigationItem().setRightBarButtonItem(detail->editButtonItem());
    h.tapRow(master->tableView(), {1, 1});
    h.tap(SystemItem::Edit);
    detail->tableView().showDeleteConfirmation({1, 0});
    h.runUntilIdle();

    auto picture = render::snapshot(h.window(), h.window().bounds().size);
    EXPECT_TRUE(matchesGolden(picture, "tables_pad"));
}

// A form sheet over a screen on the pad, and a popover out of a bar item.
TEST(RenderGallery, AFormSheetOverAScreen) {
    Harness h(DeviceIdiom::Tablet);
    auto below = std::make_shared<MenuTable>(TableViewStyle::Plain);
    below->setTitle("Items");
    h.show(std::make_shared<NavigationController>(below));
    auto form = std::make_shared<ViewController>();
    form->setTitle("New table");
    form->navigationItem().setLeftBarButtonItem(BarButtonItem::system(SystemItem::Cancel));
    form->navigationItem().setRightBarButtonItem(BarButtonItem::system(SystemItem::Save));
    auto seats = std::make_shared<TextField>(Rect(20, 20, 300, 44));
    seats->setBorderStyle(BorderStyle::RoundedRect);
    seats->setPlaceholder("Seats");
    form->view()->addSubview(seats);
    auto sheet = std::make_shared<NavigationController>(form);
    sheet->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
    below->present(sheet, false);
    h.runUntilIdle();

    auto picture = render::snapshot(h.window(), h.window().bounds().size);
    EXPECT_TRUE(matchesGolden(picture, "form_sheet_pad"));
}

TEST(RenderGallery, APopoverOutOfABarItem) {
    Harness h(DeviceIdiom::Tablet);
    auto master = std::make_shared<MenuTable>(TableViewStyle::Plain);
    master->setTitle("Menu");
    auto detail = std::make_shared<ViewController>();
    detail->setTitle("Order");
    auto split = std::make_shared<SplitViewController>();
    split->setViewControllers(std::make_shared<NavigationController>(master),
                              std::make_shared<NavigationController>(detail));
    h.show(split);
    h.rotate(DeviceOrientation::Portrait);
    ASSERT_TRUE(split->isMasterHidden());
    auto item = BarButtonItem::titled("Menu", BarButtonStyle::Bordered, [&](BarButtonItem& tapped) {
        split->popover()->presentFromBarButtonItem(tapped, false);
    });
    detail->navigationItem().setLeftBarButtonItem(item);
    auto picture = render::snapshot(h.window(), h.window().bounds().size); // the bar is drawn: the arrow knows where
    h.tap(*item);
    ASSERT_TRUE(split->popover()->isPopoverVisible());

    picture = render::snapshot(h.window(), h.window().bounds().size);
    EXPECT_TRUE(matchesGolden(picture, "popover_pad"));
}

TEST(RenderGallery, AnAlertWithATextFieldOnThePhone) {
    Harness h(DeviceIdiom::Phone);
    auto screen = std::make_shared<ViewController>();
    screen->setTitle("Sign in");
    h.show(std::make_shared<NavigationController>(screen));
    auto alert = AlertView::make("Manager", "Enter the manager's code to void this order.", "Cancel", {"Void"});
    alert->setStyle(AlertViewStyle::SecureTextInput);
    alert->show();
    h.type(*alert->textField(0), "4321");

    auto picture = render::snapshot(h.window(), h.window().bounds().size);
    EXPECT_TRUE(matchesGolden(picture, "alert_field_phone"));
}
