// A private PostgreSQL cluster for the tests of lists on a database server:
// made in a temporary folder (initdb as an unprivileged user: the
// `postgres` system user when the tests run as root), listening only on a
// Unix socket in that folder, with the ODBC driver registered in an
// odbcinst.ini of its own (ODBCSYSINI points there). Nothing outside the
// folder changes. A watchdog process stops the server and removes the
// folder when the test program ends, however it ends.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <sys/types.h>

namespace quorvel::testing {

class PgCluster {
public:
    static constexpr const char* kUser = "quorvel";
    static constexpr const char* kPassword = "Pw;s3cret-9";
    static constexpr const char* kDriver = "QuorvelPostgreSQL";

    // The cluster of this test program, started at the first call.
    static PgCluster& shared();

    // False when the server's programs or the ODBC driver are missing (see
    // problem()) or the server did not start.
    bool ready() const { return ready_; }
    const std::string& problem() const { return problem_; }
    const std::string& folder() const { return folder_; }

    // "ODBC;DRIVER={QuorvelPostgreSQL};SERVER=<folder>;PORT=...;UID=quorvel;PWD={...};"
    // with DATABASE= when one is given.
    std::string connect(const std::string& database = "", const std::string& password = kPassword) const;

    // Runs the SQL through psql as the superuser on the database; returns
    // its output (tuples only, unaligned, '|' between fields). A failure
    // fails the calling test.
    std::string psql(const std::string& database, const std::string& sql) const;
    // Creates the database afresh from the statements.
    void recreate(const std::string& database, const std::string& sql) const;

    // Stops the server (fast shutdown) or starts it again on the same folder.
    void stop();
    void start();

    // Stops the server and removes the folder (the watchdog's work, done now).
    void shutdown();

    PgCluster(const PgCluster&) = delete;
    PgCluster& operator=(const PgCluster&) = delete;

private:
    PgCluster();
    ~PgCluster() = default;
    void create();
    // Runs a shell command as the cluster's owner; its exit status.
    int asOwner(const std::string& command) const;

    bool ready_ = false;
    std::string problem_;
    std::string bin_;     // the server's programs
    std::string folder_;  // the temporary folder: data/, the socket, the ini files
    int watchdogPipe_ = -1;
    pid_t watchdog_ = -1;
    bool root_ = false;
};

// Starts the shared cluster before the program's first test and stops it
// after the last: add with ::testing::AddGlobalTestEnvironment.
class PgClusterEnvironment : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace quorvel::testing
