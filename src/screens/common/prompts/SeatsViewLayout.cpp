// The interface "SeatsView": a caption and the wheel of guest counts in the middle of the screen.
#include "platform/foundation/LocalizedStrings.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/render/Theme.h"
#include "screens/common/ScreenKit.h"
#include "screens/common/prompts/PromptScreens.h"
#include "screens/common/prompts/SeatsViewController.h"

namespace tavlo::screens {

using namespace ui;
using namespace kit;
namespace theme = ui::render::theme;

namespace {

std::shared_ptr<View> build(SeatsViewController& owner) {
    const bool pad = onPad();
    const Size size = promptSize();
    const double width = pad ? 320 : size.width - 2 * promptMargin(), left = (size.width - width) / 2;
    const double captionTop = pad ? 64 : 24, captionHeight = 28, wheelHeight = 216;
    const uint32_t centred =
        Autoresizing::FlexibleLeftMargin | Autoresizing::FlexibleRightMargin | Autoresizing::FlexibleBottomMargin;
    auto root = promptRoot();

    auto caption = addCaption(*root, {left, captionTop, width, captionHeight}, localized("Number of guests"),
                              Font::boldSystem(pad ? 20 : 18), theme::ink(), kStretchesAcross);
    caption->setTextAlignment(TextAlignment::Center);
    caption->setAutoresizingMask(centred);

    auto wheel = add<PickerView>(*root, Rect(left, captionTop + captionHeight + 12, width, wheelHeight));
    wheel->setShowsSelectionIndicator(true);
    wheel->setAutoresizingMask(centred);

    owner.connect("pickerView", wheel);
    return root;
}

} // namespace

void registerSeatsView() {
    InterfaceRegistry::shared().add<SeatsViewController>(
        SeatsViewController::kInterfaceName, std::function<std::shared_ptr<View>(SeatsViewController&)>(build));
}

} // namespace tavlo::screens
