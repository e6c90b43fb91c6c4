// Opening a SQLite file: checking the file, classifying the record source,
// reading a table's rowids in place or copying a view's or statement's rows
// into a TEMP table, the opening's limits, and watching the file for other
// connections' commits with the index worker's builds over it.
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <exception>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>

#include "engine/data_engine.h"
#include "engine/field_values.h"
#include "engine/index_worker.h"
#include "engine/record_source.h"
#include "engine/recordset.h"
#include "engine/recordset_find.h"
#include "engine/recordset_state.h"
#include "engine/sqlite_handle.h"
#include "engine/text_fold.h"
#include "engine/wal_pages.h"
#include "platform/failure.h"
#include "platform/text.h"

namespace quorvel::engine {

namespace {

std::string rowidNameFor(const std::vector<std::string>& columnNames) {
    for (const char* candidate : {"rowid", "_rowid_", "oid"}) {
        bool shadowed = std::any_of(columnNames.begin(), columnNames.end(),
                                    [&](const std::string& c) { return equalsIgnoringCase(c, candidate); });
        if (!shadowed) return candidate;
    }
    return {};
}

// Only a regular file (or a link to one) is a database: a FIFO would block
// the opening for ever, a device read as one gives nonsense. The files
// SQLite reads beside it are held to the same rule.
void checkFile(const std::string& path) {
    if (path.empty()) fail(failure::kFileNotFound, "No database file is set: DatabaseName is empty.");
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            fail(failure::kFileNotFound, "Could not find file '" + path + "'.");
        return;  // SQLite meets the same fault and names it
    }
    if (S_ISDIR(info.st_mode))
        fail(failure_code::kCannotOpen, "Cannot open '" + path + "' as a database: it is a folder.");
    auto kindOf = [](mode_t mode) -> std::string {
        if (S_ISFIFO(mode)) return "a FIFO";
        if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
        if (S_ISSOCK(mode)) return "a socket";
        return "not a regular file";
    };
    if (!S_ISREG(info.st_mode))
        fail(failure_code::kCannotOpen,
             "Cannot open '" + path + "' as a database: it is " + kindOf(info.st_mode) + ", not a file.");
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        std::string beside = path + suffix;
        if (::stat(beside.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
            fail(failure_code::kCannotOpen, "Cannot open '" + path + "' as a database: '" + beside +
                                                "' beside it is " + kindOf(info.st_mode) + ", not a file.");
    }
}

void configure(Connection& db, const OpeningLimits& limits) {
    sqlite3* handle = db.get();
    sqlite3_extended_result_codes(handle, 1);
    sqlite3_busy_timeout(handle, static_cast<int>(std::clamp<std::int64_t>(limits.busyMilliseconds, 0,
                                                                           std::numeric_limits<int>::max())));
    sqlite3_db_config(handle, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(handle, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(handle, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    // fts3_tokenizer() would hand out a native pointer and register any
    // pointer as a tokenizer; the authorizer refuses it too.
    sqlite3_db_config(handle, SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 0, nullptr);
    // The TEMP copy of a statement's rows lives in a file, not in memory:
    // only SQLite's bounded page cache of it stays resident.
    db.exec("PRAGMA temp_store = FILE", "preparing the connection");
    registerFoldCollation(handle);
}

std::vector<std::string> columnNamesOf(const Statement& stmt) {
    std::vector<std::string> names;
    int n = sqlite3_column_count(stmt.get());
    for (int i = 0; i < n; ++i) {
        const char* name = sqlite3_column_name(stmt.get(), i);
        names.emplace_back(name != nullptr ? name : "");
    }
    return names;
}

// Field types from the declarations; columns without one are typed from
// their first non-null value, read by `firstValue(column)` (a statement
// positioned on a row, or null when the column holds no value).
template <class FirstValue>
void assignTypes(EngineRecordset::State& state, const Statement& stmt, FirstValue&& firstValue) {
    int n = sqlite3_column_count(stmt.get());
    for (int i = 0; i < n; ++i) {
        const char* declared = sqlite3_column_decltype(stmt.get(), i);
        auto code = declared != nullptr ? typeCodeOfDeclaration(declared) : std::nullopt;
        state.fields[static_cast<std::size_t>(i)].type = code ? *code : firstValue(i);
    }
}

// How many positions the opening reads itself when a loader reads the rest:
// more than a list shows at once.
constexpr std::int32_t kFirstPositions = 1024;

// The positions of a table read in place, in rowid order, from the
// opening's snapshot: all of them, or with `backgroundPositions` the first
// ones, and a loader reads the rest from a connection of its own. A table
// whose rowids could number more than an opening may read is read whole
// here, so that the opening fails as the limit says.
void readTablePositions(EngineRecordset::State& state, const OpenSettings& settings,
                        const std::string& quoted, const std::string& table, std::string_view label) {
    const std::string& rowid = state.rowidName;
    std::string context = "reading the records of table '" + table + "'";
    Statement bounds(state.db,
                     "SELECT (SELECT min(" + rowid + ") FROM " + quoted + "), (SELECT max(" + rowid +
                         ") FROM " + quoted + ")",
                     context);
    bounds.step(context);
    if (sqlite3_column_type(bounds.get(), 0) == SQLITE_NULL) {
        state.count = 0;
        state.positions = PositionTable::consecutive(1, 0);
        return;
    }
    const std::int64_t first = sqlite3_column_int64(bounds.get(), 0);
    const std::int64_t last = sqlite3_column_int64(bounds.get(), 1);
    // How many rowids the range holds, less one; never overflows.
    const std::uint64_t span = static_cast<std::uint64_t>(last) - static_cast<std::uint64_t>(first);
    const auto most = static_cast<std::uint64_t>(
        std::min<std::int64_t>(state.limits.records, std::numeric_limits<std::int32_t>::max()));
    const bool background = settings.backgroundPositions && span < most;
    auto positions =
        std::make_shared<PositionTable>(static_cast<std::int32_t>(span >= most ? most : span + 1));

    std::string sql = "SELECT " + rowid + " FROM " + quoted + " ORDER BY " + rowid;
    if (background) sql += " LIMIT " + std::to_string(kFirstPositions);
    Statement ids(state.db, sql, context);
    std::int64_t count = 0, after = first;
    while (ids.step(context)) {
        if (++count > std::numeric_limits<std::int32_t>::max())
            fail(failure::kOutOfMemory, "Table '" + table + "' has more records than a recordset can count.");
        if (count > state.limits.records) tooManyRecords(state, label);
        after = sqlite3_column_int64(ids.get(), 0);
        positions->add(after);
    }
    state.count = static_cast<std::int32_t>(count);
    state.positions = positions;
    if (!background || count < kFirstPositions || after == last) {
        positions->finish();
        return;
    }
    positions->publish();
    auto connect = [path = settings.databaseName, limits = settings.limits] {
        Connection db(path);
        configure(db, limits);
        return db;
    };
    state.loader = std::make_unique<PositionLoader>(connect, quoted, rowid, after, last, positions,
                                                    settings.beforePositionSlice);
}

void openTable(EngineRecordset::State& state, const OpenSettings& settings, const std::string& table,
               std::string_view label) {
    // Read from main by name: nothing of the engine's own can stand for it.
    std::string quoted = "main." + quoteIdentifier(table);
    Statement all(state.db, "SELECT * FROM " + quoted, "reading the columns of table '" + table + "'");
    std::vector<std::string> names = columnNamesOf(all);
    for (const auto& name : names) addField(state, name, quoteIdentifier(name));

    assignTypes(state, all, [&](int column) -> std::int16_t {
        const std::string& col = state.fields[static_cast<std::size_t>(column)].columnSql;
        Statement first(state.db,
                        "SELECT " + col + " FROM " + quoted + " WHERE " + col + " IS NOT NULL LIMIT 1",
                        "reading table '" + table + "'");
        if (!first.step("reading table '" + table + "'")) return field_type::kText;
        return inferredTypeCode(first.get(), 0);
    });

    state.rowSource = quoted;
    state.tableName = table;
    state.rowidName = rowidNameFor(names);
    readTablePositions(state, settings, quoted, table, label);
}

// Only the copy into the TEMP table (named by `copyTable`) is allowed while
// it is prepared: the user's statement inside it reads, and nothing else may
// write.
int copyAuthorizer(void* copyTable, int action, const char* table, const char* second, const char* database,
                   const char* trigger) {
    if (action == SQLITE_INSERT && database != nullptr && std::string_view(database) == "temp" &&
        table != nullptr && *static_cast<const std::string*>(copyTable) == table)
        return SQLITE_OK;
    return readOnlyAuthorizer(nullptr, action, table, second, database, trigger);
}

// The copy as one INSERT ... SELECT, which SQLite runs about five times
// faster than a row at a time through the API. It has no LIMIT: with one,
// SQLite sorts an ORDER BY through a B-tree on disk instead of its merge
// sorter, ten to twenty times slower; the opening's budget stops it once it
// has inserted more records than an opening may. The subquery keeps SQLite
// from copying the source's rows with their own rowids, which would not be
// the positions. The statement text was checked on its own (one
// read-only query) before it is placed here; when the combined text does
// not prepare (a trailing unterminated comment, say), there is no fast copy
// and the caller copies row by row.
Statement bulkCopy(EngineRecordset::State& state, std::string_view source) {
    std::string sql = "INSERT INTO temp." + quoteIdentifier(state.copyTable) + " SELECT * FROM (\n";
    sql += source;
    sql += "\n)";
    sqlite3* db = state.db.get();
    sqlite3_set_authorizer(db, copyAuthorizer, &state.copyTable);
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    int code = sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()), 0, &raw, &tail);
    sqlite3_set_authorizer(db, nullptr, nullptr);
    Statement stmt(raw);
    if (code != SQLITE_OK || stmt.get() == nullptr) return Statement();
    if (std::string_view(tail).find_first_not_of(" \t\r\n;") != std::string_view::npos) return Statement();
    return stmt;
}

// A name for the TEMP copy that neither the record source nor anything in
// the file's schema mentions (ASCII case ignored, as SQLite compares names),
// so that no name of the user's can reach the copy instead of its own
// object, nor the copy stand for one.
std::string copyTableName(EngineRecordset::State& state, std::string_view source) {
    auto lower = [](std::string_view text) {
        std::string out(text);
        for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return out;
    };
    std::string text = lower(source);
    Statement mentioned(state.db,
                        "SELECT 1 FROM main.sqlite_schema WHERE instr(lower(name), ?1) > 0 "
                        "OR instr(lower(sql), ?1) > 0 LIMIT 1",
                        "preparing the records");
    for (int attempt = 0;; ++attempt) {
        std::string name = attempt == 0 ? "quorvel_rows" : "quorvel_rows_" + std::to_string(attempt);
        if (text.find(name) != std::string::npos) continue;
        mentioned.reset();
        sqlite3_bind_text(mentioned.get(), 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        if (!mentioned.step("preparing the records")) return name;
    }
}

// The records an opening has read so far, for its progress hook, read
// without running anything on the connection. A copy row by row counts its
// rows; the one-statement copy counts its inserts (the last rowid inserted
// into the fresh TEMP table, exact at the end: a sort before the first
// insert shows as 0); otherwise, while a table's records are read, the rows
// the connection's running statements have stepped through in full scans.
class RecordCount {
public:
    explicit RecordCount(sqlite3* db) : db_(db) {}

    void rows(std::int64_t n) {
        mode_ = Mode::Rows;
        rows_ = n;
    }
    void inserts() {
        mode_ = Mode::Inserts;
        sqlite3_set_last_insert_rowid(db_, 0);
    }
    bool countsInserts() const { return mode_ == Mode::Inserts; }
    std::int64_t now() const {
        if (mode_ == Mode::Rows) return rows_;
        if (mode_ == Mode::Inserts) return sqlite3_last_insert_rowid(db_);
        std::int64_t scanned = 0;
        for (sqlite3_stmt* s = sqlite3_next_stmt(db_, nullptr); s != nullptr; s = sqlite3_next_stmt(db_, s)) {
            if (sqlite3_stmt_busy(s)) scanned += sqlite3_stmt_status(s, SQLITE_STMTSTATUS_FULLSCAN_STEP, 0);
        }
        return scanned;
    }

private:
    enum class Mode : std::uint8_t { Scans, Rows, Inserts };
    sqlite3* db_;
    Mode mode_ = Mode::Scans;
    std::int64_t rows_ = 0;
};

// Copies the rows of a prepared query into a TEMP table, in the query's
// order, so that each position becomes a rowid. `label` is what the user
// wrote, for the failures.
void materialize(EngineRecordset::State& state, Statement& query, std::string_view source,
                 std::string_view label, RecordCount& counted) {
    int n = sqlite3_column_count(query.get());
    state.copyTable = copyTableName(state, source);
    std::string table = "temp." + quoteIdentifier(state.copyTable);
    std::string create = "CREATE TABLE " + table + "(";
    std::string insert = "INSERT INTO " + table + " VALUES(";
    for (int i = 0; i < n; ++i) {
        // Columns without a type keep every value exactly as the query gave it.
        create += i ? ", c" : "c";
        create += std::to_string(i);
        insert += i ? ", ?" : "?";
    }
    create += ")";
    insert += ")";
    state.db.exec(create.c_str(), "preparing the records");

    std::vector<std::string> names = columnNamesOf(query);
    std::vector<std::optional<std::int16_t>> types(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const char* decl = sqlite3_column_decltype(query.get(), i);
        if (decl != nullptr) types[static_cast<std::size_t>(i)] = typeCodeOfDeclaration(decl);
        addField(state, names[static_cast<std::size_t>(i)], "c" + std::to_string(i));
    }

    std::string context = "reading the record source '" + std::string(label) + "'";
    if (Statement bulk = bulkCopy(state, source)) {
        counted.inserts();
        bulk.step(context);
        for (int i = 0; i < n; ++i) {
            auto& type = types[static_cast<std::size_t>(i)];
            if (type) continue;
            const std::string& col = state.fields[static_cast<std::size_t>(i)].columnSql;
            Statement first(
                state.db,
                "SELECT " + col + " FROM " + table + " WHERE " + col + " IS NOT NULL ORDER BY rowid LIMIT 1",
                context);
            if (first.step(context)) type = inferredTypeCode(first.get(), 0);
        }
    } else {
        Statement add(state.db, insert, "preparing the records");
        std::int64_t copied = 0;
        counted.rows(0);
        while (query.step(context)) {
            if (++copied > state.limits.records) tooManyRecords(state, label);
            counted.rows(copied);
            for (int i = 0; i < n; ++i) {
                auto& type = types[static_cast<std::size_t>(i)];
                if (!type && sqlite3_column_type(query.get(), i) != SQLITE_NULL)
                    type = inferredTypeCode(query.get(), i);
                sqlite3_bind_value(add.get(), i + 1, sqlite3_column_value(query.get(), i));
            }
            add.step(context);
            sqlite3_reset(add.get());
        }
    }
    for (int i = 0; i < n; ++i) {
        auto& type = types[static_cast<std::size_t>(i)];
        state.fields[static_cast<std::size_t>(i)].type = type ? *type : field_type::kText;
    }
    Statement count(state.db, "SELECT max(rowid) FROM " + table, context);
    count.step(context);
    std::int64_t rows = sqlite3_column_int64(count.get(), 0);
    if (rows > state.limits.records) tooManyRecords(state, label);
    if (rows > std::numeric_limits<std::int32_t>::max())
        fail(failure::kOutOfMemory, "The record source has more records than a recordset can count.");
    state.count = static_cast<std::int32_t>(rows);
    state.rowSource = table;
    state.rowidName = "rowid";
    state.positions = PositionTable::consecutive(1, state.count);
}

// The pager's count of the file's changes, as of the connection's last
// transaction: kept in memory, no system call.
std::uint64_t pagerVersion(const Connection& db) {
    unsigned int version = 0;
    sqlite3_file_control(db.get(), "main", SQLITE_FCNTL_DATA_VERSION, &version);
    return version;
}

// Builds on the worker thread, over a read-only connection of its own
// opened there. The table is read in slices of rowids (readKeys), each its
// own short transaction, so that in rollback-journal mode a writer waits on
// the worker for at most the time of a slice (about a millisecond), and
// only when the worker is building. A commit between two slices makes an
// index that mixes both states; the recordset sees that commit too and
// checks the index's answers until the next build, as it does for any
// index older than the last commit it saw.
class TableIndexBuilder final : public IndexBuilder {
public:
    TableIndexBuilder(std::string path, std::string table, OpeningLimits limits, KeySource source,
                      std::function<void()> beforeBuild)
        : path_(std::move(path)),
          table_(std::move(table)),
          limits_(limits),
          source_(std::move(source)),
          beforeBuild_(std::move(beforeBuild)),
          baselines_(source_.columnSql.size()) {}

    FieldIndex build(std::size_t field, const std::atomic<bool>& stop) override {
        baselines_[field].reset();
        if (beforeBuild_) beforeBuild_();
        if (!db_) {
            Connection db(path_);
            configure(db, limits_);
            std::lock_guard lock(mutex_);
            db_ = std::move(db);
            walPath_ = sqlite3_filename_wal(sqlite3_db_filename(db_.get(), "main"));
        }
        std::optional<Baseline> baseline = baselineNow();
        // sqlite3_interrupt stops only a statement that is running: a stop
        // asked for while the connection opened or between two slices is
        // seen here.
        auto stopIfAsked = [&] {
            if (stop.load(std::memory_order_relaxed)) fail(SQLITE_INTERRUPT, "The index build was stopped.");
        };
        stopIfAsked();
        FieldIndex index = readKeys(db_, source_, field, false, stopIfAsked).finish(&stop);
        baselines_[field] = std::move(baseline);
        return index;
    }

    // A WAL file only: whether the commits since the field's last build
    // wrote none of the table's pages and left the schema as it was.
    bool unchanged(std::size_t field) override {
        auto& baseline = baselines_[field];
        if (!baseline) return false;
        try {
            if (baseline->pages.empty()) baseline->pages = tablePages();
            if (walFramesTouch(walPath_, baseline->point, baseline->pages, baseline->schemaCookie) ==
                WalVerdict::Untouched)
                return true;
        } catch (const Failure&) {}
        baseline.reset();
        return false;
    }

    void interrupt() override {
        std::lock_guard lock(mutex_);
        if (db_) sqlite3_interrupt(db_.get());
    }

private:
    // Where a build starts from: the schema cookie, then the place in the
    // log. Every commit after that place is in the frames after it, and each
    // that changes the table writes one of its pages (the pages of the
    // table as it is at any moment after: the one holding a changed record,
    // or the parent that lost a child) or the schema. The pages are read
    // at the first look, from SQLite's dbstat table.
    struct Baseline {
        std::uint32_t schemaCookie = 0;
        WalPoint point;
        std::vector<std::uint32_t> pages;
    };

    std::optional<Baseline> baselineNow() {
        Statement cookie(db_, "PRAGMA main.schema_version", "indexing a field");
        if (!cookie.step("indexing a field")) return std::nullopt;
        Baseline baseline;
        baseline.schemaCookie = static_cast<std::uint32_t>(sqlite3_column_int64(cookie.get(), 0));
        cookie.reset();
        auto point = walPointNow(walPath_);
        if (!point) return std::nullopt;
        baseline.point = *point;
        return baseline;
    }

    std::vector<std::uint32_t> tablePages() {
        Statement pages(db_, "SELECT pageno FROM dbstat('main') WHERE name = ?1",
                        "looking for changes to a table");
        sqlite3_bind_text(pages.get(), 1, table_.data(), static_cast<int>(table_.size()), SQLITE_STATIC);
        std::vector<std::uint32_t> out;
        while (pages.step("looking for changes to a table"))
            out.push_back(static_cast<std::uint32_t>(sqlite3_column_int64(pages.get(), 0)));
        std::sort(out.begin(), out.end());
        return out;
    }

    std::string path_;
    std::string table_;
    OpeningLimits limits_;
    KeySource source_;
    std::function<void()> beforeBuild_;
    std::mutex mutex_;  // the connection, against interrupt() on the list's thread
    Connection db_;
    // The worker thread's own, like everything below.
    std::string walPath_;
    std::vector<std::optional<Baseline>> baselines_;
};

// Another connection's commits to a table read in place. Every read of
// the file starts a transaction, and SQLite's pager counts the changes it
// meets then (read without touching the file). A probe, a transaction of
// its own, only runs when no read looked at the file for the freshness
// interval.
class FileWatch final : public ChangeWatch {
public:
    FileWatch(const Connection& db, std::chrono::steady_clock::duration freshness)
        : db_(db),
          probe_(db, "PRAGMA main.data_version", "preparing to read records"),
          freshness_(freshness),
          lastLook_(std::chrono::steady_clock::now()),
          pagerVersion_(pagerVersion(db)) {}

    bool look() override {
        if (freshness_.count() > 0 && std::chrono::steady_clock::now() - lastLook_ < freshness_) return false;
        probe_.reset();
        probe_.step("looking for changes to the database");
        probe_.reset();
        return noteRead();
    }

    bool noteRead() override {
        lastLook_ = std::chrono::steady_clock::now();
        std::uint64_t version = pagerVersion(db_);
        if (version == pagerVersion_) return false;
        pagerVersion_ = version;
        return true;
    }

private:
    const Connection& db_;
    Statement probe_;
    std::chrono::steady_clock::duration freshness_;
    std::chrono::steady_clock::time_point lastLook_;
    std::uint64_t pagerVersion_;
};

// The reading statements, the watch on the file and the worker, once the
// rows are known; ends the opening's transaction.
void finishState(EngineRecordset::State* state, const OpenSettings& settings) {
    prepareReading(*state);
    state->readsFile = state->copyTable.empty();
    // The opening's transaction ends here. Held for the recordset's life it
    // would keep a shared lock on the file, and in rollback-journal mode no
    // other connection (the application's own, say) could commit a write.
    state->db.exec("COMMIT", "opening the records");
    if (state->readsFile) {
        state->watch =
            std::make_unique<FileWatch>(state->db, std::chrono::milliseconds(settings.freshnessMilliseconds));
        // In either journal mode: the worker reads in short slices, each a
        // transaction of its own, so a writer of a rollback-journal file
        // waits for at most one slice, and only while a build runs.
        if (settings.backgroundIndexes) {
            state->worker = std::make_unique<IndexWorker>(
                std::make_unique<TableIndexBuilder>(settings.databaseName, state->tableName, settings.limits,
                                                    keySourceOf(*state), settings.beforeBackgroundBuild));
        }
    }
}

// The limits of one opening over its connection: time and the size of the
// TEMP copy through SQLite's progress handler, which interrupts the
// statement running when one is passed; the records where they are counted.
// The same handler tells the progress hook the records read, at most every
// kProgressEvery; a hook that says stop, or that throws, interrupts the
// statement too, and every later tick of the opening stops again. The hook
// runs inside a statement of the opening's connection, and nothing here
// touches that connection while it runs.
class OpeningBudget {
public:
    enum class Passed : std::uint8_t { None, Time, CopyBytes, Records, Cancelled, HookFailed };

    OpeningBudget(sqlite3* db, const OpeningLimits& limits, OpeningProgress progress)
        : db_(db),
          deadline_(std::chrono::steady_clock::now() + std::chrono::milliseconds(limits.milliseconds)),
          copyBytes_(limits.copyBytes),
          records_(limits.records),
          progress_(std::move(progress)),
          nextReport_(std::chrono::steady_clock::now() + kProgressEvery),
          counted_(db) {
        sqlite3_progress_handler(db_, kInstructions, &OpeningBudget::tick, this);
    }
    ~OpeningBudget() { sqlite3_progress_handler(db_, 0, nullptr, nullptr); }
    OpeningBudget(const OpeningBudget&) = delete;
    OpeningBudget& operator=(const OpeningBudget&) = delete;

    Passed passed() const { return passed_; }
    RecordCount& counted() { return counted_; }
    // The count the hook was last told.
    std::int64_t reported() const { return reported_; }
    // What the hook threw, if it did.
    std::exception_ptr hookFailure() const { return hookFailure_; }

private:
    static constexpr int kInstructions = 1000;

    static int tick(void* self) {
        auto& budget = *static_cast<OpeningBudget*>(self);
        if (budget.passed_ == Passed::Cancelled || budget.passed_ == Passed::HookFailed) return 1;
        auto now = std::chrono::steady_clock::now();
        if (now >= budget.deadline_) {
            budget.passed_ = Passed::Time;
            return 1;
        }
        if (budget.counted_.countsInserts() && budget.counted_.now() > budget.records_) {
            budget.passed_ = Passed::Records;
            return 1;
        }
        if (budget.progress_ && now >= budget.nextReport_) {
            if (!budget.report()) return 1;
            // The hook's own time (a host pumping its events) is not the
            // opening's: the next report is a whole interval after it.
            budget.nextReport_ = std::chrono::steady_clock::now() + kProgressEvery;
        }
        // The copy's file, once SQLite has spilled pages to it (its page
        // cache of a few MB comes on top); asked every 16th time.
        if ((++budget.ticks_ & 15) != 0) return 0;
        sqlite3_file* file = nullptr;
        sqlite3_int64 size = 0;
        if (sqlite3_file_control(budget.db_, "temp", SQLITE_FCNTL_FILE_POINTER, &file) == SQLITE_OK &&
            file != nullptr && file->pMethods != nullptr &&
            file->pMethods->xFileSize(file, &size) == SQLITE_OK && size > budget.copyBytes_) {
            budget.passed_ = Passed::CopyBytes;
            return 1;
        }
        return 0;
    }

    // Tells the hook; false when the opening is to stop. Nothing the hook
    // throws crosses SQLite's frames: it is kept and thrown again once the
    // statement has stopped.
    bool report() noexcept {
        reported_ = std::max(reported_, counted_.now());
        try {
            if (progress_(reported_)) return true;
            passed_ = Passed::Cancelled;
        } catch (...) {
            hookFailure_ = std::current_exception();
            passed_ = Passed::HookFailed;
        }
        return false;
    }

    sqlite3* db_;
    std::chrono::steady_clock::time_point deadline_;
    std::int64_t copyBytes_;
    std::int64_t records_;
    std::uint32_t ticks_ = 0;
    Passed passed_ = Passed::None;
    OpeningProgress progress_;
    std::chrono::steady_clock::time_point nextReport_;
    RecordCount counted_;
    std::int64_t reported_ = 0;
    std::exception_ptr hookFailure_;
};

void openRecords(EngineRecordset::State& state, const OpenSettings& settings, std::string_view source,
                 const std::string& file, RecordCount& counted);

}  // namespace

std::unique_ptr<EngineRecordset::State> openSqliteState(const OpenSettings& settings,
                                                        const Connection* predecessor) {
    checkFile(settings.databaseName);
    std::string_view source = trimmedSource(settings.recordSource);
    if (source.empty())
        fail(failure::kObjectNotSet, "The data control has no RecordSource, so it has no recordset to open.");

    auto state = std::make_unique<EngineRecordset::State>();
    state->limits = settings.limits;
    state->db = Connection(settings.databaseName, predecessor, Connection::Threads::Shared);
    configure(state->db, settings.limits);
    std::string file = "'" + settings.databaseName + "'";
    OpeningBudget budget(state->db.get(), settings.limits, settings.progress);
    auto cancelled = [&] { openingCancelled(source, budget.reported()); };
    try {
        // One read transaction for the opening: the fields, the rowids and
        // the copy of a statement's rows come from one snapshot. It ends
        // once the records are known (finishState).
        state->db.exec("BEGIN", "opening " + file);
        openRecords(*state, settings, source, file, budget.counted());
        finishState(state.get(), settings);
        // A stop that no statement was left to see still stops.
        if (budget.passed() == OpeningBudget::Passed::Cancelled) cancelled();
        if (budget.hookFailure()) std::rethrow_exception(budget.hookFailure());
    } catch (const Failure&) {
        if (budget.hookFailure()) std::rethrow_exception(budget.hookFailure());
        if (budget.passed() == OpeningBudget::Passed::Cancelled) cancelled();
        if (budget.passed() == OpeningBudget::Passed::Records) tooManyRecords(*state, source);
        std::string what = "The record source '" + std::string(source) + "' ";
        if (budget.passed() == OpeningBudget::Passed::Time)
            fail(failure_code::kOpeningLimit, what + "took longer than " +
                                                  durationText(settings.limits.milliseconds) +
                                                  " to open, the limit of an opening.");
        if (budget.passed() == OpeningBudget::Passed::CopyBytes)
            fail(failure_code::kOpeningLimit, what + "needs a copy of its records larger than " +
                                                  std::to_string(settings.limits.copyBytes / (1024 * 1024)) +
                                                  " MB, the limit of an opening.");
        throw;
    }
    return state;
}

namespace {

// The fields and records of the record source, in the opening's transaction.
void openRecords(EngineRecordset::State& state, const OpenSettings& settings, std::string_view source,
                 const std::string& file, RecordCount& counted) {
    if (isStatement(source)) {
        if (settings.recordsetType == 0)
            fail(failure_code::kInvalidOperation,
                 "Invalid operation: a table-type recordset (RecordsetType 0) needs a table name, not a "
                 "statement.");
        Statement query = prepareRecordSource(state.db, source, source);
        materialize(state, query, source, source, counted);
    } else {
        std::string name = unquotedName(source);
        Statement lookup(state.db,
                         "SELECT type, name FROM main.sqlite_schema WHERE type IN ('table', 'view') "
                         "AND name = ?1 COLLATE NOCASE ORDER BY name = ?1 DESC LIMIT 1",
                         "reading the tables of " + file);
        sqlite3_bind_text(lookup.get(), 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        if (!lookup.step("reading the tables of " + file)) {
            // Not a table or view: perhaps a query that does not start with
            // SELECT (a comment first, say). Whatever it is, it passes the
            // same checks as any statement, or it is refused.
            Statement query;
            try {
                query = prepareRecordSource(state.db, source, source);
            } catch (const Failure& failure) {
                bool oneWord = name.find_first_of(" \t\r\n(") == std::string::npos;
                if (oneWord && failure.number() == failure_code::kRecordSourceSyntax)
                    fail(failure_code::kTableNotFound,
                         "Cannot find the input table or view '" + name + "' in " + file + ".");
                throw;
            }
            if (settings.recordsetType == 0)
                fail(failure_code::kInvalidOperation,
                     "Invalid operation: a table-type recordset (RecordsetType 0) needs a table name, not a "
                     "statement.");
            materialize(state, query, source, source, counted);
            return;
        }
        std::string type = reinterpret_cast<const char*>(sqlite3_column_text(lookup.get(), 0));
        std::string actual = reinterpret_cast<const char*>(sqlite3_column_text(lookup.get(), 1));
        lookup.reset();
        bool withoutRowid = false;
        if (type == "table") {
            Statement info(state.db,
                           "SELECT 1 FROM pragma_table_list WHERE schema = 'main' AND name = ?1 AND wr = 1",
                           "reading the tables of " + file);
            sqlite3_bind_text(info.get(), 1, actual.data(), static_cast<int>(actual.size()),
                              SQLITE_TRANSIENT);
            withoutRowid = info.step("reading the tables of " + file);
        }
        if (type == "view" && settings.recordsetType == 0)
            fail(failure_code::kInvalidOperation,
                 "Invalid operation: a table-type recordset (RecordsetType 0) needs a table, and '" + actual +
                     "' is a view.");
        if (type == "table" && !withoutRowid) {
            openTable(state, settings, actual, source);
        } else {
            std::string sql = "SELECT * FROM main." + quoteIdentifier(actual);
            if (withoutRowid) {
                // Pinned to primary-key order: a covering index could
                // otherwise decide the order of a plain scan.
                Statement pk(state.db,
                             "SELECT name FROM pragma_table_info(?1, 'main') WHERE pk > 0 ORDER BY pk",
                             "reading the tables of " + file);
                sqlite3_bind_text(pk.get(), 1, actual.data(), static_cast<int>(actual.size()),
                                  SQLITE_TRANSIENT);
                std::string order;
                while (pk.step("reading the tables of " + file)) {
                    order += order.empty() ? " ORDER BY " : ", ";
                    order += quoteIdentifier(reinterpret_cast<const char*>(sqlite3_column_text(pk.get(), 0)));
                }
                sql += order;
            }
            Statement query = prepareRecordSource(state.db, sql, source);
            materialize(state, query, sql, source, counted);
        }
    }
}

}  // namespace

}  // namespace quorvel::engine
