// The value side of a criteria string, written the way the list's data
// source reads it for a field of a given type code. The bound-value lookup
// and the incremental search build their values here, so a value that one
// of them finds is written exactly as the other would write it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/locale.h"
#include "platform/variant.h"

namespace quorvel {

class Quorvel2000;

// How a field's values are written in a criteria: text between double
// quotes, dates between "#" signs month first, numbers with "." as the
// decimal point.
enum class CriteriaClass { Text, Date, Number };

// 10, 12 and 18 are text, 8, 22 and 23 dates and times, anything else is
// read as a number.
CriteriaClass criteriaClassOf(std::int16_t fieldType);

// The criteria value of `value` for a field of `fieldType`, or nothing when
// the value cannot be searched in that class (not a date, not a number by
// the locale's own tests). Text is made safe with UnNullxSQL and numbers go
// through ValxSQL, the same public helpers a host program calls.
std::optional<std::string> criteriaValue(Quorvel2000& control, const Locale& locale, std::int16_t fieldType,
                                         Variant& value);

}  // namespace quorvel
