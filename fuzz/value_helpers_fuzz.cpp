// The control's value helpers on any value a host may pass: text of any
// bytes, numbers of any bits, dates, Booleans, Empty and Null, in locales
// with a one-byte and a multi-byte decimal separator.
//
//   all       the argument is never written
//   UnNull    Null gives Empty, anything else itself
//   UnNull2   text without surrounding spaces
//   UnNullxSQL  UnNull2's text, as long, with no double quote left
//   Val2      Null gives Integer 0, anything else a finite Double (or
//             Failure 6 for a number too large)
//   ValxSQL   Null gives "0"; otherwise a number in C syntax only (digits,
//             one ".", a sign, an exponent) that reads back as Val2's number
//
// Input: the first byte picks the locale, the second the kind of value, the
// rest is the text or the bytes of the number.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "control/quorvel2000.h"
#include "fuzz_check.h"
#include "headless/site.h"
#include "platform/failure.h"
#include "platform/locale.h"

using namespace quorvel;
using quorvel::fuzz::check;
using quorvel::fuzz::shown;

namespace {

Locale localeFor(std::uint8_t selector) {
    switch (selector % 4) {
        case 0: return Locale::english();
        case 1: return Locale::italian();
        case 2: return Locale(",", ".", DateOrder::DayMonthYear, "de-DE");
        default: return Locale("\xD9\xAB", "/", DateOrder::DayMonthYear, "arabic-separator");
    }
}

template <class T>
T bitsOf(std::string_view bytes) {
    T v{};
    std::memcpy(&v, bytes.data(), std::min(sizeof v, bytes.size()));
    return v;
}

Variant valueFor(std::uint8_t kind, std::string_view rest) {
    switch (kind % 9) {
        case 0: return Variant(std::string(rest));
        case 1: return Variant(bitsOf<double>(rest));
        case 2: return Variant(bitsOf<float>(rest));
        case 3: return Variant(bitsOf<std::int16_t>(rest));
        case 4: return Variant(bitsOf<std::int32_t>(rest));
        case 5: return Variant::booleanValue(bitsOf<std::int16_t>(rest));
        case 6: return Variant::date(bitsOf<double>(rest));
        case 7: return Variant();
        default: return Variant::null();
    }
}

bool closeTo(double a, double b) {
    if (a == b) return true;
    return std::fabs(a - b) <= 1e-14 * std::fmax(std::fabs(a), std::fabs(b));
}

// Digits, at most one ".", a leading sign, an "E" exponent with its sign.
bool isCNumber(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && s[i] == '-') ++i;
    std::size_t digits = 0;
    bool point = false;
    for (; i < s.size(); ++i) {
        if (s[i] >= '0' && s[i] <= '9') ++digits;
        else if (s[i] == '.' && !point) point = true;
        else break;
    }
    if (digits == 0) return false;
    if (i < s.size() && s[i] == 'E') {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        std::size_t exponent = 0;
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) ++exponent;
        if (exponent == 0) return false;
    }
    return i == s.size();
}

// The same value, NaN included: a helper must not write even a NaN.
bool identical(const Variant& a, const Variant& b) { return a == b || a.debugString() == b.debugString(); }

struct World {
    headless::HeadlessSite site;
    Quorvel2000 control{site};
    World() { control.InitProperties(); }
};

// Runs a helper; a Failure 6 is the one failure a value that has a text may give.
template <class F>
bool runs(F&& helper, const std::string& story) {
    try {
        helper();
        return true;
    } catch (const Failure& f) {
        check(f.number() == failure::kOverflow, "a value helper failed with a number other than 6", story);
        return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || size > 4096) return 0;
    static World world;
    world.site.setLocale(localeFor(data[0]));
    std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
    const Variant original = valueFor(data[1], rest);
    const std::string story = world.site.locale().name() + " " + original.debugString();
    Quorvel2000& c = world.control;

    Variant v = original;
    const Variant unNull = c.UnNull(v);
    check(identical(v, original), "UnNull wrote its argument", story);
    check(original.isNull() ? unNull.isEmpty() : identical(unNull, original), "UnNull changed a value",
          story);

    std::optional<std::string> text;
    runs([&] { text = c.UnNull2(v).asString(); }, story);
    check(identical(v, original), "UnNull2 wrote its argument", story);
    if (text) {
        check(text->empty() || (text->front() != ' ' && text->back() != ' '), "UnNull2 left spaces around",
              story + " -> " + shown(*text));
        std::string quoted;
        runs([&] { quoted = c.UnNullxSQL(v).asString(); }, story);
        check(identical(v, original), "UnNullxSQL wrote its argument", story);
        check(quoted.size() == text->size() && quoted.find('"') == std::string::npos,
              "UnNullxSQL is not UnNull2 with the double quotes replaced", story + " -> " + shown(quoted));
    }

    std::optional<Variant> number;
    runs([&] { number = c.Val2(v); }, story);
    check(identical(v, original), "Val2 wrote its argument", story);
    if (number) {
        if (original.isNull()) {
            check(*number == Variant(std::int16_t{0}), "Val2 of Null is not the Integer 0", story);
        } else {
            check(number->type() == Variant::Type::Double && std::isfinite(number->asDouble()),
                  "Val2 gave something other than a finite Double", story + " -> " + number->debugString());
        }
    }

    std::optional<std::string> sql;
    runs([&] { sql = c.ValxSQL(v); }, story);
    check(identical(v, original), "ValxSQL wrote its argument", story);
    if (sql && number) {
        const std::string result = story + " -> " + shown(*sql);
        if (original.isNull()) {
            check(*sql == "0", "ValxSQL of Null is not 0", result);
        } else {
            check(isCNumber(*sql), "ValxSQL gave a text that is not a plain number", result);
            check(closeTo(Locale::numericParse(*sql), number->asDouble()), "ValxSQL's number is not Val2's",
                  result);
        }
    }
    return 0;
}
