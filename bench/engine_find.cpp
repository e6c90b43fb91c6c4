// FindFirst on large recordsets, against a linear scan over the same keys.
//
// The databases are generated into a temporary folder at start: a table of
// people with random names (a twentieth of them with accented letters) in
// random order, and a copy of it in name order. Each find benchmark times
// every call on its own and reports the 50th and 99th percentiles as
// counters (p50_us, p99_us), so the figures are per keystroke, not averages.
//
// QUORVEL_BENCH_ROWS (default 1000000) sets the size; 10000000 is the large
// run. QUORVEL_BENCH_KEEP=1 keeps the generated files for a second run.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "engine/data_engine.h"
#include "engine/recordset.h"
#include "engine/text_fold.h"

namespace {

using quorvel::Recordset;
using quorvel::engine::SqliteRecordset;

std::int64_t rowCount() {
    const char* env = std::getenv("QUORVEL_BENCH_ROWS");
    return env != nullptr ? std::atoll(env) : 1000000;
}

std::filesystem::path& folder() {
    static std::filesystem::path path = [] {
        auto p = std::filesystem::temp_directory_path() / ("quorvel-bench-" + std::to_string(rowCount()));
        std::filesystem::create_directories(p);
        return p;
    }();
    return path;
}

std::string randomName(std::mt19937_64& rng) {
    static const char* accented[] = {"é", "è", "ü", "ö", "ß", "ç", "ñ", "å"};
    std::uniform_int_distribution<int> length(5, 12), letter(0, 25), accent(0, 19), which(0, 7);
    std::string name;
    int n = length(rng);
    for (int i = 0; i < n; ++i) {
        if (i > 0 && accent(rng) == 0) {
            name += accented[which(rng)];
            continue;
        }
        name += static_cast<char>((i == 0 ? 'A' : 'a') + letter(rng));
    }
    return name;
}

void check(int code, sqlite3* db) {
    if (code != SQLITE_OK && code != SQLITE_DONE && code != SQLITE_ROW) {
        std::fprintf(stderr, "generation failed: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
}

// Names in random order; generated once, in memory, for both databases.
const std::vector<std::string>& names() {
    static std::vector<std::string> all = [] {
        std::mt19937_64 rng(20261207);
        std::vector<std::string> v;
        v.reserve(static_cast<std::size_t>(rowCount()));
        for (std::int64_t i = 0; i < rowCount(); ++i) v.push_back(randomName(rng));
        return v;
    }();
    return all;
}

std::string database(bool sorted) {
    std::string file = (folder() / (sorted ? "sorted.db" : "random.db")).string();
    if (std::filesystem::exists(file)) return file;
    auto start = std::chrono::steady_clock::now();
    std::vector<std::string> rows = names();
    if (sorted) {
        // Sorted as the finds compare: by folded text.
        std::vector<std::pair<std::string, std::string>> keyed;
        keyed.reserve(rows.size());
        for (auto& n : rows) keyed.emplace_back(quorvel::engine::folded(n), std::move(n));
        std::sort(keyed.begin(), keyed.end());
        rows.clear();
        for (auto& [key, n] : keyed) rows.push_back(std::move(n));
    }
    std::string temporary = file + ".part";
    std::filesystem::remove(temporary);
    sqlite3* db = nullptr;
    check(sqlite3_open(temporary.c_str(), &db), db);
    check(sqlite3_exec(db,
                       "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; "
                       "CREATE TABLE people(id INTEGER PRIMARY KEY, name VARCHAR(40), code INTEGER); BEGIN",
                       nullptr, nullptr, nullptr),
          db);
    sqlite3_stmt* insert = nullptr;
    check(sqlite3_prepare_v2(db, "INSERT INTO people(name, code) VALUES (?1, ?2)", -1, &insert, nullptr), db);
    std::mt19937_64 rng(7);
    for (const auto& n : rows) {
        sqlite3_bind_text(insert, 1, n.data(), static_cast<int>(n.size()), SQLITE_STATIC);
        sqlite3_bind_int64(insert, 2, static_cast<sqlite3_int64>(rng() % 100000000));
        check(sqlite3_step(insert), db);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
    sqlite3_close(db);
    std::filesystem::rename(temporary, file);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stderr, "generated %s (%lld rows) in %.1f s\n", file.c_str(),
                 static_cast<long long>(rowCount()), seconds);
    return file;
}

// A copy of the random database in WAL mode: what the engine reads in the
// background.
std::string walDatabase() {
    std::string file = (folder() / "wal.db").string();
    if (!std::filesystem::exists(file)) {
        std::filesystem::copy_file(database(false), file);
        sqlite3* db = nullptr;
        check(sqlite3_open(file.c_str(), &db), db);
        check(
            sqlite3_exec(db, "PRAGMA journal_mode=WAL; CREATE TABLE notes(id INTEGER PRIMARY KEY, text TEXT)",
                         nullptr, nullptr, nullptr),
            db);
        sqlite3_close(db);
    }
    return file;
}

quorvel::engine::OpenSettings settingsFor(bool sorted, std::string source = "people") {
    quorvel::engine::OpenSettings settings;
    settings.databaseName = database(sorted);
    settings.recordSource = std::move(source);
    return settings;
}

// One open recordset per database, its name index built, shared by the
// find benchmarks.
SqliteRecordset& opened(bool sorted) {
    static std::map<bool, std::shared_ptr<SqliteRecordset>> cache;
    auto& slot = cache[sorted];
    if (!slot) {
        slot = SqliteRecordset::open(settingsFor(sorted));
        slot->findFirst("name >= \"a\"");
        slot->findFirst("code >= 0");
        slot->waitForIndexes();  // warm finds: the indexes in
    }
    return *slot;
}

// The folded names in recordset order, packed end to end as a scan would
// want them: what the linear baseline compares.
struct PackedKeys {
    std::string bytes;
    std::vector<std::uint32_t> ends;
    std::size_t size() const { return ends.size(); }
    std::string_view operator[](std::size_t i) const {
        std::size_t begin = i == 0 ? 0 : ends[i - 1];
        return std::string_view(bytes).substr(begin, ends[i] - begin);
    }
};

const PackedKeys& foldedInOrder(bool sorted) {
    static std::map<bool, PackedKeys> cache;
    auto& keys = cache[sorted];
    if (keys.ends.empty()) {
        SqliteRecordset& rs = opened(sorted);
        keys.ends.reserve(static_cast<std::size_t>(rs.recordCount()));
        for (std::int32_t i = 0; i < rs.recordCount(); ++i) {
            quorvel::engine::appendFolded(rs.valueAt(i, 1).asString(), keys.bytes);
            keys.ends.push_back(static_cast<std::uint32_t>(keys.bytes.size()));
        }
    }
    return keys;
}

// What a user types: prefixes of 1 to 6 characters of existing names, or,
// for a miss, a text that no name holds.
std::vector<std::string> typedTexts(bool miss) {
    std::mt19937_64 rng(miss ? 99 : 42);
    std::vector<std::string> out;
    const auto& all = names();
    for (int i = 0; i < 512; ++i) {
        if (miss) {
            std::string t = "Zzzq";
            t += static_cast<char>('a' + i % 26);
            t += static_cast<char>('a' + (i / 26) % 26);
            out.push_back(t);
            continue;
        }
        const std::string& n = all[rng() % all.size()];
        std::size_t length = 1 + rng() % 6;
        out.push_back(n.substr(0, std::min(length, n.size())));
    }
    return out;
}

enum class Op { AtOrAfter, Equal, PrefixLike };

std::string criteriaFor(Op op, const std::string& text, bool miss) {
    switch (op) {
        case Op::AtOrAfter: return "name >= \"" + (miss ? "\xF4\x80\x80\x80" + text : text) + "\"";
        case Op::Equal: return "name = \"" + text + "\"";
        case Op::PrefixLike: return "name Like \"" + text + "*\"";
    }
    return {};
}

// For "=" a hit needs a whole name, not a prefix.
std::vector<std::string> equalTexts(bool miss) {
    if (miss) return typedTexts(true);
    std::mt19937_64 rng(5);
    std::vector<std::string> out;
    for (int i = 0; i < 512; ++i) out.push_back(names()[rng() % names().size()]);
    return out;
}

void reportPercentiles(benchmark::State& state, std::vector<double>& micros) {
    if (micros.empty()) return;
    std::sort(micros.begin(), micros.end());
    auto at = [&](double q) {
        return micros[std::min(micros.size() - 1,
                               static_cast<std::size_t>(q * static_cast<double>(micros.size())))];
    };
    state.counters["p50_us"] = at(0.50);
    state.counters["p99_us"] = at(0.99);
    state.counters["max_us"] = micros.back();
}

// The read system calls of this thread so far.
std::int64_t readCalls() {
    std::ifstream io("/proc/thread-self/io");
    std::string key;
    std::int64_t value = 0;
    while (io >> key >> value) {
        if (key == "syscr:") return value;
    }
    return 0;
}

// The same finds on a recordset that looks at the file before each one
// (a freshness interval of 0): what every find cost before the interval.
SqliteRecordset& openedLookingEveryTime() {
    static std::shared_ptr<SqliteRecordset> rs = [] {
        auto settings = settingsFor(false);
        settings.freshnessMilliseconds = 0;
        auto opened = SqliteRecordset::open(settings);
        opened->findFirst("name >= \"a\"");
        opened->waitForIndexes();
        return opened;
    }();
    return *rs;
}

void BM_Find(benchmark::State& state, Op op, bool sorted, bool miss, bool lookEveryTime) {
    SqliteRecordset& rs = lookEveryTime ? openedLookingEveryTime() : opened(sorted);
    std::vector<std::string> texts = op == Op::Equal ? equalTexts(miss) : typedTexts(miss);
    std::vector<std::string> criteria;
    for (const auto& t : texts) criteria.push_back(criteriaFor(op, t, miss));
    std::vector<double> micros;
    micros.reserve(1 << 20);
    std::size_t i = 0;
    std::int64_t callsBefore = readCalls();
    for (auto _ : state) {
        const std::string& c = criteria[i++ % criteria.size()];
        auto start = std::chrono::steady_clock::now();
        rs.findFirst(c);
        auto end = std::chrono::steady_clock::now();
        micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
        benchmark::DoNotOptimize(rs.absolutePosition());
    }
    state.counters["read_syscalls_per_find"] =
        static_cast<double>(readCalls() - callsBefore) / static_cast<double>(state.iterations());
    reportPercentiles(state, micros);
}

// What the next key release pays after another connection's commit to a
// WAL file: a commit to another table or to the list's own table, then
// one find (timed) and a few more. `background` false is the baseline: the
// index built again on the key's path.
void BM_FindAfterCommit(benchmark::State& state, bool ownTable, bool background) {
    auto settings = settingsFor(false);
    settings.databaseName = walDatabase();
    settings.backgroundIndexes = background;
    settings.freshnessMilliseconds = 0;
    auto rs = SqliteRecordset::open(settings);
    rs->findFirst("name >= \"m\"");
    rs->waitForIndexes();
    sqlite3* writer = nullptr;
    check(sqlite3_open(settings.databaseName.c_str(), &writer), writer);
    sqlite3_busy_timeout(writer, 5000);
    std::vector<double> millis, worker;
    static int n = 0;  // each commit writes a new value
    for (auto _ : state) {
        state.PauseTiming();
        rs->waitForIndexes();
        std::string sql = ownTable
                              ? "UPDATE people SET name = 'Mmm" + std::to_string(n) + "_" +
                                    std::to_string(::getpid()) + "' WHERE id = " + std::to_string(1000 + n)
                              : "INSERT INTO notes(text) VALUES ('saved')";
        ++n;
        check(sqlite3_exec(writer, sql.c_str(), nullptr, nullptr, nullptr), writer);
        state.ResumeTiming();
        auto start = std::chrono::steady_clock::now();
        rs->findFirst("name >= \"mm\"");
        auto found = std::chrono::steady_clock::now();
        millis.push_back(std::chrono::duration<double, std::milli>(found - start).count());
        // How long the worker takes to make the index current again: a
        // rebuild, or a look at the log that keeps the index.
        state.PauseTiming();
        rs->waitForIndexes();
        worker.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - found).count());
        state.ResumeTiming();
    }
    sqlite3_close(writer);
    std::sort(millis.begin(), millis.end());
    std::sort(worker.begin(), worker.end());
    state.counters["first_find_ms_p50"] = millis[millis.size() / 2];
    state.counters["first_find_ms_max"] = millis.back();
    state.counters["index_current_ms_p50"] = worker[worker.size() / 2];
}

// The first key release after configuring: the opening, then the find
// timed on its own. `background` false is the baseline (the index built
// at that find). A table of a WAL file, or a statement (copied).
void BM_FirstFindAfterOpening(benchmark::State& state, bool background, const char* source) {
    auto settings = settingsFor(false, source);
    if (std::string_view(source) == "people") settings.databaseName = walDatabase();
    settings.backgroundIndexes = background;
    double openMs = 0, findMs = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        auto rs = SqliteRecordset::open(settings);
        auto opened = std::chrono::steady_clock::now();
        rs->findFirst("name >= \"m\"");
        auto found = std::chrono::steady_clock::now();
        openMs = std::chrono::duration<double, std::milli>(opened - start).count();
        findMs = std::chrono::duration<double, std::milli>(found - opened).count();
        state.PauseTiming();
        rs.reset();
        state.ResumeTiming();
    }
    state.counters["open_ms"] = openMs;
    state.counters["first_find_ms"] = findMs;
}

// The SQLite floor of opening a statement: the same copy into a TEMP table
// on disk, on a bare read-only connection.
void BM_CopyFloor(benchmark::State& state, const char* source) {
    std::string file = database(false);
    for (auto _ : state) {
        sqlite3* db = nullptr;
        check(sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), db);
        std::string sql = std::string(
                              "PRAGMA temp_store = FILE; BEGIN; CREATE TEMP TABLE copy(c0, c1, c2); "
                              "INSERT INTO temp.copy SELECT * FROM (") +
                          source + "); COMMIT";
        check(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db);
        sqlite3_close(db);
    }
}

// The list's opening as its user sees it: when the first screen of rows
// can be read (first_rows_ms) and when every record is reachable and a find
// complete (whole_ms: MoveLast). `background` reads a table's positions on
// the engine's loader thread; a statement is copied whole either way. The
// floors beside it: SQLite alone reading a table's rowids in order on a
// bare connection (BM_TableFloor), or copying a statement (BM_CopyFloor).
void BM_FirstRows(benchmark::State& state, bool background, const char* source) {
    auto settings = settingsFor(false, source);
    settings.backgroundPositions = background;
    double firstMs = 0, wholeMs = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        auto rs = SqliteRecordset::open(settings);
        for (std::int32_t p = 0; p < 20 && p < rs->recordCount(); ++p) rs->valueAt(p, 1);
        auto first = std::chrono::steady_clock::now();
        rs->moveLast();
        auto whole = std::chrono::steady_clock::now();
        firstMs = std::chrono::duration<double, std::milli>(first - start).count();
        wholeMs = std::chrono::duration<double, std::milli>(whole - start).count();
        state.PauseTiming();
        rs.reset();
        state.ResumeTiming();
    }
    state.counters["first_rows_ms"] = firstMs;
    state.counters["whole_ms"] = wholeMs;
}

void BM_TableFloor(benchmark::State& state) {
    std::string file = database(false);
    for (auto _ : state) {
        sqlite3* db = nullptr;
        check(sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), db);
        sqlite3_stmt* ids = nullptr;
        check(sqlite3_prepare_v2(db, "SELECT rowid FROM people ORDER BY rowid", -1, &ids, nullptr), db);
        std::int64_t last = 0;
        while (sqlite3_step(ids) == SQLITE_ROW) last = sqlite3_column_int64(ids, 0);
        benchmark::DoNotOptimize(last);
        sqlite3_finalize(ids);
        sqlite3_close(db);
    }
}

// The same question answered by visiting the folded keys in recordset
// order, as an engine without an index would.
void BM_LinearScan(benchmark::State& state, Op op, bool sorted, bool miss) {
    const PackedKeys& keys = foldedInOrder(sorted);
    std::vector<std::string> texts = op == Op::Equal ? equalTexts(miss) : typedTexts(miss);
    std::vector<std::string> queries;
    for (const auto& t : texts)
        queries.push_back(quorvel::engine::folded(miss && op == Op::AtOrAfter ? "\xF4\x80\x80\x80" + t : t));
    std::vector<double> micros;
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& q = queries[i++ % queries.size()];
        auto start = std::chrono::steady_clock::now();
        std::int64_t found = -1;
        for (std::size_t k = 0; k < keys.size(); ++k) {
            std::string_view key = keys[k];
            bool match = op == Op::AtOrAfter ? key >= q
                         : op == Op::Equal   ? key == q
                                             : key.substr(0, q.size()) == q;
            if (match) {
                found = static_cast<std::int64_t>(k);
                break;
            }
        }
        auto end = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(found);
        micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    reportPercentiles(state, micros);
}

long residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

// Opening with the search field's index: what the list pays when it is
// configured, until the index is in. Reports the engine's own bytes a row
// and the growth of the resident set a row.
void BM_Open(benchmark::State& state, bool sorted, const char* source) {
    auto settings = settingsFor(sorted, source);
    double bytesPerRow = 0, residentPerRow = 0;
    for (auto _ : state) {
        long before = residentBytes();
        auto rs = SqliteRecordset::open(settings);
        rs->findFirst("name >= \"m\"");
        rs->waitForIndexes();
        state.PauseTiming();
        bytesPerRow = static_cast<double>(rs->memoryBytes()) / rs->recordCount();
        residentPerRow = static_cast<double>(residentBytes() - before) / rs->recordCount();
        rs.reset();
        state.ResumeTiming();
    }
    state.counters["engine_bytes_per_row"] = bytesPerRow;
    state.counters["rss_bytes_per_row"] = residentPerRow;
}

void registerAll() {
    struct Case {
        const char* name;
        Op op;
    };
    const Case ops[] = {{"AtOrAfter", Op::AtOrAfter}, {"Equal", Op::Equal}, {"PrefixLike", Op::PrefixLike}};
    std::string rows = std::to_string(rowCount());
    for (bool sorted : {true, false}) {
        for (bool miss : {false, true}) {
            for (const Case& c : ops) {
                std::string suffix = std::string(c.name) + (sorted ? "/sorted" : "/random") +
                                     (miss ? "/miss" : "/hit") + "/" + rows;
                benchmark::RegisterBenchmark(("Find/" + suffix).c_str(), BM_Find, c.op, sorted, miss, false)
                    ->Unit(benchmark::kMicrosecond)
                    ->Iterations(20000);
                benchmark::RegisterBenchmark(("LinearScan/" + suffix).c_str(), BM_LinearScan, c.op, sorted,
                                             miss)
                    ->Unit(benchmark::kMicrosecond)
                    ->Iterations(rowCount() > 2000000 ? 60 : 300);
            }
        }
    }
    benchmark::RegisterBenchmark(("Find/AtOrAfter/random/hit/lookingEveryFind/" + rows).c_str(), BM_Find,
                                 Op::AtOrAfter, false, false, true)
        ->Unit(benchmark::kMicrosecond)
        ->Iterations(20000);
    for (bool own : {false, true}) {
        for (bool background : {true, false}) {
            std::string name = std::string("FindAfterCommit/") + (own ? "listTable" : "otherTable") +
                               (background ? "/worker/" : "/baseline/") + rows;
            benchmark::RegisterBenchmark(name.c_str(), BM_FindAfterCommit, own, background)
                ->Unit(benchmark::kMillisecond)
                ->Iterations(5);
        }
    }
    const char* select = "SELECT id, name, code FROM people WHERE code >= 0";
    for (const char* source : {"people", select}) {
        for (bool background : {true, false}) {
            std::string name = std::string("FirstFindAfterOpening/") +
                               (source == select ? "select/" : "table/") +
                               (background ? "worker/" : "baseline/") + rows;
            benchmark::RegisterBenchmark(name.c_str(), BM_FirstFindAfterOpening, background, source)
                ->Unit(benchmark::kMillisecond)
                ->Iterations(3);
        }
    }
    benchmark::RegisterBenchmark(("CopyFloor/select/" + rows).c_str(), BM_CopyFloor, select)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    const char* ordered = "SELECT id, name, code FROM people ORDER BY name";
    benchmark::RegisterBenchmark(("TableFloor/" + rows).c_str(), BM_TableFloor)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    for (bool background : {true, false}) {
        benchmark::RegisterBenchmark(
            ("FirstRows/table/" + std::string(background ? "loader/" : "baseline/") + rows).c_str(),
            BM_FirstRows, background, "people")
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
    }
    benchmark::RegisterBenchmark(("CopyFloor/orderBy/" + rows).c_str(), BM_CopyFloor, ordered)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RegisterBenchmark(("FirstRows/orderBy/" + rows).c_str(), BM_FirstRows, false, ordered)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RegisterBenchmark(("Open/table/" + rows).c_str(), BM_Open, false, "people")
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RegisterBenchmark(("Open/select/" + rows).c_str(), BM_Open, false,
                                 "SELECT id, name, code FROM people WHERE code >= 0")
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    database(true);
    database(false);
    registerAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const char* keep = std::getenv("QUORVEL_BENCH_KEEP");
    if (keep == nullptr || std::string(keep) != "1") std::filesystem::remove_all(folder());
    return 0;
}
