// What a record source may be on a database server: a table or view name
// (bare or quoted, optionally with its schema), or one query that cannot
// write. The text is read as the server's SQL reads it, with its comments,
// quoted names, string constants and dollar-quoted bodies, so that a word
// inside any of them counts for nothing.
//
// This check is the first wall; the second is the server's own: the list's
// session on the server is read-only, so a function that writes, called
// from a query that passes here, is refused by the server.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvel::engine {

// Throws 3027 unless the text is one statement that starts as a query
// (SELECT, WITH or VALUES, after comments and opening parentheses) and
// holds none of the words that make a query write or lock (INSERT, UPDATE,
// DELETE, MERGE, INTO, TRUNCATE, COPY and the other statements' verbs)
// outside quotes and comments. A trailing ";" is allowed; anything after
// it is another statement. Returns the statement without its ";".
std::string_view checkServerQuery(std::string_view source);

// A table or view name as written: `name`, `schema.name`, each part bare
// or in double quotes or [brackets]. Nothing for any other text.
struct ServerName {
    std::string schema;  // empty when not given
    std::string name;
};
std::optional<ServerName> parseServerName(std::string_view source);

// A name part in double quotes, inner quotes doubled.
std::string quoteServerIdentifier(std::string_view name);

}  // namespace quorvel::engine
