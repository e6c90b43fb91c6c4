// A member's value in the three shapes it takes: the C++ type of the
// control's accessors, the tagged value of the late-bound path and of the
// property set, and back. Keyed by the member table's value types, so a
// member's conversions follow from its row.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "control/interface_description.h"
#include "control/value_conversion.h"

namespace quorvel::idl {

// The C++ type of a member's value in the control's own interface.
// clang-format off
template <ValueType T> struct ControlValue;
template <> struct ControlValue<ValueType::None> { using type = void; };
template <> struct ControlValue<ValueType::Boolean> { using type = VBool; };
template <> struct ControlValue<ValueType::Integer> { using type = std::int16_t; };
template <> struct ControlValue<ValueType::Long> { using type = std::int32_t; };
template <> struct ControlValue<ValueType::Single> { using type = float; };
template <> struct ControlValue<ValueType::String> { using type = std::string; };
template <> struct ControlValue<ValueType::Variant> { using type = quorvel::Variant; };
template <> struct ControlValue<ValueType::Colour> { using type = Color; };
template <> struct ControlValue<ValueType::FontObject> { using type = std::shared_ptr<Font>; };
template <> struct ControlValue<ValueType::PictureObject> { using type = std::shared_ptr<Picture>; };
template <> struct ControlValue<ValueType::RecordsetObject> { using type = std::shared_ptr<Recordset>; };
template <> struct ControlValue<ValueType::Object> { using type = ObjectRef; };
template <> struct ControlValue<ValueType::MarqueeStyle> { using type = std::int32_t; };
template <> struct ControlValue<ValueType::ScrollBars> { using type = std::int32_t; };
// clang-format on
template <ValueType T>
using ControlValueOf = typename ControlValue<T>::type;

// A typed value as the tagged value that the late-bound path hands back and
// the property set stores. Booleans are told from 16-bit integers by the
// member's type, not the C++ one: both are std::int16_t.
template <ValueType T, class V>
quorvel::Variant toVariant(const V& v) {
    using quorvel::Variant;
    if constexpr (T == ValueType::Boolean) return Variant::booleanValue(static_cast<VBool>(v));
    else if constexpr (T == ValueType::Integer) return Variant(static_cast<std::int16_t>(v));
    else if constexpr (T == ValueType::Long || T == ValueType::Colour || T == ValueType::MarqueeStyle ||
                       T == ValueType::ScrollBars)
        return Variant::longValue(static_cast<std::int32_t>(v));
    else if constexpr (T == ValueType::Single) return Variant(static_cast<float>(v));
    else if constexpr (T == ValueType::String) return Variant(v);
    else if constexpr (T == ValueType::Variant) return v;
    else return Variant(ObjectRef(v));
}

// A tagged value as the type of the member it is assigned to; Failure 13
// (or the conversion's own) when it does not convert.
template <ValueType T>
ControlValueOf<T> fromVariant(const quorvel::Variant& v, const Locale& locale) {
    if constexpr (T == ValueType::Boolean) return booleanFrom(v, locale);
    else if constexpr (T == ValueType::Integer) return integerFrom(v, locale);
    else if constexpr (T == ValueType::Long || T == ValueType::Colour || T == ValueType::MarqueeStyle ||
                       T == ValueType::ScrollBars)
        return longFrom(v, locale);
    else if constexpr (T == ValueType::Single) return singleFrom(v, locale);
    else if constexpr (T == ValueType::String) return textFrom(v, locale);
    else if constexpr (T == ValueType::Variant) return v;
    else if constexpr (T == ValueType::FontObject) return fontFrom(v);
    else if constexpr (T == ValueType::PictureObject) return pictureFrom(v);
    else if constexpr (T == ValueType::RecordsetObject) return recordsetFrom(v);
}

}  // namespace quorvel::idl
