// A large table's positions read in the background: the recordset opens
// with the first ones and answers every question as a recordset that read
// them all at the opening does.
#include <sqlite3.h>

#include <chrono>
#include <future>
#include <thread>

#include "engine/recordset.h"
#include "engine_fixture.h"

namespace quorvel::engine::testing {
namespace {

// Rowids 1000 to 30999 with every seventh lost: 25,714 records.
constexpr std::int32_t kRecords = 30000 - (30999 / 7 - 999 / 7);

class BackgroundPositions : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        big = dir.file("big.db");
        quorvel::testing::makeDatabase(big,
                                       "CREATE TABLE items (id INTEGER PRIMARY KEY, name TEXT);"
                                       "WITH RECURSIVE n(i) AS (SELECT 1000 UNION ALL SELECT i + 1 FROM n "
                                       "WHERE i < 30999) INSERT INTO items SELECT i, printf('Item %05d', i) "
                                       "FROM n; DELETE FROM items WHERE id % 7 = 0;");
    }
    std::shared_ptr<SqliteRecordset> openItems(bool background, std::function<void()> beforeSlice = {}) {
        OpenSettings settings;
        settings.databaseName = big;
        settings.recordSource = "items";
        settings.backgroundPositions = background;
        settings.beforePositionSlice = std::move(beforeSlice);
        return SqliteRecordset::open(settings);
    }

    static std::int32_t found(SqliteRecordset& rs, const std::string& criteria) {
        rs.findFirst(criteria);
        return rs.noMatch() ? -1 : rs.absolutePosition();
    }

    std::string big;
};

TEST_F(BackgroundPositions, TheRecordsetAnswersAsOneThatReadEveryPositionAtTheOpening) {
    auto whole = openItems(false);
    ASSERT_EQ(whole->recordCount(), kRecords);
    ASSERT_FALSE(whole->stillReading());

    // The loader waits before its first slice until the test lets it go
    // (or ten seconds pass, so that a fault cannot hang the suite).
    std::promise<void> go;
    std::shared_future<void> released = go.get_future().share();
    auto growing = openItems(true, [released] { released.wait_for(std::chrono::seconds(10)); });
    EXPECT_EQ(growing->recordCount(), 1024) << "the opening reads the first positions only";
    EXPECT_TRUE(growing->stillReading());
    EXPECT_EQ(growing->valueAt(1023, 1), whole->valueAt(1023, 1));
    EXPECT_EQ(found(*growing, "name = \"Item 01100\""), found(*whole, "name = \"Item 01100\""))
        << "a match among the known positions needs no more";
    go.set_value();

    // A find past them, a move past them and MoveLast wait for the loader.
    EXPECT_EQ(found(*growing, "name = \"Item 30998\""), found(*whole, "name = \"Item 30998\""));
    EXPECT_EQ(found(*growing, "name = \"Item 30996\""), -1) << "a lost record is not found";
    growing->setAbsolutePosition(20000);
    EXPECT_EQ(growing->valueAt(20000, 0), whole->valueAt(20000, 0));
    growing->moveLast();
    EXPECT_EQ(growing->recordCount(), kRecords);
    EXPECT_EQ(growing->absolutePosition(), kRecords - 1);
    EXPECT_FALSE(growing->stillReading());
    for (std::int32_t p = 0; p < kRecords; p += 997)
        EXPECT_EQ(growing->valueAt(p, 0), whole->valueAt(p, 0)) << p;
    EXPECT_EQ(growing->valueAt(kRecords - 1, 1), Variant("Item 30999"));

    // With every position in, the finds have an index again.
    growing->waitForIndexes();
    EXPECT_EQ(found(*growing, "name >= \"Item 2\""), found(*whole, "name >= \"Item 2\""));
    EXPECT_GT(growing->memoryBytes(), 0u);
}

TEST_F(BackgroundPositions, AFaultThatStopsTheLoaderIsMetByEveryQuestionPastIt) {
    int slices = 0;
    auto rs = openItems(true, [&slices] {
        if (++slices == 2) throw Failure(3057, "The database file needs recovery.");
    });
    while (rs->stillReading()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const std::int32_t read = rs->recordCount();
    EXPECT_EQ(read, 1024 + 8192) << "the opening's positions and the first slice";
    for (int twice = 0; twice < 2; ++twice) {
        EXPECT_EQ(failureOf([&] { rs->moveLast(); }), 3057);
        EXPECT_EQ(failureOf([&] { rs->findFirst("name = \"Item 30998\""); }), 3057);
        EXPECT_EQ(failureOf([&] { rs->setAbsolutePosition(read); }), 3057);
    }
    EXPECT_EQ(found(*rs, "name = \"Item 01100\""), 85) << "what was read still answers";
}

TEST_F(BackgroundPositions, AFindWaitingForTheLoaderHoldsNoLockAWriterWaitsFor) {
    std::promise<void> go;
    std::shared_future<void> released = go.get_future().share();
    auto rs = openItems(true, [released] { released.wait_for(std::chrono::seconds(10)); });
    // The application commits while the find waits for positions; then the
    // loader goes on.
    int committed = -1;
    std::thread application([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        sqlite3* db = nullptr;
        sqlite3_open(big.c_str(), &db);
        sqlite3_busy_timeout(db, 5000);
        committed = sqlite3_exec(db, "BEGIN IMMEDIATE; INSERT INTO items VALUES (50000, 'Late'); COMMIT",
                                 nullptr, nullptr, nullptr);
        sqlite3_close(db);
        go.set_value();
    });
    EXPECT_EQ(found(*rs, "name = \"Nobody\""), -1);
    application.join();
    EXPECT_EQ(committed, SQLITE_OK);
    EXPECT_EQ(found(*rs, "name = \"Late\""), -1) << "added above the rowids the opening saw";
}

TEST_F(BackgroundPositions, ClosingWhileTheLoaderReadsStopsIt) {
    for (int i = 0; i < 20; ++i) {
        auto rs = openItems(true);
        if (i % 2 == 1) rs->valueAt(0, 1);
        rs.reset();  // joins the loader, wherever it is
    }
    auto small = openItems(true);
    small->moveLast();
    EXPECT_EQ(small->recordCount(), kRecords);
}

}  // namespace
}  // namespace quorvel::engine::testing
