// Opening a list on a database server through ODBC. The server's records
// are read once, at the opening, in blocks and in the record source's order,
// into a TEMP table of a private SQLite store whose rowids are the
// positions: from there on the rows, navigation, finds and indexes are the
// core's, as for a statement over a SQLite file. What is the server's: the
// connection (a PostgreSQL server, its session read-only), the
// record source's check, the table's order, the field types from the ODBC
// SQL types, the opening's time limit (cancelled on the server) and the
// watch that notices the connection lost.
//
// What runs where: everything here runs on the caller's thread.
#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "engine/data_engine.h"
#include "engine/odbc_handle.h"
#include "engine/record_source.h"
#include "engine/recordset.h"
#include "engine/recordset_state.h"
#include "engine/server_query.h"
#include "engine/sqlite_handle.h"
#include "engine/text_fold.h"
#include "platform/failure.h"
#include "platform/locale.h"
#include "platform/text.h"

namespace quorvel::engine {

namespace {

constexpr const char* kCopyTable = "quorvel_rows";

// Rows the driver holds at a time: the result is read from a cursor on the
// server in blocks this size rather than whole into the driver's memory.
constexpr int kFetchRows = 4096;

// Whole seconds left before the deadline, at least one: what connecting
// may take.
std::int64_t secondsLeft(std::chrono::steady_clock::time_point deadline) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return std::max<std::int64_t>((left.count() + 999) / 1000, 1);
}

// How a column's values are fetched and kept in the store.
enum class Kind : std::uint8_t { Integer, Real, Text, Binary, Date, Time, Timestamp, Boolean, Numeric };

struct ServerColumn {
    std::string name;
    SQLSMALLINT sqlType = SQL_VARCHAR;
    std::string typeName;
    SQLULEN size = 0;
    Kind kind = Kind::Text;
    std::int16_t fieldType = field_type::kText;
    SQLLEN width = 0;  // bytes of one value in the block buffer
    std::vector<char> buffer;
    std::vector<SQLLEN> indicators;
};

bool typeNameIs(std::string_view typeName, std::string_view name) {
    return equalsIgnoringCase(typeName, name);
}

// The field type code of an ODBC SQL type, and how it is fetched.
void classify(ServerColumn& column) {
    const std::string& t = column.typeName;
    if (column.sqlType == SQL_BIT || typeNameIs(t, "bool") || typeNameIs(t, "boolean")) {
        column.fieldType = field_type::kBoolean;
        column.kind = Kind::Boolean;
        return;
    }
    if (typeNameIs(t, "money")) {
        column.fieldType = field_type::kCurrency;
        column.kind = Kind::Numeric;
        return;
    }
    switch (column.sqlType) {
        case SQL_TINYINT:
        case SQL_SMALLINT:
            column.fieldType = field_type::kInteger;
            column.kind = Kind::Integer;
            return;
        case SQL_INTEGER:
        case SQL_BIGINT:
            column.fieldType = field_type::kLong;
            column.kind = Kind::Integer;
            return;
        case SQL_REAL:
            column.fieldType = field_type::kSingle;
            column.kind = Kind::Real;
            return;
        case SQL_FLOAT:
        case SQL_DOUBLE:
            column.fieldType = field_type::kDouble;
            column.kind = Kind::Real;
            return;
        case SQL_DECIMAL:
        case SQL_NUMERIC:
            column.fieldType = field_type::kDecimal;
            column.kind = Kind::Numeric;
            return;
        case SQL_TYPE_DATE:
        case SQL_DATE:
            column.fieldType = field_type::kDate;
            column.kind = Kind::Date;
            return;
        case SQL_TYPE_TIME:
        case SQL_TIME:
            column.fieldType = field_type::kTime;
            column.kind = Kind::Time;
            return;
        case SQL_TYPE_TIMESTAMP:
        case SQL_TIMESTAMP:
            column.fieldType = field_type::kTimestamp;
            column.kind = Kind::Timestamp;
            return;
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY:
            column.fieldType = field_type::kLongBinary;
            column.kind = Kind::Binary;
            return;
        case SQL_LONGVARCHAR:
        case SQL_WLONGVARCHAR:
            column.fieldType = field_type::kMemo;
            column.kind = Kind::Text;
            return;
        default:
            column.fieldType = field_type::kText;
            column.kind = Kind::Text;
            return;
    }
}

// Bytes of one value in the block buffer; a longer value is read whole on
// its own (SQLGetData) when the block shows it truncated.
SQLLEN widthOf(const ServerColumn& column) {
    switch (column.kind) {
        case Kind::Integer: return sizeof(SQLBIGINT);
        case Kind::Real: return sizeof(SQLDOUBLE);
        case Kind::Date: return sizeof(SQL_DATE_STRUCT);
        case Kind::Time: return sizeof(SQL_TIME_STRUCT);
        case Kind::Timestamp: return sizeof(SQL_TIMESTAMP_STRUCT);
        case Kind::Boolean: return 16;
        case Kind::Numeric: return 80;
        case Kind::Binary: return 1024;
        case Kind::Text: {
            // Up to four bytes a character in UTF-8, and the terminator.
            SQLULEN chars = column.size == 0 ? 255 : column.size;
            return static_cast<SQLLEN>(std::clamp<SQLULEN>(chars * 4 + 1, 64, 8 * 1024));
        }
    }
    return 256;
}

SQLSMALLINT cTypeOf(Kind kind) {
    switch (kind) {
        case Kind::Integer: return SQL_C_SBIGINT;
        case Kind::Real: return SQL_C_DOUBLE;
        case Kind::Date: return SQL_C_TYPE_DATE;
        case Kind::Time: return SQL_C_TYPE_TIME;
        case Kind::Timestamp: return SQL_C_TYPE_TIMESTAMP;
        case Kind::Binary: return SQL_C_BINARY;
        default: return SQL_C_CHAR;
    }
}

double serialOf(int year, int month, int day, int hour, int minute, int second, SQLUINTEGER nanoseconds) {
    double date = dateSerial(year, month, day);
    double fraction = (hour * 3600.0 + minute * 60.0 + second + nanoseconds / 1e9) / 86400.0;
    // Before day 0 the time counts backwards from midnight, as the host's
    // dates do.
    return date < 0 ? date - fraction : date + fraction;
}

std::optional<bool> booleanOf(std::string_view text) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    for (const char* yes : {"1", "-1", "t", "true", "y", "yes", "on"})
        if (equalsIgnoringCase(text, yes)) return true;
    for (const char* no : {"0", "f", "false", "n", "no", "off"})
        if (equalsIgnoringCase(text, no)) return false;
    return std::nullopt;
}

std::string columnText(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT type) {
    if (type == SQL_C_CHAR) {
        char buffer[512];
        SQLLEN length = 0;
        SQLRETURN rc = SQLGetData(stmt, column, SQL_C_CHAR, buffer, sizeof buffer, &length);
        if (!SQL_SUCCEEDED(rc) || length == SQL_NULL_DATA) return {};
        return std::string(buffer, std::min<std::size_t>(std::strlen(buffer), sizeof buffer - 1));
    }
    SQLSMALLINT value = 0;
    SQLLEN length = 0;
    SQLRETURN rc = SQLGetData(stmt, column, SQL_C_SSHORT, &value, 0, &length);
    if (!SQL_SUCCEEDED(rc) || length == SQL_NULL_DATA) return {};
    return std::to_string(value);
}

// The failure of the record source's statement, by its SQLSTATE.
[[noreturn]] void failQuery(const OdbcStatement& stmt, std::string_view label, const OpeningLimits& limits) {
    auto diagnostics = odbcDiagnostics(SQL_HANDLE_STMT, stmt.handle());
    std::string state = diagnostics.empty() ? "" : diagnostics.front().state;
    std::string message = diagnostics.empty() ? "no message from the driver" : diagnostics.front().message;
    std::string what = "The record source '" + std::string(label) + "' ";
    if (state == "57014" || state == "HYT00" || state == "HY008")
        fail(failure_code::kOpeningLimit, what + "took longer than " + durationText(limits.milliseconds) +
                                              " to open, the limit of an opening; the server stopped it.");
    if (state == "25006")
        refuseRecordSource(
            label, "it writes, and the server refused it in the list's read-only session (" + message + ")");
    if (state == "42P01" || state == "42S02")
        fail(failure_code::kTableNotFound, what + "names a table that is not there (" + message + ").");
    if (state.rfind("42", 0) == 0 || state == "37000")
        fail(failure_code::kRecordSourceSyntax,
             "Error in the record source statement '" + std::string(label) + "': " + message + ".");
    failFromOdbc(SQL_HANDLE_STMT, stmt.handle(), odbc_failure::kCallFailed,
                 "reading the record source '" + std::string(label) + "'");
}

// A table or view found in the server's catalog.
struct CatalogEntry {
    std::string catalog;
    std::string schema;
    std::string name;
    bool view = false;
};

std::string getText(SQLHSTMT stmt, SQLUSMALLINT column) { return columnText(stmt, column, SQL_C_CHAR); }

// A name as a catalog function's pattern argument matching only itself:
// its '_' and '%' (and the escape) escaped.
std::string patternOf(const OdbcConnection& server, std::string_view name) {
    SQLCHAR escape[8] = {};
    SQLSMALLINT length = 0;
    SQLGetInfo(server.handle(), SQL_SEARCH_PATTERN_ESCAPE, escape, sizeof escape, &length);
    std::string e(reinterpret_cast<const char*>(escape));
    std::string out;
    for (char c : name) {
        if (!e.empty() && (c == '_' || c == '%' || std::string_view(e) == std::string_view(&c, 1))) out += e;
        out += c;
    }
    return out;
}

// The table or view of the name: the exact name first, then the name as
// the server folds one written without quotes (lower case), then in any
// case. Only the rows naming exactly the table (and schema) count.
std::optional<CatalogEntry> findInCatalog(const OdbcConnection& server, const ServerName& wanted) {
    std::string lower = wanted.name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::vector<std::string> tried;
    for (const std::string& name : {wanted.name, lower, std::string()}) {
        if (!name.empty() && std::find(tried.begin(), tried.end(), name) != tried.end()) continue;
        tried.push_back(name);
        OdbcStatement stmt(server);
        std::string schema = wanted.schema.empty() ? std::string() : patternOf(server, wanted.schema);
        std::string table = name.empty() ? std::string() : patternOf(server, name);
        std::string types = "TABLE,VIEW";
        SQLSetStmtAttr(stmt.handle(), SQL_ATTR_METADATA_ID, reinterpret_cast<SQLPOINTER>(SQL_FALSE), 0);
        stmt.check(SQLTables(stmt.handle(), nullptr, 0,
                             schema.empty() ? nullptr : reinterpret_cast<SQLCHAR*>(schema.data()),
                             static_cast<SQLSMALLINT>(schema.size()),
                             table.empty() ? nullptr : reinterpret_cast<SQLCHAR*>(table.data()),
                             static_cast<SQLSMALLINT>(table.size()), reinterpret_cast<SQLCHAR*>(types.data()),
                             SQL_NTS),
                   odbc_failure::kCallFailed, "reading the server's tables");
        std::optional<CatalogEntry> exact, folded;
        while (SQL_SUCCEEDED(SQLFetch(stmt.handle()))) {
            CatalogEntry entry{getText(stmt.handle(), 1), getText(stmt.handle(), 2),
                               getText(stmt.handle(), 3),
                               equalsIgnoringCase(getText(stmt.handle(), 4), "VIEW")};
            if (!wanted.schema.empty() && !equalsIgnoringCase(entry.schema, wanted.schema)) continue;
            bool preferred = entry.schema == "public" || !wanted.schema.empty();
            if (entry.name == wanted.name) {
                if (!exact || preferred) exact = entry;
            } else if (equalsIgnoringCase(entry.name, wanted.name)) {
                if (!folded || preferred) folded = entry;
            }
        }
        if (exact) return exact;
        if (folded) return folded;
    }
    return std::nullopt;
}

std::string qualified(const CatalogEntry& entry) {
    std::string out;
    if (!entry.schema.empty()) out = quoteServerIdentifier(entry.schema) + ".";
    return out + quoteServerIdentifier(entry.name);
}

// A table's order: its primary key; without one, every column that the
// server can sort, in order, which is stable whatever the table's storage.
std::string tableOrder(const OdbcConnection& server, const CatalogEntry& table) {
    std::string schema = table.schema, name = table.name;
    auto* schemaPtr = schema.empty() ? nullptr : reinterpret_cast<SQLCHAR*>(schema.data());
    std::vector<std::pair<int, std::string>> key;
    {
        OdbcStatement stmt(server);
        stmt.check(
            SQLPrimaryKeys(stmt.handle(), nullptr, 0, schemaPtr, static_cast<SQLSMALLINT>(schema.size()),
                           reinterpret_cast<SQLCHAR*>(name.data()), static_cast<SQLSMALLINT>(name.size())),
            odbc_failure::kCallFailed, "reading the primary key of '" + table.name + "'");
        while (SQL_SUCCEEDED(SQLFetch(stmt.handle())))
            key.emplace_back(std::atoi(getText(stmt.handle(), 5).c_str()), getText(stmt.handle(), 4));
    }
    std::sort(key.begin(), key.end());
    std::string order;
    for (const auto& [sequence, column] : key) {
        order += order.empty() ? " ORDER BY " : ", ";
        order += quoteServerIdentifier(column);
    }
    if (!order.empty()) return order;
    // Pattern arguments here: escaped, and the rows of another table that
    // a pattern would still match are passed over.
    std::string schemaPattern = schema.empty() ? std::string() : patternOf(server, schema);
    std::string namePattern = patternOf(server, name);
    OdbcStatement stmt(server);
    SQLSetStmtAttr(stmt.handle(), SQL_ATTR_METADATA_ID, reinterpret_cast<SQLPOINTER>(SQL_FALSE), 0);
    stmt.check(SQLColumns(stmt.handle(), nullptr, 0,
                          schemaPattern.empty() ? nullptr : reinterpret_cast<SQLCHAR*>(schemaPattern.data()),
                          static_cast<SQLSMALLINT>(schemaPattern.size()),
                          reinterpret_cast<SQLCHAR*>(namePattern.data()),
                          static_cast<SQLSMALLINT>(namePattern.size()), nullptr, 0),
               odbc_failure::kCallFailed, "reading the columns of '" + table.name + "'");
    while (SQL_SUCCEEDED(SQLFetch(stmt.handle()))) {
        if (getText(stmt.handle(), 3) != name || (!schema.empty() && getText(stmt.handle(), 2) != schema))
            continue;
        std::string column = getText(stmt.handle(), 4);
        int type = std::atoi(columnText(stmt.handle(), 5, SQL_C_SSHORT).c_str());
        std::string typeName = getText(stmt.handle(), 6);
        bool binary = type == SQL_BINARY || type == SQL_VARBINARY || type == SQL_LONGVARBINARY;
        bool unordered = false;
        for (const char* t : {"json", "xml", "point", "line", "lseg", "box", "path", "polygon", "circle"})
            unordered = unordered || typeNameIs(typeName, t);
        if (binary || unordered) continue;
        order += order.empty() ? " ORDER BY " : ", ";
        order += quoteServerIdentifier(column);
    }
    return order;
}

// The SQL the server runs for the record source, after its checks.
std::string serverSql(const OdbcConnection& server, const OpenSettings& settings, std::string_view source) {
    auto refuseTableType = [] {
        fail(failure_code::kInvalidOperation,
             "Invalid operation: a table-type recordset (RecordsetType 0) needs a table name, not a "
             "statement.");
    };
    // The driver may add to the text after it (a cursor's declaration):
    // a line of its own ends a trailing "--" comment.
    auto name = isStatement(source) ? std::nullopt : parseServerName(source);
    if (!name) {
        std::string sql(checkServerQuery(source));
        if (settings.recordsetType == 0) refuseTableType();
        return sql + "\n";
    }
    auto entry = findInCatalog(server, *name);
    if (!entry)
        fail(failure_code::kTableNotFound,
             "Cannot find the input table or view '" + std::string(source) + "' on the server.");
    if (entry->view && settings.recordsetType == 0)
        fail(failure_code::kInvalidOperation,
             "Invalid operation: a table-type recordset (RecordsetType 0) needs a table, and '" +
                 entry->name + "' is a view.");
    std::string sql = "SELECT * FROM " + qualified(*entry);
    if (!entry->view) sql += tableOrder(server, *entry);
    return sql;
}

// The connection the records came from, looked at again at most once in
// the freshness interval, at a find (the user's next step on the list),
// never at a read: the rows are read from the local copy and wait for
// nothing on the network. A connection found lost stays lost: every later
// find, and every read of a row not already read, fails the same way until
// the list opens again. The records themselves are the opening's: the
// server's later changes show at the next Refresh.
class ServerWatch final : public ChangeWatch {
public:
    ServerWatch(OdbcConnection server, std::chrono::steady_clock::duration freshness, std::string label)
        : server_(std::move(server)),
          ping_(server_),
          freshness_(freshness),
          lastLook_(std::chrono::steady_clock::now()),
          label_(std::move(label)) {
        // The server answers within this or the look fails; the connection's
        // own options bound a network that stops answering.
        SQLSetStmtAttr(ping_.handle(), SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN{5}), 0);
    }

    bool look() override {
        if (lost_) fail(odbc_failure::kCallFailed, *lost_);
        auto now = std::chrono::steady_clock::now();
        if (freshness_.count() > 0 && now - lastLook_ < freshness_) return false;
        lastLook_ = now;
        char sql[] = "SELECT 1";
        SQLRETURN rc = SQLExecDirect(ping_.handle(), reinterpret_cast<SQLCHAR*>(sql), SQL_NTS);
        if (SQL_SUCCEEDED(rc)) {
            SQLFreeStmt(ping_.handle(), SQL_CLOSE);
            return false;
        }
        try {
            failFromOdbc(SQL_HANDLE_STMT, ping_.handle(), odbc_failure::kCallFailed,
                         "reading the record source '" + label_ + "' from the server");
        } catch (const Failure& failure) {
            lost_ = failure.description();
            throw;
        }
    }

    bool noteRead() override {
        if (lost_) fail(odbc_failure::kCallFailed, *lost_);
        return false;
    }

private:
    OdbcConnection server_;
    OdbcStatement ping_;
    std::chrono::steady_clock::duration freshness_;
    std::chrono::steady_clock::time_point lastLook_;
    std::string label_;
    std::optional<std::string> lost_;
};

class RecordCopy {
public:
    RecordCopy(EngineRecordset::State& state, const OdbcStatement& stmt, std::string_view label,
               std::chrono::steady_clock::time_point deadline, OpeningProgress progress)
        : state_(state), stmt_(stmt), label_(label), deadline_(deadline), progress_(std::move(progress)) {}

    void run() {
        describe();
        createTable();
        bind();
        copy();
    }

private:
    void describe() {
        SQLHSTMT h = stmt_.handle();
        SQLSMALLINT count = 0;
        stmt_.check(SQLNumResultCols(h, &count), odbc_failure::kCallFailed, context());
        if (count <= 0) refuseRecordSource(label_, "it returns no columns");
        for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(count); ++i) {
            ServerColumn column;
            SQLCHAR name[512] = {};
            SQLSMALLINT nameLength = 0, decimals = 0, nullable = 0;
            stmt_.check(SQLDescribeCol(h, i, name, sizeof name, &nameLength, &column.sqlType, &column.size,
                                       &decimals, &nullable),
                        odbc_failure::kCallFailed, context());
            column.name = reinterpret_cast<const char*>(name);
            SQLCHAR typeName[128] = {};
            SQLSMALLINT typeLength = 0;
            SQLColAttribute(h, i, SQL_DESC_TYPE_NAME, typeName, sizeof typeName, &typeLength, nullptr);
            column.typeName = reinterpret_cast<const char*>(typeName);
            classify(column);
            column.width = widthOf(column);
            columns_.push_back(std::move(column));
        }
    }

    void createTable() {
        state_.copyTable = kCopyTable;
        std::string table = std::string("temp.") + kCopyTable;
        std::string create = "CREATE TABLE " + table + "(";
        std::string insert = "INSERT INTO " + table + " VALUES(";
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            std::string name(1, 'c');
            name += std::to_string(i);
            create += i ? ", " : "";
            // Decimals as text, with numeric affinity: stored as numbers
            // when that keeps them whole, as text otherwise.
            create += name + (columns_[i].kind == Kind::Numeric ? " NUMERIC" : "");
            insert += i ? ", ?" : "?";
            addField(state_, columns_[i].name, name);
            state_.fields.back().type = columns_[i].fieldType;
        }
        state_.db.exec((create + ")").c_str(), "preparing the records");
        insert_ = Statement(state_.db, insert + ")", "preparing the records");
        // A statement of many rows, within SQLite's limit of parameters.
        batchRows_ = std::max<SQLULEN>(1, std::min<SQLULEN>(64, 32766 / columns_.size()));
        std::string row = insert.substr(insert.find("VALUES") + 6) + ")";
        std::string batch = insert + ")";
        for (SQLULEN k = 1; k < batchRows_; ++k) batch += ", " + row;
        insertBatch_ = Statement(state_.db, batch, "preparing the records");
        state_.rowSource = table;
        state_.rowidName = "rowid";
    }

    void bind() {
        SQLHSTMT h = stmt_.handle();
        SQLLEN rowBytes = 0;
        for (const auto& column : columns_) rowBytes += column.width + static_cast<SQLLEN>(sizeof(SQLLEN));
        rows_ = static_cast<SQLULEN>(std::clamp<SQLLEN>((4 << 20) / std::max<SQLLEN>(rowBytes, 1), 16, 1024));
        stmt_.check(
            SQLSetStmtAttr(h, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0),
            odbc_failure::kCallFailed, context());
        stmt_.check(SQLSetStmtAttr(h, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rows_), 0),
                    odbc_failure::kCallFailed, context());
        stmt_.check(SQLSetStmtAttr(h, SQL_ATTR_ROWS_FETCHED_PTR, &fetched_, 0), odbc_failure::kCallFailed,
                    context());
        status_.assign(rows_, 0);
        stmt_.check(SQLSetStmtAttr(h, SQL_ATTR_ROW_STATUS_PTR, status_.data(), 0), odbc_failure::kCallFailed,
                    context());
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            auto& column = columns_[i];
            column.buffer.assign(static_cast<std::size_t>(column.width) * rows_, 0);
            column.indicators.assign(rows_, 0);
            stmt_.check(SQLBindCol(h, static_cast<SQLUSMALLINT>(i + 1), cTypeOf(column.kind),
                                   column.buffer.data(), column.width, column.indicators.data()),
                        odbc_failure::kCallFailed, context());
        }
    }

    void copy() {
        SQLHSTMT h = stmt_.handle();
        state_.db.exec("BEGIN", "preparing the records");
        std::int64_t copied = 0, bytes = 0;
        auto nextReport = std::chrono::steady_clock::now() + kProgressEvery;
        while (true) {
            SQLRETURN rc = SQLFetch(h);
            if (rc == SQL_NO_DATA) break;
            if (!SQL_SUCCEEDED(rc)) failQuery(stmt_, label_, state_.limits);
            for (SQLULEN r = 0; r < fetched_; ++r) {
                if (status_[r] == SQL_ROW_ERROR)
                    failFromOdbc(SQL_HANDLE_STMT, h, odbc_failure::kCallFailed, context());
            }
            if (copied + static_cast<std::int64_t>(fetched_) > state_.limits.records) {
                stmt_.cancel();
                tooManyRecords(state_, label_);
            }
            copied += static_cast<std::int64_t>(fetched_);
            // Several rows a statement: SQLite runs a statement of many
            // rows well over twice as fast as as many statements of one.
            SQLULEN r = 0;
            while (r < fetched_) {
                bool batch = fetched_ - r >= batchRows_;
                Statement& insert = batch ? insertBatch_ : insert_;
                SQLULEN rows = batch ? batchRows_ : 1;
                for (SQLULEN k = 0; k < rows; ++k) {
                    for (std::size_t i = 0; i < columns_.size(); ++i)
                        bytes += bindValue(insert.get(), static_cast<int>(k * columns_.size() + i) + 1, i,
                                           r + k, rc == SQL_SUCCESS_WITH_INFO);
                }
                insert.step(context());
                sqlite3_reset(insert.get());
                r += rows;
            }
            if (bytes > state_.limits.copyBytes) {
                stmt_.cancel();
                fail(failure_code::kOpeningLimit,
                     "The record source '" + std::string(label_) +
                         "' needs a copy of its records larger than " +
                         std::to_string(state_.limits.copyBytes / (1024 * 1024)) +
                         " MB, the limit of an opening.");
            }
            auto now = std::chrono::steady_clock::now();
            if (now >= deadline_) {
                stmt_.cancel();
                fail(failure_code::kOpeningLimit,
                     "The record source '" + std::string(label_) + "' took longer than " +
                         durationText(state_.limits.milliseconds) + " to open, the limit of an opening.");
            }
            // The progress hook, between blocks, at most every kProgressEvery.
            if (progress_ && now >= nextReport) {
                if (!progress_(copied)) {
                    stmt_.cancel();
                    openingCancelled(label_, copied);
                }
                nextReport = std::chrono::steady_clock::now() + kProgressEvery;
            }
        }
        state_.db.exec("COMMIT", "preparing the records");
        if (copied > std::numeric_limits<std::int32_t>::max())
            fail(failure::kOutOfMemory, "The record source has more records than a recordset can count.");
        state_.count = static_cast<std::int32_t>(copied);
        state_.positions = PositionTable::consecutive(1, state_.count);
    }

    // The whole value of a cell the block cut short, read on its own.
    std::string wholeValue(SQLUSMALLINT column, SQLULEN row, SQLSMALLINT cType) {
        SQLHSTMT h = stmt_.handle();
        if (!SQL_SUCCEEDED(
                SQLSetPos(h, static_cast<SQLSETPOSIROW>(row + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE)))
            failFromOdbc(
                SQL_HANDLE_STMT, h, odbc_failure::kCallFailed,
                context() + " (a value longer than the list's buffer, which the driver cannot read again)");
        std::string out;
        std::vector<char> chunk(64 * 1024);
        while (true) {
            SQLLEN length = 0;
            SQLRETURN rc =
                SQLGetData(h, column, cType, chunk.data(), static_cast<SQLLEN>(chunk.size()), &length);
            if (rc == SQL_NO_DATA) break;
            if (!SQL_SUCCEEDED(rc)) failFromOdbc(SQL_HANDLE_STMT, h, odbc_failure::kCallFailed, context());
            if (length == SQL_NULL_DATA) break;
            std::size_t room = cType == SQL_C_CHAR ? chunk.size() - 1 : chunk.size();
            std::size_t got = (length == SQL_NO_TOTAL || static_cast<std::size_t>(length) > room)
                                  ? room
                                  : static_cast<std::size_t>(length);
            out.append(chunk.data(), got);
            if (rc == SQL_SUCCESS) break;
        }
        return out;
    }

    // Binds one cell (column `c` of block row `row`) to the INSERT's
    // parameter; returns about the bytes it stores.
    std::int64_t bindValue(sqlite3_stmt* insert, int parameter, std::size_t c, SQLULEN row,
                           bool maybeTruncated) {
        ServerColumn& column = columns_[c];
        SQLLEN indicator = column.indicators[row];
        if (indicator == SQL_NULL_DATA) {
            sqlite3_bind_null(insert, parameter);
            return 1;
        }
        const char* cell = column.buffer.data() + static_cast<std::size_t>(column.width) * row;
        switch (column.kind) {
            case Kind::Integer: {
                SQLBIGINT v = 0;
                std::memcpy(&v, cell, sizeof v);
                sqlite3_bind_int64(insert, parameter, v);
                return 8;
            }
            case Kind::Real: {
                SQLDOUBLE v = 0;
                std::memcpy(&v, cell, sizeof v);
                sqlite3_bind_double(insert, parameter, v);
                return 8;
            }
            case Kind::Date: {
                SQL_DATE_STRUCT d{};
                std::memcpy(&d, cell, sizeof d);
                sqlite3_bind_double(insert, parameter, serialOf(d.year, d.month, d.day, 0, 0, 0, 0));
                return 8;
            }
            case Kind::Time: {
                SQL_TIME_STRUCT t{};
                std::memcpy(&t, cell, sizeof t);
                sqlite3_bind_double(insert, parameter, serialOf(1899, 12, 30, t.hour, t.minute, t.second, 0));
                return 8;
            }
            case Kind::Timestamp: {
                SQL_TIMESTAMP_STRUCT t{};
                std::memcpy(&t, cell, sizeof t);
                sqlite3_bind_double(insert, parameter,
                                    serialOf(t.year, t.month, t.day, t.hour, t.minute, t.second, t.fraction));
                return 8;
            }
            case Kind::Boolean: {
                std::string_view text(
                    cell, std::min<std::size_t>(std::strlen(cell), static_cast<std::size_t>(column.width)));
                if (auto b = booleanOf(text)) {
                    sqlite3_bind_int64(insert, parameter, *b ? 1 : 0);
                    return 8;
                }
                sqlite3_bind_text(insert, parameter, text.data(), static_cast<int>(text.size()),
                                  SQLITE_TRANSIENT);
                return static_cast<std::int64_t>(text.size());
            }
            case Kind::Binary:
            case Kind::Text:
            case Kind::Numeric: {
                bool text = column.kind != Kind::Binary;
                auto room = static_cast<SQLLEN>(text ? column.width - 1 : column.width);
                if (maybeTruncated && (indicator == SQL_NO_TOTAL || indicator > room)) {
                    std::string whole =
                        wholeValue(static_cast<SQLUSMALLINT>(c + 1), row, cTypeOf(column.kind));
                    if (text)
                        sqlite3_bind_text(insert, parameter, whole.data(), static_cast<int>(whole.size()),
                                          SQLITE_TRANSIENT);
                    else
                        sqlite3_bind_blob(insert, parameter, whole.data(), static_cast<int>(whole.size()),
                                          SQLITE_TRANSIENT);
                    return static_cast<std::int64_t>(whole.size());
                }
                auto length = static_cast<int>(std::min(indicator, room));
                if (text) sqlite3_bind_text(insert, parameter, cell, length, SQLITE_STATIC);
                else sqlite3_bind_blob(insert, parameter, cell, length, SQLITE_STATIC);
                return length;
            }
        }
        return 0;
    }

    std::string context() const {
        return "reading the record source '" + std::string(label_) + "' from the server";
    }

    EngineRecordset::State& state_;
    const OdbcStatement& stmt_;
    std::string_view label_;
    std::chrono::steady_clock::time_point deadline_;
    OpeningProgress progress_;
    std::vector<ServerColumn> columns_;
    Statement insert_;
    Statement insertBatch_;
    SQLULEN batchRows_ = 1;
    SQLULEN rows_ = 0;
    SQLULEN fetched_ = 0;
    std::vector<SQLUSMALLINT> status_;
};

}  // namespace

std::unique_ptr<EngineRecordset::State> openOdbcState(const OpenSettings& settings) {
    std::string_view source = trimmedSource(settings.recordSource);
    if (source.empty())
        fail(failure::kObjectNotSet, "The data control has no RecordSource, so it has no recordset to open.");
    std::string connection = withDatabase(odbcConnectionString(settings.connect), settings.databaseName);
    if (connection.empty())
        fail(odbc_failure::kConnectFailed,
             "ODBC--connection failed: Connect is \"ODBC;\" with no connection string after it.");
    const OpeningLimits& limits = settings.limits;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limits.milliseconds);

    OdbcConnection server(listConnectionString(connection, kFetchRows), secondsLeft(deadline));
    makeSessionReadOnly(server);
    // Each step on the server gets what is left of the opening's time.
    auto limitToTimeLeft = [&] {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        if (left.count() <= 0)
            fail(failure_code::kOpeningLimit, "The record source '" + std::string(source) +
                                                  "' took longer than " + durationText(limits.milliseconds) +
                                                  " to open, the limit of an opening.");
        server.exec("SET statement_timeout = " + std::to_string(left.count()),
                    "setting the opening's time limit");
    };
    limitToTimeLeft();

    auto state = std::make_unique<EngineRecordset::State>();
    state->limits = limits;
    // A private store: a temporary database of the list's own.
    state->db = Connection(std::string(), nullptr, Connection::Threads::Shared);
    state->db.exec("PRAGMA temp_store = FILE", "preparing the records");
    state->db.exec("PRAGMA temp.journal_mode = OFF", "preparing the records");
    state->db.exec("PRAGMA temp.synchronous = OFF", "preparing the records");
    registerFoldCollation(state->db.get());

    std::string sql = serverSql(server, settings, source);
    {
        limitToTimeLeft();
        OdbcStatement stmt(server);
        SQLRETURN rc = stmt.prepareAndExecute(sql);
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) failQuery(stmt, source, limits);
        RecordCopy(*state, stmt, source, deadline, settings.progress).run();
    }
    server.exec("SET statement_timeout = 0", "ending the opening's time limit");
    prepareReading(*state);
    state->watch = std::make_unique<ServerWatch>(
        std::move(server), std::chrono::milliseconds(settings.freshnessMilliseconds), std::string(source));
    return state;
}

}  // namespace quorvel::engine
