// The recordset's contract, one suite over both engines: a SQLite file, and
// a PostgreSQL database reached through ODBC. Opening, order, field types
// and values, finds, the notifications of moves and the refusals are the
// same whichever engine reads the records.
#include <gtest/gtest.h>

#include "engine/data_engine.h"
#include "engine/engine_fixture.h"
#include "support/pg_cluster.h"
#include "support/sqlite_files.h"
#include "support/temp_dir.h"

namespace quorvel::engine::testing {
namespace {

using quorvel::testing::PgCluster;

// SQL that both engines read alike. The people are inserted out of key
// order: a table lists in the order of its key.
constexpr const char* kContractSql = R"sql(
CREATE TABLE people(id INTEGER PRIMARY KEY, name VARCHAR(40), city TEXT, born TIMESTAMP,
                    score DOUBLE PRECISION, active BOOLEAN);
INSERT INTO people VALUES
 (4, 'ÉCOLE',    'Paris',  '2026-12-07',          12,     TRUE),
 (1, NULL,       'Roma',   NULL,                  NULL,   NULL),
 (2, 'Rossi',    'Roma',   '1980-05-01',          7.5,    TRUE),
 (3, 'bianchi',  'Milano', '1975-12-07',          6.0,    FALSE),
 (5, 'Straße',   'Berlin', '2001-01-01 10:30:00', 9.25,   TRUE),
 (6, 'Rosa',     NULL,     '2026-12-07',          3.0,    FALSE),
 (7, 'école',    'Lyon',   '1999-02-28',          5,      FALSE),
 (8, 'Ross',     'Roma',   '1980-05-01',          7.5,    TRUE),
 (9, 'Zeta 12',  'Napoli', '2026-12-08',          -1.5e3, FALSE);
CREATE VIEW romans AS SELECT id, name FROM people WHERE city = 'Roma' ORDER BY id;
CREATE TABLE empty(id INTEGER PRIMARY KEY, name TEXT);
)sql";

struct SqliteFileEngine {
    void setUp(quorvel::testing::TempDir& dir) {
        file = dir.file("contract.db");
        quorvel::testing::makeDatabase(file, kContractSql);
    }
    void configure(DataControl& control) const { control.setDatabaseName(file); }
    std::string file;
};

struct OdbcServerEngine {
    void setUp(quorvel::testing::TempDir&) {
        static bool loaded = false;
        if (!loaded) PgCluster::shared().recreate("contract", kContractSql);
        loaded = true;
    }
    // The database comes from DatabaseName: the connection string names none.
    void configure(DataControl& control) const {
        control.setConnect(PgCluster::shared().connect());
        control.setDatabaseName("contract");
    }
};

template <class Engine>
class EngineContract : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::is_same_v<Engine, OdbcServerEngine> && !PgCluster::shared().ready())
            GTEST_SKIP() << PgCluster::shared().problem();
        engine.setUp(dir);
        control = createDataControl();
        engine.configure(*control);
        events = control->setEvents(recorder);
        observer = control->addObserver(recorder);
    }

    Recordset& open(const std::string& source, std::int16_t recordsetType = 1) {
        control->setRecordSource(source);
        control->setRecordsetType(recordsetType);
        control->refresh();
        recorder.take();
        return *control->recordset();
    }

    std::string column(Recordset& rs, std::int32_t field) {
        std::string out;
        for (std::int32_t i = 0; i < rs.recordCount(); ++i) {
            Variant v = rs.valueAt(i, field);
            out += (i ? "," : "") + (v.isNull()     ? std::string("-")
                                     : v.isString() ? v.asString()
                                                    : v.debugString());
        }
        return out;
    }

    quorvel::testing::TempDir dir;
    Engine engine;
    Recorder recorder;
    std::shared_ptr<DataControl> control;
    Subscription events;
    Subscription observer;
};

using Engines = ::testing::Types<SqliteFileEngine, OdbcServerEngine>;
class EngineNames {
public:
    template <class T>
    static std::string GetName(int) {
        return std::is_same_v<T, SqliteFileEngine> ? "SqliteFile" : "OdbcServer";
    }
};
TYPED_TEST_SUITE(EngineContract, Engines, EngineNames);

TYPED_TEST(EngineContract, RecordSourcesOfEveryKindOpenInTheirOwnOrder) {
    struct Case {
        const char* source;
        std::int32_t field;
        const char* expected;
    };
    const Case cases[] = {
        {"people", 1, "-,Rossi,bianchi,ÉCOLE,Straße,Rosa,école,Ross,Zeta 12"},
        {"PEOPLE", 1, "-,Rossi,bianchi,ÉCOLE,Straße,Rosa,école,Ross,Zeta 12"},
        {"\"people\"", 1, "-,Rossi,bianchi,ÉCOLE,Straße,Rosa,école,Ross,Zeta 12"},
        {"romans", 1, "-,Rossi,Ross"},
        {"SELECT id, name FROM people WHERE active ORDER BY id DESC", 1, "Ross,Straße,ÉCOLE,Rossi"},
        {"  select name from people where id < 3 order by id;  ", 0, "-,Rossi"},
        {"WITH r AS (SELECT * FROM people WHERE city = 'Roma') SELECT id, name FROM r ORDER BY id DESC", 1,
         "Ross,Rossi,-"},
        {"VALUES (1, 'b'), (2, 'a')", 1, "b,a"},
        {"/* Romans */ SELECT id, name FROM romans -- last", 1, "-,Rossi,Ross"},
        {"empty", 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        Recordset& rs = this->open(c.source);
        EXPECT_EQ(this->column(rs, c.field), c.expected);
        EXPECT_EQ(rs.absolutePosition(), rs.recordCount() > 0 ? 0 : -1);
    }
}

TYPED_TEST(EngineContract, FieldsHaveTheTypeCodesOfTheirColumnsAndValuesOfTheirKind) {
    Recordset& rs = this->open("people");
    std::string types;
    for (std::int16_t f = 0; f < rs.fields().count(); ++f)
        types += rs.fields().item(f).name() + ":" + std::to_string(rs.fields().item(f).type()) + " ";
    EXPECT_EQ(types, "id:4 name:10 city:12 born:23 score:7 active:1 ");
    EXPECT_EQ(this->column(rs, 0), "Long 1,Long 2,Long 3,Long 4,Long 5,Long 6,Long 7,Long 8,Long 9");
    std::string row;
    for (std::int32_t p : {0, 4}) {
        for (std::int16_t f = 0; f < 6; ++f) row += rs.valueAt(p, f).debugString() + " ";
        row += "/ ";
    }
    EXPECT_EQ(row,
              "Long 1 Null String \"Roma\" Null Null Null / "
              "Long 5 String \"Straße\" String \"Berlin\" Date 36892.4375 Double 9.25 Boolean True / ");
    std::string born = this->column(rs, 3);
    EXPECT_EQ(this->column(this->open("SELECT born FROM people ORDER BY id"), 0), born);
}

TYPED_TEST(EngineContract, FindsAnswerEachOperatorOnEachKindInRecordsetOrder) {
    Recordset& rs = this->open("people");
    struct Case {
        const char* criteria;
        std::int32_t expected;  // -1: NoMatch
    };
    const Case cases[] = {
        {"name = \"rossi\"", 1},
        {"name >= \"ROSS\"", 1},
        {"name = \"École\"", 3},
        {"name = \"STRASSE\"", 4},
        {"name Like \"ro*\"", 1},
        {"name Like \"?eta #*\"", 8},
        {"city = \"Roma\"", 0},
        {"city >= \"Roma \"", -1},
        {"name = \"nobody\"", -1},
        {"score = 7.5", 1},
        {"score >= 10", 3},
        {"score >= \"9\"", 3},
        {"born = #12/07/2026#", 3},
        {"born >= #2001-01-01 10:00#", 3},
        {"active = -1", 1},
        {"active = \"False\"", 2},
        {"id >= 9", 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.criteria);
        rs.setAbsolutePosition(6);
        rs.findFirst(c.criteria);
        EXPECT_EQ(rs.noMatch() ? -1 : rs.absolutePosition(), c.expected);
        if (c.expected < 0) { EXPECT_EQ(rs.absolutePosition(), 6); }
    }
    EXPECT_EQ(failureOf([&] { rs.findFirst("nosuch = 1"); }), failure_code::kUnknownCriteriaField);
    EXPECT_EQ(failureOf([&] { rs.findFirst("name = "); }), failure_code::kCriteriaSyntax);
    EXPECT_EQ(failureOf([&] { rs.findFirst("score = \"abc\""); }), failure_code::kCriteriaTypeMismatch);
}

TYPED_TEST(EngineContract, MovesValidateTheRecordTheyLeaveAndRepositionAfter) {
    Recordset& rs = this->open("people");
    rs.moveNext();
    rs.moveLast();
    rs.moveNext();
    rs.movePrevious();
    rs.setAbsolutePosition(4);
    rs.findFirst("name = \"rossi\"");
    rs.findFirst("name = \"nobody\"");
    EXPECT_EQ(this->recorder.take(),
              "validate 3|reposition|moved|validate 4|reposition|moved|validate 3|reposition|moved|"
              "reposition|moved|validate 9|reposition|moved|validate 8|reposition|moved");
    this->recorder.validateAction = validate_action::kCancel;
    rs.moveNext();
    rs.findFirst("name = \"Ross\"");
    EXPECT_EQ(this->recorder.take(), "validate 3|validate 8");
    EXPECT_EQ(rs.absolutePosition(), 1);
    EXPECT_EQ(rs.noMatch(), kTrue);
    this->control->refresh();
    EXPECT_EQ(this->recorder.take(), "replaced|reposition|moved");
}

TYPED_TEST(EngineContract, RecordSourcesThatCouldWriteOrAreMissingAreRefusedAndNothingChanges) {
    struct Case {
        const char* source;
        std::int16_t recordsetType;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"DELETE FROM people", 1, failure_code::kReadOnly},
        {"SELECT 1; DELETE FROM people", 1, failure_code::kReadOnly},
        {"UPDATE people SET name = 'x'", 1, failure_code::kReadOnly},
        {"DROP TABLE people", 1, failure_code::kReadOnly},
        {"nosuchtable", 1, failure_code::kTableNotFound},
        {"romans", 0, failure_code::kInvalidOperation},
        {"SELECT id FROM people", 0, failure_code::kInvalidOperation},
        {"SELECT nosuchcolumn FROM people", 1, failure_code::kRecordSourceSyntax},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        EXPECT_EQ(failureOf([&] { this->open(c.source, c.recordsetType); }), c.expected);
        EXPECT_EQ(this->control->recordset(), nullptr);
    }
    EXPECT_EQ(this->open("SELECT count(*) FROM people").valueAt(0, 0).debugString(),
              this->open("VALUES (9)").valueAt(0, 0).debugString());
}

}  // namespace
}  // namespace quorvel::engine::testing
