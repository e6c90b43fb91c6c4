// Find indexes: for one field, "the smallest recordset position whose key
// lies in a range of keys" without visiting the recordset.
//
// Keys are sorted with their positions (ties by position); a range-minimum
// table over the sorted positions then gives the first record in recordset
// order for any sorted range in constant time, so ">=" (a suffix of the
// sorted keys), "=" and a literal prefix (a contiguous range) cost one or
// two binary searches, whatever the recordset's order. Null values have no
// key and match nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/like_pattern.h"

namespace quorvel::engine {

// The index of the minimum of a fixed array over any range [lo, hi), in
// constant time: minima of blocks of 32, and a sparse table over the blocks
// (about 2 bytes an element). The array is read through `at`, so the table
// needs no copy of it.
class RangeMinimum {
public:
    template <class At>
    void build(std::size_t n, At&& at);
    template <class At>
    std::size_t argmin(std::size_t lo, std::size_t hi, At&& at) const;
    std::size_t memoryBytes() const;

private:
    static constexpr std::size_t kBlock = 32;
    std::size_t n_ = 0;
    // levels_[k][b]: index of the minimum over blocks b .. b + 2^k - 1.
    std::vector<std::vector<std::uint32_t>> levels_;
};

class TextKeyIndex {
public:
    void reserve(std::size_t records, std::size_t keyBytes);
    // Keys are added in recordset order, one per record: folded here.
    void add(std::string_view text);
    void addNull();
    void finish();

    std::int32_t size() const { return count_; }
    // The first position whose key equals / is at or after the folded text;
    // -1 for none.
    std::int32_t firstEqual(std::string_view foldedText) const;
    std::int32_t firstAtOrAfter(std::string_view foldedText) const;
    std::int32_t firstLike(const LikePattern& pattern) const;
    std::size_t memoryBytes() const;

private:
    struct Entry {
        std::uint64_t prefix;  // the key's first 8 bytes, big-endian, zero-padded
        std::uint32_t offset;  // of the key's length in arena_
        std::int32_t position;
    };
    std::string_view keyAt(std::uint32_t offset) const;
    std::size_t lowerBound(std::string_view key) const;
    std::int32_t positionOfMinimum(std::size_t lo, std::size_t hi) const;
    std::int32_t scanInRecordsetOrder(const LikePattern& pattern) const;

    // Keys in recordset order, each a varint of length + 1 then its bytes;
    // a Null is the single byte 0. Walking it is the compact scan that
    // patterns without a prefix need.
    std::string arena_;
    std::vector<Entry> sorted_;
    RangeMinimum minimum_;
    std::int32_t count_ = 0;
};

class NumberKeyIndex {
public:
    void reserve(std::size_t records) { pending_.reserve(records); }
    void add(std::optional<double> key);
    void finish();

    std::int32_t firstEqual(double key) const;
    std::int32_t firstAtOrAfter(double key) const;
    std::size_t memoryBytes() const;

private:
    std::vector<std::pair<double, std::int32_t>> pending_;
    std::vector<double> keys_;
    std::vector<std::int32_t> positions_;
    RangeMinimum minimum_;
    std::int32_t count_ = 0;
};

}  // namespace quorvel::engine
