#pragma once

// The pieces the prompt screens' interfaces are built from: the room a prompt has (a pad's form
// sheet or a phone's screen, below the navigation bar), the paper it lies on, white cards, captions
// and the one orange button to press.
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace tavlo::screens::prompt_layout {

bool onPad();
// The room below the navigation bar: 540 by 576 in a pad's form sheet, 320 by 436 on a phone.
ui::Size contentSize();
// Space around and between the pieces.
double margin();

template <typename V, typename... A> std::shared_ptr<V> add(ui::View& parent, A&&... args) {
    auto view = std::make_shared<V>(std::forward<A>(args)...);
    parent.addSubview(view);
    return view;
}

// The content's paper, following the size it is given.
std::shared_ptr<ui::View> makeRoot();
// A white card with rounded corners and a soft shadow, as wide as its parent (less the margins).
std::shared_ptr<ui::View> addCard(ui::View& parent, const ui::Rect& frame);
std::shared_ptr<ui::Label> addCaption(ui::View& parent, const ui::Rect& frame, const std::string& text,
                                      const ui::Font& font, const ui::Color& colour);
// The button that answers: orange, white bold title.
std::shared_ptr<ui::Button> addPrimaryButton(ui::View& parent, const ui::Rect& frame, const std::string& title,
                                             std::function<void()> action);
// A quieter button: outlined, teal title.
std::shared_ptr<ui::Button> addSecondaryButton(ui::View& parent, const ui::Rect& frame, const std::string& title,
                                               std::function<void()> action);

// Keeps the view at its distance from the left, top and right edges as the parent's width changes.
constexpr uint32_t stretchesAcross = ui::Autoresizing::FlexibleWidth | ui::Autoresizing::FlexibleBottomMargin;

} // namespace tavlo::screens::prompt_layout
