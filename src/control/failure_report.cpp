// The one failure funnel of the control's larger operations, and the small
// helpers through which every handler talks to its host.
#include <algorithm>
#include <new>

#include "control/events.h"
#include "control/quorvel2000.h"
#include "platform/failure.h"

namespace quorvel {

namespace {

bool contains(std::initializer_list<std::int32_t> numbers, std::int32_t n) {
    return std::find(numbers.begin(), numbers.end(), n) != numbers.end();
}

// A host handler may call back into the control, and one that answers an
// event with an action that raises the same event again (assigning
// BoundText in Change, toggling the list in Drop) would recurse until the
// stack ran out. Past this depth the event is refused with failure 28,
// which the operation that raised it reports, or hands back to its caller,
// like any other failure; every level on the way out clears its flags.
constexpr int kMaxEventNesting = 64;

}  // namespace

std::string Quorvel2000::failurePrompt(std::int32_t number, std::string_view code,
                                       std::string_view description) {
    std::string prompt = std::to_string(number);
    prompt += code;
    prompt += "\n\n";
    prompt += description;
    return prompt;
}

void Quorvel2000::showFailure(std::int32_t number, std::string_view code, std::string_view description) {
    // The report itself must not turn into a failure of the operation: the
    // operation has already been abandoned and goes on at its resume point.
    try {
        site_.msgBox(failurePrompt(number, code, description));
    } catch (const Failure&) {}
}

void Quorvel2000::runReported(std::string_view code, std::initializer_list<std::int32_t> silent,
                              const std::function<void()>& body,
                              const std::function<void(std::int32_t)>& onSilent) {
    std::int32_t number = 0;
    std::string description;
    try {
        body();
        return;
    } catch (const Failure& f) {
        number = f.number();
        description = f.description();
    } catch (const std::bad_alloc&) {
        number = failure::kOutOfMemory;
        description = standardDescription(number);
    }
    if (contains(silent, number)) {
        if (onSilent) onSilent(number);
        return;
    }
    if (number == failure::kOutOfStackSpace && nestingTripped_) {
        if (nestingReported_) return;
        nestingReported_ = true;
    }
    showFailure(number, code, description);
}

void Quorvel2000::skipSilently(std::initializer_list<std::int32_t> silent,
                               const std::function<void()>& body) {
    try {
        body();
    } catch (const Failure& f) {
        if (!contains(silent, f.number())) throw;
    }
}

void Quorvel2000::notify(std::string_view propertyName) { site_.propertyChanged(propertyName); }

void Quorvel2000::deliver(const EventDescription& event, std::span<Variant> arguments) {
    if (eventNesting_ >= kMaxEventNesting || (nestingTripped_ && eventNesting_ > 0)) {
        nestingTripped_ = true;
        fail(failure::kOutOfStackSpace,
             "Out of stack space: the host's handlers called back into the control " +
                 std::to_string(kMaxEventNesting) + " events deep, while raising " + std::string(event.name) +
                 ".");
    }
    struct Nesting {
        Quorvel2000& control;
        explicit Nesting(Quorvel2000& c) : control(c) { ++control.eventNesting_; }
        ~Nesting() {
            if (--control.eventNesting_ == 0) control.nestingTripped_ = control.nestingReported_ = false;
        }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;
    } nesting(*this);
    site_.raiseEvent(event, arguments);
}

void Quorvel2000::raise(const EventDescription& event) { deliver(event, {}); }

void Quorvel2000::raise(const EventDescription& event, std::int16_t& a) {
    Variant args[] = {Variant(a)};
    deliver(event, args);
    a = args[0].toInteger();
}

void Quorvel2000::raise(const EventDescription& event, std::int16_t& a, std::int16_t& b) {
    Variant args[] = {Variant(a), Variant(b)};
    deliver(event, args);
    a = args[0].toInteger();
    b = args[1].toInteger();
}

void Quorvel2000::raise(const EventDescription& event, std::int16_t& button, std::int16_t& shift, float& x,
                        float& y) {
    Variant args[] = {Variant(button), Variant(shift), Variant(x), Variant(y)};
    deliver(event, args);
    button = args[0].toInteger();
    shift = args[1].toInteger();
    x = args[2].toSingle();
    y = args[3].toSingle();
}

std::shared_ptr<Recordset> Quorvel2000::listRecordset() const {
    auto recordset = Data1.recordset();
    if (!recordset) fail(failure::kObjectNotSet);
    return recordset;
}

}  // namespace quorvel
