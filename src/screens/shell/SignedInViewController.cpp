#include "screens/shell/SignedInViewController.h"

#include "core/session/Session.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/ui/Button.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/render/Theme.h"
#include "screens/shell/LoginViewController.h"
#include "screens/shell/RootViewController.h"

namespace tavlo::screens {

using namespace ui;
namespace theme = ui::render::theme;

SignedInViewController::SignedInViewController(const std::string& interfaceName) : SignedInController(interfaceName) {
    setTitle(localized(interfaceName == kAdminInterface ? "Administration" : "Orders"));
    navigationItem().setHidesBackButton(true);
}

void SignedInViewController::loadView() {
    Rect frame = screenFrame();
    auto root = std::make_shared<View>(frame);
    root->setBackgroundColor(theme::paper());
    root->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
    // Across the view with a margin, as narrow as the pad's master pane or as wide as the phone.
    const double x = 20, width = frame.size.width - 2 * x;
    const uint32_t centred = Autoresizing::FlexibleWidth;

    auto line = [&](double top, double height, const Font& font, const Color& colour, const std::string& outlet) {
        auto label = std::make_shared<Label>(Rect(x, top, width, height));
        label->setFont(font);
        label->setTextColor(colour);
        label->setTextAlignment(TextAlignment::Center);
        label->setAdjustsFontSizeToFitWidth(true);
        label->setAutoresizingMask(centred);
        root->addSubview(label);
        connect(outlet, label);
    };
    line(80, 36, Font::boldSystem(26), theme::teal(), "lblUser");
    line(122, 26, Font::system(17), theme::ink(), "lblStore");

    auto signOut = std::make_shared<Button>(ButtonType::Custom, Rect(x, 180, width, 50));
    signOut->setTitle(localized("Sign Out"));
    signOut->setBackgroundColor(theme::orange());
    signOut->setCornerRadius(8);
    signOut->titleLabel().setFont(Font::boldSystem(19));
    signOut->setAutoresizingMask(centred);
    signOut->addTarget([this](Control&) { logout(); }, ControlEvent::TouchUpInside);
    root->addSubview(signOut);
    setView(root);
}

void SignedInViewController::viewWillAppear(bool) {
    std::optional<std::string> user = session_ ? session_->userName() : std::nullopt;
    outlet<Label>("lblUser")->setText(format(localized("%@ is signed in"), user.value_or("?")));
    outlet<Label>("lblStore")
        ->setText(session_
                      ? format("%@ · %@", session_->storeName().value_or(""), session_->terminalName().value_or(""))
                      : "");
}

void SignedInViewController::logout() {
    NavigationController* navigation = navigationController();
    auto* root = navigation ? dynamic_cast<RootViewController*>(navigation->viewControllers().front().get()) : nullptr;
    if (root) {
        root->logout();
        return;
    }
    if (session_ && session_->isValid()) session_->invalidate();
    if (navigation) navigation->popToRoot(true);
}

void registerSignedInStandIns() {
    for (const char* name : {kOrdersInterface, kAdminInterface})
        InterfaceRegistry::shared().addController(
            name, [name = std::string(name)] { return std::make_shared<SignedInViewController>(name); });
}

} // namespace tavlo::screens
