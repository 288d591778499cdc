#pragma once

#include "platform/ui/SegmentedControl.h"
#include "screens/common/ScreenInterfaces.h"
#include "screens/payments/PaymentsViewController.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace tavlo::screens {

// The open business day's payments of one tender, chosen with the segments of the title bar, as
// the administration screen shows them. On a terminal that is not its own till the day's orders
// are downloaded first, so that the payments other terminals took are listed too.
class AdminPaymentsViewController : public PaymentsViewController, public AdminPaymentsScreen {
public:
    AdminPaymentsViewController();

    void setSession(std::shared_ptr<Session> session) override;
    void setShowGratuity(bool show) override { PaymentsViewController::setShowGratuity(show); }

    ui::SegmentedControl* payTypes() const { return payTypes_.get(); }
    int32_t currentType() const { return currentType_; }
    void paymentTypeChanged();

    void viewDidLoad() override;
    // Editing needs a card host that adjusts when the tender goes to it.
    void setEditing(bool editing, bool animated) override;

protected:
    std::unique_ptr<FetchedResultsController> makeFetchedResultsController() override;

private:
    // The day's orders from the store server, stamped with the open batch and stored.
    void downloadOrders();

    std::shared_ptr<Session> ownedSession_;
    std::shared_ptr<ui::SegmentedControl> payTypes_;
    std::vector<int32_t> typeIds_;
    int32_t currentType_ = Payment::kUnknownType;
};

} // namespace tavlo::screens
