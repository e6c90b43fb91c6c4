// The form runner's script language, read into a list of commands.
//
// A script is UTF-8 text, one command a line; `#` at the start of a word
// starts a comment (a `#` followed by a digit starts a date literal
// instead). Reading needs no control and touches no file: the text goes in,
// commands with their line numbers come out, or a ScriptError that names the
// line. Every argument is checked here (its kind, its range, the number of
// them), so that running a command never meets a malformed one. What each
// command takes is in its row of the command table (commands.h).
//
// docs/quorvel-run.md describes the language; this reader is its reference.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "commands.h"
#include "platform/variant.h"

namespace quorvel::run {

// A script that does not read: the line (1-based; 0 for the script as a
// whole) and what is wrong there.
class ScriptError : public std::runtime_error {
public:
    ScriptError(std::size_t line, const std::string& message) : std::runtime_error(message), line_(line) {}
    std::size_t line() const noexcept { return line_; }

private:
    std::size_t line_;
};

// A value written in a script. A literal written with its type name
// (`Integer 5`, `String "a"`), as the trace prints values, is typed: an
// `expect` compares it by type and value. A bare number compares by value
// with a number of any type.
struct Literal {
    Variant value;
    bool typed = false;
};

enum class Target { Text, Button, Surface, Grid };

// One line of a script: its command and the arguments, each where its kind
// in the command table puts it.
struct Command {
    std::size_t line = 0;
    Op op = Op::New;
    std::string name;
    std::string text;
    std::vector<Literal> values;
    std::vector<std::pair<std::string, Literal>> assignments;
    // Already checked against the range of what they stand for (a 16-bit
    // key code, a finite single-precision coordinate, a 32-bit row).
    std::vector<double> numbers;
    Target target = Target::Text;
    bool allow = true;
    // The program's call an event handler makes (let, set, get or call),
    // after it set its arguments; none when empty.
    std::vector<Command> action;
};

// The commands of a script in order. ScriptError for the first line that
// does not read.
std::vector<Command> readScript(std::string_view text);

// One literal on its own, for a value given outside a script (a test, a
// command line).
Literal readLiteral(std::string_view text);

}  // namespace quorvel::run
