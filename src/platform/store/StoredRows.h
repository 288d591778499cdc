#pragma once

#include "platform/store/Value.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo {

// Stored rows of one entity as a table of values, without objects: each row's key (and, for the
// members of lists, its owner's key), then one value per property asked for (an attribute, a
// to-one as its target's key, 0 for none, or a key path along to-ones, nil along an empty one).
// What ObjectContext::fetchRows and fetchMembers answer.
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
    const Value& value(size_t row, size_t column) const { return at(row * properties_.size() + column); }
    // The rows [first, end) of one owner; the rows come by owner (fetchMembers).
    std::pair<size_t, size_t> rowsOf(int64_t owner) const {
        auto [from, to] = std::equal_range(owners_.begin(), owners_.end(), owner);
        return {static_cast<size_t>(from - owners_.begin()), static_cast<size_t>(to - owners_.begin())};
    }

    // Filling, for the context that reads them.
    void add(int64_t key, int64_t owner) {
        keys_.push_back(key);
        if (owner) {
            owners_.resize(keys_.size() - 1, 0);
            owners_.push_back(owner);
        }
    }
    void addValue(Value value) {
        if (values_.empty() || values_.back().size() == kChunk) values_.emplace_back().reserve(kChunk);
        values_.back().push_back(std::move(value));
    }
    // Puts the rows in order of their owner's key, then their own.
    void sort() {
        std::vector<size_t> order(keys_.size());
        std::iota(order.begin(), order.end(), size_t{0});
        std::sort(order.begin(), order.end(),
                  [&](size_t a, size_t b) { return owner(a) != owner(b) ? owner(a) < owner(b) : keys_[a] < keys_[b]; });
        StoredRows sorted(properties_);
        for (size_t row : order) {
            sorted.add(keys_[row], owner(row));
            for (size_t c = 0; c < properties_.size(); ++c)
                sorted.addValue(std::move(at(row * properties_.size() + c)));
        }
        *this = std::move(sorted);
    }

private:
    // Values in chunks of a fixed size: they grow without moving the values read before.
    static constexpr size_t kChunk = 4096;
    Value& at(size_t i) { return values_[i / kChunk][i % kChunk]; }
    const Value& at(size_t i) const { return values_[i / kChunk][i % kChunk]; }

    std::vector<std::string> properties_;
    std::vector<int64_t> keys_, owners_;
    std::vector<std::vector<Value>> values_;
};

} // namespace tavlo
