// The locale's readers of numbers and dates, from any text.
//
//   numericParse  a finite number, or Failure 6 (overflow); blanks anywhere
//                 change nothing
//   isNumeric     the text of any finite number in a locale is numeric in
//                 that locale, and the English text reads back as the number
//   isDate        exactly when toDate gives a date (else Failure 13); the
//                 short date of that date is a date again and reads back as
//                 the same moment
//   formatDate    any value that toDate takes can be written
//
// Input: the first byte picks the locale (English, Italian, German, year
// first); the rest is the text. Its first eight bytes also stand for a
// double, so that extreme values get formatted too.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "platform/failure.h"
#include "platform/locale.h"

using namespace quorvel;
using quorvel::fuzz::check;
using quorvel::fuzz::shown;

namespace {

const Locale& localeFor(std::uint8_t selector) {
    static const Locale locales[] = {
        Locale::english(),
        Locale::italian(),
        Locale(",", ".", DateOrder::DayMonthYear, "de-DE"),
        Locale(".", "-", DateOrder::YearMonthDay, "year-first"),
    };
    return locales[selector % 4];
}

bool closeTo(double a, double b, double relative) {
    if (a == b) return true;
    return std::fabs(a - b) <= relative * std::fmax(std::fabs(a), std::fabs(b));
}

// numericParse's contract: a finite number or Failure 6.
std::optional<double> parsed(std::string_view text) {
    try {
        double v = Locale::numericParse(text);
        check(std::isfinite(v), "numericParse gave a number that is not finite", shown(text));
        return v;
    } catch (const Failure& f) {
        check(f.number() == failure::kOverflow, "numericParse failed with a number other than 6",
              shown(text));
        return std::nullopt;
    }
}

void numberRoundTrip(const Locale& locale, double x) {
    // Fifteen digits of the very largest doubles round up past the largest
    // double: their text reads as an overflow, as the host's own does.
    if (!std::isfinite(x) || std::fabs(x) > 1.79769313486231e308) return;
    const std::string text = locale.textOf(Variant(x));
    check(locale.isNumeric(Variant(text)), "the text of a number is not numeric in its locale",
          locale.name() + " " + shown(text));
    const float single = static_cast<float>(std::fmax(std::fmin(x, 3.0e38), -3.0e38));
    const std::string singleText = locale.textOf(Variant(single));
    check(locale.isNumeric(Variant(singleText)), "the text of a Single is not numeric in its locale",
          locale.name() + " " + shown(singleText));
    const std::string english = Locale::english().textOf(Variant(x));
    auto back = parsed(english);
    check(back.has_value() && closeTo(*back, x, 1e-14), "the English text of a number reads back as another",
          shown(english));
}

void dateChecks(const Locale& locale, std::string_view text) {
    const Variant value{std::string(text)};
    const bool isDate = locale.isDate(value);
    double serial = 0;
    try {
        serial = locale.toDate(value);
        check(isDate, "toDate read a text that isDate refuses", shown(text));
    } catch (const Failure& f) {
        check(!isDate, "toDate failed on a text that isDate accepts", shown(text));
        check(f.number() == failure::kTypeMismatch, "toDate failed with a number other than 13", shown(text));
        return;
    }
    check(std::isfinite(serial), "a date that is not finite", shown(text));
    const std::string shortText = locale.shortDate(serial);
    const std::string story = locale.name() + " " + shown(text) + " -> " + shown(shortText);
    check(locale.isDate(Variant(shortText)), "the short date of a date is not a date", story);
    const double again = locale.toDate(Variant(shortText));
    // Both are whole seconds; the short date writes seconds.
    check(std::fabs(again - serial) < 0.5 / 86400.0, "the short date of a date reads back as another moment",
          story);
    (void)locale.formatDate(Variant(shortText), "dddd/mmmm/yy yyyy hh:nn:ss h n s");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const Locale& locale = localeFor(data[0]);
    std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    // Blanks may stand anywhere: removing them changes nothing.
    auto v = parsed(text);
    std::string unblanked;
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') unblanked += c;
    auto w = parsed(unblanked);
    check(v.has_value() == w.has_value() && (!v || *v == *w || (std::isnan(*v) && std::isnan(*w))),
          "blanks changed the number numericParse reads", shown(text));
    if (v) numberRoundTrip(locale, *v);

    const bool numeric = locale.isNumeric(Variant(std::string(text)));
    (void)numeric;

    if (text.size() >= 8) {
        double bits;
        std::memcpy(&bits, text.data(), sizeof bits);
        numberRoundTrip(locale, bits);
        // Any number toDate takes can be written as a date.
        try {
            (void)locale.formatDate(Variant(bits), "dd/mm/yyyy hh:nn:ss");
            (void)locale.textOf(Variant::date(bits));
        } catch (const Failure& f) {
            check(f.number() == failure::kOverflow, "a date failed to be written with a number other than 6",
                  std::to_string(bits));
        }
    }

    dateChecks(locale, text);
    return 0;
}
