#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavlo::jackmag {

// A growable list of signed bytes: the half-bit entries (+1 or -1) of one burst of signal.
class AByteList {
public:
    void add(int8_t value) { list_.push_back(value); }
    int8_t get(size_t index) const { return list_[index]; }
    size_t size() const { return list_.size(); }
    const std::vector<int8_t>& list() const { return list_; }

private:
    std::vector<int8_t> list_;
};

// Debug entries of the measured runs: where each run ended and how long it was, in samples.
class SDEntryList {
public:
    struct Entry {
        int32_t index = 0;
        double runLength = 0;
    };
    void add(int32_t index) { entries_.push_back({index, 0.0}); }
    const Entry& get(size_t index) const { return entries_[index]; }
    void updateAcc(double runLength) {
        if (!entries_.empty()) entries_.back().runLength = runLength;
    }
    size_t size() const { return entries_.size(); }

private:
    std::vector<Entry> entries_;
};

} // namespace tavlo::jackmag
