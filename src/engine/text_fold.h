// Case-insensitive text for finds and for SQL: full Unicode case folding
// (so "ÉCOLE" meets "école" and "STRASSE" meets "straße") followed by
// canonical composition (so a decomposed "é" meets a composed one).
//
// Folded text compares by code point, which for UTF-8 is plain byte order;
// that one order serves the find index, the criteria and the SQL collation
// FOLD, so a list sorted in SQL and a find over it never disagree.
#pragma once

#include <string>
#include <string_view>

struct sqlite3;

namespace quorvel::engine {

inline constexpr const char* kFoldCollation = "FOLD";

// Appends the folded form of `utf8` to `out`. Bytes that are not UTF-8 fold
// to U+FFFD, so a damaged value still has a key and never breaks a find.
void appendFolded(std::string_view utf8, std::string& out);
std::string folded(std::string_view utf8);

// The fold by ICU alone, without the table of the common characters that
// appendFolded uses first; the two must always agree.
void appendFoldedByIcu(std::string_view utf8, std::string& out);

// Registers the collation FOLD on the connection.
void registerFoldCollation(sqlite3* db);

}  // namespace quorvel::engine
