// The manager override prompt on the fixture store: a staff number or a card swipe (through the
// card-reader notifications) of a user who holds any one of the permissions answers the opener
// with that user's id; anyone else is told so.
#include "PromptHost.h"
#include "core/session/Session.h"
#include "devices/MSRMediator.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/render/Snapshot.h"
#include "screens/common/prompts/AuthenticateViewController.h"
#include "support/StoreFixture.h"
#include "support/ui/Golden.h"

#include <gtest/gtest.h>

namespace tavlo::screens {
namespace {

using namespace ui;
using test::PromptHost;

constexpr const char* kDanCard = "%B4000^DAN/MANAGER^0000?";

struct Granted {
    std::any param;
    std::string userId;
    bool promptShown;
};

class AuthenticatePromptTest : public ::testing::Test {
protected:
    explicit AuthenticatePromptTest(DeviceIdiom idiom = DeviceIdiom::Phone) : host(idiom) {
        store.buildSmallStore();
        // Dan holds NO_SALE of his own and no role.
        auto dan = store.row("User", "userId", "U-DAN");
        dan->setValue("number", "1004");
        dan->setValue("trackData", kDanCard);
        store.save();
    }

    // The prompt as the administration screen opens it for a no sale on drawer D1.
    std::shared_ptr<AuthenticateViewController> make(std::vector<std::string> permissions = {"REFUND", "NO_SALE"}) {
        auto prompt = std::make_shared<AuthenticateViewController>();
        prompt->setTitle(std::string("No Sale"));
        prompt->setSession(&session);
        prompt->setParam(std::string("D1"));
        prompt->setPermissions(std::move(permissions));
        prompt->setObserver([this, raw = prompt.get()](const std::any& param, const std::string& userId) {
            granted.push_back({param, userId, raw->isVisible()});
        });
        return prompt;
    }
    TextField& number() { return host.h.outlet<TextField>("textNumber"); }
    void signWith(const std::string& staffNumber) {
        if (!staffNumber.empty()) host.h.type(number(), staffNumber);
        host.h.tap("Done");
    }
    static void swipe(std::any data) {
        NotificationCenter::defaultCenter().post(kMsrReceivedDataNotification, std::move(data));
    }
    std::optional<std::string> alertMessage() {
        return host.h.hasAlert() ? host.h.frontAlert().message() : std::nullopt;
    }

    tavlo::test::StoreFixture store;
    Session session{store.context().get()};
    PromptHost host;
    std::vector<Granted> granted;
};

TEST_F(AuthenticatePromptTest, AUserHoldingOnlyTheSecondPermissionAuthorises) {
    host.open(make());
    signWith("1004");
    ASSERT_EQ(granted.size(), 1u);
    EXPECT_EQ(granted[0].userId, "U-DAN");
    EXPECT_EQ(std::any_cast<std::string>(granted[0].param), "D1");
    EXPECT_TRUE(granted[0].promptShown) << "a presented prompt stays up: the opener closes it";
    EXPECT_FALSE(host.h.hasAlert());
}

TEST_F(AuthenticatePromptTest, WithoutAParamTheAnswerCarriesNone) {
    auto prompt = make({"NO_SALE"});
    prompt->setParam({});
    host.open(prompt);
    signWith("1004");
    ASSERT_EQ(granted.size(), 1u);
    EXPECT_FALSE(granted[0].param.has_value());
}

TEST_F(AuthenticatePromptTest, AnyoneElseIsToldAndThePromptStays) {
    struct Case {
        std::string number;
        std::vector<std::string> permissions;
        std::string why;
    };
    for (const Case& c :
         {Case{"9999", {"REFUND", "NO_SALE"}, "no such user"},
          Case{"1001", {"REFUND", "NO_SALE"}, "on the clock as a server, who may not refund"},
          Case{"1004", {"REFUND", "COMPLIMENTARY"}, "holds neither"}, Case{"1004", {}, "no permission asked for"}}) {
        host.open(make(c.permissions));
        signWith(c.number);
        EXPECT_EQ(alertMessage(), "Please enter a staff number with proper authorization") << c.why;
        host.h.clickAlert("Ok");
        EXPECT_TRUE(host.isOpen()) << c.why;
        EXPECT_TRUE(granted.empty()) << c.why;
        host.opener->dismiss(false);
        host.h.runUntilIdle();
    }
}

TEST_F(AuthenticatePromptTest, AnEmptyNumberAsksForOne) {
    host.open(make());
    signWith("");
    EXPECT_EQ(host.h.frontAlert().title(), "Alert");
    EXPECT_EQ(alertMessage(), "Please enter a staff number");
}

TEST_F(AuthenticatePromptTest, ACardSwipeAuthorisesItsUser) {
    host.open(make());
    EXPECT_TRUE(number().isFirstResponder());
    swipe(std::string(kDanCard));
    host.h.runUntilIdle();
    ASSERT_EQ(granted.size(), 1u);
    EXPECT_EQ(granted[0].userId, "U-DAN");
    EXPECT_EQ(std::any_cast<std::string>(granted[0].param), "D1");
}

TEST_F(AuthenticatePromptTest, TheCardReadersOtherNewsAndUnreadableSwipes) {
    host.open(make());
    struct Case {
        const char* notification;
        std::any object;
        std::optional<std::string> alert;
    };
    for (Case& c : std::vector<Case>{
             {kMsrReceivedDataNotification, std::string("E01 read error"), "Unable to read card, please try again"},
             {kMsrReceivedDataNotification, std::string("%B9999^NOBODY^0000?"),
              "Please enter a staff number with proper authorization"},
             {kMsrReceivedDataNotification, std::string(), std::nullopt},
             {kMsrReceivedDataNotification, std::any(), std::nullopt},
             {kMsrReceivedDataNotification, std::string("\xff\xfe"), std::nullopt},
             {kMsrDidConnectNotification, std::any(), "Magnetic reader was connected"},
             {kMsrDidDisconnectNotification, std::any(), "Magnetic reader was disconnected"},
             {kMsrErrorNotification, std::string("Swipe error"), std::nullopt}}) {
        NotificationCenter::defaultCenter().post(c.notification, c.object);
        host.h.runUntilIdle();
        EXPECT_EQ(alertMessage(), c.alert) << c.notification;
        if (host.h.hasAlert()) host.h.clickAlert("Ok");
    }
    EXPECT_TRUE(granted.empty());
}

TEST_F(AuthenticatePromptTest, CancelClosesItAndItNoLongerHearsTheReader) {
    host.open(make());
    host.h.tap("Cancel");
    EXPECT_FALSE(host.isOpen());
    swipe(std::string(kDanCard));
    host.h.runUntilIdle();
    EXPECT_TRUE(granted.empty());
    EXPECT_FALSE(host.h.hasAlert());
}

TEST_F(AuthenticatePromptTest, PushedItPopsItselfBeforeAnswering) {
    auto below = std::make_shared<ViewController>();
    host.open(below);
    auto prompt = make();
    prompt->setPopWhenDone(true);
    host.nav->push(prompt, false);
    host.h.runUntilIdle();
    signWith("1004");
    ASSERT_EQ(granted.size(), 1u);
    EXPECT_FALSE(granted[0].promptShown);
    EXPECT_EQ(host.nav->topViewController(), below.get());
    EXPECT_TRUE(host.isOpen());
}

TEST_F(AuthenticatePromptTest, RemoteAuthorisationIsNotOffered) {
    host.open(make());
    host.h.tap("Remote Auth");
    EXPECT_EQ(alertMessage(), "Remote Auth not yet supported");
}

TEST_F(AuthenticatePromptTest, PortraitOnThePhone) {
    auto prompt = make();
    EXPECT_EQ(prompt->supportedInterfaceOrientations(), OrientationMask::Portrait);
}

TEST_F(AuthenticatePromptTest, PictureOnThePhone) {
    host.open(make());
    host.h.type(number(), "10");
    EXPECT_TRUE(ui::test::matchesGolden(render::snapshot(host.h.window(), {320, 480}), "authenticate_prompt_phone"));
}

class AuthenticatePromptOnPad : public AuthenticatePromptTest {
protected:
    AuthenticatePromptOnPad() : AuthenticatePromptTest(DeviceIdiom::Tablet) {}
};

TEST_F(AuthenticatePromptOnPad, LandscapeOnly) {
    auto prompt = make();
    EXPECT_EQ(prompt->supportedInterfaceOrientations(), OrientationMask::Landscape);
}

TEST_F(AuthenticatePromptOnPad, PictureOnThePad) {
    host.open(make());
    host.h.type(number(), "10");
    EXPECT_TRUE(ui::test::matchesGolden(render::snapshot(host.h.window(), {1024, 768}), "authenticate_prompt_pad"));
}

} // namespace
} // namespace tavlo::screens
