#include "engine/text_fold.h"

#include <sqlite3.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/failure.h"

namespace quorvel::engine {

namespace {

bool isAscii(std::string_view text) {
    for (unsigned char c : text) {
        if (c >= 0x80) return false;
    }
    return true;
}

// Scratch buffers of the fold, kept between calls: folding runs once per
// row when an index is built, and reallocating there would dominate.
struct FoldBuffers {
    std::vector<UChar> source, foldedText, normalized;
};

FoldBuffers& buffers() {
    thread_local FoldBuffers b;
    return b;
}

// Runs an ICU function that writes into `out`, growing it once when ICU
// reports the length it needs.
template <class Call>
int32_t intoBuffer(std::vector<UChar>& out, Call&& call) {
    if (out.size() < 64) out.resize(64);
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = call(out.data(), static_cast<int32_t>(out.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.resize(static_cast<std::size_t>(length) + 1);
        status = U_ZERO_ERROR;
        length = call(out.data(), static_cast<int32_t>(out.size()), &status);
    }
    if (U_FAILURE(status)) fail(failure::kOutOfMemory, "Folding text for comparison failed.");
    return length;
}

void appendFoldedUnicodeByIcu(std::string_view utf8, std::string& out) {
    FoldBuffers& b = buffers();
    int32_t sourceLength = intoBuffer(b.source, [&](UChar* dest, int32_t capacity, UErrorCode* status) {
        int32_t length = 0;
        u_strFromUTF8WithSub(dest, capacity, &length, utf8.data(), static_cast<int32_t>(utf8.size()), 0xFFFD,
                             nullptr, status);
        return length;
    });
    int32_t foldedLength = intoBuffer(b.foldedText, [&](UChar* dest, int32_t capacity, UErrorCode* status) {
        return u_strFoldCase(dest, capacity, b.source.data(), sourceLength, U_FOLD_CASE_DEFAULT, status);
    });

    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
    const UChar* result = b.foldedText.data();
    int32_t resultLength = foldedLength;
    if (U_SUCCESS(status) &&
        unorm2_quickCheck(nfc, b.foldedText.data(), foldedLength, &status) != UNORM_YES) {
        resultLength = intoBuffer(b.normalized, [&](UChar* dest, int32_t capacity, UErrorCode* st) {
            return unorm2_normalize(nfc, b.foldedText.data(), foldedLength, dest, capacity, st);
        });
        result = b.normalized.data();
    }

    int32_t needed = 0;
    UErrorCode measure = U_ZERO_ERROR;
    u_strToUTF8(nullptr, 0, &needed, result, resultLength, &measure);
    std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(needed));
    UErrorCode write = U_ZERO_ERROR;
    u_strToUTF8(out.data() + start, needed, nullptr, result, resultLength, &write);
    if (U_FAILURE(write) && write != U_STRING_NOT_TERMINATED_WARNING) {
        out.resize(start);
        fail(failure::kOutOfMemory, "Folding text for comparison failed.");
    }
}

// The folds of the two-byte characters (U+0080 to U+07FF: Latin, Greek,
// Cyrillic, Hebrew, Arabic...), taken from ICU once. A character may use
// its entry when neither it nor its fold's first character can combine
// with what stands before it: then folding and composing character by
// character gives exactly what ICU gives for the whole text.
struct TwoByteFolds {
    struct Entry {
        bool usable = false;
        std::uint8_t length = 0;
        char bytes[8] = {};
    };
    Entry entries[0x800];

    TwoByteFolds() {
        UErrorCode status = U_ZERO_ERROR;
        const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
        if (U_FAILURE(status)) return;
        for (UChar32 c = 0x80; c < 0x800; ++c) {
            if (!unorm2_hasBoundaryBefore(nfc, c)) continue;
            char source[2] = {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
            std::string result;
            appendFoldedUnicodeByIcu(std::string_view(source, 2), result);
            if (result.empty() || result.size() > sizeof(Entry::bytes)) continue;
            UChar32 first = 0;
            int32_t at = 0;
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(result.data());
            U8_NEXT(bytes, at, static_cast<int32_t>(result.size()), first);
            if (first < 0 || !unorm2_hasBoundaryBefore(nfc, first)) continue;
            Entry& e = entries[c];
            e.usable = true;
            e.length = static_cast<std::uint8_t>(result.size());
            std::memcpy(e.bytes, result.data(), result.size());
        }
    }
};

const TwoByteFolds& twoByteFolds() {
    static const TwoByteFolds table;
    return table;
}

// Folds by the table; false (with `out` as it was) when the text holds a
// character that the table does not cover.
bool appendFoldedByTable(std::string_view utf8, std::string& out) {
    const TwoByteFolds& table = twoByteFolds();
    std::size_t start = out.size();
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    std::size_t n = utf8.size();
    for (std::size_t i = 0; i < n;) {
        unsigned char b = s[i];
        if (b < 0x80) {
            out += static_cast<char>(b >= 'A' && b <= 'Z' ? b + 32 : b);
            ++i;
            continue;
        }
        if (b >= 0xC2 && b <= 0xDF && i + 1 < n && (s[i + 1] & 0xC0) == 0x80) {
            unsigned c = ((b & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu);
            const auto& e = table.entries[c];
            if (e.usable) {
                out.append(e.bytes, e.length);
                i += 2;
                continue;
            }
        }
        out.resize(start);
        return false;
    }
    return true;
}

void appendFoldedUnicode(std::string_view utf8, std::string& out) {
    if (appendFoldedByTable(utf8, out)) return;
    appendFoldedUnicodeByIcu(utf8, out);
}

int compareFolded(std::string_view a, std::string_view b) {
    int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    if (c != 0) return c;
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

int foldCollation(void*, int lengthA, const void* a, int lengthB, const void* b) {
    std::string_view textA(static_cast<const char*>(a), static_cast<std::size_t>(lengthA));
    std::string_view textB(static_cast<const char*>(b), static_cast<std::size_t>(lengthB));
    if (isAscii(textA) && isAscii(textB)) {
        std::size_t n = std::min(textA.size(), textB.size());
        for (std::size_t i = 0; i < n; ++i) {
            unsigned char ca = static_cast<unsigned char>(textA[i]);
            unsigned char cb = static_cast<unsigned char>(textB[i]);
            if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca + 32);
            if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb + 32);
            if (ca != cb) return ca < cb ? -1 : 1;
        }
        if (textA.size() == textB.size()) return 0;
        return textA.size() < textB.size() ? -1 : 1;
    }
    // A collation callback must not throw into SQLite; a fold that fails
    // (out of memory) falls back to comparing the raw bytes.
    try {
        thread_local std::string keyA, keyB;
        keyA.clear();
        keyB.clear();
        appendFolded(textA, keyA);
        appendFolded(textB, keyB);
        return compareFolded(keyA, keyB);
    } catch (...) { return compareFolded(textA, textB); }
}

}  // namespace

void appendFolded(std::string_view utf8, std::string& out) {
    if (isAscii(utf8)) {
        std::size_t start = out.size();
        out.append(utf8);
        for (std::size_t i = start; i < out.size(); ++i) {
            char c = out[i];
            if (c >= 'A' && c <= 'Z') out[i] = static_cast<char>(c + 32);
        }
        return;
    }
    appendFoldedUnicode(utf8, out);
}

void appendFoldedByIcu(std::string_view utf8, std::string& out) { appendFoldedUnicodeByIcu(utf8, out); }

std::string folded(std::string_view utf8) {
    std::string out;
    appendFolded(utf8, out);
    return out;
}

void registerFoldCollation(sqlite3* db) {
    sqlite3_create_collation_v2(db, kFoldCollation, SQLITE_UTF8, nullptr, foldCollation, nullptr);
}

}  // namespace quorvel::engine
