// The rules of a single-line edit box, with no widget: the text, the caret
// and the selection, and what the user's typing, deleting and pasting do to
// them. Both hosts' text boxes keep one of these; the Qt box loads it from
// its line edit before an edit and shows the result after.
//
// The text is UTF-8; the caret and the selection are positions in UTF-16
// code units, as the host's wide strings count them, and never fall inside a
// surrogate pair. The selection is an anchor and a caret: SelStart is the
// lower of the two, so a selection made backwards reads the same as one made
// forwards.
//
// Program writes (setText, replaceSelection) are never limited: MaxLength
// and Locked stop only what the user does, as in a native edit box. Every
// edit answers whether the text changed; raising the change event is the
// box's, after the edit, since the handler may write the box again.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "platform/variant.h"

namespace quorvel::host {

class TextEdit {
public:
    // --- The program's side ------------------------------------------------
    const std::string& text() const { return text_; }
    // The caret goes to the start only when the text changes: an unchanged
    // write leaves the selection as the user had it.
    bool setText(std::string text);
    // The length of the text in UTF-16 code units.
    std::int32_t length() const;
    std::int32_t selStart() const;
    std::int32_t selLength() const;
    std::string selText() const;
    std::int32_t anchor() const { return anchor_; }
    std::int32_t caret() const { return caret_; }
    // Failure 380 for a negative value; a value past the end goes to the end.
    void setSelStart(std::int32_t v);
    void setSelLength(std::int32_t v);
    // Replaces the selection, the caret after the inserted text.
    bool replaceSelection(std::string_view insert);
    // Takes a widget's state as it stands: text, anchor and caret (snapped).
    void load(std::string text, std::int32_t anchor, std::int32_t caret);

    VBool locked() const { return locked_; }
    void setLocked(VBool v) { locked_ = v; }
    std::int32_t maxLength() const { return maxLength_; }
    // Failure 380 for a negative value.
    void setMaxLength(std::int32_t v);

    // --- The user's side ---------------------------------------------------
    // One UTF-16 unit of a key press: Backspace deletes backwards; units from
    // 32 up are inserted at the caret replacing the selection, unless the box
    // is Locked or MaxLength would be exceeded; other control characters are
    // ignored. A character outside the basic plane comes as its two
    // surrogates, one press each; a lone half inserts nothing.
    bool typeUnit(char16_t unit);
    // The clipboard's text at the caret, replacing the selection, under the
    // rules of typing: its first line only, nothing when Locked, nothing when
    // the text already fills MaxLength or goes past it, otherwise the clip up
    // to the first character that does not fit (a pair is never split).
    bool paste(std::string_view clip);
    bool deleteBackward();
    bool deleteForward();
    // Home, End, Left and Right move the caret (extending the selection
    // with Shift); false for any other key.
    bool moveKey(std::int16_t keyCode, bool extend);

private:
    std::int32_t snap(std::int32_t units) const;
    std::int32_t previousBoundary(std::int32_t units) const;
    std::int32_t nextBoundary(std::int32_t units) const;
    bool replace(std::int32_t from, std::int32_t to, std::string_view insert);
    bool typeText(std::string_view utf8);
    void moveCaret(std::int32_t to, bool extend);

    std::string text_;
    std::int32_t anchor_ = 0;
    std::int32_t caret_ = 0;
    VBool locked_ = kFalse;
    std::int32_t maxLength_ = 0;
    // The first half of a character typed as two surrogates.
    char16_t pendingHighSurrogate_ = 0;
};

// The platform's text box on a TextEdit: what both hosts' boxes answer
// alike. Window is the port's class that places the box on the surface
// (the ChildWindow part of TextBox). The port says how its widget shows the
// state: pull() takes in what the user changed in the widget since,
// show() puts the model's text and selection on it, and raiseChange() hands
// the change event to the control.
template <class Window>
class EditBox : public Window {
public:
    template <class... Args>
    explicit EditBox(Args&&... args) : Window(std::forward<Args>(args)...) {}

    std::string text() const override {
        pull();
        return edit_.text();
    }
    // Raises the change event inside the call when, and only when, the
    // text differs; the caret goes to the start then.
    void setText(const std::string& text) override {
        requireWindow();
        pull();
        edited(edit_.setText(asShown(text)));
    }
    std::int32_t selStart() const override {
        pull();
        return edit_.selStart();
    }
    void setSelStart(std::int32_t v) override {
        pull();
        edit_.setSelStart(v);
        show(false);
    }
    std::int32_t selLength() const override {
        pull();
        return edit_.selLength();
    }
    void setSelLength(std::int32_t v) override {
        pull();
        edit_.setSelLength(v);
        show(false);
    }
    std::string selText() const override {
        pull();
        return edit_.selText();
    }
    void setSelText(const std::string& text) override {
        requireWindow();
        pull();
        edited(edit_.replaceSelection(asShown(text)));
    }
    VBool locked() const override { return edit_.locked(); }
    void setLocked(VBool v) override { edit_.setLocked(v); }
    std::int32_t maxLength() const override { return edit_.maxLength(); }
    void setMaxLength(std::int32_t v) override { edit_.setMaxLength(v); }
    // The length of the text in UTF-16 code units.
    std::int32_t length() const {
        pull();
        return edit_.length();
    }

protected:
    // The port's widget: see above. requireWindow fails when a program write
    // has no widget left to write to; asShown is the text as the widget
    // holds it once written.
    virtual void pull() const {}
    virtual void show(bool textChanged) { (void)textChanged; }
    virtual void raiseChange() = 0;
    virtual void requireWindow() const {}
    virtual std::string asShown(const std::string& text) const { return text; }

    // After an edit: the widget shows it, then the change event runs when
    // the text changed. Last: the handler may write the box again, and
    // nothing here may undo that.
    void edited(bool textChanged) {
        show(textChanged);
        if (textChanged) raiseChange();
    }

    mutable TextEdit edit_;
};

}  // namespace quorvel::host
