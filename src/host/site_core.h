// What every host's site does the same way, with no toolkit: the trace of
// what the control tells its host, the host's answers (edit requests, event
// handlers, message boxes), the queue of keys the control sends, and the
// control's registrations for the surface's calls.
//
// The trace is one line per call, in the form runner's format:
//
//   event NAME ARG=VALUE ...     an event, with its arguments as raised
//   notify NAME                  a property-changed notification
//   request NAME allowed|refused an edit request and the host's answer
//   msgbox "PROMPT"              a message box
//   sendkeys "KEYS"              keys queued for the focused window
//
// plus any marker the host's user writes itself. A port adds what only it
// can do: showing a message box, delivering the queued keys, focus, widgets.
//
// The site owns the control's children outright and hands out references.
// A child made under the name of one already there takes its place for
// every lookup; the first stays alive with the site for whoever still holds
// it. The data controls' notifications belong to the control that made
// them: they stop when its surface registration ends.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/keys.h"
#include "platform/children.h"
#include "platform/data.h"
#include "platform/grid.h"
#include "platform/host.h"

namespace quorvel::host {

// What a host's event handler is given: the event and the raiser's own
// argument variables, which the handler may change.
class EventCall {
public:
    EventCall(const EventDescription& event, std::span<Variant> arguments)
        : event_(event), arguments_(arguments) {}
    const EventDescription& event() const { return event_; }
    std::span<Variant> arguments() const { return arguments_; }
    bool has(std::string_view name) const;
    // Failure 5 for a name the event does not have.
    Variant& operator[](std::string_view name) const;

private:
    const EventDescription& event_;
    std::span<Variant> arguments_;
};

using EventHandler = std::function<void(EventCall&)>;
// One handler for every event, given the event and the raiser's arguments.
using AnyEventHandler = std::function<void(const EventDescription&, std::span<Variant>)>;
using DataControlFactory = std::function<std::shared_ptr<DataControl>()>;

class SiteCore : public ControlSite {
public:
    explicit SiteCore(DataControlFactory makeDataControl) : makeDataControl_(std::move(makeDataControl)) {}
    ~SiteCore() override = default;
    SiteCore(const SiteCore&) = delete;
    SiteCore& operator=(const SiteCore&) = delete;

    // --- ControlSite: the calls every host answers alike -------------------
    HostSurface& surface() final { return *surface_; }
    Extender& extender() final { return *extender_; }
    const Locale& locale() const final { return locale_; }
    TextBox& createTextBox(std::string_view name, TextBoxEvents& events) final;
    CommandButton& createCommandButton(std::string_view name, CommandButtonEvents& events) final;
    DataControl& createDataControl(std::string_view name, DataControlEvents& events) final;
    Grid& createGrid(std::string_view name, GridEvents& events) final;
    void propertyChanged(std::string_view name) override;
    // The request handler's answer, else the one set for the property, else
    // the one set for every property (allowed unless set otherwise).
    bool canPropertyChange(std::string_view name) override;
    // Traced, then the event's own handler runs, then the handler of every
    // event.
    void raiseEvent(const EventDescription& event, std::span<Variant> arguments) override;
    // Traced, then the message box handler runs, or the port shows the box.
    void msgBox(const std::string& prompt) override;
    // Failure 5 for a key string that does not read; nothing is queued then.
    void sendKeys(std::string_view keys) override;
    // Registering a sink twice gives a second subscription to the one
    // registration; the first to end detaches it.
    [[nodiscard]] Subscription attach(SurfaceEvents& events) override;

    // --- The trace ---------------------------------------------------------
    // Keeps the lines (on unless the port turns it off).
    void setRecording(bool on) { recording_ = on; }
    const std::vector<std::string>& traceLines() const { return trace_; }
    // The kept lines joined with "|".
    std::string trace() const;
    void clearTrace() { trace_.clear(); }
    void mark(std::string text) { append(std::move(text)); }
    // Runs for every line as it is traced.
    void setTraceListener(std::function<void(const std::string&)> listener) {
        traceListener_ = std::move(listener);
    }

    // --- The host's answers ------------------------------------------------
    void setEditAnswer(bool allow) { editAllowed_ = allow; }
    void setEditAnswer(std::string name, bool allow) { editAnswers_[std::move(name)] = allow; }
    void clearEditAnswers() { editAnswers_.clear(); }
    void setEditRequestHandler(std::function<bool(std::string_view)> handler) {
        editRequestHandler_ = std::move(handler);
    }
    void setPropertyChangedHandler(std::function<void(std::string_view)> handler) {
        propertyChangedHandler_ = std::move(handler);
    }
    // The handler of an event, by the event's name.
    void setEventHandler(std::string eventName, EventHandler handler);
    void setEventHandler(AnyEventHandler handler) { anyEventHandler_ = std::move(handler); }
    // A handler that sets the named by-reference arguments to the values;
    // names the event does not have are passed over.
    void setEventArguments(std::string eventName, std::vector<std::pair<std::string, Variant>> values);
    void clearEventHandler(std::string_view eventName);
    // Replaces the port's message box: runs while the box is "open", after
    // it was traced.
    void setMessageBoxHandler(std::function<void(const std::string&)> handler) {
        msgBoxHandler_ = std::move(handler);
    }

    // Keys queued and not delivered yet.
    std::size_t pendingKeys() const { return keys_.size(); }

    void setLocale(Locale locale) { locale_ = std::move(locale); }

protected:
    struct Child {
        std::string name;
        std::unique_ptr<ChildWindow> window;
    };

    // The port's surface and extender, which it owns and keeps for the
    // site's life.
    void placeOn(HostSurface& surface, Extender& extender) {
        surface_ = &surface;
        extender_ = &extender;
    }
    // The port's children.
    virtual std::unique_ptr<TextBox> makeTextBox(std::string_view name, TextBoxEvents& events) = 0;
    virtual std::unique_ptr<CommandButton> makeCommandButton(std::string_view name,
                                                             CommandButtonEvents& events) = 0;
    virtual std::unique_ptr<Grid> makeGrid(std::string_view name, GridEvents& events) = 0;
    // A child leaves the lookups (replaced by a namesake, or released):
    // nothing of it may call into its control any more through the site.
    virtual void childRetired(ChildWindow& child) { (void)child; }

    // The children that lookups find, in the order they were made.
    const std::vector<Child>& children() const { return children_; }
    // None when no child has the name.
    ChildWindow* findChild(std::string_view name) const;
    DataControl* findDataControl(std::string_view name) const;
    // The control is ending: every child retires and the data controls end.
    void releaseChildren();
    // The site is ending: the children (current and retired), then the
    // data controls with their registrations end, in that order. A port calls it
    // first in its destructor, so that what a child does as it ends still
    // finds the whole site.
    void endChildren();

    void append(std::string line);
    void detach(SurfaceEvents& events);
    // Runs f for every registered sink, on a copy of the list: a handler may
    // detach.
    void forEachSink(const std::function<void(SurfaceEvents&)>& f);
    void dropSinks() { sinks_.clear(); }

    // The port's side: a message box no handler replaced, keys just queued,
    // the first registration and the last one ending.
    virtual void showMessageBox(const std::string& prompt) { (void)prompt; }
    virtual void keysQueued(std::size_t count) { (void)count; }
    virtual void sinkAttached() {}
    virtual void lastSinkDetached() {}

    std::deque<KeyStroke> keys_;

private:
    // Takes a made child into the site, retiring a namesake; returns it as
    // the kind it was made.
    template <class Window>
    Window& adopt(std::string_view name, std::unique_ptr<Window> window) {
        Window& made = *window;
        adoptWindow(name, std::move(window));
        return made;
    }
    void adoptWindow(std::string_view name, std::unique_ptr<ChildWindow> window);

    // Lives as long as the site: what the subscriptions it hands out check.
    std::shared_ptr<const int> alive_ = std::make_shared<const int>(0);
    std::vector<SurfaceEvents*> sinks_;
    HostSurface* surface_ = nullptr;
    Extender* extender_ = nullptr;
    Locale locale_ = Locale::english();

    // A data control, with its event registration beside it: the control
    // that made it owns the registration once it registers its surface, and
    // the registration ends with that surface registration or with the entry.
    struct DataEntry {
        std::string name;
        std::shared_ptr<DataControl> control;
        Subscription events;
        SurfaceEvents* owner = nullptr;
    };

    DataControlFactory makeDataControl_;
    // Before the children: a grid's binding ends before its data control.
    std::vector<DataEntry> dataControls_;
    // Replaced by a namesake: the control that made them may still use them.
    std::vector<DataEntry> retiredData_;
    std::vector<Child> children_;
    // Replaced by a namesake or released: no lookup finds them, and they end
    // with the site (a key being delivered may still be on one of them).
    std::vector<std::unique_ptr<ChildWindow>> retired_;
    bool recording_ = true;
    std::vector<std::string> trace_;
    std::function<void(const std::string&)> traceListener_;

    bool editAllowed_ = true;
    std::map<std::string, bool, std::less<>> editAnswers_;
    std::function<bool(std::string_view)> editRequestHandler_;
    std::function<void(std::string_view)> propertyChangedHandler_;
    std::map<std::string, EventHandler, std::less<>> handlers_;
    AnyEventHandler anyEventHandler_;
    std::function<void(const std::string&)> msgBoxHandler_;
};

}  // namespace quorvel::host
