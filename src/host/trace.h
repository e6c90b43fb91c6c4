// The trace format in which every host writes its log: values as a
// type and a value (`Integer 0`, `String "ab"`, `Date #12/07/2026#`) and
// strings as literals of the form runner's script language, so that a line
// of the log can be pasted back into a script.
#pragma once

#include <string>
#include <string_view>

#include "platform/variant.h"

namespace quorvel::host {

// `Integer 5`, `Long 40000`, `Single 1.5`, `Double 3.25` (shortest form that
// reads back to the same number, "." as the decimal point), `String "ab"`,
// `Boolean True`, `Date #12/07/2026#` (with ` hh:nn:ss` when it has a time),
// `Empty`, `Null`, `Object`, `Nothing`.
std::string traceValue(const Variant& value);

// The text between double quotes with `\"`, `\\`, `\n`, `\r` and `\t`
// escaped; every other byte is written as it is.
std::string traceString(std::string_view text);

}  // namespace quorvel::host
