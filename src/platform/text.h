// Text is UTF-8 in memory; positions and lengths count UTF-16 code units, as
// the host's wide strings do. These helpers convert between the two.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel {

// Number of UTF-16 code units the text takes (a character outside the basic
// plane counts two). Invalid bytes count one unit each.
std::int32_t utf16Length(std::string_view utf8);

// The byte offset of the UTF-16 position `units`, clamped to the text. A
// position inside a surrogate pair moves to the character's start.
std::size_t byteOffsetOfUnit(std::string_view utf8, std::int32_t units);

// The substring of `units` UTF-16 code units starting at unit `start`.
std::string utf16Mid(std::string_view utf8, std::int32_t start, std::int32_t units);

// Decodes UTF-8 into code points, written over `out`; a byte that is not
// part of a well-formed sequence decodes as U+FFFD on its own.
void decodeUtf8(std::string_view text, std::u32string& out);
std::u32string decodeUtf8(std::string_view text);

// Appends the UTF-8 bytes of the code point; a surrogate or a value past
// U+10FFFF appends U+FFFD.
void appendUtf8(std::string& out, char32_t codePoint);

// True when the text is well-formed UTF-8.
bool isValidUtf8(std::string_view text);

// The text with every ill-formed sequence replaced by U+FFFD; well-formed
// text comes back unchanged.
std::string validUtf8(std::string_view text);

// Spaces (character 32 only) trimmed from both ends.
std::string trimSpaces(std::string_view text);

// Upper case, character by character (Unicode simple case mapping), for
// comparing names without regard to case: field names are compared so.
std::string upperForNames(std::string_view text);
bool equalsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace quorvel
