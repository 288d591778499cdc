#pragma once

#include "core/order/ActivityLog.h"
#include "core/order/Preparation.h"
#include "core/order/TaxAmounts.h"
#include "platform/foundation/Clock.h"

#include <libxml/tree.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {

class ManagedObject;
class ObjectContext;
class OrderTax;
class Session;
class Selection;
using ManagedObjectPtr = std::shared_ptr<ManagedObject>;
using SelectionPtr = std::shared_ptr<Selection>;

// One line of an order: a menu item (or a side of another line) with its quantity, portion
// multiplier, seat and course, chosen sides and preparations, comp, tax exemptions and fixed
// per-unit tax amounts. A side is itself a Selection held by its parent line; a combo is a
// ComboSelection. Money is in cents, rates in hundredths of a percent (10000 = 100 %).
class Selection {
public:
    using Text = std::optional<std::string>;
    // Receives each activity-log entry the line makes; the order that holds the line sets it.
    using LogObserver = std::function<void(const ActivityLog&)>;

    Selection();
    // A line made at `created`: a stored line read back.
    explicit Selection(std::optional<Date> created);
    virtual ~Selection() = default;
    Selection& operator=(const Selection&) = delete;

    // ---- From the store's menu rows
    // A line for the item with the item's fixed tax amounts.
    static SelectionPtr initFromItem(const Text& itemId, ObjectContext* context);
    // A side line from a Side row with its fixed tax amounts; a plain new line when the row is missing.
    static SelectionPtr initFromSide(const Text& sideId, ObjectContext* context);
    // The line for an Item row as the screens order it: with its default sides, or a combo with its
    // parts for an item without a recipe. Null when the recipe is sold out.
    static SelectionPtr newFrom(const ManagedObjectPtr& item, const Text& server, ObjectContext* context);
    // Adds the preparation unless chosen, with the charge and fixed taxes the menu gives it:
    // the item's own, else its section's, else its menu's, else the preparation's price.
    void addPreparation(Preparation preparation, ObjectContext* context);
    // The Item row of this line's recipe on its menu.
    Text itemId(ObjectContext* context) const;

    // Availability: the recipe's portions left, in hundredths (nil in the store: not counted).
    bool hasAvailability(ObjectContext* context) const;
    // -1 when the recipe is missing or not counted.
    static int32_t available(const Text& recipeId, ObjectContext* context);
    // Adds `change` to a counted recipe in the context, unsaved: the count reaches the store with
    // the context's next save, which is the order's own (its hand-over or its storing), so that
    // an order costs one commit however many lines it has. The context keeps the change until
    // then; a line given back (Order::rollbackAvailability) cancels it there.
    static void updateAvailability(const Text& recipeId, int32_t change, ObjectContext* context);

    // Sides. A side is identified within its parent by its recipe id.
    SelectionPtr addSide(const SelectionPtr& side);
    // Takes one unit of the side off (the side goes at its last unit); answers the side found, or
    // the one given. A line already stored or sent logs the change.
    SelectionPtr removeSide(const SelectionPtr& side, const Text& forcedBy, Session* session);
    void clearSides();
    int32_t getQuantity(const Selection& side) const;
    int32_t getSideCount() const;
    std::vector<SelectionPtr> getSides() const { return selectedSides_; }
    // Units of the side beyond the included allowance; the cheapest sides use the allowance first.
    int32_t chargableCount(const Selection& side) const;
    bool isChargable(const Selection& side) const;
    int32_t getSideCharge(const Selection& side) const;

    // Preparations, identified by their id.
    void addPreparation(const Preparation& preparation);
    // A line already stored or sent logs the removal.
    void removePreparation(const std::string& preparationId, const Text& forcedBy, Session* session);
    bool isSelected(const std::string& preparationId) const;
    int32_t getCharge(const std::string& preparationId) const;
    std::vector<Preparation> getPreparations() const { return selectedPreparations_; }
    int32_t getPreparationCount() const { return static_cast<int32_t>(selectedPreparations_.size()); }
    const std::vector<Preparation>& getPreparationGroups() const { return selectedPreparations_; }

    // Charges.
    int32_t getUnitCharge() const { return applyMultiplier(price_ + getExtraCharges()); }
    virtual int32_t getExtraCharges() const;
    int32_t applyMultiplier(int32_t amount) const;
    std::string multiplierLabel() const;

    // Comp.
    bool hasComp() const { return compBy_.has_value(); }
    int32_t compAmount(int32_t amount) const;
    int32_t compAmount() const { return compAmount(price_); }
    // No rule "NonCompableRecipeGroups" names the recipe's group.
    virtual bool isCompable(Session& session) const;

    void addTaxExemption(const std::string& taxName) { taxExemptions_.push_back(taxName); }

    // Tax bases, per unit before the multiplier and the comp. `addition` 0 counts the line at its
    // price with its fixed amounts, 1 at its addition price with the addition amounts, anything
    // else counts only its preparations and sides; `override` ignores the line's exemption.
    void setPredefinedTax(int32_t amount, const std::string& taxName) { predefinedTaxes_.set(taxName, amount); }
    void setAdditionPredefinedTax(int32_t amount, const std::string& taxName) {
        additionPredefinedTaxes_.set(taxName, amount);
    }
    virtual bool hasPredefinedTax(const std::string& taxName) const;
    bool hasAdditionPredefinedTax(const std::string& taxName) const { return additionPredefinedTaxes_.has(taxName); }
    bool isExempt(const OrderTax& tax) const;
    virtual int32_t unitPredefinedTax(const OrderTax& tax, int addition, bool override) const;
    virtual int32_t unitPredefinedTaxable(const OrderTax& tax, int addition, bool override) const;
    virtual int32_t unitTaxableAmount(const OrderTax& tax, int addition, bool override) const;

    // Same remote id; or, both without one, the same recipe and menu; else the same object.
    bool isEqual(const Selection* other) const;

    // The line's activity-log entries go to the observer; without one they are dropped.
    void setObserver(LogObserver observer) { observer_ = std::move(observer); }
    void addLog(const ActivityLog& entry) const {
        if (observer_) observer_(entry);
    }
    void addLog(const Text& action, const Text& name, const Text& description, const Text& byUser, const Text& forcedBy,
                const Text& onTerminal, const Text& oldValue, const Text& newValue, Session* session) const;

    // ---- Local store, server XML and copies (SelectionPersistence.cpp)
    // Stores the line in its `Selection` row (found by remote id, else a new one) and goes on as
    // the row form does. Not saved.
    virtual ManagedObjectPtr write(ObjectContext& context);
    // Writes the line into the row with its preparations, exemptions, sides and fixed taxes;
    // clears both flags and counts every unit as sent (`newQuantity` 0).
    ManagedObjectPtr write(const ManagedObjectPtr& row, ObjectContext& context);
    // Fills a freshly made line from its row; both flags end clear.
    virtual void read(const ManagedObject& row);
    // Reads a `selection` element of the server's order document; both flags end clear.
    virtual void read(xmlNodePtr element, xmlDocPtr doc, ObjectContext* context);
    // A fresh line of the kind the row or element holds, read from it.
    static SelectionPtr fromRow(const ManagedObject& row);
    static SelectionPtr fromDocument(xmlNodePtr element, xmlDocPtr doc, ObjectContext* context);
    // Copies this line into `target`: its fields, clones of its preparations and sides, its
    // exemptions and fixed taxes. The observer and the flags are not copied.
    void copy(Selection& target) const;
    // A new and modified line equal to this one (same remote id) for printing and sending.
    virtual SelectionPtr clone() const;

    // Properties. Setters marked "modifies" set `modified`.
    const Text& remoteId() const { return remoteId_; }
    void setRemoteId(Text v) { remoteId_ = std::move(v); }
    const Text& itemId() const { return itemId_; }
    void setItemId(Text v) { itemId_ = std::move(v); }
    const Text& recipeId() const { return recipeId_; }
    void setRecipeId(Text v) { recipeId_ = std::move(v); }
    const Text& menuId() const { return menuId_; }
    void setMenuId(Text v) { menuId_ = std::move(v); }
    const Text& referenceId() const { return referenceId_; }
    void setReferenceId(Text v) { referenceId_ = std::move(v); }
    const Text& name() const { return name_; }
    void setName(Text v) { name_ = std::move(v); }
    const Text& comment() const { return comment_; }
    void setComment(Text v) { comment_ = std::move(v), modified_ = true; } // modifies
    int32_t price() const { return price_; }
    void setPrice(int32_t v) { price_ = v, modified_ = true; } // modifies
    // With a session the change is logged.
    void setPrice(int32_t v, Session* session); // modifies
    int32_t additionPrice() const { return additionPrice_; }
    void setAdditionPrice(int32_t v) { additionPrice_ = v, modified_ = true; } // modifies
    int32_t seat() const { return seat_; }
    void setSeat(int32_t v) { seat_ = v, modified_ = true; } // modifies
    int32_t course() const { return course_; }
    void setCourse(int32_t v) { course_ = v, modified_ = true; } // modifies
    int32_t quantity() const { return quantity_; }
    void setQuantity(int32_t v) { quantity_ = v, modified_ = true; } // modifies
    int32_t multiplier() const { return multiplier_; }
    void setMultiplier(int32_t v) { multiplier_ = v, modified_ = true; } // modifies
    int32_t includedSides() const { return includedSides_; }
    void setIncludedSides(int32_t v) { includedSides_ = v, modified_ = true; } // modifies
    int32_t defaultSideCount() const { return defaultSideCount_; }
    void setDefaultSideCount(int32_t v) { defaultSideCount_ = v; }
    bool taxIncluded() const { return taxIncluded_; }
    void setTaxIncluded(bool v) { taxIncluded_ = v; }
    const Text& compName() const { return compName_; }
    void setCompName(Text v) { compName_ = std::move(v), modified_ = true; } // modifies
    const Text& compDescription() const { return compDescription_; }
    void setCompDescription(Text v) { compDescription_ = std::move(v); }
    int32_t compPercent() const { return compPercent_; }
    void setCompPercent(int32_t v) { compPercent_ = v, modified_ = true; } // modifies
    const Text& compBy() const { return compBy_; }
    void setCompBy(Text v) { compBy_ = std::move(v), modified_ = true; } // modifies
    const Text& orderedBy() const { return orderedBy_; }
    void setOrderedBy(Text v) { orderedBy_ = std::move(v), modified_ = true; } // modifies
    int32_t newQuantity() const { return newQuantity_; }
    void setNewQuantity(int32_t v) { newQuantity_ = v, modified_ = true; } // modifies
    // Units already sent that were voided or taken off since: the kitchen hears of them with the
    // next send. Storing or sending the line clears it, as it does `newQuantity`.
    int32_t voidedQuantity() const { return voidedQuantity_; }
    void setVoidedQuantity(int32_t v) { voidedQuantity_ = v, modified_ = true; } // modifies
    const std::optional<Date>& created() const { return created_; }
    void setCreated(std::optional<Date> v) { created_ = v; }
    const std::optional<Date>& deleted() const { return deleted_; }
    void setDeleted(std::optional<Date> v) { deleted_ = v; }
    const std::vector<SelectionPtr>& selectedSides() const { return selectedSides_; }
    const std::vector<Preparation>& selectedPreparations() const { return selectedPreparations_; }
    const std::vector<std::string>& taxExemptions() const { return taxExemptions_; }
    const std::vector<std::string>& defaultTaxExemptions() const { return defaultTaxExemptions_; }
    void addDefaultTaxExemption(const std::string& taxName) { defaultTaxExemptions_.push_back(taxName); }
    const TaxAmounts& predefinedTaxes() const { return predefinedTaxes_; }
    const TaxAmounts& additionPredefinedTaxes() const { return additionPredefinedTaxes_; }

    // Dirty flags: a line is new until stored or sent, modified when changed since. Storing and
    // reading the line clear them.
    bool new_() const { return isNew_; }
    bool modified() const { return modified_; }
    void setNew(bool v) { isNew_ = v; }
    void setModified(bool v) { modified_ = v; }

protected:
    Selection(const Selection&) = default;
    // The item's fixed tax amounts.
    void readItemTaxes(const Text& itemId, ObjectContext* context);
    // Name, prices, recipe, menu and fixed tax amounts of a Side row.
    void readSide(const ManagedObject& side);
    // The own part of a line at `addition`: its price or addition price and the matching amounts.
    const TaxAmounts* ownTaxes(int addition) const;
    int32_t ownBase(int addition) const;

    std::vector<SelectionPtr> selectedSides_;
    std::vector<Preparation> selectedPreparations_;

private:
    friend class StoredOrderLines; // reads many lines by column
    // The sides sorted by price, then recipe id: the order the allowance is used in. Totals ask
    // for it many times per refresh, so a line's few sides are sorted in place, not on the heap.
    class SideOrder;
    SideOrder sidesByPrice() const;
    bool isSameSide(const Selection& side, const Selection& other) const;

    Text remoteId_, itemId_, recipeId_, menuId_, referenceId_, name_, comment_;
    int32_t price_ = 0, additionPrice_ = 0, seat_ = 0, course_ = 0, quantity_ = 1, multiplier_ = 100;
    int32_t includedSides_ = 0, defaultSideCount_ = 0;
    bool taxIncluded_ = false;
    Text compName_, compDescription_;
    int32_t compPercent_ = 0;
    Text compBy_, orderedBy_;
    int32_t newQuantity_ = 0, voidedQuantity_ = 0;
    bool isNew_ = true, modified_ = false;
    std::optional<Date> created_;
    std::optional<Date> deleted_;
    std::vector<std::string> taxExemptions_, defaultTaxExemptions_;
    TaxAmounts predefinedTaxes_, additionPredefinedTaxes_;
    LogObserver observer_;
};

} // namespace tavlo
