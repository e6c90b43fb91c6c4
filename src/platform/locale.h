// The host's locale services: the conversions between values and text that
// depend on where the user is. The control never uses the C library's locale;
// every conversion goes through a Locale object that the host supplies.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/variant.h"

namespace quorvel {

enum class DateOrder { MonthDayYear, DayMonthYear, YearMonthDay };

struct CivilDateTime {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0;
};

class Locale {
public:
    Locale(std::string decimalSeparator, std::string dateSeparator, DateOrder order,
           std::string name = "custom");

    // "." and "/", month first.
    static Locale english();
    // "," and "/", day first.
    static Locale italian();
    // From LC_ALL, LC_NUMERIC/LC_TIME or LANG of the process: an Italian,
    // German, French, Spanish or Portuguese language tag gives "," and day
    // first; anything else the English preset.
    static Locale fromEnvironment();

    const std::string& name() const { return name_; }
    const std::string& decimalSeparator() const { return decimalSeparator_; }
    const std::string& dateSeparator() const { return dateSeparator_; }
    DateOrder dateOrder() const { return dateOrder_; }

    // The text of a value: Empty gives "", numbers up to 15 significant
    // digits (Single: 7) with this locale's decimal separator and no
    // grouping, Booleans "True"/"False", dates by the short date (and the
    // time when there is one), strings unchanged. Null is Failure 94, an
    // object Failure 13.
    std::string textOf(const Variant& value) const;
    std::string textOfNumber(double value, int significantDigits = 15) const;
    std::string shortDate(double serial) const;

    // The culture-independent numeric parse: reads the longest leading
    // number, skipping blanks, tabs and line feeds anywhere; "." is the only
    // decimal point; "E" or "D" exponents; "&H" hexadecimal and "&O" octal
    // integers. A text without a leading number reads as 0.
    static double numericParse(std::string_view text);

    // The locale-aware numeric test: numbers and Booleans and Empty are
    // numeric; a string is when all of it reads as a number written in this
    // locale (grouping separators, a sign, an exponent allowed).
    bool isNumeric(const Variant& value) const;
    // The locale-aware date test: dates are; a string is when it reads as a
    // date in this locale's order (or year first), optionally with a time.
    bool isDate(const Variant& value) const;
    // The date that a value stands for; Failure 13 when it is none.
    double toDate(const Variant& value) const;

    // Formats a date with a pattern of d, dd, m, mm, yy, yyyy, h, hh, n, nn,
    // s, ss; "/" is written as this locale's date separator, ":" as ":".
    // The value goes through toDate first.
    std::string formatDate(const Variant& value, std::string_view pattern) const;

private:
    std::optional<double> parseDate(std::string_view text) const;
    std::optional<double> parseLocaleNumber(std::string_view text) const;

    std::string decimalSeparator_;
    std::string dateSeparator_;
    DateOrder dateOrder_;
    std::string name_;
};

// Dates as day serials (1899-12-30 is day 0) and back. A serial too far
// from day 0 for any calendar (or NaN) is Failure 6 (overflow).
double dateSerial(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
CivilDateTime civilFromSerial(double serial);
bool isValidCivilDate(int year, int month, int day);

}  // namespace quorvel
