// Opening record sources, the failures of opening and of use, and the
// notifications of moves.
#include <sqlite3.h>

#include <filesystem>
#include <fstream>

#include "engine/recordset.h"
#include "engine_fixture.h"

namespace quorvel::engine::testing {
namespace {

using quorvel::testing::fileBytes;
using quorvel::testing::makeDatabase;

std::string names(Recordset& rs, std::int32_t field = 1) {
    std::string out;
    for (std::int32_t i = 0; i < rs.recordCount(); ++i) {
        Variant v = rs.valueAt(i, field);
        out += (i ? "," : "") + (v.isNull()     ? std::string("-")
                                 : v.isString() ? v.asString()
                                                : v.debugString());
    }
    return out;
}

TEST(DataControlDefaults, ANewControlHasTheDesignTimeSettingsAndNoRecordset) {
    auto control = createDataControl();
    EXPECT_EQ(control->databaseName(), "");
    EXPECT_EQ(control->recordSource(), "");
    EXPECT_EQ(control->connect(), "Access 2000;");
    EXPECT_EQ(control->recordsetType(), 1);
    EXPECT_EQ(control->defaultType(), 2);
    EXPECT_EQ(control->defaultCursorType(), 0);
    EXPECT_EQ(control->options(), 0);
    EXPECT_EQ(control->caption(), "Data1");
    EXPECT_EQ(control->recordset(), nullptr);
    EXPECT_EQ(failureOf([&] { control->setRecordsetType(3); }), failure::kInvalidPropertyValue);
    EXPECT_EQ(control->recordsetType(), 1);
}

TEST_F(EngineTest, RecordSourcesOfEveryKindOpenInTheirOwnOrder) {
    struct Case {
        const char* what;
        const char* source;
        std::int32_t nameField;
        const char* expected;
    };
    const Case cases[] = {
        {"table", "people", 1, "-,Rossi,bianchi,ÉCOLE,Straße,Rosa,école,Ross,Zeta 12"},
        {"table name in another case", "PEOPLE", 1, "-,Rossi,bianchi,ÉCOLE,Straße,Rosa,école,Ross,Zeta 12"},
        {"bracketed table name", "[people]", 1, "-,Rossi,bianchi,ÉCOLE,Straße,Rosa,école,Ross,Zeta 12"},
        {"view", "romans", 1, "-,Rossi,Ross"},
        {"select", "SELECT id, name FROM people WHERE active = 1 ORDER BY name", 1,
         "Ross,Rossi,Straße,ÉCOLE"},
        {"select with trailing semicolon", "  select name from people where id < 3;  ", 0, "-,Rossi"},
        {"with",
         "WITH r AS (SELECT * FROM people WHERE city = 'Roma') SELECT id, name FROM r ORDER BY id DESC", 1,
         "Ross,Rossi,-"},
        {"values", "VALUES (1, 'b'), (2, 'a')", 1, "b,a"},
        // The comment runs to the end, so the rows are copied one by one.
        {"with and an open comment",
         "WITH r AS (SELECT * FROM people) SELECT id, name FROM r WHERE city = 'Roma' /* n", 1,
         "-,Rossi,Ross"},
        {"comment before select", "/* Romans */ SELECT id, name FROM romans -- last", 1, "-,Rossi,Ross"},
        {"empty table", "empty", 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Recordset& rs = open(c.source);
        EXPECT_EQ(names(rs, c.nameField), c.expected);
        EXPECT_EQ(rs.absolutePosition(), rs.recordCount() > 0 ? 0 : -1);
    }
}

TEST_F(EngineTest, EachOpeningFailureHasItsNumberAndLeavesNoRecordset) {
    std::ofstream(dir.file("text.db"))
        << "this is not a database, it is text long enough to be read as a header";
    std::filesystem::create_directory(dir.file("folder.db"));
    struct Case {
        const char* what;
        std::string database;
        std::string source;
        std::int16_t recordsetType;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"missing file", dir.file("missing.db"), "people", 1, failure::kFileNotFound},
        {"no database name", "", "people", 1, failure::kFileNotFound},
        {"not a database", dir.file("text.db"), "people", 1, failure_code::kNotADatabase},
        {"a folder", dir.file("folder.db"), "people", 1, failure_code::kCannotOpen},
        {"no record source", file, "  ", 1, failure::kObjectNotSet},
        {"no such table", file, "nobody", 1, failure_code::kTableNotFound},
        {"no such table in a select", file, "SELECT * FROM nobody", 1, failure_code::kTableNotFound},
        {"syntax error", file, "SELECT * FROM people WHERE", 1, failure_code::kRecordSourceSyntax},
        {"misspelt select", file, "SELEC * FROM people", 1, failure_code::kRecordSourceSyntax},
        {"no such column", file, "SELECT nobody FROM people", 1, failure_code::kRecordSourceSyntax},
        {"parameters", file, "SELECT * FROM people WHERE id = ?", 1, failure_code::kTooFewParameters},
        {"table type on a statement", file, "SELECT * FROM people", 0, failure_code::kInvalidOperation},
        {"table type on a view", file, "romans", 0, failure_code::kInvalidOperation},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        control->setDatabaseName(c.database);
        control->setRecordSource(c.source);
        control->setRecordsetType(c.recordsetType);
        std::string description = descriptionOf([&] { control->refresh(); });
        EXPECT_EQ(failureOf([&] { control->refresh(); }), c.expected) << description;
        EXPECT_FALSE(description.empty());
        EXPECT_EQ(control->recordset(), nullptr);
        EXPECT_EQ(recorder.take(), "replaced|replaced")
            << "a failed opening announces that the recordset is gone";
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing.db"))) << "an opening must never create the file";
    EXPECT_NE(descriptionOf([&] {
                  control->setDatabaseName(dir.file("missing.db"));
                  control->refresh();
              }).find("missing.db"),
              std::string::npos)
        << "the description names the file";
}

TEST_F(EngineTest, StatementsThatCouldWriteAreRefusedAndTheFileStaysAsItWas) {
    const char* statements[] = {
        "DELETE FROM people",
        "INSERT INTO people(id) VALUES (99)",
        "UPDATE people SET name = 'x'",
        "REPLACE INTO people(id) VALUES (1)",
        "DROP TABLE people",
        "CREATE TABLE more(a)",
        "PRAGMA journal_mode = WAL",
        "PRAGMA user_version = 7",
        "ATTACH 'other.db' AS other",
        "VACUUM",
        "BEGIN IMMEDIATE",
        "SELECT 1; DELETE FROM people",
        "SELECT 1; SELECT 2",
        "WITH d AS (SELECT 1) DELETE FROM people",
        "WITH d AS (SELECT 1) INSERT INTO people(id) SELECT 50 FROM d",
    };
    control->setDatabaseName(file);
    for (const char* statement : statements) {
        SCOPED_TRACE(statement);
        control->setRecordSource(statement);
        EXPECT_EQ(failureOf([&] { control->refresh(); }), failure_code::kReadOnly);
        EXPECT_EQ(control->recordset(), nullptr);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("other.db")));
    EXPECT_FALSE(std::filesystem::exists("other.db"));
    open("people");
    EXPECT_EQ(control->recordset()->recordCount(), 9) << "nothing was deleted";
}

TEST_F(EngineTest, TheFileIsLeftUnchangedByReadingWhileAnotherConnectionReads) {
    Recordset& rs = open("SELECT * FROM people ORDER BY name COLLATE FOLD");
    rs.findFirst("name Like \"*e\"");
    rs.moveLast();
    for (std::int32_t i = 0; i < rs.recordCount(); ++i) rs.valueAt(i, 2);
    // Another program may read (and lock for reading) while the list holds
    // its transaction.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open_v2(file.c_str(), &other, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(other, "SELECT count(*) FROM people", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);
    control->refresh();
    control->setRecordset(nullptr);
}

TEST_F(EngineTest, AWalDatabaseIsReadWithoutTouchingItsMainFile) {
    std::string wal = dir.file("wal.db");
    makeDatabase(wal,
                 "PRAGMA journal_mode = WAL; CREATE TABLE t(name TEXT); INSERT INTO t VALUES ('a'), ('b');"
                 "PRAGMA wal_checkpoint(TRUNCATE);");
    std::string before = fileBytes(wal);
    control->setDatabaseName(wal);
    control->setRecordSource("t");
    control->refresh();
    EXPECT_EQ(names(*control->recordset(), 0), "a,b");
    control->recordset()->findFirst("name = \"B\"");
    EXPECT_EQ(control->recordset()->absolutePosition(), 1);
    control->setRecordset(nullptr);
    EXPECT_EQ(fileBytes(wal), before);
}

TEST_F(EngineTest, ATableKeepsItsRowidOrderWhateverIndexesItHas) {
    makeDatabase(dir.file("ordered.db"),
                 "CREATE TABLE t(name TEXT, n INTEGER); CREATE INDEX t_name ON t(name);"
                 "INSERT INTO t VALUES ('c', 1), ('a', 2), ('b', 3), ('d', 4);"
                 "DELETE FROM t WHERE n = 2;"  // a gap in the rowids
                 "CREATE TABLE k(key TEXT PRIMARY KEY, v TEXT) WITHOUT ROWID; CREATE INDEX k_v ON k(v);"
                 "INSERT INTO k VALUES ('b', 'z'), ('c', 'x'), ('a', 'y');");
    control->setDatabaseName(dir.file("ordered.db"));
    control->setRecordSource("t");
    control->refresh();
    Recordset& t = *control->recordset();
    EXPECT_EQ(names(t, 0), "c,b,d");
    t.setAbsolutePosition(2);
    EXPECT_EQ(t.fields().item("n").value(), Variant::longValue(4))
        << "the row after the gap reads its own values";

    control->setRecordSource("k");
    control->refresh();
    EXPECT_EQ(names(*control->recordset(), 0), "a,b,c") << "primary-key order, not the index on v";
}

TEST_F(EngineTest, RefreshAnnouncesTheNewRecordsetAndThenTheReposition) {
    control->setDatabaseName(file);
    control->setRecordSource("people");
    control->refresh();
    EXPECT_EQ(recorder.take(), "replaced|reposition|moved");
    auto first = control->recordset();

    control->setRecordSource("empty");
    control->refresh();
    EXPECT_EQ(recorder.take(), "replaced|reposition|moved") << "also when there is no record";
    Recordset& empty = *control->recordset();
    EXPECT_NE(control->recordset(), first) << "a reopening gives a new recordset";
    EXPECT_TRUE(empty.bof());
    EXPECT_TRUE(empty.eof());
    EXPECT_EQ(empty.absolutePosition(), -1);
    EXPECT_EQ(failureOf([&] { empty.fields().item(0).value(); }), failure::kNoCurrentRecord);
    EXPECT_EQ(failureOf([&] { empty.moveFirst(); }), failure::kNoCurrentRecord);
    EXPECT_EQ(failureOf([&] { empty.moveLast(); }), failure::kNoCurrentRecord);
    EXPECT_EQ(failureOf([&] { empty.moveNext(); }), failure::kNoCurrentRecord);
    EXPECT_EQ(empty.recordCount(), 0);
    EXPECT_EQ(recorder.take(), "");

    EXPECT_EQ(first->recordCount(), 9) << "whoever still holds the old recordset can go on using it";
}

TEST_F(EngineTest, MovesValidateTheRecordTheyLeaveAndRepositionAfter) {
    Recordset& rs = open("people");
    rs.moveNext();
    EXPECT_EQ(recorder.take(), "validate 3|reposition|moved");
    rs.moveLast();
    EXPECT_EQ(recorder.take(), "validate 4|reposition|moved");
    EXPECT_EQ(rs.absolutePosition(), 8);
    rs.moveNext();
    EXPECT_TRUE(rs.eof());
    EXPECT_EQ(rs.absolutePosition(), -1);
    EXPECT_EQ(recorder.take(), "validate 3|reposition|moved")
        << "moving past the last record repositions too";
    EXPECT_EQ(failureOf([&] { rs.fields().item(0).value(); }), failure::kNoCurrentRecord);
    EXPECT_EQ(failureOf([&] { rs.moveNext(); }), failure::kNoCurrentRecord);
    rs.movePrevious();
    EXPECT_EQ(recorder.take(), "reposition|moved") << "at EOF there is no record to validate";
    EXPECT_EQ(rs.absolutePosition(), 8);
    rs.moveFirst();
    rs.movePrevious();
    EXPECT_TRUE(rs.bof());
    EXPECT_FALSE(rs.eof());
    EXPECT_EQ(failureOf([&] { rs.movePrevious(); }), failure::kNoCurrentRecord);
    recorder.take();

    rs.setAbsolutePosition(4);
    EXPECT_EQ(recorder.take(), "reposition|moved");
    EXPECT_EQ(rs.fields().item("name").value(), Variant("Straße"));
    EXPECT_EQ(failureOf([&] { rs.setAbsolutePosition(9); }), failure::kNoCurrentRecord);
    EXPECT_EQ(failureOf([&] { rs.setAbsolutePosition(-1); }), failure::kNoCurrentRecord);
    EXPECT_EQ(failureOf([&] { rs.valueAt(9, 0); }), failure::kNoCurrentRecord);
    EXPECT_EQ(failureOf([&] { rs.valueAt(0, 6); }), failure::kItemNotFound);
    EXPECT_EQ(rs.absolutePosition(), 4) << "failed moves leave the current record";

    rs.findFirst("name = \"rossi\"");
    EXPECT_EQ(recorder.take(), "validate 8|reposition|moved");
    rs.findFirst("name = \"nobody\"");
    EXPECT_EQ(recorder.take(), "") << "a find that matches nothing moves nothing";
    EXPECT_EQ(rs.noMatch(), kTrue);
    EXPECT_EQ(rs.absolutePosition(), 1);
    rs.findFirst("name = \"rossi\"");
    EXPECT_EQ(rs.noMatch(), kFalse);
    EXPECT_EQ(recorder.take(), "validate 8|reposition|moved")
        << "a find repositions even onto the same record";
}

TEST_F(EngineTest, AValidateHandlerThatCancelsKeepsTheCurrentRecord) {
    Recordset& rs = open("people");
    recorder.validateAction = validate_action::kCancel;
    rs.moveNext();
    rs.setAbsolutePosition(5);
    rs.findFirst("name = \"Ross\"");
    EXPECT_EQ(recorder.take(), "validate 3|validate 9|validate 8");
    EXPECT_EQ(rs.absolutePosition(), 0);
    // The record in view does not satisfy the criteria: no match.
    EXPECT_EQ(rs.noMatch(), kTrue);
}

TEST_F(EngineTest, AFieldReadAfterTheRecordsetReopenedFailsInsteadOfReadingTheWrongColumn) {
    Recordset& rs = open("people");
    auto held = control->recordset();
    Field& name = rs.fields().item("name");
    rs.moveNext();
    EXPECT_EQ(name.value(), Variant("Rossi"));
    auto shared = std::dynamic_pointer_cast<SqliteRecordset>(held);
    ASSERT_TRUE(shared);
    shared->reopen();
    EXPECT_EQ(name.name(), "name");
    EXPECT_EQ(failureOf([&] { name.value(); }), failure::kItemNotFound);
    EXPECT_EQ(rs.fields().item("NAME").value(), Variant::null())
        << "the new field of that name reads record 0";
}

TEST_F(EngineTest, EveryUseOfAClosedRecordsetFailsWith91) {
    Recordset& rs = open("people");
    auto held = std::dynamic_pointer_cast<SqliteRecordset>(control->recordset());
    held->close();
    const std::pair<const char*, std::function<void()>> uses[] = {
        {"fields", [&] { rs.fields(); }},
        {"recordCount", [&] { rs.recordCount(); }},
        {"findFirst", [&] { rs.findFirst("name = \"x\""); }},
        {"noMatch", [&] { rs.noMatch(); }},
        {"moveFirst", [&] { rs.moveFirst(); }},
        {"moveLast", [&] { rs.moveLast(); }},
        {"moveNext", [&] { rs.moveNext(); }},
        {"movePrevious", [&] { rs.movePrevious(); }},
        {"absolutePosition", [&] { rs.absolutePosition(); }},
        {"setAbsolutePosition", [&] { rs.setAbsolutePosition(0); }},
        {"bof", [&] { rs.bof(); }},
        {"eof", [&] { rs.eof(); }},
        {"valueAt", [&] { rs.valueAt(0, 0); }},
    };
    for (const auto& [what, use] : uses) {
        SCOPED_TRACE(what);
        EXPECT_EQ(failureOf(use), failure::kObjectNotSet);
    }
}

TEST_F(EngineTest, ARecordsetTakenFromAnotherControlIsSharedAndReopenedInPlace) {
    Recordset& rs = open("people");
    auto shared = control->recordset();
    auto other = createDataControl();
    Recorder otherLog;
    Subscription otherEvents = other->setEvents(otherLog);
    Subscription otherObserver = other->addObserver(otherLog);

    other->setRecordset(shared);
    EXPECT_EQ(otherLog.take(), "replaced");
    rs.moveNext();
    EXPECT_EQ(recorder.take(), "validate 3|reposition|moved");
    EXPECT_EQ(otherLog.take(), "validate 3|reposition|moved") << "both controls follow the shared recordset";

    other->refresh();
    EXPECT_EQ(other->recordset(), shared) << "the same object, reopened";
    EXPECT_EQ(control->recordset(), shared);
    EXPECT_EQ(shared->absolutePosition(), 0);
    EXPECT_EQ(otherLog.take(), "replaced|reposition|moved");

    other->setRecordset(nullptr);
    EXPECT_EQ(other->recordset(), nullptr);
    EXPECT_EQ(otherLog.take(), "replaced");
    rs.moveNext();
    EXPECT_EQ(otherLog.take(), "") << "a control that let the recordset go hears no more of it";
    other->setDatabaseName(file);
    other->setRecordSource("romans");
    other->refresh();
    EXPECT_EQ(other->recordset()->recordCount(), 3) << "after none, the next refresh opens from the settings";
}

TEST_F(EngineTest, ARefreshInsideARepositionDoesNotPullTheRecordsetAwayFromUnderTheMove) {
    Recordset& rs = open("people");
    auto keep = control->recordset();
    keep.reset();
    bool once = true;
    recorder.duringReposition = [&] {
        if (!once) return;
        once = false;
        control->refresh();
    };
    rs.moveNext();  // the old recordset is released inside its own notification
    EXPECT_EQ(recorder.take(), "validate 3|reposition|replaced|reposition|moved|moved");
    EXPECT_EQ(control->recordset()->absolutePosition(), 0);
}

// A database whose one long value spills into an overflow page, and that
// page damaged: the rowids read at opening, the value does not.
TEST_F(EngineTest, AnUnreadableRecordRaisesTheErrorNotificationAndTheResponseDecides) {
    std::string damaged = dir.file("damaged.db");
    makeDatabase(damaged,
                 "PRAGMA page_size = 512; CREATE TABLE t(id INTEGER PRIMARY KEY, big TEXT);"
                 "INSERT INTO t VALUES (1, printf('%.5000c', 'x'));");
    {
        std::fstream f(damaged, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(2 * 512);  // page 3, the first overflow page: its link to the next
        const char link[4] = {'\x7f', '\xff', '\xff', '\xff'};
        f.write(link, 4);
    }
    control->setDatabaseName(damaged);
    control->setRecordSource("t");
    control->refresh();
    recorder.take();
    Recordset& rs = *control->recordset();

    EXPECT_EQ(failureOf([&] { rs.fields().item("big").value(); }), failure_code::kDatabaseCorrupt);
    EXPECT_EQ(recorder.take(), "error 3049");

    recorder.errorResponse = error_response::kContinue;
    EXPECT_EQ(rs.fields().item("big").value(), Variant::null()) << "the handler chose to go on";
    rs.findFirst("big >= \"x\"");
    EXPECT_EQ(rs.noMatch(), kTrue);
    EXPECT_EQ(recorder.take(), "error 3049|error 3049");
}

}  // namespace
}  // namespace quorvel::engine::testing
