#pragma once

#include "platform/store/ManagedObject.h"
#include "screens/shell/SignedInScreens.h"

#include <functional>

namespace tavlo::screens {

// The table layout ("TableLayoutView") as the orders main screen opens it: the floor plan hands a
// pressed table (its AreaLocation row) back, and its toolbar's "Logout" and "Orders" go back too.
class TableLayoutScreen : public SessionScreen {
public:
    using TableSelected = std::function<void(const ManagedObjectPtr& table)>;
    using Action = std::function<void()>;

    // The open orders are read from the server when the layout comes into view.
    virtual void setUpdateOnAppear(bool update) = 0;
    virtual void setObserver(TableSelected selected, Action logout, Action orders) = 0;
};

} // namespace tavlo::screens
