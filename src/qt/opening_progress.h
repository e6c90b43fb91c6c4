// A long opening of a list on the Qt host: after a delay its progress (the
// records read so far) shows over the list's grid when the list is
// dropped, over the control's own area otherwise, and is removed when the
// opening ends. While the opening runs, the engine's progress hook lets Qt
// deliver its events, so the window repaints and keeps talking to the
// window manager; the user's input (keys, mouse, wheel, touch, shortcuts)
// to the windows that were on screen when the opening began and to the
// control's own window is dropped, since the form is half configured, and
// Escape cancels the opening (it then fails with 3059 through the control's
// usual report). Releases of keys and buttons pressed before still arrive,
// and windows opened meanwhile (a message box, say) get their input.
// Closing one of those windows, deleting the control or a widget that
// holds it later (deleteLater), or quitting the application while the
// opening runs would end the control under its own code: the close is
// refused and cancels the opening, the deletion and the quit cancel it and
// come again once it has unwound.
#pragma once

#include <QPointer>

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/data_engine.h"
#include "platform/data.h"

class QLabel;
class QWidget;

namespace quorvel::qt {

class OpeningProgressView {
public:
    // `surface` is the control's: the overlay goes over its area, or over
    // the visible grid on it.
    explicit OpeningProgressView(QWidget* surface);
    ~OpeningProgressView();
    OpeningProgressView(const OpeningProgressView&) = delete;
    OpeningProgressView& operator=(const OpeningProgressView&) = delete;

    // Installs the hook on a data control: it holds the view weakly, so a
    // data control that outlives the site opens without it.
    static void watch(const std::shared_ptr<OpeningProgressView>& view, DataControl& control);

    // How long an opening runs before its progress shows (0.3 s unless set).
    void setDelay(std::chrono::milliseconds delay) { delay_ = delay; }
    // The overlay while it shows, else null.
    QLabel* overlay() const;

private:
    class InputGate;
    class EndWatch;
    bool progressed(std::int64_t records);
    // The object is, or is on, a window whose input is dropped.
    bool holds(QObject* object) const;
    // The widget's deletion would take the control with it.
    bool carriesControl(QObject* object) const;
    void show(std::int64_t records);
    void end();

    QPointer<QWidget> surface_;
    QPointer<QLabel> overlay_;
    std::chrono::milliseconds delay_{300};
    bool running_ = false;
    bool cancel_ = false;
    std::chrono::steady_clock::time_point started_;
    // The windows on screen when the running opening began.
    std::vector<QPointer<QWidget>> held_;
    std::vector<std::unique_ptr<EndWatch>> ends_;
};

}  // namespace quorvel::qt
