// Finds: a criteria becomes a test of one stored value (KeyTest), answered
// from the field's find index or, while there is none, by reading the
// records in order. The keys an index is built from are collected by
// KeyCollector, on the recordset's thread or on the index worker's.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/criteria.h"
#include "engine/field_values.h"
#include "engine/find_index.h"
#include "engine/index_worker.h"
#include "engine/like_pattern.h"

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
    void add(sqlite3_stmt* row);
    FieldIndex finish();

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

}  // namespace quorvel::engine
