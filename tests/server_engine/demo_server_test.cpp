// The demo's sample on a database server: loaded on the first use of the
// database, reused after, and a failure that never shows the password.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "support/pg_cluster.h"
#include "support/temp_dir.h"

#ifdef QUORVEL_DEMO_CORE
#include "server_database.h"
#endif

namespace {

using quorvel::testing::PgCluster;

TEST(DemoOnAServer, LoadsTheSampleOnFirstUseAndReusesItAfter) {
#ifdef QUORVEL_DEMO_CORE
    PgCluster& cluster = PgCluster::shared();
    if (!cluster.ready()) GTEST_SKIP() << cluster.problem();
    cluster.recreate("demo", "SELECT 1;");
    auto first = quorvel::demo::loadSampleOnServer(cluster.connect("demo"), 2500);
    auto again = quorvel::demo::loadSampleOnServer(cluster.connect("demo"), 2500);
    EXPECT_TRUE(first.made);
    EXPECT_FALSE(again.made);
    EXPECT_EQ(again.customers, 2500);
    EXPECT_EQ(cluster.psql("demo", "SELECT count(*), count(DISTINCT code), min(code) FROM customers;"),
              "2500|2500|C000001");
    try {
        quorvel::demo::loadSampleOnServer(cluster.connect("demo", "wrong-pw"), 10);
        ADD_FAILURE() << "a wrong password loads nothing";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("password authentication failed"), std::string::npos)
            << e.what();
        EXPECT_EQ(std::string(e.what()).find("wrong-pw"), std::string::npos) << e.what();
    }
#else
    GTEST_SKIP() << "the demo is not built";
#endif
}

TEST(DemoOnAServer, ASessionOnTheServerLeavesTheFormFileOnItsOwnDatabaseAndWithoutThePassword) {
#ifdef QUORVEL_DEMO_PROGRAM
    PgCluster& cluster = PgCluster::shared();
    if (!cluster.ready()) GTEST_SKIP() << cluster.problem();
    cluster.recreate("demoform", "SELECT 1;");
    quorvel::testing::TempDir dir;
    auto run = [&](const std::string& extra) {
        std::string command = std::string("QT_QPA_PLATFORM=offscreen '") + QUORVEL_DEMO_PROGRAM +
                              "' --offscreen --data '" + dir.path().string() + "' " + extra +
                              " >/dev/null 2>&1";
        int rc = std::system(command.c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    };
    auto form = [&] {
        std::ifstream in(dir.path() / "demo-form.json");
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    };
    // The scripted session's own outcome is the demo's tests'; the form file
    // is saved whatever it was.
    run("--connect \"" + cluster.connect("demoform") + "\"");
    std::string saved = form();
    EXPECT_NE(saved.find("Customers"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("ODBC;"), std::string::npos) << saved;
    EXPECT_EQ(saved.find(PgCluster::kPassword), std::string::npos) << saved;
    run("");
    EXPECT_EQ(form().find("ODBC;"), std::string::npos) << "the next run opens the file again";
#else
    GTEST_SKIP() << "the demo program is not built";
#endif
}

}  // namespace
