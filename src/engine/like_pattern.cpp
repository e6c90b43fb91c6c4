#include "engine/like_pattern.h"

#include <algorithm>

#include <unicode/uchar.h>

#include "engine/data_engine.h"
#include "engine/text_fold.h"
#include "platform/failure.h"
#include "platform/text.h"

namespace quorvel::engine {

namespace {

[[noreturn]] void badPattern(std::string_view pattern, std::string_view why) {
    fail(failure_code::kCriteriaSyntax, "Invalid pattern \"" + std::string(pattern) +
                                            "\" in criteria expression: " + std::string(why) + ".");
}

}  // namespace

bool LikePattern::CharSet::contains(char32_t c) const {
    bool inside = false;
    for (const auto& [low, high] : ranges) {
        if (c >= low && c <= high) {
            inside = true;
            break;
        }
    }
    return inside != negated;
}

LikePattern LikePattern::compile(std::string_view pattern) {
    LikePattern result;
    std::u32string chars;
    decodeUtf8(folded(pattern), chars);

    std::size_t i = 0;
    while (i < chars.size()) {
        char32_t c = chars[i];
        if (c == U'*') {
            if (result.tokens_.empty() || result.tokens_.back().kind != Kind::AnyRun)
                result.tokens_.push_back({Kind::AnyRun});
            ++i;
        } else if (c == U'?') {
            result.tokens_.push_back({Kind::AnyOne});
            ++i;
        } else if (c == U'#') {
            result.tokens_.push_back({Kind::Digit});
            ++i;
        } else if (c == U'[') {
            CharSet set;
            ++i;
            if (i < chars.size() && chars[i] == U'!') {
                set.negated = true;
                ++i;
            }
            bool closed = false;
            while (i < chars.size()) {
                char32_t low = chars[i];
                if (low == U']') {
                    closed = true;
                    ++i;
                    break;
                }
                // "a-z" is a range unless the "-" is the set's last character.
                if (i + 2 < chars.size() && chars[i + 1] == U'-' && chars[i + 2] != U']') {
                    char32_t high = chars[i + 2];
                    if (high < low) badPattern(pattern, "a range runs backwards");
                    set.ranges.emplace_back(low, high);
                    i += 3;
                } else {
                    set.ranges.emplace_back(low, low);
                    ++i;
                }
            }
            if (!closed) badPattern(pattern, "a \"[\" is not closed by \"]\"");
            if (set.ranges.empty()) badPattern(pattern, "a set of characters is empty");
            result.tokens_.push_back({Kind::Set, 0, static_cast<std::uint32_t>(result.sets_.size())});
            result.sets_.push_back(std::move(set));
        } else {
            result.tokens_.push_back({Kind::Char, c});
            ++i;
        }
    }

    // The segments between stars, and what each needs to be searched.
    Segment current;
    auto closeSegment = [&](std::size_t end) {
        current.length = end - current.first;
        result.minLength_ += current.length;
        for (std::size_t t = current.first; t < end; ++t) {
            if (result.tokens_[t].kind != Kind::Char) current.literal = false;
        }
        if (current.literal) {
            for (std::size_t t = current.first; t < end; ++t) current.chars += result.tokens_[t].ch;
            current.border.assign(current.length, 0);
            for (std::size_t q = 1, k = 0; q < current.length; ++q) {
                while (k > 0 && current.chars[q] != current.chars[k]) k = current.border[k - 1];
                if (current.chars[q] == current.chars[k]) ++k;
                current.border[q] = static_cast<std::uint32_t>(k);
            }
        } else {
            current.words = (current.length + 63) / 64;
            current.asciiAt.assign(128, kUnknown);
        }
        result.segments_.push_back(std::move(current));
        current = Segment{};
        current.first = end + 1;
    };
    for (std::size_t t = 0; t < result.tokens_.size(); ++t) {
        if (result.tokens_[t].kind == Kind::AnyRun) closeSegment(t);
    }
    closeSegment(result.tokens_.size());

    std::size_t literalCount = 0;
    while (literalCount < result.tokens_.size() && result.tokens_[literalCount].kind == Kind::Char) {
        appendUtf8(result.prefix_, result.tokens_[literalCount].ch);
        ++literalCount;
    }
    result.literal_ = literalCount == result.tokens_.size();
    result.prefixThenAnything_ =
        literalCount + 1 == result.tokens_.size() && result.tokens_.back().kind == Kind::AnyRun;
    return result;
}

bool LikePattern::tokenMatches(const Token& token, char32_t c) const {
    switch (token.kind) {
        case Kind::Char: return token.ch == c;
        case Kind::AnyOne: return true;
        case Kind::Digit: return u_isdigit(static_cast<UChar32>(c)) != 0;
        case Kind::Set: return sets_[token.set].contains(c);
        case Kind::AnyRun: return false;
    }
    return false;
}

bool LikePattern::matchesAt(const Segment& segment, const std::u32string& key, std::size_t at) const {
    for (std::size_t i = 0; i < segment.length; ++i) {
        if (!tokenMatches(tokens_[segment.first + i], key[at + i])) return false;
    }
    return true;
}

const std::uint64_t* LikePattern::maskOf(const Segment& segment, char32_t c) const {
    // Beyond this many words of masks a segment stops remembering them and
    // works each out again: slower, but its memory stays bounded.
    constexpr std::size_t kMaskCacheWords = std::size_t{1} << 18;
    const bool ascii = c < segment.asciiAt.size();
    if (ascii && segment.asciiAt[c] != kUnknown) return segment.masks.data() + segment.asciiAt[c];
    if (!ascii) {
        if (auto it = segment.maskAt.find(c); it != segment.maskAt.end())
            return segment.masks.data() + it->second;
    }

    const bool cached = segment.masks.size() + segment.words <= kMaskCacheWords;
    std::vector<std::uint64_t>& into = cached ? segment.masks : spare_;
    const std::size_t offset = cached ? into.size() : 0;
    into.resize(offset + segment.words);
    std::fill(into.begin() + static_cast<std::ptrdiff_t>(offset), into.end(), 0);
    for (std::size_t i = 0; i < segment.length; ++i) {
        if (tokenMatches(tokens_[segment.first + i], c))
            into[offset + i / 64] |= std::uint64_t{1} << (i % 64);
    }
    if (cached && ascii) segment.asciiAt[c] = offset;
    if (cached && !ascii) segment.maskAt.emplace(c, offset);
    return into.data() + offset;
}

std::size_t LikePattern::find(const Segment& segment, const std::u32string& key, std::size_t from,
                              std::size_t to) const {
    const std::size_t m = segment.length;
    if (to < from || to - from < m) return std::u32string::npos;

    if (segment.literal) {
        const std::u32string& p = segment.chars;
        std::size_t q = 0;  // characters of the segment matched so far
        for (std::size_t i = from; i < to; ++i) {
            while (q > 0 && p[q] != key[i]) q = segment.border[q - 1];
            if (p[q] == key[i]) ++q;
            if (q == m) return i + 1 - m;
        }
        return std::u32string::npos;
    }

    // Bit i of the state: the last i + 1 characters read match the
    // segment's first i + 1 tokens.
    const std::size_t words = segment.words;
    const std::uint64_t done = std::uint64_t{1} << ((m - 1) % 64);
    auto maskAt = [&](std::size_t i) -> const std::uint64_t* {
        const char32_t c = key[i];
        if (c < segment.asciiAt.size() && segment.asciiAt[c] != kUnknown)
            return segment.masks.data() + segment.asciiAt[c];
        return maskOf(segment, c);
    };
    if (words == 1) {
        std::uint64_t state = 0;
        for (std::size_t i = from; i < to; ++i) {
            state = ((state << 1) | 1) & *maskAt(i);
            if ((state & done) != 0) return i + 1 - m;
        }
        return std::u32string::npos;
    }
    state_.assign(words, 0);
    for (std::size_t i = from; i < to; ++i) {
        const std::uint64_t* mask = maskAt(i);
        // Only the words that a match begun at `from` can have reached.
        const std::size_t live = std::min(words, (i - from) / 64 + 1);
        std::uint64_t carry = 1;
        for (std::size_t w = 0; w < live; ++w) {
            const std::uint64_t word = state_[w];
            state_[w] = ((word << 1) | carry) & mask[w];
            carry = word >> 63;
        }
        if ((state_[words - 1] & done) != 0) return i + 1 - m;
    }
    return std::u32string::npos;
}

bool LikePattern::matches(std::string_view foldedKey) const {
    if (foldedKey.compare(0, prefix_.size(), prefix_) != 0) return false;
    if (literal_) return foldedKey.size() == prefix_.size();
    if (prefixThenAnything_) return true;

    decodeUtf8(foldedKey, key_);
    const std::size_t n = key_.size();
    if (n < minLength_) return false;
    const Segment& head = segments_.front();
    if (segments_.size() == 1) return n == head.length && matchesAt(head, key_, 0);

    const Segment& tail = segments_.back();
    const std::size_t end = n - tail.length;  // minLength_ keeps head and tail apart
    if (!matchesAt(head, key_, 0) || !matchesAt(tail, key_, end)) return false;
    std::size_t from = head.length;
    for (std::size_t s = 1; s + 1 < segments_.size(); ++s) {
        std::size_t at = find(segments_[s], key_, from, end);
        if (at == std::u32string::npos) return false;
        from = at + segments_[s].length;
    }
    return true;
}

}  // namespace quorvel::engine
