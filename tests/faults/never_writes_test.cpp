// The list never writes: a record source that could change its database is
// refused through the control's configuration report, and the file is byte
// for byte what it was after any session, one that tried included.
#include <gtest/gtest.h>

#include <filesystem>

#include "faults_fixture.h"

namespace quorvel::testing {
namespace {

using namespace std::string_literals;

using NeverWrites = FaultTest;

TEST_F(NeverWrites, EveryRecordSourceThatCouldWriteIsRefusedAndTheFileStaysAsItWas) {
    Quorvel2000& c = listOnPeople();
    const std::string before = fileBytes(good);
    const std::string refused[] = {
        "DELETE FROM People",
        "UPDATE People SET Name = 'x' RETURNING Code, Name",
        "INSERT INTO People(Code) VALUES ('Q') RETURNING *",
        "SELECT Code, Name FROM People; DROP TABLE People",
        "SELECT 1; DELETE FROM People",
        "ATTACH 'side.db' AS side",
        "DETACH main",
        "PRAGMA journal_mode = WAL",
        "PRAGMA user_version = 9",
        "PRAGMA writable_schema = ON",
        "VACUUM INTO 'copy.db'",
        "CREATE TEMP TABLE t AS SELECT * FROM People",
        "REINDEX",
        "ANALYZE",
        "BEGIN EXCLUSIVE",
        "WITH x AS (SELECT 1) UPDATE People SET Age = 0",
        "SAVEPOINT s",
        // A PRAGMA that only reads is not a query either.
        "PRAGMA table_info(People)",
        // What follows a NUL is never read, nor allowed.
        "SELECT Code, Name FROM People\0; DELETE FROM People"s,
        // A native pointer out, or any pointer in as a tokenizer.
        "SELECT hex(fts3_tokenizer('simple')) AS Code, 1 AS Name",
    };
    for (const std::string& source : refused) {
        SCOPED_TRACE(source);
        site.clearLog();
        c.setListRecordSource(source);
        std::string shown = messages();
        EXPECT_EQ(shown.rfind("msgbox \"3027    /M_007 \\n\\nThe record source", 0), 0u) << shown;
        EXPECT_EQ(c.ListRecordset(), nullptr);
        EXPECT_EQ(c.BoundText(), "R12");
        EXPECT_EQ(c.Text(), "Rossi");
    }
    // Functions that write or reach outside the file are not there to call.
    const char* unavailable[] = {
        "SELECT load_extension('libc.so.6') AS x",
        "SELECT writefile('out.txt', Name) AS x FROM People",
        "SELECT edit(Name) AS x FROM People",
    };
    for (const char* source : unavailable) {
        SCOPED_TRACE(source);
        site.clearLog();
        c.setListRecordSource(source);
        EXPECT_NE(messages().find("    /M_007 "), std::string::npos) << messages();
        EXPECT_EQ(c.ListRecordset(), nullptr);
    }
    for (const char* name : {"side.db", "copy.db", "out.txt"}) {
        EXPECT_FALSE(std::filesystem::exists(dir.file(name))) << name;
        EXPECT_FALSE(std::filesystem::exists(name)) << name;
    }
    EXPECT_EQ(fileBytes(good), before) << "a refused record source changed the file";
}

TEST_F(NeverWrites, AWholeSessionLeavesTheFileAndItsFolderAsTheyWere) {
    Quorvel2000& c = listOnPeople();
    // Either journal mode: in WAL mode the list's reading makes a -wal and
    // a -shm file, and takes them away again.
    for (const char* mode : {"DELETE", "WAL"}) {
        SCOPED_TRACE(mode);
        std::string busy = database("PRAGMA journal_mode = " + std::string(mode) + ";" + peopleSql() +
                                        "CREATE VIEW Romans AS SELECT * FROM People WHERE City = 'Roma';",
                                    "session-" + std::string(mode) + ".db");
        const std::string before = fileBytes(busy);
        c.setListDataBaseName(busy);
        c.ListaApri();
        site.focusIn("Text2");
        c.setText("");
        site.type("R*");
        site.gridRow(3);
        site.gridKey(13);
        c.ListRefresh();
        c.setListRecordSource("SELECT Code, Name FROM People ORDER BY Name COLLATE FOLD");
        c.setListRecordSource("Romans");
        c.setListRecordSource("DELETE FROM People");
        c.setListRecordSource("People");
        c.setBoundText("V33");
        EXPECT_EQ(c.Text(), "Verdi");
        c.setListDataBaseName(good);
        EXPECT_EQ(fileBytes(busy), before);
    }
    control.reset();

    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        ++files;
        EXPECT_TRUE(entry.path().filename() == "people.db" ||
                    entry.path().filename() == "session-DELETE.db" ||
                    entry.path().filename() == "session-WAL.db")
            << "left behind: " << entry.path();
    }
    EXPECT_EQ(files, 3u);
}

}  // namespace
}  // namespace quorvel::testing
