// The deterministic in-memory host of one control.
//
// Everything the control tells its host lands, in order, in one log: the
// host core's trace (host/site_core.h), every line kept, plus any marker a
// test writes itself. Nothing else is logged: repaints
// are counted, not logged, so a log compares the same whatever repaints.
//
// The host decides where the keyboard focus is: on one of the control's
// children, on none of them while the focus is inside the control, or
// outside the control. Keys queued by sendKeys wait until pumpKeys() and
// then go to whichever child has the focus at that moment; nothing pumps by
// itself except gridClick(), whose queued Enter is what chooses the row.
//
// The ambient font is a fresh object at every call, made from a settable
// description, unless a test sets one shared object with setAmbientFont.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "headless/child_window.h"
#include "headless/command_button.h"
#include "headless/grid.h"
#include "host/keys.h"
#include "host/site_core.h"
#include "headless/text_box.h"
#include "platform/host.h"

namespace quorvel::headless {

using host::EventCall;
using host::EventHandler;

// Where a user action lands: the edit box, the drop-down button, the
// control's bare surface, or the grid.
enum class Target { Text, Button, Surface, Grid };
// "text", "button", "surface", "grid"; Failure 5 otherwise.
Target targetNamed(std::string_view name);

class HeadlessSite final : public host::SiteCore, private ChildHost {
public:
    // The names under which the user actions find the children they act on.
    static constexpr std::string_view kEditBox = "Text2";
    static constexpr std::string_view kButton = "Command1";
    static constexpr std::string_view kGrid = "DBGrid1";

    HeadlessSite();
    ~HeadlessSite() override;
    HeadlessSite(const HeadlessSite&) = delete;
    HeadlessSite& operator=(const HeadlessSite&) = delete;

    // --- ControlSite (the rest is the core's) --------------------------------
    std::shared_ptr<Font> ambientFont() override;

    // --- The log: the trace, every line kept --------------------------------
    const std::vector<std::string>& logLines() const { return traceLines(); }
    // The lines joined with "|".
    std::string log() const { return trace(); }
    void clearLog() { clearTrace(); }
    // Runs for every line as it is logged, for a caller that prints the
    // trace while it happens.
    void setLogListener(std::function<void(const std::string&)> listener) {
        setTraceListener(std::move(listener));
    }

    // --- Ambient values and the container ----------------------------------
    void setAmbientFontDescription(FontDescription d) { ambientDescription_ = std::move(d); }
    // A shared ambient font object; none returns to a fresh object per call.
    void setAmbientFont(std::shared_ptr<Font> font) { sharedAmbientFont_ = std::move(font); }
    // A container without a ScaleHeight fails its read with 438.
    void setContainer(float width, float height, std::optional<float> scaleHeight);
    void setContainerBackColor(Color c);
    Container& container();

    // --- Placement and repainting ------------------------------------------
    // Moves the control, gives it the size, then repaints it, as a window
    // system does. The control's resize handler runs once when the size
    // changed, and at the first place after a control attached whatever the
    // size: that is the host sizing the control it started.
    void place(float left, float top, float width, float height);
    // Moves the control, then repaints it: the paint handler sees the move.
    // No resize.
    void move(float left, float top);
    // The host repaints the control: its paint handler runs.
    void paint();
    // How often the control asked for a repaint (HostSurface::refresh).
    int refreshCount() const { return refreshes_; }
    // How often the control was brought to the front, and the position
    // given last (-1 before any).
    int zOrderCount() const { return zOrderCalls_; }
    std::int16_t lastZOrder() const { return lastZOrder_; }

    // --- Children ----------------------------------------------------------
    // Failure 5 when there is no child of that name and kind.
    HeadlessTextBox& textBox(std::string_view name);
    HeadlessCommandButton& button(std::string_view name);
    HeadlessGrid& grid(std::string_view name);
    DataControl& dataControl(std::string_view name);
    bool hasChild(std::string_view name) const;

    // --- Focus -------------------------------------------------------------
    // The child that has the focus, "" for none.
    std::string focusName() const;
    // True while the focus is inside the control (on a child or not).
    bool hasFocus() const { return inside_; }
    // The focus enters the control from outside: to the visible, enabled
    // child with the lowest tab index that shows on the surface (a child
    // clipped away below the closed control is not where a user tabs to),
    // then the control's focus-entry handler runs. Nothing when the focus is
    // already inside or the control is disabled.
    void focusIn();
    // The focus goes to the named child; when it comes from outside, the
    // focus-entry handler runs after it arrived. Failure 5 as SetFocus.
    void focusIn(std::string_view child);
    // The focus leaves the control; its focus-exit handler runs.
    void focusOut();

    // --- Keys --------------------------------------------------------------
    // The user's keys (type, and the single key events without a child's
    // name) fail with 5 while the focus is outside the control: they would
    // reach none of its windows. Keys the control queued are delivered
    // wherever the focus is, or dropped.
    //
    // Delivers the queued keys, and any that they queue in turn, in order.
    void pumpKeys();
    // For each character: key down with its key code and shift 0, key press
    // with the character (inserted by an edit box at its caret), key up.
    void type(std::string_view text);
    // One stroke: key down and key press (when it types a character) to the
    // focused child, key up to the child focused by then, as a keyboard's
    // release reaches whoever holds the focus when it comes.
    void stroke(const host::KeyStroke& stroke);
    // Single key events to the focused child (nothing without one), or to
    // the named child whatever has the focus.
    void keyDown(std::int16_t keyCode, std::int16_t shift = 0);
    void keyPress(std::int16_t keyAscii);
    void keyUp(std::int16_t keyCode, std::int16_t shift = 0);
    void keyDown(std::string_view child, std::int16_t keyCode, std::int16_t shift = 0);
    void keyPress(std::string_view child, std::int16_t keyAscii);
    void keyUp(std::string_view child, std::int16_t keyCode, std::int16_t shift = 0);

    // --- Mouse and clicks --------------------------------------------------
    // A click on the edit box or the button gives it the focus, then raises
    // its click event (no mouse events: compose them with mouse* for a whole
    // gesture). A double click on the edit box raises its double-click
    // event; on the button, two clicks. Failure 5 for the surface and the
    // grid (use gridClick) and for a hidden child.
    void click(Target target);
    void dblClick(Target target);
    // A press on a child gives it the focus first; on the surface it moves
    // no focus.
    void mouseDown(Target target, std::int16_t button, std::int16_t shift, float x, float y);
    void mouseMove(Target target, std::int16_t button, std::int16_t shift, float x, float y);
    void mouseUp(Target target, std::int16_t button, std::int16_t shift, float x, float y);
    // The user puts the edit box's caret, selecting length units from it.
    void caret(std::int32_t start, std::int32_t length = 0);

    // --- The grid ----------------------------------------------------------
    // The user moves the grid's current row (zero-based); Failure 3021 out
    // of range.
    void gridRow(std::int32_t row);
    // A key goes down in the grid, which takes the focus first.
    void gridKey(std::int16_t keyCode, std::int16_t shift = 0);
    // Press on row n with the left button (the row becomes current), release,
    // then the queued keys are delivered.
    void gridClick(std::int32_t row);

private:
    class Surface;
    class Ext;
    class Box;

    void focusRequested(ChildState& child) override;
    void visibilityChanged(ChildState& child) override;

    void sinkAttached() override;
    void lastSinkDetached() override;
    std::unique_ptr<TextBox> makeTextBox(std::string_view name, TextBoxEvents& events) override;
    std::unique_ptr<CommandButton> makeCommandButton(std::string_view name,
                                                     CommandButtonEvents& events) override;
    std::unique_ptr<Grid> makeGrid(std::string_view name, GridEvents& events) override;
    void childRetired(ChildWindow& child) override;
    // The named child; Failure 5 when there is none.
    ChildWindow& child(std::string_view name) const;
    ChildWindow& childFor(Target target) const;
    ChildWindow* focusedWindow() const;
    void requireFocusInside() const;
    void deliverKeyDown(ChildWindow& window, std::int16_t keyCode, std::int16_t shift);
    void deliverKeyPress(ChildWindow& window, char32_t character);
    void deliverKeyUp(ChildWindow& window, std::int16_t keyCode, std::int16_t shift);
    void surfaceResized();
    bool surfaceEnabled() const;

    std::unique_ptr<Surface> surface_;
    std::unique_ptr<Ext> extender_;
    std::unique_ptr<Box> container_;

    FontDescription ambientDescription_;
    std::shared_ptr<Font> sharedAmbientFont_;

    ChildState* focus_ = nullptr;
    bool inside_ = false;

    bool pumping_ = false;

    // The host placed the control since it attached.
    bool sized_ = false;
    int refreshes_ = 0;
    int zOrderCalls_ = 0;
    std::int16_t lastZOrder_ = -1;
};

}  // namespace quorvel::headless
