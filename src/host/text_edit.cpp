#include "host/text_edit.h"

#include <algorithm>
#include <cstdlib>

#include "platform/failure.h"
#include "platform/key_codes.h"
#include "platform/text.h"

namespace quorvel::host {

namespace {

bool isHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

std::int32_t TextEdit::length() const { return utf16Length(text_); }

std::int32_t TextEdit::snap(std::int32_t units) const {
    if (units <= 0) return 0;
    return utf16Length(std::string_view(text_).substr(0, byteOffsetOfUnit(text_, units)));
}

std::int32_t TextEdit::previousBoundary(std::int32_t units) const { return units <= 0 ? 0 : snap(units - 1); }

std::int32_t TextEdit::nextBoundary(std::int32_t units) const {
    std::int32_t len = length();
    if (units >= len) return len;
    std::int32_t next = snap(units + 1);
    // units + 1 fell inside a surrogate pair, which snaps back to units.
    return next > units ? next : snap(units + 2);
}

bool TextEdit::setText(std::string text) {
    if (text == text_) return false;
    text_ = std::move(text);
    anchor_ = caret_ = 0;
    pendingHighSurrogate_ = 0;
    return true;
}

void TextEdit::load(std::string text, std::int32_t anchor, std::int32_t caret) {
    text_ = std::move(text);
    const std::int32_t len = length();
    anchor_ = snap(std::clamp(anchor, 0, len));
    caret_ = snap(std::clamp(caret, 0, len));
}

std::int32_t TextEdit::selStart() const { return std::min(anchor_, caret_); }

std::int32_t TextEdit::selLength() const { return std::abs(caret_ - anchor_); }

std::string TextEdit::selText() const { return utf16Mid(text_, selStart(), selLength()); }

void TextEdit::setSelStart(std::int32_t v) {
    if (v < 0) fail(failure::kInvalidPropertyValue);
    anchor_ = caret_ = snap(std::min(v, length()));
}

void TextEdit::setSelLength(std::int32_t v) {
    if (v < 0) fail(failure::kInvalidPropertyValue);
    std::int32_t start = selStart();
    auto end = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{start} + v, length()));
    anchor_ = start;
    caret_ = snap(end);
}

void TextEdit::setMaxLength(std::int32_t v) {
    if (v < 0) fail(failure::kInvalidPropertyValue);
    maxLength_ = v;
}

bool TextEdit::replaceSelection(std::string_view insert) {
    return replace(selStart(), selStart() + selLength(), insert);
}

bool TextEdit::replace(std::int32_t from, std::int32_t to, std::string_view insert) {
    std::size_t a = byteOffsetOfUnit(text_, from);
    std::size_t b = byteOffsetOfUnit(text_, to);
    std::string next = text_.substr(0, a);
    next += insert;
    next += std::string_view(text_).substr(b);
    std::int32_t caret = utf16Length(std::string_view(next).substr(0, a + insert.size()));
    anchor_ = caret_ = caret;
    if (next == text_) return false;
    text_ = std::move(next);
    return true;
}

bool TextEdit::typeText(std::string_view utf8) {
    if (locked_ != kFalse) return false;
    std::int32_t after = length() - selLength() + utf16Length(utf8);
    if (maxLength_ > 0 && after > maxLength_) return false;
    return replaceSelection(utf8);
}

bool TextEdit::typeUnit(char16_t unit) {
    if (unit == 0) return false;
    if (isHighSurrogate(unit)) {
        pendingHighSurrogate_ = unit;
        return false;
    }
    char16_t high = std::exchange(pendingHighSurrogate_, char16_t{0});
    if (unit == key_code::kBackspace) return deleteBackward();
    if (unit < 32 || unit == 127) return false;
    char32_t cp = unit;
    if (isLowSurrogate(unit)) {
        // A lone half of a pair is no character: nothing to insert.
        if (high == 0) return false;
        cp = 0x10000 + ((char32_t{high} - 0xD800) << 10) + (char32_t{unit} - 0xDC00);
    }
    std::string utf8;
    appendUtf8(utf8, cp);
    return typeText(utf8);
}

bool TextEdit::paste(std::string_view clip) {
    if (locked_ != kFalse) return false;
    clip = clip.substr(0, std::min(clip.find('\r'), clip.find('\n')));
    std::string fits;
    // No room at all when the text is already past MaxLength (a program may
    // set a longer one); -1 means no limit.
    std::int32_t room = maxLength_ > 0 ? std::max(0, maxLength_ - (length() - selLength())) : -1;
    for (char32_t c : decodeUtf8(clip)) {
        // A control character types nothing, and so pastes nothing.
        if (c < 32 || c == 127) continue;
        const std::int32_t units = c > 0xFFFF ? 2 : 1;
        // The clip is cut before the first character that does not fit.
        if (room >= 0 && units > room) break;
        if (room >= 0) room -= units;
        appendUtf8(fits, c);
    }
    if (fits.empty()) return false;
    return replaceSelection(fits);
}

bool TextEdit::deleteBackward() {
    if (locked_ != kFalse) return false;
    if (selLength() > 0) return replaceSelection("");
    return replace(previousBoundary(caret_), caret_, "");
}

bool TextEdit::deleteForward() {
    if (locked_ != kFalse) return false;
    if (selLength() > 0) return replaceSelection("");
    return replace(caret_, nextBoundary(caret_), "");
}

void TextEdit::moveCaret(std::int32_t to, bool extend) {
    caret_ = to;
    if (!extend) anchor_ = to;
}

bool TextEdit::moveKey(std::int16_t keyCode, bool extend) {
    switch (keyCode) {
        case key_code::kHome: moveCaret(0, extend); return true;
        case key_code::kEnd: moveCaret(length(), extend); return true;
        case key_code::kLeft:
            if (!extend && selLength() > 0) moveCaret(selStart(), false);
            else moveCaret(previousBoundary(caret_), extend);
            return true;
        case key_code::kRight:
            if (!extend && selLength() > 0) moveCaret(selStart() + selLength(), false);
            else moveCaret(nextBoundary(caret_), extend);
            return true;
        default: return false;
    }
}

}  // namespace quorvel::host
