#include "screens/common/prompts/AuthenticateViewController.h"

#include "core/session/Session.h"
#include "devices/MSRMediator.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/ui/Application.h"
#include "platform/ui/NavigationController.h"
#include "screens/common/ScreenKit.h"
#include "xml/XmlCharacters.h"

namespace tavlo::screens {

using namespace ui;

namespace {

bool isUtf8(std::string_view bytes) {
    uint32_t cp = 0;
    for (size_t i = 0; i < bytes.size();) {
        size_t length = xmlchars::decodeUtf8(bytes, i, cp);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

} // namespace

AuthenticateViewController::AuthenticateViewController() : SignedInController(kInterfaceName) {}

AuthenticateViewController::~AuthenticateViewController() {
    if (listening_) MSRMediator::getInstance().unregisterObserver(this);
}

void AuthenticateViewController::viewDidLoad() {
    navigationItem().setLeftBarButtonItem(
        BarButtonItem::titled(localized("Cancel"), BarButtonStyle::Done, [this](BarButtonItem&) { cancel(); }));
}

void AuthenticateViewController::viewDidAppear(bool) {
    MSRMediator::getInstance().registerObserver(this, [this](const Notification& n) { handleMSRNotification(n); });
    listening_ = true;
    textNumber()->becomeFirstResponder();
}

void AuthenticateViewController::viewWillDisappear(bool) {
    if (listening_) MSRMediator::getInstance().unregisterObserver(this);
    listening_ = false;
}

uint32_t AuthenticateViewController::supportedInterfaceOrientations() const {
    return kit::onPad() ? OrientationMask::Landscape : OrientationMask::Portrait;
}

bool AuthenticateViewController::shouldAutorotate() const {
    Application* app = Application::current();
    if (!app) return false;
    DeviceOrientation held = app->device().orientation();
    return kit::onPad() ? isLandscape(held) : held == DeviceOrientation::Portrait;
}

void AuthenticateViewController::done() {
    const std::string& number = textNumber()->text();
    if (number.empty()) return inform("Please enter a staff number");
    authenticate(session_ ? session_->userFromNumber(number) : std::nullopt);
}

void AuthenticateViewController::authenticate(const std::optional<std::string>& userId) {
    if (session_ && userId)
        for (const std::string& permission : permissions_) {
            if (!session_->isGranted(permission, userId)) continue;
            auto keep = shared_from_this(); // the observer may close the prompt
            if (popWhenDone_)
                if (NavigationController* nav = navigationController()) nav->pop(animated());
            if (observer_) observer_(param_, *userId);
            return;
        }
    inform("Please enter a staff number with proper authorization");
}

void AuthenticateViewController::cancel() {
    NavigationController* nav = navigationController();
    if (popWhenDone_ && nav) nav->pop(animated());
    else dismiss(animated());
}

void AuthenticateViewController::inform(const std::string& message) { alert("Alert", localized(message), "Ok"); }

void AuthenticateViewController::remoteAuth() { inform("Remote Auth not yet supported"); }

void AuthenticateViewController::handleMSRNotification(const Notification& notification) {
    if (notification.name == kMsrDidConnectNotification) return inform("Magnetic reader was connected");
    if (notification.name == kMsrDidDisconnectNotification) return inform("Magnetic reader was disconnected");
    if (notification.name != kMsrReceivedDataNotification) return;
    const auto* card = std::any_cast<std::string>(&notification.object);
    // No data, data that is not text, and an empty swipe are ignored.
    if (!card || card->empty() || !isUtf8(*card)) return;
    if (card->front() == 'E') return inform("Unable to read card, please try again");
    authenticate(session_ ? session_->userFromTrackData(*card) : std::nullopt);
}

} // namespace tavlo::screens
