#include <gtest/gtest.h>

#include "engine/data_engine.h"
#include "platform/failure.h"
#include "support/sqlite_files.h"
#include "support/temp_dir.h"

namespace quorvel::engine {
namespace {

using quorvel::testing::makeDatabase;
using quorvel::testing::TempDir;

TEST(DataControlSmoke, OpensATable) {
    TempDir dir;
    std::string file = dir.file("a.db");
    makeDatabase(file, "CREATE TABLE t(name TEXT); INSERT INTO t VALUES ('b'), ('a');");
    auto control = createDataControl();
    control->setDatabaseName(file);
    control->setRecordSource("t");
    control->refresh();
    auto rs = control->recordset();
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->recordCount(), 2);
    EXPECT_EQ(rs->fields().item(0).value(), Variant("b"));
    rs->findFirst("name >= \"A\"");
    EXPECT_EQ(rs->absolutePosition(), 0);
}

}  // namespace
}  // namespace quorvel::engine
