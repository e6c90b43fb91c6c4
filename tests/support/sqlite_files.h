// Real SQLite files for tests: made from SQL, and read back byte for byte
// to prove that whatever reads them left them unchanged.
#pragma once

#include <string>

namespace quorvel::testing {

// Creates (or extends) the database file with the statements; a failing
// statement throws std::runtime_error with SQLite's message.
void makeDatabase(const std::string& file, const std::string& sql);

// The file's whole content.
std::string fileBytes(const std::string& file);

}  // namespace quorvel::testing
