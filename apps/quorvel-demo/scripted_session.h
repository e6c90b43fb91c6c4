// The demo's scripted session, for a machine without a display: the keys a
// user would press, sent to the widget that has the focus, as Qt delivers
// them.
#pragma once

#include <QString>

namespace quorvel::demo {

class DemoWindow;

// Types a name into the customer control (its list drops on entry), moves
// down the list, saves a picture of the window with the list dropped to
// `screenshot` (PNG), chooses the row with Enter, then types a city into the
// city control and takes it with Enter. Every step is a comment line of the
// window's log. False, with the reason in *problem, when a step did not
// have its effect or the picture could not be written.
bool playScriptedSession(DemoWindow& window, const QString& screenshot, QString* problem);

}  // namespace quorvel::demo
