// One PostgreSQL cluster for the whole program: started before the first
// test, stopped after the last (and by its watchdog if the program dies).
#include <gtest/gtest.h>

#include "support/pg_cluster.h"

namespace {

[[maybe_unused]] ::testing::Environment* const kCluster =
    ::testing::AddGlobalTestEnvironment(new quorvel::testing::PgClusterEnvironment);

}  // namespace
