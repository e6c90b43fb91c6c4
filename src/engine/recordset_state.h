// The open state of a recordset: what an engine's opening fills and the
// core (rows, navigation, finds) reads. The records always sit in a local
// SQLite store: a table of a SQLite file read in place, or a TEMP table
// holding a copy of the records in the recordset's order, whose rowids are
// the positions.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/data_engine.h"
#include "engine/index_worker.h"
#include "engine/position_loader.h"
#include "engine/recordset.h"
#include "engine/recordset_find.h"
#include "engine/sqlite_handle.h"
#include "platform/data.h"

namespace quorvel::engine {

inline constexpr std::size_t kRowCacheSize = 64;

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

// What the records came from, looked at again after the opening: another
// connection's commits to a file read in place, or whether the connection
// the records came from still answers. Runs on the recordset's thread.
class ChangeWatch {
public:
    virtual ~ChangeWatch() = default;
    // Looks, unless a read looked within the freshness interval; true when
    // a change was seen. Throws a Failure when the source cannot be reached.
    virtual bool look() = 0;
    // After a read of the store: true when that read met a change.
    virtual bool noteRead() = 0;
};

// The positions (count, rowids) are the RowPositions it derives from.
struct EngineRecordset::State : RowPositions {
    Connection db;  // the local store
    std::vector<FieldInfo> fields;
    CriteriaFields fieldNames;  // what criteria are resolved against
    std::string rowSource;      // SQL naming the rows: a quoted table or the TEMP copy
    std::string copyTable;      // the TEMP copy's name, when there is one
    std::string tableName;      // the table read in place, as the file names it
    std::string rowidName;      // the rowid column of rowSource
    Statement readRow;
    std::array<CachedRow, kRowCacheSize> cache;
    std::vector<FieldIndex> indexes;
    std::int32_t position = -1;
    // Set for a table read in place: its records are read from the database
    // file as they are asked for, each in a short transaction of its own,
    // so other connections' commits show.
    bool readsFile = false;
    // Looks at what the records came from (see ChangeWatch); none when
    // nothing can change them. `epoch` counts the changes seen since the
    // opening; `indexEpoch[f]` is the epoch field f's index was built at,
    // and an index of an earlier epoch is stale: its answers are checked.
    std::unique_ptr<ChangeWatch> watch;
    std::uint64_t epoch = 0;
    std::vector<std::uint64_t> indexEpoch;
    // Per field: 1 + the epoch at which a background build of its index
    // failed (0: none did). A failed build is asked again only after the
    // next change, not at every find.
    std::vector<std::uint64_t> failedAt;
    // Per field: its rowid and value from a rowid on, in rowid order; checks
    // a candidate of a stale index and scans when there is no index.
    std::vector<Statement> keyReads;
    // What the opening may take.
    OpeningLimits limits;
    // Reads the rest of a large table's positions after the opening (see
    // position_loader.h); none once the opening read them all. `count`
    // is what this thread took of them so far (EngineRecordset::takeLoaded).
    std::unique_ptr<PositionLoader> loader;
    // The fields whose indexes the worker builds once every position is in.
    std::optional<std::vector<std::string>> searchedBefore;
    // What stopped the loader before the last position, once it is done.
    std::optional<Failure> loadFailure;
    // Builds find indexes off the recordset's thread: those of a table read
    // in place from its own connection, those of a copy through `db`. Last,
    // so that it stops before anything above goes.
    std::unique_ptr<IndexWorker> worker;
};

// What reading the keys of the state's fields needs.
KeySource keySourceOf(const EngineRecordset::State& state);

// What every opening does once its records are known: the statements that
// read a row and a field's keys, the fields' names, an empty index slot a
// field, the first record current.
void prepareReading(EngineRecordset::State& state);

// A field's name as the control shows it; the SQL keeps the column's own.
void addField(EngineRecordset::State& state, std::string_view name, std::string columnSql);

// 3058 for a record source that gives more records than an opening may.
[[noreturn]] void tooManyRecords(const EngineRecordset::State& state, std::string_view label);

// 3059 for an opening its progress hook stopped after `records`.
[[noreturn]] void openingCancelled(std::string_view label, std::int64_t records);

// How often an opening tells its progress hook the records read.
inline constexpr std::chrono::milliseconds kProgressEvery{50};

// "2 s", "250 ms": a limit as the failures name it.
std::string durationText(std::int64_t milliseconds);

// Opens the records of a SQLite file (sqlite_opening.cpp). `predecessor` is
// the connection of the recordset this one replaces, if any.
std::unique_ptr<EngineRecordset::State> openSqliteState(const OpenSettings& settings,
                                                        const Connection* predecessor);

// Opens the records of a database server through ODBC (odbc_opening.cpp),
// for a Connect that begins with "ODBC;".
std::unique_ptr<EngineRecordset::State> openOdbcState(const OpenSettings& settings);

}  // namespace quorvel::engine
