#include "engine/like_pattern.h"

#include <unicode/uchar.h>

#include "engine/data_engine.h"
#include "engine/text_fold.h"
#include "platform/failure.h"

namespace quorvel::engine {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

[[noreturn]] void badPattern(std::string_view pattern, std::string_view why) {
    fail(failure_code::kCriteriaSyntax,
         "Invalid pattern \"" + std::string(pattern) + "\" in criteria expression: " + std::string(why) + ".");
}

}  // namespace

void decodeUtf8(std::string_view text, std::u32string& out) {
    out.clear();
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        unsigned char b = s[i];
        if (b < 0x80) {
            out += static_cast<char32_t>(b);
            ++i;
            continue;
        }
        std::size_t extra = b >= 0xF0 && b <= 0xF4 ? 3 : b >= 0xE0 && b < 0xF0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : 0;
        bool ok = extra > 0 && i + extra < n + 1 && extra <= n - i - 1;
        char32_t c = extra == 3 ? (b & 0x07) : extra == 2 ? (b & 0x0F) : (b & 0x1F);
        for (std::size_t k = 1; ok && k <= extra; ++k) {
            unsigned char cont = s[i + k];
            if ((cont & 0xC0) != 0x80) ok = false;
            c = (c << 6) | (cont & 0x3F);
        }
        if (ok) {
            bool overlong = (extra == 2 && c < 0x800) || (extra == 3 && c < 0x10000);
            bool invalid = (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF;
            ok = !overlong && !invalid;
        }
        if (!ok) {
            out += kReplacement;
            ++i;
            continue;
        }
        out += c;
        i += extra + 1;
    }
}

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

    std::size_t literalCount = 0;
    while (literalCount < result.tokens_.size() && result.tokens_[literalCount].kind == Kind::Char) {
        appendUtf8(result.tokens_[literalCount].ch, result.prefix_);
        ++literalCount;
    }
    result.literal_ = literalCount == result.tokens_.size();
    result.prefixThenAnything_ = literalCount + 1 == result.tokens_.size() &&
                                 result.tokens_.back().kind == Kind::AnyRun;
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

bool LikePattern::matches(std::string_view foldedKey) const {
    if (foldedKey.compare(0, prefix_.size(), prefix_) != 0) return false;
    if (literal_) return foldedKey.size() == prefix_.size();
    if (prefixThenAnything_) return true;

    thread_local std::u32string key;
    decodeUtf8(foldedKey, key);
    // Every token but "*" takes exactly one character, so remembering the
    // last "*" is enough to backtrack: the classic linear-space wildcard match.
    const std::size_t n = tokens_.size();
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t p = 0, k = 0, starToken = kNone, starKey = 0;
    while (k < key.size()) {
        if (p < n && tokens_[p].kind == Kind::AnyRun) {
            starToken = p++;
            starKey = k;
            continue;
        }
        if (p < n && tokenMatches(tokens_[p], key[k])) {
            ++p;
            ++k;
            continue;
        }
        if (starToken == kNone) return false;
        p = starToken + 1;
        k = ++starKey;
    }
    while (p < n && tokens_[p].kind == Kind::AnyRun) ++p;
    return p == n;
}

}  // namespace quorvel::engine
