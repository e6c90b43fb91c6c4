// Prepares a real SQLite file for a test of the headless host's grid.
#pragma once

#include <string>

namespace quorvel::headless::testing {

// Runs the statements on the database file, creating it when missing; a
// failing statement fails the calling test through a thrown runtime_error.
void execSql(const std::string& file, const std::string& sql);

}  // namespace quorvel::headless::testing
