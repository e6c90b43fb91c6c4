// What a record source may be on a database server: a table or view name
// (bare or quoted, optionally with its schema), or one query that cannot
// write. The text is read as the server's SQL reads it, with its comments,
// quoted names, string constants and dollar-quoted bodies, so that a word
// inside any of them counts for nothing.
//
// The server's read-only session refuses what a query that passes here
// writes to tables and sequences, directly or through a function. Some
// functions have effects that a read-only transaction does not stop
// (advisory locks that last the connection's life, notifications, other
// sessions ended, settings changed, server files, statements on other
// connections): the check refuses the known ones by name, bare or quoted,
// with or without their schema. A function of the database's own that does
// such things is for the database's owner to keep from the list's role.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvel::engine {

// Throws 3027 unless the text is one statement that starts as a query
// (SELECT, WITH or VALUES, after comments and opening parentheses) and
// holds none of the words that make a query write or lock (INSERT, UPDATE,
// DELETE, MERGE, INTO, TRUNCATE, COPY and the other statements' verbs, FOR
// UPDATE/SHARE) outside quotes and comments, no name of such a function,
// and no backslash in a plain '...' constant. A trailing ";" is allowed; anything after
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
