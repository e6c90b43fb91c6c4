#include "engine/position_table.h"

#include <algorithm>
#include <limits>

namespace quorvel::engine {

PositionTable::PositionTable(std::int32_t capacity)
    : capacity_(std::max(capacity, 0)), firstGap_(std::numeric_limits<std::int32_t>::max()) {
    // Only the positions from a gap on need room, at most the capacity.
    blocks_.resize((static_cast<std::size_t>(capacity_) + kBlockMask) >> kBlockBits);
}

std::shared_ptr<PositionTable> PositionTable::consecutive(std::int64_t first, std::int32_t count) {
    auto table = std::make_shared<PositionTable>(0);
    table->first_ = first;
    table->added_ = count;
    table->published_.store(count, std::memory_order_release);
    table->complete_.store(true, std::memory_order_release);
    return table;
}

std::int64_t* PositionTable::slot(std::size_t at) {
    auto& block = blocks_[at >> kBlockBits];
    if (!block) {
        // The last block holds only what the capacity leaves for it.
        std::size_t start = at & ~kBlockMask;
        std::size_t size = std::min(kBlockMask + 1, static_cast<std::size_t>(capacity_) - start);
        block = std::make_unique<std::int64_t[]>(size);
    }
    return &block[at & kBlockMask];
}

void PositionTable::add(std::int64_t rowid) {
    if (added_ >= capacity_)
        fail(failure::kOutOfMemory, "The record source has more records than its positions were sized for.");
    std::int32_t gap = firstGap_.load(std::memory_order_relaxed);
    if (added_ == 0) {
        first_ = rowid;
    } else if (added_ < gap && rowid != first_ + added_) {
        gap = added_;
        firstGap_.store(gap, std::memory_order_relaxed);
    }
    if (added_ >= gap) *slot(static_cast<std::size_t>(added_ - gap)) = rowid;
    ++added_;
}

void PositionTable::publish() {
    {
        std::lock_guard lock(mutex_);
        published_.store(added_, std::memory_order_release);
    }
    more_.notify_all();
}

void PositionTable::finish(std::optional<Failure> failure) {
    {
        std::lock_guard lock(mutex_);
        failure_ = std::move(failure);
        published_.store(added_, std::memory_order_release);
        complete_.store(true, std::memory_order_release);
    }
    more_.notify_all();
}

std::int32_t PositionTable::waitFor(std::int32_t p) const {
    std::unique_lock lock(mutex_);
    more_.wait(lock, [&] { return complete() || count() > p; });
    return count();
}

std::int32_t PositionTable::waitFor(std::int32_t p, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    more_.wait_for(lock, timeout, [&] { return complete() || count() > p; });
    return count();
}

std::size_t PositionTable::memoryBytes() const {
    std::size_t bytes = blocks_.capacity() * sizeof(blocks_[0]);
    std::int32_t gap = firstGap_.load(std::memory_order_relaxed);
    std::int32_t n = count();
    if (n > gap) {
        auto stored = static_cast<std::size_t>(n - gap);
        bytes += ((stored + kBlockMask) >> kBlockBits) * (kBlockMask + 1) * sizeof(std::int64_t);
    }
    return bytes;
}

}  // namespace quorvel::engine
