// FindFirst over real recordsets: the three classes of criteria value, the
// three operators, patterns, Nulls, case folding beyond ASCII, and the
// failures of criteria that cannot be answered.
#include <algorithm>
#include <random>

#include "engine/text_fold.h"
#include "engine_fixture.h"

namespace quorvel::engine::testing {
namespace {

struct FindCase {
    const char* criteria;
    std::int32_t expected;  // the position found, -1 for NoMatch
};

void expectFinds(EngineTest& test, Recordset& rs, std::initializer_list<FindCase> cases,
                 std::int32_t (EngineTest::*found)(Recordset&, const std::string&)) {
    for (const FindCase& c : cases) {
        SCOPED_TRACE(c.criteria);
        rs.setAbsolutePosition(6);
        EXPECT_EQ((test.*found)(rs, c.criteria), c.expected);
        if (c.expected < 0) { EXPECT_EQ(rs.absolutePosition(), 6) << "NoMatch leaves the current record"; }
    }
}

class FindTest : public EngineTest {
public:
    using EngineTest::found;
};

TEST_F(FindTest, TextFindsFoldCaseBeyondAsciiAndTakeTheFirstRecordInRecordsetOrder) {
    Recordset& rs = open("people");
    expectFinds(*this, rs,
                {
                    {"name >= \"\"", 1},  // position 0 holds a Null: it matches nothing
                    {"name >= \"r\"", 1},
                    {"name >= \"ROSS\"", 1},
                    {"name >= \"Rost\"", 3},  // é sorts after every ASCII letter
                    {"name >= \"zz\"", 3},
                    {"name >= \"ü\"", -1},
                    {"name = \"rossi\"", 1},
                    {"name = \"Ross\"", 7},
                    {"name = \"Ros\"", -1},
                    {"name = \"école\"", 3},
                    {"name = \"École\"", 3},
                    {"name = \"E\xCC\x81"
                     "cole\"",
                     3},  // a decomposed É
                    {"name = \"STRASSE\"", 4},
                    {"name = \"strasse\"", 4},
                    {"name = \"STRAẞE\"", 4},  // the capital sharp s
                    {"[name] = \"Rosa\"", 5},
                    {"NAME = \"rosa\"", 5},
                    {"city = \"ROMA\"", 0},
                    {"city >= \"N\"", 0},
                    {"city >= \"Roma \"", -1},
                    {"name >= 2", 1},             // a number against text compares as its text
                    {"name = #12/07/2026#", -1},  // a date against text compares as ISO text
                },
                &FindTest::found);
}

TEST_F(FindTest, LikePatternsMatchWholeValuesCharacterByCharacter) {
    Recordset& rs = open("people");
    expectFinds(
        *this, rs,
        {
            {"name Like \"ros*\"", 1},       {"name LIKE \"ros*\"", 1},    {"name Like \"Ros?\"", 5},
            {"name Like \"Ross\"", 7},   // no wildcard: the whole value
            {"name Like \"?cole\"", 3},  // É is one character, two bytes
            {"name Like \"R[aeiou]s*\"", 1}, {"name Like \"R[!o]*\"", -1}, {"name Like \"[a-c]*\"", 2},
            {"name Like \"[!a-r]*\"", 3},    {"name Like \"*a\"", 5},      {"name Like \"*SS*\"", 1},
            {"name Like \"*12\"", 8},        {"name Like \"Zeta ##\"", 8}, {"name Like \"Zeta #\"", -1},
            {"name Like \"Stra*e\"", 4},     {"name Like \"*\"", 1},       {"city Like \"*\"", 0},
            {"name Like \"[*]*\"", -1},      {"name Like \"*]\"", -1},
        },
        &FindTest::found);
}

TEST_F(FindTest, NumbersDatesAndBooleansCompareAsTheirOwnKind) {
    Recordset& rs = open("people");
    expectFinds(*this, rs,
                {
                    {"score >= 7", 1},
                    {"score >= 7.6", 3},
                    {"score = 12", 3},
                    {"score >= -2000", 1},  // the Null score at position 0 is skipped
                    {"score = -1500", 8},
                    {"score = -1.5E3", 8},
                    {"score = -1.5e+3", 8},
                    {"score >= 100", -1},
                    {"score = \"6\"", 2},  // a text that reads as a number
                    {"id = 5", 4},
                    {"id >= 5.5", 5},
                    {"born = #12/07/2026#", 3},
                    {"born = #12.07.2026#", 3},
                    {"born = #12-07-2026#", 3},
                    {"born = #2026-12-07#", 3},
                    {"born = #12/7/26#", 3},
                    {"born >= #1/31/199#", 1},  // a year of three digits, as typed so far
                    {"born >= #1/31/0199#", 1},
                    {"born >= #1/1/2001#", 3},
                    {"born = #01/01/2001 10:30:00#", 4},
                    {"born = #1/1/2001 10:30 AM#", 4},
                    {"born = #1/1/2001#", -1},  // the stored value has a time
                    {"born >= #12/08/2026#", 8},
                    {"born = \"2026-12-07\"", 3},
                    {"active = -1", 1},
                    {"active = 0", 2},
                    {"active = \"True\"", 1},
                },
                &FindTest::found);
}

TEST_F(FindTest, CriteriaThatCannotBeAnsweredFailClearlyAndMoveNothing) {
    Recordset& rs = open("people");
    rs.setAbsolutePosition(2);
    recorder.take();
    struct Case {
        const char* criteria;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"nobody = 1", failure_code::kUnknownCriteriaField},
        {"[no body] = 1", failure_code::kUnknownCriteriaField},
        {"name", failure_code::kCriteriaSyntax},
        {"", failure_code::kCriteriaSyntax},
        {"name == \"a\"", failure_code::kCriteriaSyntax},
        {"name=\"a\"", failure_code::kCriteriaSyntax},
        {"name = ", failure_code::kCriteriaSyntax},
        {"name = \"abc", failure_code::kCriteriaSyntax},
        {"name = \"a\"b\"", failure_code::kCriteriaSyntax},
        {"name = abc", failure_code::kCriteriaSyntax},
        {"[name = \"a\"", failure_code::kCriteriaSyntax},
        {"score = 1.2.3", failure_code::kCriteriaSyntax},
        {"score = 1e", failure_code::kCriteriaSyntax},
        {"score = 1e999", failure_code::kCriteriaSyntax},
        {"score = inf", failure_code::kCriteriaSyntax},
        {"born = #13/45/2026#", failure_code::kCriteriaSyntax},
        {"born = #2/30/2026#", failure_code::kCriteriaSyntax},
        {"born = #12/07/2026", failure_code::kCriteriaSyntax},
        {"born = #12/07-2026#", failure_code::kCriteriaSyntax},
        {"born = #12/07/2026 25:00#", failure_code::kCriteriaSyntax},
        {"name Like \"[abc\"", failure_code::kCriteriaSyntax},
        {"name Like \"[]\"", failure_code::kCriteriaSyntax},
        {"name Like \"[!]\"", failure_code::kCriteriaSyntax},
        {"name Like \"[z-a]\"", failure_code::kCriteriaSyntax},
        {"score >= \"abc\"", failure_code::kCriteriaTypeMismatch},
        {"born = \"yesterday\"", failure_code::kCriteriaTypeMismatch},
        {"score Like \"1*\"", failure_code::kCriteriaTypeMismatch},
        {"born Like \"2026*\"", failure_code::kCriteriaTypeMismatch},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.criteria);
        EXPECT_EQ(failureOf([&] { rs.findFirst(c.criteria); }), c.expected)
            << descriptionOf([&] { rs.findFirst(c.criteria); });
    }
    EXPECT_EQ(rs.absolutePosition(), 2);
    EXPECT_EQ(recorder.take(), "");
}

TEST_F(FindTest, FieldNamesWithSpacesAndQuotesInsideValues) {
    quorvel::testing::makeDatabase(
        dir.file("spaced.db"),
        "CREATE TABLE t(\"First Name\" TEXT, \"Is = Odd\" TEXT, quote TEXT);"
        "INSERT INTO t VALUES ('Ann', 'x', 'say \"hi\"'), ('Bob', 'y', 'O''Brien');");
    control->setDatabaseName(dir.file("spaced.db"));
    control->setRecordSource("t");
    control->refresh();
    Recordset& rs = *control->recordset();
    EXPECT_EQ(found(rs, "First Name >= \"b\""), 1);
    EXPECT_EQ(found(rs, "[First Name] = \"ANN\""), 0);
    EXPECT_EQ(found(rs, "Is = Odd = \"y\""), 1) << "the operator after a whole field name wins";
    EXPECT_EQ(found(rs, "quote = \"say \"\"hi\"\"\""), 0) << "a doubled quote stands for one";
    EXPECT_EQ(found(rs, "quote = \"O'Brien\""), 1);
    EXPECT_EQ(found(rs, "quote = 'O''Brien'"), 1);
}

// A list sorted in SQL by the FOLD collation and a find must agree: the
// first record at or after a typed text is the lower bound of the sorted
// order. Under NOCASE, "é" and "É" would sort apart and the find would land
// elsewhere.
TEST_F(FindTest, AListSortedByTheFoldCollationIsSortedExactlyAsFindsCompare) {
    std::mt19937 rng(3);
    const char* pieces[] = {"a", "B", "é", "É", "ss", "ß", "z", "Ω", "ω", "-", " "};
    std::string sql = "CREATE TABLE w(word TEXT); INSERT INTO w VALUES ";
    for (int i = 0; i < 400; ++i) {
        std::string word;
        for (int k = 0, n = 1 + static_cast<int>(rng() % 4); k < n; ++k)
            word += pieces[rng() % std::size(pieces)];
        sql += (i ? ",('" : "('") + word + "')";
    }
    quorvel::testing::makeDatabase(dir.file("words.db"), sql);
    control->setDatabaseName(dir.file("words.db"));
    control->setRecordSource("SELECT word FROM w ORDER BY word COLLATE FOLD");
    control->refresh();
    Recordset& rs = *control->recordset();

    std::vector<std::string> keys;
    for (std::int32_t i = 0; i < rs.recordCount(); ++i) keys.push_back(folded(rs.valueAt(i, 0).asString()));
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
    for (const char* typed : {"a", "É", "éa", "SS", "ß", "Ω", "z", "zz", "-", " ", "b"}) {
        SCOPED_TRACE(typed);
        auto bound = std::lower_bound(keys.begin(), keys.end(), folded(typed)) - keys.begin();
        EXPECT_EQ(found(rs, std::string("word >= \"") + typed + "\""),
                  bound == static_cast<std::ptrdiff_t>(keys.size()) ? -1 : static_cast<std::int32_t>(bound));
    }
}

}  // namespace
}  // namespace quorvel::engine::testing
