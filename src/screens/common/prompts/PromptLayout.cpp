#include "screens/common/prompts/PromptLayout.h"

#include "platform/ui/Application.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/render/Theme.h"

namespace tavlo::screens::prompt_layout {

using namespace ui;
namespace theme = ui::render::theme;

bool onPad() {
    Application* app = Application::current();
    return app && app->idiom() == DeviceIdiom::Tablet;
}

Size contentSize() {
    const double bar = NavigationController::navigationBarHeight;
    return onPad() ? Size{540, 620 - bar} : Size{320, 480 - bar};
}

double margin() { return onPad() ? 24 : 12; }

std::shared_ptr<View> makeRoot() {
    Size size = contentSize();
    auto root = std::make_shared<View>(Rect(0, 0, size.width, size.height));
    root->setBackgroundColor(theme::paper());
    root->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
    return root;
}

std::shared_ptr<View> addCard(View& parent, const Rect& frame) {
    auto card = add<View>(parent, frame);
    card->setBackgroundColor(Color::white());
    card->setCornerRadius(8);
    card->setShadow({{0, 1}, 4, 0.18});
    card->setAutoresizingMask(stretchesAcross);
    return card;
}

std::shared_ptr<Label> addCaption(View& parent, const Rect& frame, const std::string& text, const Font& font,
                                  const Color& colour) {
    auto label = add<Label>(parent, frame);
    label->setText(text);
    label->setFont(font);
    label->setTextColor(colour);
    label->setAutoresizingMask(stretchesAcross);
    return label;
}

std::shared_ptr<Button> addPrimaryButton(View& parent, const Rect& frame, const std::string& title,
                                         std::function<void()> action) {
    auto button = add<Button>(parent, ButtonType::Custom, frame);
    button->setTitle(title);
    button->setTitleColor(Color::white());
    button->setBackgroundColor(theme::orange());
    button->setCornerRadius(8);
    button->titleLabel().setFont(Font::boldSystem(onPad() ? 19 : 17));
    button->addTarget([action = std::move(action)](Control&) { action(); }, ControlEvent::TouchUpInside);
    return button;
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

} // namespace tavlo::screens::prompt_layout
