// The host's tagged value, shared by every layer.
//
// A Variant is Empty, Null, a 16-bit Integer, a 32-bit Long, a Single, a
// Double, a Date (days since 1899-12-30, fraction = time of day), a 16-bit
// Boolean (-1 / 0), a UTF-8 String or an Object reference. Empty and Null are
// distinct: Null comes from the data source, Empty is "no value yet".
// Conversions that depend on the locale (text of a value, numeric and date
// tests) live in Locale, never here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

namespace quorvel {

// Booleans of the control's interface: True is -1, False is 0. Members keep
// the value they are given, so any other 16-bit value can occur too.
using VBool = std::int16_t;
inline constexpr VBool kTrue = -1;
inline constexpr VBool kFalse = 0;
inline constexpr VBool toVBool(bool b) { return b ? kTrue : kFalse; }

// A colour of the host: an RGB value or a system-colour reference (high bit set).
using Color = std::int32_t;
inline constexpr Color systemColor(int index) {
    return static_cast<Color>(0x80000000u | static_cast<std::uint32_t>(index));
}
inline constexpr Color kSystemWindowBackground = systemColor(5);
inline constexpr Color kSystemWindowText = systemColor(8);

// Anything a Variant can hold by reference: fonts, pictures, recordsets,
// grid columns. Identity matters, so objects are shared, never copied.
class Object {
public:
    virtual ~Object() = default;
};
using ObjectRef = std::shared_ptr<Object>;

class Variant {
public:
    // clang-format off
    enum class Type : std::uint8_t {
        Empty, Null, Integer, Long, Single, Double, Date, Boolean, String, Object
    };
    // clang-format on

    Variant() = default;
    Variant(std::int16_t v) : value_(v) {}
    Variant(std::int32_t v) : value_(v) {}
    Variant(float v) : value_(v) {}
    Variant(double v) : value_(v) {}
    Variant(std::string v) : value_(std::move(v)) {}
    Variant(std::string_view v) : value_(std::string(v)) {}
    Variant(const char* v) : value_(std::string(v)) {}
    Variant(ObjectRef v) : value_(std::move(v)) {}
    template <class T>
    Variant(std::shared_ptr<T> v) : value_(ObjectRef(std::move(v))) {}

    // A plain int literal is a Long (int is 32 bits here); 64-bit integers
    // and bool must pick a type on purpose.
    Variant(long) = delete;
    Variant(long long) = delete;
    Variant(bool) = delete;

    // clang-format off
    static Variant null() { Variant v; v.value_ = NullTag{}; return v; }
    static Variant boolean(bool b) { return booleanValue(toVBool(b)); }
    static Variant booleanValue(VBool b) { Variant v; v.value_ = BoolTag{b}; return v; }
    static Variant date(double serial) { Variant v; v.value_ = DateTag{serial}; return v; }
    // clang-format on
    static Variant integer(int v) { return Variant(static_cast<std::int16_t>(v)); }
    static Variant longValue(std::int32_t v) { return Variant(v); }

    Type type() const { return static_cast<Type>(value_.index()); }
    bool isEmpty() const { return type() == Type::Empty; }
    bool isNull() const { return type() == Type::Null; }
    bool isString() const { return type() == Type::String; }
    bool isObject() const { return type() == Type::Object; }
    // Integer, Long, Single, Double, Boolean: the types that hold a number.
    bool holdsNumber() const;

    // Typed reads of the stored value; a different type is Failure 13.
    std::int16_t asInteger() const;
    std::int32_t asLong() const;
    float asSingle() const;
    double asDouble() const;
    double asDate() const;
    VBool asBoolean() const;
    const std::string& asString() const;
    const ObjectRef& asObject() const;

    // The stored number widened to double: numbers, Booleans and dates. Empty
    // reads as 0. Anything else (strings included) is Failure 13: parsing
    // text is the locale's business.
    double toDouble() const;

    // Conversions with the host's rules for whole numbers: round half to
    // even, Failure 6 (overflow) out of range, Failure 13 for non-numbers.
    // Strings are converted through Locale, not here.
    std::int16_t toInteger() const;
    std::int32_t toLong() const;
    float toSingle() const;

    template <class T>
    std::shared_ptr<T> objectAs() const {
        if (type() != Type::Object) return nullptr;
        return std::dynamic_pointer_cast<T>(std::get<ObjectRef>(value_));
    }

    // Same type and same value (objects: same identity).
    friend bool operator==(const Variant& a, const Variant& b);

    // A short diagnostic form such as `Integer 5` or `String "ab"`.
    std::string debugString() const;

private:
    // clang-format off
    struct NullTag { bool operator==(const NullTag&) const = default; };
    struct DateTag { double serial; bool operator==(const DateTag&) const = default; };
    struct BoolTag { VBool value; bool operator==(const BoolTag&) const = default; };
    // clang-format on
    std::variant<std::monostate, NullTag, std::int16_t, std::int32_t, float, double, DateTag, BoolTag,
                 std::string, ObjectRef>
        value_;
};

std::string_view typeName(Variant::Type type);

// Whole-number rounding of the host: nearest integer, halves to even.
double roundHalfEven(double v);
std::int32_t roundToLong(double v);     // Failure 6 when out of range
std::int16_t roundToInteger(double v);  // Failure 6 when out of range

}  // namespace quorvel
