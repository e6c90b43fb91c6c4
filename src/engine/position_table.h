// The rowids of a recordset's records by position, in rowid order.
//
// One thread adds positions (the opening, then the loader that goes on
// reading a large table in the background); any thread reads the positions
// published so far, without a lock: the rowids live in blocks that never
// move, and the count of published positions is the only thing the writer
// and the readers share. Waiting for more (a reader that needs a position
// not read yet) goes through a mutex and a condition variable.
//
// A table that never lost a record has rowids first, first + 1, ...: those
// positions take no memory; rowids are stored from the first gap on.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/failure.h"

namespace quorvel::engine {

class PositionTable {
public:
    // Room for `capacity` positions (the most the writer will add).
    explicit PositionTable(std::int32_t capacity);
    PositionTable(const PositionTable&) = delete;
    PositionTable& operator=(const PositionTable&) = delete;

    // Complete at once: `count` positions of rowids first, first + 1, ...
    static std::shared_ptr<PositionTable> consecutive(std::int64_t first, std::int32_t count);

    // The writer's. Adds the next position; its rowid is above the last
    // one's. Fails with 3058's neighbour (out of memory) past the capacity.
    void add(std::int64_t rowid);
    // Makes what was added readable.
    void publish();
    // Publishes and ends the table; `failure` when the reading stopped on
    // one (the positions read before it stay).
    void finish(std::optional<Failure> failure = std::nullopt);

    // Anyone's.
    std::int32_t count() const { return published_.load(std::memory_order_acquire); }
    bool complete() const { return complete_.load(std::memory_order_acquire); }
    // Position `p` below count().
    std::int64_t rowidAt(std::int32_t p) const {
        std::int32_t gap = firstGap_.load(std::memory_order_relaxed);
        if (p < gap) return first_ + p;
        auto at = static_cast<std::size_t>(p - gap);
        return blocks_[at >> kBlockBits][at & kBlockMask];
    }
    // Waits until position `p` is published or the table is complete, and
    // gives count() then.
    std::int32_t waitFor(std::int32_t p) const;
    // The same, waiting at most `timeout`.
    std::int32_t waitFor(std::int32_t p, std::chrono::milliseconds timeout) const;
    // What stopped the reading early, once complete(); none when it ended
    // with the records.
    const std::optional<Failure>& failure() const { return failure_; }
    // The rowids' memory.
    std::size_t memoryBytes() const;

private:
    static constexpr int kBlockBits = 12;
    static constexpr std::size_t kBlockMask = (std::size_t{1} << kBlockBits) - 1;

    std::int64_t* slot(std::size_t at);

    std::int32_t capacity_;
    std::int64_t first_ = 0;  // the rowid of position 0, set before it is published
    // Positions below it have rowid first_ + p. Set by the writer at the
    // first gap, before the positions from the gap on are published; a
    // reader that loads the old value for a published position gets the
    // same rowid either way.
    std::atomic<std::int32_t> firstGap_;
    std::int32_t added_ = 0;  // the writer's
    std::atomic<std::int32_t> published_{0};
    std::atomic<bool> complete_{false};
    // As many block pointers as the capacity needs, made at construction:
    // the writer fills a block's pointer before publishing a position in it.
    std::vector<std::unique_ptr<std::int64_t[]>> blocks_;
    std::optional<Failure> failure_;  // written before complete_ is set
    mutable std::mutex mutex_;
    mutable std::condition_variable more_;
};

}  // namespace quorvel::engine
