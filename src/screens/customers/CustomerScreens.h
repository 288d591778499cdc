#pragma once

#include "screens/customers/CustomerViewController.h"
#include "screens/customers/CustomersViewController.h"

namespace tavlo::screens {

// The interfaces "CustomersView" (with its controller, which others open by name) and
// "CustomerView".
void registerCustomerScreens();

} // namespace tavlo::screens
