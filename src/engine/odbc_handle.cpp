#include "engine/odbc_handle.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cctype>

#include "platform/failure.h"
#include "platform/text.h"

namespace quorvel::engine {

namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

// A password, or options that may hold one (pqopt={password=...}).
bool isPasswordKey(std::string_view key) {
    key = trimmed(key);
    std::string upper(key);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper.find("PWD") != std::string::npos || upper.find("PASSWORD") != std::string::npos ||
           upper == "PQOPT";
}

// The text itself is not quoted: where its syntax fails, what is a password
// and what is not cannot be told apart.
[[noreturn]] void badSyntax(std::string_view why) {
    fail(odbc_failure::kConnectFailed,
         "ODBC--connection failed: the connection string has a syntax error: " + std::string(why) + ".");
}

// Where the first password attribute's value starts in a text that does
// not parse, or npos.
std::size_t firstPasswordValue(std::string_view text) {
    for (std::size_t at = 0; at < text.size(); ++at) {
        for (std::string_view key : {std::string_view("PWD"), std::string_view("PASSWORD")}) {
            if (at + key.size() > text.size() || !equalsIgnoringCase(text.substr(at, key.size()), key))
                continue;
            std::size_t after = at + key.size();
            while (after < text.size() && std::isspace(static_cast<unsigned char>(text[after]))) ++after;
            if (after < text.size() && text[after] == '=') return after + 1;
        }
    }
    return std::string_view::npos;
}

}  // namespace

bool isOdbcConnect(std::string_view connect) {
    connect = trimmed(connect);
    return connect.size() >= 5 && equalsIgnoringCase(connect.substr(0, 5), "ODBC;");
}

std::string_view odbcConnectionString(std::string_view connect) {
    if (!isOdbcConnect(connect)) return {};
    return trimmed(trimmed(connect).substr(5));
}

std::vector<ConnectionAttribute> parseConnectionString(std::string_view text) {
    std::vector<ConnectionAttribute> out;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t equals = text.find_first_of("=;", at);
        if (equals == std::string_view::npos || text[equals] == ';') {
            std::string_view piece =
                trimmed(text.substr(at, equals == std::string_view::npos ? text.npos : equals - at));
            if (!piece.empty()) badSyntax("attribute " + std::to_string(out.size() + 1) + " has no '='");
            at = equals == std::string_view::npos ? text.size() : equals + 1;
            continue;
        }
        std::string_view key = trimmed(text.substr(at, equals - at));
        if (key.empty())
            badSyntax("attribute " + std::to_string(out.size() + 1) + " has no name before its '='");
        ConnectionAttribute attribute{std::string(key), {}};
        at = equals + 1;
        while (at < text.size() && text[at] == ' ') ++at;
        if (at < text.size() && text[at] == '{') {
            ++at;
            bool closed = false;
            while (at < text.size()) {
                if (text[at] == '}') {
                    if (at + 1 < text.size() && text[at + 1] == '}') {
                        attribute.value += '}';
                        at += 2;
                        continue;
                    }
                    ++at;
                    closed = true;
                    break;
                }
                attribute.value += text[at++];
            }
            if (!closed) badSyntax("the value of '" + attribute.key + "' opens a '{' that is never closed");
            while (at < text.size() && text[at] == ' ') ++at;
            if (at < text.size() && text[at] != ';')
                badSyntax("the value of '" + attribute.key + "' goes on after its closing '}'");
        } else {
            std::size_t end = text.find(';', at);
            if (end == std::string_view::npos) end = text.size();
            attribute.value = std::string(trimmed(text.substr(at, end - at)));
            at = end;
        }
        if (at < text.size()) ++at;  // the ';'
        out.push_back(std::move(attribute));
    }
    return out;
}

std::string maskPasswords(std::string_view text) {
    // A text that does not parse hides everything from its first password on.
    try {
        parseConnectionString(text);
    } catch (const Failure&) {
        std::size_t value = firstPasswordValue(text);
        if (value == std::string_view::npos) return std::string(text);
        return std::string(text.substr(0, value)) + "***";
    }
    // Walks the text as the parser does: whatever follows a password key's
    // "=" up to the end of its value is replaced.
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t equals = text.find_first_of("=;", at);
        if (equals == std::string_view::npos) {
            out += text.substr(at);
            break;
        }
        out += text.substr(at, equals + 1 - at);
        if (text[equals] == ';') {
            at = equals + 1;
            continue;
        }
        std::string_view key = text.substr(at, equals - at);
        std::size_t valueStart = equals + 1;
        std::size_t end = valueStart;
        while (end < text.size() && text[end] == ' ') ++end;
        if (end < text.size() && text[end] == '{') {
            ++end;
            while (end < text.size()) {
                if (text[end] == '}') {
                    if (end + 1 < text.size() && text[end + 1] == '}') {
                        end += 2;
                        continue;
                    }
                    ++end;
                    break;
                }
                ++end;
            }
            std::size_t semicolon = text.find(';', end);
            end = semicolon == std::string_view::npos ? text.size() : semicolon;
        } else {
            std::size_t semicolon = text.find(';', end);
            end = semicolon == std::string_view::npos ? text.size() : semicolon;
        }
        if (isPasswordKey(key)) {
            out += "***";
        } else {
            out += text.substr(valueStart, end - valueStart);
        }
        at = end;
    }
    return out;
}

std::string describeConnection(std::string_view connectionString) {
    std::vector<ConnectionAttribute> attributes;
    try {
        attributes = parseConnectionString(connectionString);
    } catch (const Failure&) { return "a connection string that does not parse"; }
    std::string out;
    for (const auto& attribute : attributes) {
        bool safe = false;
        for (const char* key : {"DRIVER", "DSN", "SERVER", "SERVERNAME", "HOST", "PORT", "DATABASE", "DB",
                                "DBNAME", "UID", "USER", "USERNAME"})
            safe = safe || equalsIgnoringCase(trimmed(attribute.key), key);
        if (!safe) continue;
        out += attribute.key + "=";
        if (attribute.value.find_first_of(";{}") == std::string::npos) {
            out += attribute.value;
        } else {
            out += '{';
            for (char c : attribute.value) out += c == '}' ? std::string("}}") : std::string(1, c);
            out += '}';
        }
        out += ';';
    }
    return out;
}

std::string withDatabase(std::string_view connectionString, std::string_view name) {
    if (trimmed(name).empty()) return std::string(connectionString);
    for (const auto& attribute : parseConnectionString(connectionString)) {
        if (equalsIgnoringCase(attribute.key, "DATABASE") || equalsIgnoringCase(attribute.key, "DB") ||
            equalsIgnoringCase(attribute.key, "DBNAME"))
            return std::string(connectionString);
    }
    std::string out(trimmed(connectionString));
    if (!out.empty() && out.back() != ';') out += ';';
    // Braces only where the name needs them: not every driver takes them off.
    std::string_view plain = trimmed(name);
    if (plain.find_first_of(";{}") == std::string_view::npos) {
        out += "DATABASE=" + std::string(plain) + ";";
        return out;
    }
    out += "DATABASE={";
    for (char c : plain) {
        out += c;
        if (c == '}') out += '}';
    }
    out += "};";
    return out;
}

std::string listConnectionString(std::string_view connectionString, int fetchRows) {
    std::string out;
    bool ownFetching = false, ownOptions = false;
    for (const auto& attribute : parseConnectionString(connectionString)) {
        if (equalsIgnoringCase(attribute.key, "UseServerSidePrepare")) continue;
        if (equalsIgnoringCase(attribute.key, "pqopt")) ownOptions = true;
        if (equalsIgnoringCase(attribute.key, "UseDeclareFetch") ||
            equalsIgnoringCase(attribute.key, "Fetch"))
            ownFetching = true;
    }
    // The attributes are copied as written, but for the one replaced.
    std::size_t at = 0;
    std::string_view text = connectionString;
    while (at < text.size()) {
        std::size_t start = at;
        std::size_t equals = text.find_first_of("=;", at);
        if (equals == std::string_view::npos || text[equals] == ';') {
            at = equals == std::string_view::npos ? text.size() : equals + 1;
            continue;
        }
        std::string_view key = trimmed(text.substr(at, equals - at));
        std::size_t end = equals + 1;
        while (end < text.size() && text[end] == ' ') ++end;
        if (end < text.size() && text[end] == '{') {
            ++end;
            while (end < text.size()) {
                if (text[end] == '}' && end + 1 < text.size() && text[end + 1] == '}') {
                    end += 2;
                    continue;
                }
                if (text[end++] == '}') break;
            }
        }
        std::size_t semicolon = text.find(';', end);
        end = semicolon == std::string_view::npos ? text.size() : semicolon;
        at = end < text.size() ? end + 1 : end;
        if (equalsIgnoringCase(key, "UseServerSidePrepare")) continue;
        out += trimmed(text.substr(start, end - start));
        out += ';';
    }
    out += "UseServerSidePrepare=1;";
    // A network that stops carrying what was sent fails the call after
    // 10 s instead of the system's many minutes.
    if (!ownOptions) out += "pqopt={tcp_user_timeout=10000};";
    if (!ownFetching && fetchRows > 0) out += "UseDeclareFetch=1;Fetch=" + std::to_string(fetchRows) + ";";
    return out;
}

std::vector<OdbcDiagnostic> odbcDiagnostics(short type, void* handle) {
    std::vector<OdbcDiagnostic> out;
    if (handle == nullptr) return out;
    for (SQLSMALLINT record = 1; record <= 8; ++record) {
        SQLCHAR state[6] = {};
        SQLINTEGER native = 0;
        std::vector<SQLCHAR> message(1024);
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRec(type, handle, record, state, &native, message.data(),
                                     static_cast<SQLSMALLINT>(message.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
            message.resize(static_cast<std::size_t>(length) + 1);
            rc = SQLGetDiagRec(type, handle, record, state, &native, message.data(),
                               static_cast<SQLSMALLINT>(message.size()), &length);
        }
        if (!SQL_SUCCEEDED(rc)) break;
        std::string text(reinterpret_cast<const char*>(message.data()),
                         std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)),
                                               message.size() - 1));
        while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
        out.push_back({reinterpret_cast<const char*>(state), maskPasswords(validUtf8(text))});
    }
    return out;
}

void failFromOdbc(short type, void* handle, std::int32_t number, std::string_view context) {
    std::string description =
        number == odbc_failure::kConnectFailed ? "ODBC--connection failed" : "ODBC--call failed";
    description += " while " + maskPasswords(context);
    auto diagnostics = odbcDiagnostics(type, handle);
    if (diagnostics.empty()) {
        description += ".";
    } else {
        description += ": ";
        for (std::size_t i = 0; i < diagnostics.size(); ++i) {
            if (i > 0) description += " ";
            description += diagnostics[i].message + " (" + diagnostics[i].state + ")";
        }
        if (description.back() != '.') description += ".";
    }
    fail(number, description);
}

// --- OdbcConnection ----------------------------------------------------------

OdbcConnection::OdbcConnection(const std::string& connectionString, std::int64_t loginSeconds,
                               Access access) {
    parseConnectionString(connectionString);  // a syntax error is named before the driver sees it
    std::string context = "connecting to '" + describeConnection(connectionString) + "'";
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        fail(odbc_failure::kConnectFailed,
             "ODBC--connection failed: the ODBC driver manager could not start.");
    env_ = env;
    try {
        if (!SQL_SUCCEEDED(
                SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0)))
            failFromOdbc(SQL_HANDLE_ENV, env, odbc_failure::kConnectFailed, context);
        SQLHDBC dbc = SQL_NULL_HDBC;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc)))
            failFromOdbc(SQL_HANDLE_ENV, env, odbc_failure::kConnectFailed, context);
        dbc_ = dbc;
        // A hint for the driver, which may ignore it: what keeps the list
        // from writing is the server's own session (makeSessionReadOnly).
        if (access == Access::ReadOnly)
            SQLSetConnectAttr(dbc, SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), 0);
        if (loginSeconds > 0) {
            auto seconds = static_cast<SQLULEN>(std::min<std::int64_t>(loginSeconds, 86'400));
            SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(seconds), 0);
        }
        SQLSMALLINT outLength = 0;
        SQLRETURN rc = SQLDriverConnect(
            dbc, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(connectionString.c_str())), SQL_NTS,
            nullptr, 0, &outLength, SQL_DRIVER_NOPROMPT);
        if (!SQL_SUCCEEDED(rc)) { failFromOdbc(SQL_HANDLE_DBC, dbc, odbc_failure::kConnectFailed, context); }
    } catch (...) {
        if (dbc_ != nullptr) SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
        dbc_ = env_ = nullptr;
        throw;
    }
}

OdbcConnection::~OdbcConnection() { close(); }

OdbcConnection::OdbcConnection(OdbcConnection&& other) noexcept : env_(other.env_), dbc_(other.dbc_) {
    other.env_ = other.dbc_ = nullptr;
}

OdbcConnection& OdbcConnection::operator=(OdbcConnection&& other) noexcept {
    if (this == &other) return *this;
    close();
    env_ = other.env_;
    dbc_ = other.dbc_;
    other.env_ = other.dbc_ = nullptr;
    return *this;
}

void OdbcConnection::close() noexcept {
    if (dbc_ != nullptr) {
        SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    }
    if (env_ != nullptr) SQLFreeHandle(SQL_HANDLE_ENV, env_);
    env_ = dbc_ = nullptr;
}

std::string OdbcConnection::dbmsName() const {
    SQLCHAR name[256] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(dbc_, SQL_DBMS_NAME, name, sizeof name, &length))) return {};
    return reinterpret_cast<const char*>(name);
}

void OdbcConnection::exec(std::string_view sql, std::string_view context) {
    OdbcStatement statement(*this);
    std::string text(sql);
    statement.check(SQLExecDirect(statement.handle(), reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS),
                    odbc_failure::kCallFailed, context);
}

void makeSessionReadOnly(OdbcConnection& server) {
    std::string name = server.dbmsName();
    if (!equalsIgnoringCase(name, "PostgreSQL"))
        fail(odbc_failure::kConnectFailed,
             "ODBC--connection failed: the server is " +
                 (name.empty() ? std::string("unknown") : "'" + name + "'") +
                 "; a list opens only from a PostgreSQL server, whose session can be made read-only.");
    server.exec("SET standard_conforming_strings = on", "making the list's session read-only");
    server.exec("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY",
                "making the list's session read-only");
}

// --- OdbcStatement -----------------------------------------------------------

OdbcStatement::OdbcStatement(const OdbcConnection& connection) {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection.handle(), &stmt)))
        failFromOdbc(SQL_HANDLE_DBC, connection.handle(), odbc_failure::kCallFailed, "preparing a statement");
    stmt_ = stmt;
}

OdbcStatement::~OdbcStatement() {
    if (stmt_ != nullptr) SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
}

short OdbcStatement::check(short rc, std::int32_t number, std::string_view context) const {
    if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO || rc == SQL_NO_DATA) return rc;
    failFromOdbc(SQL_HANDLE_STMT, stmt_, number, context);
}

short OdbcStatement::prepareAndExecute(std::string_view sql) const {
    std::string text(sql);
    SQLRETURN rc =
        SQLPrepare(stmt_, reinterpret_cast<SQLCHAR*>(text.data()), static_cast<SQLINTEGER>(text.size()));
    if (!SQL_SUCCEEDED(rc)) return rc;
    return SQLExecute(stmt_);
}

void OdbcStatement::cancel() const { SQLCancel(stmt_); }

}  // namespace quorvel::engine
