// Replacing a file's whole content so that nobody ever sees half of it.
#pragma once

#include <filesystem>
#include <string_view>

namespace quorvel {

// Writes the text to a fresh temporary file beside `file` (created
// exclusively, never through a link planted there) and renames it over
// `file`, so a failed write leaves the old file whole. The new file keeps
// the permissions of the one it replaces. Failure 75 with `what` and the
// file's name when it cannot.
void replaceFile(const std::filesystem::path& file, std::string_view text,
                 std::string_view what = "Cannot write");

}  // namespace quorvel
