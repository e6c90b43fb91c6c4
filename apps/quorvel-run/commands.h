// The form runner's commands, written once: one row a command, read by the
// script reader (which words name it, what its arguments are, so that every
// argument is checked before anything runs) and by the runner (which action
// carries it out and whether it needs a control).
//
// A row is X(OP, WORDS, REACH, ARGUMENTS, ACTION):
//   OP         the command's name in Op
//   WORDS      how a script writes it: one word, or a word and a second word
//              ("mouse down"); a one-word row beside two-word rows of the
//              same first word ("dump", "dump state") is the line with the
//              first word alone
//   REACH      Reach::Host: the script's settings of the host, no control
//              needed; Reach::Control: needs a control (failure 91 before
//              `new` or `load`); Reach::Program: a call of the program
//              through the control's late-bound interface, which needs a
//              control and which an event handler (`on`) may make too
//   ARGUMENTS  the arguments in the order they are written (the kinds below)
//   ACTION     the Runner member function that carries the command out
//
// A new command is a row here and its action in runner.cpp; the reader, the
// runner's dispatch and the action's declaration come from the row.
//
// docs/quorvel-run.md describes the language for its users.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

// clang-format off
#define QUORVEL_RUN_COMMANDS(X)                                                                     \
    X(Locale,    "locale",     Reach::Host,    (localeName()),                          changeLocale)  \
    X(Container, "container",  Reach::Host,    (single("a width"), single("a height"),              \
                                                optional(single("a scale height"))),   sizeContainer) \
    X(Exec,      "exec",       Reach::Host,    (file(), text("SQL text in a string")),  exec)          \
    X(New,       "new",        Reach::Host,    (),                                      newControl)    \
    X(Load,      "load",       Reach::Host,    (file()),                                load)          \
    X(Save,      "save",       Reach::Control, (file()),                                save)          \
    X(Place,     "place",      Reach::Control, (single("a left"), single("a top"),                  \
                                                single("a width"), single("a height")), place)         \
    X(Move,      "move",       Reach::Control, (single("a left"), single("a top")),     moveControl)   \
    X(Paint,     "paint",      Reach::Control, (),                                      paint)         \
    X(Let,       "let",        Reach::Program, (name("a property name"), optional(equals()),        \
                                                value()),                               let)           \
    X(Set,       "set",        Reach::Program, (name("a property name"), optional(equals()),        \
                                                value()),                               set)           \
    X(Get,       "get",        Reach::Program, (name("a member name"), values()),       get)           \
    X(Call,      "call",       Reach::Program, (name("a member name"), values()),       call)          \
    X(Expect,    "expect",     Reach::Control, (name("a property name"), equals(), value()), expect)   \
    X(Type,      "type",       Reach::Control, (text("the text to type in a string")),  type)          \
    X(KeyDown,   "keydown",    Reach::Control, (integer16("a key code"),                            \
                                                orZero(integer16("a shift state"))),   keyDown)       \
    X(KeyPress,  "keypress",   Reach::Control, (whole("a character code", -32768, 65535)), keyPress)   \
    X(KeyUp,     "keyup",      Reach::Control, (integer16("a key code"),                            \
                                                orZero(integer16("a shift state"))),   keyUp)         \
    X(Click,     "click",      Reach::Control, (child()),                               click)         \
    X(DblClick,  "dblclick",   Reach::Control, (child()),                               dblClick)      \
    X(MouseDown, "mouse down", Reach::Control, (window(), integer16("a mouse button"),              \
                                                integer16("a shift state"),                          \
                                                single("an x"), single("a y")),         mouseDown)     \
    X(MouseMove, "mouse move", Reach::Control, (window(), integer16("a mouse button"),              \
                                                integer16("a shift state"),                          \
                                                single("an x"), single("a y")),         mouseMove)     \
    X(MouseUp,   "mouse up",   Reach::Control, (window(), integer16("a mouse button"),              \
                                                integer16("a shift state"),                          \
                                                single("an x"), single("a y")),         mouseUp)       \
    X(Caret,     "caret",      Reach::Control, (integer32("a caret position"),                      \
                                                orZero(integer32("a selection length"))), caret)      \
    X(GridRow,   "grid row",   Reach::Control, (integer32("a row")),                    gridRow)       \
    X(GridKey,   "grid key",   Reach::Control, (integer16("a key code"),                            \
                                                orZero(integer16("a shift state"))),   gridKey)       \
    X(GridClick, "grid click", Reach::Control, (integer32("a row")),                    gridClick)     \
    X(FocusIn,   "focus in",   Reach::Control, (),                                      focusIn)       \
    X(FocusOut,  "focus out",  Reach::Control, (),                                      focusOut)      \
    X(Edit,      "edit",       Reach::Host,    (allowOrRefuse(),                                     \
                                                optional(name("a property name"))),    edit)          \
    X(On,        "on",         Reach::Host,    (name("an event name"), handler()),      on)            \
    X(Off,       "off",        Reach::Host,    (name("an event name")),                 off)           \
    X(Dump,      "dump",       Reach::Control, (),                                      dump)          \
    X(DumpState, "dump state", Reach::Control, (),                                      dumpState)     \
    X(DumpBag,   "dump bag",   Reach::Control, (),                                      dumpBag)       \
    X(Echo,      "echo",       Reach::Host,    (text("the text to print in a string")), echo)
// clang-format on

namespace quorvel::run {

enum class Op : std::uint8_t {
#define QUORVEL_RUN_OP(op, words, reach, arguments, action) op,
    QUORVEL_RUN_COMMANDS(QUORVEL_RUN_OP)
#undef QUORVEL_RUN_OP
};

enum class Reach : std::uint8_t { Host, Control, Program };

namespace command_table {

// What an argument is, and where the reader puts it in the Command.
enum class ArgumentKind : std::uint8_t {
    LocaleName,     // en-US, it-IT or system -> name
    File,           // a string, or a word or number as written -> name
    Text,           // a string -> text
    Name,           // a name of the control's interface -> name
    Equals,         // "=" -> nothing
    Value,          // one literal -> values
    Values,         // literals to the end of the line -> values
    Number,         // a number within [low, high], whole when asked -> numbers
    Child,          // text or button -> target
    Window,         // text, button, surface or grid -> target
    AllowOrRefuse,  // -> allow
    Handler,        // ARGUMENT=VALUE..., then one of the program's calls -> assignments, action
};

// When an argument may be left out: never; when the line ended before it
// (an "=" only where the next word is one), so nothing is read; or when the
// line ended before it, reading as 0.
enum class Absent : std::uint8_t { Required, Skipped, Zero };

struct Argument {
    ArgumentKind kind = ArgumentKind::Name;
    // The argument as messages name it: "a key code".
    const char* what = "";
    double low = 0;
    double high = 0;
    bool whole = false;
    Absent absent = Absent::Required;
};

inline constexpr std::size_t kMostArguments = 5;

struct Arguments {
    Argument list[kMostArguments] = {};
    std::size_t count = 0;
};

struct CommandSpec {
    Op op;
    std::string_view words;
    Reach reach;
    Arguments arguments;
};

// --- The kinds of argument, as the table writes them ------------------------

constexpr Argument localeName() { return {ArgumentKind::LocaleName, "a locale name"}; }
constexpr Argument file() { return {ArgumentKind::File, "a file name"}; }
constexpr Argument text(const char* what) { return {ArgumentKind::Text, what}; }
constexpr Argument name(const char* what) { return {ArgumentKind::Name, what}; }
constexpr Argument equals() { return {ArgumentKind::Equals, "\"=\""}; }
constexpr Argument value() { return {ArgumentKind::Value, "a value"}; }
constexpr Argument values() { return {ArgumentKind::Values, "a value"}; }
constexpr Argument child() { return {ArgumentKind::Child, "a target"}; }
constexpr Argument window() { return {ArgumentKind::Window, "a target"}; }
constexpr Argument allowOrRefuse() { return {ArgumentKind::AllowOrRefuse, "allow or refuse"}; }
constexpr Argument handler() { return {ArgumentKind::Handler, "ARGUMENT=VALUE"}; }

constexpr Argument whole(const char* what, double low, double high) {
    return {ArgumentKind::Number, what, low, high, true};
}
// Key codes, shift states, mouse buttons.
constexpr Argument integer16(const char* what) { return whole(what, -32768, 32767); }
// Rows, caret positions and lengths.
constexpr Argument integer32(const char* what) { return whole(what, -2147483648.0, 2147483647.0); }
// Geometry: any finite single-precision number.
constexpr Argument single(const char* what) {
    return {ArgumentKind::Number, what, -std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
            false};
}

constexpr Argument optional(Argument a) {
    a.absent = Absent::Skipped;
    return a;
}
constexpr Argument orZero(Argument a) {
    a.absent = Absent::Zero;
    return a;
}

template <class... A>
constexpr Arguments arguments(A... a) {
    static_assert(sizeof...(A) <= kMostArguments, "more arguments than a command may take");
    return Arguments{{a...}, sizeof...(A)};
}

// The table itself, in the order of Op.
inline constexpr CommandSpec kCommands[] = {
#define QUORVEL_RUN_SPEC(op, words, reach, args, action) {Op::op, words, reach, arguments args},
    QUORVEL_RUN_COMMANDS(QUORVEL_RUN_SPEC)
#undef QUORVEL_RUN_SPEC
};

constexpr const CommandSpec& specOf(Op op) { return kCommands[static_cast<std::size_t>(op)]; }

// No two rows are written alike, or the later could never be read.
constexpr bool wordsAreDistinct() {
    for (const CommandSpec& a : kCommands)
        for (const CommandSpec& b : kCommands)
            if (&a != &b && a.words == b.words) return false;
    return true;
}
static_assert(wordsAreDistinct(), "two commands are written alike");

}  // namespace command_table

}  // namespace quorvel::run
