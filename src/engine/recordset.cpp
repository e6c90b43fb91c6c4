#include "engine/recordset.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <optional>
#include <variant>

#include "engine/criteria.h"
#include "engine/data_engine.h"
#include "engine/field_values.h"
#include "engine/find_index.h"
#include "engine/like_pattern.h"
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

constexpr const char* kRowsTable = "temp.quorvel_rows";
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

std::string_view trimmedSource(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && (std::isspace(static_cast<unsigned char>(text.back())) || text.back() == ';'))
        text.remove_suffix(1);
    return text;
}

bool startsWithKeyword(std::string_view text, std::string_view keyword) {
    if (text.size() < keyword.size()) return false;
    for (std::size_t i = 0; i < keyword.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != keyword[i]) return false;
    }
    if (text.size() == keyword.size()) return true;
    unsigned char next = static_cast<unsigned char>(text[keyword.size()]);
    return !(std::isalnum(next) || next == '_');
}

bool isStatement(std::string_view source) {
    while (!source.empty() && source.front() == '(') {
        source.remove_prefix(1);
        while (!source.empty() && std::isspace(static_cast<unsigned char>(source.front()))) source.remove_prefix(1);
    }
    return startsWithKeyword(source, "SELECT") || startsWithKeyword(source, "WITH") ||
           startsWithKeyword(source, "VALUES");
}

// A record source name as written: bare, [bracketed], "quoted" or `quoted`.
std::string unquotedName(std::string_view name) {
    if (name.size() >= 2) {
        char open = name.front(), close = name.back();
        if ((open == '[' && close == ']') || (open == '`' && close == '`')) return std::string(name.substr(1, name.size() - 2));
        if (open == '"' && close == '"') {
            std::string out;
            std::string_view body = name.substr(1, name.size() - 2);
            for (std::size_t i = 0; i < body.size(); ++i) {
                out += body[i];
                if (body[i] == '"' && i + 1 < body.size() && body[i + 1] == '"') ++i;
            }
            return out;
        }
    }
    return std::string(name);
}

// Only reading is allowed while the record source's statement is prepared:
// no writes, no ATTACH, no PRAGMA, no transaction control.
int readOnlyAuthorizer(void*, int action, const char*, const char*, const char*, const char*) {
    switch (action) {
        case SQLITE_SELECT:
        case SQLITE_READ:
        case SQLITE_FUNCTION:
        case SQLITE_RECURSIVE:
            return SQLITE_OK;
        default:
            return SQLITE_DENY;
    }
}

[[noreturn]] void refuseWriting(std::string_view source, std::string_view why) {
    fail(failure_code::kReadOnly,
         "The record source '" + std::string(source) + "' is refused: " + std::string(why) +
             ". The list reads its database only; use a table or view name or a SELECT statement.");
}

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

    std::int64_t rowidAt(std::int32_t p) const {
        return rowids.empty() ? rowidBase + p : rowids[static_cast<std::size_t>(p)];
    }
};

namespace {

void checkFile(const std::string& path) {
    if (path.empty())
        fail(failure::kFileNotFound, "No database file is set: DatabaseName is empty.");
    std::error_code ec;
    auto status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found)
        fail(failure::kFileNotFound, "Could not find file '" + path + "'.");
    if (!ec && status.type() == std::filesystem::file_type::directory)
        fail(failure_code::kCannotOpen, "Cannot open '" + path + "' as a database: it is a folder.");
}

void configure(Connection& db) {
    sqlite3* handle = db.get();
    sqlite3_extended_result_codes(handle, 1);
    sqlite3_busy_timeout(handle, 2000);
    sqlite3_db_config(handle, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(handle, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(handle, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
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

void openTable(SqliteRecordset::State& state, const std::string& table) {
    std::string quoted = quoteIdentifier(table);
    Statement all(state.db, "SELECT * FROM " + quoted, "reading the columns of table '" + table + "'");
    std::vector<std::string> names = columnNamesOf(all);
    for (const auto& name : names) state.fields.push_back({name, field_type::kText, quoteIdentifier(name)});

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
    }
    rowids.shrink_to_fit();
    state.count = static_cast<std::int32_t>(count);
    state.rowidBase = base;
}

// Only the copy into the TEMP table is allowed while it is prepared: the
// user's statement inside it reads, and nothing else may write.
int copyAuthorizer(void*, int action, const char* table, const char*, const char* database, const char*) {
    if (action == SQLITE_INSERT && database != nullptr && std::string_view(database) == "temp" &&
        table != nullptr && std::string_view(table) == "quorvel_rows")
        return SQLITE_OK;
    return readOnlyAuthorizer(nullptr, action, nullptr, nullptr, nullptr, nullptr);
}

// The copy as one INSERT ... SELECT, which SQLite runs about five times
// faster than a row at a time through the API. The statement text was
// checked on its own (one read-only query) before it is placed here; when
// the combined text does not prepare (a trailing unterminated comment, say),
// there is no fast copy and the caller copies row by row.
Statement bulkCopy(SqliteRecordset::State& state, std::string_view source) {
    std::string sql = "INSERT INTO temp.quorvel_rows ";
    if (startsWithKeyword(source, "WITH")) {
        sql += "SELECT * FROM (\n";
        sql += source;
        sql += "\n)";
    } else {
        sql += source;
        sql += "\n";
    }
    sqlite3* db = state.db.get();
    sqlite3_set_authorizer(db, copyAuthorizer, nullptr);
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    int code = sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()), 0, &raw, &tail);
    sqlite3_set_authorizer(db, nullptr, nullptr);
    Statement stmt(raw);
    if (code != SQLITE_OK || stmt.get() == nullptr) return Statement();
    if (std::string_view(tail).find_first_not_of(" \t\r\n;") != std::string_view::npos) return Statement();
    return stmt;
}

// Copies the rows of a prepared query into a TEMP table, in the query's
// order, so that each position becomes a rowid.
void materialize(SqliteRecordset::State& state, Statement& query, std::string_view source,
                 std::string_view label) {
    int n = sqlite3_column_count(query.get());
    std::string create = "CREATE TEMP TABLE quorvel_rows(";
    std::string insert = "INSERT INTO " + std::string(kRowsTable) + " VALUES(";
    for (int i = 0; i < n; ++i) {
        // Columns without a type keep every value exactly as the query gave it.
        create += i ? ", c" : "c";
        create += std::to_string(i);
        insert += i ? ", ?" : "?";
    }
    create += ")";
    insert += ")";
    state.db.exec("DROP TABLE IF EXISTS temp.quorvel_rows", "preparing the records");
    state.db.exec(create.c_str(), "preparing the records");

    std::vector<std::string> names = columnNamesOf(query);
    std::vector<std::optional<std::int16_t>> types(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const char* decl = sqlite3_column_decltype(query.get(), i);
        if (decl != nullptr) types[static_cast<std::size_t>(i)] = typeCodeOfDeclaration(decl);
        std::string column = "c";
        column += std::to_string(i);
        state.fields.push_back({names[static_cast<std::size_t>(i)], field_type::kText, column});
    }

    std::string context = "reading the record source '" + std::string(label) + "'";
    if (Statement bulk = bulkCopy(state, source)) {
        bulk.step(context);
        for (int i = 0; i < n; ++i) {
            auto& type = types[static_cast<std::size_t>(i)];
            if (type) continue;
            const std::string& col = state.fields[static_cast<std::size_t>(i)].columnSql;
            Statement first(state.db, "SELECT " + col + " FROM temp.quorvel_rows WHERE " + col +
                                          " IS NOT NULL ORDER BY rowid LIMIT 1", context);
            if (first.step(context)) type = inferredTypeCode(first.get(), 0);
        }
    } else {
        Statement add(state.db, insert, "preparing the records");
        while (query.step(context)) {
            for (int i = 0; i < n; ++i) {
                auto& type = types[static_cast<std::size_t>(i)];
                if (!type && sqlite3_column_type(query.get(), i) != SQLITE_NULL)
                    type = inferredTypeCode(query.get(), i);
                sqlite3_bind_value(add.get(), i + 1, sqlite3_column_value(query.get(), i));
            }
            add.step("copying the records of the record source");
            sqlite3_reset(add.get());
        }
    }
    for (int i = 0; i < n; ++i) {
        auto& type = types[static_cast<std::size_t>(i)];
        state.fields[static_cast<std::size_t>(i)].type = type ? *type : field_type::kText;
    }
    Statement count(state.db, "SELECT max(rowid) FROM temp.quorvel_rows", context);
    count.step(context);
    std::int64_t rows = sqlite3_column_int64(count.get(), 0);
    if (rows > std::numeric_limits<std::int32_t>::max())
        fail(failure::kOutOfMemory, "The record source has more records than a recordset can count.");
    state.count = static_cast<std::int32_t>(rows);
    state.rowSource = kRowsTable;
    state.rowidName = "rowid";
    state.rowidBase = 1;
}

// Prepares the record source's statement with every check that keeps the
// connection read-only.
Statement prepareQuery(SqliteRecordset::State& state, std::string_view source) {
    sqlite3* db = state.db.get();
    sqlite3_set_authorizer(db, readOnlyAuthorizer, nullptr);
    struct AuthorizerScope {
        sqlite3* db;
        ~AuthorizerScope() { sqlite3_set_authorizer(db, nullptr, nullptr); }
    } scope{db};

    const char* tail = nullptr;
    sqlite3_stmt* raw = nullptr;
    int code = sqlite3_prepare_v3(db, source.data(), static_cast<int>(source.size()), 0, &raw, &tail);
    Statement stmt;
    if (code != SQLITE_OK) {
        sqlite3_finalize(raw);
        std::string message = sqlite3_errmsg(db);
        if ((code & 0xff) == SQLITE_AUTH) refuseWriting(source, "it does more than read");
        if (message.rfind("no such table", 0) == 0)
            fail(failure_code::kTableNotFound,
                 "The record source '" + std::string(source) + "' names a table that is not there (" + message + ").");
        if ((code & 0xff) == SQLITE_ERROR)
            fail(failure_code::kRecordSourceSyntax,
                 "Error in the record source statement '" + std::string(source) + "': " + message + ".");
        failFromSqlite(db, code, "preparing the record source '" + std::string(source) + "'");
    }
    // Ownership moves into the handle before any check can throw.
    stmt = Statement(raw);
    if (stmt.get() == nullptr) refuseWriting(source, "it holds no statement");

    std::string_view rest(tail, static_cast<std::size_t>(source.data() + source.size() - tail));
    while (!rest.empty()) {
        sqlite3_stmt* extra = nullptr;
        const char* next = nullptr;
        int extraCode = sqlite3_prepare_v3(db, rest.data(), static_cast<int>(rest.size()), 0, &extra, &next);
        bool another = extra != nullptr;
        sqlite3_finalize(extra);
        if (extraCode != SQLITE_OK || another) refuseWriting(source, "it holds more than one statement");
        rest = std::string_view(next, static_cast<std::size_t>(rest.data() + rest.size() - next));
    }
    if (!sqlite3_stmt_readonly(stmt.get())) refuseWriting(source, "it could change the database");
    if (sqlite3_column_count(stmt.get()) == 0) refuseWriting(source, "it returns no records");
    if (int parameters = sqlite3_bind_parameter_count(stmt.get()); parameters > 0)
        fail(failure_code::kTooFewParameters,
             "Too few parameters. Expected " + std::to_string(parameters) + ": the record source '" +
                 std::string(source) + "' has parameters that nothing supplies.");
    return stmt;
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
std::unique_ptr<SqliteRecordset::State> finishState(std::unique_ptr<SqliteRecordset::State> state) {
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
    state->readsFile = state->rowSource != kRowsTable;
    if (state->readsFile) {
        state->readDataVersion = Statement(state->db, "PRAGMA main.data_version", "preparing to read records");
        state->dataVersion = currentDataVersion(*state);
    }
    // The opening's transaction ends here. Held for the recordset's life it
    // would keep a shared lock on the file, and in rollback-journal mode no
    // other connection (the application's own, say) could commit a write.
    state->db.exec("COMMIT", "opening the records");
    return state;
}

std::unique_ptr<SqliteRecordset::State> openState(const OpenSettings& settings) {
    checkFile(settings.databaseName);
    std::string_view source = trimmedSource(settings.recordSource);
    if (source.empty())
        fail(failure::kObjectNotSet, "The data control has no RecordSource, so it has no recordset to open.");

    auto state = std::make_unique<SqliteRecordset::State>();
    state->db = Connection(settings.databaseName);
    configure(state->db);
    std::string file = "'" + settings.databaseName + "'";
    // One read transaction for the opening: the fields, the rowids and the
    // copy of a statement's rows come from one snapshot. It ends once the
    // records are known (finishState).
    state->db.exec("BEGIN", "opening " + file);

    if (isStatement(source)) {
        if (settings.recordsetType == 0)
            fail(failure_code::kInvalidOperation,
                 "Invalid operation: a table-type recordset (RecordsetType 0) needs a table name, not a statement.");
        Statement query = prepareQuery(*state, source);
        materialize(*state, query, source, source);
    } else {
        std::string name = unquotedName(source);
        Statement lookup(state->db,
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
                query = prepareQuery(*state, source);
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
            materialize(*state, query, source, source);
            return finishState(std::move(state));
        }
        std::string type = reinterpret_cast<const char*>(sqlite3_column_text(lookup.get(), 0));
        std::string actual = reinterpret_cast<const char*>(sqlite3_column_text(lookup.get(), 1));
        lookup.reset();
        bool withoutRowid = false;
        if (type == "table") {
            Statement info(state->db, "SELECT 1 FROM pragma_table_list WHERE schema = 'main' AND name = ?1 AND wr = 1",
                           "reading the tables of " + file);
            sqlite3_bind_text(info.get(), 1, actual.data(), static_cast<int>(actual.size()), SQLITE_TRANSIENT);
            withoutRowid = info.step("reading the tables of " + file);
        }
        if (type == "view" && settings.recordsetType == 0)
            fail(failure_code::kInvalidOperation,
                 "Invalid operation: a table-type recordset (RecordsetType 0) needs a table, and '" + actual +
                     "' is a view.");
        if (type == "table" && !withoutRowid) {
            openTable(*state, actual);
        } else {
            std::string sql = "SELECT * FROM " + quoteIdentifier(actual);
            if (withoutRowid) {
                // Pinned to primary-key order: a covering index could
                // otherwise decide the order of a plain scan.
                Statement pk(state->db, "SELECT name FROM pragma_table_info(?1) WHERE pk > 0 ORDER BY pk",
                             "reading the tables of " + file);
                sqlite3_bind_text(pk.get(), 1, actual.data(), static_cast<int>(actual.size()), SQLITE_TRANSIENT);
                std::string order;
                while (pk.step("reading the tables of " + file)) {
                    order += order.empty() ? " ORDER BY " : ", ";
                    order += quoteIdentifier(reinterpret_cast<const char*>(sqlite3_column_text(pk.get(), 0)));
                }
                sql += order;
            }
            Statement query = prepareQuery(*state, sql);
            materialize(*state, query, sql, actual);
        }
    }

    return finishState(std::move(state));
}

}  // namespace

// --- SqliteRecordset ---------------------------------------------------------

SqliteRecordset::SqliteRecordset(OpenSettings settings)
    : settings_(std::move(settings)), fields_(std::make_unique<RecordsetFields>(*this)) {}

SqliteRecordset::~SqliteRecordset() = default;

std::shared_ptr<SqliteRecordset> SqliteRecordset::open(const OpenSettings& settings) {
    std::shared_ptr<SqliteRecordset> recordset(new SqliteRecordset(settings));
    recordset->reopen();
    return recordset;
}

void SqliteRecordset::reopen() {
    close();
    auto state = openState(settings_);
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

void SqliteRecordset::moveTo(std::int32_t position, std::int16_t action) {
    auto keepAlive = shared_from_this();
    if (!mayLeave(action)) return;
    // A validate handler may have closed or reopened the recordset.
    state().position = position;
    notifyMoved();
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
    noMatch_ = kFalse;
    moveTo(found, validate_action::kFind);
}

}  // namespace quorvel::engine
