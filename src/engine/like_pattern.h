// The " Like " patterns of a find: "*" any run of characters (also none),
// "?" one character, "#" one digit, "[abc]" one of a set, "[a-z]" one of a
// range, "[!abc]" one character outside the set. Inside brackets "*", "?"
// and "#" stand for themselves, and a "-" first or last is a plain "-"; a
// "]" outside brackets is a plain "]".
//
// A pattern is compiled from folded text and matched against folded keys
// (text_fold.h), so it is as case-insensitive as every other comparison.
// Characters are code points of the folded text, never bytes; a character
// that folds to several ("ß" to "ss") counts as those several, so
// "Stra??e" matches "Straße" and "Stra?e" does not.
//
// Matching never backtracks. Every token but "*" takes exactly one
// character, so the pattern is a run of fixed-length segments between
// stars: the first is tried at the key's start, the last at its end, and
// each one between is taken at its leftmost place after the one before (a
// later place could only leave less room for the rest). A segment of plain
// characters is found with Knuth-Morris-Pratt, one with "?", "#" or sets
// with a bit-parallel Shift-And, so a key of n characters costs O(n) for
// literal segments and O(n * ceil(m / 64)) for a segment of m tokens with
// wildcards, however the pattern and key are made.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quorvel::engine {

class LikePattern {
public:
    // `pattern` as the criteria gives it; it is folded here. Failure 3075
    // for an unclosed "[", an empty set "[]" or "[!]", or a reversed range.
    static LikePattern compile(std::string_view pattern);

    // Whether the folded key matches the whole pattern. The matcher keeps
    // scratch space and the masks of characters it has met between calls,
    // so one pattern is not to be used from two threads at once.
    bool matches(std::string_view foldedKey) const;

    // The folded literal text that every match starts with ("ros" for
    // "Ros*e"); empty when the pattern starts with a wildcard.
    const std::string& literalPrefix() const { return prefix_; }
    // The pattern is its literal prefix and then "*" alone: every key that
    // starts with the prefix matches.
    bool isPrefixThenAnything() const { return prefixThenAnything_; }
    // The pattern has no wildcard at all: it matches its prefix only.
    bool isLiteral() const { return literal_; }

private:
    enum class Kind : std::uint8_t { Char, AnyRun, AnyOne, Digit, Set };
    struct Token {
        Kind kind;
        char32_t ch = 0;        // Char
        std::uint32_t set = 0;  // Set: index into sets_
    };
    struct CharSet {
        bool negated = false;
        std::vector<std::pair<char32_t, char32_t>> ranges;
        bool contains(char32_t c) const;
    };
    static constexpr std::size_t kUnknown = static_cast<std::size_t>(-1);
    // The tokens between two stars (or an end of the pattern).
    struct Segment {
        std::size_t first = 0, length = 0;  // into tokens_
        bool literal = true;                // Char tokens only
        std::u32string chars;               // literal: the characters
        std::vector<std::uint32_t> border;  // literal: KMP failure links
        std::size_t words = 0;              // otherwise: 64-bit words of a state
        // Otherwise: for each character met so far, the offset in masks of
        // its words (bit i set when token i takes it). Filled as keys bring
        // new characters; a pattern sees few distinct characters.
        mutable std::vector<std::size_t> asciiAt;  // ASCII by code, kUnknown when not met
        mutable std::unordered_map<char32_t, std::size_t> maskAt;
        mutable std::vector<std::uint64_t> masks;
    };

    bool tokenMatches(const Token& token, char32_t c) const;
    bool matchesAt(const Segment& segment, const std::u32string& key, std::size_t at) const;
    // The leftmost place in key[from, to) where the whole segment fits, or npos.
    std::size_t find(const Segment& segment, const std::u32string& key, std::size_t from,
                     std::size_t to) const;
    const std::uint64_t* maskOf(const Segment& segment, char32_t c) const;

    std::vector<Token> tokens_;
    std::vector<CharSet> sets_;
    std::vector<Segment> segments_;  // one more than the stars
    std::size_t minLength_ = 0;      // characters every match needs
    std::string prefix_;
    bool prefixThenAnything_ = false;
    bool literal_ = false;
    mutable std::u32string key_;                // the decoded key
    mutable std::vector<std::uint64_t> state_;  // Shift-And state
    mutable std::vector<std::uint64_t> spare_;  // a mask once the cache is full
};

}  // namespace quorvel::engine
