// Stored orders read by column for their figures: per level of lines one statement per list,
// the values set as Order::read and Selection::read set them.
#include "core/order/StoredOrders.h"

#include "core/order/ComboSelection.h"
#include "platform/store/ObjectContext.h"

#include <algorithm>
#include <array>
#include <map>
#include <numeric>
#include <unordered_map>

namespace tavlo {

namespace {

using Text = std::optional<std::string>;

// One table of rows read by column position.
class Table {
public:
    explicit Table(StoredRows rows) : rows_(std::move(rows)) {}
    size_t size() const { return rows_.size(); }
    int64_t key(size_t row) const { return rows_.key(row); }
    Text text(size_t row, size_t column) const { return rows_.text(row, column); }
    // Sets `field` to the text at `row`, `column`, made in place.
    void setText(Text& field, size_t row, size_t column) const {
        if (std::optional<std::string_view> text = rows_.textView(row, column)) field.emplace(*text);
        else field.reset();
    }
    int32_t int32(size_t row, size_t column) const { return static_cast<int32_t>(rows_.integer(row, column)); }
    bool boolean(size_t row, size_t column) const { return rows_.boolean(row, column); }
    bool isNil(size_t row, size_t column) const { return rows_.isNil(row, column); }
    std::optional<Date> date(size_t row, size_t column) const { return rows_.date(row, column); }
    // The key of the row the to-one read at `column` names; 0 for none.
    int64_t link(size_t row, size_t column) const { return rows_.integer(row, column); }
    bool linked(size_t row, size_t column) const { return link(row, column) != 0; }
    // The row of `key` in a table read by keys (in key order); nullopt when none.
    std::optional<size_t> rowOf(int64_t key) const {
        size_t from = 0, to = size();
        while (from < to) {
            const size_t middle = from + (to - from) / 2;
            if (rows_.key(middle) < key) from = middle + 1;
            else to = middle;
        }
        if (from < size() && rows_.key(from) == key) return from;
        return std::nullopt;
    }
    // Calls `each` with every row of the owner, in key order. Owners asked for in key order are
    // found where the one before ended, past a few rows of owners not asked for (the lines between
    // the sides asked for), without a search.
    template <typename Each> void forOwner(int64_t owner, Each each) const {
        constexpr size_t kSkipped = 4;
        size_t from = next_;
        for (size_t skipped = 0; skipped < kSkipped && from < size() && rows_.owner(from) < owner; ++skipped) ++from;
        const bool there = from <= size() && (from == size() || rows_.owner(from) >= owner) &&
                           (from == 0 || rows_.owner(from - 1) < owner);
        if (!there) from = rows_.rowsOf(owner).first;
        size_t to = from;
        while (to < size() && rows_.owner(to) == owner) ++to;
        next_ = to;
        for (size_t row = from; row < to; ++row) each(row);
    }

private:
    StoredRows rows_;
    mutable size_t next_ = 0; // the row after the last owner's
};

// The columns of a line that a figure or report uses, by position: what Selection::read reads
// but the seat, the course, who ordered it, its comment and its comp's description.
enum LineColumn : size_t {
    kRemoteId,
    kName,
    kMenuId,
    kMultiplier,
    kPrice,
    kAdditionPrice,
    kQuantity,
    kIncludedSides,
    kDefaultSideCount,
    kCreated,
    kDeleteDate,
    kTaxIncluded,
    kRecipe,
    kIsCombo,
    kCompBy,
    kCompName,
    kCompPercentage,
    kLineColumns
};
const std::vector<std::string> kLineProperties = [] {
    const std::array<const char*, kLineColumns> names = {"remoteId",
                                                         "name",
                                                         "menuId",
                                                         "multiplier",
                                                         "price",
                                                         "additionPrice",
                                                         "quantity",
                                                         "includedSides",
                                                         "defaultSideCount",
                                                         "created",
                                                         "deleteDate",
                                                         "taxIncluded",
                                                         "recipe",
                                                         "isCombo",
                                                         "complimentaryBy",
                                                         "complimentaryName",
                                                         "complimentaryPercentage"};
    return std::vector<std::string>(names.begin(), names.end());
}();

// Puts keys in order; most come so.
void sortKeys(std::vector<int64_t>::iterator from, std::vector<int64_t>::iterator to) {
    if (!std::is_sorted(from, to)) std::sort(from, to);
}

// A side's link (SelectionSide) read with its side's line: the line's kLineProperties through the
// link's to-one, then the to-one itself (the line's key) at kSideKey.
constexpr size_t kSideKey = kLineColumns;
const std::vector<std::string> kSideProperties = [] {
    std::vector<std::string> properties;
    for (const std::string& property : kLineProperties) properties.push_back("sideSelection." + property);
    properties.push_back("sideSelection");
    return properties;
}();

// A text of the rows many rows name by a to-one (a recipe's id, a user's id): read once per row
// named, for all that name it, instead of joined to each.
class LinkedTexts {
public:
    LinkedTexts(ObjectContext& context, const char* entity, const char* attribute, Error* error)
        : context_(context), entity_(entity), attribute_(attribute), error_(error) {}

    // Reads the texts of the rows that `column` of `table` names and that are not known yet.
    void learn(const Table& table, size_t column) {
        std::vector<int64_t> keys;
        int64_t last = 0; // rows in turn mostly name the same row
        for (size_t row = 0; row < table.size(); ++row) {
            const int64_t key = table.link(row, column);
            if (key == last) continue;
            last = key;
            if (key && !texts_.count(key)) keys.push_back(key);
        }
        if (keys.empty()) return;
        const Table named(context_.fetchRows(entity_, keys, {attribute_}, error_));
        for (size_t row = 0; row < named.size(); ++row) texts_.emplace(named.key(row), named.text(row, 0));
        for (int64_t key : keys) texts_.try_emplace(key); // a row gone reads as nil
    }
    // The text of the row `column` of `table` names at `row`; nil when it names none.
    Text text(const Table& table, size_t row, size_t column) const {
        auto it = texts_.find(table.link(row, column));
        return it == texts_.end() ? Text() : it->second;
    }

private:
    ObjectContext& context_;
    const char* entity_;
    std::string attribute_;
    Error* error_;
    std::unordered_map<int64_t, Text> texts_;
};

// The rows of `entity` that `column` of `table` names, read once for all the rows that name them
// instead of joined to each.
Table linkedRows(ObjectContext& context, const Table& table, size_t column, std::string_view entity,
                 const std::vector<std::string>& properties, Error* error) {
    std::vector<int64_t> keys;
    for (size_t row = 0; row < table.size(); ++row)
        if (int64_t key = table.link(row, column)) keys.push_back(key);
    return Table(context.fetchRows(entity, keys, properties, error));
}

} // namespace

// The orders' lines with their sides and combo parts, their scalars set as rows are made. The
// parts are read a level at a time (the sides and parts of the lines made before), then the lists
// of every line of every level at once: a part's key lies among its parent's, so one read of
// keys close together serves them all.
class StoredOrderLines {
public:
    StoredOrderLines(ObjectContext& context, Error* error)
        : context_(context), error_(error), recipeIds_(context, "Recipe", "recipeId", error),
          compedBy_(context, "User", "userId", error), preparationIds_(context, "Preparation", "preparationId", error) {
    }

    // Reads what the lines of `lines` (of kLineProperties) name, before they are made.
    void learn(const Table& lines) {
        recipeIds_.learn(lines, kRecipe);
        compedBy_.learn(lines, kCompBy);
    }
    // A line from row `row` of `lines`, learnt, the line's row having `key`; `combo` when it may
    // be a combo.
    SelectionPtr make(const Table& lines, size_t row, int64_t key, bool combo) {
        const std::optional<Date> created = lines.date(row, kCreated);
        std::shared_ptr<ComboSelection> asCombo;
        if (combo && lines.boolean(row, kIsCombo)) asCombo = std::make_shared<ComboSelection>(created);
        SelectionPtr line = asCombo ? SelectionPtr(asCombo) : std::make_shared<Selection>(created);
        Selection& s = *line;
        lines.setText(s.remoteId_, row, kRemoteId);
        lines.setText(s.name_, row, kName);
        lines.setText(s.menuId_, row, kMenuId);
        s.multiplier_ = lines.int32(row, kMultiplier);
        s.price_ = lines.int32(row, kPrice);
        s.additionPrice_ = lines.int32(row, kAdditionPrice);
        s.quantity_ = lines.int32(row, kQuantity);
        s.includedSides_ = lines.int32(row, kIncludedSides);
        s.defaultSideCount_ = lines.int32(row, kDefaultSideCount);
        s.deleted_ = lines.date(row, kDeleteDate);
        s.taxIncluded_ = lines.boolean(row, kTaxIncluded);
        if (lines.linked(row, kRecipe)) s.recipeId_ = recipeIds_.text(lines, row, kRecipe);
        if (lines.linked(row, kCompBy)) {
            lines.setText(s.compName_, row, kCompName);
            s.compBy_ = compedBy_.text(lines, row, kCompBy);
            s.compPercent_ = lines.int32(row, kCompPercentage);
        }
        s.isNew_ = false;
        s.modified_ = false;
        made_.push_back({key, &s, asCombo.get()});
        return line;
    }

    // Reads the parts of the lines made, level by level until none is left, then their lists.
    void readPartsAndLists() {
        std::vector<size_t> levels; // where each level of made_ ends
        for (size_t from = 0; from < made_.size();) {
            const size_t to = made_.size();
            readParts(from, to);
            levels.push_back(to);
            from = to;
        }
        readLists(levels);
    }

private:
    // A line made, with its row's key; `combo` is the line as a combo, null for another line.
    struct Made {
        int64_t key;
        Selection* line;
        ComboSelection* combo;
    };

    Table members(std::string_view relationship, const std::vector<int64_t>& owners,
                  const std::vector<std::string>& properties, std::string_view entity = "Selection") {
        return Table(context_.fetchMembers(entity, relationship, owners, properties, error_));
    }

    // The sides and combo parts of the lines made_[from, to), made as the next level. The sides
    // are read with their links, in one statement: their columns through the link's to-one.
    void readParts(size_t from, size_t to) {
        std::vector<int64_t> keys, combos;
        for (size_t i = from; i < to; ++i) {
            keys.push_back(made_[i].key);
            if (made_[i].combo) combos.push_back(made_[i].key);
        }
        sortKeys(keys.begin(), keys.end());
        readSides(keys);
        const Table& sides = *sides_;
        const Table comboLinks = members("comboSelections", combos, {"comboSelection", "groupId"});
        // A side whose every column reads nil may be a link to a row gone: read by its key, with
        // the combo parts, it is made only if it is there.
        auto linkedRowGone = [&](size_t row) {
            for (size_t column = 0; column < kLineColumns; ++column)
                if (!sides.isNil(row, column)) return false;
            return true;
        };
        std::vector<int64_t> next;
        for (int64_t key : keys)
            sides.forOwner(key, [&](size_t row) {
                if (linkedRowGone(row)) next.push_back(sides.link(row, kSideKey));
            });
        for (size_t row = 0; row < comboLinks.size(); ++row) next.push_back(comboLinks.link(row, 0));
        const Table parts(context_.fetchRows("Selection", next, kLineProperties, error_));
        learn(parts);
        for (size_t i = from; i < to; ++i) {
            const Made made = made_[i]; // make() adds to made_
            sides.forOwner(made.key, [&](size_t row) {
                const int64_t key = sides.link(row, kSideKey);
                if (!key) return;
                if (!linkedRowGone(row)) made.line->selectedSides_.push_back(make(sides, row, key, false));
                else if (std::optional<size_t> part = parts.rowOf(key))
                    made.line->selectedSides_.push_back(make(parts, *part, key, false));
            });
            if (!made.combo) continue;
            comboLinks.forOwner(made.key, [&](size_t row) {
                std::optional<size_t> part = parts.rowOf(comboLinks.link(row, 0));
                if (!part) return;
                SelectionPtr component = make(parts, *part, parts.key(*part), false);
                Text group = comboLinks.text(row, 1);
                if (group && !group->empty()) made.combo->addSelection(component, *group);
                else made.combo->addSelection(component);
            });
            made.combo->setModified(false);
        }
    }

    // Makes sides_ hold the sides of the lines of `keys` (in order). The lines of a day lie close
    // together by key, their sides among them: the sides of every key from the first to the last
    // are read at once, the sides' own sides with them, for the next level to find read.
    void readSides(const std::vector<int64_t>& keys) {
        if (keys.empty()) {
            if (!sides_) sides_.emplace(StoredRows(kSideProperties));
            return;
        }
        if (sides_ && std::all_of(keys.begin(), keys.end(), [&](int64_t key) {
                return std::binary_search(sidesOf_.begin(), sidesOf_.end(), key);
            }))
            return;
        sidesOf_ = keys;
        if (const int64_t span = keys.back() - keys.front() + 1;
            span <= kDenseSpan * static_cast<int64_t>(keys.size())) {
            sidesOf_.resize(static_cast<size_t>(span));
            std::iota(sidesOf_.begin(), sidesOf_.end(), keys.front());
        }
        sides_.emplace(context_.fetchMembers("Selection", "sides", sidesOf_, kSideProperties, error_));
        learn(*sides_);
    }

    // The preparations, exemptions and fixed taxes of every line made.
    void readLists(const std::vector<size_t>& levels) {
        // The keys in order once, not sorted again by each read: each level in order (mostly
        // already so) merged into those before it.
        std::vector<int64_t> keys;
        for (const Made& made : made_) keys.push_back(made.key);
        size_t from = 0;
        for (size_t to : levels) {
            sortKeys(keys.begin() + static_cast<std::ptrdiff_t>(from), keys.begin() + static_cast<std::ptrdiff_t>(to));
            std::inplace_merge(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(from),
                               keys.begin() + static_cast<std::ptrdiff_t>(to));
            from = to;
        }
        const Table preparations = members("preparations", keys, {"preparation", "charge"});
        preparationIds_.learn(preparations, 0);
        std::vector<int64_t> preparationKeys;
        for (size_t row = 0; row < preparations.size(); ++row) preparationKeys.push_back(preparations.key(row));
        const Table preparationTaxes = members("taxes", preparationKeys, {"taxName", "amount"}, "SelectionPreparation");
        const Table exemptions = members("taxExemptions", keys, {"taxName"});
        const Table defaultExemptions = members("defaultTaxExemptions", keys, {"taxName"});
        const Table taxes = members("taxes", keys, {"taxName", "amount", "amountAddition"});
        for (const Made& made : made_) {
            Selection& s = *made.line;
            preparations.forOwner(made.key, [&](size_t row) {
                Preparation p;
                p.setPreparationId(preparationIds_.text(preparations, row, 0));
                p.setCharge(preparations.int32(row, 1));
                preparationTaxes.forOwner(preparations.key(row), [&](size_t tax) {
                    if (Text name = preparationTaxes.text(tax, 0))
                        p.setPredefinedTax(preparationTaxes.int32(tax, 1), *name);
                });
                s.selectedPreparations_.push_back(std::move(p));
            });
            exemptions.forOwner(made.key, [&](size_t row) {
                if (Text name = exemptions.text(row, 0)) s.taxExemptions_.push_back(*name);
            });
            defaultExemptions.forOwner(made.key, [&](size_t row) {
                if (Text name = defaultExemptions.text(row, 0)) s.defaultTaxExemptions_.push_back(*name);
            });
            taxes.forOwner(made.key, [&](size_t row) {
                Text name = taxes.text(row, 0);
                if (!name) return;
                if (!taxes.isNil(row, 1)) s.predefinedTaxes_.set(*name, taxes.int32(row, 1));
                if (!taxes.isNil(row, 2)) s.additionPredefinedTaxes_.set(*name, taxes.int32(row, 2));
            });
        }
    }

    ObjectContext& context_;
    Error* error_;
    LinkedTexts recipeIds_, compedBy_, preparationIds_;
    std::vector<Made> made_;
    // The sides read (kSideProperties) and the keys of the lines they are the sides of, in order.
    static constexpr int64_t kDenseSpan = 4; // keys spread wider are asked for one by one
    std::optional<Table> sides_;
    std::vector<int64_t> sidesOf_;
};

std::vector<std::unique_ptr<Order>> StoredOrders::read(ObjectContext& context, const FetchRequest& request,
                                                       Error* error) {
    // The header's columns, by position.
    enum : size_t { kRemote, kType, kSeats, kTaxOverride, kMinSeats, kPercent, kTotal, kTable, kTerminal };
    const Table rows(context.fetchRows(request,
                                       {"remoteId", "type", "seats", "taxOverride", "gratuityMinSeats",
                                        "gratuityPercent", "total", "areaLocation", "terminal"},
                                       error));
    // The tables and terminals the orders name (a few for the day), each with its area.
    enum : size_t { kTableId, kTableArea, kTableAreaId };
    enum : size_t { kTerminalArea, kTerminalAreaId };
    const Table tables =
        linkedRows(context, rows, kTable, "AreaLocation", {"areaLocationId", "area", "area.areaId"}, error);
    const Table terminals = linkedRows(context, rows, kTerminal, "Terminal", {"area", "area.areaId"}, error);
    std::vector<std::unique_ptr<Order>> orders;
    std::vector<int64_t> keys;
    std::map<Text, OrderType> types; // the type of each label, worked out once
    for (size_t row = 0; row < rows.size(); ++row) {
        auto order = std::make_unique<Order>();
        Order& o = *order;
        rows.setText(o.remoteId_, row, kRemote);
        Text type = rows.text(row, kType);
        auto known = types.find(type);
        if (known == types.end()) known = types.emplace(type, Order::typeFromXMLLabel(type)).first;
        o.orderType_ = known->second;
        o.seats_ = rows.int32(row, kSeats);
        o.taxOverride_ = rows.boolean(row, kTaxOverride);
        o.gratuityMinSeats_ = rows.int32(row, kMinSeats);
        o.gratuityPercentage_ = rows.int32(row, kPercent);
        o.summaryTotal_ = rows.int32(row, kTotal);
        if (rows.linked(row, kTable)) {
            if (std::optional<size_t> table = tables.rowOf(rows.link(row, kTable))) {
                o.areaLocationId_ = tables.text(*table, kTableId);
                if (tables.linked(*table, kTableArea)) o.areaId_ = tables.text(*table, kTableAreaId);
            }
        } else if (std::optional<size_t> terminal = terminals.rowOf(rows.link(row, kTerminal))) {
            if (terminals.linked(*terminal, kTerminalArea)) o.areaId_ = terminals.text(*terminal, kTerminalAreaId);
        }
        o.isNew_ = false;
        o.modified_ = false;
        keys.push_back(rows.key(row));
        orders.push_back(std::move(order));
    }

    const Table taxes(context.fetchMembers("Order", "orderTaxes", keys,
                                           {"taxId", "name", "percentage", "roundingMethod", "beforeLoyalty"}, error));
    enum : size_t { kPaymentId, kTender, kSubTotal, kTip, kGratuity, kChange, kCard, kVoided, kVoidBy };
    const Table payments(context.fetchMembers(
        "Order", "payments", keys,
        {"remoteId", "type", "subTotal", "tip", "gratuity", "change", "cardType", "voided", "voidBy"}, error));
    LinkedTexts voidedBy(context, "User", "userId", error);
    voidedBy.learn(payments, kVoidBy);
    const Table discounts(context.fetchMembers("Order", "discounts", keys, {"remoteId", "name", "amount"}, error));
    const Table lines(context.fetchMembers("Order", "selections", keys, kLineProperties, error));
    StoredOrderLines lineReader(context, error);
    lineReader.learn(lines);
    std::vector<size_t> own; // an order's lines
    for (size_t i = 0; i < orders.size(); ++i) {
        Order& o = *orders[i];
        taxes.forOwner(keys[i], [&](size_t row) {
            OrderTax tax(taxes.text(row, 1), taxes.int32(row, 2), taxes.text(row, 3), taxes.text(row, 0));
            tax.setBeforeLoyalty(taxes.boolean(row, 4));
            o.taxes_.push_back(std::move(tax));
        });
        // Lines by creation, in key order among equal times, as Order::read sorts them.
        own.clear();
        lines.forOwner(keys[i], [&](size_t row) { own.push_back(row); });
        auto earlier = [&](size_t a, size_t b) { return lines.date(a, kCreated) < lines.date(b, kCreated); };
        if (!std::is_sorted(own.begin(), own.end(), earlier)) std::stable_sort(own.begin(), own.end(), earlier);
        o.selections_.reserve(own.size());
        for (size_t row : own) {
            SelectionPtr line = lineReader.make(lines, row, lines.key(row), true);
            o.observe(line);
            o.selections_.push_back(line);
        }
        payments.forOwner(keys[i], [&](size_t row) {
            auto p = std::make_shared<Payment>(std::nullopt);
            p->setRemoteId(payments.text(row, kPaymentId));
            p->setType(payments.int32(row, kTender));
            p->setSubTotal(payments.int32(row, kSubTotal));
            p->setTip(payments.int32(row, kTip));
            p->setGratuity(payments.int32(row, kGratuity));
            p->setChange(payments.int32(row, kChange));
            p->setCardType(payments.text(row, kCard));
            if (payments.linked(row, kVoidBy)) {
                p->setVoided(payments.date(row, kVoided));
                p->setVoidBy(voidedBy.text(payments, row, kVoidBy));
            }
            p->setNew(false);
            p->setModified(false);
            o.payments_.push_back(std::move(p));
        });
        discounts.forOwner(keys[i], [&](size_t row) {
            auto d = std::make_shared<OrderDiscount>();
            d->setRemoteId(discounts.text(row, 0));
            d->setName(discounts.text(row, 1));
            d->setAmount(discounts.int32(row, 2));
            d->setNew(false);
            o.discounts_.push_back(std::move(d));
        });
    }
    lineReader.readPartsAndLists();
    return orders;
}

} // namespace tavlo
