#include "engine/recordset.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>
#include <variant>

#include "engine/criteria.h"
#include "engine/data_engine.h"
#include "engine/field_values.h"
#include "engine/find_index.h"
#include "engine/index_worker.h"
#include "engine/like_pattern.h"
#include "engine/record_source.h"
#include "engine/sqlite_handle.h"
#include "engine/text_fold.h"
#include "platform/failure.h"
#include "platform/locale.h"
#include "platform/text.h"

namespace quorvel::engine {

// --- Fields ------------------------------------------------------------------

class RecordsetField final : public Field {
public:
    RecordsetField(SqliteRecordset& owner, std::int32_t index, std::uint32_t generation, std::string name,
                   std::int16_t type)
        : owner_(owner), index_(index), generation_(generation), name_(std::move(name)), type_(type) {}
    std::string name() const override { return name_; }
    std::int16_t type() const override { return type_; }
    Variant value() const override { return owner_.currentValue(index_, generation_); }

private:
    SqliteRecordset& owner_;
    std::int32_t index_;
    std::uint32_t generation_;
    std::string name_;
    std::int16_t type_;
};

class RecordsetFields final : public Fields {
public:
    explicit RecordsetFields(SqliteRecordset& owner) : owner_(owner) {}

    std::int16_t count() const override { return static_cast<std::int16_t>(current_.size()); }
    Field& item(std::int32_t index) override {
        if (index < 0 || static_cast<std::size_t>(index) >= current_.size())
            fail(failure::kItemNotFound,
                 "Item not found in this collection: there is no field number " + std::to_string(index) + ".");
        return *current_[static_cast<std::size_t>(index)];
    }
    Field& item(std::string_view name) override {
        for (auto& field : current_) {
            if (equalsIgnoringCase(field->name(), name)) return *field;
        }
        fail(failure::kItemNotFound,
             "Item not found in this collection: there is no field named '" + std::string(name) + "'.");
    }

    // A reopening brings new fields; the old objects stay alive, since a
    // caller may still hold a reference, and their values fail with 3265.
    void replace(std::vector<std::unique_ptr<RecordsetField>> fields) {
        for (auto& old : current_) retired_.push_back(std::move(old));
        current_ = std::move(fields);
    }

private:
    SqliteRecordset& owner_;
    std::vector<std::unique_ptr<RecordsetField>> current_;
    std::vector<std::unique_ptr<RecordsetField>> retired_;
};

// --- The open state ----------------------------------------------------------

namespace {

constexpr std::size_t kRowCacheSize = 64;

struct FieldInfo {
    std::string name;
    std::int16_t type = field_type::kText;
    std::string columnSql;  // the column in the row source, quoted
};

struct CachedRow {
    std::int32_t position = -1;
    std::uint32_t generation = 0;
    std::vector<Variant> values;
};

std::string rowidNameFor(const std::vector<std::string>& columnNames) {
    for (const char* candidate : {"rowid", "_rowid_", "oid"}) {
        bool shadowed = std::any_of(columnNames.begin(), columnNames.end(),
                                    [&](const std::string& c) { return equalsIgnoringCase(c, candidate); });
        if (!shadowed) return candidate;
    }
    return {};
}

}  // namespace

struct SqliteRecordset::State {
    Connection db;
    std::vector<FieldInfo> fields;
    std::vector<std::string> fieldNames;  // what criteria are resolved against
    std::string rowSource;   // SQL naming the rows: a quoted table or the TEMP copy
    std::string copyTable;   // the TEMP copy's name, when there is one
    std::string rowidName;   // the rowid column of rowSource
    std::int32_t count = 0;
    // Rowids in recordset order; empty when they run base, base + 1, ...
    // Shared with the index worker, which reads them; never changed once
    // the opening is done.
    std::shared_ptr<std::vector<std::int64_t>> rowids = std::make_shared<std::vector<std::int64_t>>();
    std::int64_t rowidBase = 1;
    Statement readRow;
    std::array<CachedRow, kRowCacheSize> cache;
    std::vector<FieldIndex> indexes;
    std::int32_t position = -1;
    // Set for a table read in place: its records are read from the database
    // file as they are asked for, each in a short transaction of its own,
    // so other connections' commits show.
    bool readsFile = false;
    // Looking for other connections' commits. Every read of the file
    // starts a transaction, and SQLite's pager counts the changes it meets
    // then (`pagerVersion`, read without touching the file). A probe, a
    // transaction of its own, only runs when no read looked at the file
    // for `freshness`. `epoch` counts the changes seen since the opening;
    // `indexEpoch[f]` is the epoch field f's index was built at, and an
    // index of an earlier epoch is stale: its answers are checked.
    Statement probe;
    std::chrono::steady_clock::duration freshness{};
    std::chrono::steady_clock::time_point lastLook;
    std::uint64_t pagerVersion = 0;
    std::uint64_t epoch = 0;
    std::vector<std::uint64_t> indexEpoch;
    // Per field: its rowid and value from a rowid on, in rowid order; checks
    // a candidate of a stale index and scans when there is no index.
    std::vector<Statement> keyReads;
    // What the opening may take.
    OpeningLimits limits;
    // Builds the indexes of a table read in place; last, so that it stops
    // before anything above goes.
    std::unique_ptr<IndexWorker> worker;

    std::int64_t rowidAt(std::int32_t p) const {
        return rowids->empty() ? rowidBase + p : (*rowids)[static_cast<std::size_t>(p)];
    }
};

namespace {

// Only a regular file (or a link to one) is a database: a FIFO would block
// the opening for ever, a device read as one gives nonsense. The files
// SQLite reads beside it are held to the same rule.
void checkFile(const std::string& path) {
    if (path.empty())
        fail(failure::kFileNotFound, "No database file is set: DatabaseName is empty.");
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) fail(failure::kFileNotFound, "Could not find file '" + path + "'.");
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
    sqlite3_busy_timeout(handle, static_cast<int>(std::clamp<std::int64_t>(
                                     limits.busyMilliseconds, 0, std::numeric_limits<int>::max())));
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
void assignTypes(SqliteRecordset::State& state, const Statement& stmt, FirstValue&& firstValue) {
    int n = sqlite3_column_count(stmt.get());
    for (int i = 0; i < n; ++i) {
        const char* declared = sqlite3_column_decltype(stmt.get(), i);
        auto code = declared != nullptr ? typeCodeOfDeclaration(declared) : std::nullopt;
        state.fields[static_cast<std::size_t>(i)].type = code ? *code : firstValue(i);
    }
}

// A field's name as the control shows it; the SQL keeps the column's own.
void addField(SqliteRecordset::State& state, std::string_view name, std::string columnSql) {
    state.fields.push_back({validUtf8(name), field_type::kText, std::move(columnSql)});
}

[[noreturn]] void tooManyRecords(const SqliteRecordset::State& state, std::string_view label) {
    fail(failure_code::kOpeningLimit, "The record source '" + std::string(label) + "' gives more than " +
                                          std::to_string(state.limits.records) +
                                          " records, the limit of an opening.");
}

void openTable(SqliteRecordset::State& state, const std::string& table, std::string_view label) {
    // Read from main by name: nothing of the engine's own can stand for it.
    std::string quoted = "main." + quoteIdentifier(table);
    Statement all(state.db, "SELECT * FROM " + quoted, "reading the columns of table '" + table + "'");
    std::vector<std::string> names = columnNamesOf(all);
    for (const auto& name : names) addField(state, name, quoteIdentifier(name));

    assignTypes(state, all, [&](int column) -> std::int16_t {
        const std::string& col = state.fields[static_cast<std::size_t>(column)].columnSql;
        Statement first(state.db, "SELECT " + col + " FROM " + quoted + " WHERE " + col + " IS NOT NULL LIMIT 1",
                        "reading table '" + table + "'");
        if (!first.step("reading table '" + table + "'")) return field_type::kText;
        return inferredTypeCode(first.get(), 0);
    });

    state.rowSource = quoted;
    state.rowidName = rowidNameFor(names);
    Statement ids(state.db, "SELECT " + state.rowidName + " FROM " + quoted + " ORDER BY " + state.rowidName,
                  "reading the records of table '" + table + "'");
    // Tables that never lost a record have rowids base, base + 1, ...: then
    // the positions alone say which row is which, and the rowids take no
    // memory. They are only stored from the first gap on.
    std::string context = "reading the records of table '" + table + "'";
    std::int64_t count = 0, base = 1;
    std::vector<std::int64_t>& rowids = *state.rowids;
    while (ids.step(context)) {
        std::int64_t rowid = sqlite3_column_int64(ids.get(), 0);
        if (count == 0) base = rowid;
        if (rowids.empty() && rowid != base + count) {
            rowids.reserve(static_cast<std::size_t>(count) * 2 + 1024);
            for (std::int64_t i = 0; i < count; ++i) rowids.push_back(base + i);
        }
        if (!rowids.empty()) rowids.push_back(rowid);
        if (++count > std::numeric_limits<std::int32_t>::max())
            fail(failure::kOutOfMemory, "Table '" + table + "' has more records than a recordset can count.");
        if (count > state.limits.records) tooManyRecords(state, label);
    }
    rowids.shrink_to_fit();
    state.count = static_cast<std::int32_t>(count);
    state.rowidBase = base;
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
// faster than a row at a time through the API; it stops one record past the
// limit of an opening. The statement text was checked on its own (one
// read-only query) before it is placed here; when the combined text does
// not prepare (a trailing unterminated comment, say), there is no fast copy
// and the caller copies row by row.
Statement bulkCopy(SqliteRecordset::State& state, std::string_view source) {
    std::string sql = "INSERT INTO temp." + quoteIdentifier(state.copyTable) + " SELECT * FROM (\n";
    sql += source;
    sql += "\n) LIMIT " + std::to_string(state.limits.records + 1);
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
std::string copyTableName(SqliteRecordset::State& state, std::string_view source) {
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

// Copies the rows of a prepared query into a TEMP table, in the query's
// order, so that each position becomes a rowid. `label` is what the user
// wrote, for the failures.
void materialize(SqliteRecordset::State& state, Statement& query, std::string_view source,
                 std::string_view label) {
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
        bulk.step(context);
        for (int i = 0; i < n; ++i) {
            auto& type = types[static_cast<std::size_t>(i)];
            if (type) continue;
            const std::string& col = state.fields[static_cast<std::size_t>(i)].columnSql;
            Statement first(state.db, "SELECT " + col + " FROM " + table + " WHERE " + col +
                                          " IS NOT NULL ORDER BY rowid LIMIT 1", context);
            if (first.step(context)) type = inferredTypeCode(first.get(), 0);
        }
    } else {
        Statement add(state.db, insert, "preparing the records");
        std::int64_t copied = 0;
        while (query.step(context)) {
            if (++copied > state.limits.records) tooManyRecords(state, label);
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
    state.rowidBase = 1;
}

// The pager's count of the file's changes, as of the connection's last
// transaction: kept in memory, no system call.
std::uint64_t pagerVersion(const Connection& db) {
    unsigned int version = 0;
    sqlite3_file_control(db.get(), "main", SQLITE_FCNTL_DATA_VERSION, &version);
    return version;
}

// A field's keys, added by rowid in rowid order, into an index by position.
// A table read in place may have lost records since the opening (their
// positions get no key, so a find never lands on them) or gained some
// (not in the list: passed over).
class KeyCollector {
public:
    KeyCollector(KeyKind kind, std::int32_t count, std::shared_ptr<const std::vector<std::int64_t>> rowids,
                 std::int64_t rowidBase)
        : kind_(kind), count_(count), rowids_(std::move(rowids)), base_(rowidBase) {
        if (kind_ == KeyKind::Text) {
            text_.reserve(static_cast<std::size_t>(count), static_cast<std::size_t>(count) * 16);
        } else {
            number_.reserve(static_cast<std::size_t>(count));
        }
    }

    // A row of the scan: its rowid in column 0, the field in column 1.
    void add(sqlite3_stmt* row) {
        std::int64_t rowid = sqlite3_column_int64(row, 0);
        while (next_ < count_ && rowidAt(next_) < rowid) addNull();
        if (next_ >= count_ || rowidAt(next_) != rowid) return;
        ++next_;
        if (kind_ != KeyKind::Text) {
            number_.add(numberKeyOf(row, 1, kind_));
            return;
        }
        int storage = sqlite3_column_type(row, 1);
        if (storage == SQLITE_NULL || storage == SQLITE_BLOB) {
            text_.addNull();
            return;
        }
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, 1));
        text_.add(std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(row, 1))));
    }

    FieldIndex finish() {
        while (next_ < count_) addNull();
        if (kind_ == KeyKind::Text) {
            text_.finish();
            return std::move(text_);
        }
        number_.finish();
        return std::move(number_);
    }

private:
    std::int64_t rowidAt(std::int32_t p) const {
        return rowids_->empty() ? base_ + p : (*rowids_)[static_cast<std::size_t>(p)];
    }
    void addNull() {
        if (kind_ == KeyKind::Text) text_.addNull();
        else number_.add(std::nullopt);
        ++next_;
    }

    KeyKind kind_;
    std::int32_t count_;
    std::shared_ptr<const std::vector<std::int64_t>> rowids_;
    std::int64_t base_;
    std::int32_t next_ = 0;
    TextKeyIndex text_;
    NumberKeyIndex number_;
};

// What building a field's index reads.
struct KeySource {
    std::string rowSource;
    std::string rowidName;
    std::vector<std::string> columnSql;
    std::vector<KeyKind> kinds;
    std::int32_t count = 0;
    std::shared_ptr<const std::vector<std::int64_t>> rowids;
    std::int64_t rowidBase = 1;
};

// Builds on the worker thread, over a read-only connection of its own
// opened there. The table is read in slices of rowids, each its own short
// transaction, so that in rollback-journal mode a writer waits on the
// worker for at most the time of a slice (about a millisecond), and only
// when the worker is building. A commit
// between two slices makes an index that mixes both states; the recordset
// sees that commit too and checks the index's answers until the next
// build, as it does for any index older than the last commit it saw.
class TableIndexBuilder final : public IndexBuilder {
public:
    TableIndexBuilder(std::string path, OpeningLimits limits, KeySource source, std::function<void()> beforeBuild)
        : path_(std::move(path)), limits_(limits), source_(std::move(source)), beforeBuild_(std::move(beforeBuild)) {}

    FieldIndex build(std::size_t field) override {
        if (beforeBuild_) beforeBuild_();
        if (!db_) {
            Connection db(path_);
            configure(db, limits_);
            std::lock_guard lock(mutex_);
            db_ = std::move(db);
        }
        // sqlite3_interrupt stops only a statement that is running: a stop
        // asked for while the connection opened or between two slices is
        // seen here.
        stopIfAsked();
        static constexpr int kSlice = 8192;
        std::string context = "indexing a field";
        Statement slice(db_,
                        "SELECT " + source_.rowidName + ", " + source_.columnSql[field] + " FROM " +
                            source_.rowSource + " WHERE " + source_.rowidName + " > ?1 ORDER BY " +
                            source_.rowidName + " LIMIT " + std::to_string(kSlice),
                        context);
        KeyCollector keys(source_.kinds[field], source_.count, source_.rowids, source_.rowidBase);
        std::int64_t after = std::numeric_limits<std::int64_t>::min();
        while (true) {
            stopIfAsked();
            sqlite3_bind_int64(slice.get(), 1, after);
            int rows = 0;
            while (slice.step(context)) {
                keys.add(slice.get());
                after = sqlite3_column_int64(slice.get(), 0);
                ++rows;
            }
            slice.reset();
            if (rows < kSlice) break;
        }
        return keys.finish();
    }

    void interrupt() override {
        stop_ = true;
        std::lock_guard lock(mutex_);
        if (db_) sqlite3_interrupt(db_.get());
    }

private:
    void stopIfAsked() const {
        if (stop_) fail(SQLITE_INTERRUPT, "The index build was stopped.");
    }

    std::atomic<bool> stop_{false};
    std::string path_;
    OpeningLimits limits_;
    KeySource source_;
    std::function<void()> beforeBuild_;
    std::mutex mutex_;  // the connection, against interrupt() on the list's thread
    Connection db_;
};

// The reading statement and the starting position, once the rows are known.
void finishState(SqliteRecordset::State* state, const OpenSettings& settings) {
    std::string columns;
    for (const auto& field : state->fields) {
        columns += columns.empty() ? "" : ", ";
        columns += field.columnSql;
    }
    state->readRow = Statement(state->db,
                               "SELECT " + columns + " FROM " + state->rowSource + " WHERE " + state->rowidName + " = ?1",
                               "preparing to read records");
    state->indexes.resize(state->fields.size());
    state->indexEpoch.assign(state->fields.size(), 0);
    for (const auto& field : state->fields) state->fieldNames.push_back(field.name);
    state->position = state->count > 0 ? 0 : -1;
    state->readsFile = state->copyTable.empty();
    // Only a WAL file is read in the background: there readers never stand
    // in a writer's way. In rollback-journal mode a reader's shared lock
    // makes another connection's commit fail at once (SQLITE_BUSY) unless
    // it set a busy timeout, and the list must not cause that at moments
    // its caller does not choose.
    bool wal = false;
    if (state->readsFile && settings.backgroundIndexes) {
        Statement mode(state->db, "PRAGMA main.journal_mode", "opening the records");
        wal = mode.step("opening the records") &&
              equalsIgnoringCase(reinterpret_cast<const char*>(sqlite3_column_text(mode.get(), 0)), "wal");
    }
    if (state->readsFile) {
        state->probe = Statement(state->db, "PRAGMA main.data_version", "preparing to read records");
        state->freshness = std::chrono::milliseconds(settings.freshnessMilliseconds);
        for (const auto& field : state->fields)
            state->keyReads.emplace_back(state->db,
                                         "SELECT " + state->rowidName + ", " + field.columnSql + " FROM " +
                                             state->rowSource + " WHERE " + state->rowidName + " >= ?1 ORDER BY " +
                                             state->rowidName,
                                         "preparing to read records");
    }
    // The opening's transaction ends here. Held for the recordset's life it
    // would keep a shared lock on the file, and in rollback-journal mode no
    // other connection (the application's own, say) could commit a write.
    state->db.exec("COMMIT", "opening the records");
    if (state->readsFile) {
        state->pagerVersion = pagerVersion(state->db);
        state->lastLook = std::chrono::steady_clock::now();
        if (wal) {
            KeySource source{state->rowSource, state->rowidName, {}, {}, state->count, state->rowids,
                             state->rowidBase};
            for (const auto& field : state->fields) {
                source.columnSql.push_back(field.columnSql);
                source.kinds.push_back(keyKindOf(field.type));
            }
            state->worker = std::make_unique<IndexWorker>(std::make_unique<TableIndexBuilder>(
                settings.databaseName, settings.limits, std::move(source), settings.beforeBackgroundBuild));
        }
    }
}

// The limits of one opening over its connection: time and the size of the
// TEMP copy through SQLite's progress handler, which interrupts the
// statement running when one is passed; the records where they are counted.
class OpeningBudget {
public:
    enum class Passed : std::uint8_t { None, Time, CopyBytes };

    OpeningBudget(sqlite3* db, const OpeningLimits& limits)
        : db_(db),
          deadline_(std::chrono::steady_clock::now() + std::chrono::milliseconds(limits.milliseconds)),
          copyBytes_(limits.copyBytes) {
        sqlite3_progress_handler(db_, kInstructions, &OpeningBudget::tick, this);
    }
    ~OpeningBudget() { sqlite3_progress_handler(db_, 0, nullptr, nullptr); }
    OpeningBudget(const OpeningBudget&) = delete;
    OpeningBudget& operator=(const OpeningBudget&) = delete;

    Passed passed() const { return passed_; }

private:
    static constexpr int kInstructions = 1000;

    static int tick(void* self) {
        auto& budget = *static_cast<OpeningBudget*>(self);
        if (std::chrono::steady_clock::now() >= budget.deadline_) {
            budget.passed_ = Passed::Time;
            return 1;
        }
        // The copy's file, once SQLite has spilled pages to it (its page
        // cache of a few MB comes on top); asked every 16th time.
        if ((++budget.ticks_ & 15) != 0) return 0;
        sqlite3_file* file = nullptr;
        sqlite3_int64 size = 0;
        if (sqlite3_file_control(budget.db_, "temp", SQLITE_FCNTL_FILE_POINTER, &file) == SQLITE_OK &&
            file != nullptr && file->pMethods != nullptr && file->pMethods->xFileSize(file, &size) == SQLITE_OK &&
            size > budget.copyBytes_) {
            budget.passed_ = Passed::CopyBytes;
            return 1;
        }
        return 0;
    }

    sqlite3* db_;
    std::chrono::steady_clock::time_point deadline_;
    std::int64_t copyBytes_;
    std::uint32_t ticks_ = 0;
    Passed passed_ = Passed::None;
};

void openRecords(SqliteRecordset::State& state, const OpenSettings& settings, std::string_view source,
                 const std::string& file);

std::string durationText(std::int64_t milliseconds) {
    if (milliseconds % 1000 == 0) return std::to_string(milliseconds / 1000) + " s";
    return std::to_string(milliseconds) + " ms";
}

std::unique_ptr<SqliteRecordset::State> openState(const OpenSettings& settings, const Connection* predecessor) {
    checkFile(settings.databaseName);
    std::string_view source = trimmedSource(settings.recordSource);
    if (source.empty())
        fail(failure::kObjectNotSet, "The data control has no RecordSource, so it has no recordset to open.");

    auto state = std::make_unique<SqliteRecordset::State>();
    state->limits = settings.limits;
    state->db = Connection(settings.databaseName, predecessor);
    configure(state->db, settings.limits);
    std::string file = "'" + settings.databaseName + "'";
    OpeningBudget budget(state->db.get(), settings.limits);
    try {
        // One read transaction for the opening: the fields, the rowids and
        // the copy of a statement's rows come from one snapshot. It ends
        // once the records are known (finishState).
        state->db.exec("BEGIN", "opening " + file);
        openRecords(*state, settings, source, file);
        finishState(state.get(), settings);
    } catch (const Failure&) {
        std::string what = "The record source '" + std::string(source) + "' ";
        if (budget.passed() == OpeningBudget::Passed::Time)
            fail(failure_code::kOpeningLimit, what + "took longer than " + durationText(settings.limits.milliseconds) +
                                                  " to open, the limit of an opening.");
        if (budget.passed() == OpeningBudget::Passed::CopyBytes)
            fail(failure_code::kOpeningLimit, what + "needs a copy of its records larger than " +
                                                  std::to_string(settings.limits.copyBytes / (1024 * 1024)) +
                                                  " MB, the limit of an opening.");
        throw;
    }
    return state;
}

// The fields and records of the record source, in the opening's transaction.
void openRecords(SqliteRecordset::State& state, const OpenSettings& settings, std::string_view source,
                 const std::string& file) {
    if (isStatement(source)) {
        if (settings.recordsetType == 0)
            fail(failure_code::kInvalidOperation,
                 "Invalid operation: a table-type recordset (RecordsetType 0) needs a table name, not a statement.");
        Statement query = prepareRecordSource(state.db, source, source);
        materialize(state, query, source, source);
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
                     "Invalid operation: a table-type recordset (RecordsetType 0) needs a table name, not a statement.");
            materialize(state, query, source, source);
            return;
        }
        std::string type = reinterpret_cast<const char*>(sqlite3_column_text(lookup.get(), 0));
        std::string actual = reinterpret_cast<const char*>(sqlite3_column_text(lookup.get(), 1));
        lookup.reset();
        bool withoutRowid = false;
        if (type == "table") {
            Statement info(state.db, "SELECT 1 FROM pragma_table_list WHERE schema = 'main' AND name = ?1 AND wr = 1",
                           "reading the tables of " + file);
            sqlite3_bind_text(info.get(), 1, actual.data(), static_cast<int>(actual.size()), SQLITE_TRANSIENT);
            withoutRowid = info.step("reading the tables of " + file);
        }
        if (type == "view" && settings.recordsetType == 0)
            fail(failure_code::kInvalidOperation,
                 "Invalid operation: a table-type recordset (RecordsetType 0) needs a table, and '" + actual +
                     "' is a view.");
        if (type == "table" && !withoutRowid) {
            openTable(state, actual, source);
        } else {
            std::string sql = "SELECT * FROM main." + quoteIdentifier(actual);
            if (withoutRowid) {
                // Pinned to primary-key order: a covering index could
                // otherwise decide the order of a plain scan.
                Statement pk(state.db, "SELECT name FROM pragma_table_info(?1, 'main') WHERE pk > 0 ORDER BY pk",
                             "reading the tables of " + file);
                sqlite3_bind_text(pk.get(), 1, actual.data(), static_cast<int>(actual.size()), SQLITE_TRANSIENT);
                std::string order;
                while (pk.step("reading the tables of " + file)) {
                    order += order.empty() ? " ORDER BY " : ", ";
                    order += quoteIdentifier(reinterpret_cast<const char*>(sqlite3_column_text(pk.get(), 0)));
                }
                sql += order;
            }
            Statement query = prepareRecordSource(state.db, sql, source);
            materialize(state, query, sql, source);
        }
    }
}

}  // namespace

// --- SqliteRecordset ---------------------------------------------------------

SqliteRecordset::SqliteRecordset(OpenSettings settings)
    : settings_(std::move(settings)), fields_(std::make_unique<RecordsetFields>(*this)) {}

SqliteRecordset::~SqliteRecordset() = default;

std::shared_ptr<SqliteRecordset> SqliteRecordset::open(const OpenSettings& settings,
                                                       const SqliteRecordset* replacing) {
    std::shared_ptr<SqliteRecordset> recordset(new SqliteRecordset(settings));
    recordset->reopen(replacing);
    return recordset;
}

void SqliteRecordset::reopen(const SqliteRecordset* replacing) {
    // The fields searched before are the ones searched next.
    std::vector<std::string> searched;
    const State* before = state_ ? state_.get() : replacing != nullptr ? replacing->state_.get() : nullptr;
    if (before != nullptr) {
        for (std::size_t f = 0; f < before->indexes.size(); ++f) {
            if (!std::holds_alternative<std::monostate>(before->indexes[f])) searched.push_back(before->fields[f].name);
        }
    }
    close();
    auto state = openState(settings_, replacing != nullptr && replacing->state_ ? &replacing->state_->db : nullptr);
    ++generation_;
    std::vector<std::unique_ptr<RecordsetField>> fields;
    for (std::size_t i = 0; i < state->fields.size(); ++i)
        fields.push_back(std::make_unique<RecordsetField>(*this, static_cast<std::int32_t>(i), generation_,
                                                          state->fields[i].name, state->fields[i].type));
    fields_->replace(std::move(fields));
    state_ = std::move(state);
    noMatch_ = kFalse;
    prebuildIndexes(searched);
}

void SqliteRecordset::prebuildIndexes(const std::vector<std::string>& searched) {
    State& s = state();
    if (!s.worker) return;
    bool any = false;
    for (std::size_t f = 0; f < s.fields.size(); ++f) {
        bool wanted = std::any_of(searched.begin(), searched.end(),
                                  [&](const std::string& name) { return name == s.fields[f].name; });
        if (wanted && keyKindOf(s.fields[f].type) != KeyKind::None) {
            s.worker->request(f, s.epoch);
            any = true;
        }
    }
    if (any) return;
    // A first opening: lists are mostly searched by a name, the first text.
    for (std::size_t f = 0; f < s.fields.size(); ++f) {
        if (keyKindOf(s.fields[f].type) == KeyKind::Text) {
            s.worker->request(f, s.epoch);
            return;
        }
    }
}

void SqliteRecordset::close() {
    if (!state_) return;
    state_.reset();
    fields_->replace({});
}

SqliteRecordset::State& SqliteRecordset::state() const {
    if (!state_) fail(failure::kObjectNotSet, "The recordset is closed: its opening failed or it was closed.");
    return *state_;
}

void SqliteRecordset::addListener(RecordsetListener* listener) {
    if (std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) listeners_.push_back(listener);
}

void SqliteRecordset::removeListener(RecordsetListener* listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

std::size_t SqliteRecordset::memoryBytes() const {
    if (!state_) return 0;
    std::size_t bytes = sizeof(State) + state_->rowids->capacity() * sizeof(std::int64_t);
    for (const auto& index : state_->indexes) {
        if (auto* text = std::get_if<TextKeyIndex>(&index)) bytes += text->memoryBytes();
        if (auto* number = std::get_if<NumberKeyIndex>(&index)) bytes += number->memoryBytes();
    }
    for (const auto& row : state_->cache) bytes += row.values.capacity() * sizeof(Variant);
    return bytes;
}

Fields& SqliteRecordset::fields() {
    state();
    return *fields_;
}

std::int32_t SqliteRecordset::recordCount() { return state().count; }

VBool SqliteRecordset::noMatch() const {
    state();
    return noMatch_;
}

bool SqliteRecordset::bof() const {
    const State& s = state();
    return s.count == 0 || s.position < 0;
}

bool SqliteRecordset::eof() const {
    const State& s = state();
    return s.count == 0 || s.position >= s.count;
}

std::int32_t SqliteRecordset::absolutePosition() const {
    const State& s = state();
    return s.position >= 0 && s.position < s.count ? s.position : -1;
}

bool SqliteRecordset::mayLeave(std::int16_t action) {
    const State& s = state();
    if (s.position < 0 || s.position >= s.count || listeners_.empty()) return true;
    std::int16_t save = kFalse;
    auto listeners = listeners_;
    for (auto* listener : listeners) listener->recordsetValidate(action, save);
    return action != validate_action::kCancel;
}

void SqliteRecordset::notifyMoved() {
    auto keepAlive = shared_from_this();
    auto listeners = listeners_;
    for (auto* listener : listeners) {
        if (std::find(listeners_.begin(), listeners_.end(), listener) != listeners_.end()) listener->recordsetMoved();
    }
}

bool SqliteRecordset::moveTo(std::int32_t position, std::int16_t action) {
    auto keepAlive = shared_from_this();
    if (!mayLeave(action)) return false;
    // A validate handler may have closed or reopened the recordset.
    state().position = position;
    notifyMoved();
    return true;
}

[[noreturn]] static void noCurrentRecord() {
    fail(failure::kNoCurrentRecord, "No current record.");
}

void SqliteRecordset::moveFirst() {
    if (state().count == 0) noCurrentRecord();
    moveTo(0, validate_action::kMoveFirst);
}

void SqliteRecordset::moveLast(std::int32_t) {
    if (state().count == 0) noCurrentRecord();
    moveTo(state().count - 1, validate_action::kMoveLast);
}

void SqliteRecordset::moveNext() {
    if (eof()) noCurrentRecord();
    moveTo(state().position + 1, validate_action::kMoveNext);
}

void SqliteRecordset::movePrevious() {
    if (bof()) noCurrentRecord();
    moveTo(state().position - 1, validate_action::kMovePrevious);
}

void SqliteRecordset::setAbsolutePosition(std::int32_t position) {
    if (position < 0 || position >= state().count)
        fail(failure::kNoCurrentRecord, "No current record: there is no record at position " +
                                            std::to_string(position) + ".");
    moveTo(position, validate_action::kBookmark);
}

void SqliteRecordset::lookAtFile() {
    State& s = state();
    if (!s.readsFile) return;
    if (s.freshness.count() > 0 && std::chrono::steady_clock::now() - s.lastLook < s.freshness) return;
    s.probe.reset();
    s.probe.step("looking for changes to the database");
    s.probe.reset();
    noteReadVersion();
}

void SqliteRecordset::noteReadVersion() {
    State& s = state();
    if (!s.readsFile) return;
    s.lastLook = std::chrono::steady_clock::now();
    std::uint64_t version = pagerVersion(s.db);
    if (version == s.pagerVersion) return;
    s.pagerVersion = version;
    fileChanged();
}

void SqliteRecordset::fileChanged() {
    // Another connection committed: what was read before may be stale.
    // The positions stay (they are the rowids taken at opening); the rows
    // are read again, and the find indexes are built again beside the ones
    // in use, which answer meanwhile, each answer checked.
    State& s = state();
    ++s.epoch;
    for (auto& cached : s.cache) {
        cached.position = -1;
        cached.values.clear();
    }
    for (std::size_t f = 0; f < s.indexes.size(); ++f) {
        bool wanted = !std::holds_alternative<std::monostate>(s.indexes[f]) || (s.worker && s.worker->pending(f));
        if (!wanted) continue;
        if (s.worker) s.worker->request(f, s.epoch);
        else s.indexes[f] = std::monostate{};  // built again at the next find on it
    }
}

void SqliteRecordset::takeBuiltIndexes() {
    State& s = state();
    if (!s.worker || !s.worker->hasResults()) return;
    for (auto& built : s.worker->take()) {
        if (std::holds_alternative<std::monostate>(built.index)) continue;
        FieldIndex& index = s.indexes[built.field];
        if (!std::holds_alternative<std::monostate>(index) && s.indexEpoch[built.field] > built.epoch) continue;
        index = std::move(built.index);
        s.indexEpoch[built.field] = built.epoch;
    }
}

void SqliteRecordset::waitForIndexes() {
    State& s = state();
    if (!s.worker) return;
    s.worker->waitIdle();
    takeBuiltIndexes();
}

std::uint64_t SqliteRecordset::changesSeen() const { return state().epoch; }

const std::vector<Variant>& SqliteRecordset::row(std::int32_t position) {
    State& s = state();
    CachedRow& slot = s.cache[static_cast<std::size_t>(position) % kRowCacheSize];
    if (slot.position == position && slot.generation == generation_) return slot.values;

    slot.position = -1;
    slot.values.clear();
    try {
        // The read's own transaction looks at the file: a commit it meets
        // makes the other cached rows stale, not this one (the values are
        // written into the slot only after that).
        s.readRow.reset();
        sqlite3_bind_int64(s.readRow.get(), 1, s.rowidAt(position));
        bool there = s.readRow.step("reading record " + std::to_string(position));
        noteReadVersion();
        if (!there)
            fail(failure_code::kRecordDeleted,
                 "Record is deleted: record " + std::to_string(position) + " of '" + settings_.recordSource +
                     "' was deleted by another user after the list was opened.");
        for (std::size_t i = 0; i < s.fields.size(); ++i)
            slot.values.push_back(variantOf(s.readRow.get(), static_cast<int>(i), s.fields[i].type));
        s.readRow.reset();
    } catch (const Failure& failure) {
        s.readRow.reset();
        std::int16_t dataErr = static_cast<std::int16_t>(failure.number());
        std::int16_t response = error_response::kDisplay;
        auto keepAlive = shared_from_this();
        auto listeners = listeners_;
        for (auto* listener : listeners) listener->recordsetError(dataErr, response);
        if (response != error_response::kContinue && dataErr != 0) {
            if (dataErr == failure.number()) throw;
            fail(dataErr, failure.description());
        }
        // The handler chose to go on: the unreadable record reads as Nulls
        // (not cached, so a later read tries again).
        thread_local std::vector<Variant> nulls;
        nulls.assign(state().fields.size(), Variant::null());
        return nulls;
    }
    slot.position = position;
    slot.generation = generation_;
    return slot.values;
}

Variant SqliteRecordset::valueAt(std::int32_t position, std::int32_t fieldIndex) {
    State& s = state();
    if (fieldIndex < 0 || static_cast<std::size_t>(fieldIndex) >= s.fields.size())
        fail(failure::kItemNotFound,
             "Item not found in this collection: there is no field number " + std::to_string(fieldIndex) + ".");
    if (position < 0 || position >= s.count)
        fail(failure::kNoCurrentRecord,
             "No current record: there is no record at position " + std::to_string(position) + ".");
    return row(position)[static_cast<std::size_t>(fieldIndex)];
}

Variant SqliteRecordset::currentValue(std::int32_t fieldIndex, std::uint32_t generation) {
    State& s = state();
    if (generation != generation_)
        fail(failure::kItemNotFound, "Item not found in this collection: the field belongs to an earlier opening "
                                     "of the recordset.");
    if (s.position < 0 || s.position >= s.count) noCurrentRecord();
    return valueAt(s.position, fieldIndex);
}

// --- Finding -----------------------------------------------------------------

namespace {

std::string isoText(double serial) {
    CivilDateTime t = civilFromSerial(serial);
    char buffer[32];
    if (t.hour == 0 && t.minute == 0 && t.second == 0)
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", t.year, t.month, t.day);
    else
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                      t.minute, t.second);
    return buffer;
}

[[noreturn]] void mismatch(std::string_view criteria, std::string_view why) {
    fail(failure_code::kCriteriaTypeMismatch,
         "Data type mismatch in criteria expression '" + std::string(criteria) + "': " + std::string(why) + ".");
}

// The criteria value as a key of a number, Boolean or date field.
double numberKeyOfValue(std::string_view criteria, const CriteriaValue& value, KeyKind kind) {
    if (value.kind != CriteriaValue::Kind::Text) {
        if (kind == KeyKind::Boolean) return value.number != 0 ? -1.0 : 0.0;
        return value.number;
    }
    std::string_view text = value.text;
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (kind == KeyKind::Date) {
        if (auto serial = serialFromIsoText(text)) return *serial;
        try {
            return parseCriteria("d = #" + std::string(text) + "#", std::array<std::string, 1>{"d"}).value.number;
        } catch (const Failure&) {
            mismatch(criteria, "\"" + std::string(text) + "\" is not a date");
        }
    }
    if (kind == KeyKind::Boolean) {
        if (equalsIgnoringCase(text, "true")) return -1.0;
        if (equalsIgnoringCase(text, "false")) return 0.0;
    }
    try {
        auto parsed = parseCriteria("n = " + std::string(text), std::array<std::string, 1>{"n"});
        if (parsed.value.kind == CriteriaValue::Kind::Number)
            return kind == KeyKind::Boolean ? (parsed.value.number != 0 ? -1.0 : 0.0) : parsed.value.number;
    } catch (const Failure&) {
    }
    mismatch(criteria, "\"" + std::string(text) + "\" is not a number");
}

}  // namespace

// The criteria as a test of one stored value, with the keys the index
// compares: what an index answers, asked of a row read from the file.
struct KeyTest {
    KeyKind kind = KeyKind::Text;
    CriteriaOp op = CriteriaOp::Equal;
    std::string textKey;
    std::optional<LikePattern> pattern;
    double numberKey = 0;

    bool matches(sqlite3_stmt* row, int column) const {
        if (kind != KeyKind::Text) {
            std::optional<double> key = numberKeyOf(row, column, kind);
            if (!key) return false;
            return op == CriteriaOp::Equal ? *key == numberKey : *key >= numberKey;
        }
        int storage = sqlite3_column_type(row, column);
        if (storage == SQLITE_NULL || storage == SQLITE_BLOB) return false;
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, column));
        // One buffer for the whole scan, as the index's own collection does.
        std::string& key = scratch_;
        key.clear();
        appendFolded(std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(row, column))), key);
        switch (op) {
            case CriteriaOp::Equal: return key == textKey;
            case CriteriaOp::GreaterOrEqual: return key >= textKey;
            case CriteriaOp::Like: return pattern->matches(key);
        }
        return false;
    }

private:
    mutable std::string scratch_;
};

namespace {

std::int32_t firstIn(const FieldIndex& index, const KeyTest& test) {
    if (const auto* text = std::get_if<TextKeyIndex>(&index)) {
        switch (test.op) {
            case CriteriaOp::Equal: return text->firstEqual(test.textKey);
            case CriteriaOp::GreaterOrEqual: return text->firstAtOrAfter(test.textKey);
            case CriteriaOp::Like: return text->firstLike(*test.pattern);
        }
    }
    const auto& number = std::get<NumberKeyIndex>(index);
    return test.op == CriteriaOp::Equal ? number.firstEqual(test.numberKey) : number.firstAtOrAfter(test.numberKey);
}

}  // namespace

std::int32_t SqliteRecordset::findPosition(std::string_view criteria) {
    State& s = state();
    lookAtFile();
    takeBuiltIndexes();
    Criteria parsed = parseCriteria(criteria, s.fieldNames);
    const auto f = static_cast<std::size_t>(parsed.fieldIndex);
    const FieldInfo& field = s.fields[f];
    KeyTest test;
    test.kind = keyKindOf(field.type);
    test.op = parsed.op;
    if (test.kind == KeyKind::None) mismatch(criteria, "field '" + field.name + "' holds binary data");
    if (test.kind != KeyKind::Text && parsed.op == CriteriaOp::Like)
        mismatch(criteria, "Like compares text, and field '" + field.name + "' is not a text field");
    if (test.kind == KeyKind::Text) {
        const CriteriaValue& v = parsed.value;
        std::string text = v.kind == CriteriaValue::Kind::Date ? isoText(v.number) : v.text;
        if (parsed.op == CriteriaOp::Like) test.pattern = LikePattern::compile(text);
        else test.textKey = folded(text);
    } else {
        test.numberKey = numberKeyOfValue(criteria, parsed.value, test.kind);
    }

    if (std::holds_alternative<std::monostate>(s.indexes[f])) {
        if (s.worker) {
            // The index is on its way: the records answer meanwhile.
            s.worker->request(f, s.epoch);
            return scanFor(f, test);
        }
        Statement scan(s.db,
                       "SELECT " + s.rowidName + ", " + field.columnSql + " FROM " + s.rowSource + " ORDER BY " +
                           s.rowidName,
                       "indexing field '" + field.name + "'");
        std::string context = "indexing field '" + field.name + "'";
        KeyCollector keys(test.kind, s.count, s.rowids, s.rowidBase);
        while (scan.step(context)) keys.add(scan.get());
        scan.reset();
        noteReadVersion();
        s.indexes[f] = keys.finish();
        s.indexEpoch[f] = s.epoch;
    }
    return answerFromIndex(f, test);
}

std::int32_t SqliteRecordset::answerFromIndex(std::size_t f, const KeyTest& test) {
    State& s = state();
    std::int32_t candidate = firstIn(s.indexes[f], test);
    if (!s.readsFile || candidate < 0 || s.indexEpoch[f] == s.epoch) return candidate;
    // The index is older than a commit seen since: its candidate is read
    // and tested now, and when the commit changed it, the records answer.
    if (s.worker && !s.worker->pending(f)) s.worker->request(f, s.epoch);
    Statement& read = s.keyReads[f];
    read.reset();
    std::int64_t rowid = s.rowidAt(candidate);
    sqlite3_bind_int64(read.get(), 1, rowid);
    bool still = read.step("finding in field '" + s.fields[f].name + "'") &&
                 sqlite3_column_int64(read.get(), 0) == rowid && test.matches(read.get(), 1);
    read.reset();
    noteReadVersion();
    return still ? candidate : scanFor(f, test);
}

std::int32_t SqliteRecordset::scanFor(std::size_t f, const KeyTest& test) {
    State& s = state();
    if (s.count == 0) return -1;
    Statement& read = s.keyReads[f];
    read.reset();
    sqlite3_bind_int64(read.get(), 1, s.rowidAt(0));
    std::string context = "finding in field '" + s.fields[f].name + "'";
    std::int32_t next = 0, found = -1;
    std::uint32_t rows = 0;
    bool indexReady = false;
    while (read.step(context)) {
        // An index the worker finishes meanwhile answers the rest at once.
        if ((++rows & 4095) == 0 && s.worker && s.worker->hasResults()) {
            takeBuiltIndexes();
            if (!std::holds_alternative<std::monostate>(s.indexes[f]) && s.indexEpoch[f] == s.epoch) {
                indexReady = true;
                break;
            }
        }
        std::int64_t rowid = sqlite3_column_int64(read.get(), 0);
        while (next < s.count && s.rowidAt(next) < rowid) ++next;
        if (next >= s.count) break;
        if (s.rowidAt(next) != rowid) continue;  // added since the opening
        if (test.matches(read.get(), 1)) {
            found = next;
            break;
        }
        ++next;
    }
    read.reset();
    noteReadVersion();
    if (indexReady) return answerFromIndex(f, test);
    return found;
}

void SqliteRecordset::findFirst(std::string_view criteria) {
    auto keepAlive = shared_from_this();
    std::int32_t found = -1;
    try {
        found = findPosition(criteria);
    } catch (const Failure& failure) {
        // Only a failure of reading the data is a data error; a bad criteria
        // is the caller's and goes straight back.
        if (failure.number() == failure_code::kCriteriaSyntax || failure.number() == failure_code::kCriteriaTypeMismatch ||
            failure.number() == failure_code::kUnknownCriteriaField || failure.number() == failure::kObjectNotSet)
            throw;
        std::int16_t dataErr = static_cast<std::int16_t>(failure.number());
        std::int16_t response = error_response::kDisplay;
        auto listeners = listeners_;
        for (auto* listener : listeners) listener->recordsetError(dataErr, response);
        if (response != error_response::kContinue && dataErr != 0) throw;
        noMatch_ = kTrue;
        return;
    }
    if (found < 0) {
        noMatch_ = kTrue;
        return;
    }
    // A find that the host cancels leaves the record where it was, so the
    // record in view does not satisfy the criteria: that is no match.
    noMatch_ = kFalse;
    if (!moveTo(found, validate_action::kFind)) noMatch_ = kTrue;
}

}  // namespace quorvel::engine
