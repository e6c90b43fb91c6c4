// Finds: a criteria becomes a test of one stored value (KeyTest), answered
// from the field's find index or, while there is none, by reading the
// records in order. The keys an index is built from are collected by
// KeyCollector, on the recordset's thread or on the index worker's.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/criteria.h"
#include "engine/field_values.h"
#include "engine/find_index.h"
#include "engine/index_worker.h"
#include "engine/like_pattern.h"
#include "engine/position_table.h"
#include "engine/sqlite_handle.h"

struct sqlite3_stmt;

namespace quorvel::engine {

// The criteria as a test of one stored value, with the keys the index
// compares: what an index answers, asked of a row read from the store.
struct KeyTest {
    KeyKind kind = KeyKind::Text;
    CriteriaOp op = CriteriaOp::Equal;
    std::string textKey;
    std::optional<LikePattern> pattern;
    double numberKey = 0;

    bool matches(sqlite3_stmt* row, int column) const;

private:
    mutable std::string scratch_;
};

// Which row of the store each position is (see position_table.h), and how
// many positions the recordset's thread knows of: the table may still be
// filling from a loader when the recordset opens. One table per opening,
// shared by the recordset and whatever builds its indexes; a position's
// rowid never changes once it is published.
struct RowPositions {
    std::int32_t count = 0;
    std::shared_ptr<const PositionTable> positions = PositionTable::consecutive(1, 0);

    std::int64_t rowidAt(std::int32_t p) const { return positions->rowidAt(p); }
};

// A field's keys, added by rowid in rowid order, into an index by position.
// A table read in place may have lost records since the opening (their
// positions get no key, so a find never lands on them) or gained some
// (not in the list: passed over). With `deferFolding` the texts are kept as
// read and folded by finish(): collecting then costs the reading thread
// little, and the folding goes with the sorting to the worker.
class KeyCollector {
public:
    KeyCollector(KeyKind kind, RowPositions rows, bool deferFolding = false);

    // A row of the scan: its rowid in column 0, the field in column 1.
    void add(sqlite3_stmt* row);
    // Folds what was deferred, sorts, and builds the index. With `stop`,
    // gives up with a Failure once it is set.
    FieldIndex finish(const std::atomic<bool>* stop = nullptr);

private:
    void addNull();
    void addText(std::string_view text);

    KeyKind kind_;
    RowPositions rows_;
    bool defer_;
    std::int32_t next_ = 0;
    std::string raw_;  // deferred texts: varint of length + 1, then the bytes; 0 for Null
    TextKeyIndex text_;
    NumberKeyIndex number_;
};

// What reading a field's keys needs of the store: the same statement text
// for the recordset's thread and the worker's connection.
struct KeySource {
    std::string rowSource;
    std::string rowidName;
    std::vector<std::string> columnSql;
    std::vector<KeyKind> kinds;
    RowPositions rows;
};

// Reads a field's keys from the store in slices of 8192 rowids, each a
// statement run of its own (on a file read in place, a transaction of its
// own: a writer waits for at most a slice). `beforeSlice` runs before each
// and may throw to stop.
KeyCollector readKeys(const Connection& db, const KeySource& source, std::size_t field, bool deferFolding,
                      const std::function<void()>& beforeSlice = {});

}  // namespace quorvel::engine
