#include "script_reader.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <system_error>

#include "platform/locale.h"

namespace quorvel::run {

namespace {

// --- Text checks -----------------------------------------------------------

// Well-formed UTF-8 only: no overlong forms, no surrogates, nothing past
// U+10FFFF. Tabs are the one control character a line may hold.
std::optional<std::string> lineProblem(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size()) {
        auto b = static_cast<unsigned char>(line[i]);
        if (b < 0x80) {
            if ((b < 0x20 && b != '\t') || b == 0x7F) return "a control character in the line";
            ++i;
            continue;
        }
        std::size_t n = 0;
        std::uint32_t cp = 0;
        if (b >= 0xC2 && b <= 0xDF) n = 1, cp = b & 0x1F;
        else if (b >= 0xE0 && b <= 0xEF) n = 2, cp = b & 0x0F;
        else if (b >= 0xF0 && b <= 0xF4) n = 3, cp = b & 0x07;
        else return "invalid UTF-8";
        if (i + n >= line.size()) return "invalid UTF-8";
        for (std::size_t k = 1; k <= n; ++k) {
            auto c = static_cast<unsigned char>(line[i + k]);
            if ((c & 0xC0) != 0x80) return "invalid UTF-8";
            cp = (cp << 6) | (c & 0x3F);
        }
        if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return "invalid UTF-8";
        i += n + 1;
    }
    return std::nullopt;
}

// A word as it may be quoted back in a message: long words are cut.
std::string shown(std::string_view word) {
    constexpr std::size_t kMax = 40;
    std::string out = "\"";
    if (word.size() <= kMax) {
        out += word;
    } else {
        // Cut before a continuation byte never: back up to a character start.
        std::size_t cut = kMax;
        while (cut > 0 && (static_cast<unsigned char>(word[cut]) & 0xC0) == 0x80) --cut;
        out += word.substr(0, cut);
        out += "...";
    }
    return out + "\"";
}

// --- Tokens ----------------------------------------------------------------

enum class Kind { Word, Number, String, Date, Equals };

struct Token {
    Kind kind;
    std::string text;  // a word or number as written; a string's decoded text
    Variant value;     // numbers and dates
};

bool isSpace(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool startsNumber(std::string_view w) {
    std::size_t i = 0;
    if (i < w.size() && (w[i] == '+' || w[i] == '-')) ++i;
    if (i < w.size() && w[i] == '.') ++i;
    return i < w.size() && isDigit(w[i]);
}

// `12` Integer when it fits 16 bits, Long when it fits 32, else a Double;
// anything with a point or an exponent a Double. Failure to read, or a
// number past the range of a Double, is the script's error.
Variant numberValue(std::string_view w, std::size_t line) {
    bool negative = false;
    std::string_view digits = w;
    if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
        negative = digits[0] == '-';
        digits.remove_prefix(1);
    }
    bool integral = true;
    std::size_t i = 0;
    while (i < digits.size() && isDigit(digits[i])) ++i;
    std::size_t intDigits = i;
    if (i < digits.size() && digits[i] == '.') {
        integral = false;
        ++i;
        std::size_t f = i;
        while (i < digits.size() && isDigit(digits[i])) ++i;
        if (intDigits == 0 && i == f) throw ScriptError(line, "bad number " + shown(w));
    }
    if (i < digits.size() && (digits[i] == 'e' || digits[i] == 'E')) {
        integral = false;
        ++i;
        if (i < digits.size() && (digits[i] == '+' || digits[i] == '-')) ++i;
        std::size_t e = i;
        while (i < digits.size() && isDigit(digits[i])) ++i;
        if (i == e) throw ScriptError(line, "bad number " + shown(w));
    }
    if (i != digits.size() || (intDigits == 0 && integral)) throw ScriptError(line, "bad number " + shown(w));

    if (integral) {
        std::int64_t v = 0;
        auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
        if (ec == std::errc() && end == digits.data() + digits.size()) {
            if (negative) v = -v;
            if (v >= std::numeric_limits<std::int16_t>::min() &&
                v <= std::numeric_limits<std::int16_t>::max())
                return Variant(static_cast<std::int16_t>(v));
            if (v >= std::numeric_limits<std::int32_t>::min() &&
                v <= std::numeric_limits<std::int32_t>::max())
                return Variant(static_cast<std::int32_t>(v));
        }
        // Too long for a Long: a Double, as the language's own literals go.
    }
    double d = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), d);
    if (ec != std::errc() || end != digits.data() + digits.size() || !std::isfinite(d))
        throw ScriptError(line, "number out of range " + shown(w));
    return Variant(negative ? -d : d);
}

// `#M/D/YYYY#` or `#M/D/YYYY H:MM[:SS]#`, month first whatever the locale.
Variant dateValue(std::string_view body, std::size_t line) {
    auto bad = [&]() -> ScriptError {
        return ScriptError(line, "bad date #" + std::string(body.substr(0, 40)) + "#");
    };
    int parts[6] = {0, 0, 0, 0, 0, 0};
    std::size_t i = 0;
    auto readInt = [&](int maxDigits) {
        std::size_t start = i;
        int v = 0;
        while (i < body.size() && isDigit(body[i]) && static_cast<int>(i - start) < maxDigits)
            v = v * 10 + (body[i++] - '0');
        if (i == start || (i < body.size() && isDigit(body[i]))) throw bad();
        return v;
    };
    auto expect = [&](char c) {
        if (i >= body.size() || body[i] != c) throw bad();
        ++i;
    };
    parts[1] = readInt(2);
    expect('/');
    parts[2] = readInt(2);
    expect('/');
    parts[0] = readInt(4);
    if (i < body.size()) {
        expect(' ');
        while (i < body.size() && body[i] == ' ') ++i;
        parts[3] = readInt(2);
        expect(':');
        parts[4] = readInt(2);
        if (i < body.size()) {
            expect(':');
            parts[5] = readInt(2);
        }
        if (i != body.size()) throw bad();
    }
    if (parts[0] < 100 || !isValidCivilDate(parts[0], parts[1], parts[2]) || parts[3] > 23 || parts[4] > 59 ||
        parts[5] > 59)
        throw bad();
    return Variant::date(dateSerial(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]));
}

std::vector<Token> tokenize(std::string_view line, std::size_t lineNo) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (isSpace(c)) {
            ++i;
            continue;
        }
        if (c == '#') {
            // A date where a digit follows, except as the line's first word:
            // a line that starts with `#` is a comment whatever comes next.
            if (tokens.empty() || i + 1 >= line.size() || !isDigit(line[i + 1])) break;
            std::size_t close = line.find('#', i + 1);
            if (close == std::string_view::npos) throw ScriptError(lineNo, "unterminated date");
            tokens.push_back({Kind::Date, std::string(line.substr(i, close - i + 1)),
                              dateValue(line.substr(i + 1, close - i - 1), lineNo)});
            i = close + 1;
            continue;
        }
        if (c == '=') {
            tokens.push_back({Kind::Equals, "=", Variant()});
            ++i;
            continue;
        }
        if (c == '"') {
            std::string text;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char d = line[i++];
                if (d == '"') {
                    closed = true;
                    break;
                }
                if (d != '\\') {
                    text += d;
                    continue;
                }
                if (i >= line.size()) break;
                char e = line[i++];
                switch (e) {
                    case '"': text += '"'; break;
                    case '\\': text += '\\'; break;
                    case 'n': text += '\n'; break;
                    case 't': text += '\t'; break;
                    case 'r': text += '\r'; break;
                    default:
                        throw ScriptError(lineNo,
                                          std::string("unknown escape \\") +
                                              (static_cast<unsigned char>(e) < 0x80 ? std::string(1, e)
                                                                                    : std::string("?")) +
                                              " in a string");
                }
            }
            if (!closed) throw ScriptError(lineNo, "unterminated string");
            tokens.push_back({Kind::String, std::move(text), Variant()});
            continue;
        }
        std::size_t start = i;
        while (i < line.size() && !isSpace(line[i]) && line[i] != '=' && line[i] != '"') ++i;
        std::string_view word = line.substr(start, i - start);
        if (startsNumber(word)) {
            tokens.push_back({Kind::Number, std::string(word), numberValue(word, lineNo)});
        } else {
            tokens.push_back({Kind::Word, std::string(word), Variant()});
        }
    }
    return tokens;
}

// --- Commands --------------------------------------------------------------

bool equalsFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

bool isName(std::string_view w) {
    if (w.empty()) return false;
    auto first = static_cast<unsigned char>(w[0]);
    if (!((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z') || first == '_')) return false;
    for (char c : w) {
        auto u = static_cast<unsigned char>(c);
        if (!((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_'))
            return false;
    }
    return true;
}

class LineReader {
public:
    LineReader(std::vector<Token> tokens, std::size_t line) : tokens_(std::move(tokens)), line_(line) {}

    std::size_t line() const { return line_; }
    bool atEnd() const { return pos_ >= tokens_.size(); }
    const Token* peek() const { return atEnd() ? nullptr : &tokens_[pos_]; }
    [[noreturn]] void error(const std::string& message) const { throw ScriptError(line_, message); }

    const Token& next(const char* what) {
        if (atEnd()) error(std::string("missing ") + what);
        return tokens_[pos_++];
    }

    std::string word(const char* what) {
        const Token& t = next(what);
        if (t.kind != Kind::Word) error(std::string("expected ") + what + ", found " + describe(t));
        return t.text;
    }

    std::string name(const char* what) {
        const Token& t = next(what);
        if (t.kind != Kind::Word || !isName(t.text))
            error(std::string("expected ") + what + ", found " + describe(t));
        return t.text;
    }

    // A file name: a string, or a word or number as written.
    std::string file() {
        const Token& t = next("a file name");
        if (t.kind == Kind::Equals || t.kind == Kind::Date)
            error("expected a file name, found " + describe(t));
        if (t.text.empty()) error("an empty file name");
        return t.text;
    }

    std::string string(const char* what) {
        const Token& t = next(what);
        if (t.kind != Kind::String) error(std::string("expected ") + what + ", found " + describe(t));
        return t.text;
    }

    void equals() {
        const Token& t = next("\"=\"");
        if (t.kind != Kind::Equals) error("expected \"=\", found " + describe(t));
    }

    // A number within [low, high], whole when asked.
    double number(const char* what, double low, double high, bool whole) {
        const Token& t = next(what);
        if (t.kind != Kind::Number) error(std::string("expected ") + what + ", found " + describe(t));
        double v = t.value.toDouble();
        if (whole && v != std::floor(v))
            error(std::string("expected a whole number for ") + what + ", found " + t.text);
        if (!(v >= low && v <= high)) error(std::string("out of range for ") + what + ": " + t.text);
        return v;
    }

    double integer16(const char* what) { return number(what, -32768, 32767, true); }
    double integer32(const char* what) { return number(what, -2147483648.0, 2147483647.0, true); }
    double single(const char* what) {
        return number(what, -std::numeric_limits<float>::max(), std::numeric_limits<float>::max(), false);
    }

    Literal literal() {
        const Token& t = next("a value");
        switch (t.kind) {
            case Kind::Number: return {t.value, false};
            case Kind::String: return {Variant(t.text), false};
            case Kind::Date: return {t.value, false};
            case Kind::Equals: error("expected a value, found \"=\"");
            case Kind::Word: break;
        }
        const std::string& w = t.text;
        if (equalsFolded(w, "True")) return {Variant::booleanValue(kTrue), false};
        if (equalsFolded(w, "False")) return {Variant::booleanValue(kFalse), false};
        if (equalsFolded(w, "Null")) return {Variant::null(), true};
        if (equalsFolded(w, "Empty")) return {Variant(), true};
        if (equalsFolded(w, "Nothing")) return {Variant(ObjectRef()), true};
        if (equalsFolded(w, "Integer"))
            return {Variant(static_cast<std::int16_t>(integer16("an Integer"))), true};
        if (equalsFolded(w, "Long")) return {Variant(static_cast<std::int32_t>(integer32("a Long"))), true};
        if (equalsFolded(w, "Single")) return {Variant(static_cast<float>(single("a Single"))), true};
        if (equalsFolded(w, "Double")) {
            const Token& n = next("a Double");
            if (n.kind != Kind::Number) error("expected a Double, found " + describe(n));
            return {Variant(n.value.toDouble()), true};
        }
        if (equalsFolded(w, "String")) return {Variant(string("a string")), true};
        if (equalsFolded(w, "Date")) {
            const Token& d = next("a date");
            if (d.kind != Kind::Date) error("expected a date, found " + describe(d));
            return {d.value, true};
        }
        if (equalsFolded(w, "Boolean")) {
            const Token* p = peek();
            if (p && p->kind == Kind::Word && equalsFolded(p->text, "True")) {
                ++pos_;
                return {Variant::booleanValue(kTrue), true};
            }
            if (p && p->kind == Kind::Word && equalsFolded(p->text, "False")) {
                ++pos_;
                return {Variant::booleanValue(kFalse), true};
            }
            return {Variant::booleanValue(static_cast<VBool>(integer16("a Boolean"))), true};
        }
        error("bad value " + shown(w));
    }

    void end() const {
        if (!atEnd()) error("unexpected " + describe(tokens_[pos_]));
    }

    // An argument assignment (`NAME =`) comes next.
    bool assignmentNext() const {
        return pos_ + 1 < tokens_.size() && tokens_[pos_].kind == Kind::Word &&
               tokens_[pos_ + 1].kind == Kind::Equals;
    }

    // What is left of the line, for a command inside this one.
    LineReader rest() const {
        return LineReader(
            std::vector<Token>(tokens_.begin() + static_cast<std::ptrdiff_t>(pos_), tokens_.end()), line_);
    }
    void skipToEnd() { pos_ = tokens_.size(); }

    static std::string describe(const Token& t) {
        switch (t.kind) {
            case Kind::String: return "a string";
            case Kind::Equals: return "\"=\"";
            case Kind::Date: return "a date";
            case Kind::Number: return "the number " + shown(t.text);
            case Kind::Word: return shown(t.text);
        }
        return "?";
    }

private:
    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    std::size_t line_;
};

Target targetOf(LineReader& r, bool withGrid) {
    std::string w = r.word("a target");
    if (w == "text") return Target::Text;
    if (w == "button") return Target::Button;
    if (withGrid && w == "surface") return Target::Surface;
    if (withGrid && w == "grid") return Target::Grid;
    r.error("unknown target " + shown(w) +
            (withGrid ? " (text, button, surface or grid)" : " (text or button)"));
}

using command_table::Absent;
using command_table::Argument;
using command_table::CommandSpec;
using command_table::kCommands;

// "a", "a or b", "a, b or c".
std::string listed(const std::vector<std::string_view>& words) {
    std::string out;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) out += i + 1 == words.size() ? " or " : ", ";
        out += words[i];
    }
    return out;
}

std::string_view firstWord(std::string_view words) { return words.substr(0, words.find(' ')); }

std::string_view secondWord(std::string_view words) {
    std::size_t blank = words.find(' ');
    return blank == std::string_view::npos ? std::string_view() : words.substr(blank + 1);
}

// The row of the command that the line starts with; its words are read.
const CommandSpec& commandOf(LineReader& r) {
    std::string verb = r.word("a command");
    const CommandSpec* alone = nullptr;
    std::vector<std::string_view> seconds;
    for (const CommandSpec& spec : kCommands) {
        if (firstWord(spec.words) != verb) continue;
        if (secondWord(spec.words).empty()) alone = &spec;
        else seconds.push_back(secondWord(spec.words));
    }
    if (alone == nullptr && seconds.empty()) r.error("unknown command " + shown(verb));
    if (seconds.empty() || (alone != nullptr && r.atEnd())) return *alone;
    const std::string choices = listed(seconds);
    std::string second = r.word(choices.c_str());
    for (const CommandSpec& spec : kCommands)
        if (firstWord(spec.words) == verb && secondWord(spec.words) == second) return spec;
    r.error("expected " + choices + ", found " + shown(second));
}

// The program's calls, which an event handler may make: their words.
std::vector<std::string_view> programCalls() {
    std::vector<std::string_view> words;
    for (const CommandSpec& spec : kCommands)
        if (spec.reach == Reach::Program) words.push_back(spec.words);
    return words;
}

Command readCommand(LineReader& r);

// `on`'s handler: the arguments it sets, then perhaps the program's call it
// makes, which is the rest of the line.
void readHandler(LineReader& r, Command& c) {
    const std::vector<std::string_view> calls = programCalls();
    while (!r.atEnd()) {
        const Token& t = *r.peek();
        if (t.kind == Kind::Word && !r.assignmentNext()) {
            bool isCall = false;
            for (std::string_view call : calls) isCall = isCall || t.text == call;
            if (!isCall)
                r.error("expected ARGUMENT=VALUE, or " + listed(calls) + ", found " +
                        LineReader::describe(t));
            LineReader action = r.rest();
            c.action.push_back(readCommand(action));
            r.skipToEnd();
            return;
        }
        std::string argument = r.name("an argument name");
        r.equals();
        c.assignments.emplace_back(std::move(argument), r.literal());
    }
}

void readArgument(LineReader& r, const Argument& a, Command& c) {
    using command_table::ArgumentKind;
    if (a.absent != Absent::Required) {
        bool present =
            a.kind == ArgumentKind::Equals ? r.peek() && r.peek()->kind == Kind::Equals : !r.atEnd();
        if (!present) {
            if (a.absent == Absent::Zero) c.numbers.push_back(0);
            return;
        }
    }
    switch (a.kind) {
        case ArgumentKind::LocaleName:
            c.name = r.word(a.what);
            if (c.name != "en-US" && c.name != "it-IT" && c.name != "system")
                r.error("unknown locale " + shown(c.name) + " (en-US, it-IT or system)");
            return;
        case ArgumentKind::File: c.name = r.file(); return;
        case ArgumentKind::Text: c.text = r.string(a.what); return;
        case ArgumentKind::Name: c.name = r.name(a.what); return;
        case ArgumentKind::Equals: r.equals(); return;
        case ArgumentKind::Value: c.values.push_back(r.literal()); return;
        case ArgumentKind::Values:
            while (!r.atEnd()) c.values.push_back(r.literal());
            return;
        case ArgumentKind::Number: c.numbers.push_back(r.number(a.what, a.low, a.high, a.whole)); return;
        case ArgumentKind::Child: c.target = targetOf(r, false); return;
        case ArgumentKind::Window: c.target = targetOf(r, true); return;
        case ArgumentKind::AllowOrRefuse: {
            std::string what = r.word(a.what);
            if (what != "allow" && what != "refuse")
                r.error("expected allow or refuse, found " + shown(what));
            c.allow = what == "allow";
            return;
        }
        case ArgumentKind::Handler: readHandler(r, c); return;
    }
}

Command readCommand(LineReader& r) {
    Command c;
    c.line = r.line();
    const CommandSpec& spec = commandOf(r);
    c.op = spec.op;
    for (std::size_t i = 0; i < spec.arguments.count; ++i) readArgument(r, spec.arguments.list[i], c);
    r.end();
    return c;
}

}  // namespace

std::vector<Command> readScript(std::string_view text) {
    std::vector<Command> commands;
    std::size_t lineNo = 0;
    std::size_t start = 0;
    // Editors on some systems open a UTF-8 file with a byte-order mark.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") start = 3;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (auto problem = lineProblem(line)) throw ScriptError(lineNo, *problem);
        std::vector<Token> tokens = tokenize(line, lineNo);
        if (tokens.empty()) continue;
        LineReader reader(std::move(tokens), lineNo);
        commands.push_back(readCommand(reader));
    }
    return commands;
}

Literal readLiteral(std::string_view text) {
    if (auto problem = lineProblem(text)) throw ScriptError(0, *problem);
    // A leading `#` would read as a comment: put the value after a word.
    std::vector<Token> tokens = tokenize(std::string("= ") + std::string(text), 0);
    if (tokens.empty()) throw ScriptError(0, "missing a value");
    tokens.erase(tokens.begin());
    LineReader reader(std::move(tokens), 0);
    Literal value = reader.literal();
    reader.end();
    return value;
}

}  // namespace quorvel::run
