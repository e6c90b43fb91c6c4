// The runner's example of a list on a database server, run by the built
// program against the private cluster: its whole output is the stored trace,
// with <cluster> for the cluster's folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/pg_cluster.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using quorvel::testing::PgCluster;

constexpr const char* kShopSql = R"sql(
CREATE TABLE customers(code VARCHAR(8) PRIMARY KEY, name VARCHAR(40), city VARCHAR(30), balance NUMERIC(10, 2));
INSERT INTO customers VALUES ('C001', 'Amato Lucia', 'Napoli', 120.5), ('C002', 'Bianchi Marco', 'Milano', -30),
 ('C003', 'Colombo Anna', 'Torino', 0), ('C004', 'Romano Paolo', 'Roma', 42.25),
 ('C005', 'Rossi Giulia', 'Roma', 1000), ('C006', 'Russo Luca', 'Bari', 7.75);
)sql";

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(ServerRunnerExample, GivesItsStoredTrace) {
#if defined(QUORVEL_RUN_PROGRAM) && defined(QUORVEL_EXAMPLES_DIR)
    PgCluster& cluster = PgCluster::shared();
    if (!cluster.ready()) GTEST_SKIP() << cluster.problem();
    cluster.recreate("shop", kShopSql);
    fs::path script = fs::path(QUORVEL_EXAMPLES_DIR) / "server" / "list-on-a-server.qrun";
    fs::path expected = fs::path(script).replace_extension(".trace");
    quorvel::testing::TempDir dir;
    std::string command = "cd '" + dir.path().string() + "' && '" + QUORVEL_RUN_PROGRAM + "' '" +
                          script.string() + "' > out.txt 2> err.txt";
    EXPECT_EQ(std::system(command.c_str()), 0);
    std::string out = readFile(dir.path() / "out.txt");
    for (std::size_t at; (at = out.find(cluster.folder())) != std::string::npos;)
        out.replace(at, cluster.folder().size(), "<cluster>");
    EXPECT_EQ(readFile(dir.path() / "err.txt"), "");
    EXPECT_EQ(out, readFile(expected));
    EXPECT_EQ(cluster.psql("shop", "SELECT count(*) FROM customers;"), "6");
#else
    GTEST_SKIP() << "the form runner is not built";
#endif
}

}  // namespace
