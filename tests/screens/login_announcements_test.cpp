// The store server's announcements reaching the sign-in screen for real: in a network namespace of
// its own (nothing reaches the machine's network), the screen's listener joins the group on the
// loopback, and datagrams sent to it there wake the handlers and show the staff message.
#include "LoginScreen.h"
#include "platform/ui/render/Snapshot.h"
#include "support/NetworkNamespace.h"
#include "support/ui/Golden.h"
#include "sync/announce/UDPDelegate.h"
#include "sync/handlers/OrderHandler.h"
#include "sync/handlers/StoreHandler.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::LoginScreen;

constexpr int kPort = 4409;

void sendToGroup(const std::string& datagram) {
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kPort);
    to.sin_addr.s_addr = inet_addr(UDPDelegate::kGroup);
    EXPECT_EQ(sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
              static_cast<ssize_t>(datagram.size()));
    ::close(fd);
}

void announcementsInNamespace() {
    LoginScreen s({DeviceIdiom::Phone, false, {{"HH_UDP_PORT", std::to_string(kPort)}}, true});
    s.shell.login(); // the handlers run, as after the start-up
    s.show();
    ASSERT_NE(s.login->broadcastListener(), nullptr);
    ASSERT_NE(s.login->broadcastListener()->udpDelegate(), nullptr);
    s.h.advance(5); // later than the handlers' first runs
    const Date now = Date::now();
    ASSERT_NE(StoreHandler::getInstance()->lastRun(), now);
    ASSERT_NE(OrderHandler::getInstance()->lastRun(), now);

    sendToGroup(tavlo::test::announcementDatagram(1)); // the store changed
    sendToGroup(tavlo::test::announcementDatagram(3)); // an order changed
    sendToGroup(tavlo::test::announcementDatagram(16, {"Manager", "Staff meeting", "at four"}, 42));
    ASSERT_TRUE(test::runUntil(s.h, [&] { return s.h.hasAlert(); }));

    EXPECT_EQ(s.alertText(), "Message from Manager / Staff meeting at four");
    EXPECT_EQ(StoreHandler::getInstance()->lastRun(), now);
    EXPECT_EQ(OrderHandler::getInstance()->lastRun(), now);
    ui::test::writeTestPicture(render::snapshot(s.h.window(), s.h.window().bounds().size),
                               "login_broadcast_message_phone");
}

TEST(LoginAnnouncementsTest, AnAnnouncementWakesTheHandlersAndAStaffMessageIsShownWithItsSource) {
    tavlo::test::NamespaceRun run =
        tavlo::test::runInNetworkNamespace(tavlo::test::bringLoopbackUpForMulticast, announcementsInNamespace);
    if (!run.unavailable.empty()) GTEST_SKIP() << "no network namespace can be made here: " << run.unavailable;
    EXPECT_EQ(run.exitCode, 0);
}

} // namespace
} // namespace tavlo::screens
