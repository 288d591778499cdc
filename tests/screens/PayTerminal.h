#pragma once

#include "CardGateway.h"
#include "RunUntil.h"
#include "core/order/Order.h"
#include "core/order/Selection.h"
#include "core/ports/OrderSender.h"
#include "core/session/DBHelper.h"
#include "core/session/IDBroker.h"
#include "core/session/Session.h"
#include "core/util/TavloLog.h"
#include "payments/PaymentHandlerFactory.h"
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/NavigationController.h"
#include "screens/common/prompts/PromptScreens.h"
#include "screens/pay/PayViewController.h"
#include "support/FakePorts.h"
#include "support/RecordingPrinterStream.h"
#include "support/SalesDay.h"
#include "support/StoreFixture.h"
#include "support/ui/Harness.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::screens::test {

// A terminal of the small store (terminal T1 "Front") with Pat signed in, a recording receipt
// printer, a fake order sender, and an order of one line for 12.34 without tax; a host screen
// presents the pay screen for it as the order screen does (by its name, in a navigation
// controller, as a form sheet). `lite` makes the terminal its own till; the loopback card gateway
// is then the store's card host. The application that shows the host is the caller's.
class PayStore {
public:
    explicit PayStore(bool lite = true) {
        store.buildSmallStore();
        ObjectContext* context = store.context().get();
        auto role = store.addRole("R-CASHIER", {"STORE_LOGIN", "PAY", "NEW_PAYMENT_TIP_ADJUST", "PAY_CREDIT_MANUAL"});
        pat = store.addUser("U-PAT", "Pat", {role});
        setParam("TAVLO_LITE", lite ? "YES" : "NO");
        store.addPaymentTypes({6, 12});
        gateway.start();
        for (const auto& [name, value] :
             std::vector<std::pair<std::string, std::string>>{{"PAYMENT_CREDIT_HOST", "LARCH"},
                                                              {"HOST_LARCH_CAPTURE_URL", gateway.captureUrl()},
                                                              {"HOST_LARCH_DETAILS_URL", gateway.detailsUrl()},
                                                              {"HOST_LARCH_USER", "merchant1"},
                                                              {"HOST_LARCH_PASSWORD", "secret"},
                                                              {"HOST_LARCH_RP", "42"},
                                                              {"HOST_LARCH_ALLOW_MANUAL", "YES"},
                                                              {"ALLOW_CASH_TIP", "YES"}})
            setParam(name, value);
        store.addStoreBatch("DAY-1", Date(1'700'000'000.0), std::nullopt);
        store.save();
        IDBroker::initWithMOC(store.context());
        PaymentHandlerFactory::initWithMOC(context);
        OrderSender::install(sender);
        // The business day's card batch, as opening the store opens it.
        Error error;
        EXPECT_GT(PaymentHandlerFactory::getInstance()
                      .getPaymentHandler(std::string("LARCH"))
                      ->openBatch(Session::getHostConfig(std::string("LARCH"), context), Date(1'700'000'000.0), &error),
                  0)
            << error.localizedDescription();
        registerPromptScreens();
        registerPayScreens();

        session = std::make_shared<Session>(context);
        session->setUserId(std::string("U-PAT"));
        session->setTerminalId(std::string("T1"));
        session->setStoreId(std::string("1"));
        session->setStoreName(std::string("Corner Bistro"));
        session->setPrinterStream(printer);

        order = std::make_shared<Order>(context);
        order->setRemoteId(std::string("1-1700000000-1"));
        order->setName(std::string("Table 1"));
        order->setOrderType(OrderType::DineIn);
        order->setAreaLocationId(std::string("L1"));
        order->addSelection(tavlo::test::salesday::line("o1-1", "r-burger", "Burger", 1234), nullptr);
    }
    ~PayStore() { OrderSender::install(nullptr); }

    void setParam(const std::string& name, const std::optional<std::string>& value) {
        DBHelper::saveStoreParam(name, value, store.context().get());
        store.save();
    }

    // Presents the pay screen the way the order screen does.
    PayViewController& present() {
        auto made = std::dynamic_pointer_cast<PayViewController>(
            ui::InterfaceRegistry::shared().instantiate(PayViewController::kInterfaceName));
        made->setSession(session.get());
        made->setOrder(order);
        made->setAction([this] {
            ++finished;
            host->dismiss(false);
        });
        screen = made;
        nav = std::make_shared<ui::NavigationController>(made);
        nav->setModalPresentationStyle(ui::ModalPresentationStyle::FormSheet);
        host->present(nav, false);
        return *made;
    }

    tavlo::test::StoreFixture store;
    ManagedObjectPtr pat;
    gatewaysim::CardGateway gateway{gatewaysim::CardGateway::Options{"merchant1", "secret", 3}};
    std::shared_ptr<tavlo::test::FakeOrderSender> sender = std::make_shared<tavlo::test::FakeOrderSender>();
    std::shared_ptr<tavlo::test::RecordingPrinterStream> printer =
        std::make_shared<tavlo::test::RecordingPrinterStream>();
    std::shared_ptr<Session> session;
    std::shared_ptr<Order> order;
    std::shared_ptr<ui::ViewController> host = std::make_shared<ui::ViewController>();
    std::shared_ptr<ui::NavigationController> nav;
    std::shared_ptr<PayViewController> screen;
    int finished = 0;
};

// The same terminal shown headless by the harness.
class PayTerminal : public PayStore {
public:
    explicit PayTerminal(bool lite = true, ui::DeviceIdiom idiom = ui::DeviceIdiom::Tablet) : PayStore(lite), h(idiom) {
        h.show(host);
    }

    PayViewController& open() {
        PayViewController& shown = present();
        h.runUntilIdle();
        return shown;
    }

    ui::TextField& field(const std::string& name) { return h.outlet<ui::TextField>(name); }
    // Process, as a person taps it, and the wait for the card host's answer when a card is charged.
    void process() {
        h.tap("Process");
        waitForCharge();
    }
    // The main loop runs until no card charge of the pay screen is in flight.
    void waitForCharge() {
        EXPECT_TRUE(runUntil(h, [this] { return !screen || !screen->isCharging(); })) << "the card host never answered";
    }
    void pickTender(const std::string& title) { h.pickSegment(*screen->payTypes(), title); }
    // Every alert shown, oldest first, answered with its first button unless it asks a question.
    std::vector<std::string> alertTexts;
    void acknowledgeAlerts() {
        while (h.hasAlert()) {
            ui::AlertView& shown = h.frontAlert();
            alertTexts.push_back(shown.title().value_or("") + " / " + shown.message().value_or(""));
            h.clickAlert(0);
            h.runUntilIdle();
        }
    }
    std::string frontAlert() {
        return h.hasAlert() ? h.frontAlert().title().value_or("") + " / " + h.frontAlert().message().value_or("") : "";
    }

    ui::test::Harness h;
};

} // namespace tavlo::screens::test
