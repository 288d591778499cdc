#include "core/order/OrderDiscount.h"

namespace tavlo {

std::shared_ptr<OrderDiscount> OrderDiscount::clone() const {
    auto copy = std::make_shared<OrderDiscount>();
    copy->remoteId_ = remoteId_;
    copy->name_ = name_;
    copy->amount_ = amount_;
    copy->discountBy_ = discountBy_;
    copy->authBy_ = authBy_;
    return copy;
}

} // namespace tavlo
