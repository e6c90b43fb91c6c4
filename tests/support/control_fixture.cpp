#include "support/control_fixture.h"

#include <sqlite3.h>

namespace quorvel::testing {

void execSql(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    char* message = nullptr;
    // A test's file needs no protection from a power cut: no waiting for
    // the disk at every statement.
    if (rc == SQLITE_OK) sqlite3_exec(db, "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
    // As an application's connection: a write waits out an open list's
    // short reads instead of failing at once.
    if (rc == SQLITE_OK) sqlite3_busy_timeout(db, 2000);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
    std::string error = message ? message : (db ? sqlite3_errmsg(db) : "cannot open");
    sqlite3_free(message);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << error << "\nin: " << sql;
}

std::string peopleSql() {
    return "CREATE TABLE People (Code TEXT(10), Name TEXT(50), City TEXT(30), Born DATE,"
           " Balance REAL, Age INTEGER);"
           "INSERT INTO People VALUES ('R12', 'Rossi', 'Roma', '1970-03-15', 12.5, 56);"
           "INSERT INTO People VALUES ('B07', 'Bianchi', 'Milano', '1985-12-07', -3.25, 41);"
           "INSERT INTO People VALUES ('V33', 'Verdi', NULL, '1990-01-31', 0, 36);"
           "INSERT INTO People VALUES ('A01', 'Amato', 'Napoli', '2001-07-04', 100, 25);"
           "INSERT INTO People VALUES ('R05', 'Romano', 'Torino', '1964-05-20', 7.75, 62);";
}

ControlTest::ControlTest() = default;

ControlTest::~ControlTest() { control.reset(); }

Quorvel2000& ControlTest::bareControl() {
    control = std::make_unique<Quorvel2000>(site);
    return *control;
}

Quorvel2000& ControlTest::newControl() {
    bareControl().InitProperties();
    return *control;
}

std::string ControlTest::database(const std::string& sql, const std::string& name) {
    std::string path = dir.file(name);
    execSql(path, sql);
    return path;
}

Quorvel2000& ControlTest::configuredControl(const std::string& databasePath, const std::string& recordSource,
                                            const Variant& boundField, const Variant& searchField) {
    Quorvel2000& c = newControl();
    c.setBoundField(boundField);
    c.setListSearchField(searchField);
    c.setListDataBaseName(databasePath);
    c.setListRecordSource(recordSource);
    site.clearLog();
    return c;
}

}  // namespace quorvel::testing
