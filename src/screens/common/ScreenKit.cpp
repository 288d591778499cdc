#include "screens/common/ScreenKit.h"

#include "platform/ui/render/Theme.h"

namespace tavlo::screens::shell {

using namespace ui;
namespace theme = ui::render::theme;

std::shared_ptr<View> paperRoot(Size screen) {
    auto root = std::make_shared<View>(Rect(0, 0, screen.width, screen.height));
    root->setBackgroundColor(theme::paper());
    root->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
    return root;
}

std::shared_ptr<Button> addHeading(View& root, const Heading& h, const std::string& subtitleText,
                                   std::function<void()> tapped) {
    auto name = add<Button>(root, ButtonType::Custom, Rect(h.x, h.top, h.width, h.nameHeight));
    name->setTitle("tavlo");
    name->setTitleColor(theme::teal());
    name->titleLabel().setFont(Font::boldSystem(h.nameSize));
    name->setAutoresizingMask(centred);
    name->addTarget([tapped = std::move(tapped)](Control&) { tapped(); }, ControlEvent::TouchUpInside);

    auto subtitle = add<Label>(root, Rect(h.x, h.top + h.nameHeight, h.width, h.subtitleHeight));
    subtitle->setText(subtitleText);
    subtitle->setFont(Font::system(h.subtitleSize));
    subtitle->setTextColor(theme::mutedInk());
    subtitle->setTextAlignment(TextAlignment::Center);
    subtitle->setAdjustsFontSizeToFitWidth(true);
    subtitle->setAutoresizingMask(centred);
    return name;
}

std::shared_ptr<View> addCard(View& root, const Rect& frame) {
    auto card = add<View>(root, frame);
    card->setBackgroundColor(Color::white());
    card->setCornerRadius(12);
    card->setShadow({{0, 2}, 8, 0.18});
    card->setAutoresizingMask(centred);
    return card;
}

std::shared_ptr<Label> addCaption(View& card, const Rect& frame, const std::string& text, double fontSize) {
    auto label = add<Label>(card, frame);
    label->setText(text);
    label->setFont(Font::boldSystem(fontSize));
    label->setTextColor(theme::ink());
    return label;
}

std::shared_ptr<Label> barLabel(double width, std::optional<std::string> text) {
    auto label = std::make_shared<Label>(Rect(0, 0, width, 30));
    label->setText(std::move(text));
    label->setTextAlignment(TextAlignment::Center);
    label->setFont(Font::system(16));
    label->setTextColor(Color::white());
    label->setBackgroundColor(Color::clear());
    label->setAdjustsFontSizeToFitWidth(true);
    return label;
}

std::shared_ptr<Button> addMainButton(View& card, const Rect& frame, const std::string& title, double fontSize,
                                      std::function<void()> tapped) {
    auto button = add<Button>(card, ButtonType::Custom, frame);
    button->setTitle(title);
    button->setBackgroundColor(theme::orange());
    button->setCornerRadius(8);
    button->titleLabel().setFont(Font::boldSystem(fontSize));
    button->addTarget([tapped = std::move(tapped)](Control&) { tapped(); }, ControlEvent::TouchUpInside);
    return button;
}

} // namespace tavlo::screens::shell
