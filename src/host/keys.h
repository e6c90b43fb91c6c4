// Key strokes as a host delivers them: a virtual-key code going
// down, the character it types (if any), and the key coming up. Both the
// host's send-keys queue and the typing of text are made of these.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/key_codes.h"

namespace quorvel::host {

// The platform's key codes and shift bits, under the names this host's
// code has always used.
namespace key = key_code;
using key_code::kAltBit;
using key_code::kCtrlBit;
using key_code::kShiftBit;

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

}  // namespace quorvel::host
