// Owning handles for an ODBC environment, connection and statement, the
// one place where the driver manager's diagnostics become the engine's
// failures, and the connection string's own rules: its syntax, and the
// passwords that no message may show. The driver manager's headers stay in
// the .cpp: nothing that includes this file sees them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::engine {

// The text after "ODBC;" when `connect` selects the ODBC engine (the prefix
// in any case, blanks before it allowed); nothing otherwise.
bool isOdbcConnect(std::string_view connect);
std::string_view odbcConnectionString(std::string_view connect);

// One `key=value` of a connection string: the key as written (blanks
// trimmed), the value with its braces removed.
struct ConnectionAttribute {
    std::string key;
    std::string value;
};

// Splits a connection string into its attributes: `key=value` separated by
// ";", a value in braces may hold ";" and "}}" stands for "}". Throws 3151
// naming what is wrong: an attribute without "=", an empty key, a brace
// that is not closed, text after a closing brace.
std::vector<ConnectionAttribute> parseConnectionString(std::string_view text);

// The text with the value of every attribute that is or may hold a
// password (a key holding PWD or Password in any case, pqopt) replaced by
// "***": what a message shows of a driver's text that may echo a
// connection string. A text that does not parse is masked from its first
// password's "=" (blanks of any kind before it) on.
std::string maskPasswords(std::string_view text);

// What a message may quote of a connection string: the attributes that
// name the driver, data source, server, port, database and user (DRIVER,
// DSN, SERVER, SERVERNAME, HOST, PORT, DATABASE, DB, DBNAME, UID, USER,
// USERNAME), in order; nothing else, whatever its key. A text that does not
// parse is not quoted at all.
std::string describeConnection(std::string_view connectionString);

// The connection string with DATABASE=<name> added, unless it already
// names a database (DATABASE, DB or DBNAME) or `name` is empty.
std::string withDatabase(std::string_view connectionString, std::string_view name);

// The connection string a list connects with: every statement prepared on
// the server (UseServerSidePrepare=1, whatever the string says: a prepared
// statement holds one command, the server refuses a text of two), and
// results read from a server-side cursor in blocks of `fetchRows` rows
// (UseDeclareFetch=1;Fetch=N) unless the string chooses its own fetching;
// unless the string passes its own pqopt, a call whose data the network
// stops carrying fails after 10 s (tcp_user_timeout).
std::string listConnectionString(std::string_view connectionString, int fetchRows);

// The failure numbers of the ODBC engine, beside the shared ones in
// data_engine.h.
namespace odbc_failure {
// Connecting failed: the server, the credentials, the database or the
// connection string; the driver's message follows.
inline constexpr std::int32_t kConnectFailed = 3151;
// A call on an open connection failed (the server went away, say).
inline constexpr std::int32_t kCallFailed = 3146;
}  // namespace odbc_failure

class OdbcStatement;

// The environment and the connection of one list. SQL_ATTR_ACCESS_MODE is
// asked read-only, a hint that many drivers ignore; the caller makes the
// server's session read-only (makeSessionReadOnly). Closing disconnects.
class OdbcConnection {
public:
    OdbcConnection() = default;
    enum class Access { ReadOnly, ReadWrite };
    // Connects with the connection string; failures throw 3151 with the
    // driver's messages, passwords masked. `loginSeconds` bounds the
    // connecting (0: the driver's default). ReadWrite is for programs that
    // load data (the demo's sample), never for a list.
    OdbcConnection(const std::string& connectionString, std::int64_t loginSeconds,
                   Access access = Access::ReadOnly);
    ~OdbcConnection();
    OdbcConnection(OdbcConnection&& other) noexcept;
    OdbcConnection& operator=(OdbcConnection&& other) noexcept;
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    void* handle() const { return dbc_; }
    explicit operator bool() const { return dbc_ != nullptr; }

    // The server's product name, as the driver reports it.
    std::string dbmsName() const;
    // Runs a statement of the engine's own that returns no rows.
    void exec(std::string_view sql, std::string_view context);

private:
    void close() noexcept;

    void* env_ = nullptr;
    void* dbc_ = nullptr;
};

class OdbcStatement {
public:
    explicit OdbcStatement(const OdbcConnection& connection);
    ~OdbcStatement();
    OdbcStatement(const OdbcStatement&) = delete;
    OdbcStatement& operator=(const OdbcStatement&) = delete;

    void* handle() const { return stmt_; }
    // Throws the failure of the statement's last call (`number`, with the
    // driver's messages) unless `rc` is a success; returns `rc`.
    short check(short rc, std::int32_t number, std::string_view context) const;
    // Prepares the text as one statement and runs it; returns the driver's
    // result (the caller reads the diagnostics of a failure).
    short prepareAndExecute(std::string_view sql) const;
    // Asks the server to stop the statement running (from any thread).
    void cancel() const;

private:
    void* stmt_ = nullptr;
};

// Makes the connection's session read-only: every transaction
// of it read-only, string constants read as the SQL standard reads them
// (a backslash is a character). Only PostgreSQL is known to keep these
// settings; any other server is refused with 3151.
void makeSessionReadOnly(OdbcConnection& server);

// The diagnostic records of a handle (SQLSTATE and message each), passwords
// masked. `type` is the ODBC handle type.
struct OdbcDiagnostic {
    std::string state;
    std::string message;
};
std::vector<OdbcDiagnostic> odbcDiagnostics(short type, void* handle);

// Throws Failure `number` with `context` and the handle's diagnostics.
[[noreturn]] void failFromOdbc(short type, void* handle, std::int32_t number, std::string_view context);

}  // namespace quorvel::engine
