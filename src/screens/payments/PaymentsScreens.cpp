// The payment lists' layout (a plain table of payment rows, the bars filled by each list) and the
// names they are opened by.
#include "platform/ui/InterfaceRegistry.h"
#include "platform/ui/TableView.h"
#include "screens/payments/AdminPaymentsViewController.h"
#include "screens/payments/OrderPaymentsViewController.h"
#include "screens/payments/PaymentCellView.h"

namespace tavlo::screens {

using namespace ui;

void registerPaymentsScreens() {
    InterfaceRegistry& registry = InterfaceRegistry::shared();
    registry.add<PaymentsViewController>(
        PaymentsViewController::kInterfaceName,
        std::function<std::shared_ptr<View>(PaymentsViewController&)>([](PaymentsViewController&) {
            // Sized by the container that shows it.
            auto table = std::make_shared<TableView>(Rect(0, 0, 320, 416), TableViewStyle::Plain);
            table->setRowHeight(PaymentCellView::kRowHeight);
            table->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
            return std::static_pointer_cast<View>(table);
        }));
    // The order screen opens an order's payments by the layout's name; the administration screen
    // opens the day's by the controller's.
    registry.addController(OrderPaymentsViewController::kInterfaceName,
                           [] { return std::make_shared<OrderPaymentsViewController>(); });
    registry.addController(AdminPaymentsScreen::kInterfaceName,
                           [] { return std::make_shared<AdminPaymentsViewController>(); });
}

} // namespace tavlo::screens
