#include "support/headless_database.h"

#include <sqlite3.h>

#include <stdexcept>

namespace quorvel::headless::testing {

void execSql(const std::string& file, const std::string& sql) {
    sqlite3* db = nullptr;
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) {
        std::string message = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + file + ": " + message);
    }
    // As an application's connection: a write waits out an open list's
    // short reads instead of failing at once.
    sqlite3_busy_timeout(db, 2000);
    // A test's file needs no protection from a power cut: no waiting for
    // the disk at every statement.
    sqlite3_exec(db, "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
    char* error = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    if (rc != SQLITE_OK) throw std::runtime_error("SQL failed: " + message);
}

}  // namespace quorvel::headless::testing
