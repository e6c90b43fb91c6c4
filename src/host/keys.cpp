#include "host/keys.h"

#include <cctype>
#include <string>

#include "platform/text.h"
#include "platform/failure.h"

namespace quorvel::host {

namespace {

struct NamedKey {
    std::string_view name;
    std::int16_t code;
    char32_t character;
};

constexpr NamedKey kNamedKeys[] = {
    {"ENTER", key::kEnter, 13},        {"TAB", key::kTab, 9},       {"ESC", key::kEscape, 27},
    {"ESCAPE", key::kEscape, 27},      {"BS", key::kBackspace, 8},  {"BKSP", key::kBackspace, 8},
    {"BACKSPACE", key::kBackspace, 8}, {"DEL", key::kDelete, 0},    {"DELETE", key::kDelete, 0},
    {"INS", key::kInsert, 0},          {"INSERT", key::kInsert, 0}, {"UP", key::kUp, 0},
    {"DOWN", key::kDown, 0},           {"LEFT", key::kLeft, 0},     {"RIGHT", key::kRight, 0},
    {"HOME", key::kHome, 0},           {"END", key::kEnd, 0},       {"PGUP", key::kPageUp, 0},
    {"PGDN", key::kPageDown, 0},
};

[[noreturn]] void badKeys(std::string_view why) {
    fail(failure::kInvalidProcedureCall, "Invalid key string: " + std::string(why));
}

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// The character a key types with the modifiers held: Ctrl turns a letter
// into its control character, Alt types nothing.
char32_t typedWith(char32_t c, std::int16_t shift) {
    if (shift & kAltBit) return 0;
    if (shift & kCtrlBit) {
        if (c >= 'a' && c <= 'z') return c - 'a' + 1;
        if (c >= 'A' && c <= 'Z') return c - 'A' + 1;
        return 0;
    }
    if ((shift & kShiftBit) && c >= 'a' && c <= 'z') return c - 'a' + 'A';
    return c;
}

KeyStroke characterStroke(char32_t c, std::int16_t shift) {
    return KeyStroke{virtualKeyOf(c), shift, typedWith(c, shift)};
}

KeyStroke namedStroke(std::string_view name, std::int16_t shift) {
    std::string n = upper(name);
    for (const auto& k : kNamedKeys) {
        if (k.name == n) return KeyStroke{k.code, shift, (shift & (kCtrlBit | kAltBit)) ? 0 : k.character};
    }
    if (n.size() >= 2 && n.size() <= 3 && n[0] == 'F') {
        int f = 0;
        for (std::size_t i = 1; i < n.size(); ++i) {
            if (!std::isdigit(static_cast<unsigned char>(n[i])))
                badKeys("unknown key {" + std::string(name) + "}");
            f = f * 10 + (n[i] - '0');
        }
        if (f >= 1 && f <= 16) return KeyStroke{static_cast<std::int16_t>(key::kF1 + f - 1), shift, 0};
    }
    auto chars = decodeUtf8(name);
    if (chars.size() == 1) return characterStroke(chars[0], shift);
    badKeys("unknown key {" + std::string(name) + "}");
}

}  // namespace

std::int16_t virtualKeyOf(char32_t c) {
    if (c >= 'a' && c <= 'z') return static_cast<std::int16_t>(c - 'a' + 'A');
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ') return static_cast<std::int16_t>(c);
    // clang-format off
    switch (c) {
        case '\r':
        case '\n': return key::kEnter;
        case '\t': return key::kTab;
        case 8: return key::kBackspace;
        case 27: return key::kEscape;
        case ')': return '0';
        case '!': return '1';
        case '@': return '2';
        case '#': return '3';
        case '$': return '4';
        case '%': return '5';
        case '^': return '6';
        case '&': return '7';
        case '*': return '8';
        case '(': return '9';
        case ';': case ':': return 186;
        case '=': case '+': return 187;
        case ',': case '<': return 188;
        case '-': case '_': return 189;
        case '.': case '>': return 190;
        case '/': case '?': return 191;
        case '`': case '~': return 192;
        case '[': case '{': return 219;
        case '\\': case '|': return 220;
        case ']': case '}': return 221;
        case '\'': case '"': return 222;
        default: return key::kPacket;
    }
    // clang-format on
}

std::vector<KeyStroke> parseSendKeys(std::string_view keys) {
    std::vector<KeyStroke> out;
    auto chars = decodeUtf8(keys);
    std::int16_t pending = 0;  // modifiers for the next key
    std::int16_t group = 0;    // modifiers of an open group
    bool inGroup = false;
    std::size_t i = 0;
    auto emit = [&](KeyStroke s) {
        out.push_back(s);
        pending = 0;
    };
    while (i < chars.size()) {
        char32_t c = chars[i];
        std::int16_t held = static_cast<std::int16_t>(pending | group);
        if (c == '+' || c == '^' || c == '%') {
            pending |= c == '+' ? kShiftBit : c == '^' ? kCtrlBit : kAltBit;
            ++i;
            continue;
        }
        if (c == '(') {
            if (inGroup) badKeys("nested group");
            inGroup = true;
            group = pending;
            pending = 0;
            ++i;
            continue;
        }
        if (c == ')') {
            if (!inGroup) badKeys("unbalanced )");
            inGroup = false;
            group = 0;
            pending = 0;
            ++i;
            continue;
        }
        if (c == '~') {
            emit(namedStroke("ENTER", held));
            ++i;
            continue;
        }
        if (c == '}') badKeys("unbalanced }");
        if (c != '{') {
            emit(characterStroke(c, held));
            ++i;
            continue;
        }
        // A brace: the name runs to the next "}", except that "{}}" names
        // the closing brace itself.
        std::size_t close = i + 1;
        if (close < chars.size() && chars[close] == '}') ++close;
        while (close < chars.size() && chars[close] != '}') ++close;
        if (close >= chars.size()) badKeys("unbalanced {");
        std::string body;
        for (std::size_t k = i + 1; k < close; ++k) appendUtf8(body, chars[k]);
        int repeat = 1;
        std::size_t space = body.find(' ', 1);
        if (space != std::string::npos) {
            std::string count = body.substr(space + 1);
            if (count.empty() || count.size() > 4) badKeys("bad repeat count");
            repeat = 0;
            for (char d : count) {
                if (!std::isdigit(static_cast<unsigned char>(d))) badKeys("bad repeat count");
                repeat = repeat * 10 + (d - '0');
            }
            body.resize(space);
        }
        if (body.empty()) badKeys("empty braces");
        KeyStroke s = namedStroke(body, held);
        for (int r = 0; r < repeat; ++r) out.push_back(s);
        pending = 0;
        i = close + 1;
    }
    if (inGroup) badKeys("unbalanced (");
    return out;
}

}  // namespace quorvel::host
