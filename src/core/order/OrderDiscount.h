#pragma once

#include <libxml/tree.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tavlo {

class ManagedObject;
class ObjectContext;

// One order-level discount. A removed discount stays on the order, marked, until the order is
// sent, so that the server learns of the removal.
class OrderDiscount {
public:
    using Text = std::optional<std::string>;

    OrderDiscount() = default;

    // Local store and server XML. `write` gives the row found by the remote id, else a new one;
    // the order links it. Reading leaves `removed` as it was.
    std::shared_ptr<ManagedObject> write(ObjectContext& context);
    void read(const ManagedObject& row);
    void read(xmlNodePtr element, xmlDocPtr doc);

    // A new discount (not removed) with the same id, name, amount and users.
    std::shared_ptr<OrderDiscount> clone() const;

    const Text& remoteId() const { return remoteId_; }
    void setRemoteId(Text v) { remoteId_ = std::move(v); }
    const Text& name() const { return name_; }
    void setName(Text v) { name_ = std::move(v); }
    int32_t amount() const { return amount_; }
    void setAmount(int32_t v) { amount_ = v; }
    const Text& discountBy() const { return discountBy_; }
    void setDiscountBy(Text v) { discountBy_ = std::move(v); }
    const Text& authBy() const { return authBy_; }
    void setAuthBy(Text v) { authBy_ = std::move(v); }
    bool new_() const { return isNew_; }
    void setNew(bool v) { isNew_ = v; }
    bool removed() const { return removed_; }
    void setRemoved(bool v) { removed_ = v; }

private:
    Text remoteId_;
    Text name_;
    int32_t amount_ = 0;
    Text discountBy_;
    Text authBy_;
    bool isNew_ = true;
    bool removed_ = false;
};

} // namespace tavlo
