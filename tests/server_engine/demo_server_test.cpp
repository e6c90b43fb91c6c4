// The demo's sample on a database server: loaded on the first use of the
// database, reused after, and a failure that never shows the password.
#include <gtest/gtest.h>

#include "support/pg_cluster.h"

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
        EXPECT_NE(std::string(e.what()).find("password authentication failed"), std::string::npos) << e.what();
        EXPECT_EQ(std::string(e.what()).find("wrong-pw"), std::string::npos) << e.what();
    }
#else
    GTEST_SKIP() << "the demo is not built";
#endif
}

}  // namespace
