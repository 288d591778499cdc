#include "platform/store/HeldRows.h"

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
    const uint8_t* skip(size_t n) {
        const uint8_t* from = at_;
        at_ += n;
        return from;
    }

private:
    const uint8_t* at_;
};

} // namespace

void HeldRows::put(int64_t key, const std::vector<Value>& values, const std::vector<int64_t>& toOnes) {
    thread_local std::vector<uint8_t> out;
    out.clear();
    for (const Value& v : values) {
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
    for (int64_t k : toOnes) putSigned(out, k);
    Packed& row = rows_[key];
    row.bytes = std::make_unique_for_overwrite<uint8_t[]>(out.size());
    std::memcpy(row.bytes.get(), out.data(), out.size());
    row.size = static_cast<uint32_t>(out.size());
}

bool HeldRows::take(int64_t key, std::vector<Value>& values, std::vector<int64_t>& toOnes) {
    auto found = rows_.find(key);
    if (found == rows_.end()) return false;
    Reader in(found->second.bytes.get());
    for (Value& v : values) {
        switch (static_cast<Value::Kind>(in.byte())) {
        case Value::Kind::Nil: v = Value(); break;
        case Value::Kind::Integer: v = Value(in.signedNumber()); break;
        case Value::Kind::Boolean: v = Value(in.byte() != 0); break;
        case Value::Kind::Real: v = Value(in.real()); break;
        case Value::Kind::Date: v = Value(Date(in.real())); break;
        case Value::Kind::Text: {
            size_t size = in.number();
            v = Value(std::string(reinterpret_cast<const char*>(in.skip(size)), size));
            break;
        }
        case Value::Kind::Binary: {
            size_t size = in.number();
            const uint8_t* bytes = in.skip(size);
            v = Value(Bytes(bytes, bytes + size));
            break;
        }
        }
    }
    for (int64_t& k : toOnes) k = in.signedNumber();
    rows_.erase(found);
    return true;
}

} // namespace tavlo
