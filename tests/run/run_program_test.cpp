// The form runner as its users run it: the built program on scripts, in a
// fresh working folder each time, its whole standard output compared with
// the stored trace of each example.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

#ifndef QUORVEL_RUN_PROGRAM
#error "QUORVEL_RUN_PROGRAM names the built quorvel-run"
#endif
#ifndef QUORVEL_EXAMPLES_DIR
#error "QUORVEL_EXAMPLES_DIR names the examples folder"
#endif

namespace {

namespace fs = std::filesystem;
using quorvel::testing::TempDir;

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    out << text;
}

struct Outcome {
    // The exit status, or -1 when the program did not exit by itself (a
    // signal: a crash).
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the program in `folder` with the arguments; `input` is its standard
// input. Started directly, without a shell: a process costs enough here.
Outcome runProgram(const fs::path& folder, const std::vector<std::string>& arguments,
                   const std::string& input = "") {
    writeFile(folder / ".stdin", input);
    std::vector<std::string> words{QUORVEL_RUN_PROGRAM};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, 0, ".stdin", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, ".stdout", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, ".stderr", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, QUORVEL_RUN_PROGRAM, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    Outcome o;
    int status = 0;
    if (spawned == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        o.exitCode = WEXITSTATUS(status);
    o.out = readFile(folder / ".stdout");
    o.err = readFile(folder / ".stderr");
    return o;
}

Outcome runScript(const std::string& script, const std::vector<std::string>& options = {}) {
    TempDir dir;
    std::vector<std::string> arguments = options;
    arguments.push_back("-");
    return runProgram(dir.path(), arguments, script);
}

const char* kCustomers =
    "exec c.db \"CREATE TABLE C (Code TEXT(4), Name TEXT(20), Balance REAL); INSERT INTO C "
    "VALUES ('A', 'Alba', 1.5), ('B', 'Bruno', 20), ('C', 'Carla', 300);\"\n"
    "new\n"
    "let DropDownAuto False\n"
    "let BoundField \"Code\"\n"
    "let ListSearchField \"Name\"\n"
    "let ListDataBaseName \"c.db\"\n"
    "let ListRecordSource \"C\"\n";

TEST(RunProgram, EveryExampleGivesItsStoredTraceInAFreshFolder) {
    std::vector<fs::path> scripts;
    for (const auto& entry : fs::directory_iterator(QUORVEL_EXAMPLES_DIR))
        if (entry.path().extension() == ".qrun") scripts.push_back(entry.path());
    std::sort(scripts.begin(), scripts.end());
    // The examples the documentation leans on are all there.
    for (const char* name : {"typing-and-choosing", "geometry", "save-and-load", "failures", "locales",
                             "handlers-calling-back"}) {
        EXPECT_TRUE(fs::exists(fs::path(QUORVEL_EXAMPLES_DIR) / (std::string(name) + ".qrun"))) << name;
    }
    for (const fs::path& script : scripts) {
        SCOPED_TRACE(script.filename().string());
        fs::path expected = script;
        expected.replace_extension(".trace");
        ASSERT_TRUE(fs::exists(expected));
        TempDir dir;
        Outcome o = runProgram(dir.path(), {script.string()});
        EXPECT_EQ(o.exitCode, 0);
        EXPECT_EQ(o.err, "");
        EXPECT_EQ(o.out, readFile(expected));
    }
}

TEST(RunProgram, SaveAndLoadWriteTheBagIntoTheWorkingFolder) {
    TempDir dir;
    std::string script = std::string(kCustomers) +
                         "let ListHeight 999\n"
                         "save form/bag.json\n"
                         "save bag.json\n"
                         "new\n"
                         "load bag.json\n"
                         "get ListHeight\n"
                         "get ListRecordSource\n"
                         "load missing.json\n"
                         "get ListHeight\n"
                         "load broken.json\n"
                         "get ListHeight\n";
    writeFile(dir.path() / "broken.json", "{\"ListHeight\": 5,");
    // A link planted where an older save put its temporary file is left alone.
    writeFile(dir.path() / "victim", "victim");
    fs::create_symlink(dir.path() / "victim", dir.path() / "bag.json.saving");
    Outcome o = runProgram(dir.path(), {"-"}, script);
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_TRUE(fs::exists(dir.path() / "c.db"));
    std::string bag = readFile(dir.path() / "bag.json");
    EXPECT_NE(bag.find("\"ListHeight\": 999"), std::string::npos) << bag;
    EXPECT_NE(o.out.find("ListHeight = Long 999\nListRecordSource = String \"C\"\n"), std::string::npos)
        << o.out;
    // A save into a folder that is not there, and a load of a file that is
    // not there, fail and change nothing: the loaded control stays.
    EXPECT_NE(o.out.find("failure 75 \"Cannot write form/bag.json\"\n"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("failure 53 \"File not found: missing.json\"\nListHeight = Long 999\n"),
              std::string::npos)
        << o.out;
    // A document that does not read names the file and the place.
    EXPECT_NE(o.out.find("failure 321 \"broken.json: line 1"), std::string::npos) << o.out;
    EXPECT_EQ(o.out.substr(o.out.size() - 22), "ListHeight = Long 999\n") << o.out;
    EXPECT_EQ(readFile(dir.path() / "victim"), "victim");
    EXPECT_TRUE(fs::is_symlink(dir.path() / "bag.json.saving"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 8) << "a temporary file left behind";
}

TEST(RunProgram, TheHostSizesTheControlItStartedAndRepaintsItWhenItMoves) {
    // The size the control has when it is made; the layout runs all the same.
    Outcome o = runScript(
        "new\n"
        "place 0 0 2580 285\n"
        "dump state\n"
        "echo \"moved\"\n"
        "move 3000 600\n"
        "dump state\n");
    EXPECT_EQ(o.exitCode, 0) << o.err;
    const std::size_t moved = o.out.find("moved\n");
    ASSERT_NE(moved, std::string::npos) << o.out;
    EXPECT_LT(o.out.find("closedWidth = Long 2580\n"), moved) << o.out;
    EXPECT_NE(o.out.find("hostLeft = Long 3000\n", moved), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("hostTop = Long 600\n", moved), std::string::npos) << o.out;
}

TEST(RunProgram, LoadReadsTheControlOfAFormFileAndSaveKeepsTheForm) {
    TempDir dir;
    writeFile(dir.path() / "form.json", R"({
  "format": "quorvel-form", "version": 1,
  "container": {"name": "Form1", "class": "Form", "properties": {"Caption": "Clienti"}},
  "controls": [
    {"name": "Label1", "class": "Label", "properties": {}},
    {"name": "Quorvel20001", "class": "Quorvel2000", "properties": {"ListHeight": 1234, "Kept": "yes"}}
  ]
})");
    Outcome o = runProgram(dir.path(), {"-"}, "load form.json\nget ListHeight\nsave out.json\n");
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("ListHeight = Long 1234\n"), std::string::npos) << o.out;
    std::string saved = readFile(dir.path() / "out.json");
    EXPECT_NE(saved.find("quorvel-form"), std::string::npos) << saved;
    EXPECT_NE(saved.find("Clienti"), std::string::npos) << saved;
    EXPECT_NE(saved.find("\"Kept\": \"yes\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("Label1"), std::string::npos) << saved;
}

TEST(RunProgram, ADeepOrAmbiguousFormIsAFailureAndTheLoadedControlStays) {
    TempDir dir;
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    writeFile(dir.path() / "deep-bag.json", "{\"ListHeight\": " + deep + "}");
    writeFile(dir.path() / "deep-form.json",
              R"({"format": "quorvel-form", "controls": [{"name": "Q", "class": "Quorvel2000"}], "x": )" +
                  deep + "}");
    writeFile(dir.path() / "twice.json", R"({"format": "quorvel-form", "controls": [],
"controls": [{"name": "Q", "class": "Quorvel2000"}]})");
    Outcome o =
        runProgram(dir.path(), {"-"},
                   "new\nlet ListHeight 999\nload deep-bag.json\nload deep-form.json\nload twice.json\n"
                   "get ListHeight\n");
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out,
              "notify ListHeight\n"
              "failure 321 \"deep-bag.json: line 1, column 271: nested deeper than 256 levels\"\n"
              "failure 321 \"deep-form.json: line 1, column 341: nested deeper than 256 levels\"\n"
              "failure 321 \"twice.json: line 2, column 1: a second member named \\\"controls\\\"\"\n"
              "ListHeight = Long 999\n");
}

TEST(RunProgram, TheLocaleOptionAndCommandChooseTheHostsLocale) {
    // A decimal comma is a decimal point in Italian only.
    const std::string script = "new\ncall Val2 \"1,5\"\n";
    EXPECT_EQ(runScript(script, {"--locale", "it-IT"}).out, "Val2 = Double 1.5\n");
    Outcome english = runScript(script, {"--locale", "en-US"});
    EXPECT_EQ(english.exitCode, 0);
    EXPECT_NE(english.out, "Val2 = Double 1.5\n");
    EXPECT_EQ(runScript(script).out, english.out);
    // The command wins over the option from where it stands.
    EXPECT_EQ(runScript("locale it-IT\n" + script, {"--locale", "en-US"}).out, "Val2 = Double 1.5\n");
    EXPECT_EQ(runScript(script + "locale en-US\n" + "call Val2 \"1,5\"\n", {"--locale", "it-IT"}).out,
              "Val2 = Double 1.5\n" + english.out);
    Outcome bad = runScript(script, {"--locale", "fr-XX"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.out, "");
}

TEST(RunProgram, AFailedExpectExitsOneAndTheScriptGoesOn) {
    Outcome o = runScript(std::string(kCustomers) +
                          "expect ListHeight = 2055\n"
                          "expect ListHeight = Integer 2055\n"
                          "expect Bogus = 1\n"
                          "get ListHeight\n");
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_EQ(o.err,
              "error 9: expected ListHeight = Integer 2055, found Long 2055\n"
              "error 10: expected Bogus = Integer 1, found failure 438\n");
    EXPECT_NE(o.out.find("failure 438 \"Object doesn't support this property or method\"\n"
                         "ListHeight = Long 2055\n"),
              std::string::npos)
        << o.out;
}

TEST(RunProgram, SeveralScriptsRunInOrderOnOneHost) {
    TempDir dir;
    writeFile(dir.path() / "setup.qrun", kCustomers);
    writeFile(dir.path() / "use.qrun", "let BoundText \"B\"\nget Text\n");
    Outcome o = runProgram(dir.path(), {"setup.qrun", "use.qrun"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("Text = String \"Bruno\"\n"), std::string::npos) << o.out;

    // Every script is read before any runs; the error names the script.
    writeFile(dir.path() / "bad.qrun", "get Text\n\nfrobnicate\n");
    Outcome bad = runProgram(dir.path(), {"use.qrun", "bad.qrun"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(bad.err, "error 3: bad.qrun: unknown command \"frobnicate\"\n");
}

TEST(RunProgram, ABadScriptExitsTwoNamingTheLineAndRunsNothing) {
    struct Case {
        const char* what;
        std::string script;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"unknown command", "new\nfrobnicate 1\n", "error 2: unknown command \"frobnicate\""},
        {"unterminated string", "new\n\nlet Text \"abc\n", "error 3: unterminated string"},
        {"unknown escape", "new\nlet Text \"a\\qb\"\n", "error 2: unknown escape \\q in a string"},
        {"bad number", "new\nlet ListHeight 12x\n", "error 2: bad number \"12x\""},
        {"bad date", "new\nlet About #02/30/2026#\n", "error 2: bad date #02/30/2026#"},
        {"too few numbers", "new\nplace 1 2 3\n", "error 2: missing a height"},
        {"too many numbers", "new\nmove 1 2 3\n", "error 2: unexpected the number \"3\""},
        {"key code out of range", "new\nkeydown 70000\n", "error 2: out of range for a key code: 70000"},
        {"fraction for a row", "new\ngrid row 1.5\n",
         "error 2: expected a whole number for a row, found 1.5"},
        {"unknown event", "new\non Bogus X=1\n", "error 2: the control has no event named \"Bogus\""},
        {"unknown event argument", "new\non KeyPress Key=1\n",
         "error 2: the event KeyPress has no argument named \"Key\""},
        {"unknown target", "new\nclick grid\n", "error 2: unknown target \"grid\" (text or button)"},
        {"unknown locale", "locale de-DE\n", "error 1: unknown locale \"de-DE\" (en-US, it-IT or system)"},
        {"invalid UTF-8", "new\nlet Text \"\xC3\x28\"\n", "error 2: invalid UTF-8"},
        {"a control character", std::string("new\nlet Text \"a\0b\"\n", 17),
         "error 2: a control character in the line"},
        {"exec that fails", "exec x.db \"CREATE TABLE\"\nnew\n", "error 1: exec on x.db: incomplete input"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Outcome o = runScript(c.script);
        EXPECT_EQ(o.exitCode, 2);
        EXPECT_EQ(o.err, c.error + "\n");
        EXPECT_EQ(o.out, "");
    }
}

TEST(RunProgram, NothingCrashesOnHostileInput) {
    std::string longLine = "let Text \"" + std::string(1 << 20, 'x') + "\"\n";
    std::string manyLines;
    for (int i = 0; i < 20000; ++i) manyLines += "# comment\n";
    manyLines += "bogus\n";
    std::string allBytes;
    for (int i = 0; i < 256; ++i) allBytes += static_cast<char>(i);
    std::string deepQuotes(5000, '"');
    const std::vector<std::pair<const char*, std::string>> inputs = {
        {"every byte", allBytes},
        {"quotes", deepQuotes},
        {"lone hash and equals", "# \n = = =\n"},
        {"an exponent past any Double", "new\nlet ListHeight 1e999999\n"},
        {"a Single out of range", "new\nlet CurrentX Single 1e39\n"},
        {"an overlong encoding", "new\nlet Text \"\xC0\xAF\"\n"},
        {"a surrogate encoded", "new\nlet Text \"\xED\xA0\x80\"\n"},
        {"a truncated sequence", "new\nlet Text \"\xE2\x82"},
        {"many lines then an error", manyLines},
    };
    for (const auto& [what, input] : inputs) {
        SCOPED_TRACE(what);
        Outcome o = runScript(input);
        EXPECT_EQ(o.exitCode, 2) << o.err;
        EXPECT_EQ(o.err.rfind("error ", 0), 0u) << o.err;
    }
    EXPECT_EQ(runScript(longLine + "get Text\n").exitCode, 0);
    EXPECT_NE(runScript(manyLines).err.find("error 20001: unknown command"), std::string::npos);

    // Runtime values the control refuses are failures, not crashes.
    Outcome refused = runScript(std::string(kCustomers) +
                                "place 0 0 -5 -5\n"
                                "let ListHeight 99999999999\n"
                                "let ListHeight 99999999999999999999999999999999\n"
                                "grid row -1\n"
                                "grid click 2147483647\n"
                                "caret 2147483647 2147483647\n"
                                "mouse down grid 1 0 1e30 -1e30\n"
                                "keypress 65535\n"
                                "call UnNull 1 2 3\n"
                                "get Text\n");
    EXPECT_EQ(refused.exitCode, 0) << refused.err;
    EXPECT_NE(refused.out.find("Text = String"), std::string::npos) << refused.out;

    TempDir dir;
    Outcome missing = runProgram(dir.path(), {"no-such-script.qrun"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_EQ(missing.err, "error 0: cannot read \"no-such-script.qrun\": No such file or directory\n");
    EXPECT_EQ(runProgram(dir.path(), {}).exitCode, 2);
    EXPECT_EQ(runProgram(dir.path(), {"--frobnicate", "-"}).exitCode, 2);
}

}  // namespace
