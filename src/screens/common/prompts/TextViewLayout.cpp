// The interface "TextView": the text in a white card at the top, and below it the limit on the
// left and Save on the right, all above where the phone's keyboard comes up.
#include "platform/foundation/LocalizedStrings.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/render/Theme.h"
#include "screens/common/ScreenKit.h"
#include "screens/common/prompts/PromptScreens.h"
#include "screens/common/prompts/TextViewController.h"

namespace tavlo::screens {

using namespace ui;
using namespace kit;
namespace theme = ui::render::theme;

namespace {

std::shared_ptr<View> build(TextViewController& owner) {
    const bool pad = onPad();
    const double m = promptMargin(), width = promptSize().width - 2 * m;
    const double cardHeight = pad ? 320 : 110, buttonWidth = pad ? 140 : 100, buttonHeight = pad ? 44 : 36;
    auto root = promptRoot();

    auto card = addCard(*root, {m, m, width, cardHeight}, kPromptCard);
    auto text = add<TextView>(*card, Rect(2, 2, width - 4, cardHeight - 4));
    text->setBackgroundColor(Color::white());
    text->setFont(Font::system(pad ? 19 : 17));
    text->setTextColor(theme::ink());
    text->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);

    const double rowTop = m + cardHeight + (pad ? 16 : 8);
    auto limit = addCaption(*root, {m, rowTop, width - buttonWidth - m, buttonHeight}, "", Font::system(pad ? 16 : 14),
                            theme::mutedInk(), kStretchesAcross);
    limit->setHidden(true);
    auto save = addPrimaryButton(*root, {m + width - buttonWidth, rowTop, buttonWidth, buttonHeight}, localized("Save"),
                                 [&owner] { owner.saveText(); });
    save->setAutoresizingMask(Autoresizing::FlexibleLeftMargin | Autoresizing::FlexibleBottomMargin);

    owner.connect("textView", text);
    owner.connect("maxLabel", limit);
    owner.connect("btnDone", save);
    return root;
}

} // namespace

void registerTextView() {
    InterfaceRegistry::shared().add<TextViewController>(
        TextViewController::kInterfaceName, std::function<std::shared_ptr<View>(TextViewController&)>(build));
}

} // namespace tavlo::screens
