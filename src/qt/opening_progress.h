// A long opening of a list on the Qt host: after a delay its progress (the
// records read so far) shows over the list's grid when the list is
// dropped, over the control's own area otherwise, and is removed when the
// opening ends. While the opening runs, the engine's progress hook lets Qt
// deliver its events, so the window repaints and keeps talking to the
// window manager; the user's input to any widget (keys, mouse, wheel,
// touch, shortcuts) is dropped, since the form is half configured, and
// Escape cancels the opening (it then fails with 3059 through the control's
// usual report).
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
    void show(std::int64_t records);
    void end();

    QPointer<QWidget> surface_;
    QPointer<QLabel> overlay_;
    std::chrono::milliseconds delay_{300};
    bool running_ = false;
    bool cancel_ = false;
    std::chrono::steady_clock::time_point started_;
    std::vector<std::unique_ptr<EndWatch>> ends_;
};

}  // namespace quorvel::qt
