// Field names, type codes from declared types, and the Variants of stored
// values.
#include <cmath>

#include "engine_fixture.h"
#include "platform/locale.h"

namespace quorvel::engine::testing {
namespace {

TEST_F(EngineTest, DeclaredTypesMapToTheTypeCodes) {
    quorvel::testing::makeDatabase(
        dir.file("types.db"),
        "CREATE TABLE t(a CHAR, b VARCHAR(20), c NVARCHAR(10), d TEXT(30), e TEXT, f CLOB, g VARCHAR,"
        " h INTEGER, i INT, j BIGINT, k SMALLINT, l TINYINT, m REAL, n FLOAT, o DOUBLE, p DATE,"
        " q DATETIME, r TIME, s TIMESTAMP, t BOOLEAN, u BIT, v BLOB, w NUMERIC, x DECIMAL(10,2),"
        " y, z unsigned big int, aa double precision, ab character(5));"
        "INSERT INTO t(y) VALUES (NULL), (42);");
    control->setDatabaseName(dir.file("types.db"));
    control->setRecordSource("t");
    control->refresh();
    Fields& fields = control->recordset()->fields();
    const std::pair<const char*, std::int16_t> expected[] = {
        {"a", 10}, {"b", 10}, {"c", 10}, {"d", 10}, {"e", 12}, {"f", 12}, {"g", 12},
        {"h", 4},  {"i", 4},  {"j", 4},  {"k", 3},  {"l", 3},  {"m", 7},  {"n", 7},
        {"o", 7},  {"p", 8},  {"q", 8},  {"r", 22}, {"s", 23}, {"t", 1},  {"u", 1},
        {"v", 11}, {"w", 20}, {"x", 20}, {"y", 4},  {"z", 4},  {"aa", 7}, {"ab", 10},
    };
    ASSERT_EQ(fields.count(), static_cast<std::int16_t>(std::size(expected)));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(expected[i].first);
        EXPECT_EQ(fields.item(static_cast<std::int32_t>(i)).name(), expected[i].first);
        EXPECT_EQ(fields.item(static_cast<std::int32_t>(i)).type(), expected[i].second);
    }
}

TEST_F(EngineTest, ExpressionColumnsAreTypedByTheirFirstValueThatIsNotNull) {
    Recordset& rs = open(
        "SELECT 1 + 1 AS n, 'a' || 'b' AS t, 1.5 * 2 AS r, date('2026-12-07') AS d, NULL AS z, x'00ff' AS bl,"
        " CASE WHEN id = 1 THEN NULL ELSE id END AS late, name FROM people");
    const std::pair<const char*, std::int16_t> expected[] = {
        {"n", 4}, {"t", 10}, {"r", 7}, {"d", 8}, {"z", 10}, {"bl", 11}, {"late", 4}, {"name", 10}};
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(expected[i].first);
        EXPECT_EQ(rs.fields().item(static_cast<std::int32_t>(i)).type(), expected[i].second);
    }
    EXPECT_EQ(rs.fields().item("d").value(), Variant::date(dateSerial(2026, 12, 7)));
    EXPECT_EQ(rs.fields().item("bl").value(), Variant(std::string("\x00\xff", 2)));
    EXPECT_EQ(rs.fields().item("late").value(), Variant::null());
    EXPECT_EQ(rs.valueAt(1, 6), Variant::longValue(2));
}

TEST_F(EngineTest, StoredValuesBecomeVariantsOfTheFieldsKindWithoutLoss) {
    quorvel::testing::makeDatabase(
        dir.file("values.db"),
        "CREATE TABLE v(what TEXT, small SMALLINT, long INTEGER, real REAL, day DATE, at DATETIME, t TIME,"
        " flag BOOLEAN, data BLOB, note VARCHAR(10), money DECIMAL(10,2));"
        "INSERT INTO v VALUES ('values', 12, 70000, 2.5, '2026-12-07', '2026-12-07 10:30:00', '06:00:00',"
        "  1, x'0102', 'é', 12),"
        " ('wide', 70000, 1099511627776, 3, 46363.5, '2026-12-07T10:30:00.5', '06:00', 0, 'text', 42, 1.25),"
        " ('odd', -5, -1, -0.5, 'someday', '2026-13-01', 'noon', 'yes', NULL, NULL, 'n/a'),"
        " ('nulls', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);");
    control->setDatabaseName(dir.file("values.db"));
    control->setRecordSource("v");
    control->refresh();
    Recordset& rs = *control->recordset();
    auto at = [&](std::int32_t row, const char* field) {
        for (std::int16_t i = 0; i < rs.fields().count(); ++i) {
            if (rs.fields().item(i).name() == field) return rs.valueAt(row, i);
        }
        ADD_FAILURE() << field;
        return Variant();
    };
    struct Case {
        std::int32_t row;
        const char* field;
        Variant expected;
    };
    const Case cases[] = {
        {0, "small", Variant::integer(12)},
        {0, "long", Variant::longValue(70000)},
        {0, "real", Variant(2.5)},
        {0, "day", Variant::date(dateSerial(2026, 12, 7))},
        {0, "at", Variant::date(dateSerial(2026, 12, 7, 10, 30))},
        {0, "t", Variant::date(0.25)},
        {0, "flag", Variant::boolean(true)},
        {0, "data", Variant(std::string("\x01\x02"))},
        {0, "note", Variant("é")},
        {0, "money", Variant::longValue(12)},
        {1, "small", Variant::longValue(70000)},  // too wide for an Integer
        {1, "long", Variant(1099511627776.0)},    // too wide for a Long: never wrapped
        {1, "real", Variant(3.0)},
        {1, "day", Variant::date(46363.5)},  // a number in a date column is a serial
        {1, "at", Variant::date(dateSerial(2026, 12, 7, 10, 30) + 0.5 / 86400)},
        {1, "t", Variant::date(0.25)},
        {1, "flag", Variant::boolean(false)},
        {1, "note", Variant("42")},
        {1, "money", Variant(1.25)},
        {2, "small", Variant::integer(-5)},
        {2, "day", Variant("someday")},  // not a date: kept as written
        {2, "at", Variant("2026-13-01")},
        {2, "t", Variant("noon")},
        {2, "flag", Variant::boolean(true)},
        {2, "data", Variant::null()},
        {2, "money", Variant("n/a")},
        {3, "small", Variant::null()},
        {3, "day", Variant::null()},
        {3, "flag", Variant::null()},
        {3, "note", Variant::null()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.row) + " " + c.field);
        Variant v = at(c.row, c.field);
        if (v.type() == Variant::Type::Date && c.expected.type() == Variant::Type::Date)
            EXPECT_NEAR(v.asDate(), c.expected.asDate(), 1e-9);
        else EXPECT_EQ(v, c.expected) << v.debugString();
    }
}

TEST_F(EngineTest, FieldsAreFoundByIndexOrByNameInAnyCase) {
    Recordset& rs = open("people");
    Fields& fields = rs.fields();
    EXPECT_EQ(fields.count(), 6);
    EXPECT_EQ(&fields.item("NAME"), &fields.item(1));
    EXPECT_EQ(&fields.item("Name"), &fields.item(std::string_view("name")));
    EXPECT_EQ(&fields.itemOf(Variant("CITY")), &fields.item(2));
    EXPECT_EQ(&fields.itemOf(Variant::integer(3)), &fields.item(3));
    EXPECT_EQ(fields.item("city").type(), field_type::kMemo);
    EXPECT_EQ(fields.item("name").type(), field_type::kText);
    EXPECT_EQ(failureOf([&] { fields.item(6); }), failure::kItemNotFound);
    EXPECT_EQ(failureOf([&] { fields.item(-1); }), failure::kItemNotFound);
    EXPECT_EQ(failureOf([&] { fields.item("nobody"); }), failure::kItemNotFound);
    EXPECT_EQ(failureOf([&] { fields.item(""); }), failure::kItemNotFound);
    EXPECT_EQ(fields.item("name").value(), Variant::null());
    rs.moveNext();
    EXPECT_EQ(fields.item("name").value(), Variant("Rossi"));
    EXPECT_EQ(fields.item("score").value(), Variant(7.5));
    EXPECT_EQ(fields.item("active").value(), Variant::boolean(true));
    EXPECT_EQ(fields.item("id").value(), Variant::longValue(2));
}

}  // namespace
}  // namespace quorvel::engine::testing
