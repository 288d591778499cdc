// The interface "AmountView": the amount in a large one-line field across the top, Save below it
// on the right, all above where the phone's keyboard comes up.
#include "platform/foundation/LocalizedStrings.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/render/Theme.h"
#include "screens/common/ScreenKit.h"
#include "screens/common/prompts/AmountViewController.h"
#include "screens/common/prompts/PromptScreens.h"

namespace tavlo::screens {

using namespace ui;
using namespace kit;
namespace theme = ui::render::theme;

namespace {

std::shared_ptr<View> build(AmountViewController& owner) {
    const bool pad = onPad();
    const double m = promptMargin(), width = promptSize().width - 2 * m;
    const double fieldHeight = pad ? 60 : 52, buttonWidth = pad ? 140 : 100, buttonHeight = pad ? 44 : 36;
    auto root = promptRoot();

    auto field = add<TextField>(*root, Rect(m, m, width, fieldHeight));
    field->setBorderStyle(BorderStyle::RoundedRect);
    field->setFont(Font::boldSystem(pad ? 30 : 26));
    field->setTextColor(theme::ink());
    field->setTextAlignment(TextAlignment::Right);
    field->setKeyboardType(KeyboardType::NumberPad);
    field->setAutoresizingMask(kStretchesAcross);

    auto save =
        addPrimaryButton(*root, {m + width - buttonWidth, m + fieldHeight + (pad ? 16 : 8), buttonWidth, buttonHeight},
                         localized("Save"), [&owner] { owner.saveAmount(); });
    save->setAutoresizingMask(Autoresizing::FlexibleLeftMargin | Autoresizing::FlexibleBottomMargin);

    owner.connect("amountView", field);
    return root;
}

} // namespace

void registerAmountView() {
    InterfaceRegistry::shared().add<AmountViewController>(
        AmountViewController::kInterfaceName, std::function<std::shared_ptr<View>(AmountViewController&)>(build));
}

} // namespace tavlo::screens
