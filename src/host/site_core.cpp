#include "host/site_core.h"

#include <algorithm>

#include "host/trace.h"
#include "platform/failure.h"

namespace quorvel::host {

// --- EventCall ----------------------------------------------------------

bool EventCall::has(std::string_view name) const {
    auto n = std::min<std::size_t>(static_cast<std::size_t>(std::max(event_.argumentCount, 0)),
                                   arguments_.size());
    for (std::size_t i = 0; i < n; ++i)
        if (event_.argumentNames[i] == name) return true;
    return false;
}

Variant& EventCall::operator[](std::string_view name) const {
    auto n = std::min<std::size_t>(static_cast<std::size_t>(std::max(event_.argumentCount, 0)),
                                   arguments_.size());
    for (std::size_t i = 0; i < n; ++i)
        if (event_.argumentNames[i] == name) return arguments_[i];
    fail(failure::kInvalidProcedureCall,
         std::string(event_.name) + " has no argument " + std::string(name));
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

void SiteCore::setEventArguments(std::string eventName,
                                 std::vector<std::pair<std::string, Variant>> values) {
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
    if (std::find(sinks_.begin(), sinks_.end(), &events) != sinks_.end()) return subscription;
    sinks_.push_back(&events);
    sinkAttached();
    return subscription;
}

void SiteCore::detach(SurfaceEvents& events) {
    auto it = std::remove(sinks_.begin(), sinks_.end(), &events);
    if (it == sinks_.end()) return;
    sinks_.erase(it, sinks_.end());
    if (sinks_.empty()) lastSinkDetached();
}

void SiteCore::forEachSink(const std::function<void(SurfaceEvents&)>& f) {
    std::vector<SurfaceEvents*> sinks = sinks_;
    for (SurfaceEvents* s : sinks)
        if (std::find(sinks_.begin(), sinks_.end(), s) != sinks_.end()) f(*s);
}

}  // namespace quorvel::host
