// The list's file is shared: while a list is open, other connections (the
// application's own, typically) write to the same file. The list holds no
// lock between its reads, so their commits go through in rollback-journal
// mode; what they changed under the list shows or is reported, never read
// as another record's values.
#include <sqlite3.h>

#include <chrono>

#include "engine/recordset.h"
#include "engine_fixture.h"

namespace quorvel::engine::testing {
namespace {

// Another program's connection to the list's file, for writing.
class Writer {
public:
    explicit Writer(const std::string& file) {
        EXPECT_EQ(sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    }
    ~Writer() { sqlite3_close(db_); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // SQLite's result code, SQLITE_BUSY when a lock stopped the write.
    int exec(const std::string& sql) { return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr); }

private:
    sqlite3* db_ = nullptr;
};

std::string journalMode(const std::string& file) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &stmt, nullptr);
    std::string mode =
        sqlite3_step(stmt) == SQLITE_ROW ? reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)) : "";
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return mode;
}

class SharedFile : public EngineTest {
protected:
    // The fixture's file changes on purpose here.
    void TearDown() override {}
};

TEST_F(SharedFile, AnotherConnectionWritesWhileTheListIsOpenAndTheListFollows) {
    ASSERT_EQ(journalMode(file), "delete") << "the fault needs a rollback-journal file";
    Recordset& rs = open("people");
    rs.findFirst("name >= \"R\"");  // builds the name index
    ASSERT_EQ(rs.absolutePosition(), 1);
    rs.valueAt(8, 1);  // rows in the cache
    // The worker's build at the opening reads in short transactions of its
    // own, which this writer (no busy timeout) would meet; then nothing.
    dynamic_cast<SqliteRecordset&>(rs).waitForIndexes();

    // With a read transaction held by the list, every one of these failed
    // with SQLITE_BUSY once the busy timeout ran out.
    Writer app(file);
    ASSERT_EQ(app.exec("UPDATE people SET name = 'Aaron' WHERE id = 2"), SQLITE_OK);
    ASSERT_EQ(app.exec("DELETE FROM people WHERE id = 3"), SQLITE_OK);
    ASSERT_EQ(app.exec("INSERT INTO people(id, name) VALUES (10, 'Ramirez')"), SQLITE_OK);
    ASSERT_EQ(app.exec("CREATE TABLE orders(id INTEGER PRIMARY KEY, person INTEGER)"), SQLITE_OK);
    recorder.take();

    // The records are the ones of the opening; a changed one reads its new
    // values, also where the cache held the old ones.
    EXPECT_EQ(rs.recordCount(), 9);
    EXPECT_EQ(rs.valueAt(1, 1), Variant("Aaron"));
    EXPECT_EQ(rs.valueAt(8, 1), Variant("Zeta 12"));

    // The finds use the new keys: the changed record moved away from "R",
    // the deleted one is never found, the added one waits for a refresh.
    EXPECT_EQ(found(rs, "name >= \"R\""), 3) << "ÉCOLE (é after r by code point), no longer Rossi";
    // That find saw the commits; the worker builds the fresh index, without
    // which a record that came to match (Aaron) is not found yet.
    dynamic_cast<SqliteRecordset&>(rs).waitForIndexes();
    EXPECT_EQ(found(rs, "name = \"aaron\""), 1);
    EXPECT_EQ(found(rs, "name = \"bianchi\""), -1);
    EXPECT_EQ(found(rs, "name = \"Ramirez\""), -1);
    EXPECT_EQ(found(rs, "id = 4"), 3) << "a number index built after the delete keeps the positions";

    // The deleted record is reported through the error notification, with
    // its own number, and the handler's response decides as for any read.
    recorder.take();
    EXPECT_EQ(failureOf([&] { rs.valueAt(2, 1); }), failure_code::kRecordDeleted);
    EXPECT_EQ(recorder.take(), "error 3167");
    recorder.errorResponse = error_response::kContinue;
    EXPECT_EQ(rs.valueAt(2, 1), Variant::null());
    recorder.errorResponse.reset();
    recorder.take();

    control->refresh();
    Recordset& again = *control->recordset();
    EXPECT_EQ(again.recordCount(), 9) << "one deleted, one added";
    EXPECT_EQ(found(again, "name = \"Ramirez\""), 8);
    dynamic_cast<SqliteRecordset&>(again).waitForIndexes();  // the reopening's builds
    ASSERT_EQ(app.exec("DELETE FROM people WHERE id = 10"), SQLITE_OK) << "and the file is still free";
}

TEST_F(SharedFile, AStatementsRecordsAreItsOwnCopyAndTheFileStaysFree) {
    Recordset& rs = open("SELECT id, name FROM people WHERE city = 'Roma' ORDER BY id");
    ASSERT_EQ(rs.recordCount(), 3);
    Writer app(file);
    ASSERT_EQ(app.exec("BEGIN IMMEDIATE; DELETE FROM people; COMMIT"), SQLITE_OK);
    EXPECT_EQ(rs.valueAt(1, 1), Variant("Rossi")) << "the copy made at opening";
    EXPECT_EQ(found(rs, "name = \"Ross\""), 2);
    control->refresh();
    EXPECT_EQ(control->recordset()->recordCount(), 0);
}

TEST_F(SharedFile, AWriterHoldingTheFileMakesAReadFailWith3050AndTheListRecovers) {
    OpeningLimits limits;
    limits.busyMilliseconds = 50;
    ASSERT_TRUE(setOpeningLimits(*control, limits));
    Recordset& rs = open("people");
    dynamic_cast<SqliteRecordset&>(rs).waitForIndexes();  // the opening's build reads too
    Writer app(file);
    // An exclusive lock keeps every reader out; the list waits its busy
    // timeout for it (the recordset's own, not the default 2 s), then
    // reports the lock.
    ASSERT_EQ(app.exec("BEGIN EXCLUSIVE"), SQLITE_OK);
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(failureOf([&] { rs.valueAt(4, 1); }), failure_code::kLocked);
    auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_GE(waited, std::chrono::milliseconds(50));
    EXPECT_LT(waited, std::chrono::milliseconds(1000));
    EXPECT_EQ(recorder.take(), "error 3050");
    ASSERT_EQ(app.exec("COMMIT"), SQLITE_OK);
    EXPECT_EQ(rs.valueAt(4, 1), Variant("Straße")) << "the same record reads once the writer is done";
}

}  // namespace
}  // namespace quorvel::engine::testing
