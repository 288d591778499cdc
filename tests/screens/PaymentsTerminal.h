#pragma once

#include "PayTerminal.h"
#include "platform/foundation/Text.h"
#include "platform/store/ObjectContext.h"
#include "screens/payments/AdminPaymentsViewController.h"
#include "screens/payments/OrderPaymentsViewController.h"
#include "screens/payments/PaymentCellView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::screens::test {

// The pay screen's terminal (Pat signed in on T1, the order "Table 1" of 12.34, the loopback card
// gateway as the store's card host, a fake order sender, a recording printer) with the payment
// lists registered. Max (staff number 1005) may authorise voids of cash and credit and tip
// adjustments; Pat holds none of those rights until a test grants them. The lists are opened as
// their openers do: by name, in a navigation controller, as a form sheet.
class PaymentsTerminal : public PayStore {
public:
    explicit PaymentsTerminal(bool lite = true) : PayStore(lite), h(ui::DeviceIdiom::Tablet) {
        registerPaymentsScreens();
        store.addUser("U-MAX", "Max", {}, {"VOID_CASH", "VOID_CREDIT", "TIP_ADJUST"})->setValue("number", "1005");
        store.save();
        h.show(host);
    }

    ObjectContext& context() { return *store.context(); }
    void grant(const std::string& permission) {
        pat->addTo("permissions", store.addPermission(permission));
        store.save();
    }

    // A payment of the order taken by Pat now (not stored until storeOrder).
    std::shared_ptr<Payment> addPayment(const std::string& remoteId, int32_t type, int32_t subTotal, int32_t tip = 0,
                                        std::optional<std::string> drawerId = std::nullopt) {
        auto payment = tavlo::test::salesday::payment(remoteId, type, subTotal, tip);
        payment->setCreatedBy(std::string("U-PAT"));
        payment->setCreated(Date::now());
        payment->setOrder(order->remoteId());
        payment->setDrawerId(std::move(drawerId));
        order->addPayment(payment);
        return payment;
    }
    // A card payment the loopback gateway approved as a sale.
    std::shared_ptr<Payment> addCardSale(const std::string& remoteId, int32_t subTotal, int32_t tip = 0) {
        std::shared_ptr<PaymentHandlerAdapter> handler =
            PaymentHandlerFactory::getInstance().getPaymentHandler(std::string("LARCH"));
        const HostConfig config = Session::getHostConfig(std::string("LARCH"), &context());
        Error error;
        std::shared_ptr<PaymentTransaction> sale = handler->newTransaction(config, &error);
        sale->setValue(std::string("4111111111111111"), "NUMBER");
        sale->setValue(std::string("1228"), "EXP_DATE");
        sale->setValue(format("%ld", static_cast<long>(subTotal + tip)), "SUB_TOTAL");
        EXPECT_TRUE(handler->sale(*sale, config, &error) && sale->wasApproved()) << error.localizedDescription();
        auto payment = addPayment(remoteId, Payment::kCredit, subTotal, tip);
        payment->setRefNum(sale->transactionId());
        payment->setApproval(sale->approvalCode());
        payment->setCardType(std::string("Visa"));
        payment->setNumber(std::string("1111"));
        return payment;
    }
    void storeOrder() {
        order->write(context());
        store.save();
    }
    ManagedObjectPtr storedPayment(const std::string& remoteId) {
        return context().fetchFirst("Payment", "remoteId == %@", remoteId);
    }

    // The order's payments, as the order screen opens them.
    OrderPaymentsViewController& openOrderList() {
        auto made = ui::InterfaceRegistry::shared().instantiate(OrderTaskScreen::kPaymentsInterface);
        auto* task = dynamic_cast<OrderTaskScreen*>(made.get());
        task->setSession(session.get());
        task->setOrder(order);
        task->setAction([this] {
            ++finished;
            host->dismiss(false);
        });
        return presentList<OrderPaymentsViewController>(made);
    }
    // The day's payments, as the administration screen opens them (over the whole screen).
    AdminPaymentsViewController& openDayList(bool showGratuity = false) {
        auto made = ui::InterfaceRegistry::shared().instantiate(AdminPaymentsScreen::kInterfaceName);
        auto* admin = dynamic_cast<AdminPaymentsScreen*>(made.get());
        admin->setSession(session);
        admin->setShowGratuity(showGratuity);
        return presentList<AdminPaymentsViewController>(made, ui::ModalPresentationStyle::FullScreen);
    }

    ui::TableView& table() { return list->tableView(); }
    // Swipes the row's Void and answers "Void" to the question that follows.
    void voidRow(ui::IndexPath path) {
        h.swipeDelete(table(), path);
        if (!h.hasAlert() || h.frontAlert().title() != "Void Payment")
            throw ui::test::HarnessError("no question before the void");
        h.clickAlert("Void");
        h.runUntilIdle();
    }
    PaymentCellView& cell(int section, int row) {
        auto* shown = dynamic_cast<PaymentCellView*>(table().cellForRow({section, row}));
        if (!shown) throw ui::test::HarnessError("no payment row there");
        return *shown;
    }
    // The rows' tender and detail lines, section by section.
    std::vector<std::string> rows() {
        std::vector<std::string> shown;
        for (int s = 0; s < table().numberOfSections(); ++s)
            for (int r = 0; r < table().numberOfRows(s); ++r)
                shown.push_back(cell(s, r).typeLabel().text().value_or("") + " " +
                                cell(s, r).valueLabel(PaymentCellView::kSubTotalTag).text().value_or(""));
        return shown;
    }

    // Alerts as "title / message", answered with their first button.
    std::vector<std::string> alertTexts;
    void acknowledgeAlerts() {
        while (h.hasAlert()) {
            alertTexts.push_back(frontAlert());
            h.clickAlert(0);
            h.runUntilIdle();
        }
    }
    std::string frontAlert() {
        return h.hasAlert() ? h.frontAlert().title().value_or("") + " / " + h.frontAlert().message().value_or("") : "";
    }

    ui::test::Harness h;
    std::shared_ptr<PaymentsViewController> list;

private:
    template <typename T>
    T& presentList(const std::shared_ptr<ui::ViewController>& made,
                   ui::ModalPresentationStyle style = ui::ModalPresentationStyle::FormSheet) {
        list = std::dynamic_pointer_cast<PaymentsViewController>(made);
        nav = std::make_shared<ui::NavigationController>(made);
        nav->setModalPresentationStyle(style);
        host->present(nav, false);
        h.runUntilIdle();
        return dynamic_cast<T&>(*made);
    }
};

} // namespace tavlo::screens::test
