// The pieces under FindFirst on their own: the fold, the pattern matcher,
// the criteria parser, and the find indexes checked against a plain scan.
#include <gtest/gtest.h>

#include <random>

#include "engine/criteria.h"
#include "engine/data_engine.h"
#include "engine/find_index.h"
#include "engine/like_pattern.h"
#include "engine/text_fold.h"
#include "engine_fixture.h"
#include "platform/locale.h"
#include "platform/text.h"

namespace quorvel::engine {
namespace {

using testing::failureOf;

std::string byIcu(const std::string& text) {
    std::string out;
    appendFoldedByIcu(text, out);
    return out;
}

TEST(Fold, FoldsCaseFullyAndComposes) {
    const std::pair<const char*, const char*> cases[] = {
        {"ÉCOLE", "école"},
        {"Straße", "strasse"},
        {"STRASSE", "strasse"},
        {"ẞ", "ss"},
        {"E\xCC\x81", "é"},  // decomposed É composes after folding
        {"ΣΑΣ", "σασ"},
        {"ς", "σ"},  // final sigma folds like any sigma
        {"İ", "i\xCC\x87"},
        {"ǰ", "ǰ"},
        {"ΐ", "ΐ"},
        {"Ǆ", "ǆ"},
        {"a\xFF"
         "b",
         "a\xEF\xBF\xBD"
         "b"},  // a stray byte becomes U+FFFD
        {"", ""},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(folded(text), expected);
        EXPECT_EQ(byIcu(text), expected);
    }
}

// The table of two-byte characters must give what ICU gives, for every
// such character and for mixtures with combining marks around them.
TEST(Fold, TheFastTableAgreesWithIcuEverywhere) {
    for (char32_t c = 0x80; c < 0x800; ++c) {
        std::string text = "A";
        appendUtf8(text, c);
        text += "b";
        ASSERT_EQ(folded(text), byIcu(text)) << "U+" << std::hex << static_cast<unsigned>(c);
    }
    std::mt19937 rng(11);
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        for (int k = 0, n = 1 + static_cast<int>(rng() % 5); k < n; ++k) {
            auto pick = static_cast<unsigned>(rng() % 10);
            auto c = static_cast<char32_t>(pick < 3   ? 0x41 + rng() % 58
                                           : pick < 8 ? 0x80 + rng() % 0x780
                                                      : 0x300 + rng() % 0x70);
            appendUtf8(text, c);
        }
        ASSERT_EQ(folded(text), byIcu(text)) << text;
    }
}

TEST(Like, PatternsMatchWholeFoldedTexts) {
    struct Case {
        const char* pattern;
        const char* text;
        bool expected;
    };
    const Case cases[] = {
        {"abc", "ABC", true},
        {"abc", "abcd", false},
        {"a*", "a", true},
        {"a*c", "abbbc", true},
        {"a*c", "abcb", false},
        {"*b*", "abc", true},
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"?", "é", true},
        {"??", "é", false},
        {"#", "7", true},
        {"#", "x", false},
        {"[abc]", "B", true},
        {"[abc]", "d", false},
        {"[a-c]x", "bx", true},
        {"[!a-c]x", "bx", false},
        {"[!a-c]x", "dx", true},
        {"[-a]", "-", true},
        {"[a-]", "-", true},
        {"[*?#]", "?", true},
        {"a]", "a]", true},
        {"*a*a*a*", "aaa", true},
        {"*a*a*a*", "aa", false},
        {"É*", "école", true},
        {"[É]", "é", true},
        {"*sse", "Straße", true},
        {"Stra??e", "Straße", true},
        {"Stra?e", "Straße", false},
        {"", "", true},
        {"", "a", false},
        {"*", "", true},
        {"**", "x", true},
        // Segments between stars: taken at their leftmost place, overlaps included.
        {"*aab*", "aaab", true},
        {"*abab*", "abaabab", true},
        {"*a?c*", "abac", false},
        {"*a?c*", "xabcabc", true},
        {"*[xy]#*z", "x9x7z", true},
        {"*[xy]#*z", "9xz", false},
        {"*ab*ab", "abab", true},
        {"*ab*ab", "aba", false},
        {"a*b?d*#", "abxdab1d2", true},
        {"a*b?d*#", "abxd", false},
        {"*é?*se", "xéyßstrasse", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " ~ " + c.text);
        EXPECT_EQ(LikePattern::compile(c.pattern).matches(folded(c.text)), c.expected);
    }
    EXPECT_EQ(LikePattern::compile("Ros?e*").literalPrefix(), "ros");
    EXPECT_TRUE(LikePattern::compile("Ros*").isPrefixThenAnything());
    EXPECT_FALSE(LikePattern::compile("Ros*e").isPrefixThenAnything());
    EXPECT_TRUE(LikePattern::compile("Ros").isLiteral());
    EXPECT_EQ(LikePattern::compile("*son").literalPrefix(), "");
    for (const char* bad : {"[", "a[bc", "[]", "[!]", "[z-a]", "x[!"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(failureOf([&] { LikePattern::compile(bad); }), failure_code::kCriteriaSyntax);
    }
}

// A star before a long segment used to retry the segment at every place in
// the key: a million characters against ten thousand took minutes. Each
// segment is now found in one pass over the key.
TEST(Like, ALongSegmentAfterAStarCostsOnePassOverTheKey) {
    const std::string key(1000000, 'a');
    const std::string literal = "*" + std::string(10000, 'a');
    std::string withWildcards = "*";
    for (int i = 0; i < 150; ++i) withWildcards += "a?[a-c]";
    struct Case {
        std::string pattern;
        bool onKey, onKeyAndDigit;
    };
    const Case cases[] = {
        {literal + "b", false, false},      {literal + "b*", false, false},
        {literal + "*", true, true},        {literal, true, false},
        {withWildcards + "#", false, true}, {withWildcards + "#*", false, true},
        {withWildcards + "*", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern.substr(0, 24) + "... of " + std::to_string(c.pattern.size()));
        const LikePattern pattern = LikePattern::compile(c.pattern);
        EXPECT_EQ(pattern.matches(key), c.onKey);
        EXPECT_EQ(pattern.matches(key + "7"), c.onKeyAndDigit);
    }
}

TEST(Criteria, ParsesTheThreeKindsOfValue) {
    const std::string fields[] = {"Name", "First Name", "Born", "Score"};
    struct Case {
        const char* criteria;
        int field;
        CriteriaOp op;
        CriteriaValue::Kind kind;
        const char* text;
        double number;
    };
    using K = CriteriaValue::Kind;
    const Case cases[] = {
        {"Name >= \"Ro\"", 0, CriteriaOp::GreaterOrEqual, K::Text, "Ro", 0},
        {"name = \"\"", 0, CriteriaOp::Equal, K::Text, "", 0},
        {"Name Like \"R*\"", 0, CriteriaOp::Like, K::Text, "R*", 0},
        {"Name like 'a''b'", 0, CriteriaOp::Like, K::Text, "a'b", 0},
        {"  Name = \"x\"  ", 0, CriteriaOp::Equal, K::Text, "x", 0},
        {"First Name = \"a = b\"", 1, CriteriaOp::Equal, K::Text, "a = b", 0},
        {"[First Name] >= \"x\"", 1, CriteriaOp::GreaterOrEqual, K::Text, "x", 0},
        {"Score = 12.5", 3, CriteriaOp::Equal, K::Number, "12.5", 12.5},
        {"Score = -.5", 3, CriteriaOp::Equal, K::Number, "-.5", -0.5},
        {"Score = +3", 3, CriteriaOp::Equal, K::Number, "+3", 3},
        {"Score >= 1E+15", 3, CriteriaOp::GreaterOrEqual, K::Number, "1E+15", 1e15},
        {"Score >= 2.5e-3", 3, CriteriaOp::GreaterOrEqual, K::Number, "2.5e-3", 0.0025},
        {"Born = #12/07/2026#", 2, CriteriaOp::Equal, K::Date, nullptr, dateSerial(2026, 12, 7)},
        {"Born = #12.07.2026#", 2, CriteriaOp::Equal, K::Date, nullptr, dateSerial(2026, 12, 7)},
        {"Born = #12-7-2026#", 2, CriteriaOp::Equal, K::Date, nullptr, dateSerial(2026, 12, 7)},
        {"Born = #2026-12-07#", 2, CriteriaOp::Equal, K::Date, nullptr, dateSerial(2026, 12, 7)},
        {"Born = #1/2/99#", 2, CriteriaOp::Equal, K::Date, nullptr, dateSerial(1999, 1, 2)},
        {"Born = #1/2/29#", 2, CriteriaOp::Equal, K::Date, nullptr, dateSerial(2029, 1, 2)},
        {"Born >= #12/07/2026 18:05:09#", 2, CriteriaOp::GreaterOrEqual, K::Date, nullptr,
         dateSerial(2026, 12, 7, 18, 5, 9)},
        {"Born >= #12/07/2026 12:00 AM#", 2, CriteriaOp::GreaterOrEqual, K::Date, nullptr,
         dateSerial(2026, 12, 7)},
        {"Born >= #12/07/2026 12:30 PM#", 2, CriteriaOp::GreaterOrEqual, K::Date, nullptr,
         dateSerial(2026, 12, 7, 12, 30)},
        {"Born = #12/30/1899 06:00#", 2, CriteriaOp::Equal, K::Date, nullptr, 0.25},
        {"Born = #12/29/1899 06:00#", 2, CriteriaOp::Equal, K::Date, nullptr, -1.25},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.criteria);
        Criteria parsed = parseCriteria(c.criteria, fields);
        EXPECT_EQ(parsed.fieldIndex, c.field);
        EXPECT_EQ(parsed.op, c.op);
        EXPECT_EQ(parsed.value.kind, c.kind);
        if (c.text != nullptr) { EXPECT_EQ(parsed.value.text, c.text); }
        if (c.kind != K::Text) { EXPECT_NEAR(parsed.value.number, c.number, 1e-9); }
    }
}

// Whatever text arrives as a criteria, the answer is a parse or one of the
// criteria failures: never a crash, never another exception.
TEST(Criteria, ArbitraryTextEndsInAParseOrACriteriaFailure) {
    const std::string fields[] = {"Name", "A B"};
    const char* pieces[] = {"Name", "A B", " = ", " >= ", " Like ", "\"",   "'",          "#",
                            "[",    "]",   "!",   "-",    "*",      "?",    "1",          ".",
                            "e",    "/",   ":",   " ",    "é",      "\xFF", "12/07/2026", "PM"};
    std::mt19937 rng(77);
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        for (int k = 0, n = static_cast<int>(rng() % 8); k < n; ++k)
            text += pieces[rng() % std::size(pieces)];
        SCOPED_TRACE(text);
        try {
            Criteria parsed = parseCriteria(text, fields);
            if (parsed.op == CriteriaOp::Like) LikePattern::compile(parsed.value.text).matches(folded(text));
        } catch (const Failure& failure) {
            ASSERT_TRUE(failure.number() == failure_code::kCriteriaSyntax ||
                        failure.number() == failure_code::kUnknownCriteriaField)
                << failure.number();
        }
    }
}

// The indexes answer exactly what a scan in recordset order answers, on
// random keys with many duplicates and Nulls, at sizes around the range
// table's block size.
TEST(FindIndexes, AnswerLikeAScanInRecordsetOrder) {
    const char* pieces[] = {"a", "B", "é", "É", "s", "ß", "ab", "abc"};
    const char* patterns[] = {"a*",  "ab*",   "é*", "ss*", "a?*", "*b",
                              "a*c", "[ab]*", "?",  "*é*", "abc", "zz*"};
    std::mt19937 rng(1234);
    for (std::size_t n : {0u, 1u, 31u, 32u, 33u, 64u, 65u, 1000u, 5000u}) {
        SCOPED_TRACE(n);
        std::vector<std::optional<std::string>> keys;
        TextKeyIndex text;
        NumberKeyIndex number;
        std::vector<std::optional<double>> numbers;
        for (std::size_t i = 0; i < n; ++i) {
            if (rng() % 7 == 0) {
                keys.push_back(std::nullopt);
                text.addNull();
            } else {
                std::string key;
                for (int k = 0, len = static_cast<int>(rng() % 4); k < len; ++k) key += pieces[rng() % 8];
                keys.push_back(key);
                text.add(key);
            }
            numbers.push_back(rng() % 9 == 0 ? std::nullopt
                                             : std::optional<double>(static_cast<double>(rng() % 50) / 2));
            number.add(numbers.back());
        }
        text.finish();
        number.finish();

        auto scan = [&](auto&& matches) {
            for (std::size_t i = 0; i < n; ++i) {
                if (keys[i] && matches(folded(*keys[i]))) return static_cast<std::int32_t>(i);
            }
            return std::int32_t{-1};
        };
        for (int q = 0; q < 200; ++q) {
            std::string query;
            for (int k = 0, len = static_cast<int>(rng() % 3); k < len; ++k) query += pieces[rng() % 8];
            std::string f = folded(query);
            SCOPED_TRACE(query);
            ASSERT_EQ(text.firstAtOrAfter(f), scan([&](const std::string& k) { return k >= f; }));
            ASSERT_EQ(text.firstEqual(f), scan([&](const std::string& k) { return k == f; }));
        }
        for (const char* p : patterns) {
            SCOPED_TRACE(p);
            LikePattern pattern = LikePattern::compile(p);
            ASSERT_EQ(text.firstLike(pattern),
                      scan([&](const std::string& k) { return pattern.matches(k); }));
        }
        for (double v = -1; v <= 26; v += 0.5) {
            auto first = [&](auto&& matches) {
                for (std::size_t i = 0; i < n; ++i) {
                    if (numbers[i] && matches(*numbers[i])) return static_cast<std::int32_t>(i);
                }
                return std::int32_t{-1};
            };
            ASSERT_EQ(number.firstAtOrAfter(v), first([&](double k) { return k >= v; })) << v;
            ASSERT_EQ(number.firstEqual(v), first([&](double k) { return k == v; })) << v;
        }
    }
}

}  // namespace
}  // namespace quorvel::engine
