#pragma once

#include "core/session/Parameters.h"
#include "platform/ui/AlertView.h"
#include "screens/common/Alerts.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tavlo {
class ObjectContext;
class Session;
} // namespace tavlo

namespace tavlo::screens {

// What every screen of a signed-in user holds the same way: the session, whether changes are
// animated, the device's idiom and the store's parameters read through the session's context.
class SignedInBase {
public:
    virtual ~SignedInBase() = default;

    // The signed-in session; null before the opener hands it over.
    const std::shared_ptr<Session>& session() const { return session_; }

    // The terminal is a pad (a tablet), not a phone.
    static bool isPad();
    // The pad in landscape, the phone in portrait.
    static uint32_t idiomOrientations();

protected:
    // The opener shares the session, or lends it (the screen then never outlives it).
    void keepSession(std::shared_ptr<Session> session) { session_ = std::move(session); }
    static std::shared_ptr<Session> lent(Session* session);

    ObjectContext* context() const;
    // Changes are animated as the session says.
    bool animated() const;
    // A store or terminal parameter, read in its own scope with its default.
    std::optional<std::string> parameter(Parameter parameter) const;
    bool flag(Parameter parameter) const;

    std::shared_ptr<Session> session_;
};

// A signed-in screen: `Ui` is the kind of controller it is, `Screens` the by-name interfaces its
// openers reach it through; the session they hand over (shared or lent) is kept by the base.
// Alerts are asked with their answer as a closure at the call site, heard while the screen lives.
template <typename Ui, typename... Screens>
class SignedInController : public Ui, public Screens..., public SignedInBase {
public:
    using Ui::Ui;

    void setSession(std::shared_ptr<Session> session) { keepSession(std::move(session)); }
    void setSession(Session* session) { keepSession(lent(session)); }

protected:
    void alert(const std::string& title, const std::optional<std::string>& message, const AlertButtons& buttons,
               AlertAnswer answer = {}) {
        showAlert(this, title, message, buttons, std::move(answer));
    }
    // An alert whose answer also reads the text typed in its input field; `setUp` (or the caller,
    // once it shows) gives it its style.
    std::shared_ptr<ui::AlertView> ask(const std::string& title, const std::optional<std::string>& message,
                                       const AlertButtons& buttons, TextAnswer answer, const AlertSetUp& setUp = {}) {
        return showAlert(this, title, message, buttons, std::move(answer), setUp);
    }
};

} // namespace tavlo::screens
