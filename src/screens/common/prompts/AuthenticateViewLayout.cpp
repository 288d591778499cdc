// The interface "AuthenticateView": the staff number in a white card with Done, the remote
// authorisation button beside it, and a line saying a card may be swiped instead; above where the
// phone's keyboard comes up.
#include "platform/foundation/LocalizedStrings.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/render/Theme.h"
#include "screens/common/ScreenKit.h"
#include "screens/common/prompts/AuthenticateViewController.h"
#include "screens/common/prompts/PromptScreens.h"

namespace tavlo::screens {

using namespace ui;
using namespace kit;
namespace theme = ui::render::theme;

namespace {

std::shared_ptr<View> build(AuthenticateViewController& owner) {
    const bool pad = onPad();
    const Size size = promptSize();
    const double m = promptMargin(), width = pad ? 380 : size.width - 2 * m, left = (size.width - width) / 2;
    const double padding = pad ? 20 : 12, inner = width - 2 * padding;
    const double captionHeight = 22, fieldHeight = pad ? 52 : 46, buttonHeight = pad ? 46 : 40, gap = pad ? 14 : 10;
    auto root = promptRoot();

    const double cardHeight = padding + captionHeight + 4 + fieldHeight + gap + buttonHeight + padding;
    auto card = addCard(*root, {left, pad ? 56 : m, width, cardHeight}, kPromptCard);
    if (pad) card->setAutoresizingMask(Autoresizing::FlexibleLeftMargin | Autoresizing::FlexibleRightMargin);
    addCaption(*card, {padding, padding, inner, captionHeight}, localized("Staff number"),
               Font::boldSystem(pad ? 17 : 15), theme::ink(), kStretchesAcross);

    auto number = add<TextField>(*card, Rect(padding, padding + captionHeight + 4, inner, fieldHeight));
    number->setBorderStyle(BorderStyle::RoundedRect);
    number->setFont(Font::system(pad ? 26 : 24));
    number->setTextColor(theme::ink());
    number->setKeyboardType(KeyboardType::NumberPad);
    number->setSecureTextEntry(true);
    number->setAutoresizingMask(kStretchesAcross);

    const double buttonsTop = number->frame().maxY() + gap, half = (inner - gap) / 2;
    addSecondaryButton(*card, {padding, buttonsTop, half, buttonHeight}, localized("Remote Auth"),
                       [&owner] { owner.remoteAuth(); });
    addPrimaryButton(*card, {padding + half + gap, buttonsTop, half, buttonHeight}, localized("Done"),
                     [&owner] { owner.done(); });

    auto hint =
        addCaption(*root, {left, card->frame().maxY() + gap, width, 20}, localized("or swipe the employee's card"),
                   Font::system(pad ? 16 : 14), theme::mutedInk(), kStretchesAcross);
    hint->setTextAlignment(TextAlignment::Center);
    if (pad) hint->setAutoresizingMask(Autoresizing::FlexibleLeftMargin | Autoresizing::FlexibleRightMargin);

    owner.connect("textNumber", number);
    return root;
}

} // namespace

void registerAuthenticateView() {
    InterfaceRegistry::shared().add<AuthenticateViewController>(
        AuthenticateViewController::kInterfaceName,
        std::function<std::shared_ptr<View>(AuthenticateViewController&)>(build));
}

} // namespace tavlo::screens
