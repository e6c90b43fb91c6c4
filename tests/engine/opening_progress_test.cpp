// Long openings: the progress hook's counts, cancelling from it, and a
// refresh of the same data control from inside it.
#include <stdexcept>
#include <vector>

#include "engine_fixture.h"

namespace quorvel::engine::testing {
namespace {

// A million records sorted by an unindexed key: long enough for several of
// the hook's calls on any machine. The trailing open comment leaves no
// one-statement copy, so the same rows are copied one by one.
const std::string kSorted =
    "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 1000000) "
    "SELECT i AS id, (i * 7919) % 1000003 AS k FROM c ORDER BY k";
const std::string kSortedRowByRow = kSorted + " /* copied row by row";

class OpeningProgressTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        control->setDatabaseName(file);
    }
    // Opens `source` with `hook`; the failure's number (0 for none).
    std::int32_t openWith(const std::string& source, OpeningProgress hook) {
        EXPECT_TRUE(setOpeningProgress(*control, std::move(hook)));
        control->setRecordSource(source);
        return failureOf([&] { control->refresh(); });
    }
};

TEST_F(OpeningProgressTest, CountsGrowAndNeverPassTheRecordsOpened) {
    for (const auto& source : {kSorted, kSortedRowByRow}) {
        std::vector<std::int64_t> counts;
        ASSERT_EQ(openWith(source,
                           [&](std::int64_t n) {
                               counts.push_back(n);
                               return true;
                           }),
                  0);
        ASSERT_EQ(control->recordset()->recordCount(), 1000000) << source;
        ASSERT_FALSE(counts.empty()) << source;
        EXPECT_TRUE(std::is_sorted(counts.begin(), counts.end())) << source;
        EXPECT_LE(counts.back(), 1000000) << source;
    }
}

TEST_F(OpeningProgressTest, AHookThatSaysStopCancelsAndTheNextRefreshOpens) {
    for (const auto& source : {kSorted, kSortedRowByRow}) {
        int calls = 0;
        ASSERT_EQ(openWith(source, [&](std::int64_t) { return ++calls < 2; }),
                  failure_code::kOpeningCancelled);
        EXPECT_EQ(calls, 2) << "no call after the one that said stop";
        EXPECT_EQ(control->recordset(), nullptr);
        EXPECT_NE(descriptionOf([&] { control->refresh(); }).find("was cancelled after "), std::string::npos);
        ASSERT_EQ(openWith("people", [](std::int64_t) { return true; }), 0);
        EXPECT_EQ(control->recordset()->recordCount(), 9);
    }
    // What the hook throws comes out of the refresh as it was thrown.
    setOpeningProgress(*control, [](std::int64_t) -> bool { throw std::runtime_error("host failed"); });
    control->setRecordSource(kSorted);
    EXPECT_THROW(control->refresh(), std::runtime_error);
    EXPECT_EQ(control->recordset(), nullptr);
}

TEST_F(OpeningProgressTest, ARefreshFromInsideTheHookOpensTheNewSettingsInstead) {
    int calls = 0;
    bool nestedReturnedAtOnce = false;
    ASSERT_EQ(openWith(kSorted,
                       [&](std::int64_t) {
                           if (++calls == 1) {
                               control->setRecordSource("romans");
                               control->refresh();
                               nestedReturnedAtOnce = control->recordset() == nullptr;
                           }
                           return true;
                       }),
              0);
    EXPECT_TRUE(nestedReturnedAtOnce);
    EXPECT_EQ(calls, 1) << "the cancelled opening stops at once";
    ASSERT_NE(control->recordset(), nullptr);
    EXPECT_EQ(control->recordset()->recordCount(), 3);
    EXPECT_EQ(recorder.take(), "replaced|reposition|moved");
}

// A recordset set from inside the hook comes after the refresh that is
// running, so it is what the control ends with; the control listens to it
// alone, and lets go of it when it ends.
TEST_F(OpeningProgressTest, ARecordsetSetFromInsideTheHookWinsAndIsLetGoOf) {
    auto second = createDataControl();
    second->setDatabaseName(file);
    second->setRecordSource("romans");
    second->refresh();
    std::shared_ptr<Recordset> other = second->recordset();
    int calls = 0;
    ASSERT_EQ(openWith(kSorted,
                       [&](std::int64_t) {
                           if (++calls == 1) control->setRecordset(other);
                           return true;
                       }),
              0);
    EXPECT_EQ(calls, 1) << "the superseded opening stops at once";
    EXPECT_EQ(control->recordset(), other);
    EXPECT_EQ(recorder.take(), "replaced");
    other->moveNext();
    EXPECT_EQ(recorder.take(), "validate 3|reposition|moved");
    control.reset();
    other->moveNext();  // reaches no freed listener
    EXPECT_EQ(other->absolutePosition(), 2);
}

// A table read in place: big enough to reach the hook.
TEST_F(OpeningProgressTest, ATableOpeningReportsAndCancelsToo) {
    std::string big = dir.file("big.db");
    quorvel::testing::makeDatabase(big,
                                   "CREATE TABLE big(id INTEGER PRIMARY KEY, k INTEGER);"
                                   "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < "
                                   "3000000) INSERT INTO big SELECT i, i % 7 FROM c;");
    control->setDatabaseName(big);
    std::vector<std::int64_t> counts;
    ASSERT_EQ(openWith("big",
                       [&](std::int64_t n) {
                           counts.push_back(n);
                           return counts.size() < 2;
                       }),
              failure_code::kOpeningCancelled);
    EXPECT_TRUE(std::is_sorted(counts.begin(), counts.end()));
    EXPECT_LE(counts.back(), 3000000);
    ASSERT_EQ(openWith("big", nullptr), 0);
    EXPECT_EQ(control->recordset()->recordCount(), 3000000);
}

}  // namespace
}  // namespace quorvel::engine::testing
