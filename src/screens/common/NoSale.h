#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {
class ObjectContext;
class Session;
} // namespace tavlo

namespace tavlo::ui {
class AlertView;
class ViewController;
} // namespace tavlo::ui

namespace tavlo::screens {

// Offers the terminal's cash drawers by name in an alert (a cancel button "Cancel", then one
// button per drawer in the order given) and hands the chosen drawer's id on while the opener
// lives; "Cancel" does nothing.
std::shared_ptr<ui::AlertView> chooseDrawer(ui::ViewController& opener, const std::string& title,
                                            const std::vector<std::string>& drawerIds, ObjectContext* context,
                                            std::function<void(const std::string& drawerId)> chosen);

// No Sale: opening a cash drawer without a sale, as the orders main screen and the administration
// screen offer it on their toolbars. The drawer is chosen among the terminal's drawers, the
// user's rights are checked (a drawer the user has cashed in needs only "NO_SALE_WHEN_ASSIGNED"),
// and the drawer opens: in lite mode through the session (queued, kicked on the receipt printer),
// otherwise by a request to the gateway. The screens differ in the few points of `Rules`.
class NoSale {
public:
    struct Rules {
        // The title of the drawer choice.
        std::string choiceTitle;
        // Outside lite mode a user without the right may still have a manager authorise it; when
        // false the user is refused there.
        bool authorizeInGateway = false;
        // In lite mode a user allowed to open the drawer is recorded as its own authoriser.
        bool selfAuthorized = false;
        // In lite mode a drawer that did not open says "failure (the reason)" when set, else only
        // that it could not open and what to check.
        std::optional<std::string> liteFailure;
    };
    // Names the drawer choice among the alerts (its answer is a closure).
    static constexpr int kDrawerAlertTag = 90;

    // Starts from the toolbar button: no drawer is refused, one is opened, several are offered.
    static void start(ui::ViewController& opener, const std::shared_ptr<Session>& session, const Rules& rules);
    // Opens the drawer when the user may, else asks a manager (or refuses, as the rules say).
    static void checkAuth(ui::ViewController& opener, const std::shared_ptr<Session>& session, const Rules& rules,
                          const std::string& drawerId);
    // Opens the drawer under the wait overlay; a failure is shown in an alert.
    static void open(ui::ViewController& opener, Session& session, const Rules& rules, const std::string& drawerId,
                     const std::optional<std::string>& authorizedBy);
};

} // namespace tavlo::screens
