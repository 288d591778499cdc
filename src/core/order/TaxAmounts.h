#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavlo {

class XmlFields;

// Fixed per-unit tax amounts in cents by tax name. A line carries a handful at most, so a flat
// list beats a tree; totals ask it many times per refresh.
class TaxAmounts {
public:
    bool has(std::string_view name) const { return find(name) != nullptr; }
    // 0 when there is no entry.
    int32_t amount(std::string_view name) const {
        const auto* e = find(name);
        return e ? e->second : 0;
    }
    std::optional<int32_t> entry(std::string_view name) const {
        const auto* e = find(name);
        return e ? std::optional<int32_t>(e->second) : std::nullopt;
    }
    void set(const std::string& name, int32_t amount) {
        for (auto& e : entries_)
            if (e.first == name) {
                e.second = amount;
                return;
            }
        entries_.emplace_back(name, amount);
    }
    void remove(std::string_view name) {
        std::erase_if(entries_, [&](const auto& e) { return e.first == name; });
    }
    bool empty() const { return entries_.empty(); }
    size_t size() const { return entries_.size(); }
    void clear() { entries_.clear(); }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

    // Sets the amount of each of the parent's run of `element` children, as the server's order
    // document lists them (`taxName`, `amount`); an entry without a tax name is passed over.
    void read(const XmlFields& parent, std::string_view element);

private:
    const std::pair<std::string, int32_t>* find(std::string_view name) const {
        for (const auto& e : entries_)
            if (e.first == name) return &e;
        return nullptr;
    }
    std::vector<std::pair<std::string, int32_t>> entries_;
};

} // namespace tavlo
