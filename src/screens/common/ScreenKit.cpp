#include "screens/common/ScreenKit.h"

#include "platform/ui/Application.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/render/Theme.h"

namespace tavlo::screens::kit {

using namespace ui;
namespace theme = ui::render::theme;

bool onPad() {
    Application* app = Application::current();
    return app && app->idiom() == DeviceIdiom::Tablet;
}

Size promptSize() {
    const double bar = NavigationController::kNavigationBarHeight;
    return onPad() ? Size{540, 620 - bar} : Size{320, 480 - bar};
}

double promptMargin() { return onPad() ? 24 : 12; }

std::shared_ptr<View> paperRoot(Size size) {
    auto root = std::make_shared<View>(Rect(0, 0, size.width, size.height));
    root->setBackgroundColor(theme::paper());
    root->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
    return root;
}

std::shared_ptr<View> promptRoot() { return paperRoot(promptSize()); }

std::shared_ptr<Button> addHeading(View& root, const Heading& h, const std::string& subtitleText,
                                   std::function<void()> tapped) {
    auto name = add<Button>(root, ButtonType::Custom, Rect(h.x, h.top, h.width, h.nameHeight));
    name->setTitle("tavlo");
    name->setTitleColor(theme::teal());
    name->titleLabel().setFont(Font::boldSystem(h.nameSize));
    name->setAutoresizingMask(kCentred);
    name->addTarget([tapped = std::move(tapped)](Control&) { tapped(); }, ControlEvent::TouchUpInside);

    auto subtitle = add<Label>(root, Rect(h.x, h.top + h.nameHeight, h.width, h.subtitleHeight));
    subtitle->setText(subtitleText);
    subtitle->setFont(Font::system(h.subtitleSize));
    subtitle->setTextColor(theme::mutedInk());
    subtitle->setTextAlignment(TextAlignment::Center);
    subtitle->setAdjustsFontSizeToFitWidth(true);
    subtitle->setAutoresizingMask(kCentred);
    return name;
}

std::shared_ptr<View> addCard(View& parent, const Rect& frame, const CardLook& look) {
    auto card = add<View>(parent, frame);
    card->setBackgroundColor(Color::white());
    card->setCornerRadius(look.cornerRadius);
    card->setShadow(look.shadow);
    card->setAutoresizingMask(look.resizing);
    return card;
}

std::shared_ptr<Label> addCaption(View& parent, const Rect& frame, const std::string& text, const Font& font,
                                  const Color& colour, uint32_t resizing) {
    auto label = add<Label>(parent, frame);
    label->setText(text);
    label->setFont(font);
    label->setTextColor(colour);
    label->setAutoresizingMask(resizing);
    return label;
}

std::shared_ptr<Button> addMainButton(View& parent, const Rect& frame, const std::string& title, double fontSize,
                                      std::function<void()> tapped) {
    auto button = add<Button>(parent, ButtonType::Custom, frame);
    button->setTitle(title);
    button->setTitleColor(Color::white());
    button->setBackgroundColor(theme::orange());
    button->setCornerRadius(8);
    button->titleLabel().setFont(Font::boldSystem(fontSize));
    button->addTarget([tapped = std::move(tapped)](Control&) { tapped(); }, ControlEvent::TouchUpInside);
    return button;
}

std::shared_ptr<Button> addPrimaryButton(View& parent, const Rect& frame, const std::string& title,
                                         std::function<void()> action) {
    return addMainButton(parent, frame, title, onPad() ? 19 : 17, std::move(action));
}

std::shared_ptr<Button> addSecondaryButton(View& parent, const Rect& frame, const std::string& title,
                                           std::function<void()> action) {
    auto button = add<Button>(parent, ButtonType::RoundedRect, frame);
    button->setTitle(title);
    button->setCornerRadius(8);
    button->titleLabel().setFont(Font::boldSystem(onPad() ? 17 : 15));
    button->addTarget([action = std::move(action)](Control&) { action(); }, ControlEvent::TouchUpInside);
    return button;
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

std::shared_ptr<Label> plainLabel(const Rect& frame, const LabelLook& look) {
    auto label = std::make_shared<Label>(frame);
    label->setFont(look.font);
    if (look.colour) label->setTextColor(*look.colour);
    if (look.alignment) label->setTextAlignment(*look.alignment);
    label->setTag(look.tag);
    label->setAutoresizingMask(look.resizing);
    if (look.shrinksToFit) label->setAdjustsFontSizeToFitWidth(true);
    label->setBackgroundColor(Color::clear());
    return label;
}

std::shared_ptr<Label> addPlainLabel(View& parent, const Rect& frame, const LabelLook& look) {
    auto label = plainLabel(frame, look);
    parent.addSubview(label);
    return label;
}

} // namespace tavlo::screens::kit
