#pragma once

#include "platform/foundation/Clock.h"

#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tavlo {

using Bytes = std::vector<uint8_t>;

// One attribute value of a stored object: nil, a number, a text, a date or bytes.
class Value {
public:
    enum class Kind : uint8_t { Nil, Integer, Real, Boolean, Text, Date, Binary };

    Value() = default;
    Value(std::nullptr_t) {}
    Value(std::nullopt_t) {}
    Value(bool v) : data_(v) {}
    template <std::integral T>
    requires(!std::same_as<T, bool> && !std::same_as<T, char>) Value(T v) : data_(static_cast<int64_t>(v)) {}
    template <std::floating_point T> Value(T v) : data_(static_cast<double>(v)) {}
    Value(const char* v) {
        if (v) data_ = std::string(v);
    }
    Value(std::string v) : data_(std::move(v)) {}
    Value(std::string_view v) : data_(std::string(v)) {}
    Value(Date v) : data_(v) {}
    Value(Bytes v) : data_(std::move(v)) {}
    template <typename T>
    requires std::constructible_from<Value, const T&> Value(const std::optional<T>& v) {
        if (v) *this = Value(*v);
    }
    template <typename T>
    requires std::constructible_from<Value, T&&> Value(std::optional<T>&& v) {
        if (v) *this = Value(std::move(*v));
    }

    Kind kind() const { return static_cast<Kind>(data_.index()); }
    bool isNil() const { return kind() == Kind::Nil; }
    bool isNumber() const { return kind() == Kind::Integer || kind() == Kind::Real || kind() == Kind::Boolean; }

    // Readings in the platform's manner: nil reads as 0 / NO / nullopt; numbers convert freely;
    // a text reads as its leading number or boolean.
    int64_t integer() const;
    double real() const;
    bool boolean() const;
    std::optional<std::string> text() const; // texts only; nullopt for every other kind
    std::optional<Date> date() const;        // dates only
    std::optional<Bytes> binary() const;     // bytes only
    const std::string* textPointer() const { return std::get_if<std::string>(&data_); }

    // The %@ text: numbers in decimal, booleans as 1/0, nil as "(null)".
    std::string description() const;

    bool operator==(const Value& other) const;

private:
    std::variant<std::monostate, int64_t, double, bool, std::string, Date, Bytes> data_;
};

} // namespace tavlo
