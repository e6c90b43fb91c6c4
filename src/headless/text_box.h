// The headless single-line edit box: the host core's edit rules
// (host/text_edit.h) with the box's events around them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "headless/child_window.h"
#include "host/text_edit.h"
#include "platform/children.h"

namespace quorvel::headless {

class HeadlessTextBox final : public host::EditBox<ChildWindowImpl<TextBox>> {
public:
    HeadlessTextBox(std::string name, TextBoxEvents& events, ChildHost* host = nullptr);

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
    // The user pastes the text (the key that asks for it raised its own
    // events already): typing's limits hold.
    void paste(const std::string& clip);
    void keyUp(std::int16_t keyCode, std::int16_t shift);
    void click();
    void dblClick();
    void mouseDown(std::int16_t button, std::int16_t shift, float x, float y);
    void mouseMove(std::int16_t button, std::int16_t shift, float x, float y);
    void mouseUp(std::int16_t button, std::int16_t shift, float x, float y);

private:
    void raiseChange() override { events_.onChange(); }

    TextBoxEvents& events_;
    Color backColor_ = kSystemWindowBackground;
    Color foreColor_ = kSystemWindowText;
    std::shared_ptr<Font> font_;
    std::int16_t alignment_ = 0;
    std::int16_t borderStyle_ = 1;
    std::int16_t appearance_ = 1;
};

}  // namespace quorvel::headless
