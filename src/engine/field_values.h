// From SQLite's declared column types and stored values to the recordset's
// field type codes and Variants.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/variant.h"

struct sqlite3_stmt;

namespace quorvel::engine {

// The type code of a declared column type, or nothing when the declaration
// says nothing usable (an expression column, a column declared without a
// type or with a name of no known kind): the type is then inferred from a
// value with inferredTypeCode.
std::optional<std::int16_t> typeCodeOfDeclaration(std::string_view declared);

// The type code that a first non-null value suggests.
std::int16_t inferredTypeCode(sqlite3_stmt* row, int column);

// The Variant of a stored value (column `column` of the statement's row) for a field of the given type code.
// Nothing is lost: a value that does not fit the field's kind (text in a date column that is no date, an
// integer too wide for a Long) comes back in the nearest Variant that holds it whole. Text comes back
// well-formed UTF-8: ill-formed sequences stored in the file read as U+FFFD, so nothing the control takes
// from the data source keeps it from saving its properties. A blob comes back as its bytes.
Variant variantOf(sqlite3_stmt* row, int column, std::int16_t typeCode);

// The date serial of an ISO text: "2026-12-07", "2026-12-07 10:00[:00[.5]]"
// (also with "T"), or a time alone "10:00[:00]". Nothing when it is none.
std::optional<double> serialFromIsoText(std::string_view text);

// The class a find compares a field by.
// Booleans compare as numbers with True = -1, as the host writes them.
enum class KeyKind : std::uint8_t { Text, Number, Boolean, Date, None };
KeyKind keyKindOf(std::int16_t typeCode);

// A stored value as a number or date key of a find; nothing for Null and
// for a value that is not one (text that does not read as a date, say).
std::optional<double> numberKeyOf(sqlite3_stmt* row, int column, KeyKind kind);

}  // namespace quorvel::engine
