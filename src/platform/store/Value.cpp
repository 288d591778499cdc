#include "platform/store/Value.h"

#include "platform/foundation/Text.h"

#include <cmath>
#include <ctime>

namespace tavlo {

int64_t Value::integer() const {
    switch (kind()) {
    case Kind::Integer: return std::get<int64_t>(data_);
    case Kind::Real: return static_cast<int64_t>(std::get<double>(data_));
    case Kind::Boolean: return std::get<bool>(data_) ? 1 : 0;
    case Kind::Text: return longLongValue(std::get<std::string>(data_));
    case Kind::Date: return static_cast<int64_t>(std::get<Date>(data_).timeIntervalSince1970());
    default: return 0;
    }
}

double Value::real() const {
    switch (kind()) {
    case Kind::Integer: return static_cast<double>(std::get<int64_t>(data_));
    case Kind::Real: return std::get<double>(data_);
    case Kind::Boolean: return std::get<bool>(data_) ? 1.0 : 0.0;
    case Kind::Text: return doubleValue(std::get<std::string>(data_));
    case Kind::Date: return std::get<Date>(data_).timeIntervalSince1970();
    default: return 0;
    }
}

bool Value::boolean() const {
    switch (kind()) {
    case Kind::Integer: return std::get<int64_t>(data_) != 0;
    case Kind::Real: return std::get<double>(data_) != 0;
    case Kind::Boolean: return std::get<bool>(data_);
    case Kind::Text: return boolValue(std::get<std::string>(data_));
    default: return false;
    }
}

std::optional<std::string> Value::text() const {
    if (auto s = std::get_if<std::string>(&data_)) return *s;
    return std::nullopt;
}

std::optional<Date> Value::date() const {
    if (auto d = std::get_if<Date>(&data_)) return *d;
    return std::nullopt;
}

std::optional<Bytes> Value::binary() const {
    if (auto b = std::get_if<Bytes>(&data_)) return *b;
    return std::nullopt;
}

std::string Value::description() const {
    switch (kind()) {
    case Kind::Nil: return "(null)";
    case Kind::Integer: return format("%lld", static_cast<long long>(std::get<int64_t>(data_)));
    case Kind::Real: {
        double d = std::get<double>(data_);
        if (std::floor(d) == d && std::fabs(d) < 1e15) return format("%lld", static_cast<long long>(d));
        return format("%.15g", d);
    }
    case Kind::Boolean: return std::get<bool>(data_) ? "1" : "0";
    case Kind::Text: return std::get<std::string>(data_);
    case Kind::Date: {
        auto t = static_cast<time_t>(std::floor(std::get<Date>(data_).timeIntervalSince1970()));
        std::tm tm{};
        gmtime_r(&t, &tm);
        char buf[40];
        std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S +0000", &tm);
        return buf;
    }
    case Kind::Binary: {
        const Bytes& bytes = std::get<Bytes>(data_);
        return "<" + hexEncode(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())) + ">";
    }
    }
    return {};
}

bool Value::operator==(const Value& other) const {
    if (isNumber() && other.isNumber()) {
        if (kind() == Kind::Real || other.kind() == Kind::Real) return real() == other.real();
        return integer() == other.integer();
    }
    return data_ == other.data_;
}

} // namespace tavlo
