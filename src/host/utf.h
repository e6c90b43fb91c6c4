// Code points in and out of UTF-8, for typing text one character at a time.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvel::host {

// Invalid bytes decode as U+FFFD, one each, as the platform's text helpers
// count them.
std::vector<char32_t> decodeUtf8(std::string_view text);
void appendUtf8(std::string& out, char32_t codePoint);

}  // namespace quorvel::host
