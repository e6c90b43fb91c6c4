#include "platform/variant.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/failure.h"

namespace quorvel {

std::string_view typeName(Variant::Type type) {
    switch (type) {
        case Variant::Type::Empty: return "Empty";
        case Variant::Type::Null: return "Null";
        case Variant::Type::Integer: return "Integer";
        case Variant::Type::Long: return "Long";
        case Variant::Type::Single: return "Single";
        case Variant::Type::Double: return "Double";
        case Variant::Type::Date: return "Date";
        case Variant::Type::Boolean: return "Boolean";
        case Variant::Type::String: return "String";
        case Variant::Type::Object: return "Object";
    }
    return "?";
}

double roundHalfEven(double v) {
    // Not nearbyint: that follows the process's rounding mode, which a host
    // may have changed.
    double r = std::round(v);
    if (std::fabs(v - std::trunc(v)) == 0.5) r = 2.0 * std::round(v / 2.0);
    return r;
}

std::int32_t roundToLong(double v) {
    if (std::isnan(v)) fail(failure::kOverflow);
    double r = roundHalfEven(v);
    if (r < std::numeric_limits<std::int32_t>::min() || r > std::numeric_limits<std::int32_t>::max())
        fail(failure::kOverflow);
    return static_cast<std::int32_t>(r);
}

std::int16_t roundToInteger(double v) {
    if (std::isnan(v)) fail(failure::kOverflow);
    double r = roundHalfEven(v);
    if (r < std::numeric_limits<std::int16_t>::min() || r > std::numeric_limits<std::int16_t>::max())
        fail(failure::kOverflow);
    return static_cast<std::int16_t>(r);
}

bool Variant::holdsNumber() const {
    switch (type()) {
        case Type::Integer:
        case Type::Long:
        case Type::Single:
        case Type::Double:
        case Type::Boolean: return true;
        default: return false;
    }
}

std::int16_t Variant::asInteger() const {
    if (type() != Type::Integer) fail(failure::kTypeMismatch);
    return std::get<std::int16_t>(value_);
}
std::int32_t Variant::asLong() const {
    if (type() != Type::Long) fail(failure::kTypeMismatch);
    return std::get<std::int32_t>(value_);
}
float Variant::asSingle() const {
    if (type() != Type::Single) fail(failure::kTypeMismatch);
    return std::get<float>(value_);
}
double Variant::asDouble() const {
    if (type() != Type::Double) fail(failure::kTypeMismatch);
    return std::get<double>(value_);
}
double Variant::asDate() const {
    if (type() != Type::Date) fail(failure::kTypeMismatch);
    return std::get<DateTag>(value_).serial;
}
VBool Variant::asBoolean() const {
    if (type() != Type::Boolean) fail(failure::kTypeMismatch);
    return std::get<BoolTag>(value_).value;
}
const std::string& Variant::asString() const {
    if (type() != Type::String) fail(failure::kTypeMismatch);
    return std::get<std::string>(value_);
}
const ObjectRef& Variant::asObject() const {
    if (type() != Type::Object) fail(failure::kTypeMismatch);
    return std::get<ObjectRef>(value_);
}

double Variant::toDouble() const {
    switch (type()) {
        case Type::Empty: return 0.0;
        case Type::Integer: return std::get<std::int16_t>(value_);
        case Type::Long: return std::get<std::int32_t>(value_);
        case Type::Single: return std::get<float>(value_);
        case Type::Double: return std::get<double>(value_);
        case Type::Date: return std::get<DateTag>(value_).serial;
        case Type::Boolean: return std::get<BoolTag>(value_).value;
        case Type::Null: fail(failure::kInvalidUseOfNull);
        default: fail(failure::kTypeMismatch);
    }
}

std::int16_t Variant::toInteger() const {
    if (type() == Type::Integer) return std::get<std::int16_t>(value_);
    return roundToInteger(toDouble());
}

std::int32_t Variant::toLong() const {
    if (type() == Type::Long) return std::get<std::int32_t>(value_);
    return roundToLong(toDouble());
}

float Variant::toSingle() const {
    double d = toDouble();
    if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) fail(failure::kOverflow);
    return static_cast<float>(d);
}

bool operator==(const Variant& a, const Variant& b) { return a.value_ == b.value_; }

std::string Variant::debugString() const {
    std::string out(typeName(type()));
    char buf[64];
    switch (type()) {
        case Type::Empty:
        case Type::Null: break;
        case Type::Integer: out += " " + std::to_string(std::get<std::int16_t>(value_)); break;
        case Type::Long: out += " " + std::to_string(std::get<std::int32_t>(value_)); break;
        case Type::Single:
            std::snprintf(buf, sizeof buf, " %.9g", static_cast<double>(std::get<float>(value_)));
            out += buf;
            break;
        case Type::Double:
            std::snprintf(buf, sizeof buf, " %.17g", std::get<double>(value_));
            out += buf;
            break;
        case Type::Date:
            std::snprintf(buf, sizeof buf, " %.17g", std::get<DateTag>(value_).serial);
            out += buf;
            break;
        case Type::Boolean: out += std::get<BoolTag>(value_).value ? " True" : " False"; break;
        case Type::String: out += " \"" + std::get<std::string>(value_) + "\""; break;
        case Type::Object:
            if (!std::get<ObjectRef>(value_)) out = "Nothing";
            break;
    }
    return out;
}

}  // namespace quorvel
