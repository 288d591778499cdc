#include "platform/store/HeldRows.h"

#include "platform/store/KeyHome.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace tavlo {

namespace {

void putNumber(std::vector<uint8_t>& out, uint64_t n) {
    while (n >= 0x80) {
        out.push_back(static_cast<uint8_t>(n | 0x80));
        n >>= 7;
    }
    out.push_back(static_cast<uint8_t>(n));
}

void putSigned(std::vector<uint8_t>& out, int64_t n) {
    putNumber(out, (static_cast<uint64_t>(n) << 1) ^ static_cast<uint64_t>(n >> 63));
}

void putBytes(std::vector<uint8_t>& out, const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    out.insert(out.end(), bytes, bytes + size);
}

class Reader {
public:
    explicit Reader(const uint8_t* at) : at_(at) {}
    uint8_t byte() { return *at_++; }
    uint64_t number() {
        uint64_t n = 0;
        for (int shift = 0;; shift += 7) {
            uint8_t b = *at_++;
            n |= static_cast<uint64_t>(b & 0x7F) << shift;
            if (!(b & 0x80)) return n;
        }
    }
    int64_t signedNumber() {
        uint64_t n = number();
        return static_cast<int64_t>((n >> 1) ^ (~(n & 1) + 1));
    }
    double real() {
        double d;
        std::memcpy(&d, at_, sizeof d);
        at_ += sizeof d;
        return d;
    }
    const uint8_t* at() const { return at_; }
    const uint8_t* skip(size_t n) {
        const uint8_t* from = at_;
        at_ += n;
        return from;
    }

private:
    const uint8_t* at_;
};

void putValue(std::vector<uint8_t>& out, const Value& v) {
    out.push_back(static_cast<uint8_t>(v.kind()));
    switch (v.kind()) {
    case Value::Kind::Nil: break;
    case Value::Kind::Integer: putSigned(out, v.integer()); break;
    case Value::Kind::Boolean: out.push_back(v.boolean() ? 1 : 0); break;
    case Value::Kind::Real: {
        double d = v.real();
        putBytes(out, &d, sizeof d);
        break;
    }
    case Value::Kind::Date: {
        double d = v.date()->timeIntervalSince1970();
        putBytes(out, &d, sizeof d);
        break;
    }
    case Value::Kind::Text: {
        const std::string& text = *v.textPointer();
        putNumber(out, text.size());
        putBytes(out, text.data(), text.size());
        break;
    }
    case Value::Kind::Binary: {
        Bytes bytes = *v.binary();
        putNumber(out, bytes.size());
        putBytes(out, bytes.data(), bytes.size());
        break;
    }
    }
}

void skipValue(Reader& in) {
    switch (static_cast<Value::Kind>(in.byte())) {
    case Value::Kind::Nil: break;
    case Value::Kind::Integer: in.number(); break;
    case Value::Kind::Boolean: in.byte(); break;
    case Value::Kind::Real:
    case Value::Kind::Date: in.skip(sizeof(double)); break;
    case Value::Kind::Text:
    case Value::Kind::Binary: in.skip(in.number()); break;
    }
}

void unpack(const uint8_t* row, std::vector<Value>& values, std::vector<int64_t>& toOnes) {
    HeldRows::Packed in(row);
    for (Value& v : values) {
        const HeldRows::Packed::Part part = in.value();
        switch (part.kind) {
        case Value::Kind::Nil: v = Value(); break;
        case Value::Kind::Integer: v = Value(part.integer); break;
        case Value::Kind::Boolean: v = Value(part.integer != 0); break;
        case Value::Kind::Real: v = Value(part.real); break;
        case Value::Kind::Date: v = Value(Date(part.real)); break;
        case Value::Kind::Text: v = Value(std::string(part.bytes)); break;
        case Value::Kind::Binary: {
            const auto* bytes = reinterpret_cast<const uint8_t*>(part.bytes.data());
            v = Value(Bytes(bytes, bytes + part.bytes.size()));
            break;
        }
        }
    }
    for (int64_t& k : toOnes) k = in.key();
}

} // namespace

HeldRows::Packed::Part HeldRows::Packed::value() {
    Reader in(at_);
    Part part;
    part.kind = static_cast<Value::Kind>(in.byte());
    switch (part.kind) {
    case Value::Kind::Nil: break;
    case Value::Kind::Integer: part.integer = in.signedNumber(); break;
    case Value::Kind::Boolean: part.integer = in.byte() != 0; break;
    case Value::Kind::Real:
    case Value::Kind::Date: part.real = in.real(); break;
    case Value::Kind::Text:
    case Value::Kind::Binary: {
        const size_t size = in.number();
        part.bytes = std::string_view(reinterpret_cast<const char*>(in.skip(size)), size);
        break;
    }
    }
    at_ = in.at();
    return part;
}

int64_t HeldRows::Packed::key() {
    Reader in(at_);
    const int64_t key = in.signedNumber();
    at_ = in.at();
    return key;
}

void HeldRows::put(int64_t key, const std::vector<Value>& values, const std::vector<int64_t>& toOnes) {
    thread_local std::vector<uint8_t> out;
    out.clear();
    for (const Value& v : values) putValue(out, v);
    for (int64_t k : toOnes) putSigned(out, k);
    keep(key, out);
}

bool HeldRows::rewrite(int64_t key, const std::vector<const Value*>& values, const std::vector<int64_t>& toOnes) {
    if (slots_.empty()) return false;
    const uint8_t* row = slots_[slotOf(key)].bytes;
    if (!row) return false;
    thread_local std::vector<uint8_t> out;
    out.clear();
    // Runs of values kept are copied whole.
    Reader in(row);
    const uint8_t* kept = row;
    for (const Value* v : values) {
        if (!v) {
            skipValue(in);
            continue;
        }
        out.insert(out.end(), kept, in.at());
        skipValue(in);
        putValue(out, *v);
        kept = in.at();
    }
    out.insert(out.end(), kept, in.at());
    for (int64_t k : toOnes) putSigned(out, k);
    keep(key, out);
    return true;
}

void HeldRows::keep(int64_t key, const std::vector<uint8_t>& row) {
    if (2 * (size_ + 1) > slots_.size()) grow();
    compactWhenDue();
    Slot& slot = slots_[slotOf(key)];
    if (slot.bytes) forget(slot.bytes);
    else ++size_;
    slot.key = key;
    slot.bytes = place(row.data(), static_cast<uint32_t>(row.size()));
}

uint32_t HeldRows::sizeOf(const uint8_t* row) {
    uint32_t size;
    std::memcpy(&size, row - sizeof size, sizeof size);
    return size;
}

uint8_t* HeldRows::place(const uint8_t* row, uint32_t size) {
    // Blocks well below the size the allocator maps on its own, so that a block let go serves
    // the next one.
    constexpr size_t kBlock = 64 * 1024 - 64;
    const size_t needed = sizeof size + size;
    if (needed > room_) {
        room_ = std::max(kBlock, needed);
        blocks_.push_back(std::make_unique_for_overwrite<uint8_t[]>(room_));
        free_ = blocks_.back().get();
    }
    std::memcpy(free_, &size, sizeof size);
    uint8_t* placed = free_ + sizeof size;
    std::memcpy(placed, row, size);
    free_ += needed;
    room_ -= needed;
    liveBytes_ += needed;
    return placed;
}

void HeldRows::forget(const uint8_t* row) {
    const size_t bytes = sizeof(uint32_t) + sizeOf(row);
    liveBytes_ -= bytes;
    deadBytes_ += bytes;
}

void HeldRows::compactWhenDue() {
    if (2 * deadBytes_ <= liveBytes_ || deadBytes_ < 64 * 1024) return;
    std::vector<std::unique_ptr<uint8_t[]>> old;
    old.swap(blocks_);
    free_ = nullptr;
    room_ = liveBytes_ = deadBytes_ = 0;
    for (Slot& slot : slots_)
        if (slot.bytes) slot.bytes = place(slot.bytes, sizeOf(slot.bytes));
}

bool HeldRows::readToOnes(int64_t key, size_t values, std::vector<int64_t>& toOnes) const {
    if (slots_.empty()) return false;
    const Slot& slot = slots_[slotOf(key)];
    if (!slot.bytes) return false;
    Reader in(slot.bytes);
    for (size_t v = 0; v < values; ++v) skipValue(in);
    for (int64_t& k : toOnes) k = in.signedNumber();
    return true;
}

bool HeldRows::take(int64_t key, std::vector<Value>& values, std::vector<int64_t>& toOnes) {
    if (slots_.empty()) return false;
    size_t at = slotOf(key);
    if (!slots_[at].bytes) return false;
    unpack(slots_[at].bytes, values, toOnes);
    remove(at);
    return true;
}

void HeldRows::remove(size_t at) {
    forget(slots_[at].bytes);
    slots_[at] = Slot{};
    if (--size_ == 0) {
        clear(); // the last row: its blocks go at once
        return;
    }
    // The rows after the freed slot whose probe passes it move back into it, so that every
    // look-up still meets its row before an empty slot.
    const size_t mask = slots_.size() - 1;
    size_t hole = at;
    for (size_t next = (hole + 1) & mask; slots_[next].bytes; next = (next + 1) & mask) {
        const size_t home = keyHome(slots_[next].key, mask);
        const bool staysPut = hole <= next ? hole < home && home <= next : hole < home || home <= next;
        if (staysPut) continue;
        slots_[hole] = slots_[next];
        slots_[next] = Slot{};
        hole = next;
    }
}

size_t HeldRows::slotOf(int64_t key) const {
    const size_t mask = slots_.size() - 1;
    size_t at = keyHome(key, mask);
    while (slots_[at].bytes && slots_[at].key != key) at = (at + 1) & mask;
    return at;
}

void HeldRows::grow() {
    std::vector<Slot> old(std::max<size_t>(16, 2 * slots_.size()));
    old.swap(slots_);
    const size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (!slot.bytes) continue;
        size_t at = keyHome(slot.key, mask);
        while (slots_[at].bytes) at = (at + 1) & mask;
        slots_[at] = slot;
    }
}

void HeldRows::clear() {
    slots_.clear();
    size_ = 0;
    blocks_.clear();
    free_ = nullptr;
    room_ = liveBytes_ = deadBytes_ = 0;
}

} // namespace tavlo
