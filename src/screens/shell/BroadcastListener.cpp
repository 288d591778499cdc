#include "screens/shell/BroadcastListener.h"

#include "core/session/DBHelper.h"
#include "core/session/Parameters.h"
#include "platform/foundation/Text.h"
#include "platform/ui/AlertView.h"
#include "sync/handlers/AppShell.h"

#include <any>

namespace tavlo::screens {

namespace {

std::optional<std::string> userInfoText(const UserInfo& info, const char* key) {
    auto it = info.find(key);
    if (it == info.end()) return std::nullopt;
    if (const auto* text = std::any_cast<std::string>(&it->second)) return *text;
    return std::nullopt;
}

} // namespace

BroadcastListener::BroadcastListener(ObjectContext* context)
    : udpDelegate_(UDPDelegate::startListening(Parameters::text(Parameter::IgnoreBroadcasts, context),
                                               Parameters::text(Parameter::UdpPort, context),
                                               Parameters::text(Parameter::UdpLog, context), AppShell::handlerWaker())),
      messages_(UDPDelegate::kBroadcastMessageNotification, nullptr, &BroadcastListener::broadcastMessage) {}

BroadcastListener::~BroadcastListener() = default;

void BroadcastListener::broadcastMessage(const Notification& notification) {
    const auto* message = std::any_cast<Notification>(&notification.object);
    if (!message) return;
    ui::AlertView::make(format("Message from %@", userInfoText(message->userInfo, "source")),
                        userInfoText(message->userInfo, "message"), std::string("Ok"))
        ->show();
}

} // namespace tavlo::screens
