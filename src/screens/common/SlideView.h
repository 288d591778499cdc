#pragma once

#include "platform/ui/Button.h"
#include "platform/ui/ScrollView.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::screens {

// A grid of buttons that scrolls sideways: the menu bar of the menu screens, the item grid of the
// button menu and the seat and course grids. A screenful holds `rows` x `columns` buttons; the
// next screenful starts to its right, `maxWidth` points further. With one row every button goes
// into that row.
class SlideView : public ui::View, public ui::ScrollViewDelegate {
public:
    // A rounded button with the title, the tag and the action for a touch that ends inside it;
    // its title shrinks to fit. With an icon text that icon() knows, the image is the button's
    // background, the title sits at the bottom in light grey and the button is 64 x 64 points;
    // otherwise it has the given size.
    static std::shared_ptr<ui::Button> button(const std::string& title, int tag, const std::optional<std::string>& icon,
                                              int width, int height, ui::Control::Action action);
    // The image for a menu name, by keyword (upper case, localised): the first keyword in the
    // table that the name starts with ("SIDE" also as an ending); none when no keyword matches.
    static std::optional<std::string> icon(const std::string& text);

    // Places the buttons in order; `rows` below 1 counts as 1. The scroll content is
    // `scrollPadding` + the laid-out width wide and as high as the frame.
    SlideView(ui::Rect frame, const ui::Color& backgroundColor, const std::vector<std::shared_ptr<ui::Button>>& buttons,
              int rows, int columns, int xMargin, int yMargin, int scrollPadding = 0);
    // Columns enough for the buttons in that many rows (rounded up).
    static std::shared_ptr<SlideView> make(ui::Rect frame, const ui::Color& backgroundColor,
                                           const std::vector<std::shared_ptr<ui::Button>>& buttons, int rows,
                                           int xMargin, int yMargin, int scrollPadding = 0);

    // Places one more button after the last.
    void addButton(const std::shared_ptr<ui::Button>& button);
    // The first button, in adding order, with that title; null when none.
    ui::Button* getButton(const std::string& title) const;

    const std::vector<std::shared_ptr<ui::Button>>& buttons() const { return buttons_; }
    ui::ScrollView& scroll() { return *scroll_; }
    int rows() const { return rows_; }
    int columns() const { return columns_; }
    // The widest row of the first screenful: the distance between screenfuls.
    int maxWidth() const { return maxWidth_; }
    // The width of the content laid out so far.
    int width() const { return width_; }

    void scrollViewDidScroll(ui::ScrollView&) override {}

private:
    std::vector<std::shared_ptr<ui::Button>> buttons_;
    std::shared_ptr<ui::ScrollView> scroll_;
    int rows_ = 1, columns_ = 0;
    int xMargin_ = 0, yMargin_ = 0;
    double x_ = 0, y_ = 0;
    int currentRow_ = 0, currentColumn_ = 0, screen_ = 0;
    int maxWidth_ = 0, width_ = 0;
};

} // namespace tavlo::screens
