#include "headless/text_box.h"

#include <algorithm>
#include <cstdlib>

#include "platform/text.h"
#include "platform/key_codes.h"

namespace quorvel::headless {


namespace {

bool isHighSurrogate(std::uint16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLowSurrogate(std::uint16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

HeadlessTextBox::HeadlessTextBox(std::string name, TextBoxEvents& events, ChildHost* host)
    : ChildWindowImpl<TextBox>(std::move(name), host, 0, 0, 1215, 285),
      events_(events),
      font_(Font::make()) {}

std::int32_t HeadlessTextBox::length() const { return utf16Length(text_); }

std::int32_t HeadlessTextBox::snap(std::int32_t units) const {
    if (units <= 0) return 0;
    return utf16Length(std::string_view(text_).substr(0, byteOffsetOfUnit(text_, units)));
}

std::int32_t HeadlessTextBox::previousBoundary(std::int32_t units) const {
    return units <= 0 ? 0 : snap(units - 1);
}

std::int32_t HeadlessTextBox::nextBoundary(std::int32_t units) const {
    std::int32_t len = length();
    if (units >= len) return len;
    std::int32_t next = snap(units + 1);
    // units + 1 fell inside a surrogate pair, which snaps back to units.
    return next > units ? next : snap(units + 2);
}

void HeadlessTextBox::setText(const std::string& text) {
    if (text == text_) return;
    text_ = text;
    anchor_ = caret_ = 0;
    pendingHighSurrogate_ = 0;
    events_.onChange();
}

std::int32_t HeadlessTextBox::selStart() const { return std::min(anchor_, caret_); }

std::int32_t HeadlessTextBox::selLength() const { return std::abs(caret_ - anchor_); }

void HeadlessTextBox::setSelStart(std::int32_t v) {
    if (v < 0) fail(failure::kInvalidPropertyValue);
    anchor_ = caret_ = snap(std::min(v, length()));
}

void HeadlessTextBox::setSelLength(std::int32_t v) {
    if (v < 0) fail(failure::kInvalidPropertyValue);
    std::int32_t start = selStart();
    std::int32_t end = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{start} + v, length()));
    anchor_ = start;
    caret_ = snap(end);
}

std::string HeadlessTextBox::selText() const { return utf16Mid(text_, selStart(), selLength()); }

void HeadlessTextBox::setSelText(const std::string& text) {
    replace(selStart(), selStart() + selLength(), text);
}

void HeadlessTextBox::setMaxLength(std::int32_t v) {
    if (v < 0) fail(failure::kInvalidPropertyValue);
    maxLength_ = v;
}

void HeadlessTextBox::setFont(std::shared_ptr<Font> font) {
    if (!font) fail(failure::kInvalidPropertyValue);
    font_ = std::move(font);
}

void HeadlessTextBox::setAlignment(std::int16_t v) {
    if (v < 0 || v > 2) fail(failure::kInvalidPropertyValue);
    alignment_ = v;
}

void HeadlessTextBox::setBorderStyle(std::int16_t v) {
    if (v < 0 || v > 1) fail(failure::kInvalidPropertyValue);
    borderStyle_ = v;
}

void HeadlessTextBox::setAppearance(std::int16_t v) {
    if (v < 0 || v > 1) fail(failure::kInvalidPropertyValue);
    appearance_ = v;
}

void HeadlessTextBox::replace(std::int32_t from, std::int32_t to, const std::string& insert) {
    std::size_t a = byteOffsetOfUnit(text_, from);
    std::size_t b = byteOffsetOfUnit(text_, to);
    std::string next = text_.substr(0, a) + insert + text_.substr(b);
    std::int32_t caret = utf16Length(std::string_view(next).substr(0, a + insert.size()));
    if (next == text_) {
        anchor_ = caret_ = caret;
        return;
    }
    text_ = std::move(next);
    anchor_ = caret_ = caret;
    // Last: the handler may write the box again, and nothing here may undo it.
    events_.onChange();
}

void HeadlessTextBox::typeCharacter(const std::string& utf8) {
    if (locked_ != kFalse) return;
    std::int32_t after = length() - selLength() + utf16Length(utf8);
    if (maxLength_ > 0 && after > maxLength_) return;
    setSelText(utf8);
}

void HeadlessTextBox::deleteBackward() {
    if (locked_ != kFalse) return;
    if (selLength() > 0) {
        setSelText("");
        return;
    }
    replace(previousBoundary(caret_), caret_, "");
}

void HeadlessTextBox::deleteForward() {
    if (locked_ != kFalse) return;
    if (selLength() > 0) {
        setSelText("");
        return;
    }
    replace(caret_, nextBoundary(caret_), "");
}

void HeadlessTextBox::moveCaret(std::int32_t to, bool extend) {
    caret_ = to;
    if (!extend) anchor_ = to;
}

void HeadlessTextBox::keyDown(std::int16_t keyCode, std::int16_t shift) {
    events_.onKeyDown(keyCode, shift);
    bool extend = (shift & key_code::kShiftBit) != 0;
    switch (keyCode) {
        case key_code::kDelete: deleteForward(); break;
        case key_code::kHome: moveCaret(0, extend); break;
        case key_code::kEnd: moveCaret(length(), extend); break;
        case key_code::kLeft:
            if (!extend && selLength() > 0) moveCaret(selStart(), false);
            else moveCaret(previousBoundary(caret_), extend);
            break;
        case key_code::kRight:
            if (!extend && selLength() > 0) moveCaret(selStart() + selLength(), false);
            else moveCaret(nextBoundary(caret_), extend);
            break;
        default: break;
    }
}

void HeadlessTextBox::keyPress(std::int16_t keyAscii) {
    events_.onKeyPress(keyAscii);
    auto unit = static_cast<std::uint16_t>(keyAscii);
    if (unit == 0) return;
    if (isHighSurrogate(unit)) {
        pendingHighSurrogate_ = unit;
        return;
    }
    std::uint16_t high = pendingHighSurrogate_;
    pendingHighSurrogate_ = 0;
    if (unit == key_code::kBackspace) {
        deleteBackward();
        return;
    }
    if (unit < 32 || unit == 127) return;
    char32_t cp = unit;
    if (isLowSurrogate(unit)) {
        // A lone half of a pair is no character: nothing to insert.
        if (high == 0) return;
        cp = 0x10000 + ((char32_t{high} - 0xD800) << 10) + (unit - 0xDC00);
    }
    std::string utf8;
    appendUtf8(utf8, cp);
    typeCharacter(utf8);
}

void HeadlessTextBox::keyUp(std::int16_t keyCode, std::int16_t shift) {
    events_.onKeyUp(keyCode, shift);
}

void HeadlessTextBox::click() { events_.onClick(); }

void HeadlessTextBox::dblClick() { events_.onDblClick(); }

void HeadlessTextBox::mouseDown(std::int16_t button, std::int16_t shift, float x, float y) {
    events_.onMouseDown(button, shift, x, y);
}

void HeadlessTextBox::mouseMove(std::int16_t button, std::int16_t shift, float x, float y) {
    events_.onMouseMove(button, shift, x, y);
}

void HeadlessTextBox::mouseUp(std::int16_t button, std::int16_t shift, float x, float y) {
    events_.onMouseUp(button, shift, x, y);
}

}  // namespace quorvel::headless
