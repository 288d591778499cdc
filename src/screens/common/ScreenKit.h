#pragma once

#include "platform/ui/Button.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace tavlo::screens::kit {

// The look the screens built on paper share: the shell's own screens (the store set-up and the
// sign-in: a column centred on warm paper, headed by the product's name with a line under it) and
// the prompts (the room a pad's form sheet or a phone's screen has below the navigation bar). Both
// hold white cards with captions and an orange button for the one thing to press. Beside them, the
// plain labels of cells and bars.

template <typename V, typename... A> std::shared_ptr<V> add(ui::View& parent, A&&... args) {
    auto view = std::make_shared<V>(std::forward<A>(args)...);
    parent.addSubview(view);
    return view;
}

// Kept at its distance from the middle as the screen turns.
inline constexpr uint32_t kCentred = ui::Autoresizing::FlexibleLeftMargin | ui::Autoresizing::FlexibleRightMargin;
// Kept at its distance from the left, top and right edges as the parent's width changes.
inline constexpr uint32_t kStretchesAcross = ui::Autoresizing::FlexibleWidth | ui::Autoresizing::FlexibleBottomMargin;

bool onPad();
// The prompt's room below the navigation bar: 540 by 576 in a pad's form sheet, 320 by 436 on a
// phone.
ui::Size promptSize();
// Space around and between a prompt's pieces.
double promptMargin();

// The screen's view: paper, following the size of what holds it.
std::shared_ptr<ui::View> paperRoot(ui::Size size);
// A prompt's paper, as large as its room.
std::shared_ptr<ui::View> promptRoot();

// The column's heading: the product's name ("tavlo"), which calls `tapped`, and the subtitle under
// it, both as wide as the column.
struct Heading {
    double x, width, top;
    double nameSize, nameHeight;
    double subtitleSize, subtitleHeight;
};
std::shared_ptr<ui::Button> addHeading(ui::View& root, const Heading& heading, const std::string& subtitle,
                                       std::function<void()> tapped);

// How a white card with rounded corners and a soft shadow looks and follows its parent.
struct CardLook {
    double cornerRadius;
    ui::Shadow shadow;
    uint32_t resizing;
};
// The shell's column card and a prompt's card (as wide as its parent, less the margins).
inline const CardLook kColumnCard{.cornerRadius = 12, .shadow = {{0, 2}, 8, 0.18}, .resizing = kCentred};
inline const CardLook kPromptCard{.cornerRadius = 8, .shadow = {{0, 1}, 4, 0.18}, .resizing = kStretchesAcross};
std::shared_ptr<ui::View> addCard(ui::View& parent, const ui::Rect& frame, const CardLook& look);

// A caption over a field of a card.
std::shared_ptr<ui::Label> addCaption(ui::View& parent, const ui::Rect& frame, const std::string& text,
                                      const ui::Font& font, const ui::Color& colour,
                                      uint32_t resizing = ui::Autoresizing::None);

// The orange button of a card: white bold title.
std::shared_ptr<ui::Button> addMainButton(ui::View& parent, const ui::Rect& frame, const std::string& title,
                                          double fontSize, std::function<void()> tapped);
// A prompt's orange button, its title sized for the device.
std::shared_ptr<ui::Button> addPrimaryButton(ui::View& parent, const ui::Rect& frame, const std::string& title,
                                             std::function<void()> action);
// A prompt's quieter button: outlined, teal title.
std::shared_ptr<ui::Button> addSecondaryButton(ui::View& parent, const ui::Rect& frame, const std::string& title,
                                               std::function<void()> action);

// A text on a dark bar (the signed-in user's name, a status line): centred, white, shrinking to
// fit its width.
std::shared_ptr<ui::Label> barLabel(double width, std::optional<std::string> text);

// How a plain label of a cell or a row looks: on no background, in the font given; what is not
// given stays the label's own.
struct LabelLook {
    ui::Font font = {};
    std::optional<ui::Color> colour = std::nullopt;
    std::optional<ui::TextAlignment> alignment = std::nullopt;
    // Found again by it in the cell (viewWithTag); 0: none.
    int tag = 0;
    uint32_t resizing = ui::Autoresizing::None;
    bool shrinksToFit = false;
};
std::shared_ptr<ui::Label> plainLabel(const ui::Rect& frame, const LabelLook& look);
// The label added to `parent`.
std::shared_ptr<ui::Label> addPlainLabel(ui::View& parent, const ui::Rect& frame, const LabelLook& look);

} // namespace tavlo::screens::kit
