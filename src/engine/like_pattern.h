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
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::engine {

class LikePattern {
public:
    // `pattern` as the criteria gives it; it is folded here. Failure 3075
    // for an unclosed "[", an empty set "[]" or "[!]", or a reversed range.
    static LikePattern compile(std::string_view pattern);

    // Whether the folded key matches the whole pattern.
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
        char32_t ch = 0;      // Char
        std::uint32_t set = 0;  // Set: index into sets_
    };
    struct CharSet {
        bool negated = false;
        std::vector<std::pair<char32_t, char32_t>> ranges;
        bool contains(char32_t c) const;
    };

    bool tokenMatches(const Token& token, char32_t c) const;

    std::vector<Token> tokens_;
    std::vector<CharSet> sets_;
    std::string prefix_;
    bool prefixThenAnything_ = false;
    bool literal_ = false;
};

// Decodes UTF-8 into code points; a byte that is not UTF-8 decodes as
// U+FFFD on its own.
void decodeUtf8(std::string_view text, std::u32string& out);

}  // namespace quorvel::engine
