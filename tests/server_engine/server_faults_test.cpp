// What only a list on a database server meets: connecting, the server's
// read-only session, the opening's time limit cancelled on the server, the
// server going away under an open list, the orders and types the server
// gives. Every check of the server's data is made by a separate connection.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/data_engine.h"
#include "engine/engine_fixture.h"
#include "engine/odbc_handle.h"
#include "support/pg_cluster.h"

namespace quorvel::engine::testing {
namespace {

using quorvel::testing::PgCluster;

constexpr const char* kServerSql = R"sql(
CREATE TABLE people(id INTEGER PRIMARY KEY, name VARCHAR(40));
INSERT INTO people VALUES (3, 'Verdi'), (1, 'Rossi'), (2, 'Bianchi');
CREATE TABLE tags(label TEXT, n INTEGER);
INSERT INTO tags VALUES ('b', 2), ('a', 9), ('b', 1), ('a', 1);
CREATE TABLE item_1(n INTEGER, label TEXT);
INSERT INTO item_1 VALUES (2, 'b'), (1, 'a');
CREATE TABLE "itemX1"(z INTEGER);
CREATE TABLE audit(n INTEGER);
CREATE SEQUENCE counter;
CREATE FUNCTION bump() RETURNS INTEGER LANGUAGE sql VOLATILE AS $$ INSERT INTO audit VALUES (1); SELECT 1 $$;
CREATE TABLE kinds(s SMALLINT, r REAL, d NUMERIC(10, 2), day DATE, t TIME, c CHAR(3), v VARCHAR, b BYTEA,
                   long TEXT);
INSERT INTO kinds VALUES (-2, 1.5, 12345678.91, '2026-12-07', '10:30:00', 'ab', 'x', '\x0102',
                          repeat('long text ', 20000));
)sql";

class ServerFaults : public ::testing::Test {
protected:
    void SetUp() override {
        if (!cluster().ready()) GTEST_SKIP() << cluster().problem();
        static bool loaded = false;
        if (!loaded) cluster().recreate("faults", kServerSql);
        loaded = true;
        control = createDataControl();
        control->setConnect(cluster().connect("faults"));
        events = control->setEvents(recorder);
    }

    static PgCluster& cluster() { return PgCluster::shared(); }

    Recordset& open(const std::string& source) {
        control->setRecordSource(source);
        control->refresh();
        recorder.take();
        return *control->recordset();
    }

    // The server's own view of the tables the list must never change.
    std::string serverState() {
        return cluster().psql("faults",
                              "SELECT (SELECT count(*) FROM people) || ' ' || (SELECT count(*) FROM audit) "
                              "|| ' ' || (SELECT last_value FROM counter);");
    }

    Recorder recorder;
    std::shared_ptr<DataControl> control;
    Subscription events;
};

TEST_F(ServerFaults, ConnectionFaultsFailWith3151AndTheDriversMessageAndNeverShowThePassword) {
    struct Case {
        const char* what;
        std::string connect;
        const char* message;  // part of the description
    };
    const Case cases[] = {
        {"server not running",
         "ODBC;DRIVER={QuorvelPostgreSQL};SERVER=/nonexistent;PORT=5432;UID=quorvel;PWD=abc;",
         "/nonexistent/.s.PGSQL.5432"},
        {"wrong password", cluster().connect("faults", "wrong;pw"), "password authentication failed"},
        {"unknown database", cluster().connect("nosuchdb"), "\"nosuchdb\" does not exist"},
        {"syntax error", "ODBC;DRIVER={QuorvelPostgreSQL;PWD=" + std::string(PgCluster::kPassword),
         "syntax error"},
        {"nothing after ODBC;", "ODBC;", "no connection string"},
        {"unknown driver", "ODBC;DRIVER={No Such Driver};PWD={x};", "No Such Driver"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        control->setConnect(c.connect);
        control->setRecordSource("people");
        std::string description = descriptionOf([&] { control->refresh(); });
        EXPECT_EQ(failureOf([&] { control->refresh(); }), 3151);
        EXPECT_NE(description.find(c.message), std::string::npos) << description;
        EXPECT_EQ(description.find("wrong;pw"), std::string::npos) << description;
        EXPECT_EQ(description.find(PgCluster::kPassword), std::string::npos) << description;
        EXPECT_EQ(description.find("abc"), std::string::npos) << description;
        EXPECT_EQ(control->recordset(), nullptr);
        EXPECT_EQ(control->connect(), c.connect) << "the setting keeps what was typed";
    }
    control->setConnect(cluster().connect("faults"));
    EXPECT_EQ(open("people").recordCount(), 3) << "the data control works again";
}

TEST_F(ServerFaults, TheServerStoppingUnderAnOpenListFailsTheNextFindAndARefreshAfterItsReturnWorks) {
    Recordset& rs = open("people");
    EXPECT_EQ(rs.valueAt(0, 1), Variant("Rossi"));
    cluster().stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));  // past the freshness interval
    EXPECT_EQ(rs.valueAt(1, 1), Variant("Bianchi"))
        << "a read of the local copy does not wait for the server";
    EXPECT_EQ(failureOf([&] { rs.findFirst("name = \"Verdi\""); }), 3146);
    EXPECT_EQ(failureOf([&] { rs.findFirst("name = \"Rossi\""); }), 3146)
        << "lost until the list opens again";
    EXPECT_EQ(recorder.take(), "error 3146|error 3146");
    EXPECT_EQ(failureOf([&] { control->refresh(); }), 3151);
    cluster().start();
    ASSERT_TRUE(cluster().ready());
    control->refresh();
    EXPECT_EQ(control->recordset()->valueAt(2, 1), Variant("Verdi"));
}

TEST_F(ServerFaults, AQueryPastTheOpeningsLimitsIsStoppedOnTheServer) {
    OpeningLimits limits;
    limits.milliseconds = 300;
    ASSERT_TRUE(setOpeningLimits(*control, limits));
    control->setRecordSource("SELECT pg_sleep(5), 'slow' AS tag");
    auto started = std::chrono::steady_clock::now();
    std::string description = descriptionOf([&] { control->refresh(); });
    auto took = std::chrono::steady_clock::now() - started;
    EXPECT_NE(description.find("took longer than 300 ms"), std::string::npos) << description;
    EXPECT_LT(took, std::chrono::seconds(2));
    EXPECT_EQ(cluster().psql("faults",
                             "SELECT count(*) FROM pg_stat_activity WHERE query LIKE '%pg_sleep(5)%' "
                             "AND pid <> pg_backend_pid();"),
              "0");

    limits = OpeningLimits{};
    limits.records = 1000;
    ASSERT_TRUE(setOpeningLimits(*control, limits));
    control->setRecordSource("SELECT g FROM generate_series(1, 5000) g");
    description = descriptionOf([&] { control->refresh(); });
    EXPECT_NE(description.find("gives more than 1000 records"), std::string::npos) << description;
    EXPECT_EQ(control->recordset(), nullptr);
}

TEST_F(ServerFaults, WhatCouldWriteIsRefusedByTheCheckOrByTheReadOnlySessionAndTheServerStaysAsItWas) {
    std::string before = serverState();
    const char* sources[] = {
        "SELECT bump()",                                               // the session refuses it
        "SELECT nextval('counter')",                                   // the session refuses it
        "WITH d AS (DELETE FROM people RETURNING *) SELECT * FROM d",  // the check refuses it
        "SELECT * INTO copied FROM people",                            // the check refuses it
        "SELECT 1; INSERT INTO audit VALUES (2)",                      // the check refuses it
        "SELECT * FROM people FOR UPDATE",                             // the check refuses it
        "SELECT $x$; DELETE FROM people; $x$",                         // quoted: one harmless query
        "SELECT 'a;b' /* ; DELETE */ AS t -- ; DELETE",                // likewise
    };
    for (const char* source : sources) {
        SCOPED_TRACE(source);
        std::int32_t number = failureOf([&] { open(source); });
        bool harmless = std::string_view(source).find("$x$") != std::string_view::npos ||
                        std::string_view(source).find("'a;b'") != std::string_view::npos;
        EXPECT_EQ(number, harmless ? 0 : failure_code::kReadOnly);
    }
    EXPECT_EQ(serverState(), before);
}

TEST_F(ServerFaults, BelowTheCheckTheListsSessionRefusesWritesAndReadsStringsAsTheCheckDoes) {
    // The database asks backslash escapes in plain string constants; the
    // list's session reads them as the check does.
    cluster().psql("faults", "ALTER DATABASE faults SET standard_conforming_strings = off;");
    std::string before = serverState();
    OdbcConnection server(listConnectionString(odbcConnectionString(cluster().connect("faults")), 100), 5);
    makeSessionReadOnly(server);
    const char* texts[] = {
        "INSERT INTO audit VALUES (2)",
        "SELECT 'x\\' , $$' ; COMMIT; BEGIN READ WRITE; INSERT INTO audit VALUES (3); COMMIT; --$$",
    };
    for (const char* text : texts) {
        OdbcStatement stmt(server);
        stmt.prepareAndExecute(text);
    }
    cluster().psql("faults", "ALTER DATABASE faults RESET standard_conforming_strings;");
    EXPECT_EQ(serverState(), before);
}

TEST_F(ServerFaults, TablesListInKeyOrderOrAStableOneAndValuesOfEveryTypeComeWhole) {
    auto column = [](Recordset& rs, std::int32_t field) {
        std::string out;
        for (std::int32_t i = 0; i < rs.recordCount(); ++i)
            out += (i ? "," : "") + rs.valueAt(i, field).debugString();
        return out;
    };
    EXPECT_EQ(column(open("people"), 1), "String \"Rossi\",String \"Bianchi\",String \"Verdi\"");
    EXPECT_EQ(column(open("public.TAGS"), 1), "Long 1,Long 9,Long 1,Long 2")
        << "no key: every column in order";
    EXPECT_EQ(column(open("item_1"), 1), "String \"a\",String \"b\"")
        << "'_' matches itself only, not itemX1";
    EXPECT_EQ(cluster().psql("faults", "SELECT count(*) FROM pg_stat_activity WHERE state LIKE 'idle in%';"),
              "0")
        << "the open list holds no transaction (nor its locks) on the server";

    Recordset& kinds = open("kinds");
    std::string types;
    for (std::int16_t f = 0; f < kinds.fields().count(); ++f)
        types += std::to_string(kinds.fields().item(f).type()) + " ";
    EXPECT_EQ(types, "3 6 20 8 22 10 10 11 12 ");
    std::string values;
    for (std::int16_t f = 0; f < 8; ++f) values += kinds.valueAt(0, f).debugString() + " ";
    EXPECT_EQ(values,
              "Integer -2 Double 1.5 Double 12345678.91 Date 46363 Date 0.4375 String \"ab \" String \"x\" "
              "String \"\x01\x02\" ");
    EXPECT_EQ(kinds.valueAt(0, 8).asString().size(), 200000u) << "a value longer than the block's buffer";

    Recordset& many = open(
        "SELECT g, CASE WHEN g = 100 THEN repeat('x', 50000) ELSE 'n' || g END AS t "
        "FROM generate_series(1, 3000) g");
    EXPECT_EQ(many.recordCount(), 3000);
    std::string sample;
    for (std::int32_t p : {0, 63, 64, 98, 100, 2999}) sample += many.valueAt(p, 1).asString() + " ";
    EXPECT_EQ(sample, "n1 n64 n65 n99 n101 n3000 ");
    EXPECT_EQ(many.valueAt(99, 1).asString(), std::string(50000, 'x'));

    control->setConnect("ODBC;DSN=QuorvelList;UID=quorvel;PWD={" + std::string(PgCluster::kPassword) + "}");
    control->setDatabaseName("faults");
    EXPECT_EQ(open("people").recordCount(), 3) << "a data source name, its database from DatabaseName";
}

}  // namespace
}  // namespace quorvel::engine::testing
