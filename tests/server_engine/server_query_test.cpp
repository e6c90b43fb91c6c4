// The check of a record source before the server sees it, read as the
// server's lexer reads SQL: what passes and what is refused (no server
// needed).
#include <gtest/gtest.h>

#include "engine/engine_fixture.h"
#include "engine/odbc_handle.h"
#include "engine/server_query.h"

namespace quorvel::engine::testing {
namespace {

TEST(ServerQueryCheck, PassesOneQueryAndRefusesWhatCouldWriteWhereverTheLexerSeesIt) {
    struct Case {
        const char* source;
        bool passes;
    };
    const Case cases[] = {
        {"SELECT * FROM t", true},
        {"  select a from t ;  ", true},
        {"(SELECT 1)", true},
        {"WITH r AS (SELECT 1) SELECT * FROM r", true},
        {"VALUES (1)", true},
        {"/* a /* nested */ comment */ SELECT 1 -- DELETE", true},
        {"SELECT 'DELETE; DROP TABLE t' AS x", true},
        {"SELECT E'it\\'s; DELETE' AS x", true},
        {"SELECT \"update\" FROM t", true},
        {"SELECT $$ INSERT; $$, $tag$ ; DROP $tag$", true},
        {"SELECT $1", true},
        {"DELETE FROM t", false},
        {"SELECT 1; SELECT 2", false},
        {"SELECT 1;; ", true},  // trailing semicolons end the one statement
        {"WITH d AS (DELETE FROM t RETURNING *) SELECT * FROM d", false},
        {"WITH u AS (UPDATE t SET a = 1 RETURNING *) SELECT * FROM u", false},
        {"SELECT * INTO copy FROM t", false},
        {"SELECT * FROM t FOR UPDATE", false},
        {"SELECT 'open", false},
        {"SELECT 1 /* open", false},
        {"SELECT $x$ open", false},
        {"SELECT E'\\' ; DELETE FROM t", false},
        {"COPY t TO STDOUT", false},
        {"CALL p()", false},
        {"", false},
        {"-- only a comment", false},
        // A backslash in a plain constant moves its end with the session's
        // standard_conforming_strings.
        {"SELECT 'x\\' , $$' ; COMMIT; DELETE FROM t; --$$", false},
        {"SELECT 'a\\b' AS path", false},
        {"SELECT E'a\\\\b', 'it''s' AS x", true},
        // Row locks and functions whose effects a read-only session keeps.
        {"SELECT * FROM t FOR SHARE", false},
        {"SELECT * FROM t FOR KEY SHARE", false},
        {"SELECT * FROM t FOR NO KEY UPDATE", false},
        {"SELECT substring(a FROM 1 FOR 2) AS share, \"key\" FROM t", true},
        {"SELECT pg_advisory_lock(1)", false},
        {"SELECT \"pg_notify\"('c', 'x')", false},
        {"SELECT pg_catalog.set_config('a.b', 'c', false)", false},
        {"SELECT PG_Terminate_Backend(1)", false},
        {"SELECT lo_export(1, '/tmp/x')", false},
        {"SELECT dblink_exec('x', 'DELETE FROM t')", false},
        {"SELECT U&\"pg\\005fnotify\"('c', 'x')", false},
        {"SELECT pg_sleep(0), 'pg_notify' AS name", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        EXPECT_EQ(failureOf([&] { checkServerQuery(c.source); }), c.passes ? 0 : failure_code::kReadOnly);
    }
}

TEST(ServerQueryCheck, NamesAreBareQuotedOrBracketedWithAnOptionalSchema) {
    struct Case {
        const char* source;
        const char* parsed;  // "schema|name", "" for not a name
    };
    const Case cases[] = {
        {"people", "|people"},
        {"public.people", "public|people"},
        {"\"My \"\"odd\"\" table\"", "|My \"odd\" table"},
        {"[Order Details]", "|Order Details"},
        {"s.\"T\"", "s|T"},
        {"people x", ""},
        {"a.b.c", ""},
        {"\"open", ""},
        {"1abc", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        auto name = parseServerName(c.source);
        EXPECT_EQ(name ? name->schema + "|" + name->name : "", c.parsed);
    }
}

TEST(ServerConnectionText, MessagesNeverShowTheSecretWhateverItsKeyOrTheTextsSyntax) {
    struct Case {
        const char* connection;
        const char* described;  // what a connecting message quotes
    };
    const Case cases[] = {
        {"DRIVER={PG};SERVER=h;PORT=5;UID=u;PWD=secret;", "DRIVER=PG;SERVER=h;PORT=5;UID=u;"},
        {"DSN=d;pqopt={password=secret sslmode=require};Database=x", "DSN=d;Database=x;"},
        {"DSN=d;SSLPassword=secret;Password = {se;cret}", "DSN=d;"},
        {"DSN=d;PWD\t=secret;{bad", "a connection string that does not parse"},
        {"DRIVER={PG;PWD=secret", "a connection string that does not parse"},
        {"DSN=d;\tpassword\n=secret;x", "a connection string that does not parse"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.connection);
        EXPECT_EQ(describeConnection(c.connection), c.described);
        std::string masked = maskPasswords(c.connection);
        EXPECT_EQ(masked.find("secret"), std::string::npos) << masked;
        EXPECT_EQ(masked.find("cret"), std::string::npos) << masked;
    }
    // What the list connects with: statements always prepared on the server,
    // the string's own fetching kept.
    EXPECT_EQ(
        listConnectionString("DSN=d;UseServerSidePrepare=0;PWD={a;b}", 50),
        "DSN=d;PWD={a;b};UseServerSidePrepare=1;pqopt={tcp_user_timeout=10000};UseDeclareFetch=1;Fetch=50;");
    EXPECT_EQ(listConnectionString("DSN=d;Fetch=9;pqopt={sslmode=require}", 50),
              "DSN=d;Fetch=9;pqopt={sslmode=require};UseServerSidePrepare=1;");
}

}  // namespace
}  // namespace quorvel::engine::testing
