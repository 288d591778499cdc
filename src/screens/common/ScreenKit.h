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

namespace tavlo::screens::shell {

// The look the shell's own screens share (the store set-up and the sign-in): a column centred on
// warm paper, headed by the product's name (a button) with a line under it, holding white cards
// with an orange button for the one thing to press.

template <typename V, typename... A> std::shared_ptr<V> add(ui::View& parent, A&&... args) {
    auto view = std::make_shared<V>(std::forward<A>(args)...);
    parent.addSubview(view);
    return view;
}

// Kept at its distance from the middle as the screen turns.
inline constexpr uint32_t centred = ui::Autoresizing::FlexibleLeftMargin | ui::Autoresizing::FlexibleRightMargin;

// The screen's view: paper, following the size of what holds it.
std::shared_ptr<ui::View> paperRoot(ui::Size screen);

// The column's heading: the product's name ("tavlo"), which calls `tapped`, and the subtitle under
// it, both as wide as the column.
struct Heading {
    double x, width, top;
    double nameSize, nameHeight;
    double subtitleSize, subtitleHeight;
};
std::shared_ptr<ui::Button> addHeading(ui::View& root, const Heading& heading, const std::string& subtitle,
                                       std::function<void()> tapped);

// A white card with rounded corners and a soft shadow.
std::shared_ptr<ui::View> addCard(ui::View& root, const ui::Rect& frame);

// A caption in bold ink over a field of the card.
std::shared_ptr<ui::Label> addCaption(ui::View& card, const ui::Rect& frame, const std::string& text, double fontSize);

// A text on a dark bar (the signed-in user's name, a status line): centred, white, shrinking to
// fit its width.
std::shared_ptr<ui::Label> barLabel(double width, std::optional<std::string> text);

// The orange button of the card.
std::shared_ptr<ui::Button> addMainButton(ui::View& card, const ui::Rect& frame, const std::string& title,
                                          double fontSize, std::function<void()> tapped);

} // namespace tavlo::screens::shell
