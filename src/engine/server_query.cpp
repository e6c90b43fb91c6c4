#include "engine/server_query.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <vector>

#include "engine/record_source.h"
#include "platform/text.h"

namespace quorvel::engine {

namespace {

bool isWordStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

bool isWordChar(char c) { return isWordStart(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '$'; }

// The words that make a query write, lock or run another statement.
constexpr std::array kWritingWords = {"INSERT",  "UPDATE",  "DELETE", "MERGE",  "INTO",    "TRUNCATE",
                                      "COPY",    "CREATE",  "DROP",   "ALTER",  "GRANT",   "REVOKE",
                                      "CALL",    "EXECUTE", "LOCK",   "VACUUM", "REINDEX", "CLUSTER",
                                      "REFRESH", "LISTEN",  "NOTIFY"};

// Functions whose effects outlast the query or reach past the session,
// which a read-only transaction does not stop: locks held as long as the
// connection, messages to listeners, other sessions ended, settings
// changed, files of the server written or read, statements run on other
// connections.
constexpr std::array kEffectFunctions = {"PG_ADVISORY_LOCK",
                                         "PG_ADVISORY_LOCK_SHARED",
                                         "PG_ADVISORY_XACT_LOCK",
                                         "PG_ADVISORY_XACT_LOCK_SHARED",
                                         "PG_TRY_ADVISORY_LOCK",
                                         "PG_TRY_ADVISORY_LOCK_SHARED",
                                         "PG_TRY_ADVISORY_XACT_LOCK",
                                         "PG_TRY_ADVISORY_XACT_LOCK_SHARED",
                                         "PG_ADVISORY_UNLOCK",
                                         "PG_ADVISORY_UNLOCK_SHARED",
                                         "PG_ADVISORY_UNLOCK_ALL",
                                         "PG_NOTIFY",
                                         "PG_TERMINATE_BACKEND",
                                         "PG_CANCEL_BACKEND",
                                         "SET_CONFIG",
                                         "LO_EXPORT",
                                         "LO_IMPORT",
                                         "LO_UNLINK",
                                         "LO_CREATE",
                                         "LO_CREAT",
                                         "LO_PUT",
                                         "LO_FROM_BYTEA",
                                         "LOWRITE",
                                         "DBLINK",
                                         "DBLINK_EXEC",
                                         "DBLINK_CONNECT",
                                         "DBLINK_CONNECT_U",
                                         "DBLINK_SEND_QUERY",
                                         "DBLINK_OPEN",
                                         "PG_RELOAD_CONF",
                                         "PG_ROTATE_LOGFILE",
                                         "PG_SWITCH_WAL",
                                         "PG_CREATE_RESTORE_POINT",
                                         "PG_LOGICAL_EMIT_MESSAGE",
                                         "PG_FILE_WRITE",
                                         "PG_READ_FILE",
                                         "PG_READ_BINARY_FILE",
                                         "PG_CREATE_LOGICAL_REPLICATION_SLOT",
                                         "PG_CREATE_PHYSICAL_REPLICATION_SLOT",
                                         "PG_DROP_REPLICATION_SLOT"};

struct Scan {
    std::vector<std::string> words;  // upper-cased, outside quotes and comments
    // Every token in order: a bare word upper-cased, anything else empty.
    std::vector<std::string> tokens;
    // Every name, bare or quoted, upper-cased: what a function call names.
    std::vector<std::string> names;
    bool escapedName = false;                           // a U&"..." name with escapes
    bool afterStatement = false;                        // something follows the first ";"
    std::string unterminated;                           // what was left open at the end
    bool ambiguous = false;                             // a plain string constant holds a backslash
    std::size_t statementEnd = std::string_view::npos;  // where the first ';' is
};

// Reads the text as the server's lexer does.
Scan scan(std::string_view text) {
    Scan out;
    bool ended = false;  // a top-level ';' was met
    std::size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
            continue;
        }
        if (c == '-' && i + 1 < text.size() && text[i + 1] == '-') {
            std::size_t end = text.find('\n', i);
            i = end == std::string_view::npos ? text.size() : end + 1;
            continue;
        }
        if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
            // Block comments nest.
            int depth = 1;
            i += 2;
            while (i < text.size() && depth > 0) {
                if (text[i] == '/' && i + 1 < text.size() && text[i + 1] == '*') {
                    ++depth;
                    i += 2;
                } else if (text[i] == '*' && i + 1 < text.size() && text[i + 1] == '/') {
                    --depth;
                    i += 2;
                } else {
                    ++i;
                }
            }
            if (depth > 0) out.unterminated = "a comment";
            continue;
        }
        if (ended) {
            out.afterStatement = true;
            ++i;
            continue;
        }
        if (c == ';') {
            ended = true;
            out.statementEnd = i;
            ++i;
            continue;
        }
        if (c == '\'' || c == '"') {
            // E'...' takes backslash escapes; '' and "" stand for one quote.
            bool backslashes = c == '\'' && i > 0 && (text[i - 1] == 'E' || text[i - 1] == 'e') &&
                               (i < 2 || !isWordChar(text[i - 2]));
            std::size_t j = i + 1;
            bool closed = false;
            while (j < text.size()) {
                if (backslashes && text[j] == '\\') {
                    j += 2;
                    continue;
                }
                // In a plain '...' a backslash is a character or an escape,
                // as the session's standard_conforming_strings says: where
                // the constant ends would depend on it.
                if (!backslashes && c == '\'' && text[j] == '\\') out.ambiguous = true;
                if (text[j] == c) {
                    if (j + 1 < text.size() && text[j + 1] == c) {
                        j += 2;
                        continue;
                    }
                    closed = true;
                    ++j;
                    break;
                }
                ++j;
            }
            if (!closed) out.unterminated = c == '"' ? "a quoted name" : "a string constant";
            if (c == '"' && closed) {
                std::string name(text.substr(i + 1, j - i - 2));
                if (i >= 2 && text[i - 1] == '&' && (text[i - 2] == 'U' || text[i - 2] == 'u') &&
                    name.find('\\') != std::string::npos)
                    out.escapedName = true;
                for (char& ch : name) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
                out.names.push_back(std::move(name));
            }
            out.tokens.emplace_back();
            i = j;
            continue;
        }
        if (c == '$') {
            // $tag$ ... $tag$ (the tag may be empty); otherwise a parameter
            // such as $1, read as a word.
            std::size_t j = i + 1;
            while (j < text.size() &&
                   (isWordStart(text[j]) || (j > i + 1 && std::isdigit(static_cast<unsigned char>(text[j])))))
                ++j;
            if (j < text.size() && text[j] == '$' && (j == i + 1 || isWordStart(text[i + 1]))) {
                std::string_view tag = text.substr(i, j + 1 - i);
                std::size_t close = text.find(tag, j + 1);
                if (close == std::string_view::npos) {
                    out.unterminated = "a dollar-quoted text";
                    i = text.size();
                } else {
                    i = close + tag.size();
                }
                out.tokens.emplace_back();
                continue;
            }
            ++i;
            continue;
        }
        if (isWordStart(c)) {
            std::size_t j = i;
            while (j < text.size() && isWordChar(text[j])) ++j;
            std::string word(text.substr(i, j - i));
            for (char& ch : word) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            out.tokens.push_back(word);
            out.names.push_back(word);
            out.words.push_back(std::move(word));
            i = j;
            continue;
        }
        out.tokens.emplace_back();
        ++i;
    }
    return out;
}

// One name part at `at`: bare, "quoted" or [bracketed]; advances past it.
std::optional<std::string> namePart(std::string_view text, std::size_t& at) {
    if (at >= text.size()) return std::nullopt;
    char c = text[at];
    if (c == '"') {
        std::string out;
        std::size_t j = at + 1;
        while (j < text.size()) {
            if (text[j] == '"') {
                if (j + 1 < text.size() && text[j + 1] == '"') {
                    out += '"';
                    j += 2;
                    continue;
                }
                at = j + 1;
                return out.empty() ? std::nullopt : std::optional<std::string>(out);
            }
            out += text[j++];
        }
        return std::nullopt;
    }
    if (c == '[') {
        std::size_t close = text.find(']', at + 1);
        if (close == std::string_view::npos || close == at + 1) return std::nullopt;
        std::string out(text.substr(at + 1, close - at - 1));
        at = close + 1;
        return out;
    }
    if (!isWordStart(c)) return std::nullopt;
    std::size_t j = at;
    while (j < text.size() && isWordChar(text[j])) ++j;
    std::string out(text.substr(at, j - at));
    at = j;
    return out;
}

}  // namespace

std::string_view checkServerQuery(std::string_view source) {
    std::string_view text = trimmedSource(source);
    Scan scanned = scan(text);
    if (!scanned.unterminated.empty()) refuseRecordSource(source, scanned.unterminated + " is not closed");
    if (scanned.ambiguous)
        refuseRecordSource(source,
                           "a string constant in '...' holds a backslash (write it as E'...' with the "
                           "backslash doubled)");
    if (scanned.afterStatement) refuseRecordSource(source, "it holds more than one statement");
    if (scanned.words.empty()) refuseRecordSource(source, "it is not a query");
    const std::string& first = scanned.words.front();
    if (first != "SELECT" && first != "WITH" && first != "VALUES")
        refuseRecordSource(source, "it is not a query (it starts with " + first + ")");
    for (const auto& word : scanned.words) {
        for (const char* writing : kWritingWords) {
            if (word == writing)
                refuseRecordSource(source, "it uses " + word + ", which could write or lock");
        }
    }
    // FOR UPDATE, FOR NO KEY UPDATE, FOR SHARE, FOR KEY SHARE.
    for (std::size_t t = 0; t + 1 < scanned.tokens.size(); ++t) {
        const std::string& next = scanned.tokens[t + 1];
        if (scanned.tokens[t] == "FOR" &&
            (next == "UPDATE" || next == "SHARE" || next == "NO" || next == "KEY"))
            refuseRecordSource(source, "it locks the rows it reads (FOR " + next + ")");
    }
    if (scanned.escapedName) refuseRecordSource(source, "it writes a name with U&\"...\" escapes");
    for (const auto& name : scanned.names) {
        for (const char* function : kEffectFunctions) {
            if (name == function)
                refuseRecordSource(source,
                                   "it calls " + name + ", whose effects a read-only session does not stop");
        }
    }
    return text.substr(0, std::min(scanned.statementEnd, text.size()));
}

std::optional<ServerName> parseServerName(std::string_view source) {
    std::string_view text = trimmedSource(source);
    std::size_t at = 0;
    auto first = namePart(text, at);
    if (!first) return std::nullopt;
    ServerName out;
    if (at < text.size() && text[at] == '.') {
        ++at;
        auto second = namePart(text, at);
        if (!second) return std::nullopt;
        out.schema = std::move(*first);
        out.name = std::move(*second);
    } else {
        out.name = std::move(*first);
    }
    if (at != text.size()) return std::nullopt;
    return out;
}

std::string quoteServerIdentifier(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

}  // namespace quorvel::engine
