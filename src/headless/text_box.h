// The headless single-line edit box.
//
// The text is UTF-8; the caret and the selection are positions in UTF-16
// code units, as the host's wide strings count them, and never fall inside a
// surrogate pair. The selection is an anchor and a caret: SelStart is the
// lower of the two, so a selection made backwards reads the same as one made
// forwards.
//
// Program writes (Text, SelText) are never limited: MaxLength and Locked
// stop only what the user types, as in a native edit box.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "headless/child_window.h"
#include "platform/children.h"

namespace quorvel::headless {

class HeadlessTextBox final : public ChildWindowImpl<TextBox> {
public:
    HeadlessTextBox(std::string name, TextBoxEvents& events, ChildHost* host = nullptr);

    std::string text() const override { return text_; }
    // The caret goes to the start only when the text changes: an unchanged
    // write leaves the selection as the user had it.
    void setText(const std::string& text) override;
    std::int32_t selStart() const override;
    void setSelStart(std::int32_t v) override;
    std::int32_t selLength() const override;
    void setSelLength(std::int32_t v) override;
    std::string selText() const override;
    void setSelText(const std::string& text) override;
    VBool locked() const override { return locked_; }
    void setLocked(VBool v) override { locked_ = v; }
    std::int32_t maxLength() const override { return maxLength_; }
    void setMaxLength(std::int32_t v) override;
    Color backColor() const override { return backColor_; }
    void setBackColor(Color v) override { backColor_ = v; }
    Color foreColor() const override { return foreColor_; }
    void setForeColor(Color v) override { foreColor_ = v; }
    std::shared_ptr<Font> font() const override { return font_; }
    // Failure 380 for no font: the box always shows one.
    void setFont(std::shared_ptr<Font> font) override;
    std::int16_t alignment() const override { return alignment_; }
    std::int16_t borderStyle() const override { return borderStyle_; }
    std::int16_t appearance() const override { return appearance_; }

    // Design-time settings the platform only reads.
    void setAlignment(std::int16_t v);
    void setBorderStyle(std::int16_t v);
    void setAppearance(std::int16_t v);

    // The length of the text in UTF-16 code units.
    std::int32_t length() const;

    // What the user does. Each raises the box's event first and then does
    // the box's own handling with what the handler left in the arguments.
    // Own handling of key down: Delete, Left, Right, Home, End (Shift extends
    // the selection). Of a key press: Backspace; characters from 32 up are
    // inserted at the caret replacing the selection, unless the box is
    // Locked or MaxLength would be exceeded; other control characters are
    // ignored. A character outside the basic plane comes as two key presses,
    // its two surrogates.
    void keyDown(std::int16_t keyCode, std::int16_t shift);
    void keyPress(std::int16_t keyAscii);
    void keyUp(std::int16_t keyCode, std::int16_t shift);
    void click();
    void dblClick();
    void mouseDown(std::int16_t button, std::int16_t shift, float x, float y);
    void mouseMove(std::int16_t button, std::int16_t shift, float x, float y);
    void mouseUp(std::int16_t button, std::int16_t shift, float x, float y);

private:
    std::int32_t snap(std::int32_t units) const;
    std::int32_t previousBoundary(std::int32_t units) const;
    std::int32_t nextBoundary(std::int32_t units) const;
    // Replaces [from, to) with the text and puts the caret after it; raises
    // the change event when the text differs.
    void replace(std::int32_t from, std::int32_t to, const std::string& insert);
    void typeCharacter(const std::string& utf8);
    void deleteBackward();
    void deleteForward();
    void moveCaret(std::int32_t to, bool extend);

    TextBoxEvents& events_;
    std::string text_;
    std::int32_t anchor_ = 0;
    std::int32_t caret_ = 0;
    VBool locked_ = kFalse;
    std::int32_t maxLength_ = 0;
    Color backColor_ = kSystemWindowBackground;
    Color foreColor_ = kSystemWindowText;
    std::shared_ptr<Font> font_;
    std::int16_t alignment_ = 0;
    std::int16_t borderStyle_ = 1;
    std::int16_t appearance_ = 1;
    // The first half of a character typed as two surrogates.
    std::uint16_t pendingHighSurrogate_ = 0;
};

}  // namespace quorvel::headless
