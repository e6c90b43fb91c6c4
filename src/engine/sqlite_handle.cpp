#include "engine/sqlite_handle.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <string>
#include <vector>

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
    // A hot journal (or a WAL that needs recovery) left by a writer that
    // stopped in the middle of a change: only a writer may roll it back.
    if (code == SQLITE_READONLY_ROLLBACK || code == SQLITE_READONLY_RECOVERY)
        fail(failure_code::kNeedsRecovery,
             "The database file needs recovery (" + message + ") while " + where +
                 ": a program writing it stopped in the middle of a change. Open it once with a program that "
                 "writes it, then open the list again.");
    switch (code & 0xff) {
        case SQLITE_NOMEM: fail(failure::kOutOfMemory, "Out of memory while " + where + ".");
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
        default: fail(failure_code::kEngineFailure, "SQLite failed while " + where + ": " + message + ".");
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

namespace {

// The name SQLite is given for a file. SQLite built to read URIs everywhere
// takes a name beginning "file:" as one (with options such as immutable),
// and ":memory:" as no file at all: "./" keeps either the file it names.
std::string sqliteFileName(const std::string& path) {
    if (path.rfind("file:", 0) == 0 || (!path.empty() && path.front() == ':')) return "./" + path;
    return path;
}

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// Removes the -wal (when `wal`) and -shm (when `shm`) files of `name` that
// its reader left, as SQLite's last connection to a file does: only while
// an exclusive lock on the file shows that no connection (of this process
// or another) has it open, and only when the WAL holds no change. The lock
// goes through SQLite's own file layer, which knows the locks of this
// process's other connections. Any doubt leaves the files.
void removeLeftWalFiles(const std::string& name, bool wal, bool shm) {
    std::string walName = name + "-wal", shmName = name + "-shm";
    if (!(wal && exists(walName)) && !(shm && exists(shmName))) return;
    sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
    if (vfs == nullptr) return;
    std::string journalName = name + "-journal";
    sqlite3_filename fileName =
        sqlite3_create_filename(name.c_str(), journalName.c_str(), walName.c_str(), 0, nullptr);
    if (fileName == nullptr) return;
    std::vector<std::max_align_t> memory(static_cast<std::size_t>(vfs->szOsFile) / sizeof(std::max_align_t) +
                                         1);
    auto* file = reinterpret_cast<sqlite3_file*>(memory.data());
    int flags = 0;
    if (vfs->xOpen(vfs, fileName, file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_MAIN_DB, &flags) == SQLITE_OK &&
        (flags & SQLITE_OPEN_READONLY) == 0 && file->pMethods->xLock(file, SQLITE_LOCK_SHARED) == SQLITE_OK) {
        if (file->pMethods->xLock(file, SQLITE_LOCK_EXCLUSIVE) == SQLITE_OK) {
            struct stat info {};
            bool walEmpty = ::stat(walName.c_str(), &info) != 0 || info.st_size == 0;
            if (walEmpty) {
                if (wal) ::unlink(walName.c_str());
                if (shm) ::unlink(shmName.c_str());
            }
        }
        file->pMethods->xUnlock(file, SQLITE_LOCK_NONE);
    }
    if (file->pMethods != nullptr) file->pMethods->xClose(file);
    sqlite3_free_filename(fileName);
}

}  // namespace

Connection::Connection(const std::string& path, const Connection* predecessor, Threads threads)
    : name_(sqliteFileName(path)) {
    hadWal_ = exists(name_ + "-wal");
    hadShm_ = exists(name_ + "-shm");
    // The files its predecessor made are made by the list as well.
    if (predecessor != nullptr && predecessor->name_ == name_) {
        hadWal_ = hadWal_ && predecessor->hadWal_;
        hadShm_ = hadShm_ && predecessor->hadShm_;
    }
    // No SQLITE_OPEN_URI: a DatabaseName is always a plain file name, never
    // options that could ask for a different mode. NOMUTEX for a connection
    // of one thread: the locking costs a tenth of an index build.
    int mutex = threads == Threads::Shared ? SQLITE_OPEN_FULLMUTEX : SQLITE_OPEN_NOMUTEX;
    int code =
        sqlite3_open_v2(name_.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_EXRESCODE | mutex, nullptr);
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

Connection::~Connection() { close(); }

void Connection::close() noexcept {
    if (db_ == nullptr) return;
    sqlite3* db = db_;
    db_ = nullptr;
    // A statement still open keeps SQLite's connection alive past this
    // call, and the files with it.
    if (sqlite3_close(db) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return;
    }
    if (!hadWal_ || !hadShm_) removeLeftWalFiles(name_, !hadWal_, !hadShm_);
}

Connection& Connection::operator=(Connection&& other) noexcept {
    if (this == &other) return *this;
    close();
    db_ = other.db_;
    name_ = std::move(other.name_);
    hadWal_ = other.hadWal_;
    hadShm_ = other.hadShm_;
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
