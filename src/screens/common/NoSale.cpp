#include "screens/common/NoSale.h"

#include "core/session/Session.h"
#include "platform/foundation/LocalizedStrings.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/ViewController.h"
#include "screens/common/ActivityIndicator.h"
#include "screens/common/Alerts.h"
#include "screens/common/prompts/AuthenticateViewController.h"
#include "sync/exchange/CommHelper.h"

#include <any>

namespace tavlo::screens {

using namespace ui;

namespace {

void alert(const char* title, const std::string& message) { showAlert(nullptr, title, message, {"Ok"}); }

} // namespace

std::shared_ptr<AlertView> chooseDrawer(ViewController& opener, const std::string& title,
                                        const std::vector<std::string>& drawerIds, ObjectContext* context,
                                        std::function<void(const std::string& drawerId)> chosen) {
    std::vector<std::string> names;
    for (const std::string& drawer : drawerIds) names.push_back(Session::cashDrawerName(drawer, context).value_or(""));
    return showAlert(&opener, title, std::nullopt, {"Cancel", names},
                     [drawerIds, chosen = std::move(chosen)](int button) {
                         if (button >= 1 && button <= static_cast<int>(drawerIds.size())) chosen(drawerIds[button - 1]);
                     });
}

void NoSale::start(ViewController& opener, const std::shared_ptr<Session>& session, const Rules& rules) {
    std::vector<std::string> drawers = session ? session->cashDrawerIds() : std::vector<std::string>{};
    if (drawers.empty()) return alert("Alert", localized("There are no drawers configured on this device"));
    if (drawers.size() == 1) return checkAuth(opener, session, rules, drawers.front());
    ViewController* screen = &opener;
    chooseDrawer(opener, rules.choiceTitle, drawers, session->managedObjectContext(),
                 [screen, session, rules](const std::string& drawer) { checkAuth(*screen, session, rules, drawer); })
        ->setTag(kDrawerAlertTag);
}

void NoSale::checkAuth(ViewController& opener, const std::shared_ptr<Session>& session, const Rules& rules,
                       const std::string& drawerId) {
    const std::optional<std::string>& user = session->userId();
    bool allowed = session->isGranted(Right::NoSale) ||
                   (session->cashedInDrawers(user).contains(drawerId) && session->isGranted(Right::NoSaleWhenAssigned));
    if (allowed)
        return open(opener, *session, rules, drawerId, rules.selfAuthorized && session->isLite() ? user : std::nullopt);
    if (!session->isLite() && !rules.authorizeInGateway)
        return alert("Alert", localized("You do not have the required access"));
    auto prompt = std::make_shared<AuthenticateViewController>();
    prompt->setTitle(localized("No Sale"));
    prompt->setSession(session.get());
    prompt->setParam(drawerId);
    prompt->setPermissions({Rights::text(Right::NoSale)});
    prompt->setPopWhenDone(false);
    std::weak_ptr<ViewController> weak = opener.shared_from_this();
    prompt->setObserver([weak, session, rules](const std::any& param, const std::string& userId) {
        auto screen = weak.lock();
        if (!screen) return;
        screen->dismiss(session->useAnimation());
        open(*screen, *session, rules, std::any_cast<std::string>(param), userId);
    });
    auto navigation = std::make_shared<NavigationController>(prompt);
    navigation->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
    opener.present(navigation, session->useAnimation());
}

void NoSale::open(ViewController& opener, Session& session, const Rules& rules, const std::string& drawerId,
                  const std::optional<std::string>& authorizedBy) {
    ActivityIndicator::show(opener.view());
    ActivityIndicator::refresh(localized("Opening drawer"));
    const std::string failed = localized("Unable to open drawer. Verify printer is on and has paper");
    if (session.isLite()) {
        Error error;
        if (!session.noSale(drawerId, authorizedBy, &error))
            alert("Error", rules.liteFailure
                               ? format("%@ (%@)", localized(*rules.liteFailure), error.localizedDescription())
                               : failed);
    } else {
        Error error;
        bool opened = CommHelper::noSale(session.storeId(), session.password(), drawerId, session.userId(),
                                         authorizedBy, session.terminalId(), CommHelper::gateway().value_or(""),
                                         session.managedObjectContext(), &error);
        if (opened && error.isSet()) alert("Warning", error.localizedDescription());
        else if (!opened) alert("Error", format("%@ (%@)", failed, error.localizedDescription()));
    }
    ActivityIndicator::hide();
}

} // namespace tavlo::screens
