// Openings from hostile settings: record sources, file names and files made
// to hang, fill the disk, reach native pointers, hide the user's objects or
// leave files behind. Each fails clearly (or opens as it should), the data
// control opens a good source afterwards, and the file stays as it was.
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "engine/recordset.h"
#include "engine_fixture.h"

namespace quorvel::engine::testing {
namespace {

using quorvel::testing::fileBytes;
using quorvel::testing::makeDatabase;
using namespace std::string_literals;

// The files of a folder, by name, sorted.
std::string filesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    std::string out;
    for (const auto& name : names) out += (out.empty() ? "" : " ") + name;
    return out;
}

// Number and description of the failure of opening `source` on `database`;
// afterwards the same data control opens the people again.
class HostileOpening : public EngineTest {
protected:
    std::pair<std::int32_t, std::string> openFailure(const std::string& database, const std::string& source) {
        control->setDatabaseName(database);
        control->setRecordSource(source);
        std::int32_t number = 0;
        std::string description;
        try {
            control->refresh();
        } catch (const Failure& f) {
            number = f.number();
            description = f.description();
        }
        if (number != 0) { EXPECT_EQ(control->recordset(), nullptr); }
        Recordset& rs = open("people");
        EXPECT_EQ(rs.recordCount(), 9) << "the data control opens a good source after " << source;
        return {number, description};
    }
};

TEST_F(HostileOpening, RecordSourcesThatAreNotOneReadingQueryAreRefusedWithoutHanging) {
    struct Case {
        std::string source;
        std::int32_t number;
        const char* inDescription;
    };
    const Case cases[] = {
        {"SELECT * FROM people\0x"s, failure_code::kReadOnly, "NUL character"},
        {"SELECT 1 AS a;\0"s, failure_code::kReadOnly, "NUL character"},
        {"SELECT 1 AS a; /* c */ \0 DELETE FROM people"s, failure_code::kReadOnly, "NUL"},
        {"SELECT hex(fts3_tokenizer('simple')) AS p", failure_code::kReadOnly, "fts3_tokenizer()"},
        {"SELECT fts3_tokenizer('evil', X'4141414141414141') AS p", failure_code::kReadOnly,
         "fts3_tokenizer()"},
        {"SELECT load_extension('libc.so.6') AS x", failure_code::kReadOnly, "load_extension()"},
        // A PRAGMA that only reads is still not a query of the file's records.
        {"PRAGMA table_info(people)", failure_code::kReadOnly, "does more than read"},
        {"SELECT 1 AS a; -- \n ;", 0, ""},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.source);
        auto [number, description] = openFailure(file, k.source);
        EXPECT_EQ(number, k.number) << description;
        EXPECT_NE(description.find(k.inDescription), std::string::npos) << description;
    }
}

TEST_F(HostileOpening, OnlyARegularFileIsADatabaseAndANameIsNeverAURI) {
    std::string fifo = dir.file("pipe.db");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_symlink(fifo, dir.file("to-pipe.db"));
    std::filesystem::create_symlink(file, dir.file("to-people.db"));
    makeDatabase(dir.file("beside.db"), "CREATE TABLE people(id);");
    ASSERT_EQ(::mkfifo(dir.file("beside.db-journal").c_str(), 0600), 0);
    makeDatabase(dir.file("file:people.db?immutable=1"),
                 "CREATE TABLE people(id); INSERT INTO people VALUES (1);");

    // Relative names are the files of the working folder.
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    struct Case {
        std::string name;
        std::int32_t number;
        const char* inDescription;
    };
    const Case cases[] = {
        {fifo, failure_code::kCannotOpen, "a FIFO"},
        {dir.file("to-pipe.db"), failure_code::kCannotOpen, "a FIFO"},
        {"/dev/zero", failure_code::kCannotOpen, "a device"},
        {"/dev/null", failure_code::kCannotOpen, "a device"},
        {dir.file("beside.db"), failure_code::kCannotOpen, "beside.db-journal' beside it is a FIFO"},
        {dir.file("to-people.db"), 0, ""},
        // As URIs these would open people.db, immutable or in memory.
        {"file:people.db", failure::kFileNotFound, "file:people.db"},
        {"file:people.db?immutable=1&nolock=1", failure::kFileNotFound, "immutable"},
        {":memory:", failure::kFileNotFound, ":memory:"},
        {"file:people.db?immutable=1", 0, ""},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        auto started = std::chrono::steady_clock::now();
        auto [number, description] = openFailure(k.name, "people");
        EXPECT_EQ(number, k.number) << description;
        EXPECT_NE(description.find(k.inDescription), std::string::npos) << description;
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    }
    control->setDatabaseName("file:people.db?immutable=1");
    control->refresh();
    EXPECT_EQ(control->recordset()->recordCount(), 1) << "the file of that name, not people.db";
    control.reset();
    std::filesystem::current_path(previous);
}

TEST_F(HostileOpening, AnOpeningPastItsLimitsFailsNamingTheLimitAndQuickly) {
    const std::string endless = "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c) ";
    struct Case {
        OpeningLimits limits;
        std::string source;
        const char* inDescription;
    };
    // Limits small enough to be met at once: the time limits are what the
    // case waits for, once per case.
    const Case cases[] = {
        {{60'000, 1000, std::int64_t{1} << 40}, endless + "SELECT n FROM c", "more than 1000 records"},
        // Sorting an endless source never gives a first record.
        {{80, 1000, std::int64_t{1} << 40}, endless + "SELECT n FROM c ORDER BY n", "longer than 80 ms"},
        // No row at all, for ever: only the time ends it.
        {{50, 1'000'000'000, std::int64_t{1} << 40},
         endless + "SELECT n FROM c WHERE n < 0",
         "longer than 50 ms"},
        {{60'000, 1'000'000'000, 2 << 20},
         endless + "SELECT n, randomblob(2000) AS b FROM c",
         "larger than 2 MB"},
        {{60'000, 2, std::int64_t{1} << 40}, "people", "more than 2 records"},
        {{60'000, 2, std::int64_t{1} << 40}, "romans", "more than 2 records"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.source);
        ASSERT_TRUE(setOpeningLimits(*control, k.limits));
        auto started = std::chrono::steady_clock::now();
        control->setDatabaseName(file);
        control->setRecordSource(k.source);
        std::int32_t number = 0;
        std::string description;
        try {
            control->refresh();
        } catch (const Failure& f) {
            number = f.number();
            description = f.description();
        }
        EXPECT_EQ(number, failure_code::kOpeningLimit);
        EXPECT_NE(description.find(k.inDescription), std::string::npos) << description;
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
        EXPECT_EQ(control->recordset(), nullptr);
        // Within the limits the same data control opens.
        setOpeningLimits(*control, {60'000, 9, 8 << 20});
        EXPECT_EQ(open("people").recordCount(), 9);
    }
}

TEST_F(HostileOpening, TheUsersObjectsAreReadWhateverTheirNames) {
    struct Case {
        const char* schema;
        const char* source;
        const char* names;  // the second field of every record
    };
    const Case cases[] = {
        {"CREATE TABLE quorvel_rows(id, name); INSERT INTO quorvel_rows VALUES (1, 'a'), (2, 'b');",
         "SELECT * FROM quorvel_rows", "a,b"},
        {"CREATE TABLE t(id, name); INSERT INTO t VALUES (1, 'a'), (2, 'b');"
         "CREATE VIEW quorvel_rows AS SELECT * FROM t;",
         "quorvel_rows", "a,b"},
        {"CREATE TABLE quorvel_rows(id, name); INSERT INTO quorvel_rows VALUES (1, 'a');"
         "CREATE VIEW quorvel_rows_1 AS SELECT * FROM quorvel_rows;",
         "SELECT * FROM quorvel_rows_1 UNION ALL SELECT * FROM Quorvel_Rows", "a,a"},
        {"CREATE TABLE t(id INTEGER PRIMARY KEY, name) WITHOUT ROWID; INSERT INTO t VALUES (2, 'b'), (1, "
         "'a');"
         "CREATE VIEW quorvel_rows AS SELECT * FROM t;",
         "t", "a,b"},
        // Virtual tables read by a statement as by their bare names.
        {"CREATE VIRTUAL TABLE ft5 USING fts5(id, name); INSERT INTO ft5 VALUES (1, 'a b'), (2, 'b c');",
         "SELECT * FROM ft5", "a b,b c"},
        {"CREATE VIRTUAL TABLE ft5 USING fts5(id, name); INSERT INTO ft5 VALUES (1, 'a b'), (2, 'b c');",
         "SELECT id, name FROM ft5 WHERE ft5 MATCH 'c'", "b c"},
        {"CREATE VIRTUAL TABLE ft4 USING fts4(id, name); INSERT INTO ft4 VALUES (1, 'x'), (2, 'y');",
         "SELECT id, name FROM ft4 WHERE ft4 MATCH 'y'", "y"},
        {"CREATE VIRTUAL TABLE box USING rtree(id, x0, x1); INSERT INTO box VALUES (1, 2, 3);",
         "SELECT id, x0 FROM box", "Double 2"},
    };
    int n = 0;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.source);
        std::string db = dir.file("names" + std::to_string(++n) + ".db");
        makeDatabase(db, k.schema);
        std::string before = fileBytes(db);
        control->setDatabaseName(db);
        control->setRecordSource(k.source);
        ASSERT_EQ(descriptionOf([&] { control->refresh(); }), "");
        Recordset& rs = *control->recordset();
        std::string shown;
        for (std::int32_t i = 0; i < rs.recordCount(); ++i) {
            Variant v = rs.valueAt(i, 1);
            shown += (i ? "," : "") + (v.isString() ? v.asString() : v.debugString());
        }
        EXPECT_EQ(shown, k.names);
        control->setRecordset(nullptr);
        EXPECT_EQ(fileBytes(db), before);
    }
}

TEST_F(HostileOpening, FailuresAboutAViewQuoteTheNameTheUserWrote) {
    makeDatabase(file + "x",
                 "CREATE TABLE t(a); INSERT INTO t VALUES (1), (2);"
                 "CREATE VIEW broken AS SELECT abs(-9223372036854775807 - 1) AS a FROM t;");
    control->setDatabaseName(file + "x");
    control->setRecordSource("[broken]");
    std::string description = descriptionOf([&] { control->refresh(); });
    EXPECT_NE(description.find("'[broken]'"), std::string::npos) << description;
    EXPECT_EQ(description.find("SELECT * FROM"), std::string::npos) << description;
}

TEST_F(HostileOpening, TextThatIsNotUtf8ReadsWithReplacementCharacters) {
    std::string db = dir.file("bytes.db");
    makeDatabase(db,
                 "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, v);"
                 "INSERT INTO t VALUES (1, CAST(X'41FF42' AS TEXT), CAST(X'C3A9EDA080' AS TEXT)),"
                 " (2, 'ok', CAST(X'E282' AS TEXT));"
                 "CREATE VIEW \"odd\xFFview\" AS SELECT name AS \"n\xC3\", v FROM t;");
    for (const char* source : {"t", "SELECT name, v FROM t"}) {
        SCOPED_TRACE(source);
        control->setDatabaseName(db);
        control->setRecordSource(source);
        control->refresh();
        Recordset& rs = *control->recordset();
        std::int32_t name = source[0] == 't' ? 1 : 0;
        EXPECT_EQ(rs.valueAt(0, name), Variant("A\xEF\xBF\xBD"
                                               "B"));
        EXPECT_EQ(rs.valueAt(0, name + 1), Variant("\xC3\xA9\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"));
        EXPECT_EQ(rs.valueAt(1, name + 1), Variant("\xEF\xBF\xBD"));
    }
    control->setRecordSource("SELECT * FROM \"odd\xFFview\"");
    control->refresh();
    EXPECT_EQ(control->recordset()->fields().item(0).name(), "n\xEF\xBF\xBD");
}

// A writer that stopped in the middle of a change left its journal: only a
// writer may roll it back, and the list says so.
TEST_F(HostileOpening, AHotJournalIsItsOwnFailure) {
    std::string db = dir.file("writer.db");
    makeDatabase(db, "CREATE TABLE people(id, name); INSERT INTO people VALUES (1, 'a');");
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &writer), SQLITE_OK);
    // A change larger than the writer's cache: its journal is synced and
    // the file already changed, as at a crash in the middle of a commit.
    ASSERT_EQ(sqlite3_exec(writer,
                           "PRAGMA cache_size = 5; BEGIN; UPDATE people SET name = 'b';"
                           "WITH RECURSIVE n(v) AS (SELECT 1 UNION ALL SELECT v + 1 FROM n WHERE v < 200)"
                           " INSERT INTO people SELECT v, randomblob(500) FROM n;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    ASSERT_TRUE(std::filesystem::exists(db + "-journal"));
    // The files as the writer's crash left them, under another name.
    std::string hot = dir.file("hot.db");
    std::filesystem::copy_file(db, hot);
    std::filesystem::copy_file(db + "-journal", hot + "-journal");
    sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(writer);

    std::string before = fileBytes(hot) + fileBytes(hot + "-journal");
    auto [number, description] = openFailure(hot, "people");
    EXPECT_EQ(number, failure_code::kNeedsRecovery) << description;
    EXPECT_NE(description.find("needs recovery"), std::string::npos) << description;
    EXPECT_EQ(fileBytes(hot) + fileBytes(hot + "-journal"), before);
}

int exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

// A WAL-mode file without its -wal and -shm: the list's read-only
// connection makes them, and takes away what it made when nobody else uses
// them; what another connection uses, or what holds changes, stays.
TEST_F(HostileOpening, TheListLeavesNoFileBesideTheDatabaseInEitherJournalMode) {
    std::string wal = dir.file("wal.db");
    makeDatabase(
        wal, "PRAGMA journal_mode = WAL; CREATE TABLE people(id, name); INSERT INTO people VALUES (1, 'a');");
    ASSERT_EQ(filesIn(dir.path()), "people.db wal.db");

    for (const std::string& db : {file, wal}) {
        SCOPED_TRACE(db);
        control->setDatabaseName(db);
        control->setRecordSource("SELECT name FROM people");
        control->refresh();
        control->setRecordSource("people");
        control->refresh();
        control->recordset()->valueAt(0, 1);
        control->setRecordset(nullptr);
        EXPECT_EQ(filesIn(dir.path()), "people.db wal.db");
    }

    // The application's connection is open: its files stay while it is, and
    // its changes are not lost.
    sqlite3* app = nullptr;
    ASSERT_EQ(sqlite3_open(wal.c_str(), &app), SQLITE_OK);
    control->setDatabaseName(wal);
    control->setRecordSource("people");
    control->refresh();                                                     // the list made the files...
    ASSERT_EQ(exec(app, "INSERT INTO people VALUES (2, 'b')"), SQLITE_OK);  // ...the application uses them
    control->setRecordset(nullptr);
    EXPECT_EQ(filesIn(dir.path()), "people.db wal.db wal.db-shm wal.db-wal");
    control->refresh();
    EXPECT_EQ(control->recordset()->recordCount(), 2);

    // The application goes first, leaving its change in the WAL (the list
    // still reads the file): the list's close keeps the WAL.
    sqlite3_close(app);
    control->setRecordset(nullptr);
    EXPECT_EQ(filesIn(dir.path()), "people.db wal.db wal.db-shm wal.db-wal");
    control->refresh();
    EXPECT_EQ(control->recordset()->recordCount(), 2) << "the change in the WAL is still there";
    control->setRecordset(nullptr);

    // Two lists on the file: the first to close leaves the files to the other.
    ASSERT_EQ(sqlite3_open(wal.c_str(), &app), SQLITE_OK);
    ASSERT_EQ(exec(app, "SELECT * FROM people"), SQLITE_OK);
    sqlite3_close(app);  // the last connection checkpoints and removes them
    ASSERT_EQ(filesIn(dir.path()), "people.db wal.db");
    auto other = createDataControl();
    other->setDatabaseName(wal);
    other->setRecordSource("people");
    other->refresh();
    control->refresh();
    other->setRecordset(nullptr);
    EXPECT_EQ(filesIn(dir.path()), "people.db wal.db wal.db-shm wal.db-wal");
    EXPECT_EQ(control->recordset()->valueAt(1, 1), Variant("b"));
}

}  // namespace
}  // namespace quorvel::engine::testing
