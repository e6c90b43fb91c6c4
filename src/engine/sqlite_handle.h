// Owning handles for a SQLite connection and its prepared statements, and
// the one place where SQLite result codes become the engine's failures.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace quorvel::engine {

// Throws the engine's Failure for a SQLite result code; `context` says what
// was being done ("reading the record source 'Customers'").
[[noreturn]] void failFromSqlite(sqlite3* db, int code, std::string_view context);

// A SQL identifier in double quotes, inner quotes doubled: the only way a
// name reaches SQL text.
std::string quoteIdentifier(std::string_view name);

class Statement;

class Connection {
public:
    Connection() = default;
    // Opens an existing file read-only; never creates one. The path is
    // always a file name, never a URI (a name beginning "file:" is the file
    // of that name). A predecessor is the list's connection to the same
    // file that this one replaces, still open: the -wal and -shm files it
    // made count as made by this one too.
    // `threads`: how many threads call it. A list's own connection is
    // shared with the index worker, which reads a copy's keys through it
    // (SQLite then serializes the calls); any other is one thread's.
    enum class Threads : std::uint8_t { One, Shared };
    explicit Connection(const std::string& path, const Connection* predecessor = nullptr,
                        Threads threads = Threads::One);
    ~Connection();
    Connection(Connection&& other) noexcept
        : db_(other.db_), name_(std::move(other.name_)), hadWal_(other.hadWal_), hadShm_(other.hadShm_) {
        other.db_ = nullptr;
    }
    Connection& operator=(Connection&& other) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* get() const { return db_; }
    explicit operator bool() const { return db_ != nullptr; }

    // Runs statements that return no rows (the engine's own, never the user's).
    void exec(const char* sql, std::string_view context);

private:
    // Closes the connection. The -wal and -shm files that SQLite creates
    // beside a WAL-mode file for any reader, and a read-only one cannot
    // remove, are removed when this connection made them, nobody else has
    // the file open and the WAL holds nothing.
    void close() noexcept;

    sqlite3* db_ = nullptr;
    std::string name_;  // the file name as SQLite was given it
    bool hadWal_ = true;
    bool hadShm_ = true;
};

class Statement {
public:
    Statement() = default;
    // Takes ownership of a statement prepared elsewhere.
    explicit Statement(sqlite3_stmt* adopted) : stmt_(adopted) {}
    // Prepares the first statement of `sql`; `tail` (when given) receives what
    // was left after it.
    Statement(const Connection& db, std::string_view sql, std::string_view context,
              std::string_view* tail = nullptr);
    ~Statement();
    Statement(Statement&& other) noexcept : stmt_(other.stmt_) { other.stmt_ = nullptr; }
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    sqlite3_stmt* get() const { return stmt_; }
    explicit operator bool() const { return stmt_ != nullptr; }

    // True for a row, false when done; a failure throws with `context`.
    bool step(std::string_view context);
    void reset();

private:
    sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace quorvel::engine
