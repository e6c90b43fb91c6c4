#include "platform/text.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cstring>

namespace quorvel {

namespace {

// Decodes the code point at i and advances i; an invalid byte yields U+FFFD
// and advances by one, so every byte is consumed exactly once.
UChar32 nextCodePoint(std::string_view s, std::size_t& i) {
    auto length = static_cast<std::int32_t>(s.size());
    auto pos = static_cast<std::int32_t>(i);
    UChar32 c;
    U8_NEXT(reinterpret_cast<const std::uint8_t*>(s.data()), pos, length, c);
    i = static_cast<std::size_t>(pos);
    return c < 0 ? 0xFFFD : c;
}

}  // namespace

std::int32_t utf16Length(std::string_view utf8) {
    std::int32_t units = 0;
    for (std::size_t i = 0; i < utf8.size();) units += nextCodePoint(utf8, i) > 0xFFFF ? 2 : 1;
    return units;
}

std::size_t byteOffsetOfUnit(std::string_view utf8, std::int32_t units) {
    if (units <= 0) return 0;
    std::int32_t seen = 0;
    std::size_t i = 0;
    while (i < utf8.size()) {
        std::size_t start = i;
        std::int32_t width = nextCodePoint(utf8, i) > 0xFFFF ? 2 : 1;
        if (seen + width > units) return start;
        seen += width;
        if (seen == units) return i;
    }
    return utf8.size();
}

std::string utf16Mid(std::string_view utf8, std::int32_t start, std::int32_t units) {
    std::size_t from = byteOffsetOfUnit(utf8, start);
    std::size_t to = units < 0 ? utf8.size() : byteOffsetOfUnit(utf8, start + units);
    if (to < from) to = from;
    return std::string(utf8.substr(from, to - from));
}

namespace {

// The length of the leading ASCII run, eight bytes at a time.
std::size_t asciiPrefix(std::string_view s) {
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, s.data() + i, 8);
        if ((word & 0x8080808080808080ULL) != 0) break;
    }
    while (i < s.size() && static_cast<unsigned char>(s[i]) < 0x80) ++i;
    return i;
}

}  // namespace

bool isValidUtf8(std::string_view text) {
    auto length = static_cast<std::int32_t>(text.size());
    auto i = static_cast<std::int32_t>(asciiPrefix(text));
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    while (i < length) {
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) return false;
    }
    return true;
}

std::string validUtf8(std::string_view text) {
    if (isValidUtf8(text)) return std::string(text);
    std::string out;
    out.reserve(text.size() + 8);
    auto length = static_cast<std::int32_t>(text.size());
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    for (std::int32_t i = 0; i < length;) {
        std::int32_t start = i;
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) out += "\xEF\xBF\xBD";
        else out.append(text.data() + start, static_cast<std::size_t>(i - start));
    }
    return out;
}

std::string trimSpaces(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && text[b] == ' ') ++b;
    while (e > b && text[e - 1] == ' ') --e;
    return std::string(text.substr(b, e - b));
}

std::string upperForNames(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        UChar32 c = u_toupper(nextCodePoint(text, i));
        char buf[U8_MAX_LENGTH];
        std::int32_t n = 0;
        U8_APPEND_UNSAFE(reinterpret_cast<std::uint8_t*>(buf), n, c);
        out.append(buf, static_cast<std::size_t>(n));
    }
    return out;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    // Character by character, as comparing the two upper-cased copies
    // would, without making them: names are looked up on every late-bound
    // call and every saved key.
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size())
        if (u_toupper(nextCodePoint(a, i)) != u_toupper(nextCodePoint(b, j))) return false;
    return i == a.size() && j == b.size();
}

namespace {
constexpr char32_t kReplacementCharacter = 0xFFFD;
}  // namespace

void decodeUtf8(std::string_view text, std::u32string& out) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    // Never more characters than bytes: written in place, then cut to size.
    out.resize(n);
    char32_t* to = out.data();
    std::size_t i = 0;
    while (i < n) {
        unsigned char b = s[i];
        if (b < 0x80) {
            *to++ = b;
            ++i;
            continue;
        }
        std::size_t extra = b >= 0xF0 && b <= 0xF4  ? 3
                            : b >= 0xE0 && b < 0xF0 ? 2
                            : b >= 0xC2 && b < 0xE0 ? 1
                                                    : 0;
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
            *to++ = kReplacementCharacter;
            ++i;
            continue;
        }
        *to++ = c;
        i += extra + 1;
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
}

std::u32string decodeUtf8(std::string_view text) {
    std::u32string out;
    decodeUtf8(text, out);
    return out;
}

void appendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        codePoint = kReplacementCharacter;
    char buf[U8_MAX_LENGTH];
    std::int32_t n = 0;
    U8_APPEND_UNSAFE(reinterpret_cast<std::uint8_t*>(buf), n, static_cast<UChar32>(codePoint));
    out.append(buf, static_cast<std::size_t>(n));
}

}  // namespace quorvel
