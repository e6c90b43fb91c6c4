// What a find costs and answers while other connections write to the
// list's file: no system call when nothing changed, and after a commit a
// record that satisfies the criteria as the file is then, never an older
// one's, whether the index in use is fresh, stale or still on its way.
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "engine/recordset.h"
#include "engine/text_fold.h"
#include "engine_fixture.h"

namespace quorvel::engine::testing {
namespace {

// The read system calls this thread has made so far (the reading of the
// counter itself costs the same each time).
std::int64_t readCalls() {
    std::ifstream io("/proc/thread-self/io");
    std::string key;
    std::int64_t value = 0;
    while (io >> key >> value) {
        if (key == "syscr:") return value;
    }
    return -1;
}

class Freshness : public EngineTest {
protected:
    void TearDown() override {}  // the file changes on purpose

    std::shared_ptr<SqliteRecordset> openPeople(std::int64_t freshness, std::function<void()> hold = {}) {
        OpenSettings settings;
        settings.databaseName = file;
        settings.recordSource = "people";
        settings.freshnessMilliseconds = freshness;
        settings.beforeBackgroundBuild = std::move(hold);
        return SqliteRecordset::open(settings);
    }

    std::int32_t find(SqliteRecordset& rs, const std::string& criteria) {
        rs.findFirst(criteria);
        return rs.noMatch() ? -1 : rs.absolutePosition();
    }

    // Another program's write, through a connection of its own.
    void write(const std::string& sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        sqlite3_busy_timeout(db, 2000);
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
        sqlite3_close(db);
    }

    // The names by position as the file holds them now (ids 1..9 are
    // positions 0..8; a deleted one reads as none).
    std::vector<std::optional<std::string>> namesNow() {
        std::vector<std::optional<std::string>> names(9);
        sqlite3* db = nullptr;
        sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, "SELECT id, name FROM people WHERE id BETWEEN 1 AND 9 AND name IS NOT NULL",
                           -1, &stmt, nullptr);
        while (sqlite3_step(stmt) == SQLITE_ROW)
            names[static_cast<std::size_t>(sqlite3_column_int(stmt, 0) - 1)] =
                reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1));
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        return names;
    }
};

TEST_F(Freshness, AWarmFindMakesNoSystemCallAndALookAtTheFileRunsOncePerInterval) {
    auto rs = openPeople(150);
    rs->waitForIndexes();  // the name index, built by the worker (rollback-journal file)
    find(*rs, "name >= \"R\"");
    std::int64_t overhead = readCalls();
    overhead = readCalls() - overhead;
    std::int64_t before = readCalls();
    for (int i = 0; i < 200; ++i) find(*rs, i % 2 ? "name >= \"R\"" : "name = \"bianchi\"");
    EXPECT_EQ(readCalls() - before - overhead, 0) << "finds within the interval read nothing";

    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    before = readCalls();
    find(*rs, "name >= \"R\"");
    std::int64_t first = readCalls() - before - overhead;
    before = readCalls();
    for (int i = 0; i < 200; ++i) find(*rs, "name >= \"R\"");
    EXPECT_GT(first, 0) << "the interval passed: one look at the file";
    EXPECT_EQ(readCalls() - before - overhead, 0) << "and no other";

    auto everyTime = openPeople(0);  // what each find cost before
    find(*everyTime, "name >= \"R\"");
    before = readCalls();
    for (int i = 0; i < 10; ++i) find(*everyTime, "name >= \"R\"");
    EXPECT_GE(readCalls() - before - overhead, 10);
    EXPECT_EQ(rs->changesSeen(), 0u) << "looking changes nothing";
}

// Commits to the list's table and to another one between finds, in both
// journal modes; each find's record is checked against the file as it is
// at the find, and once the fresh index is in, the answer is the first.
TEST_F(Freshness, FindsBetweenCommitsAnswerRecordsThatSatisfyTheCriteriaNow) {
    struct Step {
        const char* write;
        const char* criteria;
        const char* value;  // the folded text the criteria compares
        bool atOrAfter;
    };
    const Step steps[] = {
        {"UPDATE people SET name = 'Aaron' WHERE id = 2", "name >= \"R\"", "r",
         true},  // the candidate changed
        {"CREATE TABLE other(x); INSERT INTO other VALUES (1)", "name = \"ross\"", "ross", false},
        {"UPDATE people SET name = 'Rita' WHERE id = 1", "name >= \"R\"", "r",
         true},  // an earlier record matches
        {"DELETE FROM people WHERE id = 8", "name = \"ross\"", "ross", false},
        {"INSERT INTO other VALUES (2)", "name = \"rosa\"", "rosa", false},
        {"UPDATE people SET name = 'Ross' WHERE id = 3", "name = \"ross\"", "ross", false},
    };
    for (const char* mode : {"DELETE", "WAL"}) {
        SCOPED_TRACE(mode);
        std::remove(file.c_str());
        quorvel::testing::makeDatabase(file, std::string("PRAGMA journal_mode = ") + mode + ";" + kPeopleSql);
        // The worker waits for the test where a build should be slower than
        // the finds that follow a commit: the stale index answers them.
        std::mutex gate;
        auto rs = openPeople(0, [&] { std::lock_guard lock(gate); });
        find(*rs, "name >= \"R\"");
        rs->waitForIndexes();
        for (const Step& step : steps) {
            SCOPED_TRACE(step.write);
            std::unique_lock held(gate);
            write(step.write);
            auto names = namesNow();
            auto satisfies = [&](std::int32_t p) {
                if (p < 0 || !names[static_cast<std::size_t>(p)]) return false;
                std::string key = folded(*names[static_cast<std::size_t>(p)]);
                return step.atOrAfter ? key >= step.value : key == step.value;
            };
            std::int32_t first = -1;
            for (std::int32_t p = 0; p < 9 && first < 0; ++p) {
                if (satisfies(p)) first = p;
            }
            std::int32_t answer = find(*rs, step.criteria);
            EXPECT_TRUE(answer < 0 || satisfies(answer)) << "found " << answer;
            held.unlock();
            rs->waitForIndexes();
            EXPECT_EQ(find(*rs, step.criteria), first) << "with the fresh index";
        }
        EXPECT_EQ(rs->changesSeen(), std::size(steps));
    }
}

TEST_F(Freshness, AListHasItsSearchIndexReadyAfterOpeningAndAfterReopeningInBothJournalModes) {
    for (const char* mode : {"DELETE", "WAL"}) {
        SCOPED_TRACE(mode);
        std::remove(file.c_str());
        quorvel::testing::makeDatabase(file, std::string("PRAGMA journal_mode = ") + mode + ";" + kPeopleSql);
        std::atomic<int> builds{0};
        auto rs = openPeople(50, [&] { ++builds; });
        rs->waitForIndexes();
        EXPECT_EQ(builds.load(), 1) << "the first text field, at the opening";
        EXPECT_EQ(find(*rs, "name = \"rossi\""), 1);
        EXPECT_EQ(find(*rs, "city = \"milano\""), 2) << "a field without an index answers from the records";
        rs->waitForIndexes();
        rs->reopen();
        rs->waitForIndexes();
        EXPECT_EQ(builds.load(), 4) << "name, then city at its first find, then both at the reopening";
        EXPECT_EQ(find(*rs, "city = \"napoli\""), 8);
    }
}

// A statement's records are a copy only the list's connection sees: the
// keys of its first text field are read right after the copy and folded and
// sorted on the worker, so no find builds that index; a field searched
// later has its keys read at that find and answers from the records until
// its index is in.
TEST_F(Freshness, AStatementsListHasItsSearchIndexBuiltOffTheFindsPath) {
    auto openCopy = [&](bool background) {
        OpenSettings settings;
        settings.databaseName = file;
        settings.recordSource = "SELECT id, name, city FROM people ORDER BY city, id";
        settings.backgroundIndexes = background;
        return SqliteRecordset::open(settings);
    };
    auto rs = openCopy(true);
    auto without = openCopy(false);
    rs->waitForIndexes();
    std::size_t opened = rs->memoryBytes();
    EXPECT_GT(opened, without->memoryBytes()) << "the name index, with no find yet";
    // Ids in the copy's order: 6 (Null city), 5 Berlin, 7 Lyon, 3 Milano,
    // 9 Napoli, 4 Paris, 1 2 8 Roma.
    const std::pair<const char*, std::int32_t> cases[] = {
        {"name = \"rossi\"", 7}, {"name >= \"s\"", 1},     {"city = \"roma\"", 6},
        {"city >= \"o\"", 5},    {"city Like \"*n*\"", 1}, {"id = 6", 0},
    };
    for (auto& [criteria, position] : cases) {
        EXPECT_EQ(find(*rs, criteria), position) << criteria;
        EXPECT_EQ(find(*without, criteria), position) << criteria;
    }
    rs->waitForIndexes();
    EXPECT_GT(rs->memoryBytes(), opened) << "the city and id indexes, from the worker";
    for (auto& [criteria, position] : cases) EXPECT_EQ(find(*rs, criteria), position) << criteria;
}

// A build that fails (here the hook throws; a damaged page or a lock held
// too long in use) leaves the finds answering from the records, and is
// tried again after the next change, not at every find.
TEST_F(Freshness, AFailedBuildIsTriedAgainOnlyAfterAChange) {
    std::atomic<int> builds{0};
    auto rs = openPeople(0, [&] {
        ++builds;
        throw Failure(failure_code::kLocked, "held");
    });
    for (int i = 0; i < 5; ++i) {
        rs->waitForIndexes();
        EXPECT_EQ(find(*rs, "name = \"ross\""), 7);
    }
    rs->waitForIndexes();
    EXPECT_EQ(builds.load(), 1);
    write("UPDATE people SET name = 'Rossa' WHERE id = 6");
    EXPECT_EQ(find(*rs, "name = \"ross\""), 7);
    rs->waitForIndexes();
    EXPECT_EQ(find(*rs, "name = \"rossa\""), 5);
    rs->waitForIndexes();
    EXPECT_EQ(builds.load(), 2);
}

// In a WAL file a commit that writes none of the list's table's pages
// keeps its indexes: the worker reads the log's frame headers and builds
// nothing. A commit to the table, or to the schema, builds them again, and
// a rollback-journal file, which keeps no such record, always does. After
// each commit, once the worker is done, the index answers the first match.
TEST_F(Freshness, ACommitToAnotherTableOfAWalFileKeepsTheIndexes) {
    struct Step {
        const char* write;
        bool rebuildsInWal;
    };
    const Step steps[] = {
        {"INSERT INTO other VALUES (1)", false},
        {"UPDATE people SET name = 'Rossini' WHERE id = 8", true},
        {"INSERT INTO other SELECT x + 1 FROM other", false},
        {"UPDATE people SET name = 'Ross' WHERE id = 2", true},
        {"DELETE FROM other", false},
        {"CREATE INDEX other_x ON other(x)", true},
        {"INSERT INTO other VALUES (randomblob(3000))", false},  // pages of its own
        {"DELETE FROM people WHERE id = 2", true},
    };
    for (const char* mode : {"WAL", "DELETE"}) {
        SCOPED_TRACE(mode);
        std::remove(file.c_str());
        quorvel::testing::makeDatabase(
            file, std::string("PRAGMA journal_mode = ") + mode + ";" + kPeopleSql + "CREATE TABLE other(x);");
        // The application keeps its connection, and so the log, open. (The
        // first commit after a log was emptied restarts it, and that
        // commit's frames cannot be told from older ones: it builds again.)
        sqlite3* app = nullptr;
        ASSERT_EQ(sqlite3_open(file.c_str(), &app), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(app, "INSERT INTO other VALUES (0)", nullptr, nullptr, nullptr), SQLITE_OK);
        std::atomic<int> builds{0};
        auto rs = openPeople(0, [&] { ++builds; });
        rs->waitForIndexes();
        int expected = 1;
        for (const Step& step : steps) {
            SCOPED_TRACE(step.write);
            write(step.write);
            auto names = namesNow();
            std::int32_t first = -1;
            for (std::int32_t p = 0; p < 9 && first < 0; ++p) {
                if (names[static_cast<std::size_t>(p)] &&
                    folded(*names[static_cast<std::size_t>(p)]) == "ross")
                    first = p;
            }
            find(*rs, "name = \"ross\"");  // sees the commit
            rs->waitForIndexes();
            expected += step.rebuildsInWal || std::string(mode) == "DELETE" ? 1 : 0;
            EXPECT_EQ(builds.load(), expected);
            EXPECT_EQ(find(*rs, "name = \"ross\""), first);
        }
        EXPECT_EQ(rs->changesSeen(), std::size(steps));
        rs.reset();
        sqlite3_close(app);
    }
}

// A find waiting for an index goes before a build that is only ahead of
// need: the opening's build of the name index is stopped for the city's,
// and runs again after it.
TEST_F(Freshness, AFindsIndexGoesBeforeOneBuiltAheadOfNeed) {
    std::mutex gate;
    std::unique_lock held(gate);
    std::atomic<int> builds{0};
    auto rs = openPeople(50, [&] {
        if (++builds == 1) std::lock_guard wait(gate);
    });
    while (builds.load() == 0) std::this_thread::yield();
    EXPECT_EQ(find(*rs, "city = \"napoli\""), 8);
    held.unlock();
    rs->waitForIndexes();
    EXPECT_EQ(builds.load(), 3) << "name (stopped), city, name";
    EXPECT_EQ(find(*rs, "city = \"milano\""), 2);
    EXPECT_EQ(find(*rs, "name = \"rosa\""), 5);
}

// A writer commits again and again while the worker reads a larger table in
// its slices: every commit goes through (waiting at most a slice), and every
// find between them answers a record that satisfies its criteria in the
// file as it is at the find.
TEST_F(Freshness, CommitsDuringABuildGoThroughAndEveryFindAnswersARecordThatSatisfiesItsCriteria) {
    constexpr int kRows = 60000;
    for (const char* mode : {"DELETE", "WAL"}) {
        SCOPED_TRACE(mode);
        std::remove(file.c_str());
        quorvel::testing::makeDatabase(
            file, std::string("PRAGMA journal_mode = ") + mode +
                      "; CREATE TABLE people(id INTEGER PRIMARY KEY, name TEXT);"
                      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                      std::to_string(kRows) +
                      ") INSERT INTO people SELECT i, printf('n%05d', (i * 7919) % 100000) FROM n;");
        auto rs = openPeople(0);
        sqlite3* app = nullptr;
        ASSERT_EQ(sqlite3_open(file.c_str(), &app), SQLITE_OK);
        sqlite3_busy_timeout(app, 2000);
        auto nameAt = [&](std::int32_t p) {
            sqlite3_stmt* stmt = nullptr;
            sqlite3_prepare_v2(app, "SELECT name FROM people WHERE id = ?1", -1, &stmt, nullptr);
            sqlite3_bind_int(stmt, 1, p + 1);
            std::string name = sqlite3_step(stmt) == SQLITE_ROW
                                   ? reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))
                                   : "";
            sqlite3_finalize(stmt);
            return name;
        };
        for (int i = 0; i < 40; ++i) {
            // Moves a record to the front of the name order, or one that was
            // there away from it.
            std::string sql = "UPDATE people SET name = '" + std::string(i % 2 ? "a" : "z") +
                              std::to_string(i) + "' WHERE id = " + std::to_string(1 + (i * 1543) % kRows);
            ASSERT_EQ(sqlite3_exec(app, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
            std::string value = "a" + std::to_string(i - i % 2 - 1);
            std::int32_t atOrAfter = find(*rs, "name >= \"" + value + "\"");
            EXPECT_TRUE(atOrAfter >= 0 && nameAt(atOrAfter) >= value) << i << ": " << atOrAfter;
            std::int32_t equal = find(*rs, "name = \"n00042\"");
            EXPECT_TRUE(equal < 0 || nameAt(equal) == "n00042") << i;
        }
        rs->waitForIndexes();
        EXPECT_EQ(find(*rs, "name = \"a39\""), (39 * 1543) % kRows);
        sqlite3_close(app);
    }
}

}  // namespace
}  // namespace quorvel::engine::testing
