#include "host/site_core.h"

#include <algorithm>

#include "host/trace.h"
#include "platform/failure.h"

namespace quorvel::host {

// --- EventCall ----------------------------------------------------------

bool EventCall::has(std::string_view name) const {
    auto n =
        std::min<std::size_t>(static_cast<std::size_t>(std::max(event_.argumentCount, 0)), arguments_.size());
    for (std::size_t i = 0; i < n; ++i)
        if (event_.argumentNames[i] == name) return true;
    return false;
}

Variant& EventCall::operator[](std::string_view name) const {
    auto n =
        std::min<std::size_t>(static_cast<std::size_t>(std::max(event_.argumentCount, 0)), arguments_.size());
    for (std::size_t i = 0; i < n; ++i)
        if (event_.argumentNames[i] == name) return arguments_[i];
    fail(failure::kInvalidProcedureCall, std::string(event_.name) + " has no argument " + std::string(name));
}

// --- The trace ----------------------------------------------------------

void SiteCore::append(std::string line) {
    if (recording_) trace_.push_back(line);
    if (traceListener_) traceListener_(line);
}

std::string SiteCore::trace() const {
    std::string out;
    for (std::size_t i = 0; i < trace_.size(); ++i) {
        if (i) out += '|';
        out += trace_[i];
    }
    return out;
}

// --- The host's answers -------------------------------------------------

void SiteCore::propertyChanged(std::string_view name) {
    append("notify " + std::string(name));
    if (propertyChangedHandler_) propertyChangedHandler_(name);
}

bool SiteCore::canPropertyChange(std::string_view name) {
    bool allow = editAllowed_;
    if (editRequestHandler_) {
        allow = editRequestHandler_(name);
    } else if (auto it = editAnswers_.find(name); it != editAnswers_.end()) {
        allow = it->second;
    }
    append("request " + std::string(name) + (allow ? " allowed" : " refused"));
    return allow;
}

void SiteCore::raiseEvent(const EventDescription& event, std::span<Variant> arguments) {
    std::string line = "event " + std::string(event.name);
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name;
        if (static_cast<int>(i) < event.argumentCount && i < event.argumentNames.size())
            name = std::string(event.argumentNames[i]);
        if (name.empty()) name = "Arg" + std::to_string(i + 1);
        line += " " + name + "=" + traceValue(arguments[i]);
    }
    append(std::move(line));
    // Copies: a handler may replace or clear itself.
    if (auto it = handlers_.find(event.name); it != handlers_.end()) {
        EventHandler handler = it->second;
        EventCall call(event, arguments);
        handler(call);
    }
    if (anyEventHandler_) {
        AnyEventHandler handler = anyEventHandler_;
        handler(event, arguments);
    }
}

void SiteCore::msgBox(const std::string& prompt) {
    append("msgbox " + traceString(prompt));
    if (msgBoxHandler_) {
        auto handler = msgBoxHandler_;
        handler(prompt);
        return;
    }
    showMessageBox(prompt);
}

void SiteCore::setEventHandler(std::string eventName, EventHandler handler) {
    handlers_[std::move(eventName)] = std::move(handler);
}

void SiteCore::setEventArguments(std::string eventName, std::vector<std::pair<std::string, Variant>> values) {
    setEventHandler(std::move(eventName), [values = std::move(values)](EventCall& call) {
        for (const auto& [name, value] : values)
            if (call.has(name)) call[name] = value;
    });
}

void SiteCore::clearEventHandler(std::string_view eventName) {
    auto it = handlers_.find(eventName);
    if (it != handlers_.end()) handlers_.erase(it);
}

// --- Keys ---------------------------------------------------------------

void SiteCore::sendKeys(std::string_view keys) {
    std::vector<KeyStroke> strokes = parseSendKeys(keys);
    append("sendkeys " + traceString(keys));
    keys_.insert(keys_.end(), strokes.begin(), strokes.end());
    keysQueued(strokes.size());
}

// --- The surface's sinks ------------------------------------------------

Subscription SiteCore::attach(SurfaceEvents& events) {
    Subscription subscription(alive_, [this, &events] { detach(events); });
    // The control registers its surface last, after it made its children:
    // the current data controls nobody owns yet are its own.
    for (auto& entry : dataControls_)
        if (!entry.owner && entry.events.active()) entry.owner = &events;
    if (std::find(sinks_.begin(), sinks_.end(), &events) != sinks_.end()) return subscription;
    sinks_.push_back(&events);
    sinkAttached();
    return subscription;
}

void SiteCore::detach(SurfaceEvents& events) {
    auto it = std::remove(sinks_.begin(), sinks_.end(), &events);
    if (it == sinks_.end()) return;
    sinks_.erase(it, sinks_.end());
    // Its data controls notify the ended control no more.
    for (auto* entries : {&dataControls_, &retiredData_})
        for (auto& entry : *entries)
            if (entry.owner == &events) entry.events.reset();
    if (sinks_.empty()) lastSinkDetached();
}

// --- Children -----------------------------------------------------------

void SiteCore::adoptWindow(std::string_view name, std::unique_ptr<ChildWindow> window) {
    for (auto it = children_.begin(); it != children_.end(); ++it) {
        if (it->name != name) continue;
        std::unique_ptr<ChildWindow> old = std::move(it->window);
        children_.erase(it);
        childRetired(*old);
        retired_.push_back(std::move(old));
        break;
    }
    children_.push_back(Child{std::string(name), std::move(window)});
}

TextBox& SiteCore::createTextBox(std::string_view name, TextBoxEvents& events) {
    return adopt(name, makeTextBox(name, events));
}

CommandButton& SiteCore::createCommandButton(std::string_view name, CommandButtonEvents& events) {
    return adopt(name, makeCommandButton(name, events));
}

Grid& SiteCore::createGrid(std::string_view name, GridEvents& events) {
    return adopt(name, makeGrid(name, events));
}

DataControl& SiteCore::createDataControl(std::string_view name, DataControlEvents& events) {
    std::shared_ptr<DataControl> made = makeDataControl_();
    Subscription registration = made->setEvents(events);
    for (auto it = dataControls_.begin(); it != dataControls_.end(); ++it) {
        if (it->name != name) continue;
        // Made by a control that never registered its surface (its making
        // failed): nothing hears it any more.
        if (!it->owner) it->events.reset();
        retiredData_.push_back(std::move(*it));
        dataControls_.erase(it);
        break;
    }
    dataControls_.push_back(DataEntry{std::string(name), made, std::move(registration), nullptr});
    return *made;
}

ChildWindow* SiteCore::findChild(std::string_view name) const {
    for (const auto& c : children_)
        if (c.name == name) return c.window.get();
    return nullptr;
}

DataControl* SiteCore::findDataControl(std::string_view name) const {
    for (const auto& entry : dataControls_)
        if (entry.name == name) return entry.control.get();
    return nullptr;
}

void SiteCore::releaseChildren() {
    std::vector<Child> leaving = std::move(children_);
    children_.clear();
    for (auto& c : leaving) {
        childRetired(*c.window);
        retired_.push_back(std::move(c.window));
    }
    dataControls_.clear();
    retiredData_.clear();
}

void SiteCore::endChildren() {
    // The data controls' registrations end first: nothing a child does as
    // it ends reaches a control through them.
    for (auto* entries : {&dataControls_, &retiredData_})
        for (auto& entry : *entries) entry.events.reset();
    // Moved out first: a child ending finds no child by lookup.
    auto children = std::move(children_);
    children_.clear();
    children.clear();
    auto retired = std::move(retired_);
    retired_.clear();
    retired.clear();
    auto retiredData = std::move(retiredData_);
    retiredData_.clear();
    retiredData.clear();
    auto dataControls = std::move(dataControls_);
    dataControls_.clear();
    dataControls.clear();
}

void SiteCore::forEachSink(const std::function<void(SurfaceEvents&)>& f) {
    std::vector<SurfaceEvents*> sinks = sinks_;
    for (SurfaceEvents* s : sinks)
        if (std::find(sinks_.begin(), sinks_.end(), s) != sinks_.end()) f(*s);
}

}  // namespace quorvel::host
