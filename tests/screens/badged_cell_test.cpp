// The badged cell: where the badge goes and how the labels keep clear of it, when it hides, its
// colours while the cell is lit, and its text cut out of the colour (what lies behind shows
// through the letters).
#include "platform/ui/render/CairoGraphicsContext.h"
#include "screens/common/BadgedCell.h"
#include "support/ui/Golden.h"
#include "support/ui/Harness.h"

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;

class BadgedCellTest : public ::testing::Test {
protected:
    BadgedCell& laidOut(std::optional<std::string> badge) {
        cell->setBadgeString(std::move(badge));
        cell->layoutIfNeeded();
        return *cell;
    }
    double textWidth(const std::string& text) { return BadgeView::font().measure(text).width; }

    ui::test::Harness h;
    std::shared_ptr<BadgedCell> cell = std::make_shared<BadgedCell>(TableViewCellStyle::Default, "Cell");
};

TEST_F(BadgedCellTest, WithoutATextThereIsNoBadgeAndTheLabelKeepsItsWidth) {
    BadgedCell& c = laidOut(std::nullopt);
    EXPECT_TRUE(c.badge().isHidden());
    const double full = c.textLabel().frame().width();
    laidOut(std::string("12"));
    EXPECT_FALSE(c.badge().isHidden());
    laidOut(std::nullopt);
    EXPECT_TRUE(c.badge().isHidden());
    EXPECT_EQ(c.textLabel().frame().width(), full);
}

TEST_F(BadgedCellTest, TheBadgeSitsAtTheRightAndALabelThatRunsUnderItEndsTenPointsBefore) {
    const double before = cell->textLabel().frame().width();
    BadgedCell& c = laidOut(std::string("150"));
    const double w = textWidth("150");
    const Rect content = c.contentView().bounds();
    EXPECT_EQ(c.badge().frame(), Rect(content.width() - (w + 25), 13, w + 13, 18));
    EXPECT_EQ(c.textLabel().frame().width(), before - (w + 13) - 10);
    EXPECT_EQ(c.badge().badgeString(), "150");
}

TEST_F(BadgedCellTest, AnEmptyTextStillShowsABadgeThirteenPointsWide) {
    BadgedCell& c = laidOut(std::string());
    EXPECT_FALSE(c.badge().isHidden());
    EXPECT_EQ(c.badge().frame().width(), 13);
}

TEST_F(BadgedCellTest, EditingHidesTheBadgeUntilItEnds) {
    laidOut(std::string("3"));
    cell->setEditing(true, false);
    cell->layoutIfNeeded();
    EXPECT_TRUE(cell->badge().isHidden());
    cell->setEditing(false, false);
    cell->layoutIfNeeded();
    EXPECT_FALSE(cell->badge().isHidden());
}

TEST_F(BadgedCellTest, ALitCellLightsItsBadgeUnlessItHasNoSelectionStyle) {
    cell->setBadgeColor(Color::green());
    cell->setShadowShown(true);
    laidOut(std::string("3"));
    EXPECT_EQ(cell->badge().currentColor(), Color::green());
    cell->setHighlighted(true, false);
    EXPECT_EQ(cell->badge().currentColor(), Color::white());
    EXPECT_GT(cell->badge().shadow().opacity, 0);
    EXPECT_GT(cell->textLabel().shadow().opacity, 0);
    cell->setHighlighted(false, false);
    EXPECT_EQ(cell->badge().shadow().opacity, 0);
    EXPECT_GT(cell->textLabel().shadow().opacity, 0); // the labels keep theirs

    cell->setSelectionStyle(SelectionStyle::None);
    cell->setSelected(true, false);
    EXPECT_EQ(cell->badge().currentColor(), Color::green());
    EXPECT_EQ(cell->badge().shadow().opacity, 0);
}

TEST_F(BadgedCellTest, TheTextIsCutOutOfTheBadge) {
    BadgeView badge(Rect(0, 0, 40, 18));
    badge.setBadgeString(std::string("88"));
    badge.setBadgeColor(Color(1, 0, 0, 1));
    render::CairoGraphicsContext context(Size(40, 18), 8);
    badge.draw(context, badge.bounds());
    render::Bitmap picture = context.bitmap();
    ui::test::writeTestPicture(picture, "badge_88_zoomed");
    // The corner stays clear, the edge is red, and inside the letters nothing is drawn.
    int red = 0, clear = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const Color c = picture.colorAt(x, y);
            if (c.a() > 0.8 && c.r() > 0.8 && c.g() < 0.2) ++red;
            if (c.a() < 0.1 && x > 8 * 8 && x < 8 * 20 && y > 8 * 4 && y < 8 * 14) ++clear;
        }
    EXPECT_GT(red, picture.width() * picture.height() / 2);
    EXPECT_GT(clear, 200) << "no letter was cut out";
    EXPECT_LT(picture.colorAt(0, 0).a(), 0.1);
}

} // namespace
} // namespace tavlo::screens
