#include "platform/locale.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/failure.h"

namespace quorvel {

namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long yy = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

const long long kEpochDays = daysFromCivil(1899, 12, 30);

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// A plain decimal number in C syntax ("-12.5e3"); never the C locale.
std::optional<double> parseCNumber(std::string_view s) {
    if (s.empty()) return std::nullopt;
    if (s.front() == '+') s.remove_prefix(1);
    double v = 0;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ptr != s.data() + s.size()) return std::nullopt;
    if (ec == std::errc::result_out_of_range) return std::nullopt;
    if (ec != std::errc()) return std::nullopt;
    return v;
}

// "&H1F" or "&O17": the integer they write, or nullopt if the text is not one.
std::optional<double> parseRadixInteger(std::string_view s, bool wholeText) {
    if (s.size() < 2 || s[0] != '&') return std::nullopt;
    char kind = static_cast<char>(s[1] & ~0x20);
    int radix = kind == 'H' ? 16 : kind == 'O' ? 8 : 0;
    if (radix == 0) return std::nullopt;
    double value = 0;
    std::size_t i = 2;
    for (; i < s.size(); ++i) {
        char c = s[i];
        int digit = isDigit(c)               ? c - '0'
                    : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                    : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                             : 99;
        if (digit >= radix) break;
        value = value * radix + digit;
    }
    if (wholeText && (i == 2 || i != s.size())) return std::nullopt;
    return value;
}

std::string twoDigits(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

std::vector<std::string_view> splitAny(std::string_view s, std::string_view separators) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size() || separators.find(s[i]) != std::string_view::npos) {
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

std::optional<int> smallNumber(std::string_view s) {
    if (s.empty() || s.size() > 4) return std::nullopt;
    int v = 0;
    for (char c : s) {
        if (!isDigit(c)) return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

}  // namespace

double dateSerial(int year, int month, int day, int hour, int minute, int second) {
    double days = static_cast<double>(
        daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpochDays);
    return days + (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
}

CivilDateTime civilFromSerial(double serial) {
    // Far enough out that the day no longer fits the calendar's integers
    // (some 80 million years), a serial has no date; nor has NaN.
    constexpr double kFarthestDay = 3.0e10;
    if (!(std::fabs(serial) <= kFarthestDay)) fail(failure::kOverflow);
    CivilDateTime t;
    double day = std::floor(serial);
    long long seconds = std::llround((serial - day) * 86400.0);
    long long dayNumber = static_cast<long long>(day);
    if (seconds >= 86400) {
        seconds -= 86400;
        ++dayNumber;
    }
    civilFromDays(dayNumber + kEpochDays, t.year, t.month, t.day);
    t.hour = static_cast<int>(seconds / 3600);
    t.minute = static_cast<int>(seconds / 60 % 60);
    t.second = static_cast<int>(seconds % 60);
    return t;
}

bool isValidCivilDate(int year, int month, int day) {
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    int length = lengths[month - 1] + (month == 2 && leap ? 1 : 0);
    return day <= length;
}

Locale::Locale(std::string decimalSeparator, std::string dateSeparator, DateOrder order, std::string name)
    : decimalSeparator_(std::move(decimalSeparator)),
      dateSeparator_(std::move(dateSeparator)),
      dateOrder_(order),
      name_(std::move(name)) {}

Locale Locale::english() { return Locale(".", "/", DateOrder::MonthDayYear, "en-US"); }
Locale Locale::italian() { return Locale(",", "/", DateOrder::DayMonthYear, "it-IT"); }

Locale Locale::fromEnvironment() {
    const char* tag = nullptr;
    for (const char* name : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
        const char* v = std::getenv(name);
        if (v && *v) {
            tag = v;
            break;
        }
    }
    std::string lang = tag ? std::string(tag).substr(0, 2) : "en";
    if (lang == "it") return italian();
    if (lang == "de") return Locale(",", ".", DateOrder::DayMonthYear, "de-DE");
    if (lang == "fr" || lang == "es" || lang == "pt")
        return Locale(",", "/", DateOrder::DayMonthYear, lang + "-" + lang);
    return english();
}

std::string Locale::textOfNumber(double value, int significantDigits) const {
    if (value == 0) return "0";  // no "-0"
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*G", significantDigits, value);
    std::string s(buf);
    std::size_t dot = s.find('.');
    if (dot != std::string::npos) s.replace(dot, 1, decimalSeparator_);
    return s;
}

std::string Locale::shortDate(double serial) const {
    CivilDateTime t = civilFromSerial(serial);
    bool hasDate = std::floor(serial) != 0;
    bool hasTime = t.hour != 0 || t.minute != 0 || t.second != 0;
    std::string out;
    if (hasDate || !hasTime) {
        std::string y = std::to_string(t.year);
        switch (dateOrder_) {
            case DateOrder::MonthDayYear:
                out = std::to_string(t.month) + dateSeparator_ + std::to_string(t.day) + dateSeparator_ + y;
                break;
            case DateOrder::DayMonthYear:
                out = twoDigits(t.day) + dateSeparator_ + twoDigits(t.month) + dateSeparator_ + y;
                break;
            case DateOrder::YearMonthDay:
                out = y + dateSeparator_ + twoDigits(t.month) + dateSeparator_ + twoDigits(t.day);
                break;
        }
    }
    if (hasTime) {
        if (!out.empty()) out += ' ';
        if (dateOrder_ == DateOrder::MonthDayYear) {
            int h12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
            out += std::to_string(h12) + ":" + twoDigits(t.minute) + ":" + twoDigits(t.second) +
                   (t.hour < 12 ? " AM" : " PM");
        } else {
            out += twoDigits(t.hour) + ":" + twoDigits(t.minute) + ":" + twoDigits(t.second);
        }
    }
    return out;
}

std::string Locale::textOf(const Variant& value) const {
    switch (value.type()) {
        case Variant::Type::Empty: return "";
        case Variant::Type::Null: fail(failure::kInvalidUseOfNull);
        case Variant::Type::Integer: return std::to_string(value.asInteger());
        case Variant::Type::Long: return std::to_string(value.asLong());
        case Variant::Type::Single: return textOfNumber(value.asSingle(), 7);
        case Variant::Type::Double: return textOfNumber(value.asDouble(), 15);
        case Variant::Type::Date: return shortDate(value.asDate());
        case Variant::Type::Boolean: return value.asBoolean() ? "True" : "False";
        case Variant::Type::String: return value.asString();
        case Variant::Type::Object: fail(failure::kTypeMismatch);
    }
    fail(failure::kTypeMismatch);
}

double Locale::numericParse(std::string_view text) {
    // Blanks may stand anywhere, also between digits, so the number is
    // gathered without them first.
    std::string kept;
    kept.reserve(text.size());
    for (char c : text)
        if (!isBlank(c)) kept += c;
    std::string_view s = kept;

    if (auto radix = parseRadixInteger(s, /*wholeText=*/false)) {
        // Enough digits go beyond any double, as a decimal exponent can.
        if (!std::isfinite(*radix)) fail(failure::kOverflow);
        return *radix;
    }

    std::string number;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) number += s[i++];
    bool digits = false, point = false;
    for (; i < s.size(); ++i) {
        if (isDigit(s[i])) {
            number += s[i];
            digits = true;
        } else if (s[i] == '.' && !point) {
            number += '.';
            point = true;
        } else {
            break;
        }
    }
    if (!digits) return 0.0;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        std::string exponent = "e";
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) exponent += s[j++];
        bool expDigits = false;
        for (; j < s.size() && isDigit(s[j]); ++j) {
            exponent += s[j];
            expDigits = true;
        }
        if (expDigits) number += exponent;
    }
    if (number.back() == '.') number.pop_back();
    auto v = parseCNumber(number);
    if (v) return *v;
    // Only an exponent too large for a double gets here.
    fail(failure::kOverflow);
}

std::optional<double> Locale::parseLocaleNumber(std::string_view text) const {
    std::string_view s = trimBlanks(text);
    if (s.empty()) return std::nullopt;
    if (auto radix = parseRadixInteger(s, /*wholeText=*/true))
        return std::isfinite(*radix) ? radix : std::nullopt;

    const std::string& dec = decimalSeparator_;
    const std::string group = dec == "," ? "." : ",";
    std::string number;
    std::size_t i = 0;
    if (s[i] == '+' || s[i] == '-') number += s[i++];
    bool digits = false, point = false;
    while (i < s.size()) {
        if (isDigit(s[i])) {
            number += s[i++];
            digits = true;
        } else if (!point && s.compare(i, dec.size(), dec) == 0) {
            number += '.';
            point = true;
            i += dec.size();
        } else if (!point && digits && s.compare(i, group.size(), group) == 0) {
            i += group.size();  // grouping is allowed, and ignored, before the decimal point
        } else {
            break;
        }
    }
    if (!digits) return std::nullopt;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
        number += 'e';
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) number += s[i++];
        bool expDigits = false;
        while (i < s.size() && isDigit(s[i])) {
            number += s[i++];
            expDigits = true;
        }
        if (!expDigits) return std::nullopt;
    }
    if (i != s.size()) return std::nullopt;
    return parseCNumber(number);
}

bool Locale::isNumeric(const Variant& value) const {
    switch (value.type()) {
        case Variant::Type::Empty:
        case Variant::Type::Integer:
        case Variant::Type::Long:
        case Variant::Type::Single:
        case Variant::Type::Double:
        case Variant::Type::Boolean: return true;
        case Variant::Type::String: return parseLocaleNumber(value.asString()).has_value();
        default: return false;
    }
}

std::optional<double> Locale::parseDate(std::string_view text) const {
    std::string_view s = trimBlanks(text);
    if (s.empty()) return std::nullopt;

    std::string_view datePart = s, timePart;
    std::size_t space = s.find_first_of(" \t");
    // A time alone may still hold a space: "10:30:00 AM".
    if (space != std::string_view::npos && s.substr(0, space).find(':') == std::string_view::npos) {
        datePart = s.substr(0, space);
        timePart = trimBlanks(s.substr(space));
    } else if (s.find(':') != std::string_view::npos) {
        datePart = {};
        timePart = s;
    }

    double serial = 0;
    if (!datePart.empty()) {
        auto parts = splitAny(datePart, "/-.");
        if (parts.size() != 3) return std::nullopt;
        auto a = smallNumber(parts[0]), b = smallNumber(parts[1]), c = smallNumber(parts[2]);
        if (!a || !b || !c) return std::nullopt;
        int y, m, d;
        if (parts[0].size() == 4 || dateOrder_ == DateOrder::YearMonthDay) {
            y = *a, m = *b, d = *c;
        } else if (dateOrder_ == DateOrder::MonthDayYear) {
            m = *a, d = *b, y = *c;
        } else {
            d = *a, m = *b, y = *c;
        }
        if (y < 100) y += y < 30 ? 2000 : 1900;
        if (!isValidCivilDate(y, m, d)) return std::nullopt;
        serial = dateSerial(y, m, d);
    }

    if (!timePart.empty()) {
        std::string_view clock = timePart;
        int meridiem = 0;  // 1 AM, 2 PM
        if (clock.size() > 2) {
            std::string_view tail = clock.substr(clock.size() - 2);
            char t0 = static_cast<char>(tail[0] & ~0x20), t1 = static_cast<char>(tail[1] & ~0x20);
            if ((t0 == 'A' || t0 == 'P') && t1 == 'M') {
                meridiem = t0 == 'A' ? 1 : 2;
                clock = trimBlanks(clock.substr(0, clock.size() - 2));
            }
        }
        auto parts = splitAny(clock, ":");
        if (parts.size() < 2 || parts.size() > 3) return std::nullopt;
        auto h = smallNumber(parts[0]), n = smallNumber(parts[1]);
        auto sec = parts.size() == 3 ? smallNumber(parts[2]) : std::optional<int>(0);
        if (!h || !n || !sec || *n > 59 || *sec > 59) return std::nullopt;
        int hour = *h;
        if (meridiem) {
            if (hour < 1 || hour > 12) return std::nullopt;
            hour = hour % 12 + (meridiem == 2 ? 12 : 0);
        } else if (hour > 23) {
            return std::nullopt;
        }
        serial += (hour * 3600.0 + *n * 60.0 + *sec) / 86400.0;
    }
    return serial;
}

bool Locale::isDate(const Variant& value) const {
    if (value.type() == Variant::Type::Date) return true;
    if (value.type() == Variant::Type::String) return parseDate(value.asString()).has_value();
    return false;
}

double Locale::toDate(const Variant& value) const {
    switch (value.type()) {
        case Variant::Type::Date: return value.asDate();
        case Variant::Type::String: {
            auto d = parseDate(value.asString());
            if (!d) fail(failure::kTypeMismatch);
            return *d;
        }
        case Variant::Type::Null: fail(failure::kInvalidUseOfNull);
        case Variant::Type::Object: fail(failure::kTypeMismatch);
        default: return value.toDouble();
    }
}

std::string Locale::formatDate(const Variant& value, std::string_view pattern) const {
    CivilDateTime t = civilFromSerial(toDate(value));
    std::string out;
    std::size_t i = 0;
    auto run = [&](char c) {
        std::size_t n = 0;
        while (i + n < pattern.size() && (pattern[i + n] | 0x20) == c) ++n;
        return n;
    };
    while (i < pattern.size()) {
        char c = static_cast<char>(pattern[i] | 0x20);
        std::size_t n = 0;
        switch (c) {
            case 'y':
                n = run('y');
                out += n >= 3 ? std::to_string(t.year) : twoDigits(t.year % 100);
                break;
            case 'm':
                n = run('m');
                out += n >= 2 ? twoDigits(t.month) : std::to_string(t.month);
                break;
            case 'd':
                n = run('d');
                out += n >= 2 ? twoDigits(t.day) : std::to_string(t.day);
                break;
            case 'h':
                n = run('h');
                out += n >= 2 ? twoDigits(t.hour) : std::to_string(t.hour);
                break;
            case 'n':
                n = run('n');
                out += n >= 2 ? twoDigits(t.minute) : std::to_string(t.minute);
                break;
            case 's':
                n = run('s');
                out += n >= 2 ? twoDigits(t.second) : std::to_string(t.second);
                break;
            case '/':
                n = 1;
                out += dateSeparator_;
                break;
            default:
                n = 1;
                out += pattern[i];
                break;
        }
        i += n;
    }
    return out;
}

}  // namespace quorvel
