// The child controls that the host platform supplies: text boxes and a
// command button. Geometry is in twips, as single-precision numbers.
//
// A child reports what happens to it through an events sink that the
// control gives it at creation. Sinks run synchronously: a text box raises
// its change event inside the write that changed the text, before the write
// returns. By-reference arguments are the child's own variables: what the
// sink leaves in them is what the child goes on with.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/font.h"
#include "platform/variant.h"

namespace quorvel {

class TextBoxEvents {
public:
    virtual ~TextBoxEvents() = default;
    virtual void onChange() {}
    virtual void onKeyDown(std::int16_t& keyCode, std::int16_t& shift) { (void)keyCode, (void)shift; }
    virtual void onKeyPress(std::int16_t& keyAscii) { (void)keyAscii; }
    virtual void onKeyUp(std::int16_t& keyCode, std::int16_t& shift) { (void)keyCode, (void)shift; }
    virtual void onClick() {}
    virtual void onDblClick() {}
    virtual void onMouseDown(std::int16_t& button, std::int16_t& shift, float& x, float& y) {
        (void)button, (void)shift, (void)x, (void)y;
    }
    virtual void onMouseMove(std::int16_t& button, std::int16_t& shift, float& x, float& y) {
        (void)button, (void)shift, (void)x, (void)y;
    }
    virtual void onMouseUp(std::int16_t& button, std::int16_t& shift, float& x, float& y) {
        (void)button, (void)shift, (void)x, (void)y;
    }
};

// What every child offers for its place on the control's surface.
class ChildWindow {
public:
    virtual ~ChildWindow() = default;
    virtual float left() const = 0;
    virtual void setLeft(float v) = 0;
    virtual float top() const = 0;
    virtual void setTop(float v) = 0;
    virtual float width() const = 0;
    virtual void setWidth(float v) = 0;
    virtual float height() const = 0;
    virtual void setHeight(float v) = 0;
    virtual VBool visible() const = 0;
    virtual void setVisible(VBool v) = 0;
    virtual std::int16_t tabIndex() const = 0;
    virtual void setTabIndex(std::int16_t v) = 0;
    // Moves the keyboard focus here; Failure 5 when the child cannot take it
    // (hidden or disabled).
    virtual void setFocus() = 0;
};

// A single-line edit box. Positions and lengths count UTF-16 code units.
class TextBox : public ChildWindow {
public:
    virtual std::string text() const = 0;
    // Replaces the text; raises the change event inside the call when, and
    // only when, the text differs. The caret goes to the start.
    virtual void setText(const std::string& text) = 0;
    virtual std::int32_t selStart() const = 0;
    // Failure 380 for a negative value; a value past the end goes to the end.
    virtual void setSelStart(std::int32_t v) = 0;
    virtual std::int32_t selLength() const = 0;
    virtual void setSelLength(std::int32_t v) = 0;
    virtual std::string selText() const = 0;
    // Replaces the selection (raising the change event when the text changes).
    virtual void setSelText(const std::string& text) = 0;
    virtual VBool locked() const = 0;
    virtual void setLocked(VBool v) = 0;
    virtual std::int32_t maxLength() const = 0;
    // Failure 380 for a negative value.
    virtual void setMaxLength(std::int32_t v) = 0;
    virtual Color backColor() const = 0;
    virtual void setBackColor(Color v) = 0;
    virtual Color foreColor() const = 0;
    virtual void setForeColor(Color v) = 0;
    virtual std::shared_ptr<Font> font() const = 0;
    virtual void setFont(std::shared_ptr<Font> font) = 0;
    virtual std::int16_t alignment() const = 0;    // 0 left, 1 right, 2 centre
    virtual std::int16_t borderStyle() const = 0;  // 0 none, 1 single fixed
    virtual std::int16_t appearance() const = 0;   // 0 flat, 1 three-dimensional
};

class CommandButtonEvents {
public:
    virtual ~CommandButtonEvents() = default;
    virtual void onClick() {}
    virtual void onMouseDown(std::int16_t& button, std::int16_t& shift, float& x, float& y) {
        (void)button, (void)shift, (void)x, (void)y;
    }
    virtual void onMouseMove(std::int16_t& button, std::int16_t& shift, float& x, float& y) {
        (void)button, (void)shift, (void)x, (void)y;
    }
    virtual void onMouseUp(std::int16_t& button, std::int16_t& shift, float& x, float& y) {
        (void)button, (void)shift, (void)x, (void)y;
    }
};

class CommandButton : public ChildWindow {
public:
    virtual std::string caption() const = 0;
    virtual void setCaption(const std::string& v) = 0;
    // 0 standard, 1 graphical (shows the picture).
    virtual std::int16_t style() const = 0;
    virtual void setStyle(std::int16_t v) = 0;
    virtual std::shared_ptr<Picture> picture() const = 0;
    virtual void setPicture(std::shared_ptr<Picture> v) = 0;
};

}  // namespace quorvel
