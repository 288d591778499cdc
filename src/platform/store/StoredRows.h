#pragma once

#include "platform/store/Value.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo {

// Stored rows of one entity as a table of values, without objects: each row's key (and, for the
// members of lists, its owner's key), then one value per property asked for (an attribute, a
// to-one as its target's key, 0 for none, or a key path along to-ones, nil along an empty one).
// What ObjectContext::fetchRows and fetchMembers answer. Numbers and dates are kept as such and
// texts in one buffer, so that a table of many rows costs a few allocations, not one per value.
class StoredRows {
public:
    StoredRows() = default;
    explicit StoredRows(std::vector<std::string> properties) : properties_(std::move(properties)) {}

    size_t size() const { return keys_.size(); }
    bool empty() const { return keys_.empty(); }
    const std::vector<std::string>& properties() const { return properties_; }
    // The position of a property among those asked for; one not asked for throws
    // std::invalid_argument (a reader asking for a value it never fetched is a fault).
    size_t column(std::string_view property) const {
        for (size_t i = 0; i < properties_.size(); ++i)
            if (properties_[i] == property) return i;
        throw std::invalid_argument("Property not fetched: " + std::string(property));
    }

    int64_t key(size_t row) const { return keys_[row]; }
    // The owner's key of a member read by its list; 0 for rows read otherwise.
    int64_t owner(size_t row) const { return owners_.empty() ? 0 : owners_[row]; }
    // The rows [first, end) of one owner; the rows come by owner (fetchMembers).
    std::pair<size_t, size_t> rowsOf(int64_t owner) const {
        auto [from, to] = std::equal_range(owners_.begin(), owners_.end(), owner);
        return {static_cast<size_t>(from - owners_.begin()), static_cast<size_t>(to - owners_.begin())};
    }

    // A value, read as Value reads (nil as 0, NO, nullopt).
    Value value(size_t row, size_t column) const {
        const Cell& c = cell(row, column);
        switch (c.kind) {
        case Value::Kind::Nil: return {};
        case Value::Kind::Integer: return c.number;
        case Value::Kind::Boolean: return c.number != 0;
        case Value::Kind::Real: return realOf(c);
        case Value::Kind::Date: return Date(realOf(c));
        case Value::Kind::Text: return std::string(textOf(c));
        case Value::Kind::Binary: return others_[static_cast<size_t>(c.number)];
        }
        return {};
    }
    bool isNil(size_t row, size_t column) const { return cell(row, column).kind == Value::Kind::Nil; }
    int64_t integer(size_t row, size_t column) const {
        const Cell& c = cell(row, column);
        if (c.kind == Value::Kind::Integer || c.kind == Value::Kind::Boolean) return c.number;
        return c.kind == Value::Kind::Nil ? 0 : value(row, column).integer();
    }
    bool boolean(size_t row, size_t column) const {
        const Cell& c = cell(row, column);
        if (c.kind == Value::Kind::Integer || c.kind == Value::Kind::Boolean) return c.number != 0;
        return c.kind == Value::Kind::Nil ? false : value(row, column).boolean();
    }
    // A text value; nullopt for every other kind.
    std::optional<std::string> text(size_t row, size_t column) const {
        const Cell& c = cell(row, column);
        if (c.kind != Value::Kind::Text) return std::nullopt;
        return std::string(textOf(c));
    }
    // The same, seen where the table keeps it (while the table lives and is not refilled).
    std::optional<std::string_view> textView(size_t row, size_t column) const {
        const Cell& c = cell(row, column);
        if (c.kind != Value::Kind::Text) return std::nullopt;
        return textOf(c);
    }
    std::optional<Date> date(size_t row, size_t column) const {
        const Cell& c = cell(row, column);
        if (c.kind != Value::Kind::Date) return std::nullopt;
        return Date(realOf(c));
    }

    // Filling, for the context that reads them: emptied (keeping the room, for a table read again),
    // room for about that many rows, then a row's keys and each of its values in turn.
    void clear() {
        keys_.clear();
        owners_.clear();
        cells_.clear();
        texts_.clear();
        others_.clear();
    }
    void reserve(size_t rows) {
        keys_.reserve(rows);
        cells_.reserve(rows * properties_.size());
    }
    void add(int64_t key, int64_t owner) {
        keys_.push_back(key);
        if (owner) {
            if (owners_.size() + 1 < keys_.size()) owners_.resize(keys_.size() - 1, 0);
            owners_.push_back(owner);
        }
    }
    void addNil() { cells_.push_back({}); }
    void addInteger(int64_t v) { cells_.push_back({Value::Kind::Integer, v}); }
    void addBoolean(bool v) { cells_.push_back({Value::Kind::Boolean, v ? 1 : 0}); }
    void addReal(double v) { cells_.push_back({Value::Kind::Real, bitsOf(v)}); }
    void addDate(Date v) { cells_.push_back({Value::Kind::Date, bitsOf(v.timeIntervalSince1970())}); }
    void addText(std::string_view v) {
        cells_.push_back({Value::Kind::Text, static_cast<int64_t>(texts_.size() << 32 | v.size())});
        texts_.append(v);
    }
    void addValue(const Value& v) {
        switch (v.kind()) {
        case Value::Kind::Nil: return addNil();
        case Value::Kind::Integer: return addInteger(v.integer());
        case Value::Kind::Boolean: return addBoolean(v.boolean());
        case Value::Kind::Real: return addReal(v.real());
        case Value::Kind::Date: return addDate(*v.date());
        case Value::Kind::Text: return addText(*v.textPointer());
        case Value::Kind::Binary:
            cells_.push_back({Value::Kind::Binary, static_cast<int64_t>(others_.size())});
            others_.push_back(v);
            return;
        }
    }
    // Puts the rows in order of their owner's key, then their own.
    void sort() {
        std::vector<size_t> order(keys_.size());
        std::iota(order.begin(), order.end(), size_t{0});
        std::sort(order.begin(), order.end(),
                  [&](size_t a, size_t b) { return owner(a) != owner(b) ? owner(a) < owner(b) : keys_[a] < keys_[b]; });
        std::vector<int64_t> keys, owners;
        std::vector<Cell> cells;
        const size_t width = properties_.size();
        for (size_t row : order) {
            keys.push_back(keys_[row]);
            if (!owners_.empty()) owners.push_back(owners_[row]);
            cells.insert(cells.end(), cells_.begin() + static_cast<std::ptrdiff_t>(row * width),
                         cells_.begin() + static_cast<std::ptrdiff_t>((row + 1) * width));
        }
        keys_.swap(keys);
        owners_.swap(owners);
        cells_.swap(cells);
    }

private:
    // A number, a boolean, a real's or date's bits, a text's place in texts_ (offset << 32 | length)
    // or a binary's in others_.
    struct Cell {
        Value::Kind kind = Value::Kind::Nil;
        int64_t number = 0;
    };
    static int64_t bitsOf(double v) {
        int64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        return bits;
    }
    static double realOf(const Cell& c) {
        double v;
        std::memcpy(&v, &c.number, sizeof v);
        return v;
    }
    std::string_view textOf(const Cell& c) const {
        const auto place = static_cast<uint64_t>(c.number);
        return std::string_view(texts_).substr(place >> 32, place & 0xFFFFFFFFu);
    }
    const Cell& cell(size_t row, size_t column) const { return cells_[row * properties_.size() + column]; }

    std::vector<std::string> properties_;
    std::vector<int64_t> keys_, owners_;
    std::vector<Cell> cells_;
    std::string texts_;
    std::vector<Value> others_;
};

} // namespace tavlo
