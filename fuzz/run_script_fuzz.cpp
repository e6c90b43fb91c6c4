// The form runner's script reader, from any text: it gives the commands, or
// a ScriptError that names a line of the script (0 for the script as a
// whole) and says what is wrong. The commands come in the order of their
// lines, their numbers are finite, and a typed value other than text reads
// back from the form the trace prints it in ("Integer 5", "Double 2.5") as
// the same type and value (a Boolean: the same truth).
//
// Input: the script.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "script_reader.h"

using namespace quorvel;
using namespace quorvel::run;
using quorvel::fuzz::check;
using quorvel::fuzz::shown;

namespace {

void checkTraceForm(const Literal& literal) {
    const Variant& v = literal.value;
    if (!literal.typed || v.isString() || v.isObject()) return;
    const std::string printed = v.debugString();
    Literal back;
    try {
        back = readLiteral(printed);
    } catch (const ScriptError& e) {
        quorvel::fuzz::broken("a value's trace form does not read", printed + ": " + e.what());
    }
    // The trace writes any Boolean other than 0 as True: only the truth survives.
    if (v.type() == Variant::Type::Boolean && back.value.type() == Variant::Type::Boolean) {
        check(back.typed && (back.value.asBoolean() != 0) == (v.asBoolean() != 0),
              "a Boolean's trace form reads as the other truth", printed);
        return;
    }
    check(back.typed && back.value == v, "a value's trace form reads as another value",
          printed + " -> " + back.value.debugString());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 16384) return 0;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::size_t lines = 0;
    for (std::size_t at = 0; at < text.size(); ++lines) {
        std::size_t end = text.find('\n', at);
        at = end == std::string_view::npos ? text.size() : end + 1;
    }

    std::vector<Command> commands;
    try {
        commands = readScript(text);
    } catch (const ScriptError& e) {
        check(e.line() <= lines, "a script error names a line the script does not have",
              std::to_string(e.line()) + " of " + std::to_string(lines));
        check(*e.what() != '\0', "a script error says nothing", shown(text.substr(0, 200)));
        return 0;
    }

    std::size_t previous = 0;
    for (const Command& c : commands) {
        check(c.line > previous && c.line <= lines, "commands out of the order of their lines",
              std::to_string(c.line));
        previous = c.line;
        for (double n : c.numbers)
            check(std::isfinite(n), "a command's number is not finite", std::to_string(c.line));
        for (const Literal& l : c.values) checkTraceForm(l);
        for (const auto& [name, l] : c.assignments) checkTraceForm(l);
        // A handler's call is one of the program's calls, read on its line.
        check(c.action.empty() || (c.op == Op::On && c.action.size() == 1),
              "a call inside a command other than a handler", std::to_string(c.line));
        for (const Command& a : c.action) {
            check(a.line == c.line && a.action.empty() &&
                      (a.op == Op::Let || a.op == Op::Set || a.op == Op::Get || a.op == Op::Call),
                  "a handler's call is not a let, set, get or call of its line", std::to_string(c.line));
            for (const Literal& l : a.values) checkTraceForm(l);
        }
    }
    return 0;
}
