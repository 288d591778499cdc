#include "screens/shell/TerminalReadyViewController.h"

#include "core/session/DBHelper.h"
#include "platform/foundation/Text.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/render/Theme.h"
#include "screens/shell/TavloMobileAppDelegate.h"

namespace tavlo::screens {

using namespace ui;
namespace theme = ui::render::theme;

namespace {

// A line of centred text across the view, kept at its distance from the middle as the view turns.
std::shared_ptr<Label> centredLine(View& root, double top, double height, const Font& font, const Color& colour) {
    const double margin = 20;
    auto label = std::make_shared<Label>(Rect(margin, top, root.bounds().size.width - 2 * margin, height));
    label->setFont(font);
    label->setTextColor(colour);
    label->setTextAlignment(TextAlignment::Center);
    label->setAdjustsFontSizeToFitWidth(true);
    label->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleTopMargin |
                               Autoresizing::FlexibleBottomMargin);
    root.addSubview(label);
    return label;
}

std::shared_ptr<View> buildReadyView(TerminalReadyViewController& owner) {
    Rect frame = Application::current() ? Application::current()->window().bounds() : Rect(0, 0, 320, 480);
    auto root = std::make_shared<View>(frame);
    root->setBackgroundColor(theme::paper());
    double middle = frame.size.height / 2;
    centredLine(*root, middle - 44, 40, Font::boldSystem(28), theme::teal())->setText(std::string(owner.readyText));
    owner.connect("storeName", centredLine(*root, middle + 4, 30, Font::system(20), theme::ink()));
    return root;
}

} // namespace

TerminalReadyViewController::TerminalReadyViewController() : ViewController(TavloMobileAppDelegate::loginInterface) {
    setTitle(std::string("Tavlo"));
}

TerminalReadyViewController::~TerminalReadyViewController() = default;

void TerminalReadyViewController::viewDidLoad() {
    TavloMobileAppDelegate* delegate = TavloMobileAppDelegate::current();
    std::shared_ptr<ObjectContext> context = delegate ? delegate->managedObjectContext() : DBHelper::mainContext();
    std::optional<std::string> name = DBHelper::getStoreValue("IPHONE_STORE_NAME", context.get());
    storeName()->setText(format("Store: %@", name.value_or(DBHelper::getStoreValue("IPHONE_STORE_ID", context.get())
                                                                .value_or("(none)"))));
    listener_ = std::make_unique<BroadcastListener>(context.get());
}

void registerTerminalReadyView() {
    InterfaceRegistry& registry = InterfaceRegistry::shared();
    registry.add<TerminalReadyViewController>(TavloMobileAppDelegate::loginInterface,
                                              std::function<std::shared_ptr<View>(TerminalReadyViewController&)>(
                                                  &buildReadyView));
    registry.addController(TavloMobileAppDelegate::loginInterface,
                           [] { return std::make_shared<TerminalReadyViewController>(); });
}

} // namespace tavlo::screens
