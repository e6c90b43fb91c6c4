// The platform's virtual-key codes and shift-state bits, as every host
// delivers them to the control's key events: letters and digits are their
// upper-case character codes, the other keys the numbers below.
#pragma once

#include <cstdint>

namespace quorvel::key_code {

inline constexpr std::int16_t kBackspace = 8;
inline constexpr std::int16_t kTab = 9;
inline constexpr std::int16_t kEnter = 13;
inline constexpr std::int16_t kShift = 16;
inline constexpr std::int16_t kControl = 17;
inline constexpr std::int16_t kAlt = 18;
inline constexpr std::int16_t kPause = 19;
inline constexpr std::int16_t kCapsLock = 20;
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
inline constexpr std::int16_t kDigit0 = 48;   // to 57
inline constexpr std::int16_t kLetterA = 65;  // to 90
inline constexpr std::int16_t kNumpad0 = 96;  // to 105
inline constexpr std::int16_t kF1 = 112;      // to 127 (F16)
inline constexpr std::int16_t kF4 = 115;
inline constexpr std::int16_t kNumLock = 144;
// The code that a character without a key of its own arrives with.
inline constexpr std::int16_t kPacket = 231;

// Shift-state bits of key and mouse events.
inline constexpr std::int16_t kShiftBit = 1;
inline constexpr std::int16_t kCtrlBit = 2;
inline constexpr std::int16_t kAltBit = 4;

// Mouse buttons.
inline constexpr std::int16_t kLeftButton = 1;
inline constexpr std::int16_t kRightButton = 2;
inline constexpr std::int16_t kMiddleButton = 4;

}  // namespace quorvel::key_code
