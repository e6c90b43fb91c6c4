// Conversions of a tagged value to the type of the place it is assigned to,
// with the host's rules for an assignment: what property loading and the
// late-bound path do before they hand a value to a typed accessor.
//
// Numbers convert with rounding to even and Failure 6 out of range; a
// string converts when the locale reads it as a number (Booleans also from
// "True" and "False"); Empty is 0, False or ""; Null is Failure 94; an
// object where a value is wanted, or a value where an object is wanted, is
// Failure 13.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/font.h"
#include "platform/locale.h"
#include "platform/variant.h"

namespace quorvel {

class Recordset;

VBool booleanFrom(const Variant& v, const Locale& locale);
std::int16_t integerFrom(const Variant& v, const Locale& locale);
std::int32_t longFrom(const Variant& v, const Locale& locale);
float singleFrom(const Variant& v, const Locale& locale);
std::string textFrom(const Variant& v, const Locale& locale);

// An object reference of the wanted kind; Nothing gives none. Failure 13
// for a value that is not an object, or an object of another kind.
std::shared_ptr<Font> fontFrom(const Variant& v);
std::shared_ptr<Picture> pictureFrom(const Variant& v);
std::shared_ptr<Recordset> recordsetFrom(const Variant& v);

}  // namespace quorvel
