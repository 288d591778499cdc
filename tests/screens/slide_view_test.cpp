// The button grid: which image a menu name gets, where each button goes in one row and in
// screenfuls of several rows, and the buttons it makes.
#include "screens/common/SlideView.h"
#include "support/ui/Harness.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace tavlo::screens {
namespace {

using namespace ui;

TEST(SlideViewIcon, TheFirstKeywordInTableOrderThatStartsTheNameWins) {
    struct Case {
        const char* name;
        std::optional<std::string> image;
    };
    for (const Case& c : std::vector<Case>{{"Appetizers", "fries.png"},
                                           {"Desserts", "cake.png"},
                                           {"Beverages", "soft-drink.png"},
                                           {"Steak and Wine", "beef.png"}, // only beginnings count
                                           {"wine list", "wine.png"},      // any case
                                           {"Food", "food.png"},
                                           {"Sides", "fries.png"},
                                           {"Garden SIDE", "fries.png"}, // SIDE also as an ending
                                           {"Garden Sides", std::nullopt},
                                           {"Happy Hour", "happy.png"},
                                           {"Ladies Night", "happy.png"},
                                           {"Veggie", "carrot.png"},
                                           {"Receipts", "receipt64.png"},
                                           {"Add Item", "add64.png"},
                                           {"Brunch", std::nullopt},
                                           {"", std::nullopt}}) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SlideView::icon(c.name), c.image);
    }
}

std::vector<std::shared_ptr<Button>> buttons(int count, int width, int height) {
    std::vector<std::shared_ptr<Button>> made;
    for (int i = 0; i < count; ++i)
        made.push_back(SlideView::button("B" + std::to_string(i), i, std::nullopt, width, height, [](Control&) {}));
    return made;
}

std::vector<Point> origins(const SlideView& grid) {
    std::vector<Point> at;
    for (const auto& b : grid.buttons()) at.push_back(b->frame().origin);
    return at;
}

TEST(SlideViewLayout, OneRowTakesEveryButtonSideBySide) {
    SlideView grid(Rect(0, 0, 200, 60), Color::white(), buttons(4, 50, 40), 1, 4, 10, 5);
    EXPECT_EQ(origins(grid), (std::vector<Point>{{10, 0}, {70, 0}, {130, 0}, {190, 0}}));
    // The content reaches a button's room past the next place: 240 + 50 + 2 x 10.
    EXPECT_EQ(grid.width(), 310);
    EXPECT_EQ(grid.scroll().contentSize(), Size(310, 60));
}

TEST(SlideViewLayout, SeveralRowsFillAScreenfulThenTheNextStartsToItsRight) {
    // Two rows of two: a screenful holds four; the fifth and sixth start the second, maxWidth on.
    SlideView grid(Rect(0, 0, 200, 100), Color::white(), buttons(6, 40, 30), 2, 2, 10, 5, 7);
    EXPECT_EQ(origins(grid), (std::vector<Point>{{10, 0}, {60, 0}, {10, 35}, {60, 35}, {110, 0}, {160, 0}}));
    EXPECT_EQ(grid.maxWidth(), 100);
    // The last row is not full, yet the content reaches its button; the padding comes on top.
    EXPECT_GE(grid.width(), 210);
    EXPECT_EQ(grid.scroll().contentSize().width, 7 + grid.width());
}

TEST(SlideViewLayout, ColumnsFollowFromTheRowsAndARowCountBelowOneIsOne) {
    auto three = SlideView::make(Rect(0, 0, 300, 120), Color::white(), buttons(7, 40, 30), 3, 8, 8);
    EXPECT_EQ(three->columns(), 3);
    EXPECT_EQ(three->rows(), 3);
    auto none = SlideView::make(Rect(0, 0, 300, 40), Color::white(), buttons(3, 40, 30), 0, 8, 8);
    EXPECT_EQ(none->rows(), 1);
    EXPECT_EQ(origins(*none), (std::vector<Point>{{8, 0}, {56, 0}, {104, 0}}));
}

TEST(SlideViewButton, TitleTagActionAndTheIconVariant) {
    int pressed = -1;
    auto plain = SlideView::button("Seat 3", 3, std::nullopt, 52, 45, [&](Control& b) { pressed = b.tag(); });
    EXPECT_EQ(plain->frame().size, Size(52, 45));
    EXPECT_EQ(plain->title(), "Seat 3");
    EXPECT_TRUE(plain->titleLabel().adjustsFontSizeToFitWidth());
    EXPECT_FALSE(plain->backgroundImage(ControlState::Normal));
    plain->sendActions(ControlEvent::TouchUpInside);
    EXPECT_EQ(pressed, 3);

    auto pictured = SlideView::button("Desserts", 9, std::string("Desserts"), 120, 45, [](Control&) {});
    EXPECT_EQ(pictured->frame().size, Size(64, 64));
    ASSERT_TRUE(pictured->backgroundImage(ControlState::Normal));
    EXPECT_EQ(pictured->backgroundImage(ControlState::Normal)->name(), "cake.png");
    EXPECT_EQ(pictured->contentVerticalAlignment(), ContentVerticalAlignment::Bottom);
    // An icon text no keyword matches keeps the given size and no image.
    auto unmatched = SlideView::button("Brunch", 1, std::string("Brunch"), 120, 45, [](Control&) {});
    EXPECT_EQ(unmatched->frame().size, Size(120, 45));

    SlideView grid(Rect(0, 0, 300, 60), Color::white(), {plain, pictured}, 1, 2, 8, 8);
    EXPECT_EQ(grid.getButton("Desserts"), pictured.get());
    EXPECT_EQ(grid.getButton("Nothing"), nullptr);
}

} // namespace
} // namespace tavlo::screens
