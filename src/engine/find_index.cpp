#include "engine/find_index.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <queue>

#include "engine/text_fold.h"
#include "platform/failure.h"

namespace quorvel::engine {

template <class At>
void RangeMinimum::build(std::size_t n, At&& at) {
    n_ = n;
    levels_.clear();
    std::size_t blocks = (n + kBlock - 1) / kBlock;
    if (blocks == 0) return;
    std::vector<std::uint32_t> base(blocks);
    for (std::size_t b = 0; b < blocks; ++b) {
        std::size_t begin = b * kBlock, end = std::min(n, begin + kBlock), best = begin;
        for (std::size_t i = begin + 1; i < end; ++i) {
            if (at(i) < at(best)) best = i;
        }
        base[b] = static_cast<std::uint32_t>(best);
    }
    levels_.push_back(std::move(base));
    for (std::size_t width = 2; width <= blocks; width *= 2) {
        const auto& previous = levels_.back();
        std::vector<std::uint32_t> level(blocks - width + 1);
        for (std::size_t b = 0; b < level.size(); ++b) {
            std::uint32_t left = previous[b], right = previous[b + width / 2];
            level[b] = at(right) < at(left) ? right : left;
        }
        levels_.push_back(std::move(level));
    }
}

template <class At>
std::size_t RangeMinimum::argmin(std::size_t lo, std::size_t hi, At&& at) const {
    std::size_t best = lo;
    auto consider = [&](std::size_t i) {
        if (at(i) < at(best)) best = i;
    };
    std::size_t firstFull = (lo + kBlock - 1) / kBlock, endFull = hi / kBlock;
    if (firstFull >= endFull) {
        for (std::size_t i = lo + 1; i < hi; ++i) consider(i);
        return best;
    }
    for (std::size_t i = lo; i < firstFull * kBlock; ++i) consider(i);
    for (std::size_t i = endFull * kBlock; i < hi; ++i) consider(i);
    std::size_t blocks = endFull - firstFull;
    std::size_t k = static_cast<std::size_t>(std::bit_width(blocks) - 1);
    consider(levels_[k][firstFull]);
    consider(levels_[k][endFull - (std::size_t{1} << k)]);
    return best;
}

std::size_t RangeMinimum::memoryBytes() const {
    std::size_t bytes = 0;
    for (const auto& level : levels_) bytes += level.capacity() * sizeof(std::uint32_t);
    return bytes;
}

namespace {

std::uint64_t prefixOf(std::string_view key) {
    unsigned char bytes[8] = {};
    std::memcpy(bytes, key.data(), std::min<std::size_t>(8, key.size()));
    std::uint64_t value = 0;
    for (unsigned char b : bytes) value = (value << 8) | b;
    return value;
}

int compareBytes(std::string_view a, std::string_view b) {
    int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    if (c != 0) return c;
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

void appendVarint(std::uint64_t value, std::string& out) {
    while (value >= 0x80) {
        out += static_cast<char>((value & 0x7F) | 0x80);
        value >>= 7;
    }
    out += static_cast<char>(value);
}

std::uint64_t readVarint(const char* data, std::size_t& at) {
    std::uint64_t value = 0;
    int shift = 0;
    while (true) {
        auto byte = static_cast<unsigned char>(data[at++]);
        value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0) return value;
        shift += 7;
    }
}

void checkArenaSize(std::size_t size) {
    if (size > std::numeric_limits<std::uint32_t>::max())
        fail(failure::kOutOfMemory, "The find index of this field would exceed 4 GB of keys.");
}

}  // namespace

// --- TextKeyIndex ------------------------------------------------------------

void TextKeyIndex::reserve(std::size_t records, std::size_t keyBytes) {
    sorted_.reserve(records);
    arena_.reserve(keyBytes + records);
}

void TextKeyIndex::add(std::string_view text) {
    thread_local std::string key;
    key.clear();
    appendFolded(text, key);
    auto offset = static_cast<std::uint32_t>(arena_.size());
    appendVarint(key.size() + 1, arena_);
    arena_ += key;
    checkArenaSize(arena_.size());
    sorted_.push_back({prefixOf(key), offset, count_++});
}

void TextKeyIndex::addNull() {
    arena_ += '\0';
    checkArenaSize(arena_.size());
    ++count_;
}

std::string_view TextKeyIndex::keyAt(std::uint32_t offset) const {
    std::size_t at = offset;
    std::uint64_t length = readVarint(arena_.data(), at) - 1;
    return {arena_.data() + at, static_cast<std::size_t>(length)};
}

void TextKeyIndex::finish() {
    arena_.shrink_to_fit();
    auto less = [this](const Entry& a, const Entry& b) {
        if (a.prefix != b.prefix) return a.prefix < b.prefix;
        int c = compareBytes(keyAt(a.offset), keyAt(b.offset));
        if (c != 0) return c < 0;
        return a.position < b.position;
    };
    // One counting pass on the first byte, then each bucket sorted while it
    // fits in the caches: a third faster than one sort over everything.
    std::size_t counts[257] = {};
    for (const Entry& e : sorted_) ++counts[(e.prefix >> 56) + 1];
    for (std::size_t b = 1; b < 257; ++b) counts[b] += counts[b - 1];
    std::vector<Entry> bucketed(sorted_.size());
    std::size_t next[256];
    std::copy(counts, counts + 256, next);
    for (const Entry& e : sorted_) bucketed[next[e.prefix >> 56]++] = e;
    std::vector<Entry>().swap(sorted_);
    sorted_ = std::move(bucketed);
    for (std::size_t b = 0; b < 256; ++b)
        std::sort(sorted_.begin() + static_cast<std::ptrdiff_t>(counts[b]),
                  sorted_.begin() + static_cast<std::ptrdiff_t>(counts[b + 1]), less);
    minimum_.build(sorted_.size(), [this](std::size_t i) { return sorted_[i].position; });
}

std::size_t TextKeyIndex::lowerBound(std::string_view key) const {
    std::uint64_t prefix = prefixOf(key);
    auto it = std::partition_point(sorted_.begin(), sorted_.end(), [&](const Entry& e) {
        if (e.prefix != prefix) return e.prefix < prefix;
        return compareBytes(keyAt(e.offset), key) < 0;
    });
    return static_cast<std::size_t>(it - sorted_.begin());
}

std::int32_t TextKeyIndex::positionOfMinimum(std::size_t lo, std::size_t hi) const {
    if (lo >= hi) return -1;
    return sorted_[minimum_.argmin(lo, hi, [this](std::size_t i) { return sorted_[i].position; })].position;
}

std::int32_t TextKeyIndex::firstEqual(std::string_view foldedText) const {
    std::size_t lo = lowerBound(foldedText);
    if (lo == sorted_.size() || keyAt(sorted_[lo].offset) != foldedText) return -1;
    // Equal keys are sorted by position: the first is the earliest record.
    return sorted_[lo].position;
}

std::int32_t TextKeyIndex::firstAtOrAfter(std::string_view foldedText) const {
    return positionOfMinimum(lowerBound(foldedText), sorted_.size());
}

std::int32_t TextKeyIndex::firstLike(const LikePattern& pattern) const {
    const std::string& prefix = pattern.literalPrefix();
    if (pattern.isLiteral()) return firstEqual(prefix);
    if (prefix.empty()) return scanInRecordsetOrder(pattern);

    std::size_t lo = lowerBound(prefix);
    // The keys with the prefix are those from the prefix up to, not
    // including, the first text after all of them: the prefix with its last
    // byte raised. Both bounds are decided on the entries' first 8 bytes,
    // which keeps the keys themselves out of the search.
    std::string after = prefix;
    while (!after.empty() && static_cast<unsigned char>(after.back()) == 0xFF) after.pop_back();
    std::size_t hi = sorted_.size();
    if (!after.empty()) {
        after.back() = static_cast<char>(static_cast<unsigned char>(after.back()) + 1);
        hi = lowerBound(after);
    }
    if (pattern.isPrefixThenAnything()) return positionOfMinimum(lo, hi);

    // The keys with the prefix, visited in recordset order by splitting the
    // range around each minimum: the first that matches the whole pattern
    // is the answer, and the visit usually stops after a few candidates.
    struct Range {
        std::int32_t position;
        std::size_t at, lo, hi;
        bool operator>(const Range& other) const { return position > other.position; }
    };
    auto makeRange = [&](std::size_t a, std::size_t b) {
        std::size_t at = minimum_.argmin(a, b, [this](std::size_t i) { return sorted_[i].position; });
        return Range{sorted_[at].position, at, a, b};
    };
    std::priority_queue<Range, std::vector<Range>, std::greater<>> queue;
    if (lo < hi) queue.push(makeRange(lo, hi));
    while (!queue.empty()) {
        Range range = queue.top();
        queue.pop();
        if (pattern.matches(keyAt(sorted_[range.at].offset))) return range.position;
        if (range.lo < range.at) queue.push(makeRange(range.lo, range.at));
        if (range.at + 1 < range.hi) queue.push(makeRange(range.at + 1, range.hi));
    }
    return -1;
}

std::int32_t TextKeyIndex::scanInRecordsetOrder(const LikePattern& pattern) const {
    std::size_t at = 0;
    for (std::int32_t position = 0; position < count_; ++position) {
        std::uint64_t length = readVarint(arena_.data(), at);
        if (length == 0) continue;
        std::string_view key(arena_.data() + at, static_cast<std::size_t>(length - 1));
        at += static_cast<std::size_t>(length - 1);
        if (pattern.matches(key)) return position;
    }
    return -1;
}

std::size_t TextKeyIndex::memoryBytes() const {
    return arena_.capacity() + sorted_.capacity() * sizeof(Entry) + minimum_.memoryBytes();
}

// --- NumberKeyIndex ----------------------------------------------------------

void NumberKeyIndex::add(std::optional<double> key) {
    if (key) pending_.emplace_back(*key, count_);
    ++count_;
}

void NumberKeyIndex::finish() {
    std::sort(pending_.begin(), pending_.end());
    keys_.reserve(pending_.size());
    positions_.reserve(pending_.size());
    for (const auto& [key, position] : pending_) {
        keys_.push_back(key);
        positions_.push_back(position);
    }
    std::vector<std::pair<double, std::int32_t>>().swap(pending_);
    minimum_.build(positions_.size(), [this](std::size_t i) { return positions_[i]; });
}

std::int32_t NumberKeyIndex::firstEqual(double key) const {
    auto it = std::lower_bound(keys_.begin(), keys_.end(), key);
    if (it == keys_.end() || *it != key) return -1;
    return positions_[static_cast<std::size_t>(it - keys_.begin())];
}

std::int32_t NumberKeyIndex::firstAtOrAfter(double key) const {
    auto lo = static_cast<std::size_t>(std::lower_bound(keys_.begin(), keys_.end(), key) - keys_.begin());
    if (lo >= keys_.size()) return -1;
    return positions_[minimum_.argmin(lo, keys_.size(), [this](std::size_t i) { return positions_[i]; })];
}

std::size_t NumberKeyIndex::memoryBytes() const {
    return keys_.capacity() * sizeof(double) + positions_.capacity() * sizeof(std::int32_t) +
           minimum_.memoryBytes();
}

}  // namespace quorvel::engine
