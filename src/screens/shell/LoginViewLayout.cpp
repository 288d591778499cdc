// The interface "LoginView": a column centred on the screen with the product's name, a white card
// holding the number field and Login, and the clock buttons below it.
#include "screens/shell/LoginViewController.h"

#include "platform/foundation/LocalizedStrings.h"
#include "platform/ui/Application.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/render/Theme.h"

namespace tavlo::screens {

using namespace ui;
namespace theme = ui::render::theme;

namespace {

// Sizes for the pad in landscape and the phone in portrait, below the navigation bar.
struct Metrics {
    Size screen;
    double top;  // of the product's name
    double nameSize, nameHeight;
    double subtitleSize, subtitleHeight;
    double cardTop, cardWidth, padding;
    double captionSize, captionHeight, fieldHeight, fieldFont, gap;
    double loginHeight, loginSize;
    double clockHeight, clockSize;
};

Metrics metricsFor(DeviceIdiom idiom) {
    if (idiom == DeviceIdiom::Tablet)
        return {{1024, 724}, 70, 48, 60, 18, 26, 190, 420, 32, 15, 20, 52, 26, 20, 56, 20, 48, 17};
    return {{320, 436}, 18, 34, 44, 14, 20, 92, 300, 16, 13, 18, 44, 22, 12, 46, 18, 42, 16};
}

template <typename V, typename... A> std::shared_ptr<V> add(View& parent, A&&... args) {
    auto view = std::make_shared<V>(std::forward<A>(args)...);
    parent.addSubview(view);
    return view;
}

std::shared_ptr<Button> clockButton(View& root, const Rect& frame, const std::string& title, const Metrics& m) {
    auto button = add<Button>(root, ButtonType::Custom, frame);
    button->setTitle(title);
    button->setTitleColor(theme::teal());
    button->setBackgroundColor(theme::tealTint());
    button->setCornerRadius(8);
    button->titleLabel().setFont(Font::boldSystem(m.clockSize));
    button->setAutoresizingMask(Autoresizing::FlexibleLeftMargin | Autoresizing::FlexibleRightMargin);
    return button;
}

std::shared_ptr<View> build(LoginViewController& owner) {
    Application* app = Application::current();
    const Metrics m = metricsFor(app ? app->idiom() : DeviceIdiom::Phone);
    const uint32_t centred = Autoresizing::FlexibleLeftMargin | Autoresizing::FlexibleRightMargin;
    const double columnX = (m.screen.width - m.cardWidth) / 2;

    auto root = std::make_shared<View>(Rect(0, 0, m.screen.width, m.screen.height));
    root->setBackgroundColor(theme::paper());
    root->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);

    // The product's name opens the maker's page.
    auto name = add<Button>(*root, ButtonType::Custom, Rect(columnX, m.top, m.cardWidth, m.nameHeight));
    name->setTitle("tavlo");
    name->setTitleColor(theme::teal());
    name->titleLabel().setFont(Font::boldSystem(m.nameSize));
    name->setAutoresizingMask(centred);
    name->addTarget([&owner](Control&) { owner.tavlo(); }, ControlEvent::TouchUpInside);

    auto subtitle = add<Label>(*root, Rect(columnX, m.top + m.nameHeight, m.cardWidth, m.subtitleHeight));
    subtitle->setText(localized("Enter your employee number or swipe your card"));
    subtitle->setFont(Font::system(m.subtitleSize));
    subtitle->setTextColor(theme::mutedInk());
    subtitle->setTextAlignment(TextAlignment::Center);
    subtitle->setAdjustsFontSizeToFitWidth(true);
    subtitle->setAutoresizingMask(centred);

    // The card: the number under its caption, and Login.
    const double inner = m.cardWidth - 2 * m.padding;
    const double fieldTop = m.padding + m.captionHeight + 4;
    const double loginTop = fieldTop + m.fieldHeight + m.gap;
    auto card = add<View>(*root, Rect(columnX, m.cardTop, m.cardWidth, loginTop + m.loginHeight + m.padding));
    card->setBackgroundColor(Color::white());
    card->setCornerRadius(12);
    card->setShadow({{0, 2}, 8, 0.18});
    card->setAutoresizingMask(centred);

    auto caption = add<Label>(*card, Rect(m.padding, m.padding, inner, m.captionHeight));
    caption->setText(localized("Employee number"));
    caption->setFont(Font::boldSystem(m.captionSize));
    caption->setTextColor(theme::ink());

    auto number = add<TextField>(*card, Rect(m.padding, fieldTop, inner, m.fieldHeight));
    number->setBorderStyle(BorderStyle::RoundedRect);
    number->setPlaceholder(localized("Number"));
    number->setFont(Font::system(m.fieldFont));
    number->setTextColor(theme::ink());
    number->setTextAlignment(TextAlignment::Center);
    number->setKeyboardType(KeyboardType::NumberPad);

    auto login = add<Button>(*card, ButtonType::Custom, Rect(m.padding, loginTop, inner, m.loginHeight));
    login->setTitle(localized("Login"));
    login->setBackgroundColor(theme::orange());
    login->setCornerRadius(8);
    login->titleLabel().setFont(Font::boldSystem(m.loginSize));
    login->addTarget([&owner](Control&) { owner.done(); }, ControlEvent::TouchUpInside);

    // The time clock, shown when the store keeps attendance.
    const Rect cardFrame = card->frame();
    const double clockTop = cardFrame.maxY() + 2 * m.gap;
    const double clockWidth = (m.cardWidth - m.gap) / 2;
    auto clockIn = clockButton(*root, Rect(columnX, clockTop, clockWidth, m.clockHeight), localized("Clock In"), m);
    clockIn->addTarget([&owner](Control&) { owner.clockIn(); }, ControlEvent::TouchUpInside);
    auto clockOut = clockButton(*root, Rect(columnX + clockWidth + m.gap, clockTop, clockWidth, m.clockHeight),
                                localized("Clock Out"), m);
    clockOut->addTarget([&owner](Control&) { owner.clockOut(); }, ControlEvent::TouchUpInside);

    owner.connect("iconImage", name);
    owner.connect("textNumber", number);
    owner.connect("btnLogin", login);
    owner.connect("btnClockIn", clockIn);
    owner.connect("btnClockOut", clockOut);
    return root;
}

} // namespace

void registerLoginView() {
    InterfaceRegistry& registry = InterfaceRegistry::shared();
    registry.add<LoginViewController>(LoginViewController::kInterfaceName,
                                      std::function<std::shared_ptr<View>(LoginViewController&)>(build));
    registry.addController(LoginViewController::kInterfaceName, [] { return std::make_shared<LoginViewController>(); });
}

} // namespace tavlo::screens
