// The " Like " patterns: compiling fails with 3075 exactly when a plain
// reference reading of the pattern finds it malformed, and a compiled
// pattern matches a key exactly when the reference matcher (a table of
// pattern position against key position) says it does. Keys are compared
// as the engine hands them over, already folded; on ASCII the fold is only
// the lower case, so ASCII keys are folded here by hand. Other keys are
// judged folded by the engine (the reference reads the same code points) and
// tried unfolded too, for a crash only. The pattern's literal prefix and its
// two shortcuts (literal, prefix then anything) must agree with the full
// match.
//
// Input: the pattern on the first line, keys on the lines after it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <unicode/uchar.h>

#include "engine/data_engine.h"
#include "engine/like_pattern.h"
#include "engine/text_fold.h"
#include "fuzz_check.h"
#include "platform/failure.h"
#include "platform/text.h"

using namespace quorvel;
using namespace quorvel::engine;
using quorvel::fuzz::check;
using quorvel::fuzz::shown;

namespace {

struct RefToken {
    enum Kind { Char, AnyRun, AnyOne, Digit, Set } kind = Char;
    char32_t ch = 0;
    bool negated = false;
    std::vector<std::pair<char32_t, char32_t>> ranges;

    bool takes(char32_t c) const {
        switch (kind) {
            case Char: return c == ch;
            case AnyOne: return true;
            case Digit: return u_isdigit(static_cast<UChar32>(c)) != 0;
            case Set: {
                bool inside = false;
                for (auto [low, high] : ranges) inside = inside || (c >= low && c <= high);
                return inside != negated;
            }
            case AnyRun: return false;
        }
        return false;
    }
};

// The pattern's grammar read once more, from its description.
RefToken token(RefToken::Kind kind, char32_t ch = 0) {
    RefToken t;
    t.kind = kind;
    t.ch = ch;
    return t;
}

std::optional<std::vector<RefToken>> referenceTokens(const std::u32string& p) {
    std::vector<RefToken> tokens;
    for (std::size_t i = 0; i < p.size(); ++i) {
        char32_t c = p[i];
        if (c == U'*') tokens.push_back(token(RefToken::AnyRun));
        else if (c == U'?') tokens.push_back(token(RefToken::AnyOne));
        else if (c == U'#') tokens.push_back(token(RefToken::Digit));
        else if (c != U'[') tokens.push_back(token(RefToken::Char, c));
        else {
            RefToken set = token(RefToken::Set);
            std::size_t j = i + 1;
            if (j < p.size() && p[j] == U'!') set.negated = true, ++j;
            std::size_t close = j;
            while (close < p.size() && p[close] != U']') ++close;
            if (close == p.size()) return std::nullopt;  // not closed
            // Between j and close: single characters and "a-b" ranges; a "-"
            // right before the "]" is a plain "-".
            for (std::size_t k = j; k < close;) {
                if (k + 2 < close && p[k + 1] == U'-') {
                    if (p[k + 2] < p[k]) return std::nullopt;  // backwards
                    set.ranges.emplace_back(p[k], p[k + 2]);
                    k += 3;
                } else {
                    set.ranges.emplace_back(p[k], p[k]);
                    ++k;
                }
            }
            if (set.ranges.empty()) return std::nullopt;
            tokens.push_back(std::move(set));
            i = close;
        }
    }
    return tokens;
}

bool referenceMatch(const std::vector<RefToken>& tokens, const std::u32string& key) {
    // can[k]: the tokens so far can take exactly the first k characters.
    std::vector<char> can(key.size() + 1, 0), next(key.size() + 1, 0);
    can[0] = 1;
    for (const RefToken& t : tokens) {
        std::fill(next.begin(), next.end(), 0);
        for (std::size_t k = 0; k <= key.size(); ++k) {
            if (!can[k]) continue;
            if (t.kind == RefToken::AnyRun) {
                for (std::size_t m = k; m <= key.size(); ++m) next[m] = 1;
                break;
            }
            if (k < key.size() && t.takes(key[k])) next[k + 1] = 1;
        }
        std::swap(can, next);
    }
    return can[key.size()] != 0;
}

// A key that the pattern must match: every token given a character it takes.
std::optional<std::u32string> instanceOf(const std::vector<RefToken>& tokens, bool fillRuns) {
    std::u32string out;
    for (const RefToken& t : tokens) {
        switch (t.kind) {
            case RefToken::Char: out += t.ch; break;
            case RefToken::AnyRun:
                if (fillRuns) out += U"ab";
                break;
            case RefToken::AnyOne: out += U'x'; break;
            case RefToken::Digit: out += U'7'; break;
            case RefToken::Set: {
                std::optional<char32_t> pick;
                for (char32_t c : {t.ranges.front().first, U'x', U'0', U'!', U'~', char32_t(0x4E00)})
                    if (t.takes(c)) {
                        pick = c;
                        break;
                    }
                if (!pick) return std::nullopt;
                out += *pick;
                break;
            }
        }
    }
    return out;
}

std::string asciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return out;
}

void checkKey(const LikePattern& compiled, const std::vector<RefToken>* reference, std::string_view pattern,
              const std::string& key) {
    const bool matched = compiled.matches(key);
    const std::string story = shown(pattern) + " against " + shown(key);
    const std::string& prefix = compiled.literalPrefix();
    const bool startsWithPrefix = key.compare(0, prefix.size(), prefix) == 0;
    if (matched) check(startsWithPrefix, "a match does not start with the literal prefix", story);
    if (compiled.isLiteral())
        check(matched == (key == prefix), "a literal pattern is not an equality", story);
    if (compiled.isPrefixThenAnything())
        check(matched == startsWithPrefix, "prefix-then-anything is not a prefix test", story);
    if (reference) {
        std::u32string chars;
        decodeUtf8(key, chars);
        check(matched == referenceMatch(*reference, chars), "matcher and reference disagree", story);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096) return 0;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t end = input.find('\n');
    std::string_view pattern = input.substr(0, end);

    std::u32string foldedPattern;
    decodeUtf8(folded(pattern), foldedPattern);
    const auto reference = referenceTokens(foldedPattern);

    std::optional<LikePattern> compiled;
    try {
        compiled = LikePattern::compile(pattern);
    } catch (const Failure& f) {
        check(f.number() == failure_code::kCriteriaSyntax, "a pattern failed with a number other than 3075",
              shown(pattern));
    }
    check(compiled.has_value() == reference.has_value(),
          compiled ? "a pattern compiled that the reference finds malformed"
                   : "a pattern failed that the reference reads",
          shown(pattern));
    if (!compiled) return 0;

    // Keys that the pattern matches by construction.
    for (bool fillRuns : {false, true}) {
        if (auto instance = instanceOf(*reference, fillRuns)) {
            std::string key;
            for (char32_t c : *instance) appendUtf8(key, c);
            check(compiled->matches(key), "a pattern does not match a key built from it",
                  shown(pattern) + " against " + shown(key));
            checkKey(*compiled, &*reference, pattern, key);
        }
    }

    // Keys from the input: the reference judges where the fold is known.
    const bool asciiPattern = quorvel::fuzz::isAscii(pattern);
    for (int keys = 0; end != std::string_view::npos && keys < 16; ++keys) {
        std::size_t next = input.find('\n', end + 1);
        std::string_view raw = input.substr(end + 1, next == std::string_view::npos ? next : next - end - 1);
        end = next;
        if (asciiPattern && quorvel::fuzz::isAscii(raw)) {
            std::string key = asciiLower(raw);
            check(key == folded(raw), "the fold of ASCII text is not its lower case", shown(raw));
            checkKey(*compiled, &*reference, pattern, key);
        } else {
            checkKey(*compiled, nullptr, pattern, std::string(raw));
            checkKey(*compiled, &*reference, pattern, folded(raw));
        }
    }
    return 0;
}
