// Key strokes as the headless host delivers them: a virtual-key code going
// down, the character it types (if any), and the key coming up. Both the
// host's send-keys queue and the typing of text are made of these.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace quorvel::headless {

namespace key {
inline constexpr std::int16_t kBackspace = 8;
inline constexpr std::int16_t kTab = 9;
inline constexpr std::int16_t kEnter = 13;
inline constexpr std::int16_t kShift = 16;
inline constexpr std::int16_t kControl = 17;
inline constexpr std::int16_t kEscape = 27;
inline constexpr std::int16_t kSpace = 32;
inline constexpr std::int16_t kPageUp = 33;
inline constexpr std::int16_t kPageDown = 34;
inline constexpr std::int16_t kEnd = 35;
inline constexpr std::int16_t kHome = 36;
inline constexpr std::int16_t kLeft = 37;
inline constexpr std::int16_t kUp = 38;
inline constexpr std::int16_t kRight = 39;
inline constexpr std::int16_t kDown = 40;
inline constexpr std::int16_t kInsert = 45;
inline constexpr std::int16_t kDelete = 46;
inline constexpr std::int16_t kF1 = 112;
// The code that a character without a key of its own arrives with.
inline constexpr std::int16_t kPacket = 231;
}  // namespace key

// Shift-state bits.
inline constexpr std::int16_t kShiftBit = 1;
inline constexpr std::int16_t kCtrlBit = 2;
inline constexpr std::int16_t kAltBit = 4;

struct KeyStroke {
    std::int16_t keyCode = 0;
    std::int16_t shift = 0;
    // The character the key types, 0 for none. One outside the basic plane
    // arrives as two key presses, its surrogates.
    char32_t character = 0;
    bool operator==(const KeyStroke&) const = default;
};

// The key that types the character on a US keyboard layout: letters their
// upper-case code, digits and space their own, punctuation its key's code;
// any other character the packet code.
std::int16_t virtualKeyOf(char32_t character);

// Reads a send-keys string: plain characters; "~" is Enter; "+", "^" and "%"
// hold Shift, Ctrl and Alt for the next key or for a group in parentheses;
// braces name a key ("{ENTER}", "{TAB}", "{ESC}", "{BS}", "{DEL}",
// "{INS}", "{UP}", "{DOWN}", "{LEFT}", "{RIGHT}", "{HOME}", "{END}",
// "{PGUP}", "{PGDN}", "{F1}".."{F16}") or a character that is otherwise
// special ("{+}", "{~}", "{{}"), optionally with a repeat count ("{LEFT 3}").
// Failure 5 for an unknown name or an unbalanced brace or parenthesis.
std::vector<KeyStroke> parseSendKeys(std::string_view keys);

}  // namespace quorvel::headless
