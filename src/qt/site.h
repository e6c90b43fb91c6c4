// The Qt 6 Widgets host of one control.
//
// The control's surface is a QWidget that the caller supplies (QuorvelWidget
// is one); its parent widget is the container. The children are real
// widgets on the surface: a QLineEdit for each text box (the bound value's
// box stays hidden), a QToolButton showing the button's picture, and a
// QTableView over the data engine's recordset for the grid. Positions and
// sizes are in twips, converted with the surface's logical DPI (15 twips a
// pixel at 96 DPI); a child placed below the surface's rectangle is clipped
// away, as the control's layout expects, and the surface itself is clipped
// by its container.
//
// The site keeps the headless host's semantics, so the same control code
// behaves alike on both:
//   - a text box raises its change event inside the write that changed it,
//     and only when the text differs; positions count UTF-16 code units;
//   - key down, key press and key up reach the edit box's and the grid's
//     events synchronously, with the platform's virtual-key codes
//     (platform/key_codes.h), before the widget's own handling, which the
//     event's arguments can stop (KeyCode 0) or change;
//   - the focus entering the control (any of its children) from outside runs
//     the entry handler after it arrived; leaving it runs the exit handler;
//     the window losing activation is neither;
//   - setting the surface's size resizes it at once and runs the resize
//     handler before the call returns, also while the surface is hidden; a
//     repaint runs the paint handler;
//   - sendKeys queues the keys; each is delivered, after the current handler
//     and every event already queued have returned, to whichever widget has
//     the keyboard focus then;
//   - msgBox is a modal QMessageBox with an OK button only, under the
//     application's title, unless a handler replaces it.
// Everything the control tells its host is traced in the host core's format
// (host/site_core.h); the lines are kept only when recording is turned on.
//
// A failure that leaves one of the control's handlers while Qt delivers an
// input event never crosses into Qt: it goes to the failure handler (by
// default a warning on Qt's message log).
#pragma once

#include <QPointer>
#include <QWidget>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/site_core.h"
#include "qt/opening_progress.h"
#include "platform/failure.h"
#include "platform/host.h"

class QLabel;
class QLineEdit;
class QTableView;
class QToolButton;

namespace quorvel::qt {

class QtTextBox;
class QtCommandButton;
class QtGrid;
class SiteDispatcher;

class QtSite final : public host::SiteCore {
public:
    // The surface must outlive the site.
    explicit QtSite(QWidget* surface);
    ~QtSite() override;
    QtSite(const QtSite&) = delete;
    QtSite& operator=(const QtSite&) = delete;

    // --- ControlSite (the rest is the core's) --------------------------------
    // From the container's font (the surface's own when it has none).
    std::shared_ptr<Font> ambientFont() override;

    // --- The host's answers (the rest are the core's) ------------------------
    void setFailureHandler(std::function<void(const Failure&)> handler) {
        failureHandler_ = std::move(handler);
    }

    // --- The host's calls --------------------------------------------------
    // The host sized the control: runs its resize handler.
    void resized();
    // How often the control asked for a repaint.
    int refreshCount() const { return refreshes_; }
    int zOrderCount() const { return zOrderCalls_; }

    // Runs f; a failure that leaves it goes to the failure handler.
    void guard(const std::function<void()>& f);
    void reportFailure(const Failure& failure);

    // --- For tests and the widget API ---------------------------------------
    QWidget* surfaceWidget() const { return surface_; }
    // The child widgets by the control's names; none for a name not made.
    QLineEdit* lineEdit(std::string_view name) const;
    QToolButton* toolButton(std::string_view name) const;
    QTableView* tableView(std::string_view name) const;
    QtGrid* grid(std::string_view name) const;
    // How long a list's opening runs before its progress shows (0.3 s), and
    // the progress shown, while it shows (see opening_progress.h).
    void setOpeningProgressDelay(std::chrono::milliseconds delay) { openingProgress_->setDelay(delay); }
    QLabel* openingProgressOverlay() const { return openingProgress_->overlay(); }

    double twipsPerPixelX() const;
    double twipsPerPixelY() const;
    // The control's Enabled: the surface's enabled state.
    bool surfaceEnabled() const;
    bool connected() const { return connected_; }
    // Moves the focus onto the surface itself, inside the control but on no
    // child: where it waits while the focused child is hidden.
    void parkFocus();
    bool parkingFocus() const { return parking_; }
    // A child shown again takes back the focus parked when it was hidden,
    // if nothing else took it meanwhile.
    void childShown(QWidget* child);

    // Called by the dispatcher.
    void focusChanged(QWidget* old, QWidget* now);
    void surfaceResizedByQt();
    void surfacePainted();
    void surfaceMouse(int type, std::int16_t button, std::int16_t shift, float x, float y);
    void deliverQueuedKey();

private:
    class Surface;
    class Ext;
    class Box;
    void showMessageBox(const std::string& prompt) override;
    void keysQueued(std::size_t count) override;
    void lastSinkDetached() override;
    // A child replaced by a namesake or released: its widget's input
    // reaches no control, and the widget is hidden.
    void childRetired(ChildWindow& child) override;
    // The children's widgets are the surface's; each adapter owns its own.
    std::unique_ptr<TextBox> makeTextBox(std::string_view name, TextBoxEvents& events) override;
    std::unique_ptr<CommandButton> makeCommandButton(std::string_view name,
                                                     CommandButtonEvents& events) override;
    std::unique_ptr<Grid> makeGrid(std::string_view name, GridEvents& events) override;
    // The current child of that name and adapter type, if any.
    template <class Adapter>
    Adapter* adapter(std::string_view name) const;
    bool inside(QWidget* w) const;

    QPointer<QWidget> surface_;
    std::unique_ptr<Surface> surfaceImpl_;
    std::unique_ptr<Ext> extender_;
    std::unique_ptr<Box> container_;
    std::unique_ptr<SiteDispatcher> dispatcher_;
    bool parking_ = false;
    QPointer<QWidget> parkedFrom_;
    QSize notifiedSize_{-1, -1};
    std::function<void(const Failure&)> failureHandler_;
    std::shared_ptr<OpeningProgressView> openingProgress_;

    bool focusInside_ = false;
    bool connected_ = true;
    int refreshes_ = 0;
    int zOrderCalls_ = 0;
};

}  // namespace quorvel::qt
