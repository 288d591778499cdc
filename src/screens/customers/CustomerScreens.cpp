#include "screens/customers/CustomerScreens.h"

namespace tavlo::screens {

void registerCustomerScreens() {
    registerCustomersView();
    registerCustomerView();
}

} // namespace tavlo::screens
