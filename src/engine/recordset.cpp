#include "engine/recordset.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <optional>
#include <variant>

#include "engine/criteria.h"
#include "engine/data_engine.h"
#include "engine/field_values.h"
#include "engine/find_index.h"
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

using FieldIndex = std::variant<std::monostate, TextKeyIndex, NumberKeyIndex>;

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
    std::vector<std::int64_t> rowids;
    std::int64_t rowidBase = 1;
    Statement readRow;
    std::array<CachedRow, kRowCacheSize> cache;
    std::vector<FieldIndex> indexes;
    std::int32_t position = -1;
    // Set for a table read in place: its records are read from the database
    // file as they are asked for, each in a short transaction of its own,
    // so other connections' commits show. `dataVersion` is the file's
    // version when the cache and the find indexes were last known good.
    bool readsFile = false;
    Statement readDataVersion;
    std::int64_t dataVersion = 0;
    // What the opening may take.
    OpeningLimits limits;

    std::int64_t rowidAt(std::int32_t p) const {
        return rowids.empty() ? rowidBase + p : rowids[static_cast<std::size_t>(p)];
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
    std::vector<std::int64_t>& rowids = state.rowids;
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
int copyAuthorizer(void* copyTable, int action, const char* table, const char*, const char* database,
                   const char*) {
    if (action == SQLITE_INSERT && database != nullptr && std::string_view(database) == "temp" &&
        table != nullptr && *static_cast<const std::string*>(copyTable) == table)
        return SQLITE_OK;
    return readOnlyAuthorizer(nullptr, action, nullptr, table, nullptr, nullptr);
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

std::int64_t currentDataVersion(SqliteRecordset::State& state) {
    Statement& version = state.readDataVersion;
    version.reset();
    std::int64_t value = 0;
    if (version.step("reading the database's version")) value = sqlite3_column_int64(version.get(), 0);
    version.reset();
    return value;
}

// The reading statement and the starting position, once the rows are known.
void finishState(SqliteRecordset::State* state) {
    std::string columns;
    for (const auto& field : state->fields) {
        columns += columns.empty() ? "" : ", ";
        columns += field.columnSql;
    }
    state->readRow = Statement(state->db,
                               "SELECT " + columns + " FROM " + state->rowSource + " WHERE " + state->rowidName + " = ?1",
                               "preparing to read records");
    state->indexes.resize(state->fields.size());
    for (const auto& field : state->fields) state->fieldNames.push_back(field.name);
    state->position = state->count > 0 ? 0 : -1;
    state->readsFile = state->copyTable.empty();
    if (state->readsFile) {
        state->readDataVersion = Statement(state->db, "PRAGMA main.data_version", "preparing to read records");
        state->dataVersion = currentDataVersion(*state);
    }
    // The opening's transaction ends here. Held for the recordset's life it
    // would keep a shared lock on the file, and in rollback-journal mode no
    // other connection (the application's own, say) could commit a write.
    state->db.exec("COMMIT", "opening the records");
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
        finishState(state.get());
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
    std::size_t bytes = sizeof(State) + state_->rowids.capacity() * sizeof(std::int64_t);
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

void SqliteRecordset::forgetIfFileChanged() {
    State& s = state();
    if (!s.readsFile) return;
    std::int64_t version = currentDataVersion(s);
    if (version == s.dataVersion) return;
    // Another connection committed: what was read before may be stale.
    // The positions stay (they are the rowids taken at opening); the values
    // and the keys of the finds are read again.
    for (auto& cached : s.cache) {
        cached.position = -1;
        cached.values.clear();
    }
    for (auto& index : s.indexes) index = std::monostate{};
    s.dataVersion = version;
}

const std::vector<Variant>& SqliteRecordset::row(std::int32_t position) {
    State& s = state();
    CachedRow& slot = s.cache[static_cast<std::size_t>(position) % kRowCacheSize];
    if (slot.position == position && slot.generation == generation_) return slot.values;

    slot.position = -1;
    slot.values.clear();
    try {
        forgetIfFileChanged();
        s.readRow.reset();
        sqlite3_bind_int64(s.readRow.get(), 1, s.rowidAt(position));
        if (!s.readRow.step("reading record " + std::to_string(position)))
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

std::int32_t SqliteRecordset::findPosition(std::string_view criteria) {
    State& s = state();
    forgetIfFileChanged();
    Criteria parsed = parseCriteria(criteria, s.fieldNames);
    const FieldInfo& field = s.fields[static_cast<std::size_t>(parsed.fieldIndex)];
    KeyKind kind = keyKindOf(field.type);
    if (kind == KeyKind::None) mismatch(criteria, "field '" + field.name + "' holds binary data");
    if (kind != KeyKind::Text && parsed.op == CriteriaOp::Like)
        mismatch(criteria, "Like compares text, and field '" + field.name + "' is not a text field");

    std::optional<LikePattern> pattern;
    std::string textKey;
    double numberKey = 0;
    if (kind == KeyKind::Text) {
        const CriteriaValue& v = parsed.value;
        std::string text = v.kind == CriteriaValue::Kind::Date ? isoText(v.number) : v.text;
        if (parsed.op == CriteriaOp::Like) pattern = LikePattern::compile(text);
        else textKey = folded(text);
    } else {
        numberKey = numberKeyOfValue(criteria, parsed.value, kind);
    }

    FieldIndex& index = s.indexes[static_cast<std::size_t>(parsed.fieldIndex)];
    if (std::holds_alternative<std::monostate>(index)) {
        Statement scan(s.db,
                       "SELECT " + s.rowidName + ", " + field.columnSql + " FROM " + s.rowSource + " ORDER BY " +
                           s.rowidName,
                       "indexing field '" + field.name + "'");
        std::string context = "indexing field '" + field.name + "'";
        // The keys go in by position. A table read in place may have lost
        // records since the opening (their positions get no key, so a find
        // never lands on them) or gained some (not in the list: passed over).
        std::int32_t next = 0;
        auto positionOfRow = [&](auto&& addNull) -> bool {
            std::int64_t rowid = sqlite3_column_int64(scan.get(), 0);
            while (next < s.count && s.rowidAt(next) < rowid) {
                addNull();
                ++next;
            }
            if (next >= s.count || s.rowidAt(next) != rowid) return false;
            ++next;
            return true;
        };
        if (kind == KeyKind::Text) {
            TextKeyIndex built;
            built.reserve(static_cast<std::size_t>(s.count), static_cast<std::size_t>(s.count) * 16);
            auto addNull = [&] { built.addNull(); };
            while (scan.step(context)) {
                if (!positionOfRow(addNull)) continue;
                int storage = sqlite3_column_type(scan.get(), 1);
                if (storage == SQLITE_NULL || storage == SQLITE_BLOB) {
                    built.addNull();
                    continue;
                }
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(scan.get(), 1));
                built.add(std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(scan.get(), 1))));
            }
            for (; next < s.count; ++next) built.addNull();
            built.finish();
            index = std::move(built);
        } else {
            NumberKeyIndex built;
            built.reserve(static_cast<std::size_t>(s.count));
            auto addNull = [&] { built.add(std::nullopt); };
            while (scan.step(context)) {
                if (positionOfRow(addNull)) built.add(numberKeyOf(scan.get(), 1, kind));
            }
            for (; next < s.count; ++next) built.add(std::nullopt);
            built.finish();
            index = std::move(built);
        }
    }

    if (auto* text = std::get_if<TextKeyIndex>(&index)) {
        switch (parsed.op) {
            case CriteriaOp::Equal: return text->firstEqual(textKey);
            case CriteriaOp::GreaterOrEqual: return text->firstAtOrAfter(textKey);
            case CriteriaOp::Like: return text->firstLike(*pattern);
        }
    }
    const auto& number = std::get<NumberKeyIndex>(index);
    return parsed.op == CriteriaOp::Equal ? number.firstEqual(numberKey) : number.firstAtOrAfter(numberKey);
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
