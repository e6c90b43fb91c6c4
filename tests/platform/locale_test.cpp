#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>

#include "platform/failure.h"
#include "platform/locale.h"
#include "platform/text.h"

namespace quorvel {
namespace {

TEST(NumericParse, ReadsTheLongestLeadingNumberWhateverTheLocale) {
    struct Case {
        const char* what;
        const char* text;
        double expected;
    };
    const Case cases[] = {
        {"plain", "3.25", 3.25},
        {"comma ends the number", "3,25", 3},
        {"blanks between digits", "1 2", 12},
        {"tabs and line feeds", "\t1\n2.5", 12.5},
        {"sign after blanks", " - 5", -5},
        {"plus sign", "+7", 7},
        {"leading point", ".5", 0.5},
        {"trailing point", "5.", 5},
        {"second point ends", "1.2.3", 1.2},
        {"E exponent", "1E3", 1000},
        {"D exponent", "2d2", 200},
        {"negative exponent", "25e-1", 2.5},
        {"exponent without digits", "1e", 1},
        {"hexadecimal", "&H10", 16},
        {"hexadecimal lower case", "&hff", 255},
        {"octal", "&O17", 15},
        {"no number", "abc", 0},
        {"empty", "", 0},
        {"sign alone", "-", 0},
        {"letters after digits", "12abc", 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_DOUBLE_EQ(Locale::numericParse(c.text), c.expected);
    }
}

TEST(NumericParse, AnExponentOrHexDigitsBeyondADoubleAreAnOverflowNotAnInfinity) {
    // 300 hexadecimal digits are some 1200 bits, beyond any double.
    const std::string longHex = "&H" + std::string(300, 'F');
    for (const std::string& text : {std::string("1e999"), longHex}) {
        SCOPED_TRACE(text);
        try {
            Locale::numericParse(text);
            FAIL() << "no failure";
        } catch (const Failure& f) { EXPECT_EQ(f.number(), failure::kOverflow); }
    }
    EXPECT_FALSE(Locale::english().isNumeric(Variant(longHex)));
}

TEST(LocaleText, NumbersUseTheLocalesSeparatorAndFifteenDigits) {
    Locale en = Locale::english(), it = Locale::italian();
    EXPECT_EQ(en.textOf(Variant(12.5)), "12.5");
    EXPECT_EQ(it.textOf(Variant(12.5)), "12,5");
    EXPECT_EQ(it.textOf(Variant(1.5f)), "1,5");
    EXPECT_EQ(en.textOf(Variant(1.1f)), "1.1");  // a Single shows 7 digits, not its binary tail
    EXPECT_EQ(en.textOf(Variant(0.1 + 0.2)), "0.3");
    EXPECT_EQ(en.textOf(Variant(1234567.0)), "1234567");  // no grouping
    EXPECT_EQ(en.textOf(Variant(1e20)), "1E+20");
    EXPECT_EQ(en.textOf(Variant(0.00001)), "1E-05");
    EXPECT_EQ(en.textOf(Variant(-0.0)), "0");
    EXPECT_EQ(en.textOf(Variant(std::int16_t{-7})), "-7");
    EXPECT_EQ(en.textOf(Variant::boolean(true)), "True");
    EXPECT_EQ(it.textOf(Variant::boolean(false)), "False");
    EXPECT_EQ(en.textOf(Variant()), "");
}

TEST(LocaleText, NullAndObjectsHaveNoText) {
    Locale en = Locale::english();
    try {
        en.textOf(Variant::null());
        FAIL();
    } catch (const Failure& f) { EXPECT_EQ(f.number(), failure::kInvalidUseOfNull); }
    try {
        en.textOf(Variant(ObjectRef()));
        FAIL();
    } catch (const Failure& f) { EXPECT_EQ(f.number(), failure::kTypeMismatch); }
}

TEST(LocaleDates, ShortDateFollowsTheLocaleOrder) {
    Variant d = Variant::date(dateSerial(2026, 12, 7));
    EXPECT_EQ(Locale::english().textOf(d), "12/7/2026");
    EXPECT_EQ(Locale::italian().textOf(d), "07/12/2026");
    EXPECT_EQ(Locale::english().textOf(Variant::date(dateSerial(2026, 12, 7, 15, 4, 5))),
              "12/7/2026 3:04:05 PM");
    EXPECT_EQ(Locale::italian().textOf(Variant::date(dateSerial(1899, 12, 30, 9, 30, 0))), "09:30:00");
}

TEST(LocaleDates, FormatWritesMonthFirstWithTheLocalesSeparator) {
    Locale it = Locale::italian();
    Locale dotted(",", ".", DateOrder::DayMonthYear, "de-DE");
    // Read in the locale's own order, written month first.
    EXPECT_EQ(it.formatDate(Variant("07/12/2026"), "mm/dd/yyyy"), "12/07/2026");
    EXPECT_EQ(Locale::english().formatDate(Variant("12/7/2026"), "mm/dd/yyyy"), "12/07/2026");
    EXPECT_EQ(dotted.formatDate(Variant("7.12.2026"), "mm/dd/yyyy"), "12.07.2026");
    EXPECT_EQ(it.formatDate(Variant("2026-12-07"), "mm/dd/yyyy"), "12/07/2026");
    EXPECT_EQ(it.formatDate(Variant::date(dateSerial(2026, 1, 2, 3, 4, 5)), "yy-m-d hh:nn:ss"),
              "26-1-2 03:04:05");
}

TEST(LocaleTests, NumericAndDateTestsReadTheLocalesWay) {
    Locale en = Locale::english(), it = Locale::italian();
    EXPECT_TRUE(it.isNumeric(Variant("12,5")));
    EXPECT_FALSE(en.isNumeric(Variant("12,5x")));
    EXPECT_TRUE(en.isNumeric(Variant("1,234.5")));  // grouping is accepted
    EXPECT_TRUE(it.isNumeric(Variant("1.234,5")));
    EXPECT_TRUE(en.isNumeric(Variant(" -3e2 ")));
    EXPECT_TRUE(en.isNumeric(Variant("&HFF")));
    EXPECT_FALSE(en.isNumeric(Variant("1*")));
    EXPECT_FALSE(en.isNumeric(Variant("")));
    EXPECT_FALSE(en.isNumeric(Variant::null()));
    EXPECT_TRUE(en.isNumeric(Variant()));
    EXPECT_FALSE(en.isNumeric(Variant::date(1)));

    EXPECT_TRUE(en.isDate(Variant("12/31/2026")));
    EXPECT_FALSE(en.isDate(Variant("31/12/2026")));
    EXPECT_TRUE(it.isDate(Variant("31/12/2026")));
    EXPECT_FALSE(it.isDate(Variant("30/02/2026")));
    EXPECT_TRUE(it.isDate(Variant("29/02/2024")));
    EXPECT_TRUE(en.isDate(Variant("12/7/26 10:30 PM")));
    EXPECT_FALSE(en.isDate(Variant("12/7")));
    EXPECT_FALSE(en.isDate(Variant("1*")));
    EXPECT_FALSE(en.isDate(Variant(12.0)));
}

// Found by the fuzz target of the locale's readers.
TEST(LocaleDates, ATimeAloneReadsBackInEveryLocale) {
    for (const Locale& locale : {Locale::english(), Locale::italian()}) {
        SCOPED_TRACE(locale.name());
        const double serial = dateSerial(1899, 12, 30, 5, 4, 0);
        const std::string text = locale.shortDate(serial);
        EXPECT_TRUE(locale.isDate(Variant(text))) << text;
        EXPECT_DOUBLE_EQ(locale.toDate(Variant(text)), serial);
    }
    const Locale en = Locale::english();
    EXPECT_EQ(en.shortDate(dateSerial(1899, 12, 30, 17, 4, 0)), "5:04:00 PM");
    EXPECT_DOUBLE_EQ(en.toDate(Variant("5:04 pm")), dateSerial(1899, 12, 30, 17, 4, 0));
    // A date with a time still reads as before.
    EXPECT_DOUBLE_EQ(en.toDate(Variant("12/31/2026 11:59:59 PM")), dateSerial(2026, 12, 31, 23, 59, 59));
    EXPECT_FALSE(en.isDate(Variant("5:04 13/40/2026")));
}

TEST(LocaleDates, ASerialWithoutACalendarDateIsAnOverflow) {
    const Locale en = Locale::english();
    for (double serial : {1e300, -4.5e185, 1e11, std::numeric_limits<double>::infinity(),
                          std::numeric_limits<double>::quiet_NaN()}) {
        SCOPED_TRACE(serial);
        auto overflows = [](const std::function<void()>& f) {
            try {
                f();
            } catch (const Failure& e) { return e.number() == failure::kOverflow; }
            return false;
        };
        EXPECT_TRUE(overflows([&] { civilFromSerial(serial); }));
        EXPECT_TRUE(overflows([&] { en.textOf(Variant::date(serial)); }));
        EXPECT_TRUE(overflows([&] { en.formatDate(Variant(serial), "dd/mm/yyyy"); }));
    }
    // Far but still on the calendar: no failure.
    EXPECT_EQ(civilFromSerial(dateSerial(9999, 12, 31)).year, 9999);
    EXPECT_GT(civilFromSerial(1e9).year, 9999);
}

TEST(LocaleEnvironment, ItalianTagsGiveTheItalianPreset) {
    ::setenv("LC_ALL", "it_IT.UTF-8", 1);
    EXPECT_EQ(Locale::fromEnvironment().decimalSeparator(), ",");
    ::setenv("LC_ALL", "C", 1);
    EXPECT_EQ(Locale::fromEnvironment().decimalSeparator(), ".");
    ::unsetenv("LC_ALL");
}

TEST(Utf16Text, PositionsCountUtf16Units) {
    const std::string s = "a\xC3\xA9\xF0\x9F\x98\x80z";  // a, e-acute, an emoji, z
    EXPECT_EQ(utf16Length(s), 5);
    EXPECT_EQ(utf16Mid(s, 1, 1), "\xC3\xA9");
    EXPECT_EQ(utf16Mid(s, 2, 2), "\xF0\x9F\x98\x80");
    EXPECT_EQ(utf16Mid(s, 4, 10), "z");
    EXPECT_EQ(byteOffsetOfUnit(s, 3), 3u);  // inside the pair: back to its start
    EXPECT_EQ(utf16Length("\xFF\xFE"), 2);  // invalid bytes count one each
    EXPECT_TRUE(equalsIgnoringCase("caff\xC3\xA8", "CAFF\xC3\x88"));
    EXPECT_EQ(trimSpaces("  a\tb  "), "a\tb");
}

}  // namespace
}  // namespace quorvel
