// Finds written the way the control writes them (the field's name as the
// recordset has it, the operator, the value) over fields whose names hold
// brackets, blanks and operators: each resolves to its own field.
#include "engine_fixture.h"

namespace quorvel::engine::testing {
namespace {

class OddFieldNames : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        quorvel::testing::makeDatabase(
            dir.file("odd.db"),
            "CREATE TABLE odd(\"[Sigla]\" TEXT, \" Lead\" TEXT, \"Min >= Max\" REAL, \"Min\" REAL,"
            " \"Tail \" TEXT, \"Is Like\" TEXT);"
            "INSERT INTO odd VALUES ('AB', 'zeta', 1, 9, 'p', 'x'), ('CD', 'alfa', 5, 2, 'q', 'y'),"
            " ('EF', 'mike', 3, 7, 'r', 'z');");
        control->setDatabaseName(dir.file("odd.db"));
        control->setRecordSource("SELECT * FROM odd");
        control->refresh();
    }
};

TEST_F(OddFieldNames, EveryFieldIsFoundByTheNameTheRecordsetGivesIt) {
    Recordset& rs = *control->recordset();
    const std::pair<const char*, std::int32_t> cases[] = {
        {"[Sigla] >= \"c\"", 1},
        {"[Sigla] = \"ef\"", 2},
        {"[Sigla] Like \"?F\"", 2},
        {"[sigla] like \"c*\"", 1},  // names and the operator in any case
        {" Lead >= \"n\"", 0},
        {" Lead = \"ALFA\"", 1},
        {"Min >= Max >= 2", 1},  // the longer name wins
        {"Min >= Max = 3", 2},
        {"Min >= 8", 0},
        {"Min = 2", 1},
        {"Tail  = \"q\"", 1},
        {"Is Like Like \"z\"", 2},
        {"Is Like = \"y\"", 1},
        // What callers wrote before still reads.
        {"[ Lead] = \"mike\"", 2},
        {"  Min = 7", 2},
        {"[Min >= Max] = 5", 1},
    };
    for (const auto& [criteria, expected] : cases) {
        SCOPED_TRACE(criteria);
        EXPECT_EQ(found(rs, criteria), expected) << descriptionOf([&] { rs.findFirst(criteria); });
    }

    // A bad value after a field's name is the value's fault, not the field's.
    EXPECT_EQ(failureOf([&] { rs.findFirst("[Sigla] >= \"c"); }), failure_code::kCriteriaSyntax);
    EXPECT_EQ(failureOf([&] { rs.findFirst("Min >= Max >= x"); }), failure_code::kCriteriaSyntax);
    EXPECT_EQ(failureOf([&] { rs.findFirst("Sigla >= \"c\""); }), failure_code::kUnknownCriteriaField);
    EXPECT_EQ(failureOf([&] { rs.findFirst("Lead >= \"c\""); }), failure_code::kUnknownCriteriaField);
}

}  // namespace
}  // namespace quorvel::engine::testing
