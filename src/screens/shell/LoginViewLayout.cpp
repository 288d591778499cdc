// The interface "LoginView": a column centred on the screen with the product's name, a white card
// holding the number field and Login, and the clock buttons below it.
#include "screens/shell/LoginViewController.h"

#include "platform/foundation/LocalizedStrings.h"
#include "platform/ui/Application.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/render/Theme.h"
#include "screens/common/ScreenKit.h"

namespace tavlo::screens {

using namespace ui;
namespace theme = ui::render::theme;

namespace {

// Sizes for the pad in landscape and the phone in portrait, below the navigation bar.
struct Metrics {
    Size screen;
    double top; // of the product's name
    double nameSize, nameHeight;
    double subtitleSize, subtitleHeight;
    double cardTop, cardWidth, padding;
    double captionSize, captionHeight, fieldHeight, fieldFont, gap;
    double loginHeight, loginSize;
    double clockHeight, clockSize;
};

const Metrics kPadMetrics{
    .screen = {1024, 724},
    .top = 70,
    .nameSize = 48,
    .nameHeight = 60,
    .subtitleSize = 18,
    .subtitleHeight = 26,
    .cardTop = 190,
    .cardWidth = 420,
    .padding = 32,
    .captionSize = 15,
    .captionHeight = 20,
    .fieldHeight = 52,
    .fieldFont = 26,
    .gap = 20,
    .loginHeight = 56,
    .loginSize = 20,
    .clockHeight = 48,
    .clockSize = 17,
};
const Metrics kPhoneMetrics{
    .screen = {320, 436},
    .top = 18,
    .nameSize = 34,
    .nameHeight = 44,
    .subtitleSize = 14,
    .subtitleHeight = 20,
    .cardTop = 92,
    .cardWidth = 300,
    .padding = 16,
    .captionSize = 13,
    .captionHeight = 18,
    .fieldHeight = 44,
    .fieldFont = 22,
    .gap = 12,
    .loginHeight = 46,
    .loginSize = 18,
    .clockHeight = 42,
    .clockSize = 16,
};

const Metrics& metricsFor(DeviceIdiom idiom) { return idiom == DeviceIdiom::Tablet ? kPadMetrics : kPhoneMetrics; }

std::shared_ptr<Button> clockButton(View& root, const Rect& frame, const std::string& title, const Metrics& m) {
    auto button = kit::add<Button>(root, ButtonType::Custom, frame);
    button->setTitle(title);
    button->setTitleColor(theme::teal());
    button->setBackgroundColor(theme::tealTint());
    button->setCornerRadius(8);
    button->titleLabel().setFont(Font::boldSystem(m.clockSize));
    button->setAutoresizingMask(kit::kCentred);
    return button;
}

std::shared_ptr<View> build(LoginViewController& owner) {
    Application* app = Application::current();
    const Metrics m = metricsFor(app ? app->idiom() : DeviceIdiom::Phone);
    const double columnX = (m.screen.width - m.cardWidth) / 2;

    auto root = kit::paperRoot(m.screen);
    // The product's name opens the maker's page.
    auto name = kit::addHeading(
        *root, {columnX, m.cardWidth, m.top, m.nameSize, m.nameHeight, m.subtitleSize, m.subtitleHeight},
        localized("Enter your employee number or swipe your card"), [&owner] { owner.tavlo(); });

    // The card: the number under its caption, and Login.
    const double inner = m.cardWidth - 2 * m.padding;
    const double fieldTop = m.padding + m.captionHeight + 4;
    const double loginTop = fieldTop + m.fieldHeight + m.gap;
    auto card = kit::addCard(*root, Rect(columnX, m.cardTop, m.cardWidth, loginTop + m.loginHeight + m.padding),
                             kit::kColumnCard);
    kit::addCaption(*card, Rect(m.padding, m.padding, inner, m.captionHeight), localized("Employee number"),
                    Font::boldSystem(m.captionSize), theme::ink());

    auto number = kit::add<TextField>(*card, Rect(m.padding, fieldTop, inner, m.fieldHeight));
    number->setBorderStyle(BorderStyle::RoundedRect);
    number->setPlaceholder(localized("Number"));
    number->setFont(Font::system(m.fieldFont));
    number->setTextColor(theme::ink());
    number->setTextAlignment(TextAlignment::Center);
    number->setKeyboardType(KeyboardType::NumberPad);

    auto login = kit::addMainButton(*card, Rect(m.padding, loginTop, inner, m.loginHeight), localized("Login"),
                                    m.loginSize, [&owner] { owner.done(); });

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
