// The form runner's script reader on its own: literals, commands, and the
// line that an error names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/trace.h"
#include "platform/locale.h"
#include "script_reader.h"

namespace {

using quorvel::Variant;
using quorvel::host::traceValue;
using quorvel::run::Command;
using quorvel::run::Op;
using quorvel::run::readLiteral;
using quorvel::run::readScript;
using quorvel::run::ScriptError;

TEST(ScriptReader, LiteralsReadAsTheTypesTheTracePrints) {
    struct Case {
        const char* text;
        const char* value;
        bool typed;
    };
    const std::vector<Case> cases = {
        {"12", "Integer 12", false},
        {"-32768", "Integer -32768", false},
        {"32768", "Long 32768", false},
        {"40000", "Long 40000", false},
        {"-2147483648", "Long -2147483648", false},
        {"2147483648", "Double 2147483648", false},
        {"99999999999999999999999", "Double 1e+23", false},
        {"1.5", "Double 1.5", false},
        {".5", "Double 0.5", false},
        {"2e3", "Double 2000", false},
        {"\"a\\\"b\\\\c\\n\\t\"", "String \"a\\\"b\\\\c\\n\\t\"", false},
        {"\"\"", "String \"\"", false},
        {"True", "Boolean True", false},
        {"false", "Boolean False", false},
        {"Null", "Null", true},
        {"Empty", "Empty", true},
        {"Nothing", "Nothing", true},
        {"#12/07/2026#", "Date #12/07/2026#", false},
        {"#2/29/2024 13:05#", "Date #02/29/2024 13:05:00#", false},
        {"Integer 5", "Integer 5", true},
        {"Long 5", "Long 5", true},
        {"Single 1.5", "Single 1.5", true},
        {"Double 3.25", "Double 3.25", true},
        {"String \"ab\"", "String \"ab\"", true},
        {"Boolean True", "Boolean True", true},
        {"Boolean 1", "Boolean 1", true},
        {"Date #01/31/1990#", "Date #01/31/1990#", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        auto literal = readLiteral(c.text);
        EXPECT_EQ(traceValue(literal.value), c.value);
        EXPECT_EQ(literal.typed, c.typed);
        // What the trace prints reads back as the same value.
        EXPECT_EQ(readLiteral(traceValue(literal.value)).value, literal.value);
    }
}

TEST(ScriptReader, BadLiteralsAreErrors) {
    for (const char* text : {"12x",         "1.2.3",         "1e",           "-",
                             "\"open",      "#13/01/2026#",  "#02/29/2023#", "#1/1/2026 24:00#",
                             "#1/1/2026",   "Integer 40000", "Integer 1.5",  "Long 2147483648",
                             "Single 1e39", "Double \"x\"",  "Date 5",       "Bogus",
                             "1e400",       "\"\\x\"",       "Integer",      "1 2"}) {
        SCOPED_TRACE(text);
        EXPECT_THROW(readLiteral(text), ScriptError);
    }
}

TEST(ScriptReader, CommandsWithTheirArgumentsAndLines) {
    auto commands = readScript(
        "\xEF\xBB\xBF# a comment line after a byte-order mark\n"
        "\n"
        "   container 6000 4500   # no scale height\r\n"
        "exec \"my list.db\" \"CREATE TABLE T (A)\"\n"
        "load forms/a.json\n"
        "let BoundText = \"#1\"\n"
        "call Val2 \"1.5\" 2\n"
        "expect DropDown = True\n"
        "keydown 13\n"
        "keypress 65535\n"
        "mouse move grid 1 2 30.5 -40\n"
        "caret 3\n"
        "grid key 40 1\n"
        "edit refuse BoundText\n"
        "on KeyPress KeyAscii=0 Other=Integer 1\n"
        "dump state\n");
    ASSERT_EQ(commands.size(), 14u);
    const Command& container = commands[0];
    EXPECT_EQ(container.line, 3u);
    EXPECT_EQ(container.op, Op::Container);
    EXPECT_EQ(container.numbers, (std::vector<double>{6000, 4500}));
    EXPECT_EQ(commands[1].name, "my list.db");
    EXPECT_EQ(commands[1].text, "CREATE TABLE T (A)");
    EXPECT_EQ(commands[2].name, "forms/a.json");
    EXPECT_EQ(commands[3].values.at(0).value, Variant("#1"));
    EXPECT_EQ(commands[4].values.size(), 2u);
    EXPECT_EQ(commands[5].values.at(0).value, Variant::booleanValue(quorvel::kTrue));
    EXPECT_EQ(commands[6].numbers, (std::vector<double>{13, 0}));
    EXPECT_EQ(commands[7].numbers, (std::vector<double>{65535}));
    EXPECT_EQ(commands[8].op, Op::MouseMove);
    EXPECT_EQ(commands[8].target, quorvel::run::Target::Grid);
    EXPECT_EQ(commands[8].numbers, (std::vector<double>{1, 2, 30.5, -40}));
    EXPECT_EQ(commands[9].numbers, (std::vector<double>{3, 0}));
    EXPECT_EQ(commands[10].numbers, (std::vector<double>{40, 1}));
    EXPECT_FALSE(commands[11].allow);
    EXPECT_EQ(commands[11].name, "BoundText");
    ASSERT_EQ(commands[12].assignments.size(), 2u);
    EXPECT_EQ(commands[12].assignments[1].first, "Other");
    EXPECT_TRUE(commands[12].assignments[1].second.typed);
    EXPECT_EQ(commands[13].op, Op::DumpState);
    EXPECT_EQ(commands[13].line, 16u);
}

TEST(ScriptReader, AHandlerSetsArgumentsThenMakesOneCall) {
    auto commands = readScript(
        "on KeyUp KeyCode=0 let BoundText \"x\"\n"
        "on Change call ListaApri\n"
        "set ListRecordset = Nothing\n");
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0].assignments.size(), 1u);
    ASSERT_EQ(commands[0].action.size(), 1u);
    EXPECT_EQ(commands[0].action[0].op, Op::Let);
    EXPECT_EQ(commands[0].action[0].values.at(0).value, Variant("x"));
    EXPECT_EQ(commands[1].action.at(0).op, Op::Call);
    EXPECT_EQ(commands[1].action.at(0).name, "ListaApri");
    EXPECT_EQ(commands[2].op, Op::Set);
    EXPECT_EQ(commands[2].values.at(0).value, Variant(quorvel::ObjectRef()));

    const std::pair<const char*, const char*> bad[] = {
        {"on Change call", "missing a member name"},
        {"on Change type \"x\"", "expected ARGUMENT=VALUE, or let, set, get or call, found \"type\""},
        {"on Change let Text \"a\" \"b\"", "unexpected a string"},
        {"on Change call ListaApri KeyAscii=0", "bad value \"KeyAscii\""},
    };
    for (const auto& [script, message] : bad) {
        SCOPED_TRACE(script);
        try {
            readScript(script);
            ADD_FAILURE() << "no error";
        } catch (const ScriptError& e) { EXPECT_STREQ(e.what(), message); }
    }
}

TEST(ScriptReader, TheErrorNamesTheFirstLineThatDoesNotRead) {
    try {
        readScript("new\nget Text\n\n   type Ro\nfrobnicate\n");
        FAIL() << "no error";
    } catch (const ScriptError& e) {
        EXPECT_EQ(e.line(), 4u);
        EXPECT_STREQ(e.what(), "expected the text to type in a string, found \"Ro\"");
    }
    // A long word is cut in the message.
    try {
        readScript(std::string(200, 'z'));
        FAIL() << "no error";
    } catch (const ScriptError& e) {
        EXPECT_EQ(e.line(), 1u);
        EXPECT_LT(std::string(e.what()).size(), 80u);
    }
}

// Every row of the command table reads back from its words and an argument
// of each kind, and a line cut before a required argument names it.
TEST(ScriptReader, EveryCommandOfTheTableReadsAndNamesWhatIsMissing) {
    using namespace quorvel::run::command_table;
    auto written = [](const Argument& a) -> std::string {
        switch (a.kind) {
            case ArgumentKind::LocaleName: return "it-IT";
            case ArgumentKind::File: return "a.db";
            case ArgumentKind::Text: return "\"t\"";
            case ArgumentKind::Name: return "Text";
            case ArgumentKind::Equals: return "=";
            case ArgumentKind::Value: return "1";
            case ArgumentKind::Values: return "1 \"b\"";
            case ArgumentKind::Number: return "7";
            case ArgumentKind::Child: return "button";
            case ArgumentKind::Window: return "grid";
            case ArgumentKind::AllowOrRefuse: return "refuse";
            case ArgumentKind::Handler: return "KeyAscii=0 call ListaApri";
        }
        return "?";
    };
    for (const CommandSpec& spec : kCommands) {
        SCOPED_TRACE(std::string(spec.words));
        std::string line(spec.words);
        std::size_t numbers = 0;
        for (std::size_t i = 0; i < spec.arguments.count; ++i) {
            const Argument& a = spec.arguments.list[i];
            // The line so far lacks this argument: a required one is missing.
            if (a.absent == Absent::Required && a.kind != ArgumentKind::Values &&
                a.kind != ArgumentKind::Handler) {
                try {
                    readScript(line);
                    ADD_FAILURE() << "no error without " << a.what;
                } catch (const ScriptError& e) { EXPECT_EQ(e.what(), std::string("missing ") + a.what); }
            }
            line += " " + written(a);
            numbers += a.kind == ArgumentKind::Number ? 1 : 0;
        }
        auto commands = readScript(line);
        ASSERT_EQ(commands.size(), 1u);
        EXPECT_EQ(commands[0].op, spec.op);
        EXPECT_EQ(commands[0].numbers.size(), numbers);
    }
}

}  // namespace
