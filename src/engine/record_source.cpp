#include "engine/record_source.h"

#include <sqlite3.h>

#include <cctype>
#include <string>
#include <vector>

#include "engine/data_engine.h"
#include "engine/sqlite_handle.h"
#include "platform/failure.h"
#include "platform/text.h"

namespace quorvel::engine {

std::string_view trimmedSource(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && (std::isspace(static_cast<unsigned char>(text.back())) || text.back() == ';'))
        text.remove_suffix(1);
    return text;
}

bool startsWithKeyword(std::string_view text, std::string_view keyword) {
    if (text.size() < keyword.size()) return false;
    for (std::size_t i = 0; i < keyword.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != keyword[i]) return false;
    }
    if (text.size() == keyword.size()) return true;
    unsigned char next = static_cast<unsigned char>(text[keyword.size()]);
    return !(std::isalnum(next) || next == '_');
}

bool isStatement(std::string_view source) {
    while (!source.empty() && source.front() == '(') {
        source.remove_prefix(1);
        while (!source.empty() && std::isspace(static_cast<unsigned char>(source.front())))
            source.remove_prefix(1);
    }
    return startsWithKeyword(source, "SELECT") || startsWithKeyword(source, "WITH") ||
           startsWithKeyword(source, "VALUES");
}

std::string unquotedName(std::string_view name) {
    if (name.size() >= 2) {
        char open = name.front(), close = name.back();
        if ((open == '[' && close == ']') || (open == '`' && close == '`'))
            return std::string(name.substr(1, name.size() - 2));
        if (open == '"' && close == '"') {
            std::string out;
            std::string_view body = name.substr(1, name.size() - 2);
            for (std::size_t i = 0; i < body.size(); ++i) {
                out += body[i];
                if (body[i] == '"' && i + 1 < body.size() && body[i + 1] == '"') ++i;
            }
            return out;
        }
    }
    return std::string(name);
}

namespace {

// Functions of the connection that a record source may not call, whatever
// the build of SQLite offers: fts3_tokenizer hands out and registers native
// pointers, load_extension runs code from a file.
bool isRefusedFunction(const char* name) {
    if (name == nullptr) return false;
    std::string_view n(name);
    return equalsIgnoringCase(n, "fts3_tokenizer") || equalsIgnoringCase(n, "load_extension");
}

}  // namespace

int readOnlyAuthorizer(void* refusedFunction, int action, const char*, const char* second, const char*,
                       const char*) {
    switch (action) {
        case SQLITE_FUNCTION:
            if (isRefusedFunction(second)) {
                if (refusedFunction != nullptr) *static_cast<std::string*>(refusedFunction) = second;
                return SQLITE_DENY;
            }
            return SQLITE_OK;
        case SQLITE_SELECT:
        case SQLITE_READ:
        case SQLITE_RECURSIVE: return SQLITE_OK;
        default: return SQLITE_DENY;
    }
}

void refuseRecordSource(std::string_view source, std::string_view why) {
    fail(failure_code::kReadOnly,
         "The record source '" + std::string(source) + "' is refused: " + std::string(why) +
             ". The list reads its database only; use a table or view name or a SELECT statement.");
}

namespace {

// A virtual table builds itself (declares its columns, reads its own
// tables) the first time a statement of the connection names it, and stays
// built for the connection. Under the read-only authorizer that building
// counts as a schema change and fails; so the virtual tables of the file
// are built before the user's statement is prepared, as naming one alone
// would. One that does not build is left to fail in the user's statement.
void connectVirtualTables(sqlite3* db) {
    sqlite3_stmt* list = nullptr;
    if (sqlite3_prepare_v2(db,
                           "SELECT name FROM main.sqlite_schema WHERE type = 'table' "
                           "AND sql LIKE 'CREATE VIRTUAL TABLE%'",
                           -1, &list, nullptr) != SQLITE_OK) {
        sqlite3_finalize(list);
        return;
    }
    std::vector<std::string> names;
    while (sqlite3_step(list) == SQLITE_ROW) {
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(list, 0));
        if (name != nullptr) names.emplace_back(name);
    }
    sqlite3_finalize(list);
    for (const std::string& name : names) {
        std::string sql = "SELECT * FROM main." + quoteIdentifier(name) + " LIMIT 0";
        sqlite3_stmt* probe = nullptr;
        sqlite3_prepare_v2(db, sql.c_str(), -1, &probe, nullptr);
        sqlite3_finalize(probe);
    }
}

}  // namespace

Statement prepareRecordSource(const Connection& connection, std::string_view source, std::string_view label) {
    sqlite3* db = connection.get();
    connectVirtualTables(db);
    std::string refusedFunction;
    sqlite3_set_authorizer(db, readOnlyAuthorizer, &refusedFunction);
    struct AuthorizerScope {
        sqlite3* db;
        ~AuthorizerScope() { sqlite3_set_authorizer(db, nullptr, nullptr); }
    } scope{db};

    const char* tail = nullptr;
    sqlite3_stmt* raw = nullptr;
    int code = sqlite3_prepare_v3(db, source.data(), static_cast<int>(source.size()), 0, &raw, &tail);
    if (code != SQLITE_OK) {
        sqlite3_finalize(raw);
        std::string message = sqlite3_errmsg(db);
        if (!refusedFunction.empty())
            refuseRecordSource(label, "it calls " + refusedFunction + "(), which the list does not offer");
        if ((code & 0xff) == SQLITE_AUTH) refuseRecordSource(label, "it does more than read");
        if (message.rfind("no such table", 0) == 0)
            fail(failure_code::kTableNotFound, "The record source '" + std::string(label) +
                                                   "' names a table that is not there (" + message + ").");
        if ((code & 0xff) == SQLITE_ERROR)
            fail(failure_code::kRecordSourceSyntax,
                 "Error in the record source statement '" + std::string(label) + "': " + message + ".");
        failFromSqlite(db, code, "preparing the record source '" + std::string(label) + "'");
    }
    // Ownership moves into the handle before any check can throw.
    Statement stmt(raw);
    if (stmt.get() == nullptr) refuseRecordSource(label, "it holds no statement");

    // Whatever follows the statement must be blanks, comments and
    // semicolons. The reader stops at a character it does not take (a NUL,
    // say) without moving: that ends the check as a refusal.
    std::string_view rest(tail, static_cast<std::size_t>(source.data() + source.size() - tail));
    while (!rest.empty()) {
        sqlite3_stmt* extra = nullptr;
        const char* next = nullptr;
        int extraCode = sqlite3_prepare_v3(db, rest.data(), static_cast<int>(rest.size()), 0, &extra, &next);
        bool another = extra != nullptr;
        sqlite3_finalize(extra);
        if (extraCode != SQLITE_OK || another) refuseRecordSource(label, "it holds more than one statement");
        std::size_t used = next == nullptr ? 0 : static_cast<std::size_t>(next - rest.data());
        if (used == 0 || used > rest.size()) {
            if (rest.front() == '\0')
                refuseRecordSource(label, "it holds a NUL character after the statement");
            refuseRecordSource(label, "it holds text after the statement that is not SQL");
        }
        rest.remove_prefix(used);
    }
    if (!sqlite3_stmt_readonly(stmt.get())) refuseRecordSource(label, "it could change the database");
    if (sqlite3_column_count(stmt.get()) == 0) refuseRecordSource(label, "it returns no records");
    if (int parameters = sqlite3_bind_parameter_count(stmt.get()); parameters > 0)
        fail(failure_code::kTooFewParameters, "Too few parameters. Expected " + std::to_string(parameters) +
                                                  ": the record source '" + std::string(label) +
                                                  "' has parameters that nothing supplies.");
    return stmt;
}

}  // namespace quorvel::engine
