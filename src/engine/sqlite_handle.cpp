#include "engine/sqlite_handle.h"

#include <sqlite3.h>

#include <string>

#include "engine/data_engine.h"
#include "platform/failure.h"

namespace quorvel::engine {

namespace {

std::string messageOf(sqlite3* db, int code) {
    if (db != nullptr && sqlite3_errcode(db) != SQLITE_OK) return sqlite3_errmsg(db);
    return sqlite3_errstr(code);
}

}  // namespace

void failFromSqlite(sqlite3* db, int code, std::string_view context) {
    std::string message = messageOf(db, code);
    std::string where(context);
    switch (code & 0xff) {
        case SQLITE_NOMEM:
            fail(failure::kOutOfMemory, "Out of memory while " + where + ".");
        case SQLITE_NOTADB:
            fail(failure_code::kNotADatabase,
                 "Unrecognized database format while " + where + ": the file is not a SQLite database.");
        case SQLITE_CORRUPT:
            fail(failure_code::kDatabaseCorrupt,
                 "The database file is damaged (" + message + ") while " + where + ".");
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            fail(failure_code::kLocked,
                 "The database file stayed locked by another user while " + where + ".");
        case SQLITE_IOERR:
        case SQLITE_FULL:
            fail(failure_code::kDiskError, "Disk or I/O error (" + message + ") while " + where + ".");
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            fail(failure_code::kCannotOpen, "Cannot open the file (" + message + ") while " + where + ".");
        case SQLITE_READONLY:
            fail(failure_code::kReadOnly,
                 "The database is read-only for the list (" + message + ") while " + where + ".");
        default:
            fail(failure_code::kEngineFailure, "SQLite failed while " + where + ": " + message + ".");
    }
}

std::string quoteIdentifier(std::string_view name) {
    std::string out;
    out.reserve(name.size() + 2);
    out += '"';
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

Connection::Connection(const std::string& path) {
    // No SQLITE_OPEN_URI: a DatabaseName is always a plain file name, never
    // options that could ask for a different mode. NOMUTEX: a connection is
    // only ever used by the thread of its recordset, and the locking costs a
    // tenth of an index build.
    int code = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_EXRESCODE | SQLITE_OPEN_NOMUTEX,
                               nullptr);
    if (code == SQLITE_OK) return;
    sqlite3* failed = db_;
    db_ = nullptr;
    try {
        failFromSqlite(failed, code, "opening '" + path + "'");
    } catch (...) {
        sqlite3_close(failed);
        throw;
    }
}

Connection::~Connection() {
    if (db_ != nullptr) sqlite3_close_v2(db_);
}

Connection& Connection::operator=(Connection&& other) noexcept {
    if (this == &other) return *this;
    if (db_ != nullptr) sqlite3_close_v2(db_);
    db_ = other.db_;
    other.db_ = nullptr;
    return *this;
}

void Connection::exec(const char* sql, std::string_view context) {
    int code = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) failFromSqlite(db_, code, context);
}

Statement::Statement(const Connection& db, std::string_view sql, std::string_view context,
                     std::string_view* tail) {
    const char* rest = nullptr;
    int code = sqlite3_prepare_v3(db.get(), sql.data(), static_cast<int>(sql.size()),
                                  SQLITE_PREPARE_PERSISTENT, &stmt_, &rest);
    if (code != SQLITE_OK) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        failFromSqlite(db.get(), code, context);
    }
    if (tail != nullptr) {
        std::size_t used = rest == nullptr ? sql.size() : static_cast<std::size_t>(rest - sql.data());
        *tail = sql.substr(used);
    }
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this == &other) return *this;
    sqlite3_finalize(stmt_);
    stmt_ = other.stmt_;
    other.stmt_ = nullptr;
    return *this;
}

bool Statement::step(std::string_view context) {
    int code = sqlite3_step(stmt_);
    if (code == SQLITE_ROW) return true;
    if (code == SQLITE_DONE) return false;
    sqlite3* db = sqlite3_db_handle(stmt_);
    try {
        failFromSqlite(db, code, context);
    } catch (...) {
        // Reset only after the message was taken: reset may replace it.
        sqlite3_reset(stmt_);
        throw;
    }
}

void Statement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

}  // namespace quorvel::engine
