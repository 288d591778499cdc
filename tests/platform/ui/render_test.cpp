// The renderer's parts: pictures and PNG files, text measured as drawn, images from the
// resources, views that draw themselves, and the places a tap reaches on a drawn screen.
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/RecordingGraphicsContext.h"
#include "platform/ui/TableViewController.h"
#include "platform/ui/render/CairoGraphicsContext.h"
#include "platform/ui/render/FingerprintContext.h"
#include "platform/ui/render/ImageLibrary.h"
#include "platform/ui/render/Renderer.h"
#include "platform/ui/render/Snapshot.h"
#include "platform/ui/render/Typesetter.h"
#include "support/TempHome.h"
#include "support/ui/Golden.h"
#include "support/ui/GuestListScreen.h"
#include "support/ui/Harness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

using namespace tavlo::ui;
using namespace tavlo::ui::test;
using render::Bitmap;

namespace {

// Colours read back from a picture are within one step of 255 of what was drawn.
void expectColor(const Color& got, const Color& want, const std::string& where) {
    EXPECT_NEAR(got.r(), want.r(), 0.02) << where;
    EXPECT_NEAR(got.g(), want.g(), 0.02) << where;
    EXPECT_NEAR(got.b(), want.b(), 0.02) << where;
    EXPECT_NEAR(got.a(), want.a(), 0.02) << where;
}

// A view that draws a red disc on its own.
class Disc : public View {
public:
    using View::View;
    void draw(GraphicsContext& context, const Rect& bounds) override {
        context.setFillColor(Color::red());
        context.fillEllipse(bounds);
    }
};

const render::HitRegion* regionNamed(const render::Renderer& renderer, const std::string& name) {
    for (const auto& region : renderer.hitRegions())
        if (region.name == name) return &region;
    return nullptr;
}

} // namespace

TEST(Render, APictureSurvivesAPngFile) {
    tavlo::test::TempHome home;
    Bitmap picture(3, 2);
    picture.rgba() = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 10, 20, 30, 255, 255, 255, 255, 255, 0, 0, 0, 0};
    std::string path = (home.path() / "pictures" / "three.png").string();
    ASSERT_TRUE(picture.writePng(path));

    auto back = Bitmap::readPng(path);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, picture);
    expectColor(back->colorAt(1, 0), Color::green(), "a pixel");
    EXPECT_EQ(back->colorAt(5, 5), Color::clear()) << "outside the picture";

    tavlo::Error error;
    std::vector<uint8_t> notPng{'n', 'o', 't'};
    EXPECT_FALSE(Bitmap::fromPng(notPng, &error));
    EXPECT_NE(error.localizedDescription().find("Not a PNG"), std::string::npos);
}

TEST(Render, TextIsMeasuredAsItIsDrawn) {
    render::Typesetter& typesetter = render::Typesetter::shared();
    ASSERT_TRUE(typesetter.hasFixedFonts()) << "scripts/setup installs fonts-dejavu-core and fonts-dejavu-extra";
    Font font = Font::system(17);
    // The layer's own measure is pango's once the typesetter exists: proportional, not fixed.
    EXPECT_GT(font.measure("WWWW").width, 2 * font.measure("iiii").width);
    EXPECT_EQ(font.measure("Table 12"), typesetter.measure("Table 12", font));
    render::CairoGraphicsContext context(Size{100, 100});
    EXPECT_EQ(context.measureText("Table 12", font), font.measure("Table 12"));
    EXPECT_GT(Font::boldSystem(17).measure("Table 12").width, font.measure("Table 12").width);

    std::string note = "The sauce on the side, please, and the bread warm";
    Size oneLine = typesetter.measure(note, font);
    Size wrapped = typesetter.measure(note, font, 150, {0, LineBreakMode::WordWrap});
    Size twoLines = typesetter.measure(note, font, 150, {2, LineBreakMode::TruncateTail});
    EXPECT_LE(wrapped.width, 150);
    EXPECT_GT(wrapped.height, 2.5 * oneLine.height) << "wrapped over several lines";
    EXPECT_NEAR(twoLines.height, 2 * oneLine.height, 1) << "cut to two lines";

    EXPECT_EQ(render::Typesetter::familyFor(Font::named("Courier-Bold", 12)), "DejaVu Sans Mono");
    EXPECT_EQ(render::Typesetter::familyFor(Font::named("Georgia", 12)), "DejaVu Serif");
    EXPECT_EQ(render::Typesetter::familyFor(Font::named("Helvetica-Bold", 12)), "DejaVu Sans");
}

TEST(Render, ALabelTooWideForItsWidthShrinksItsFontAndNoFurtherThanItsLimit) {
    Harness h(DeviceIdiom::Phone);
    auto root = std::make_shared<View>(Rect(0, 0, 320, 480));
    auto fits = std::make_shared<Label>(Rect(0, 0, 300, 30));
    fits->setText("Total");
    auto shrinks = std::make_shared<Label>(Rect(0, 40, 100, 30));
    shrinks->setText("Grace Hopper");
    auto limited = std::make_shared<Label>(Rect(0, 80, 20, 30));
    limited->setText("A name far too long for the box");
    for (auto& l : {fits, shrinks, limited}) {
        l->setAdjustsFontSizeToFitWidth(true);
        l->setMinimumScaleFactor(0.5);
        root->addSubview(l);
    }
    RecordingGraphicsContext context(Size{320, 480});
    render::Renderer renderer(context);
    auto controller = std::make_shared<ViewController>();
    controller->setView(root);
    renderer.drawController(*controller);

    auto texts = context.drawing().ofKind(DrawCommand::Kind::Text);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0]->font.pointSize(), 17);
    EXPECT_LT(texts[1]->font.pointSize(), 17);
    EXPECT_GE(texts[1]->font.pointSize(), 8.5);
    EXPECT_LE(Font::system(texts[1]->font.pointSize()).measure(*shrinks->text()).width, 100);
    EXPECT_EQ(texts[2]->font.pointSize(), 8.5) << "no smaller than half";
}

TEST(Render, AMissingImageIsAPlaceholderReportedOnceAndAResourceImageIsDrawn) {
    tavlo::test::TempHome home;
    Bitmap blue(8, 8);
    for (size_t i = 0; i < blue.rgba().size(); i += 4) blue.rgba()[i + 2] = blue.rgba()[i + 3] = 255;
    ASSERT_TRUE(blue.writePng((home.path() / "images" / "blueBtn.png").string()));
    auto& library = render::ImageLibrary::shared();
    auto previous = library.searchPath();
    library.setSearchPath({(home.path() / "images").string()});

    render::CairoGraphicsContext context(Size{40, 20});
    testing::internal::CaptureStderr();
    context.drawImage(Image::named("blueBtn.png"), {0, 0, 20, 20});
    context.drawImage(Image::named("gone.png"), {20, 0, 20, 20});
    context.drawImage(Image::named("gone.png"), {20, 0, 20, 20});
    std::string log = testing::internal::GetCapturedStderr();
    library.setSearchPath(previous);

    Bitmap picture = context.bitmap();
    expectColor(picture.colorAt(10, 10), Color::blue(), "the image, scaled up");
    expectColor(picture.colorAt(24, 10), Color::withWhite(0.88), "the placeholder");
    EXPECT_EQ(log, "render: no image \"gone.png\" in the resources; drawn as a placeholder\n");
}

TEST(Render, HiddenViewsAreNotDrawnAlphaFadesAndViewsDrawThemselves) {
    Harness h(DeviceIdiom::Phone);
    auto root = std::make_shared<View>(Rect(0, 0, 100, 100));
    root->setBackgroundColor(Color::white());
    auto hidden = std::make_shared<View>(Rect(0, 0, 50, 50));
    hidden->setBackgroundColor(Color::black());
    hidden->setHidden(true);
    auto faded = std::make_shared<View>(Rect(50, 0, 50, 50));
    faded->setBackgroundColor(Color::red());
    faded->setAlpha(0.5);
    auto disc = std::make_shared<Disc>(Rect(0, 50, 50, 50));
    for (auto& v : std::vector<std::shared_ptr<View>>{hidden, faded, disc}) root->addSubview(v);
    auto controller = std::make_shared<ViewController>();
    controller->setView(root);

    Bitmap picture = render::snapshot(*controller, {100, 100});
    expectColor(picture.colorAt(25, 25), Color::white(), "under the hidden view");
    expectColor(picture.colorAt(75, 25), Color(1, 0.5, 0.5), "half of red over white");
    expectColor(picture.colorAt(25, 75), Color::red(), "the disc's middle");
    expectColor(picture.colorAt(2, 52), Color::white(), "outside the disc");
    EXPECT_GE(disc->displayCount(), 1);
}

// A background that opaque subviews paint over whole is not filled; one that shows anywhere (a
// gap, a see-through or rounded subview, a pixel only partly covered) is, so pictures stay the same.
TEST(Render, ABackgroundHiddenByOpaqueSubviewsIsNotFilled) {
    struct Case {
        const char* name;
        std::function<void(View& top, View& bottom)> change;
        bool rootFilled;
    };
    const std::vector<Case> cases{
        {"two halves cover it", [](View&, View&) {}, false},
        {"one overlaps the other",
         [](View& top, View&) {
             top.setFrame({0, 0, 100, 60});
         },
         false},
        {"a gap of one point",
         [](View&, View& v) {
             v.setFrame({0, 51, 100, 49});
         },
         true},
        {"both edges across a pixel",
         [](View& top, View& bottom) {
             top.setFrame({0, 0, 100, 49.5});
             bottom.setFrame({0, 49.5, 100, 50.5});
         },
         true},
        {"a half-transparent half", [](View&, View& v) { v.setAlpha(0.5); }, true},
        {"a see-through colour", [](View&, View& v) { v.setBackgroundColor(Color(0, 0, 1, 0.5)); }, true},
        {"rounded corners", [](View&, View& v) { v.setCornerRadius(4); }, true},
        {"a hidden half", [](View&, View& v) { v.setHidden(true); }, true},
    };
    for (const Case& c : cases) {
        auto root = std::make_shared<View>(Rect(0, 0, 100, 100));
        root->setBackgroundColor(Color::white());
        auto top = std::make_shared<View>(Rect(0, 0, 100, 50));
        top->setBackgroundColor(Color::red());
        auto bottom = std::make_shared<View>(Rect(0, 50, 100, 50));
        bottom->setBackgroundColor(Color::blue());
        root->addSubview(top);
        root->addSubview(bottom);
        c.change(*top, *bottom);
        auto controller = std::make_shared<ViewController>();
        controller->setView(root);

        RecordingGraphicsContext recorder(Size{100, 100});
        render::Renderer(recorder).drawController(*controller);
        int whiteFills = 0;
        for (const DrawCommand* fill : recorder.drawing().ofKind(DrawCommand::Kind::Fill))
            if (fill->state.fillColor == Color::white()) ++whiteFills;
        EXPECT_EQ(whiteFills, c.rootFilled ? 1 : 0) << c.name;
    }
}

// A label drawn frame after frame is laid out once, and again when its text or width changes.
TEST(Render, ALabelKeepsItsLayoutUntilItsTextOrWidthChanges) {
    auto root = std::make_shared<View>(Rect(0, 0, 200, 40));
    auto label = std::make_shared<Label>(Rect(0, 0, 200, 40));
    label->setText("Laid out once \u00e9");
    root->addSubview(label);
    auto controller = std::make_shared<ViewController>();
    controller->setView(root);
    render::CairoGraphicsContext context(Size{200, 40});
    render::Typesetter& typesetter = render::Typesetter::shared();
    auto layoutsFor = [&] {
        size_t before = typesetter.drawnLayoutsMade();
        render::Renderer(context).drawController(*controller);
        return typesetter.drawnLayoutsMade() - before;
    };
    EXPECT_EQ(layoutsFor(), 1u);
    EXPECT_EQ(layoutsFor(), 0u) << "drawn again unchanged";
    label->setText("Laid out twice \u00e9");
    EXPECT_EQ(layoutsFor(), 1u) << "new text";
    label->setFrame({0, 0, 150, 40});
    label->setNumberOfLines(0);
    EXPECT_EQ(layoutsFor(), 1u) << "wrapped to a new width";
    EXPECT_EQ(layoutsFor(), 0u);
}

TEST(Render, AnOffscreenDrawingIsDrawnAgainOnCairo) {
    render::CairoGraphicsContext context(Size{40, 40});
    RecordingGraphicsContext recorder;
    auto offscreen = recorder.makeOffscreen(Size{10, 10});
    offscreen->setFillColor(Color::green());
    offscreen->fillRect({0, 0, 5, 10});
    Image half = offscreen->snapshot();
    context.drawImage(half, {0, 0, 40, 40});

    Bitmap picture = context.bitmap();
    expectColor(picture.colorAt(10, 20), Color::green(), "the left half, scaled");
    EXPECT_EQ(picture.colorAt(30, 20).a(), 0) << "the right half was not drawn";
}

TEST(Render, TheFingerprintChangesWithWhatIsShownAndOnlyThen) {
    Harness h(DeviceIdiom::Tablet);
    registerGuestListView();
    h.show(std::make_shared<NavigationController>(std::make_shared<GuestListViewController>()));
    uint64_t first = render::fingerprintScreen(h.app()).value;
    EXPECT_EQ(render::fingerprintScreen(h.app()).value, first) << "the same screen, looked at again";

    h.type(h.outlet<TextField>("name"), "A");
    uint64_t typed = render::fingerprintScreen(h.app()).value;
    EXPECT_NE(typed, first);
    h.outlet<Label>("total").setTextColor(Color::red());
    EXPECT_NE(render::fingerprintScreen(h.app()).value, typed);
}

TEST(Render, TheContentOfANavigationControllerStandsBetweenItsBars) {
    Harness h(DeviceIdiom::Tablet);
    auto screen = std::make_shared<ViewController>();
    auto nav = std::make_shared<NavigationController>(screen);
    h.show(nav);
    EXPECT_EQ(screen->view()->frame(), (Rect{0, 44, 1024, 724}));
    nav->setToolbarHidden(false);
    EXPECT_EQ(screen->view()->frame(), (Rect{0, 44, 1024, 680}));
    nav->setNavigationBarHidden(true);
    EXPECT_EQ(screen->view()->frame(), (Rect{0, 0, 1024, 724}));
}

TEST(Render, WhatIsDrawnWithoutAViewOfItsOwnCanBeTapped) {
    Harness h(DeviceIdiom::Tablet);
    auto first = std::make_shared<ViewController>();
    first->setTitle("Orders");
    auto second = std::make_shared<ViewController>();
    int saved = 0;
    second->navigationItem().setRightBarButtonItem(
        BarButtonItem::system(SystemItem::Save, [&](BarButtonItem&) { ++saved; }));
    auto nav = std::make_shared<NavigationController>(first);
    h.show(nav);
    nav->push(second, false);
    h.runUntilIdle();

    RecordingGraphicsContext context(Size{1024, 768});
    render::Renderer renderer(context);
    renderer.drawScreen(h.app());
    const render::HitRegion* save = regionNamed(renderer, "Save");
    ASSERT_TRUE(save);
    EXPECT_GT(save->rect.minX(), 900) << "at the right of the bar";
    EXPECT_LE(save->rect.maxY(), 44);
    save->action();
    EXPECT_EQ(saved, 1);
    const render::HitRegion* back = regionNamed(renderer, "Orders");
    ASSERT_TRUE(back) << "the back button carries the title below";
    back->action();
    EXPECT_EQ(nav->topViewController(), first.get());

    auto alert = AlertView::make("Void", "Void the order?", "No", {"Yes"});
    int answer = -1;
    alert->setClickHandler([&](AlertView&, int index) { answer = index; });
    alert->show();
    renderer.drawScreen(h.app());
    ASSERT_TRUE(regionNamed(renderer, "Yes"));
    EXPECT_TRUE(renderer.hitRegions().back().name == "Yes" || renderer.hitRegions().back().name == "No");
    regionNamed(renderer, "Yes")->action();
    EXPECT_EQ(answer, 1);
    EXPECT_FALSE(h.hasAlert());
}

TEST(Render, ATableRowsDeleteButtonDeletesTheRow) {
    class Rows : public TableViewController {
    public:
        std::vector<std::string> rows{"Ada", "Grace", "Linus"};
        int numberOfRows(TableView&, int) override { return static_cast<int>(rows.size()); }
        std::shared_ptr<TableViewCell> cellForRow(TableView&, IndexPath path) override {
            auto cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, "");
            cell->textLabel().setText(rows[path.row]);
            return cell;
        }
        void commitEditing(TableView& table, EditingStyle, IndexPath path) override {
            rows.erase(rows.begin() + path.row);
            table.reloadData();
        }
    };
    Harness h(DeviceIdiom::Phone);
    auto screen = std::make_shared<Rows>();
    h.show(screen);
    TableView& table = screen->tableView();
    ASSERT_TRUE(table.showDeleteConfirmation({0, 1}));
    EXPECT_TRUE(table.cellForRow({0, 1})->cellState() & CellState::ShowingDeleteConfirmation);

    RecordingGraphicsContext context(Size{320, 480});
    render::Renderer renderer(context);
    renderer.drawScreen(h.app());
    const render::HitRegion* button = regionNamed(renderer, "Delete");
    ASSERT_TRUE(button);
    EXPECT_GT(button->rect.minY(), 44) << "on the second row";
    EXPECT_LT(button->rect.maxY(), 88 + 4);
    button->action();
    EXPECT_EQ(screen->rows, (std::vector<std::string>{"Ada", "Linus"}));
    EXPECT_FALSE(table.deleteConfirmationRow());
    EXPECT_FALSE(table.confirmDelete({0, 1})) << "nothing to confirm any more";
}

TEST(Render, AFailedGoldenComparisonWritesThePictureAndSaysWhere) {
    // This test compares on purpose with pictures that differ: it never writes golden files.
    const char* update = std::getenv("TAVLO_UPDATE_GOLDEN");
    std::string previous = update ? update : "";
    ::unsetenv("TAVLO_UPDATE_GOLDEN");
    struct Restore {
        std::string value;
        ~Restore() {
            if (!value.empty()) ::setenv("TAVLO_UPDATE_GOLDEN", value.c_str(), 1);
        }
    } restore{previous};
    Bitmap picture(2, 2);
    auto result = matchesGolden(picture, "no_such_golden_picture");
    ASSERT_FALSE(result);
    std::string message = result.message();
    std::string written = std::string(TAVLO_TEST_OUTPUT_DIR) + "/golden/no_such_golden_picture.png";
    EXPECT_NE(message.find(written), std::string::npos) << message;
    EXPECT_TRUE(std::filesystem::exists(written));

    // One pixel off by more than the tolerance, against a golden picture of the same size.
    Bitmap golden = *Bitmap::readPng(std::string(TAVLO_FIXTURES_DIR) + "/golden/guest_list_phone.png");
    Bitmap changed = golden;
    changed.rgba()[0] = static_cast<uint8_t>(changed.rgba()[0] ^ 0xFF);
    EXPECT_TRUE(matchesGolden(changed, "guest_list_phone")) << "one pixel is within the share allowed";
    for (size_t i = 0; i < changed.rgba().size() / 50; i += 4)
        changed.rgba()[i] = static_cast<uint8_t>(changed.rgba()[i] ^ 0xFF);
    auto differs = matchesGolden(changed, "guest_list_phone");
    ASSERT_FALSE(differs);
    EXPECT_NE(std::string(differs.message()).find("guest_list_phone-diff.png"), std::string::npos) << differs.message();
}
