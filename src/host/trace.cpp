#include "host/trace.h"

#include <charconv>
#include <cstdio>

#include "platform/locale.h"

namespace quorvel::host {

namespace {

template <class T>
std::string shortest(T value) {
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    if (ec != std::errc()) return "?";
    return std::string(buf, end);
}

std::string dateLiteral(double serial) {
    CivilDateTime t = civilFromSerial(serial);
    char buf[64];
    if (t.hour == 0 && t.minute == 0 && t.second == 0) {
        std::snprintf(buf, sizeof buf, "#%02d/%02d/%04d#", t.month, t.day, t.year);
    } else {
        std::snprintf(buf, sizeof buf, "#%02d/%02d/%04d %02d:%02d:%02d#", t.month, t.day, t.year, t.hour,
                      t.minute, t.second);
    }
    return buf;
}

}  // namespace

std::string traceString(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default: out += c;
        }
    }
    out += '"';
    return out;
}

std::string traceValue(const Variant& value) {
    switch (value.type()) {
        case Variant::Type::Empty: return "Empty";
        case Variant::Type::Null: return "Null";
        case Variant::Type::Integer: return "Integer " + std::to_string(value.asInteger());
        case Variant::Type::Long: return "Long " + std::to_string(value.asLong());
        case Variant::Type::Single: return "Single " + shortest(value.asSingle());
        case Variant::Type::Double: return "Double " + shortest(value.asDouble());
        case Variant::Type::Date: return "Date " + dateLiteral(value.asDate());
        case Variant::Type::Boolean: {
            VBool b = value.asBoolean();
            if (b == kTrue) return "Boolean True";
            if (b == kFalse) return "Boolean False";
            // Members keep any 16-bit value they are given; show it rather
            // than pretend it was -1.
            return "Boolean " + std::to_string(b);
        }
        case Variant::Type::String: return "String " + traceString(value.asString());
        case Variant::Type::Object: return value.asObject() ? "Object" : "Nothing";
    }
    return "?";
}

}  // namespace quorvel::host
