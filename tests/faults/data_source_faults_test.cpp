// Faults of the list's data source, each on a real file: the control reports
// each through its own failure handling, the bound value and the edit box
// keep their text, and the control works again once it is configured onto a
// good file.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>

#include "engine/data_engine.h"
#include "faults_fixture.h"
#include "host/keys.h"

namespace quorvel::testing {
namespace {

// Overwrites `length` bytes from `offset` with a pattern that no page holds.
void scribble(const std::string& file, std::streamoff offset, std::size_t length) {
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(offset);
    for (std::size_t i = 0; i < length; ++i) f.put(static_cast<char>(0xA5 ^ (i * 31)));
}

// Another program damaged the file while writing it: the file's change
// counter moved, so a reader takes nothing from its cache.
void bumpChangeCounter(const std::string& file) {
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    f.seekg(24);
    char counter[4];
    f.read(counter, 4);
    counter[3] = static_cast<char>(counter[3] + 1);
    f.seekp(24);
    f.write(counter, 4);
}

// The people's file as a writer left it when it stopped in the middle of
// a commit: the file half changed, its synced journal beside it.
std::string hotJournalFile(const std::string& folder, const std::string& good) {
    std::string writing = folder + "/writing.db", hot = folder + "/hot.db";
    std::filesystem::copy_file(good, writing);
    sqlite3* writer = nullptr;
    sqlite3_open(writing.c_str(), &writer);
    sqlite3_exec(writer,
                 "PRAGMA cache_size = 5; BEGIN; UPDATE People SET Name = 'X';"
                 "WITH RECURSIVE n(v) AS (SELECT 1 UNION ALL SELECT v + 1 FROM n WHERE v < 200)"
                 " INSERT INTO People(Code, Name) SELECT 'N' || v, hex(randomblob(300)) FROM n;",
                 nullptr, nullptr, nullptr);
    std::filesystem::copy_file(writing, hot);
    std::filesystem::copy_file(writing + "-journal", hot + "-journal");
    sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(writer);
    return hot;
}

// People with enough records to fill several small pages.
std::string manyPeopleSql() {
    return "PRAGMA page_size = 512;" + peopleSql() +
           "WITH RECURSIVE n(value) AS (SELECT 1 UNION ALL SELECT value + 1 FROM n WHERE value < 400)"
           " INSERT INTO People SELECT 'X' || value, 'Name ' || value, NULL, NULL, value, value FROM n;";
}

using DataSourceFaults = FaultTest;

// A lock is waited out for 50 ms instead of the default 2 s.
void waitBrieflyForLocks(Quorvel2000& c) {
    engine::OpeningLimits limits;
    limits.busyMilliseconds = 50;
    ASSERT_TRUE(engine::setOpeningLimits(c.data1(), limits));
}

TEST_F(DataSourceFaults, AFileThatCannotBeOpenedIsReportedAndTheControlKeepsItsText) {
    struct Case {
        const char* what;
        std::function<std::string()> makeFile;  // the faulty file's path
        const char* recordSource;
        // The start of the one message; "" for the silent failure 3024.
        const char* message;
        VBool unavailable;
    };
    const Case cases[] = {
        {"the file is missing", [&] { return dir.file("missing.db"); }, "People", "", kTrue},
        {"not a database",
         [&] {
             std::ofstream(dir.file("text.db")) << std::string(4096, 'q');
             return dir.file("text.db");
         },
         "People", "msgbox \"3343    /M_007 \\n\\nUnrecognized database format", kFalse},
        {"a folder",
         [&] {
             std::filesystem::create_directory(dir.file("folder.db"));
             return dir.file("folder.db");
         },
         "People", "msgbox \"3051    /M_007 \\n\\nCannot open", kFalse},
        {"truncated inside its first page",
         [&] {
             std::string f = database(manyPeopleSql(), "short.db");
             std::filesystem::resize_file(f, 60);
             return f;
         },
         "People", "msgbox \"3049    /M_007 \\n\\nThe database file is damaged", kFalse},
        {"truncated after its first pages",
         [&] {
             std::string f = database(manyPeopleSql(), "cut.db");
             std::filesystem::resize_file(f, 512 * 3);
             return f;
         },
         "People", "msgbox \"3049    /M_007 \\n\\nThe database file is damaged", kFalse},
        {"pages overwritten",
         [&] {
             std::string f = database(manyPeopleSql(), "corrupt.db");
             scribble(f, 512, 512 * 6);
             return f;
         },
         "People", "msgbox \"3049    /M_007 \\n\\nThe database file is damaged", kFalse},
        {"a FIFO",
         [&] {
             ::mkfifo(dir.file("pipe.db").c_str(), 0600);
             return dir.file("pipe.db");
         },
         "People", "msgbox \"3051    /M_007 \\n\\nCannot open", kFalse},
        {"a device", [&] { return std::string("/dev/zero"); }, "People",
         "msgbox \"3051    /M_007 \\n\\nCannot open", kFalse},
        {"a hot journal beside it", [&] { return hotJournalFile(dir.path().string(), good); }, "People",
         "msgbox \"3057    /M_007 \\n\\nThe database file needs recovery", kFalse},
        {"a statement that fails on its fourth record", [&] { return database(peopleSql(), "half.db"); },
         "SELECT Code, CASE WHEN Code = 'A01' THEN abs(-9223372036854775807 - 1) ELSE Name END AS Name FROM "
         "People",
         "msgbox \"3000    /M_007 \\n\\nSQLite failed while reading the record source", kFalse},
        {"a view that fails on its fourth record",
         [&] {
             return database(peopleSql() +
                                 "CREATE VIEW Half AS SELECT Code, CASE WHEN Code = 'A01' THEN "
                                 "abs(-9223372036854775807 - 1) ELSE Name END AS Name FROM People;",
                             "view.db");
         },
         "Half", "msgbox \"3000    /M_007 \\n\\nSQLite failed while reading the record source", kFalse},
    };
    Quorvel2000& c = listOnPeople();
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        backOnPeople(c);
        std::string faulty = k.makeFile();
        c.setListRecordSource(k.recordSource);  // still the good file: opens or is refused, no matter
        site.clearLog();
        c.setListDataBaseName(faulty);

        std::string shown = messages();
        if (*k.message == '\0') EXPECT_EQ(shown, "");
        else
            EXPECT_EQ(shown.rfind(k.message, 0), 0u)
                << shown << " / unavailable " << c.members().dataUnavailable;
        EXPECT_EQ(shown.find("msgbox", 1), std::string::npos) << "one message: " << shown;
        EXPECT_EQ(c.members().dataUnavailable, k.unavailable);
        EXPECT_EQ(c.BoundText(), "R12");
        EXPECT_EQ(c.Text(), "Rossi");

        // Asking for the list and typing do not crash on the missing
        // recordset: the search reports the missing object as it must.
        c.ListaApri();
        site.focusIn("Text2");
        site.clearLog();
        site.type("V");
        EXPECT_EQ(messages().rfind("msgbox \"91    /M_003 ", 0), 0u) << messages();
        EXPECT_EQ(c.BoundText(), "R12");
        expectUsableAgain(c);
    }
}

TEST_F(DataSourceFaults, AnEndlessRecordSourceStopsAtTheLimitOfAnOpening) {
    Quorvel2000& c = listOnPeople();
    ASSERT_TRUE(engine::setOpeningLimits(c.data1(), {5000, 1000, 64 << 20}));
    auto started = std::chrono::steady_clock::now();
    c.setListRecordSource(
        "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c) "
        "SELECT 'C' || n AS Code, 'Name ' || n AS Name FROM c");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(messages().rfind("msgbox \"3058    /M_007 \\n\\nThe record source", 0), 0u) << messages();
    EXPECT_NE(messages().find("more than 1000 records"), std::string::npos) << messages();
    EXPECT_EQ(c.ListRecordset(), nullptr);
    EXPECT_EQ(c.BoundText(), "R12");
    EXPECT_EQ(c.Text(), "Rossi");
    expectUsableAgain(c);
}

TEST_F(DataSourceFaults, AnUnreadableFileIsReportedWhereItsPermissionsCount) {
    Quorvel2000& c = listOnPeople();
    std::string locked = database(peopleSql(), "private.db");
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
    // Root (or CAP_DAC_OVERRIDE) reads whatever the permissions say; then
    // they cannot make the file unreadable and there is no fault to test.
    bool stillReadable = ::access(locked.c_str(), R_OK) == 0;
    if (stillReadable) {
        ::chmod(locked.c_str(), 0600);
        GTEST_SKIP() << "this process may read any file (root or CAP_DAC_OVERRIDE): "
                        "permissions do not make a file unreadable here";
    }
    c.setListDataBaseName(locked);
    EXPECT_EQ(messages().rfind("msgbox \"3051    /M_007 \\n\\nCannot open", 0), 0u) << messages();
    EXPECT_EQ(c.BoundText(), "R12");
    EXPECT_EQ(c.Text(), "Rossi");
    ::chmod(locked.c_str(), 0600);
    expectUsableAgain(c);
}

TEST_F(DataSourceFaults, AWriterHoldingTheFileIsReportedAsALockAndAPendingWriteIsNoFault) {
    Quorvel2000& c = listOnPeople();
    waitBrieflyForLocks(c);
    std::string shared = database(peopleSql(), "shared.db");
    OtherConnection app(shared);

    // A writer that has reserved the file but not committed: readers go on
    // and see what was committed.
    ASSERT_EQ(app.exec("BEGIN IMMEDIATE; DELETE FROM People WHERE Code = 'V33'"), SQLITE_OK);
    c.setListDataBaseName(shared);
    EXPECT_EQ(messages(), "");
    EXPECT_EQ(c.ListRecordset()->recordCount(), 5);
    ASSERT_EQ(app.exec("ROLLBACK"), SQLITE_OK);

    // An exclusive lock keeps readers out; the opening waits its busy
    // timeout, then reports the lock.
    c.setListDataBaseName(good);
    c.setBoundText("R12");
    site.clearLog();
    ASSERT_EQ(app.exec("BEGIN EXCLUSIVE"), SQLITE_OK);
    c.setListDataBaseName(shared);
    EXPECT_EQ(messages().rfind("msgbox \"3050    /M_007 \\n\\nThe database file stayed locked", 0), 0u)
        << messages();
    EXPECT_EQ(c.BoundText(), "R12");
    EXPECT_EQ(c.Text(), "Rossi");
    ASSERT_EQ(app.exec("COMMIT"), SQLITE_OK);
    expectUsableAgain(c);
}

TEST_F(DataSourceFaults, FaultsWhileTheListIsOpenAreReportedByTheHandlerThatMetThem) {
    Quorvel2000& c = listOnPeople();
    waitBrieflyForLocks(c);
    std::string shared = database(manyPeopleSql(), "open.db");
    c.setListDataBaseName(shared);
    c.ListaApri();
    site.focusIn("Text2");
    c.setBoundText("R12");
    ASSERT_EQ(c.Text(), "Rossi");
    site.clearLog();

    // The application deletes a record the list shows; moving onto it is
    // reported through Error first, then by the reposition handling.
    {
        OtherConnection app(shared);
        ASSERT_EQ(app.exec("DELETE FROM People WHERE Code = 'R05'"), SQLITE_OK)
            << "the open list must not keep the application from writing";
    }
    site.gridRow(4);
    EXPECT_NE(site.log().find("event Error DataErr=Integer 3167 Response=Integer 1|msgbox"),
              std::string::npos)
        << site.log();
    EXPECT_EQ(messages().rfind("msgbox \"3167    /M_001 \\n\\nRecord is deleted", 0), 0u) << messages();
    EXPECT_EQ(c.BoundText(), "R12");
    EXPECT_EQ(c.Text(), "Rossi");

    // Another writer holds the file while the user types: the search waits,
    // then reports the lock once per key release.
    {
        OtherConnection app(shared);
        ASSERT_EQ(app.exec("BEGIN EXCLUSIVE"), SQLITE_OK);
        c.setText("");
        site.clearLog();
        site.type("V");
        EXPECT_EQ(messages().rfind("msgbox \"3050    /M_003 ", 0), 0u) << messages();
        ASSERT_EQ(app.exec("COMMIT"), SQLITE_OK);
    }
    EXPECT_EQ(c.Text(), "V") << "the typed text stays";

    // Pages damaged under the open list: the next find meets them.
    scribble(shared, 512 * 2, 512 * 8);
    bumpChangeCounter(shared);
    site.clearLog();
    site.type("e");
    EXPECT_EQ(messages().rfind("msgbox \"3049    /M_003 ", 0), 0u) << messages();
    EXPECT_EQ(c.Text(), "Ve");
    EXPECT_EQ(c.BoundText(), "R12");
    expectUsableAgain(c);
}

TEST_F(DataSourceFaults, AFileDeletedOrReplacedUnderTheOpenListIsSeenAtTheNextConfiguration) {
    Quorvel2000& c = listOnPeople();
    std::string shared = database(peopleSql(), "moving.db");
    c.setListDataBaseName(shared);
    c.ListaApri();
    site.focusIn("Text2");
    c.setBoundText("R12");
    site.clearLog();

    // Deleted: the open list reads on from the file it opened.
    std::filesystem::remove(shared);
    c.setText("");
    site.type("Ve");
    EXPECT_EQ(c.ListRecordset()->absolutePosition(), 2) << "Verdi";
    EXPECT_EQ(messages(), "");
    // Configured again, the file is missing: silently unavailable.
    c.ImpostaDataControl();
    EXPECT_EQ(messages(), "");
    EXPECT_EQ(c.members().dataUnavailable, kTrue);
    EXPECT_EQ(c.Text(), "Ve");
    EXPECT_EQ(c.BoundText(), "R12");

    // Replaced by another file of that name while open: the list keeps the
    // records it opened until it is configured again.
    makeDatabase(shared, peopleSql());
    c.ImpostaDataControl();
    ASSERT_EQ(c.members().dataUnavailable, kFalse);
    std::string replacement = dir.file("replacement.db");
    makeDatabase(replacement,
                 "CREATE TABLE People (Code TEXT, Name TEXT); INSERT INTO People VALUES ('Z9', 'Zed');");
    std::filesystem::rename(replacement, shared);
    EXPECT_EQ(c.ListRecordset()->recordCount(), 5);
    EXPECT_EQ(c.ListRecordset()->valueAt(4, 1), Variant("Romano"));
    c.ImpostaDataControl();
    EXPECT_EQ(c.ListRecordset()->recordCount(), 1);
    EXPECT_EQ(messages(), "");
    expectUsableAgain(c);
}

}  // namespace
}  // namespace quorvel::testing
