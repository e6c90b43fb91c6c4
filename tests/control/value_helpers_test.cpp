#include <gtest/gtest.h>

#include "support/control_fixture.h"

namespace quorvel::testing {
namespace {

class ValueHelpers : public ControlTest {
protected:
    Variant unNull(Variant v) { return control->UnNull(v); }
    Variant unNull2(Variant v) { return control->UnNull2(v); }
    Variant unNullxSQL(Variant v) { return control->UnNullxSQL(v); }
    Variant val2(Variant v) { return control->Val2(v); }
    std::string valxSQL(Variant v) { return control->ValxSQL(v); }
    void SetUp() override { newControl(); }
};

TEST_F(ValueHelpers, UnNullFamilyIsNullSafeAndKeepsTypes) {
    EXPECT_TRUE(unNull(Variant::null()).isEmpty());
    EXPECT_EQ(unNull(Variant("")), Variant(""));
    EXPECT_EQ(unNull(Variant(std::int16_t{0})), Variant(std::int16_t{0}));
    EXPECT_EQ(unNull(Variant(2.5)), Variant(2.5));

    EXPECT_EQ(unNull2(Variant::null()), Variant(""));
    EXPECT_EQ(unNull2(Variant()), Variant(""));
    EXPECT_EQ(unNull2(Variant("  ab  ")), Variant("ab"));
    EXPECT_EQ(unNull2(Variant("\t\t")), Variant("\t\t"));  // tabs are not spaces
    EXPECT_EQ(unNull2(Variant(12)), Variant("12"));

    EXPECT_EQ(unNullxSQL(Variant::null()), Variant(""));
    EXPECT_EQ(unNullxSQL(Variant("say \"hi\"")), Variant("say 'hi'"));
    EXPECT_EQ(unNullxSQL(Variant("plain")), Variant("plain"));
    EXPECT_EQ(unNullxSQL(Variant(" \"\xC3\xA8\" ")), Variant("'\xC3\xA8'"));
}

TEST_F(ValueHelpers, TheArgumentIsNeverWritten) {
    Variant v("  x\"  ");
    control->UnNullxSQL(v);
    control->Val2(v);
    control->ValxSQL(v);
    EXPECT_EQ(v, Variant("  x\"  "));
}

TEST_F(ValueHelpers, Val2ReadsTheLocalesDecimalSeparator) {
    struct Case {
        const char* what;
        Locale locale;
        Variant input;
        Variant expected;
    };
    const Locale en = Locale::english(), it = Locale::italian();
    const Case cases[] = {
        {"null is the Integer 0", en, Variant::null(), Variant(std::int16_t{0})},
        {"empty text is the Double 0", en, Variant(""), Variant(0.0)},
        {"one character is not rewritten", en, Variant("7"), Variant(7.0)},
        {"no number", en, Variant("abc"), Variant(0.0)},
        {"hexadecimal", en, Variant("&H10"), Variant(16.0)},
        {"English point", en, Variant("3.25"), Variant(3.25)},
        {"English comma ends", en, Variant("3,25"), Variant(3.0)},
        {"Italian comma", it, Variant("3,25"), Variant(3.25)},
        {"Italian grouping point ends", it, Variant("1.234,5"), Variant(1.0)},
        {"Italian point ends", it, Variant("3.25"), Variant(3.0)},
        {"Italian double", it, Variant(3.25), Variant(3.25)},
        {"a Single", it, Variant(1.5f), Variant(1.5)},
        {"Boolean text", en, Variant::boolean(true), Variant(0.0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        site.setLocale(c.locale);
        EXPECT_EQ(val2(c.input), c.expected);
    }
}

TEST_F(ValueHelpers, ValxSQLWritesNumbersWithAPoint) {
    struct Case {
        const char* what;
        Locale locale;
        Variant input;
        const char* expected;
    };
    const Locale en = Locale::english(), it = Locale::italian();
    const Case cases[] = {
        {"null", en, Variant::null(), "0"},
        {"a digit", en, Variant("5"), "5"},
        {"no number", en, Variant("abc"), "0"},
        {"English", en, Variant("12.5"), "12.5"},
        {"Italian", it, Variant("12,5"), "12.5"},
        {"Italian leading zero", it, Variant("0,5"), "0.5"},
        {"Italian no leading zero", it, Variant(",5"), "0.5"},
        {"Italian grouping", it, Variant("1.234,5"), "1"},
        {"Italian double", it, Variant(0.25), "0.25"},
        {"a large number keeps its exponent", en, Variant(1e20), "1E+20"},
        {"negative", it, Variant("-7,75"), "-7.75"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        site.setLocale(c.locale);
        EXPECT_EQ(valxSQL(c.input), c.expected);
    }
}

TEST_F(ValueHelpers, TheSeparatorIsFoundAfreshAtEveryCall) {
    site.setLocale(Locale::english());
    EXPECT_EQ(valxSQL(Variant("2.5")), "2.5");
    site.setLocale(Locale::italian());
    EXPECT_EQ(valxSQL(Variant("2,5")), "2.5");
}

TEST_F(ValueHelpers, AValueWithoutTextFailsToTheCaller) {
    try {
        unNull2(Variant(ObjectRef()));
        FAIL();
    } catch (const Failure& f) { EXPECT_EQ(f.number(), failure::kTypeMismatch); }
    EXPECT_EQ(site.log(), "");  // no message box of its own
}

}  // namespace
}  // namespace quorvel::testing
