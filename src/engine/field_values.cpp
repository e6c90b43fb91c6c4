#include "engine/field_values.h"

#include <sqlite3.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "platform/data.h"
#include "platform/locale.h"
#include "platform/text.h"

namespace quorvel::engine {

namespace {

std::string upperTrimmed(std::string_view text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    std::string out(text.substr(begin, end - begin));
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool contains(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

bool startsWith(const std::string& text, std::string_view part) {
    return text.compare(0, part.size(), part) == 0;
}

std::string_view textOf(sqlite3_stmt* row, int column) {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(row, column));
    int length = sqlite3_column_bytes(row, column);
    if (bytes == nullptr) return {};
    return {bytes, static_cast<std::size_t>(length)};
}

std::string_view blobOf(sqlite3_stmt* row, int column) {
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(row, column));
    int length = sqlite3_column_bytes(row, column);
    if (bytes == nullptr) return {};
    return {bytes, static_cast<std::size_t>(length)};
}

Variant wholeNumber(sqlite3_int64 v, bool allowInteger) {
    if (allowInteger && v >= std::numeric_limits<std::int16_t>::min() &&
        v <= std::numeric_limits<std::int16_t>::max())
        return Variant(static_cast<std::int16_t>(v));
    if (v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max())
        return Variant(static_cast<std::int32_t>(v));
    // Wider than a Long: a Double keeps it exactly up to 2^53, far better
    // than a wrapped Long.
    return Variant(static_cast<double>(v));
}

Variant natural(sqlite3_stmt* row, int column) {
    switch (sqlite3_column_type(row, column)) {
        case SQLITE_INTEGER: return wholeNumber(sqlite3_column_int64(row, column), false);
        case SQLITE_FLOAT: return Variant(sqlite3_column_double(row, column));
        case SQLITE_BLOB: return Variant(std::string(blobOf(row, column)));
        case SQLITE_NULL: return Variant::null();
        default: return Variant(validUtf8(textOf(row, column)));
    }
}

std::optional<bool> booleanText(std::string_view text) {
    std::string upper = upperTrimmed(text);
    if (upper == "TRUE" || upper == "YES" || upper == "ON") return true;
    if (upper == "FALSE" || upper == "NO" || upper == "OFF") return false;
    return std::nullopt;
}

std::optional<double> wholeTextNumber(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

// Reads exactly `count` digits.
bool digits(std::string_view text, std::size_t& at, std::size_t count, int& out) {
    if (at + count > text.size()) return false;
    out = 0;
    for (std::size_t i = 0; i < count; ++i) {
        char c = text[at + i];
        if (c < '0' || c > '9') return false;
        out = out * 10 + (c - '0');
    }
    at += count;
    return true;
}

// "HH:MM[:SS[.fff]]" from `at`; the time of day as a fraction of a day.
std::optional<double> timeFraction(std::string_view text, std::size_t& at) {
    int hour = 0, minute = 0, second = 0;
    if (!digits(text, at, 2, hour) || at >= text.size() || text[at] != ':') return std::nullopt;
    ++at;
    if (!digits(text, at, 2, minute)) return std::nullopt;
    double fraction = 0;
    if (at < text.size() && text[at] == ':') {
        ++at;
        if (!digits(text, at, 2, second)) return std::nullopt;
        if (at < text.size() && text[at] == '.') {
            ++at;
            double scale = 0.1;
            std::size_t first = at;
            while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
                fraction += (text[at] - '0') * scale;
                scale /= 10;
                ++at;
            }
            if (at == first) return std::nullopt;
        }
    }
    if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
    return (hour * 3600.0 + minute * 60.0 + second + fraction) / 86400.0;
}

}  // namespace

std::optional<std::int16_t> typeCodeOfDeclaration(std::string_view declared) {
    std::string t = upperTrimmed(declared);
    if (t.empty()) return std::nullopt;
    bool sized = contains(t, "(");

    if (startsWith(t, "BOOL") || t == "BIT" || startsWith(t, "BIT(") || t == "YESNO")
        return field_type::kBoolean;
    if (startsWith(t, "TINYINT") || startsWith(t, "SMALLINT") || t == "INT2" || t == "SHORT")
        return field_type::kInteger;
    if (t == "BYTE") return field_type::kByte;
    if (contains(t, "INT") && !contains(t, "POINT") && !contains(t, "INTERVAL")) return field_type::kLong;
    if (t == "LONG") return field_type::kLong;
    if (startsWith(t, "TIMESTAMP")) return field_type::kTimestamp;
    if (startsWith(t, "DATETIME") || startsWith(t, "DATE") || startsWith(t, "SMALLDATETIME"))
        return field_type::kDate;
    if (startsWith(t, "TIME")) return field_type::kTime;
    if (contains(t, "BLOB") || contains(t, "BINARY") || t == "IMAGE" || t == "BYTEA")
        return field_type::kLongBinary;
    if (contains(t, "CLOB") || contains(t, "MEMO") || contains(t, "LONGTEXT") || contains(t, "MEDIUMTEXT"))
        return field_type::kMemo;
    if (contains(t, "CHAR") || contains(t, "TEXT") || contains(t, "STRING")) {
        // A fixed CHAR is bounded even without a size (it means CHAR(1));
        // VARCHAR and TEXT without a size are unbounded.
        bool fixedChar = (startsWith(t, "CHAR") || startsWith(t, "NCHAR") || startsWith(t, "CHARACTER")) &&
                         !contains(t, "VAR");
        return (sized || fixedChar) ? field_type::kText : field_type::kMemo;
    }
    if (startsWith(t, "SINGLE")) return field_type::kSingle;
    if (contains(t, "REAL") || contains(t, "FLOA") || contains(t, "DOUB")) return field_type::kDouble;
    if (contains(t, "CURRENCY") || contains(t, "MONEY")) return field_type::kCurrency;
    if (startsWith(t, "NUMERIC") || startsWith(t, "DECIMAL") || startsWith(t, "NUMBER") ||
        startsWith(t, "DEC"))
        return field_type::kDecimal;
    return std::nullopt;
}

std::int16_t inferredTypeCode(sqlite3_stmt* row, int column) {
    switch (sqlite3_column_type(row, column)) {
        case SQLITE_INTEGER: return field_type::kLong;
        case SQLITE_FLOAT: return field_type::kDouble;
        case SQLITE_BLOB: return field_type::kLongBinary;
        case SQLITE_TEXT: {
            // date('now') and its kin give ISO text: a date by its look.
            std::string_view text = textOf(row, column);
            if (text.size() >= 10 && text[4] == '-' && serialFromIsoText(text)) return field_type::kDate;
            return field_type::kText;
        }
        default: return field_type::kText;
    }
}

Variant variantOf(sqlite3_stmt* row, int column, std::int16_t typeCode) {
    int storage = sqlite3_column_type(row, column);
    if (storage == SQLITE_NULL) return Variant::null();
    bool numeric = storage == SQLITE_INTEGER || storage == SQLITE_FLOAT;
    switch (typeCode) {
        case field_type::kBoolean:
            if (numeric) return Variant::boolean(sqlite3_column_double(row, column) != 0);
            if (storage == SQLITE_TEXT) {
                if (auto b = booleanText(textOf(row, column))) return Variant::boolean(*b);
            }
            return natural(row, column);
        case field_type::kByte:
        case field_type::kInteger:
            if (storage == SQLITE_INTEGER) return wholeNumber(sqlite3_column_int64(row, column), true);
            return natural(row, column);
        case field_type::kDecimal:
        case field_type::kLong: return natural(row, column);
        case field_type::kCurrency:
        case field_type::kSingle:
        case field_type::kDouble:
            if (numeric) return Variant(sqlite3_column_double(row, column));
            return natural(row, column);
        case field_type::kDate:
        case field_type::kTime:
        case field_type::kTimestamp:
            if (numeric) return Variant::date(sqlite3_column_double(row, column));
            if (storage == SQLITE_TEXT) {
                if (auto serial = serialFromIsoText(textOf(row, column))) return Variant::date(*serial);
            }
            return natural(row, column);
        case field_type::kText:
        case field_type::kMemo:
        case field_type::kFixedText:
            if (storage == SQLITE_BLOB) return natural(row, column);
            return Variant(validUtf8(textOf(row, column)));
        default: return natural(row, column);
    }
}

std::optional<double> serialFromIsoText(std::string_view text) {
    std::size_t at = 0;
    if (text.size() >= 5 && text[2] == ':') {
        auto fraction = timeFraction(text, at);
        if (!fraction || at != text.size()) return std::nullopt;
        return *fraction;
    }
    int year = 0, month = 0, day = 0;
    if (!digits(text, at, 4, year) || at >= text.size() || text[at++] != '-') return std::nullopt;
    if (!digits(text, at, 2, month) || at >= text.size() || text[at++] != '-') return std::nullopt;
    if (!digits(text, at, 2, day)) return std::nullopt;
    if (!isValidCivilDate(year, month, day)) return std::nullopt;
    double serial = dateSerial(year, month, day);
    if (at == text.size()) return serial;
    if (text[at] != ' ' && text[at] != 'T') return std::nullopt;
    ++at;
    auto fraction = timeFraction(text, at);
    if (!fraction) return std::nullopt;
    // A zone suffix is read as written: the list shows the wall-clock time
    // that the data holds.
    if (at < text.size() && text[at] == 'Z') ++at;
    if (at != text.size()) return std::nullopt;
    // Serials before day 0 count the time backwards from midnight, as the
    // host's dates do: -1.25 is 1899-12-29 06:00.
    return serial < 0 ? serial - *fraction : serial + *fraction;
}

KeyKind keyKindOf(std::int16_t typeCode) {
    switch (typeCode) {
        case field_type::kText:
        case field_type::kMemo:
        case field_type::kFixedText: return KeyKind::Text;
        case field_type::kDate:
        case field_type::kTime:
        case field_type::kTimestamp: return KeyKind::Date;
        case field_type::kBoolean: return KeyKind::Boolean;
        case field_type::kLongBinary: return KeyKind::None;
        default: return KeyKind::Number;
    }
}

std::optional<double> numberKeyOf(sqlite3_stmt* row, int column, KeyKind kind) {
    int storage = sqlite3_column_type(row, column);
    if (storage == SQLITE_NULL || storage == SQLITE_BLOB) return std::nullopt;
    bool numeric = storage == SQLITE_INTEGER || storage == SQLITE_FLOAT;
    switch (kind) {
        case KeyKind::Number:
            if (numeric) return sqlite3_column_double(row, column);
            return wholeTextNumber(textOf(row, column));
        case KeyKind::Boolean: {
            if (numeric) return sqlite3_column_double(row, column) != 0 ? -1.0 : 0.0;
            if (auto b = booleanText(textOf(row, column))) return *b ? -1.0 : 0.0;
            if (auto n = wholeTextNumber(textOf(row, column))) return *n != 0 ? -1.0 : 0.0;
            return std::nullopt;
        }
        case KeyKind::Date:
            if (numeric) return sqlite3_column_double(row, column);
            return serialFromIsoText(textOf(row, column));
        default: return std::nullopt;
    }
}

}  // namespace quorvel::engine
