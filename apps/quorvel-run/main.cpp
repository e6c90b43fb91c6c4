// quorvel-run: puts one control on the headless host, drives it from a
// script and prints, in order, everything the control tells its host.
//
//   quorvel-run [--locale en-US|it-IT|system] SCRIPT...
//
// `-` reads the script from standard input. Several scripts run one after
// the other on the same host, as one script would. Every script is read
// before anything runs, so a script that does not read runs nothing.
//
// Exit status: 0 when every script ran to its end and every expect held,
// 1 when an expect failed, 2 for a script error (reported on standard error
// as `error LINE: message`). docs/quorvel-run.md describes the language.
#include <cerrno>
#include <cstring>
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "runner.h"
#include "script_reader.h"

namespace {

using quorvel::run::Command;
using quorvel::run::ScriptError;

constexpr int kExitExpectFailed = 1;
constexpr int kExitScriptError = 2;

const char* kUsage =
    "usage: quorvel-run [--locale en-US|it-IT|system] SCRIPT...\n"
    "       (- reads a script from standard input)\n";

struct Script {
    std::string name;
    std::vector<Command> commands;
};

// The whole text, or a ScriptError for the script as a whole (line 0).
std::string readSource(const std::string& name) {
    if (name == "-") {
        std::ostringstream text;
        text << std::cin.rdbuf();
        return text.str();
    }
    std::ifstream in(name, std::ios::binary);
    if (!in.is_open()) throw ScriptError(0, "cannot read \"" + name + "\": " + std::strerror(errno));
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw ScriptError(0, "cannot read \"" + name + "\"");
    return text;
}

int scriptError(const ScriptError& e, const std::string& source, bool nameIt) {
    std::cout.flush();
    std::cerr << "error " << e.line() << ": " << (nameIt ? source + ": " : std::string()) << e.what() << '\n';
    return kExitScriptError;
}

int runAll(int argc, char** argv) {
    quorvel::Locale locale = quorvel::Locale::english();
    std::vector<std::string> sources;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (options && arg == "--") {
            options = false;
        } else if (options && arg == "--locale") {
            auto named = i + 1 < argc ? quorvel::run::localeNamed(argv[i + 1]) : std::nullopt;
            if (!named) {
                std::cerr << "quorvel-run: --locale takes en-US, it-IT or system\n" << kUsage;
                return kExitScriptError;
            }
            locale = *named;
            ++i;
        } else if (options && (arg == "--help" || arg == "-h")) {
            std::cout << kUsage;
            return 0;
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            std::cerr << "quorvel-run: unknown option " << arg << "\n" << kUsage;
            return kExitScriptError;
        } else {
            sources.push_back(arg);
        }
    }
    if (sources.empty()) {
        std::cerr << kUsage;
        return kExitScriptError;
    }

    const bool several = sources.size() > 1;
    std::vector<Script> scripts;
    for (const std::string& source : sources) {
        try {
            scripts.push_back({source, quorvel::run::readScript(readSource(source))});
        } catch (const ScriptError& e) { return scriptError(e, source, several); }
    }

    quorvel::run::Runner runner(std::cout, std::cerr, locale);
    for (const Script& script : scripts) {
        try {
            runner.check(script.commands);
        } catch (const ScriptError& e) { return scriptError(e, script.name, several); }
    }
    for (const Script& script : scripts) {
        try {
            runner.run(script.commands);
        } catch (const ScriptError& e) { return scriptError(e, script.name, several); }
    }
    std::cout.flush();
    return runner.expectFailed() ? kExitExpectFailed : 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return runAll(argc, argv);
    } catch (const std::exception& e) {
        // Nothing of a script should come here; if something does, it is
        // reported, never a crash.
        std::cout.flush();
        std::cerr << "error 0: " << e.what() << '\n';
        return kExitScriptError;
    }
}
