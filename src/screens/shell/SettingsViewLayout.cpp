// The interface "SettingsView": a column centred on the screen with the product's name, the
// three fields under their captions in a white card, Save, and the network line below.
#include "screens/shell/SettingsViewController.h"

#include "platform/foundation/LocalizedStrings.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/render/Theme.h"
#include "screens/common/ScreenKit.h"

namespace tavlo::screens {

using namespace ui;
namespace theme = ui::render::theme;

namespace {

// Sizes for the pad in landscape and the phone in portrait.
struct Metrics {
    Size screen;
    double top; // of the product's name
    double nameSize, nameHeight;
    double subtitleSize, subtitleHeight;
    double cardTop, cardWidth, padding;
    double captionSize, captionHeight, fieldHeight, rowGap;
    double testWidth, gap;
    double saveHeight, saveSize;
    double infoSize;
};

const Metrics kPadMetrics{
    .screen = {1024, 768},
    .top = 96,
    .nameSize = 48,
    .nameHeight = 60,
    .subtitleSize = 18,
    .subtitleHeight = 26,
    .cardTop = 220,
    .cardWidth = 480,
    .padding = 32,
    .captionSize = 15,
    .captionHeight = 20,
    .fieldHeight = 44,
    .rowGap = 20,
    .testWidth = 96,
    .gap = 12,
    .saveHeight = 52,
    .saveSize = 19,
    .infoSize = 15,
};
const Metrics kPhoneMetrics{
    .screen = {320, 480},
    .top = 24,
    .nameSize = 34,
    .nameHeight = 44,
    .subtitleSize = 14,
    .subtitleHeight = 20,
    .cardTop = 98,
    .cardWidth = 300,
    .padding = 16,
    .captionSize = 13,
    .captionHeight = 18,
    .fieldHeight = 36,
    .rowGap = 12,
    .testWidth = 70,
    .gap = 8,
    .saveHeight = 44,
    .saveSize = 17,
    .infoSize = 12,
};

const Metrics& metricsFor(DeviceIdiom idiom) { return idiom == DeviceIdiom::Tablet ? kPadMetrics : kPhoneMetrics; }

std::shared_ptr<TextField> field(View& card, const Rect& frame, const std::string& placeholder) {
    auto field = kit::add<TextField>(card, frame);
    field->setBorderStyle(BorderStyle::RoundedRect);
    field->setPlaceholder(placeholder);
    field->setFont(Font::system(17));
    field->setTextColor(theme::ink());
    return field;
}

std::shared_ptr<View> build(SettingsViewController& owner) {
    Application* app = Application::current();
    const Metrics m = metricsFor(app ? app->idiom() : DeviceIdiom::Phone);
    const double columnX = (m.screen.width - m.cardWidth) / 2;

    auto root = kit::paperRoot(m.screen);
    // The product's name opens the maker's contact page.
    kit::addHeading(*root, {columnX, m.cardWidth, m.top, m.nameSize, m.nameHeight, m.subtitleSize, m.subtitleHeight},
                    localized("Set up this terminal for its store"), [&owner] { owner.tavlo(); });

    // The card: three captioned fields (the gateway with its test button) and Save.
    const double inner = m.cardWidth - 2 * m.padding;
    const double rowHeight = m.captionHeight + 4 + m.fieldHeight + m.rowGap;
    const double saveTop = m.padding + 3 * rowHeight + 4;
    auto card = kit::addCard(*root, Rect(columnX, m.cardTop, m.cardWidth, saveTop + m.saveHeight + m.padding),
                             kit::kColumnCard);

    auto row = [&](int index) { return m.padding + index * rowHeight; };
    auto fieldFrame = [&](int index, double width) {
        return Rect(m.padding, row(index) + m.captionHeight + 4, width, m.fieldHeight);
    };
    auto caption = [&](int index, const std::string& text) {
        kit::addCaption(*card, {m.padding, row(index), inner, m.captionHeight}, text, Font::boldSystem(m.captionSize),
                        theme::ink());
    };
    caption(0, localized("Store id"));
    auto storeId = field(*card, fieldFrame(0, inner), localized("Store id"));
    storeId->setKeyboardType(KeyboardType::NumbersAndPunctuation);
    caption(1, localized("Password"));
    auto password = field(*card, fieldFrame(1, inner), localized("Password"));
    password->setSecureTextEntry(true);
    caption(2, localized("Gateway"));
    auto gateway = field(*card, fieldFrame(2, inner - m.testWidth - m.gap), localized("Name or address"));
    gateway->setKeyboardType(KeyboardType::URL);

    auto test =
        kit::add<Button>(*card, ButtonType::RoundedRect,
                         Rect(m.padding + inner - m.testWidth, fieldFrame(2, 0).minY(), m.testWidth, m.fieldHeight));
    test->setTitle(localized("Test"));
    test->setCornerRadius(6);
    test->titleLabel().setFont(Font::boldSystem(m.captionSize + 2));
    test->addTarget([&owner](Control&) { owner.testGateway(); }, ControlEvent::TouchUpInside);

    kit::addMainButton(*card, Rect(m.padding, saveTop, inner, m.saveHeight), localized("Save"), m.saveSize,
                       [&owner] { owner.saveSettings(); });

    const Rect cardFrame = card->frame();
    auto info = kit::add<Label>(*root, Rect(columnX, cardFrame.maxY() + m.rowGap, m.cardWidth, m.infoSize + 8));
    info->setFont(Font::system(m.infoSize));
    info->setTextColor(theme::mutedInk());
    info->setTextAlignment(TextAlignment::Center);
    info->setAutoresizingMask(kit::kCentred);

    owner.connect("textStoreId", storeId);
    owner.connect("textStorePassword", password);
    owner.connect("textStoreGateway", gateway);
    owner.connect("lblNetInfo", info);
    return root;
}

} // namespace

void registerSettingsView() {
    InterfaceRegistry::shared().add<SettingsViewController>(
        SettingsViewController::kInterfaceName, std::function<std::shared_ptr<View>(SettingsViewController&)>(build));
}

} // namespace tavlo::screens
