// What a record source is: a table or view name, or one query that cannot
// write. The classifier here is the only way a text of the user's becomes
// SQL on the list's connection.
#pragma once

#include <string>
#include <string_view>

namespace quorvel::engine {

class Connection;
class Statement;

// The record source without surrounding blanks and trailing semicolons.
std::string_view trimmedSource(std::string_view text);

// True when the text starts with the keyword (ASCII, any case) as a word.
bool startsWithKeyword(std::string_view text, std::string_view keyword);

// True for a text that starts as a query: SELECT, WITH or VALUES, possibly
// after opening parentheses.
bool isStatement(std::string_view source);

// A record source name as written: bare, [bracketed], "quoted" or `quoted`.
std::string unquotedName(std::string_view name);

// The authorizer of everything the user's text reaches: reading only, and
// no function that hands out or takes native pointers or loads code.
int readOnlyAuthorizer(void*, int action, const char* first, const char* second, const char* database,
                       const char* trigger);

// Throws 3027 for a record source that is not one query that only reads.
[[noreturn]] void refuseRecordSource(std::string_view source, std::string_view why);

// Prepares `sql` with every check that keeps the connection read-only: one
// statement and nothing after it, read-only, returning columns, without
// parameters. Failures quote `label`, what the user wrote (the engine may
// prepare a statement of its own for a view). Failures: 3027, 3061, 3078,
// 3131, or the SQLite failure of the preparation.
Statement prepareRecordSource(const Connection& db, std::string_view sql, std::string_view label);

}  // namespace quorvel::engine
