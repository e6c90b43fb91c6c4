// Runs the commands of a script against one control on the headless host and
// writes, in order, everything the control tells its host, with the lines of
// `get`, `call` and `dump`.
//
// Each `new` and `load` puts a fresh control on a fresh host, so nothing of
// an earlier control (its children, its data control, its focus) can reach
// the next one. What the script set on the host itself (the locale, the
// container, the answers to edit requests, the event handlers) carries over
// to every control it makes.
//
// An event handler of the script sets the event's by-reference arguments
// and may then call back into the control (let, set, get or call), as a
// form's handler does; a failure of that call goes back to the control that
// raised the event.
//
// A Failure that reaches the runner from the control or the host is printed
// as `failure NUMBER "DESCRIPTION"` and the script goes on. A command that
// cannot be carried out at all (an event that does not exist, SQL that does
// not run in `exec`) is a ScriptError: the run stops there.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "script_reader.h"

#include "platform/locale.h"

namespace quorvel {
class Quorvel2000;
namespace host {
class EventCall;
}  // namespace host
namespace headless {
class HeadlessSite;
class JsonPropertyBag;
}  // namespace headless
}  // namespace quorvel

namespace quorvel::run {

// The locale of a name of the script language: "en-US", "it-IT" or
// "system" (the process's environment). None for any other name.
std::optional<Locale> localeNamed(std::string_view name);

class Runner {
public:
    // The trace goes to `out`; a failed expect is reported on `err`.
    Runner(std::ostream& out, std::ostream& err, Locale locale);
    ~Runner();
    Runner(const Runner&) = delete;
    Runner& operator=(const Runner&) = delete;

    // What the reader cannot know: that the events of `on` and `off` and
    // their arguments exist. ScriptError for the first that does not.
    void check(const std::vector<Command>& commands) const;
    // Checks, then runs the commands in order. ScriptError stops the run.
    void run(const std::vector<Command>& commands);

    // True once an expect did not hold.
    bool expectFailed() const { return expectFailed_; }

private:
    struct Host;
    // What the script's handler of an event does: sets by-reference
    // arguments, then makes the program's call, if any.
    struct Handler {
        std::vector<std::pair<std::string, Variant>> values;
        std::optional<Command> action;
    };

    // The command's action, by its row of the command table; first failure
    // 91 when the command needs a control and the script made none. A
    // failure goes to whoever called (the runner, or the control raising an
    // event whose handler makes the call).
    void execute(const Command& c);

    // The actions, one for each row of the command table (commands.h).
#define QUORVEL_RUN_ACTION(op, words, reach, arguments, action) void action(const Command& c);
    QUORVEL_RUN_COMMANDS(QUORVEL_RUN_ACTION)
#undef QUORVEL_RUN_ACTION

    void startControl(const headless::JsonPropertyBag* bag);
    void configure(headless::HeadlessSite& site);
    std::function<void(host::EventCall&)> eventHandler(const Handler& handler);
    // Get or call through the late-bound interface, printing the result.
    void callMember(const Command& c, bool isGet);
    // Failure 91 before the script made a control.
    Host& host();
    void print(const std::string& line);

    std::ostream& out_;
    std::ostream& err_;
    Locale locale_;
    std::optional<std::pair<float, float>> containerSize_;
    std::optional<float> containerScaleHeight_;
    bool editAllowed_ = true;
    std::map<std::string, bool> editAnswers_;
    std::map<std::string, Handler> handlers_;
    std::unique_ptr<Host> host_;
    bool expectFailed_ = false;
};

}  // namespace quorvel::run
